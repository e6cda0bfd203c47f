// SPDX-License-Identifier: MIT
#include "rostercommands.h"

#include "provisioncommands.h"

#include "store/plandatabase.h"

#include <QCoreApplication>

namespace cli {

namespace {

void printRoster(const QList<RosterEntry> &entries, const QString &where)
{
    // Who is on it, never their badges, not even hashed.
    out() << QStringLiteral("%1 people on the roster of %2:\n").arg(entries.size()).arg(where);
    for (const RosterEntry &entry : entries)
        out() << QStringLiteral("  %1  %2  %3\n").arg(entry.id, -16).arg(roleText(entry.role), -10).arg(printable(entry.name));
}

// The database on this thread, let go of once its answer has returned into
// it, or with the program.
void withDatabase(const DatabaseUri &uri, const Done &done, const std::function<void(PlanDatabase &, QObject *holder)> &then)
{
    auto *database = new PlanDatabase(uri, {});
    auto *holder = new QObject(QCoreApplication::instance());
    QObject::connect(holder, &QObject::destroyed, [database] { delete database; });
    database->connect(false, [database, holder, done, then](const DbFault &fault) {
        if (fault) {
            holder->deleteLater();
            return done(fail(fault.kind == DbFault::Refused ? fault.code : ExitCode::Failure, fault.why));
        }
        then(*database, holder);
    });
}

Done answered(QObject *holder, const Done &done)
{
    return [holder, done](ExitCode code) {
        holder->deleteLater();
        done(code);
    };
}

ExitCode faultCode(const DbFault &fault)
{
    return fail(fault.kind == DbFault::Refused ? fault.code : ExitCode::Failure, fault.why);
}

void operatorAdd(const OperatorRequest &request, const Done &done)
{
    // The code before the database: a refused code costs no connection.
    QString error;
    const auto code = readBadge(QStringLiteral("Badge of %1: ").arg(request.entry.id), request.badgeFile, &error);
    if (!code)
        return done(fail(ExitCode::Usage, error + QStringLiteral("; nobody was added")));
    if (const QString problem = badgeProblem(*code); !problem.isEmpty())
        return done(fail(ExitCode::Usage, QStringLiteral("not a badge code: %1; nobody was added").arg(problem)));
    withDatabase(*request.database, done, [request, code = *code, done](PlanDatabase &db, QObject *holder) {
        const Done finished = answered(holder, done);
        db.addOperator(request.entry, code, [request, finished](const DbFault &fault) {
            if (fault)
                return finished(faultCode(fault));
            out() << QStringLiteral("Added %1 (%2) as %3.\n").arg(request.entry.id, printable(request.entry.name),
                                                                 roleText(request.entry.role));
            finished(ExitCode::Ok);
        });
    });
}

void operatorRemove(const OperatorRequest &request, const Done &done)
{
    withDatabase(*request.database, done, [request, done](PlanDatabase &db, QObject *holder) {
        const Done finished = answered(holder, done);
        db.removeOperator(request.entry.id, [request, finished](const DbFault &fault) {
            if (fault)
                return finished(faultCode(fault));
            out() << QStringLiteral("Removed %1 from the roster.\n").arg(printable(request.entry.id));
            finished(ExitCode::Ok);
        });
    });
}

void operatorList(const OperatorRequest &request, const Done &done)
{
    if (!request.rosterFile.isEmpty()) {
        QString error;
        const auto roster = Roster::readFile(request.rosterFile, &error);
        if (!roster)
            return done(fail(ExitCode::Usage, error));
        printRoster(roster->entries(), printable(request.rosterFile));
        return done(ExitCode::Ok);
    }
    withDatabase(*request.database, done, [request, done](PlanDatabase &db, QObject *holder) {
        const Done finished = answered(holder, done);
        db.operators([request, finished](const DbFault &fault, const QList<RosterEntry> &entries) {
            if (fault)
                return finished(faultCode(fault));
            printRoster(entries, request.database->display());
            finished(ExitCode::Ok);
        });
    });
}

} // namespace

std::function<void(const Done &)> operatorCommand(const OperatorRequest &request)
{
    const std::pair<const char *, void (*)(const OperatorRequest &, const Done &)> commands[] = {
        {"operator add", operatorAdd},
        {"operator remove", operatorRemove},
        {"operator list", operatorList},
    };
    for (const auto &[name, command] : commands) {
        if (request.command == QLatin1String(name))
            return [request, command = command](const Done &done) { command(request, done); };
    }
    return {};
}

void runShiftStart(const StoreSetup &setup, const QString &name, const Done &done)
{
    withStore(setup, done, [name, done](const std::shared_ptr<ProvisionStore> &store) {
        store->note(ShiftRecord {0, name}, [store, name, done](const QString &error) {
            if (!error.isEmpty())
                return done(fail(ExitCode::Failure, QStringLiteral("the shift was not started: ") + error));
            out() << (name.isEmpty() ? QStringLiteral("A new shift starts; recorded in %1.\n").arg(store->place().audit)
                                     : QStringLiteral("Shift %1 starts; recorded in %2.\n")
                                           .arg(printable(name), store->place().audit));
            done(ExitCode::Ok);
        });
    });
}

} // namespace cli
