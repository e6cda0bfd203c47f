// SPDX-License-Identifier: MIT
#include "dbcommands.h"

#include "provisioncommands.h"
#include "unitcommands.h"
#include "rostercommands.h"

#include "store/plandatabase.h"

#include <QDir>
#include <QCoreApplication>

namespace cli {

namespace {

using Answer = ProvisionStore::Answer;

// The store of a command between runs: the station's name stays free for a
// running station, and only a plan import makes the tables.
StoreSetup setupOf(const DatabaseRequest &request, bool writes, bool makesTables = false)
{
    StoreSetup setup {request.text, {}, request.station, request.operatorName, false, writes, QDir::currentPath()};
    setup.holdName = false;
    setup.makeTables = makesTables;
    setup.operatorId = request.operatorId;
    return setup;
}

void planImport(const DatabaseRequest &request, const Done &done)
{
    // The file's form and header are checked before the database is asked;
    // its rows as they go to it, a chunk at a time.
    QString error;
    auto file = openPlan(request.file, &error);
    if (!file)
        return done(fail(ExitCode::Usage, error + QStringLiteral("; nothing was imported")));
    auto plan = std::make_shared<PlanReader>(std::move(file), request.force);
    const auto refused = [request, plan] {
        return fail(ExitCode::Usage, printable(request.file) + QStringLiteral(" ") + plan->error()
                                         + QStringLiteral("; nothing was imported"));
    };
    if (!plan->start())
        return done(refused());
    withStore(setupOf(request, true, true), done, [request, plan, refused, done](const std::shared_ptr<ProvisionStore> &store) {
        store->importPlan(plan, request.force, [store, request, plan, refused, done](const Answer &answer, int first) {
            if (!plan->error().isEmpty())
                return done(refused());
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            const int count = plan->rows();
            out() << QStringLiteral("Imported %1 rows of %2 into %3 as rows %4 to %5%6.\n")
                         .arg(count).arg(printable(request.file), store->description()).arg(first).arg(first + count - 1)
                         .arg(request.force ? QStringLiteral(", accepted with --force") : QString());
            done(ExitCode::Ok);
        });
    });
}

void auditExport(const DatabaseRequest &request, const Done &done)
{
    withStore(setupOf(request, false), done, [done](const std::shared_ptr<ProvisionStore> &store) {
        // Byte for byte the lines a file would hold, so audit-verify FILE checks them.
        store->exportAudit([](const QByteArray &line) {
            out() << QString::fromUtf8(line) << '\n';
            return out().status() == QTextStream::Ok;
        }, [store, done](const Answer &answer) { done(answer.ok() ? ExitCode::Ok : fail(answer.code, answer.error)); });
    });
}

void auditImport(const DatabaseRequest &request, const Done &done)
{
    runAuditImport(setupOf(request, true), request.file, done);
}

void auditVerify(const DatabaseRequest &request, const Done &done)
{
    withStore(setupOf(request, false), done, [request, done](const std::shared_ptr<ProvisionStore> &store) {
        store->verifyAudit(request.lastHash.toLatin1(), {}, [store, done](const Answer &answer, const AuditCheck &check) {
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            done(reportAuditCheck(store->place().audit, check));
        });
    });
}

void databaseInit(const DatabaseRequest &request, const Done &done)
{
    // On this thread, not through a station's store: tables a station's own
    // login made must be taken over before they can be brought up to date.
    // Let go of once its answer has returned into it, or with the program.
    auto *database = new PlanDatabase(request.uri, {request.station, request.operatorName});
    auto *holder = new QObject(QCoreApplication::instance());
    QObject::connect(holder, &QObject::destroyed, [database] { delete database; });
    database->initialise(request.stationRole, [holder, done](const DbFault &fault, const QString &report) {
        holder->deleteLater();
        if (fault)
            return done(fail(fault.kind == DbFault::Refused ? fault.code : ExitCode::Failure, fault.why));
        out() << report << '\n';
        done(ExitCode::Ok);
    });
}

} // namespace

std::function<void(const Done &)> databaseCommand(const DatabaseRequest &request)
{
    if (request.command == QLatin1String("provision")) {
        return [request](const Done &done) {
            StoreSetup store {request.text, {}, request.station, request.operatorName, false, true,
                                    QDir::currentPath()};
            store.acceptFrom = request.acceptFrom;
            store.operatorId = request.operatorId;
            runProvision(store, request.lanes, done);
        };
    }
    if (request.command == QLatin1String("plan status"))
        return [request](const Done &done) { runPlanStatus(setupOf(request, false), request.json, done); };
    if (request.command == QLatin1String("plan release"))
        return [request](const Done &done) { runPlanRelease(setupOf(request, true), request.row, request.supervisor, done); };
    if (request.command == QLatin1String("rework"))
        return [request](const Done &done) { runRework(setupOf(request, true), request.rework, done); };
    if (request.command == QLatin1String("shift start"))
        return [request](const Done &done) { runShiftStart(setupOf(request, true), request.shiftName, done); };
    const std::pair<const char *, void (*)(const DatabaseRequest &, const Done &)> commands[] = {
        {"plan import", planImport},
        {"audit export", auditExport},
        {"audit import", auditImport},
        {"audit-verify", auditVerify},
        {"db init", databaseInit},
    };
    for (const auto &[name, command] : commands) {
        if (request.command == QLatin1String(name))
            return [request, command = command](const Done &done) { command(request, done); };
    }
    return {};
}

} // namespace cli
