// SPDX-License-Identifier: MIT
#include "stationwindow/setupreport.h"

#include "report/storereport.h"

#include <QFileInfo>
#include <QPointer>

void countSetupReport(const StationSetup &setup, const report::Options &options, bool noAuditYet, QObject *receiver,
                      std::thread &thread, SetupReportDone done)
{
    QPointer<QObject> self(receiver);
    if (!setup.usesDatabase()) {
        if (thread.joinable())
            thread.join();
        thread = std::thread([self, plan = setup.planPath, audit = setup.auditPath, options, noAuditYet, done] {
            auto figures = std::make_shared<report::Report>();
            const auto answer = report::reportFromFiles(plan, audit, options, figures.get(), noAuditYet);
            QMetaObject::invokeMethod(self.data(), [answer, figures, audit, done] {
                done(answer.error, answer.ok() ? figures : nullptr, QFileInfo(audit).fileName());
            }, Qt::QueuedConnection);
        });
        return;
    }
    QString error;
    std::shared_ptr<ProvisionStore> store = setup.makeStore(false, &error);
    if (!store)
        return done(error, nullptr, {});
    store->open([self, store, options, done](const ProvisionStore::Opened &opened) {
        if (!self)
            return;
        if (!opened.ok)
            return done(opened.error, nullptr, {});
        report::reportFromStore(*store, options, [self, store, done](const ProvisionStore::Answer &answer,
                                                                     const report::Report &figures) {
            if (self)
                done(answer.error, answer.ok() ? std::make_shared<report::Report>(figures) : nullptr,
                     store->place().audit);
        });
    });
}
