// SPDX-License-Identifier: MIT
// PlanDatabase's tables: made when missing, their version checked.

#include "store/plandatabase.h"

#include "store/planstatements.h"

using namespace plansql;

namespace {

struct Statement {
    QString sql;
    QVariantList values;
};

const QList<Statement> schema = {
    {QStringLiteral("CREATE TABLE vev_schema (version integer NOT NULL)"), {}},
    {QStringLiteral("INSERT INTO vev_schema (version) VALUES ($1)"), {schemaVersion}},
    {QStringLiteral("CREATE TABLE vev_station (id serial PRIMARY KEY, name text NOT NULL UNIQUE, run bigint, "
                    "host text, pid bigint, program text, started timestamptz)"), {}},
    {QStringLiteral("CREATE SEQUENCE vev_run"), {}},
    {QStringLiteral("CREATE TABLE vev_plan (row integer PRIMARY KEY, line integer NOT NULL, "
                    "ip text NOT NULL UNIQUE, gateway text NOT NULL, tcp_port text NOT NULL, mac text NOT NULL UNIQUE, "
                    "forced boolean NOT NULL DEFAULT false, "
                    "state text NOT NULL DEFAULT 'open' CHECK (state IN ('open', 'claimed', 'passed', 'failed')), "
                    "station text, port text, run bigint, claimed_at timestamptz, done_at timestamptz, before jsonb, "
                    "audit_seq bigint)"), {}},
    {QStringLiteral("CREATE INDEX vev_plan_open ON vev_plan (row) WHERE state = 'open'"), {}},
    {QStringLiteral("CREATE TABLE vev_audit (seq bigint PRIMARY KEY, line text NOT NULL, prev text NOT NULL, "
                    "hash text NOT NULL, kind text NOT NULL, row integer, station text NOT NULL, operator text, "
                    "port text, result text, time timestamptz NOT NULL, stored_at timestamptz DEFAULT now())"), {}},
    {QStringLiteral("CREATE INDEX vev_audit_time ON vev_audit (time)"), {}},
    {QStringLiteral("CREATE INDEX vev_audit_station ON vev_audit (station, seq)"), {}},
    {QStringLiteral("CREATE INDEX vev_audit_row ON vev_audit (row, seq)"), {}},
    {QStringLiteral("CREATE FUNCTION vev_audit_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                    "RAISE EXCEPTION 'vev_audit is append-only: % refused', TG_OP "
                    "USING ERRCODE = 'insufficient_privilege'; END $$"), {}},
    {QStringLiteral("CREATE TRIGGER vev_audit_append_only BEFORE UPDATE OR DELETE ON vev_audit "
                    "FOR EACH ROW EXECUTE FUNCTION vev_audit_refuse()"), {}},
    {QStringLiteral("CREATE TRIGGER vev_audit_no_truncate BEFORE TRUNCATE ON vev_audit "
                    "FOR EACH STATEMENT EXECUTE FUNCTION vev_audit_refuse()"), {}},
};

// From each version to the next: index 0 takes version 1 to 2. Tables of
// an earlier version are brought up to this one when a station or command
// first meets them.
const QList<QList<Statement>> upgrades = {
    {
        // The server's time beside the bench's: lines stored before have none.
        {QStringLiteral("ALTER TABLE vev_audit ADD COLUMN IF NOT EXISTS stored_at timestamptz"), {}},
        {QStringLiteral("ALTER TABLE vev_audit ALTER COLUMN stored_at SET DEFAULT now()"), {}},
        // Each station's last line, for its clock, without reading the audit.
        {QStringLiteral("CREATE INDEX IF NOT EXISTS vev_audit_station ON vev_audit (station, seq)"), {}},
    },
    {
        // A row's lines, for a label reprinted from them and for the checks
        // of a claim, without reading the audit.
        {QStringLiteral("CREATE INDEX IF NOT EXISTS vev_audit_row ON vev_audit (row, seq)"), {}},
    },
};

const QString schemaExists = QStringLiteral("SELECT to_regclass('vev_schema') IS NOT NULL");

} // namespace

