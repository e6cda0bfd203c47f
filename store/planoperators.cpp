// SPDX-License-Identifier: MIT
// PlanDatabase's roster: the people who may sign in at the stations that
// share the plan, kept by the tables' owner (vev-cli operator); a station
// only reads it.

#include "store/plandatabase.h"

#include "store/planstatements.h"

using namespace plansql;

namespace {

const QString everyone = QStringLiteral("SELECT id, name, role, badge FROM vev_operator ORDER BY id");

std::optional<QList<RosterEntry>> entriesOf(const PgResult &result, QString *why)
{
    QList<RosterEntry> entries;
    for (int i = 0; i < result.rows(); ++i) {
        RosterEntry entry;
        entry.id = result.text(i, 0);
        entry.name = result.text(i, 1);
        const auto role = roleOf(result.text(i, 2));
        const auto badge = BadgeHash::fromText(result.text(i, 3));
        if (!role || !badge) {
            *why = QStringLiteral("vev_operator's row for %1 holds no %2 this tool reads: remove it and add it again "
                                  "with vev-cli operator")
                       .arg(printable(entry.id), role ? QStringLiteral("badge hash") : QStringLiteral("role"));
            return std::nullopt;
        }
        entry.role = *role;
        entry.badge = *badge;
        entries << entry;
    }
    return entries;
}

} // namespace

void PlanDatabase::operators(std::function<void(const DbFault &, const QList<RosterEntry> &)> done)
{
    const auto failed = [done](const DbFault &fault) { done(fault, {}); };
    run(QStringLiteral("SELECT to_regclass('vev_operator') IS NOT NULL"), {}, [this, done, failed](const PgResult &exists) {
        if (!exists.flag(0, 0))
            return done({}, {});
        run(everyone, {}, [done](const PgResult &result) {
            QString why;
            const auto entries = entriesOf(result, &why);
            if (!entries)
                return done(DbFault::refused(why, ExitCode::Failure), {});
            done({}, *entries);
        }, failed);
    }, failed);
}

void PlanDatabase::addOperator(const RosterEntry &entry, const QString &code, Done done)
{
    // One add at a time, so that two with one code cannot both pass the
    // check; the table comes first on tables made before it.
    transaction(QStringLiteral("BEGIN"), [this, entry, code](Done finish) {
        runSteps({
            [this](const Done &next) {
                // Made only where missing: a login that may not make it is
                // told it may not change the roster, not the schema.
                run(QStringLiteral("SELECT to_regclass('vev_operator') IS NOT NULL"), {}, [this, next](const PgResult &exists) {
                    if (exists.flag(0, 0))
                        return next({});
                    runSteps({statement(operatorTable, {}), statement(operatorIdIndex, {})}, next);
                }, next);
            },
            statement(QStringLiteral("LOCK TABLE vev_operator IN SHARE ROW EXCLUSIVE MODE"), {}),
            [this, entry, code](const Done &next) {
                run(everyone, {}, [this, entry, code, next](const PgResult &result) {
                    QString why;
                    const auto entries = entriesOf(result, &why);
                    if (!entries)
                        return next(DbFault::refused(why));
                    for (const RosterEntry &other : *entries) {
                        if (other.id.compare(entry.id, Qt::CaseInsensitive) == 0) {
                            return next(DbFault::refused(QStringLiteral("the roster has %1 already (%2): remove it first")
                                                             .arg(other.id, printable(other.name)), ExitCode::Usage));
                        }
                        if (badgeMatches(other.badge, code)) {
                            return next(DbFault::refused(QStringLiteral("the badge code is %1's already: each person "
                                                                        "needs a code of their own").arg(other.id),
                                                         ExitCode::Usage));
                        }
                    }
                    const auto badge = hashBadge(code);
                    if (!badge)
                        return next(DbFault::refused(QStringLiteral("the system gave no random bytes to hash the code with")));
                    run(QStringLiteral("INSERT INTO vev_operator (id, name, role, badge) VALUES ($1, $2, $3, $4)"),
                        {entry.id, entry.name, roleText(entry.role), badge->text()},
                        [next](const PgResult &) { next({}); }, next);
                }, next);
            },
        }, finish);
    }, done);
}

void PlanDatabase::removeOperator(const QString &id, Done done)
{
    run(QStringLiteral("SELECT to_regclass('vev_operator') IS NOT NULL"), {}, [this, id, done](const PgResult &exists) {
        const auto none = DbFault::refused(QStringLiteral("the roster has no %1").arg(printable(id)), ExitCode::Usage);
        if (!exists.flag(0, 0))
            return done(none);
        run(QStringLiteral("DELETE FROM vev_operator WHERE lower(id) = lower($1) RETURNING id"), {id},
            [done, none](const PgResult &result) { done(result.rows() > 0 ? DbFault {} : none); }, done);
    }, done);
}
