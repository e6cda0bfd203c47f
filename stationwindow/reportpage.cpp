// SPDX-License-Identifier: MIT
// The station window's Report button: the line report of the plan as one
// HTML page (vev-cli report --html's), written beside the audit (a plan in
// a database: in the user's cache folder) and opened in the desktop's
// browser.
#include "stationwindow/stationwindow.h"

#include "protocol/wireformat.h"
#include "report/reportwriters.h"
#include "stationwindow/setupreport.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

QString StationWindow::reportPath() const
{
    const StationSetup setup = this->setup();
    if (setup.usesDatabase()) {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
            .filePath(QStringLiteral("vev-station-report-%1.html").arg(setup.station.isEmpty() ? QStringLiteral("station")
                                                                                                : setup.station));
    }
    const QFileInfo audit(setup.auditPath);
    return audit.dir().filePath(audit.completeBaseName() + QStringLiteral("-report.html"));
}

void StationWindow::writeReport()
{
    const StationSetup setup = this->setup();
    const auto failed = [this](const QString &why) {
        showMessage(tr("No report: %1").arg(why), true);
    };
    if (setup.planPath.isEmpty() || (!setup.usesDatabase() && setup.auditPath.isEmpty()))
        return failed(tr("choose the plan and its audit first."));
    const QString path = reportPath();
    const auto write = [this, path, failed](const report::Report &figures, const QString &source) {
        const QByteArray page = report::reportHtml(figures, source);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
            return failed(tr("cannot write %1: %2").arg(printable(path), file.errorString()));
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return showMessage(tr("The report is in %1; no program opened it.").arg(printable(path)), true);
        showMessage(tr("The report is in %1.").arg(printable(path)), false);
    };
    // Files are counted on a thread of their own (a long audit takes
    // seconds), a database through a store that only looks; either beside a
    // run or between runs, nothing locked.
    m_report->setEnabled(false);
    showMessage(tr("Making the report…"), false);
    countSetupReport(setup, {}, false, this, m_reporting,
                     [this, write, failed](const QString &error, std::shared_ptr<report::Report> figures,
                                           const QString &source) {
                         m_report->setEnabled(true);
                         if (!figures)
                             return failed(printable(error));
                         write(*figures, source);
                     });
}
