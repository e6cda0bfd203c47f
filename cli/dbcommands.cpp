// SPDX-License-Identifier: MIT
#include "dbcommands.h"

#include "provisioncommands.h"

#include "store/dbstore.h"
#include "store/plandatabase.h"

#include <QDir>

namespace cli {

namespace {

ExitCode failed(const DbFault &fault)
{
    return fail(fault.kind == DbFault::Refused ? fault.code : ExitCode::Failure, fault.why);
}

// Runs a command on a connection of its own; with create, the tables are
// made when missing.
ExitCode onDatabase(const DatabaseRequest &request, bool create, const std::function<ExitCode(PlanDatabase &)> &command)
{
    PlanDatabase database(request.uri, PlanDatabase::Identity {request.station, request.operatorName});
    if (const DbFault fault = database.connect(create))
        return failed(fault);
    return command(database);
}

ExitCode planImport(const DatabaseRequest &request)
{
    QString error;
    const auto rows = readPlan(request.file, &error, request.force);
    if (!rows)
        return fail(ExitCode::Usage, error + QStringLiteral("; nothing was imported"));
    return onDatabase(request, true, [&](PlanDatabase &database) {
        int first = 0;
        if (const DbFault fault = database.importPlan(*rows, request.force, &first))
            return failed(fault);
        out() << QStringLiteral("Imported %1 rows of %2 into %3 as rows %4 to %5%6.\n")
                     .arg(rows->size()).arg(printable(request.file), request.uri.display()).arg(first)
                     .arg(first + int(rows->size()) - 1)
                     .arg(request.force ? QStringLiteral(", accepted with --force") : QString());
        return ExitCode::Ok;
    });
}

ExitCode planStatus(const DatabaseRequest &request)
{
    return onDatabase(request, false, [&](PlanDatabase &database) {
        StoreStatus status;
        if (const DbFault fault = database.status(true, &status))
            return failed(fault);
        return printPlanStatus(QStringLiteral("Plan in %1").arg(request.uri.display()),
                               {{QStringLiteral("database"), request.uri.display()}}, status, request.json);
    });
}

ExitCode planRelease(const DatabaseRequest &request)
{
    return onDatabase(request, false, [&](PlanDatabase &database) {
        SettingValues values;
        if (const DbFault fault = database.release(request.row, &values))
            return failed(fault);
        out() << QStringLiteral("Row %1 (%2) released: it goes back to the plan.\n").arg(request.row)
                     .arg(valuesText(values));
        return ExitCode::Ok;
    });
}

ExitCode auditExport(const DatabaseRequest &request)
{
    return onDatabase(request, false, [](PlanDatabase &database) {
        // Byte for byte the lines a file would hold, so audit-verify FILE checks them.
        const DbFault fault = database.readAudit([](const AuditRow &row) {
            out() << QString::fromUtf8(row.line) << '\n';
            return out().status() == QTextStream::Ok;
        });
        return fault ? failed(fault) : ExitCode::Ok;
    });
}

ExitCode auditImport(const DatabaseRequest &request)
{
    QList<AuditRecord> records;
    const AuditCheck check = verifyAudit(request.file, [&records](const AuditRecord &record, int) { records << record; });
    if (check.unreadable)
        return fail(ExitCode::Failure, check.why);
    if (check.firstBad > 0) {
        return fail(ExitCode::AuditBroken, QStringLiteral("%1 line %2: %3; nothing was imported")
                                               .arg(printable(request.file)).arg(check.firstBad).arg(check.why));
    }
    return onDatabase(request, false, [&](PlanDatabase &database) {
        int added = 0;
        int present = 0;
        if (const DbFault fault = database.importRecords(records, &added, &present))
            return failed(fault);
        out() << QStringLiteral("%1 records of %2 added to %3").arg(added).arg(printable(request.file),
                                                                                request.uri.display());
        if (present > 0)
            out() << QStringLiteral("; %1 were there already").arg(present);
        out() << ".\n";
        return ExitCode::Ok;
    });
}

ExitCode auditVerify(const DatabaseRequest &request)
{
    return onDatabase(request, false, [&](PlanDatabase &database) {
        AuditCheck check;
        if (const DbFault fault = database.verifyAudit(request.lastHash.toLatin1(), &check))
            return failed(fault);
        return reportAuditCheck(QStringLiteral("vev_audit in %1").arg(request.uri.display()), check);
    });
}

} // namespace

std::function<void(const Done &)> databaseCommand(const DatabaseRequest &request)
{
    if (request.command == QLatin1String("provision")) {
        return [request](const Done &done) {
            const StoreSetup store {request.text, {}, request.station, request.operatorName, false, true,
                                    QDir::currentPath()};
            runProvision(store, request.lanes, done);
        };
    }
    const std::pair<const char *, ExitCode (*)(const DatabaseRequest &)> commands[] = {
        {"plan import", planImport},     {"plan status", planStatus},     {"plan release", planRelease},
        {"audit export", auditExport},   {"audit import", auditImport},   {"audit-verify", auditVerify},
    };
    for (const auto &[name, command] : commands) {
        if (request.command == QLatin1String(name))
            return [request, command = command](const Done &done) { done(command(request)); };
    }
    return {};
}

} // namespace cli
