// SPDX-License-Identifier: MIT
#include "reportbench.h"

#include "largerun.h"
#include "postgresserver.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

constexpr int reportLines = 1000000;
constexpr int longRunMs = 180000;

} // namespace

void measureReport(Figures &figures, int runs, QTextStream &err)
{
    Series &files = figures.add("report_1m_lines", "s", "vev-cli report of a plan and an audit of 1,000,000 lines in "
                                "files (about 430 MB), text to /dev/null");
    Series &page = figures.add("report_html_1m_lines", "s", "vev-cli report --html of the same");
    Series &size = figures.add("report_html_1m_lines_size", "MB", "the page's size");
    Series &database = figures.add("db_report_1m_lines", "s", "vev-cli report --db of the same audit and plan in a "
                                   "database of the bench's server");

    QTemporaryDir dir;
    const QString plan = dir.filePath(QStringLiteral("plan.csv"));
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const QString html = dir.filePath(QStringLiteral("report.html"));
    if (writeLargeAudit(audit, reportLines).isEmpty() || !writeLargePlan(plan, largeAuditRows(reportLines))) {
        err << "vev-bench: cannot write " << audit << Qt::endl;
        return;
    }
    for (const QString &path : {plan, audit}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            ::fsync(file.handle());
    }
    for (int i = 0; i < std::min(runs, 3); ++i) {
        files.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"report", "--plan", plan, "--audit", audit}, longRunMs) / 1000;
        page.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"report", "--plan", plan, "--audit", audit, "--html", html},
                                longRunMs) / 1000;
        size.values << QFileInfo(html).size() / 1e6;
    }

    PostgresServer server(true);
    const QString uri = server.createDatabase(QStringLiteral("report"));
    if (uri.isEmpty() || timedRun(QStringLiteral(VEV_CLI_PATH), {"plan", "import", "--db", uri, plan}, longRunMs) < 0) {
        err << "vev-bench: no database for the report: " << server.error() << Qt::endl;
        return;
    }
    const QString loaded = loadAudit(server, QStringLiteral("report"), audit, dir.path());
    if (!loaded.isEmpty()) {
        err << "vev-bench: cannot load the audit: " << loaded << Qt::endl;
        return;
    }
    for (int i = 0; i < std::min(runs, 3); ++i)
        database.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"report", "--db", uri}, longRunMs) / 1000;
}

void reportGoals(const Figures &f, QTextStream &out)
{
    if (const auto files = f.median("report_1m_lines")) {
        out << QStringLiteral("report: 1,000,000 lines from files in %1 s (goal: at most 3); the HTML page in %2 s, "
                              "%3 MB (goal: under 2)\n")
                   .arg(*files, 0, 'f', 2).arg(f.median("report_html_1m_lines").value_or(0), 0, 'f', 2)
                   .arg(f.median("report_html_1m_lines_size").value_or(0), 0, 'f', 2);
    }
    if (const auto database = f.median("db_report_1m_lines"))
        out << QStringLiteral("database: report of 1,000,000 lines in %1 s (goal: at most 2)\n").arg(*database, 0, 'f', 2);
}
