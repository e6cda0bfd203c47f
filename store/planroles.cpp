// SPDX-License-Identifier: MIT
// What guards the shared audit from the stations themselves: two logins
// (the tables' owner, who makes and upgrades them, and the stations' role,
// which may claim, record and release but cannot change a plan row's
// values, an audit line or the tables), and each station's check, at its
// start, that the audit still holds the last line it stored.

#include "store/plandatabase.h"

#include "store/planstatements.h"

using namespace plansql;

namespace {

// What a station does with each table, and nothing more. %1 is the role,
// quoted by the server.
const QStringList stationGrants = {
    QStringLiteral("REVOKE ALL ON vev_schema, vev_station, vev_plan, vev_audit, vev_conflict FROM PUBLIC, %1"),
    QStringLiteral("REVOKE ALL ON SEQUENCE vev_run, vev_station_id_seq FROM PUBLIC, %1"),
    QStringLiteral("GRANT SELECT ON vev_schema, vev_station, vev_plan, vev_audit, vev_conflict TO %1"),
    // Sign-in checks a badge against the roster; only the owner changes it.
    QStringLiteral("REVOKE ALL ON vev_operator FROM PUBLIC, %1"),
    QStringLiteral("GRANT SELECT ON vev_operator TO %1"),
    QStringLiteral("GRANT INSERT ON vev_audit, vev_conflict TO %1"),
    QStringLiteral("GRANT UPDATE (resolved_seq) ON vev_conflict TO %1"),
    QStringLiteral("GRANT UPDATE (state, station, port, run, claimed_at, done_at, before, audit_seq) ON vev_plan TO %1"),
    QStringLiteral("GRANT INSERT (name), UPDATE (run, program, pid, host, started) ON vev_station TO %1"),
    QStringLiteral("GRANT USAGE ON SEQUENCE vev_run, vev_station_id_seq TO %1"),
    // The report's views, read-only like the audit they are made of.
    QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC, %2").arg(reportViewNames, QStringLiteral("%1")),
    QStringLiteral("GRANT SELECT ON %1 TO %2").arg(reportViewNames, QStringLiteral("%1")),
};

// This tool's objects that someone other than this login owns: the kind,
// the name as it is written in a statement, the owner. A serial column's
// sequence follows its table.
const QString othersObjects = QStringLiteral(
    "SELECT CASE c.relkind WHEN 'S' THEN 'SEQUENCE' ELSE 'TABLE' END, quote_ident(c.relname), "
    "pg_get_userbyid(c.relowner) FROM pg_class c WHERE c.relnamespace = to_regnamespace(current_schema()) "
    "AND c.relname IN ('vev_schema', 'vev_station', 'vev_plan', 'vev_audit', 'vev_conflict', 'vev_run', 'vev_operator') "
    "AND c.relowner <> (SELECT oid FROM pg_roles WHERE rolname = current_user) "
    "UNION ALL SELECT 'FUNCTION', quote_ident(p.proname) || '()', pg_get_userbyid(p.proowner) FROM pg_proc p "
    "WHERE p.pronamespace = to_regnamespace(current_schema()) "
    "AND p.proname IN ('vev_audit_refuse', 'vev_plan_guard', 'vev_conflict_guard') "
    "AND p.proowner <> (SELECT oid FROM pg_roles WHERE rolname = current_user)");

} // namespace

void PlanDatabase::initialise(const QString &stationRole, std::function<void(const DbFault &, const QString &)> done)
{
    auto report = std::make_shared<QString>();
    const Done finished = [report, done](const DbFault &fault) { done(fault, *report); };
    if (!m_pg)
        m_pg = std::make_unique<PgConnection>(m_limits);
    m_pg->open(m_uri, sessionProgram(), [this, stationRole, report, finished](const DbFault &fault) {
        if (fault)
            return finished(fault);
        configure([this, stationRole, report, finished](const DbFault &fault) {
            if (fault)
                return finished(fault);
            transaction(QStringLiteral("BEGIN"), [this, stationRole, report](Done finish) {
                auto quoted = std::make_shared<QString>();
                runSteps({
                    statement(QStringLiteral("SELECT pg_advisory_xact_lock(CAST($1 AS integer), 0)"), {appendSpace}),
                    [this, stationRole, quoted](const Done &next) { checkStationRole(stationRole, quoted, next); },
                    [this, report](const Done &next) { takeOver(report, next); },
                    [this](const Done &next) {
                        run(schemaExists(), {}, [this, next](const PgResult &result) {
                            if (!result.flag(0, 0))
                                return createSchema(next);
                            checkVersion(next, true);
                        }, next);
                    },
                    // Tables made at version 4 before the roster was.
                    statement(operatorTable, {}),
                    statement(operatorIdIndex, {}),
                    [this, quoted](const Done &next) {
                        QList<Step> steps;
                        for (const QString &view : reportViewStatements())
                            steps << statement(view, {});
                        for (const QString &grant : stationGrants)
                            steps << statement(grant.arg(*quoted), {});
                        runSteps(steps, next);
                    },
                    [this, stationRole, report](const Done &next) {
                        run(QStringLiteral("SELECT current_user"), {}, [this, stationRole, report, next](const PgResult &who) {
                            *report = QStringLiteral("The tables in %1 are at schema version %2, owned by %3%4; the role "
                                                     "%5 may claim, record and release rows, and cannot change a row's "
                                                     "values, an audit line or the tables.")
                                          .arg(m_uri.display()).arg(schemaVersion).arg(printable(who.text(0, 0)), *report,
                                                                                       printable(stationRole));
                            next({});
                        }, next);
                    },
                }, finish);
            }, finished);
        });
    });
}