void PlanDatabase::ensureSchema(bool create, Done done)
{
    run(schemaExists, {}, [this, create, done](const PgResult &result) {
        if (result.flag(0, 0))
            return checkVersion(done);
        if (!create) {
            return done(DbFault::refused(QStringLiteral("%1 holds no plan (its tables vev_plan and vev_audit are missing): "
                                                        "check the URI, or import a plan with vev-cli plan import")
                                             .arg(m_uri.display())));
        }
        transaction(QStringLiteral("BEGIN"), [this](Done finish) { createSchema(finish); },
                    [this, done](const DbFault &fault) {
                        if (fault)
                            return done(fault);
                        checkVersion(done);
                    });
    }, done);
}

void PlanDatabase::createSchema(Done finish)
{
    // One station makes the tables; any other waits for it, then finds them.
    run(QStringLiteral("SELECT pg_advisory_xact_lock(CAST($1 AS integer), 0)"), {appendSpace},
        [this, finish](const PgResult &) {
            run(schemaExists, {}, [this, finish](const PgResult &result) {
                if (result.flag(0, 0))
                    return finish({});
                QList<Step> steps;
                for (const Statement &part : schema)
                    steps << statement(part.sql, part.values);
                runSteps(steps, [this, finish](DbFault fault) {
                    if (fault)
                        fault.why = QStringLiteral("cannot make the tables in %1: %2").arg(m_uri.display(), fault.why);
                    finish(fault);
                });
            }, finish);
        }, finish);
}

void PlanDatabase::checkVersion(Done done)
{
    // A vev_schema of some other program's, or one left empty (its making
    // cut short, or made by hand), is said as such, not as whatever the
    // first statement on the tables would say.
    const auto foreign = [this, done](const DbFault &fault) {
        if (fault.kind != DbFault::Refused)
            return done(fault);
        done(DbFault::refused(QStringLiteral("%1 has a table vev_schema that is not this tool's (%2): give the URI of a "
                                             "database for the plan alone")
                                  .arg(m_uri.display(), fault.why)));
    };
    run(QStringLiteral("SELECT max(version) FROM vev_schema"), {}, [this, done](const PgResult &result) {
        if (result.rows() == 0 || result.isNull(0, 0)) {
            return done(DbFault::refused(QStringLiteral("the table vev_schema in %1 is empty: its tables were not made by "
                                                        "this tool, or their making was cut short; give the URI of a "
                                                        "database for the plan alone")
                                             .arg(m_uri.display())));
        }
        const int version = int(result.number(0, 0));
        if (version > schemaVersion) {
            return done(DbFault::refused(QStringLiteral("the tables in %1 are of schema version %2, newer than this tool "
                                                        "knows (%3): use a newer vev-cli")
                                             .arg(m_uri.display()).arg(version).arg(schemaVersion)));
        }
        if (version < schemaVersion)
            return transaction(QStringLiteral("BEGIN"), [this](Done finish) { upgradeSchema(finish); }, done);
        done({});
    }, foreign);
}

void PlanDatabase::upgradeSchema(Done finish)
{
    // One session upgrades; any other waits for it, then finds it done.
    run(QStringLiteral("SELECT pg_advisory_xact_lock(CAST($1 AS integer), 0)"), {appendSpace}, [this, finish](const PgResult &) {
        run(QStringLiteral("SELECT max(version) FROM vev_schema"), {}, [this, finish](const PgResult &result) {
            QList<Step> steps;
            for (int version = int(result.number(0, 0)); version >= 1 && version < schemaVersion; ++version) {
                for (const Statement &part : upgrades.at(version - 1))
                    steps << statement(part.sql, part.values);
            }
            if (steps.isEmpty())
                return finish({});
            // The audit first, whole: a station reading it meanwhile makes
            // this wait its turn, never the other way round.
            steps.prepend(statement(QStringLiteral("LOCK TABLE vev_audit IN ACCESS EXCLUSIVE MODE"), {}));
            steps << statement(QStringLiteral("UPDATE vev_schema SET version = $1"), {schemaVersion});
            runSteps(steps, [this, finish](DbFault fault) {
                if (fault.kind == DbFault::Refused) {
                    fault.why = QStringLiteral("cannot bring the tables in %1 up to schema version %2 (%3): connect "
                                               "once as their owner")
                                    .arg(m_uri.display()).arg(schemaVersion).arg(fault.why);
                }
                finish(fault);
            });
        }, finish);
    }, finish);
}
