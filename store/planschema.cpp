// SPDX-License-Identifier: MIT
// PlanDatabase's tables: made when missing, their version checked.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include "plan/failurecodes.h"

using namespace plansql;

namespace {

struct Statement {
    QString sql;
    QVariantList values;
};

// A plan row's state, and what its claim holds, change only together with
// the audit line that says so, appended for that row in the same
// transaction: whoever can change a row cannot do so without its line.
// Its values never change.
const QString planGuard = QStringLiteral(
    "CREATE OR REPLACE FUNCTION vev_plan_guard() RETURNS trigger LANGUAGE plpgsql AS $$ "
    "DECLARE line_kind text; line_result text; made text; BEGIN "
    "IF (NEW.row, NEW.line, NEW.ip, NEW.gateway, NEW.tcp_port, NEW.mac, NEW.forced) IS DISTINCT FROM "
    "(OLD.row, OLD.line, OLD.ip, OLD.gateway, OLD.tcp_port, OLD.mac, OLD.forced) THEN "
    "RAISE EXCEPTION 'vev_plan row %: a row''s values never change', OLD.row USING ERRCODE = 'insufficient_privilege'; "
    "END IF; "
    "IF NEW.audit_seq IS NOT DISTINCT FROM OLD.audit_seq THEN "
    "IF (NEW.state, NEW.station, NEW.port, NEW.run, NEW.claimed_at, NEW.done_at, NEW.before::text) IS DISTINCT FROM "
    "(OLD.state, OLD.station, OLD.port, OLD.run, OLD.claimed_at, OLD.done_at, OLD.before::text) THEN "
    "RAISE EXCEPTION 'vev_plan row %: its state changes only with its audit line', OLD.row "
    "USING ERRCODE = 'insufficient_privilege'; END IF; RETURN NEW; END IF; "
    "SELECT kind, result INTO line_kind, line_result FROM vev_audit WHERE seq = NEW.audit_seq AND row = NEW.row "
    "AND xmin = (txid_current() % 4294967296)::text::xid; "
    "IF NOT FOUND THEN RAISE EXCEPTION 'vev_plan row %: its state changes only with an audit line for it appended "
    "in the same transaction', OLD.row USING ERRCODE = 'insufficient_privilege'; END IF; "
    "made := CASE line_kind WHEN 'claim' THEN 'claimed' WHEN 'release' THEN 'open' WHEN 'lost' THEN 'failed' "
    "WHEN 'outcome' THEN CASE WHEN line_result = 'pass' THEN 'passed' ELSE 'failed' END END; "
    "IF NEW.state IS DISTINCT FROM made THEN RAISE EXCEPTION 'vev_plan row %: its line of kind % does not make it %', OLD.row, line_kind, NEW.state "
    "USING ERRCODE = 'insufficient_privilege'; END IF; RETURN NEW; END $$");
const QString planGuardTrigger = QStringLiteral(
    "CREATE TRIGGER vev_plan_with_its_line BEFORE UPDATE ON vev_plan FOR EACH ROW EXECUTE FUNCTION vev_plan_guard()");
// A pass stored for a row another module may carry: open until the row is
// released (resolved_seq, the release's line).
const QString conflictTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS vev_conflict (row integer NOT NULL, seq bigint NOT NULL, station text NOT NULL, "
    "why text NOT NULL, resolved_seq bigint)");
// A conflict comes with its pass, and is resolved only with the release of
// its row, each appended in the same transaction; what it says never changes.
const QString conflictGuard = QStringLiteral(
    "CREATE OR REPLACE FUNCTION vev_conflict_guard() RETURNS trigger LANGUAGE plpgsql AS $$ "
    "DECLARE wanted text; seq_wanted bigint; BEGIN "
    "IF TG_OP = 'UPDATE' AND (NEW.row, NEW.seq, NEW.station, NEW.why) IS DISTINCT FROM "
    "(OLD.row, OLD.seq, OLD.station, OLD.why) THEN RAISE EXCEPTION 'vev_conflict of row %: what it says never changes', "
    "OLD.row USING ERRCODE = 'insufficient_privilege'; END IF; "
    "IF TG_OP = 'UPDATE' AND NEW.resolved_seq IS NOT DISTINCT FROM OLD.resolved_seq THEN RETURN NEW; END IF; "
    "IF TG_OP = 'INSERT' AND NEW.resolved_seq IS NOT NULL THEN RAISE EXCEPTION 'vev_conflict of row %: made resolved', "
    "NEW.row USING ERRCODE = 'insufficient_privilege'; END IF; "
    "IF TG_OP = 'INSERT' THEN wanted := 'outcome'; seq_wanted := NEW.seq; ELSE wanted := 'release'; "
    "seq_wanted := NEW.resolved_seq; END IF; "
    "PERFORM 1 FROM vev_audit WHERE seq = seq_wanted AND row = NEW.row AND kind = wanted "
    "AND (wanted = 'release' OR result = 'pass') AND xmin = (txid_current() % 4294967296)::text::xid; "
    "IF NOT FOUND THEN RAISE EXCEPTION 'vev_conflict of row %: only with its % line, appended in the same transaction', "
    "NEW.row, wanted USING ERRCODE = 'insufficient_privilege'; END IF; RETURN NEW; END $$");
const QString conflictGuardTrigger = QStringLiteral(
    "CREATE TRIGGER vev_conflict_with_its_line BEFORE INSERT OR UPDATE ON vev_conflict FOR EACH ROW "
    "EXECUTE FUNCTION vev_conflict_guard()");
// The guards read the tables of their own schema, never a session's
// temporary table of the same name.
const QString guardsPath = QStringLiteral(
    "DO $$ BEGIN "
    "EXECUTE format('ALTER FUNCTION vev_plan_guard() SET search_path = pg_catalog, %I, pg_temp', current_schema()); "
    "EXECUTE format('ALTER FUNCTION vev_conflict_guard() SET search_path = pg_catalog, %I, pg_temp', current_schema()); "
    "END $$");
// Which tables these are, whatever URI reaches them: a station remembers
// its last line by it.
const QString schemaId = QStringLiteral("md5(random()::text || clock_timestamp()::text)");

// A unit's lines, by the serial number scanned for it.
const QString unitIndex = QStringLiteral("CREATE INDEX IF NOT EXISTS vev_audit_serial ON vev_audit (serial, seq) "
                                         "WHERE serial IS NOT NULL");

// Views a site's dashboard reads (the README lists their columns): a
// unit is its serial number, else its plan row ("row N"); its first
// outcome is its first attempt. Lines stored before version 4 have no
// code: it is derived from the result and the reason, as failureCode()
// derives it.
QString derivedCode()
{
    QString fail;
    for (const Setting setting : allSettings) {
        fail += QStringLiteral("WHEN (line::jsonb->>'reason') LIKE '%1%' THEN '%2' ")
                    .arg(QLatin1String(settingInfo(setting).name), readBackCode(setting));
    }
    return QStringLiteral("COALESCE(NULLIF(code, ''), CASE result WHEN 'no-answer' THEN 'no-answer' "
                          "WHEN 'not-acknowledged' THEN 'not-acknowledged' "
                          "WHEN 'aborted' THEN CASE WHEN (line::jsonb->>'reason') LIKE 'stopped%' THEN 'stopped' "
                          "ELSE 'port-lost' END "
                          "ELSE CASE %1ELSE 'readback-mismatch' END END)").arg(fail);
}

const QString outcomeLines = QStringLiteral(
    "SELECT seq, COALESCE(NULLIF(serial, ''), 'row ' || row) AS unit, NULLIF(serial, '') AS serial, row, station, "
    "operator, NULLIF(operator_id, '') AS operator_id, port, result, time, "
    "row_number() OVER (PARTITION BY COALESCE(NULLIF(serial, ''), 'row ' || row) ORDER BY seq) = 1 AS first, "
    "CASE WHEN result = 'pass' THEN NULL ELSE %1 END AS code FROM vev_audit WHERE kind = 'outcome'").arg(derivedCode());

const QList<Statement> reportViews = {
    {QStringLiteral("CREATE OR REPLACE VIEW vev_units AS SELECT unit, max(serial) AS serial, "
                    "(array_agg(row ORDER BY seq DESC))[1] AS row, count(*)::integer AS attempts, "
                    "bool_or(first AND result = 'pass') AS first_passed, bool_or(result = 'pass') AS passed, "
                    "(array_agg(result ORDER BY seq DESC))[1] AS last_result, "
                    "(array_agg(code ORDER BY seq DESC) FILTER (WHERE code IS NOT NULL))[1] AS last_code, "
                    "(array_agg(station ORDER BY seq DESC))[1] AS station, "
                    "(array_agg(operator ORDER BY seq DESC))[1] AS operator, "
                    "(array_agg(operator_id ORDER BY seq DESC))[1] AS operator_id, "
                    "min(time) AS first_time, max(time) AS last_time FROM (%1) o GROUP BY unit").arg(outcomeLines), {}},
    {QStringLiteral("CREATE OR REPLACE VIEW vev_yield_hourly AS SELECT date_trunc('hour', time AT TIME ZONE 'UTC') AS hour, "
                    "station, count(*)::integer AS outcomes, count(*) FILTER (WHERE result = 'pass')::integer AS passed, "
                    "count(*) FILTER (WHERE result <> 'pass')::integer AS failed, count(DISTINCT unit)::integer AS units, "
                    "count(DISTINCT unit) FILTER (WHERE result = 'pass')::integer AS passed_units, "
                    "count(*) FILTER (WHERE first)::integer AS first_attempts, "
                    "count(*) FILTER (WHERE first AND result = 'pass')::integer AS first_passed, "
                    "(count(*) FILTER (WHERE first AND result = 'pass'))::float8 "
                    "/ NULLIF(count(*) FILTER (WHERE first), 0) AS first_pass_yield, "
                    "(count(DISTINCT unit) FILTER (WHERE result = 'pass'))::float8 / NULLIF(count(DISTINCT unit), 0) "
                    "AS final_yield FROM (%1) o GROUP BY 1, 2").arg(outcomeLines), {}},
    {QStringLiteral("CREATE OR REPLACE VIEW vev_failures_by_code AS SELECT code, count(*)::integer AS failures, "
                    "min(time) AS first_time, max(time) AS last_time FROM (SELECT code, time FROM (%1) o "
                    "WHERE result <> 'pass' UNION ALL SELECT 'lost-settings', time FROM vev_audit WHERE kind = 'lost') f "
                    "GROUP BY code").arg(outcomeLines), {}},
};

const QList<Statement> schema = QList<Statement> {
    {QStringLiteral("CREATE TABLE vev_schema (version integer NOT NULL, id text NOT NULL DEFAULT %1)").arg(schemaId), {}},
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
                    "port text, result text, time timestamptz NOT NULL, stored_at timestamptz DEFAULT now(), "
                    "serial text, attempt integer, code text, operator_id text)"), {}},
    {unitIndex, {}},
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
    {planGuard, {}},
    {planGuardTrigger, {}},
    {conflictTable, {}},
    {conflictGuard, {}},
    {conflictGuardTrigger, {}},
    {guardsPath, {}},
    {operatorTable, {}},
    {operatorIdIndex, {}},
} + reportViews;

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
        {planGuard, {}},
        {QStringLiteral("DROP TRIGGER IF EXISTS vev_plan_with_its_line ON vev_plan"), {}},
        {planGuardTrigger, {}},
        {conflictTable, {}},
        {conflictGuard, {}},
        {QStringLiteral("DROP TRIGGER IF EXISTS vev_conflict_with_its_line ON vev_conflict"), {}},
        {conflictGuardTrigger, {}},
        {guardsPath, {}},
        {QStringLiteral("ALTER TABLE vev_schema ADD COLUMN IF NOT EXISTS id text NOT NULL DEFAULT %1").arg(schemaId), {}},
        // A row's lines, for a label reprinted from them and for the checks
        // of a claim, without reading the audit.
        {QStringLiteral("CREATE INDEX IF NOT EXISTS vev_audit_row ON vev_audit (row, seq)"), {}},
    },
    QList<Statement> {
        // Lines stored before have none of these: their text says what
        // there is (a code derived from an old outcome's result).
        {QStringLiteral("ALTER TABLE vev_audit ADD COLUMN IF NOT EXISTS serial text, ADD COLUMN IF NOT EXISTS attempt "
                        "integer, ADD COLUMN IF NOT EXISTS code text, ADD COLUMN IF NOT EXISTS operator_id text"), {}},
        {unitIndex, {}},
        {operatorTable, {}},
        {operatorIdIndex, {}},
    } + reportViews,
};

} // namespace

QStringList plansql::reportViewStatements()
{
    QStringList statements;
    for (const Statement &view : reportViews)
        statements << view.sql;
    return statements;
}

void PlanDatabase::ensureSchema(bool create, Done done)
{
    run(schemaExists(), {}, [this, create, done](const PgResult &result) {
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
            run(schemaExists(), {}, [this, finish](const PgResult &result) {
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

void PlanDatabase::checkVersion(Done done, bool inTransaction)
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
    run(QStringLiteral("SELECT max(version) FROM vev_schema"), {}, [this, done, inTransaction](const PgResult &result) {
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
        if (version < schemaVersion && inTransaction)
            return upgradeSchema(done);
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