void PlanDatabase::checkStationRole(const QString &role, const std::shared_ptr<QString> &quoted, Done next)
{
    // The role must not be able to act as the tables' owner, the
    // database's owner (who may drop what is in its schema), or make
    // objects of its own beside the tables.
    run(QStringLiteral("SELECT quote_ident($1), r.rolname IS NOT NULL, $1 = current_user, coalesce(r.rolsuper, false), "
                       "CASE WHEN r.rolname IS NULL THEN false ELSE pg_has_role($1, current_user, 'MEMBER') END, "
                       "CASE WHEN r.rolname IS NULL THEN false ELSE pg_has_role($1, d.datdba, 'MEMBER') END, "
                       "CASE WHEN r.rolname IS NULL THEN false ELSE has_schema_privilege($1, current_schema(), 'CREATE') END, "
                       "current_database(), current_schema() "
                       "FROM pg_database d LEFT JOIN pg_roles r ON r.rolname = $1 WHERE d.datname = current_database()"),
        {role}, [this, role, quoted, next](const PgResult &result) {
            const QString name = printable(role);
            if (!result.flag(0, 1)) {
                return next(DbFault::refused(QStringLiteral("%1 has no role %2: make it first (CREATE ROLE %2 LOGIN "
                                                            "PASSWORD '...'), then run db init again")
                                                 .arg(m_uri.display(), name), ExitCode::Usage));
            }
            if (result.flag(0, 2)) {
                return next(DbFault::refused(QStringLiteral("%1 is the login running db init, which owns the tables: "
                                                            "give the stations a role of their own")
                                                 .arg(name), ExitCode::Usage));
            }
            if (result.flag(0, 3)) {
                return next(DbFault::refused(QStringLiteral("%1 is a superuser, who could change the audit: give the "
                                                            "stations an ordinary role").arg(name), ExitCode::Usage));
            }
            if (result.flag(0, 4)) {
                return next(DbFault::refused(QStringLiteral("%1 is a member of the login running db init, which owns the "
                                                            "tables, and could change them: give the stations a role "
                                                            "of their own").arg(name), ExitCode::Usage));
            }
            if (result.flag(0, 5)) {
                return next(DbFault::refused(QStringLiteral("%1 owns the database %2 (or is a member of its owner) and "
                                                            "could drop the tables: make the login running db init its "
                                                            "owner (ALTER DATABASE %2 OWNER TO ...), then run db init again")
                                                 .arg(name, printable(result.text(0, 7))), ExitCode::Usage));
            }
            if (result.flag(0, 6)) {
                return next(DbFault::refused(QStringLiteral("%1 may create objects in the schema %2, beside the tables: "
                                                            "REVOKE CREATE ON SCHEMA %2 FROM %1 (and from PUBLIC), then "
                                                            "run db init again")
                                                 .arg(name, printable(result.text(0, 8))), ExitCode::Usage));
            }
            *quoted = result.text(0, 0);
            next({});
        }, next);
}

