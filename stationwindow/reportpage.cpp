// SPDX-License-Identifier: MIT
// The station window's Report button: the line report of the plan as one
// HTML page (vev-cli report --html's), written beside the audit (a plan in
// a database: in the user's cache folder) and opened in the desktop's
// browser.
#include "stationwindow/stationwindow.h"

#include "protocol/wireformat.h"
#include "report/reportwriters.h"
#include "report/storereport.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
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
    if (!setup.usesDatabase()) {
        // Files are read beside a run or between runs, nothing locked, on a
        // thread of their own; the window hears of it when they are counted.
        if (m_reporting.joinable())
            m_reporting.join();
        m_report->setEnabled(false);
        showMessage(tr("Making the report…"), false);
        QPointer<StationWindow> self(this);
        m_reporting = std::thread([self, plan = setup.planPath, audit = setup.auditPath, write, failed] {
            auto figures = std::make_shared<report::Report>();
            const auto answer = report::reportFromFiles(plan, audit, {}, figures.get());
            // The window waits for this thread before it goes, so it is there to be told.
            QMetaObject::invokeMethod(self.data(), [self, answer, figures, audit, write, failed] {
                self->m_report->setEnabled(true);
                if (!answer.ok())
                    return failed(printable(answer.error));
                write(*figures, QFileInfo(audit).fileName());
            }, Qt::QueuedConnection);
        });
        return;
    }
    // Only looking, beside a run or between runs: nothing is locked or written.
    QString error;
    std::shared_ptr<ProvisionStore> store = setup.makeStore(false, &error);
    if (!store)
        return failed(printable(error));
    showMessage(tr("Making the report…"), false);
    QPointer<StationWindow> self(this);
    store->open([self, store, write, failed](const ProvisionStore::Opened &opened) {
        if (!self)
            return;
        if (!opened.ok)
            return failed(printable(opened.error));
        report::reportFromStore(*store, {}, [self, store, write, failed](const ProvisionStore::Answer &answer,
                                                                          const report::Report &figures) {
            if (!self)
                return;
            if (!answer.ok())
                return failed(printable(answer.error));
            write(figures, store->place().audit);
        });
    });
}
