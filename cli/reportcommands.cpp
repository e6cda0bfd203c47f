// SPDX-License-Identifier: MIT
#include "reportcommands.h"

#include "provisioncommands.h"

#include "protocol/wireformat.h"
#include "report/reportwriters.h"
#include "report/storereport.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace cli {

namespace {

ExitCode writeReport(const ReportRequest &request, const report::Report &figures, const QString &source)
{
    switch (request.format) {
    case ReportRequest::Text:
        out() << report::reportText(figures, source);
        break;
    case ReportRequest::Json:
        out() << QJsonDocument(report::reportJson(figures, source)).toJson(QJsonDocument::Indented);
        break;
    case ReportRequest::Csv:
        out() << report::reportCsv(figures);
        break;
    case ReportRequest::Html: {
        const QByteArray page = report::reportHtml(figures, source);
        QSaveFile file(request.htmlFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit()) {
            return fail(ExitCode::Failure, QStringLiteral("cannot write %1: %2")
                                               .arg(printable(request.htmlFile), file.errorString()));
        }
        out() << QStringLiteral("Wrote the line report of %1 to %2 (%3 units, %4 bytes).\n")
                     .arg(printable(source), printable(request.htmlFile)).arg(figures.total.units).arg(page.size());
        break;
    }
    }
    return ExitCode::Ok;
}

} // namespace

void runReport(const ReportRequest &request, const Done &done)
{
    if (!request.store.usesDatabase()) {
        report::Report figures;
        const auto answer = report::reportFromFiles(request.store.plan, request.store.audit, request.options, &figures);
        if (!answer.ok())
            return done(fail(answer.code, answer.error));
        return done(writeReport(request, figures, QFileInfo(request.store.audit).fileName()));
    }
    StoreSetup looking = request.store;
    looking.take = false;
    looking.holdName = false;
    looking.makeTables = false;
    withStore(looking, done, [request, done](const std::shared_ptr<ProvisionStore> &store) {
        report::reportFromStore(*store, request.options, [store, request, done](const ProvisionStore::Answer &answer,
                                                                                 const report::Report &figures) {
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            done(writeReport(request, figures, store->place().audit));
        });
    });
}

} // namespace cli