void PlanDatabase::takeOver(const std::shared_ptr<QString> &report, Done next)
{
    // Tables made by a station's own login (as they were before there were
    // two roles) become this login's, so that login keeps only its grants.
    run(othersObjects, {}, [this, report, next](const PgResult &objects) {
        QList<Step> steps;
        QStringList owners;
        for (int i = 0; i < objects.rows(); ++i) {
            steps << statement(QStringLiteral("ALTER %1 %2 OWNER TO CURRENT_USER").arg(objects.text(i, 0), objects.text(i, 1)),
                               {});
            if (!owners.contains(objects.text(i, 2)))
                owners << objects.text(i, 2);
        }
        if (!owners.isEmpty())
            *report = QStringLiteral(" (taken over from %1)").arg(printable(owners.join(QStringLiteral(", "))));
        runSteps(steps, [this, owners, next](DbFault fault) {
            if (fault.kind == DbFault::Refused) {
                fault.why = QStringLiteral("cannot take the tables in %1 over from %2 (%3): run db init as %2, the "
                                           "tables' owner, or as a superuser")
                                .arg(m_uri.display(), printable(owners.join(QStringLiteral(", "))), fault.why);
            }
            next(fault);
        });
    }, next);
}

void PlanDatabase::ownsTables(std::function<void(const DbFault &, const QString &login)> done)
{
    // A login that owns the tables, or may act as their owner, could drop
    // the guards and rewrite the audit.
    run(QStringLiteral("SELECT current_user, pg_has_role(c.relowner, 'MEMBER') OR r.rolsuper FROM pg_class c, pg_roles r "
                       "WHERE c.oid = to_regclass('vev_audit') AND r.rolname = current_user"),
        {}, [done](const PgResult &result) {
            done({}, result.rows() > 0 && result.flag(0, 1) ? result.text(0, 0) : QString());
        }, [done](const DbFault &fault) { done(fault, {}); });
}

void PlanDatabase::tablesId(std::function<void(const DbFault &, const QString &id)> done)
{
    run(QStringLiteral("SELECT id FROM vev_schema LIMIT 1"), {},
        [done](const PgResult &result) { done({}, result.rows() > 0 ? result.text(0, 0) : QString()); },
        [done](const DbFault &fault) { done(fault, {}); });
}

void PlanDatabase::checkLastLine(const std::optional<AuditMark> &remembered, const std::optional<AuditMark> &accept,
                                 Done done)
{
    if (accept) {
        // Only the line the audit ends at now: a flag left in a start-up
        // script does not turn the check off for good.
        return run(QStringLiteral("SELECT seq, hash FROM vev_audit ORDER BY seq DESC LIMIT 1"), {},
                   [this, remembered, accept, done](const PgResult &last) {
                       const AuditMark end {last.rows() > 0 ? last.number(0, 0) : 0,
                                            last.rows() > 0 ? last.bytes(0, 1) : firstPrev};
                       if (end.seq != accept->seq || end.hash != accept->hash) {
                           return done(DbFault::refused(
                               QStringLiteral("the audit in %1 ends at line %2 (hash %3), not at %4:%5: give the line "
                                              "it ends at now, as vev-cli audit-verify --db prints it")
                                   .arg(m_uri.display()).arg(end.seq).arg(QString::fromLatin1(end.hash))
                                   .arg(accept->seq).arg(QString::fromLatin1(accept->hash)),
                               ExitCode::Usage));
                       }
                       appendAccept(remembered, *accept, done);
                   }, done);
    }
    if (!remembered)
        return done({});
    run(QStringLiteral("SELECT hash = $2 FROM vev_audit WHERE seq = $1"), {remembered->seq, remembered->hash},
        [this, remembered, done](const PgResult &result) {
            if (result.rows() > 0 && result.flag(0, 0))
                return done({});
            done(DbFault::refused(QStringLiteral("the audit in %1 no longer holds line %2 as this station stored it "
                                                 "(its hash was %3): it was cut short or rewritten since; nothing was "
                                                 "sent. Check it with vev-cli audit-verify --db; after a restore from a "
                                                 "backup, start once with --accept-audit-from SEQ:HASH, the line the "
                                                 "restored audit ends at (0:%4 for an empty one)")
                                      .arg(m_uri.display()).arg(remembered->seq)
                                      .arg(QString::fromLatin1(remembered->hash), QString::fromLatin1(firstPrev)),
                                  ExitCode::AuditBroken));
        }, done);
}

void PlanDatabase::appendAccept(const std::optional<AuditMark> &remembered, const AuditMark &accept, Done done)
{
    AcceptRecord record {0, accept.seq, QString::fromLatin1(accept.hash), 0, {}};
    if (remembered) {
        record.rememberedSeq = remembered->seq;
        record.rememberedHash = QString::fromLatin1(remembered->hash);
    }
    const AuditRecord line = ownRecord(record);
    transaction(QStringLiteral("BEGIN"), [this, line](Done finish) {
        appendLine(line, std::nullopt, [finish](qint64) { finish({}); }, finish);
    }, done);
}
