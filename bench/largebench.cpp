// SPDX-License-Identifier: MIT
#include "largebench.h"

#include "largerun.h"
#include "processusage.h"
#include "simprocess.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr int verifiedLines = 1000000;
constexpr int planRows = 100000;
constexpr int auditLines = 50000;

// The file on the disk before it is timed: the system's writing out what
// the bench has just written is not the reader's cost.
void settle(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        ::fsync(file.handle());
}

// A fresh copy of the audit for each start: a run may append to it.
QString auditCopy(const QTemporaryDir &dir, const QString &audit)
{
    const QString copy = dir.filePath(QStringLiteral("run.jsonl"));
    QFile::remove(copy);
    if (!QFile::copy(audit, copy))
        return {};
    settle(copy);
    return copy;
}

// vev-cli provision on one lane: process start to the lane's first status
// line, in ms; -1 when it printed none.
double provisionStartMs(const QString &plan, const QString &audit, const QString &port)
{
    QProcess child;
    const qint64 start = monotonicUs();
    child.start(QStringLiteral(VEV_CLI_PATH), {"provision", "--plan", plan, "--audit", audit, "--port", port});
    double ms = -1;
    while (child.state() != QProcess::NotRunning && monotonicUs() - start < 30000000) {
        child.waitForReadyRead(20);
        if (child.canReadLine()) {
            ms = (monotonicUs() - start) / 1000.0;
            break;
        }
    }
    child.terminate();
    if (!child.waitForFinished(10000))
        child.kill();
    return ms;
}

// The station window offscreen in a child (--probe-station): process start
// to its lanes' tiles, in ms, and its resident memory then, in MiB.
std::pair<double, double> stationStart(const QString &plan, const QString &audit, const QString &port,
                                       const QTemporaryDir &dir)
{
    QProcessEnvironment env = offscreen();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    const qint64 start = monotonicUs();
    double ms = -1;
    double mib = -1;
    for (const QByteArray &line : runChild({"--probe-station", plan, audit, port}, env, 30000)) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words.at(0) == "started") {
            ms = (words.at(1).toLongLong() - start) / 1000.0;
            mib = words.at(2).toDouble() / 1024;
        }
    }
    return {ms, mib};
}

} // namespace

int probeStation(int argc, char *argv[])
{
    QApplication app(argc, argv);
    StationWindow window(HostEnvironment::system(), {});
    StationSetup setup = window.setup();
    setup.planPath = QString::fromLocal8Bit(argv[2]);
    setup.auditPath = QString::fromLocal8Bit(argv[3]);
    setup.ports = QStringList {QString::fromLocal8Bit(argv[4])};
    setup.station = QStringLiteral("bench-1");
    // Named, as --operator names it: Start asks nobody.
    setup.operatorName = QStringLiteral("bench");
    window.setSetup(setup);
    window.show();
    QTimer::singleShot(0, &window, &StationWindow::start);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&window] {
        if (!window.findChild<QWidget *>(QStringLiteral("tile_1")))
            return;
        QTextStream(stdout) << "started " << monotonicUs() << ' ' << residentKiB() << Qt::endl;
        std::_Exit(0); // the run is not what is measured
    });
    poll.start(2);
    QTimer::singleShot(30000, &app, [] { std::_Exit(1); });
    return app.exec();
}

void measureLarge(Figures &figures, int runs, QTextStream &err)
{
    Series &verify = figures.add("audit_verify_1m_lines", "s", "vev-cli audit-verify of an audit of 1,000,000 lines "
                                 "(about 430 MB)");
    Series &sha = figures.add("sha256sum_1m_lines", "s", "sha256sum of the same file (reference)");
    Series &provision = figures.add("provision_start_100k_rows", "ms", "vev-cli provision, one lane: process start to "
                                    "the lane's first status, plan of 100,000 rows, audit of 50,000 lines");
    Series &station = figures.add("station_start_100k_rows", "ms", "the station window offscreen, one lane, the same "
                                  "plan and audit: process start to the lane's tile");
    Series &stationMemory = figures.add("station_rss_100k_rows", "MiB", "its resident memory then");

    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("large.jsonl"));
    if (writeLargeAudit(large, verifiedLines).isEmpty()) {
        err << "vev-bench: cannot write " << large << Qt::endl;
        return;
    }
    settle(large);
    for (int i = 0; i < std::min(runs, 3); ++i) {
        verify.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"audit-verify", large}) / 1000;
        sha.values << timedRun(QStringLiteral("sha256sum"), {large}) / 1000;
    }
    QFile::remove(large);

    const QString plan = dir.filePath(QStringLiteral("plan.csv"));
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    if (!writeLargePlan(plan, planRows) || writeLargeAudit(audit, auditLines).isEmpty()) {
        err << "vev-bench: no plan or audit for the start-up figures" << Qt::endl;
        return;
    }
    // Each start a module of its own, as it comes from the factory (a run
    // stopped writes the one before; the probe leaves its port's lock).
    for (int i = 0; i < std::min(runs, 5); ++i) {
        SimProcess own;
        provision.values << provisionStartMs(plan, auditCopy(dir, audit), own.devicePath());
    }
    for (int i = 0; i < std::min(runs, 5); ++i) {
        SimProcess own;
        const auto [ms, mib] = stationStart(plan, auditCopy(dir, audit), own.devicePath(), dir);
        station.values << ms;
        stationMemory.values << mib;
    }
}

void largeGoals(const Figures &f, QTextStream &out)
{
    if (const auto verify = f.median("audit_verify_1m_lines")) {
        out << QStringLiteral("audit-verify: 1,000,000 lines in %1 s, %2 times sha256sum over the same file (goal: at "
                              "most 3 s)\n").arg(*verify, 0, 'f', 2).arg(*verify / f.median("sha256sum_1m_lines").value_or(1), 0, 'f', 1);
    }
    if (const auto provision = f.median("provision_start_100k_rows")) {
        out << QStringLiteral("provision: the lanes start in %1 ms with a plan of 100,000 rows and an audit of 50,000 "
                              "lines (goal: at most 1000)\n").arg(figure(*provision));
    }
    if (const auto station = f.median("station_start_100k_rows")) {
        out << QStringLiteral("station window: the lanes start in %1 ms, %2 MiB resident, with the same (goal: at most "
                              "1000 ms)\n").arg(figure(*station), figure(f.median("station_rss_100k_rows").value_or(0)));
    }
}
