// SPDX-License-Identifier: MIT
#include "store/plandatabase.h"

#include "protocol/values.h"
#include "plan/planbook.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSysInfo>

namespace {

constexpr int schemaVersion = 1;
// Advisory locks of this tool: (stationSpace, station id) for as long as a
// running station's connection lives; (appendSpace, 0) while a line is
// appended or the tables are made.
constexpr int stationSpace = 0x76657600;
constexpr int appendSpace = 0x76657601;
constexpr int exportBatch = 1000; // audit lines fetched at a time

// libpq's limits, so that a lost server is noticed rather than waited for;
// the keepalives and the user timeout apply to TCP connections (ms, s).
const QString connectOptions = QStringLiteral(
    "connect_timeout=5;keepalives_idle=10;keepalives_interval=3;keepalives_count=3;tcp_user_timeout=20000");
// The session's limits: a statement or a lock that takes longer than this
// is given up and tried again.
const QStringList sessionSettings = {
    QStringLiteral("SET TimeZone = 'UTC'"),
    QStringLiteral("SET statement_timeout = '15s'"),
    QStringLiteral("SET lock_timeout = '5s'"),
    QStringLiteral("SET idle_in_transaction_session_timeout = '60s'"),
};

const QStringList schema = {
    QStringLiteral("CREATE TABLE vev_schema (version integer NOT NULL)"),
    QStringLiteral("INSERT INTO vev_schema (version) VALUES (%1)").arg(schemaVersion),
    QStringLiteral("CREATE TABLE vev_station (id serial PRIMARY KEY, name text NOT NULL UNIQUE, run bigint, "
                   "host text, pid bigint, program text, started timestamptz)"),
    QStringLiteral("CREATE SEQUENCE vev_run"),
    QStringLiteral("CREATE TABLE vev_plan (row integer PRIMARY KEY, line integer NOT NULL, "
                   "ip text NOT NULL UNIQUE, gateway text NOT NULL, tcp_port text NOT NULL, mac text NOT NULL UNIQUE, "
                   "forced boolean NOT NULL DEFAULT false, "
                   "state text NOT NULL DEFAULT 'open' CHECK (state IN ('open', 'claimed', 'passed', 'failed')), "
                   "station text, port text, run bigint, claimed_at timestamptz, done_at timestamptz, before jsonb, "
                   "audit_seq bigint)"),
    QStringLiteral("CREATE INDEX vev_plan_open ON vev_plan (row) WHERE state = 'open'"),
    QStringLiteral("CREATE TABLE vev_audit (seq bigint PRIMARY KEY, line text NOT NULL, prev text NOT NULL, "
                   "hash text NOT NULL, kind text NOT NULL, row integer, station text NOT NULL, operator text, "
                   "port text, result text, time timestamptz NOT NULL)"),
    QStringLiteral("CREATE INDEX vev_audit_time ON vev_audit (time)"),
    QStringLiteral("CREATE FUNCTION vev_audit_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                   "RAISE EXCEPTION 'vev_audit is append-only: % refused', TG_OP "
                   "USING ERRCODE = 'insufficient_privilege'; END $$"),
    QStringLiteral("CREATE TRIGGER vev_audit_append_only BEFORE UPDATE OR DELETE ON vev_audit "
                   "FOR EACH ROW EXECUTE FUNCTION vev_audit_refuse()"),
    QStringLiteral("CREATE TRIGGER vev_audit_no_truncate BEFORE TRUNCATE ON vev_audit "
                   "FOR EACH STATEMENT EXECUTE FUNCTION vev_audit_refuse()"),
};

// The runs of the stations running now: each holds its name's advisory
// lock for as long as its connection lives.
const QString liveRuns = QStringLiteral(
    "WITH live AS (SELECT s.name, s.run FROM vev_station s JOIN pg_locks l ON l.locktype = 'advisory' "
    "AND l.granted AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
    "AND l.classid::bigint = %1 AND l.objid::bigint = s.id AND l.objsubid = 2) ").arg(stationSpace);
const QString joinLive = QStringLiteral(
    " LEFT JOIN live l ON p.state = 'claimed' AND l.name = p.station AND l.run = p.run ");
const QString rowColumns = QStringLiteral("p.row, p.line, p.ip, p.gateway, p.tcp_port, p.mac");
// A plan row locked for a change: its values, state, whether a running
// station holds it, and the station of its last claim.
const QString lockedRow = liveRuns + QStringLiteral("SELECT ") + rowColumns + QStringLiteral(
    ", p.state, l.name IS NOT NULL, p.station FROM vev_plan p") + joinLive + QStringLiteral("WHERE p.row = ? FOR UPDATE OF p");
const QString snapshot = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");

RowState stateOf(const QString &text)
{
    for (RowState state : {RowState::Open, RowState::Claimed, RowState::Passed, RowState::Failed}) {
        if (rowStateText(state) == text)
            return state;
    }
    return RowState::Failed;
}

// A plan row from the columns rowColumns names, from the first.
PlanRow planRowOf(const QSqlQuery &query, int first = 0)
{
    PlanRow row;
    row.row = query.value(first).toInt();
    row.line = query.value(first + 1).toInt();
    for (Setting setting : allSettings)
        valueOf(row.values, setting) = query.value(first + 2 + int(setting)).toString();
    return row;
}

QString isoTime(const QVariant &value)
{
    return value.isNull() ? QString() : value.toDateTime().toUTC().toString(Qt::ISODateWithMs);
}

// What a driver or server error says, on one line: libpq's text spreads
// over several, with the SQLSTATE in parentheses at the end.
QString cleaned(const QSqlError &error)
{
    QString text = error.databaseText().trimmed().isEmpty() ? error.driverText() : error.databaseText();
    QStringList parts;
    for (QString part : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        for (const char *prefix : {"ERROR:", "FATAL:"}) {
            if (part.startsWith(QLatin1String(prefix)))
                part = part.mid(int(qstrlen(prefix))).trimmed();
        }
        if (!part.isEmpty() && part != QLatin1Char('(') + error.nativeErrorCode() + QLatin1Char(')'))
            parts << part;
    }
    return printable(parts.join(QStringLiteral("; ")));
}

} // namespace

DbFault::Kind faultKind(const QString &sqlState, bool connected)
{
    // Class 08 is the connection's; 57P01-57P03 a server shutting down or
    // starting; 57014 a statement cancelled by its timeout.
    if (!connected || sqlState.startsWith(QLatin1String("08")) || sqlState == QLatin1String("57P01")
        || sqlState == QLatin1String("57P02") || sqlState == QLatin1String("57P03")
        || sqlState == QLatin1String("57014"))
        return DbFault::Unreachable;
    // Another transaction holds what this one needs: a lock that timed out,
    // a serialisation failure, a deadlock.
    if (sqlState == QLatin1String("55P03") || sqlState == QLatin1String("40001") || sqlState == QLatin1String("40P01"))
        return DbFault::Busy;
    return DbFault::Refused;
}

PlanDatabase::PlanDatabase(DatabaseUri uri, Identity identity)
    : m_uri(std::move(uri))
    , m_identity(std::move(identity))
    , m_connection(QStringLiteral("vev-plan-%1").arg(quintptr(this)))
{
}

PlanDatabase::~PlanDatabase()
{
    close();
    if (m_db.isValid()) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool PlanDatabase::isConnected() const
{
    return m_db.isValid() && m_db.isOpen();
}

void PlanDatabase::close()
{
    // Queries belong to the connection.
    m_queries.clear();
    if (m_db.isValid())
        m_db.close();
}

DbFault PlanDatabase::connect(bool create)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        return DbFault::refused(QStringLiteral("Qt's PostgreSQL driver is not installed (Debian: libqt%1sql%1-psql)")
                                    .arg(QT_VERSION_MAJOR));
    }
    close();
    if (!m_db.isValid())
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    m_db.setHostName(m_uri.host);
    m_db.setPort(m_uri.port > 0 ? m_uri.port : -1);
    m_db.setDatabaseName(m_uri.database);
    m_db.setUserName(m_uri.user);
    m_db.setPassword(m_uri.password);
    // The program's name shows in the server's list of sessions.
    QString program = QCoreApplication::applicationName();
    program.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    QStringList options {connectOptions, QStringLiteral("application_name=") + program};
    options << m_uri.options;
    m_db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!m_db.open()) {
        return {DbFault::Unreachable,
                QStringLiteral("cannot connect to %1: %2").arg(m_uri.display(), cleaned(m_db.lastError()))};
    }
    for (const QString &setting : sessionSettings) {
        QSqlQuery query(m_db);
        if (!query.exec(setting))
            return faultOf(query.lastError());
    }
    if (auto fault = ensureSchema(create))
        return fault;
    return m_stationId > 0 ? lockStation() : DbFault {};
}

DbFault PlanDatabase::faultOf(const QSqlError &error) const
{
    const bool connected = isConnected() && error.type() != QSqlError::ConnectionError;
    return {faultKind(error.nativeErrorCode(), connected), cleaned(error)};
}

DbFault PlanDatabase::execute(const QString &sql, const QVariantList &values, QSqlQuery **result)
{
    if (!isConnected())
        return {DbFault::Unreachable, QStringLiteral("the connection to %1 was lost").arg(m_uri.display())};
    // Each ? outside quotes takes the next value as the driver writes it
    // (quoted and escaped): no statement prepared on the server, so none
    // is left behind on a connection that was lost.
    QString text;
    text.reserve(sql.size());
    int next = 0;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (c != QLatin1Char('?') || quoted || next >= values.size()) {
            text += c;
            continue;
        }
        const QVariant &value = values.at(next++);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        QSqlField field(QString(), value.metaType());
#else
        QSqlField field(QString(), value.type());
#endif
        field.setValue(value);
        text += m_db.driver()->formatValue(field);
    }
    std::shared_ptr<QSqlQuery> &query = m_queries[sql];
    if (!query) {
        query = std::make_shared<QSqlQuery>(m_db);
        query->setForwardOnly(true);
    }
    if (!query->exec(text))
        return faultOf(query->lastError());
    if (result)
        *result = query.get();
    return {};
}

DbFault PlanDatabase::transaction(const std::function<DbFault()> &body, const QString &begin)
{
    if (auto fault = execute(begin))
        return fault;
    if (auto fault = body()) {
        if (isConnected())
            execute(QStringLiteral("ROLLBACK"));
        return fault;
    }
    return execute(QStringLiteral("COMMIT"));
}

DbFault PlanDatabase::ensureSchema(bool create)
{
    QSqlQuery *query = nullptr;
    const QString exists = QStringLiteral("SELECT to_regclass('vev_schema') IS NOT NULL");
    if (auto fault = execute(exists, {}, &query))
        return fault;
    if (!query->next() || !query->value(0).toBool()) {
        if (!create) {
            return DbFault::refused(QStringLiteral("%1 holds no plan (its tables vev_plan and vev_audit are missing): "
                                                   "check the URI, or import a plan with vev-cli plan import")
                                        .arg(m_uri.display()));
        }
        // One station makes the tables; any other waits for it, then finds them.
        const DbFault fault = transaction([&]() -> DbFault {
            if (auto fault = execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(appendSpace)))
                return fault;
            if (auto fault = execute(exists, {}, &query))
                return fault;
            if (query->next() && query->value(0).toBool())
                return {};
            for (const QString &statement : schema) {
                if (auto fault = execute(statement)) {
                    fault.why = QStringLiteral("cannot make the tables in %1: %2").arg(m_uri.display(), fault.why);
                    return fault;
                }
            }
            return {};
        });
        if (fault)
            return fault;
    }
    if (auto fault = execute(QStringLiteral("SELECT max(version) FROM vev_schema"), {}, &query))
        return fault;
    const int version = query->next() ? query->value(0).toInt() : 0;
    if (version > schemaVersion) {
        return DbFault::refused(QStringLiteral("the tables in %1 are of schema version %2, newer than this tool knows "
                                               "(%3): use a newer vev-cli").arg(m_uri.display()).arg(version)
                                    .arg(schemaVersion));
    }
    return {};
}

DbFault PlanDatabase::takeStation()
{
    QSqlQuery *query = nullptr;
    if (auto fault = execute(QStringLiteral("INSERT INTO vev_station (name) VALUES (?) ON CONFLICT (name) DO NOTHING"),
                             {m_identity.station}))
        return fault;
    if (auto fault = execute(QStringLiteral("SELECT id FROM vev_station WHERE name = ?"), {m_identity.station}, &query))
        return fault;
    if (!query->next())
        return DbFault::refused(QStringLiteral("the station %1 could not be entered").arg(printable(m_identity.station)));
    m_stationId = query->value(0).toInt();
    if (auto fault = execute(QStringLiteral("SELECT nextval('vev_run')"), {}, &query))
        return fault;
    m_run = query->next() ? query->value(0).toLongLong() : 0;
    const DbFault fault = lockStation();
    if (fault) {
        m_stationId = 0;
        m_run = 0;
    }
    return fault;
}

DbFault PlanDatabase::lockStation()
{
    QSqlQuery *query = nullptr;
    const QString lock = QStringLiteral("SELECT pg_try_advisory_lock(CAST(? AS integer), CAST(? AS integer))");
    if (auto fault = execute(lock, {stationSpace, m_stationId}, &query))
        return fault;
    if (!query->next() || !query->value(0).toBool()) {
        QString holder = QStringLiteral("another station");
        if (!execute(QStringLiteral("SELECT program, pid, host FROM vev_station WHERE id = ?"), {m_stationId}, &query)
            && query->next()) {
            holder = holderText(query->value(0).toString(), query->value(1).toLongLong(), query->value(2).toString());
        }
        return DbFault::refused(QStringLiteral("the station name \"%1\" is in use by a running station (%2) on %3; "
                                               "give each station a name of its own with --station; nothing was sent")
                                    .arg(printable(m_identity.station), holder, m_uri.display()),
                                ExitCode::Held);
    }
    // The run is known by this number: its claims are in hand while it runs,
    // in doubt once it has ended.
    return execute(QStringLiteral("UPDATE vev_station SET run = ?, program = ?, pid = ?, host = ?, started = now() "
                                  "WHERE id = ?"),
                   {m_run, QCoreApplication::applicationName(), QCoreApplication::applicationPid(),
                    QSysInfo::machineHostName(), m_stationId});
}

DbFault PlanDatabase::importPlan(const QList<PlanRow> &rows, bool forced, int *first)
{
    QJsonArray json;
    for (const PlanRow &row : rows) {
        json.append(QJsonObject {
            {QStringLiteral("n"), row.row},
            {QStringLiteral("line"), row.line},
            {QStringLiteral("ip"), canonicalOf(row.values, Setting::IpAddress)},
            {QStringLiteral("gateway"), canonicalOf(row.values, Setting::Gateway)},
            {QStringLiteral("tcp_port"), canonicalOf(row.values, Setting::Port)},
            {QStringLiteral("mac"), canonicalOf(row.values, Setting::MacAddress)},
        });
    }
    const QString text = QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
    const QString records = QStringLiteral(
        "json_to_recordset(CAST(? AS json)) AS x(n integer, line integer, ip text, gateway text, tcp_port text, mac text)");
    return transaction([&]() -> DbFault {
        // One import at a time, and no claim in between: the pool is checked
        // whole against what is there.
        if (auto fault = execute(QStringLiteral("LOCK TABLE vev_plan IN SHARE ROW EXCLUSIVE MODE")))
            return fault;
        QSqlQuery *query = nullptr;
        if (auto fault = execute(QStringLiteral("SELECT x.line, x.ip, x.mac, p.row, p.ip, p.mac, p.state FROM ") + records
                                     + QStringLiteral(" JOIN vev_plan p ON p.ip = x.ip OR p.mac = x.mac ORDER BY x.line LIMIT 1"),
                                 {text}, &query))
            return fault;
        if (query->next()) {
            const bool sameIp = query->value(1) == query->value(4);
            return DbFault::refused(
                QStringLiteral("line %1 (IP \"%2\", MAC \"%3\"): its %4 address is already in the database, in row %5 (IP "
                               "\"%6\", MAC \"%7\", %8); one address would go to two modules; nothing was imported")
                    .arg(query->value(0).toInt()).arg(printable(query->value(1).toString()), printable(query->value(2).toString()),
                         sameIp ? QStringLiteral("IP") : QStringLiteral("MAC")).arg(query->value(3).toInt())
                    .arg(printable(query->value(4).toString()), printable(query->value(5).toString()), query->value(6).toString()),
                ExitCode::Usage);
        }
        if (auto fault = execute(QStringLiteral("SELECT coalesce(max(row), 0) FROM vev_plan"), {}, &query))
            return fault;
        const int last = query->next() ? query->value(0).toInt() : 0;
        if (auto fault = execute(QStringLiteral("INSERT INTO vev_plan (row, line, ip, gateway, tcp_port, mac, forced) "
                                                "SELECT CAST(? AS integer) + x.n, x.line, x.ip, x.gateway, x.tcp_port, x.mac, "
                                                "CAST(? AS boolean) FROM ") + records,
                                 {last, forced, text}))
            return fault;
        *first = last + 1;
        return {};
    });
}

DbFault PlanDatabase::claim(const QString &port, const SettingValues &module, bool retrying, ProvisionStore::Claim *claim)
{
    const QString mac = canonicalOf(module, Setting::MacAddress);
    const QString ip = canonicalOf(module, Setting::IpAddress);
    return transaction([&]() -> DbFault {
        QSqlQuery *query = nullptr;
        if (retrying) {
            // A lane holds one row at a time: a row this run claimed for this
            // port is the one an attempt stored before its answer was lost.
            if (auto fault = execute(QStringLiteral("SELECT ") + rowColumns + QStringLiteral(" FROM vev_plan p WHERE "
                                                    "p.state = 'claimed' AND p.run = ? AND p.port = ?"), {m_run, port}, &query))
                return fault;
            if (query->next()) {
                const PlanRow row = planRowOf(*query);
                const bool carries = canonicalOf(row.values, Setting::MacAddress) == mac
                                     || canonicalOf(row.values, Setting::IpAddress) == ip;
                *claim = {carries ? ProvisionStore::Claim::Resume : ProvisionStore::Claim::Fresh, row, {}};
                return {};
            }
        }

        // The rows that hold the module's MAC or IP decide, by the plan book's
        // rule; a claim of a station still running is in hand, not in doubt.
        if (auto fault = execute(liveRuns + QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.state, "
                                                           "l.name IS NOT NULL FROM vev_plan p") + joinLive
                                     + QStringLiteral("WHERE p.state <> 'open' AND (p.mac = ? OR p.ip = ?)"),
                                 {mac, ip}, &query))
            return fault;
        std::optional<RowEntry> byMac;
        std::optional<RowEntry> byIp;
        while (query->next()) {
            RowEntry entry;
            const PlanRow row = planRowOf(*query);
            entry.row = row.row;
            entry.planLine = row.line;
            entry.values = row.values;
            entry.state = stateOf(query->value(6).toString());
            entry.inHand = query->value(7).toBool();
            if (canonicalOf(row.values, Setting::MacAddress) == mac)
                byMac = entry;
            if (canonicalOf(row.values, Setting::IpAddress) == ip)
                byIp = entry;
        }
        const RowEntry *decisive = nullptr;
        const auto verdict = PlanBook::ruling(byMac ? &*byMac : nullptr, byIp ? &*byIp : nullptr, &decisive);
        if (verdict == PlanBook::Verdict::HoldsPassed) {
            *claim = {ProvisionStore::Claim::HoldsPassed, {decisive->row, decisive->planLine, decisive->values}, {}};
            return {};
        }

        PlanRow row;
        bool forced = false;
        if (verdict == PlanBook::Verdict::Resume) {
            if (auto fault = execute(QStringLiteral("SELECT forced FROM vev_plan WHERE row = ? AND state IN ('claimed', "
                                                    "'failed') FOR UPDATE SKIP LOCKED"), {decisive->row}, &query))
                return fault;
            if (!query->next())
                return {DbFault::Busy, QStringLiteral("row %1 is being changed by another station").arg(decisive->row)};
            row = {decisive->row, decisive->planLine, decisive->values};
            forced = query->value(0).toBool();
        } else {
            if (auto fault = execute(QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.forced FROM vev_plan p "
                                                    "WHERE p.state = 'open' ORDER BY p.row LIMIT 1 FOR UPDATE SKIP LOCKED"),
                                     {}, &query))
                return fault;
            if (!query->next()) {
                // Open rows that other stations are claiming this moment are
                // skipped: whether any stay open shows once they are done.
                if (auto fault = execute(QStringLiteral("SELECT EXISTS (SELECT 1 FROM vev_plan WHERE state = 'open')"), {},
                                         &query))
                    return fault;
                if (query->next() && query->value(0).toBool())
                    return {DbFault::Busy, QStringLiteral("other stations are claiming the last open rows")};
                *claim = {ProvisionStore::Claim::NothingOpen, {}, {}};
                return {};
            }
            row = planRowOf(*query);
            forced = query->value(6).toBool();
        }

        const AuditRecord record {auditTimeNow(), m_identity.station, m_identity.operatorName, {},
                                  ClaimRecord {row.row, port, module, row.values, forced}};
        qint64 seq = 0;
        if (auto fault = appendLine(record, &seq))
            return fault;
        if (auto fault = execute(QStringLiteral("UPDATE vev_plan SET state = 'claimed', station = ?, port = ?, run = ?, "
                                                "claimed_at = CAST(? AS timestamptz), done_at = NULL, "
                                                "before = CAST(? AS jsonb), audit_seq = ? WHERE row = ?"),
                                 {m_identity.station, port, m_run, record.time,
                                  QString::fromUtf8(QJsonDocument(settingsToJson(module)).toJson(QJsonDocument::Compact)),
                                  seq, row.row}))
            return fault;
        *claim = {verdict == PlanBook::Verdict::Resume ? ProvisionStore::Claim::Resume : ProvisionStore::Claim::Fresh, row,
                  {}};
        return {};
    });
}

DbFault PlanDatabase::appendLine(AuditRecord record, qint64 *seq)
{
    if (record.time.isEmpty())
        record.time = auditTimeNow();
    // One chain through every station's lines: appends go one at a time.
    if (auto fault = execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(appendSpace)))
        return fault;
    QSqlQuery *query = nullptr;
    if (auto fault = execute(QStringLiteral("SELECT seq, hash FROM vev_audit ORDER BY seq DESC LIMIT 1"), {}, &query))
        return fault;
    qint64 last = 0;
    QByteArray prev = firstPrev;
    if (query->next()) {
        last = query->value(0).toLongLong();
        prev = query->value(1).toString().toLatin1();
    }
    const QByteArray line = auditLine(record, prev);
    const auto port = recordPort(record.body);
    const auto result = recordResult(record.body);
    *seq = last + 1;
    return execute(QStringLiteral("INSERT INTO vev_audit (seq, line, prev, hash, kind, row, station, operator, port, "
                                  "result, time) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, CAST(? AS timestamptz))"),
                   {*seq, QString::fromUtf8(line), QString::fromLatin1(prev), QString::fromLatin1(chainHash(line)),
                    kindName(record.body), recordRow(record.body), record.station,
                    record.operatorName.isEmpty() ? QVariant() : QVariant(record.operatorName),
                    port ? QVariant(*port) : QVariant(), result ? QVariant(*result) : QVariant(),
                    record.time});
}

DbFault PlanDatabase::isStored(const AuditRecord &record, bool *stored)
{
    // A record is known by its time (to the millisecond), station, kind and row.
    QSqlQuery *query = nullptr;
    if (auto fault = execute(QStringLiteral("SELECT EXISTS (SELECT 1 FROM vev_audit WHERE time = CAST(? AS timestamptz) "
                                            "AND station = ? AND kind = ? AND row = ?)"),
                             {record.time, record.station, kindName(record.body), recordRow(record.body)}, &query))
        return fault;
    *stored = query->next() && query->value(0).toBool();
    return {};
}

DbFault PlanDatabase::settle(int row, RowState state, qint64 seq, const QString &time)
{
    return execute(QStringLiteral("UPDATE vev_plan SET state = ?, done_at = CAST(? AS timestamptz), audit_seq = ? "
                                  "WHERE row = ?"),
                   {rowStateText(state), time, seq, row});
}

DbFault PlanDatabase::append(const AuditRecord &record, bool retrying)
{
    return transaction([&]() -> DbFault {
        bool stored = false;
        if (retrying) {
            if (auto fault = isStored(record, &stored))
                return fault;
            if (stored)
                return {};
        }
        // The row's state follows while this run still holds its claim; a row
        // released meanwhile by the operator keeps the state given to it.
        const int row = recordRow(record.body);
        const auto state = PlanBook::stateAfter(record.body);
        bool holds = false;
        QSqlQuery *query = nullptr;
        if (state) {
            if (auto fault = execute(QStringLiteral("SELECT state = 'claimed' AND run = ? FROM vev_plan WHERE row = ? "
                                                    "FOR UPDATE"), {m_run, row}, &query))
                return fault;
            holds = query->next() && query->value(0).toBool();
        }
        qint64 seq = 0;
        if (auto fault = appendLine(record, &seq))
            return fault;
        if (holds) {
            if (auto fault = settle(row, *state, seq, record.time))
                return fault;
        }
        return {};
    });
}

DbFault PlanDatabase::release(int row, SettingValues *values)
{
    return transaction([&]() -> DbFault {
        QSqlQuery *query = nullptr;
        if (auto fault = execute(lockedRow, {row}, &query))
            return fault;
        if (!query->next()) {
            const QString rows = !execute(QStringLiteral("SELECT count(*) FROM vev_plan"), {}, &query) && query->next()
                                     ? query->value(0).toString() : QStringLiteral("fewer");
            return DbFault::refused(QStringLiteral("the plan has no row %1 (it has %2)").arg(row).arg(rows),
                                    ExitCode::Usage);
        }
        const PlanRow planRow = planRowOf(*query);
        const RowState state = stateOf(query->value(6).toString());
        const bool live = query->value(7).toBool();
        if (state == RowState::Open || state == RowState::Passed || live) {
            const QString what = live ? QStringLiteral("being written by the station %1").arg(printable(query->value(8).toString()))
                                      : rowStateText(state);
            return DbFault::refused(QStringLiteral("row %1 is %2, not in doubt; only a row in doubt is released")
                                        .arg(row).arg(what), ExitCode::Usage);
        }
        const AuditRecord record {auditTimeNow(), m_identity.station, m_identity.operatorName, {},
                                  ReleaseRecord {row, planRow.values, QStringLiteral("released by the operator")}};
        qint64 seq = 0;
        if (auto fault = appendLine(record, &seq))
            return fault;
        if (auto fault = settle(row, RowState::Open, seq, record.time))
            return fault;
        *values = planRow.values;
        return {};
    });
}

DbFault PlanDatabase::importRecords(const QList<AuditRecord> &records, int *added, int *present)
{
    *added = 0;
    *present = 0;
    return transaction([&]() -> DbFault {
        for (int i = 0; i < records.size(); ++i) {
            const AuditRecord &record = records.at(i);
            bool stored = false;
            if (auto fault = isStored(record, &stored))
                return fault;
            if (stored) {
                ++*present;
                continue;
            }
            const int row = recordRow(record.body);
            QSqlQuery *query = nullptr;
            if (auto fault = execute(lockedRow, {row}, &query))
                return fault;
            if (!query->next()) {
                return DbFault::refused(QStringLiteral("record %1 is about row %2, which the database does not have; "
                                                       "nothing was imported").arg(i + 1).arg(row), ExitCode::Usage);
            }
            const PlanRow planRow = planRowOf(*query);
            const SettingValues &values = recordValues(record.body);
            if (canonicalOf(values, Setting::IpAddress) != canonicalOf(planRow.values, Setting::IpAddress)
                || canonicalOf(values, Setting::MacAddress) != canonicalOf(planRow.values, Setting::MacAddress)) {
                return DbFault::refused(QStringLiteral("record %1 is about row %2 with %3, but the database's row %2 "
                                                       "has %4: it comes from another plan; nothing was imported")
                                            .arg(i + 1).arg(row).arg(quotedValues(values), quotedValues(planRow.values)),
                                        ExitCode::Usage);
            }
            const RowState state = stateOf(query->value(6).toString());
            if (query->value(7).toBool()) {
                return DbFault::refused(QStringLiteral("row %1 is being written by the station %2 now; import the "
                                                       "file once it is done; nothing was imported")
                                            .arg(row).arg(printable(query->value(8).toString())), ExitCode::Held);
            }
            // The state follows only while the row still waits for this very
            // record: its station's claim, left by the run that kept the record.
            const auto after = PlanBook::stateAfter(record.body);
            const bool settles = after && state == RowState::Claimed && query->value(8).toString() == record.station;
            qint64 seq = 0;
            if (auto fault = appendLine(record, &seq))
                return fault;
            if (settles) {
                if (auto fault = settle(row, *after, seq, record.time))
                    return fault;
            }
            ++*added;
        }
        return {};
    });
}

DbFault PlanDatabase::status(bool full, StoreStatus *status)
{
    *status = StoreStatus();
    // One snapshot for everything read.
    return transaction([&]() -> DbFault {
        QSqlQuery *query = nullptr;
        if (auto fault = execute(liveRuns + QStringLiteral("SELECT s.name, s.program, s.pid, s.host, l.name IS NOT NULL "
                                                           "FROM vev_station s LEFT JOIN live l ON l.name = s.name "
                                                           "ORDER BY s.name"), {}, &query))
            return fault;
        QStringList running;
        while (query->next()) {
            StationStatus station;
            station.name = query->value(0).toString();
            if (query->value(4).toBool()) {
                station.holder = holderText(query->value(1).toString(), query->value(2).toLongLong(),
                                            query->value(3).toString());
                running << QStringLiteral("%1 (%2)").arg(printable(station.name), station.holder);
            }
            status->stations << station;
        }
        status->holder = running.join(QStringLiteral(", "));

        if (auto fault = execute(liveRuns + QStringLiteral("SELECT p.state, p.station, l.name IS NOT NULL, count(*) "
                                                           "FROM vev_plan p") + joinLive + QStringLiteral("GROUP BY 1, 2, 3"),
                                 {}, &query))
            return fault;
        while (query->next()) {
            const RowState state = stateOf(query->value(0).toString());
            const bool live = query->value(2).toBool();
            const int count = query->value(3).toInt();
            status->rows += count;
            StationStatus *station = nullptr;
            for (StationStatus &known : status->stations) {
                if (known.name == query->value(1).toString())
                    station = &known;
            }
            switch (state) {
            case RowState::Open: status->open += count; break;
            case RowState::Passed: status->passed += count; break;
            case RowState::Failed: status->failed += count; break;
            case RowState::Claimed: (live ? status->inHand : status->claimed) += count; break;
            }
            if (station && state != RowState::Open) {
                switch (state) {
                case RowState::Passed: station->passed += count; break;
                case RowState::Failed: station->failed += count; break;
                default: (live ? station->inHand : station->claimed) += count; break;
                }
            }
        }

        if (auto fault = execute(liveRuns + QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.state, p.station, "
                                                           "p.port, coalesce(p.done_at, p.claimed_at), p.before, p.audit_seq "
                                                           "FROM vev_plan p") + joinLive
                                     + QStringLiteral("WHERE p.state = 'failed' OR (p.state = 'claimed' AND l.name IS NULL) "
                                                      "ORDER BY p.row"), {}, &query))
            return fault;
        while (query->next()) {
            RowEntry entry;
            const PlanRow row = planRowOf(*query);
            entry.planIndex = row.row - 1;
            entry.row = row.row;
            entry.planLine = row.line;
            entry.values = row.values;
            entry.recorded = row.values;
            entry.state = stateOf(query->value(6).toString());
            entry.station = query->value(7).toString();
            entry.port = query->value(8).toString();
            entry.time = isoTime(query->value(9));
            QString error;
            if (const auto before = settingsFromJson(QJsonDocument::fromJson(query->value(10).toString().toUtf8()).object(),
                                                     &error))
                entry.before = *before;
            entry.auditLine = query->value(11).toInt();
            status->inDoubt << entry;
        }

        if (auto fault = execute(QStringLiteral("SELECT line FROM vev_audit WHERE kind = 'outcome' ORDER BY seq DESC "
                                                "LIMIT %1").arg(StoreStatus::recentCount), {}, &query))
            return fault;
        while (query->next()) {
            QString why;
            if (const auto read = readAuditLine(query->value(0).toString().toUtf8(), &why); read && read->record)
                status->recent << *read->record;
        }

        if (full) {
            if (auto fault = execute(QStringLiteral("SELECT to_char(date_trunc('hour', time), 'YYYY-MM-DD\"T\"HH24'), "
                                                    "count(*) FROM vev_audit WHERE kind = 'outcome' AND result = 'pass' "
                                                    "GROUP BY 1 ORDER BY 1"), {}, &query))
                return fault;
            while (query->next())
                status->passedPerHour << qMakePair(query->value(0).toString() + QStringLiteral(":00Z"), query->value(1).toInt());
        }
        return {};
    }, snapshot);
}

DbFault PlanDatabase::fingerprint(QByteArray *print)
{
    QSqlQuery *query = nullptr;
    if (auto fault = execute(QStringLiteral("SELECT (SELECT coalesce(max(seq), 0) FROM vev_audit), "
                                            "(SELECT coalesce(max(row), 0) FROM vev_plan), "
                                            "(SELECT count(*) FROM pg_locks l WHERE l.locktype = 'advisory' AND l.granted "
                                            "AND l.classid::bigint = %1 AND l.objsubid = 2)").arg(stationSpace),
                             {}, &query))
        return fault;
    print->clear();
    if (query->next()) {
        for (int i = 0; i < 3; ++i)
            *print += query->value(i).toByteArray() + ' ';
    }
    return {};
}

DbFault PlanDatabase::readAudit(const std::function<bool(const AuditRow &)> &visit)
{
    // One snapshot for everything read.
    return transaction([&]() -> DbFault {
        if (auto fault = execute(QStringLiteral(
                "DECLARE vev_export NO SCROLL CURSOR FOR SELECT seq, line, prev, hash, kind, row, station, operator, port, "
                "result, time FROM vev_audit ORDER BY seq")))
            return fault;
        const QString fetch = QStringLiteral("FETCH %1 FROM vev_export").arg(exportBatch);
        for (bool more = true; more;) {
            QSqlQuery *query = nullptr;
            if (auto fault = execute(fetch, {}, &query))
                return fault;
            more = false;
            while (query->next()) {
                more = true;
                AuditRow row;
                row.seq = query->value(0).toLongLong();
                row.line = query->value(1).toString().toUtf8();
                row.prev = query->value(2).toString().toLatin1();
                row.hash = query->value(3).toString().toLatin1();
                row.kind = query->value(4).toString();
                row.row = query->value(5).toInt();
                row.station = query->value(6).toString();
                row.operatorName = query->value(7).toString();
                row.port = query->value(8).toString();
                row.result = query->value(9).toString();
                row.time = query->value(10).toDateTime();
                if (!visit(row))
                    return {};
            }
        }
        return {};
    }, snapshot);
}

DbFault PlanDatabase::verifyAudit(const QByteArray &lastHash, AuditCheck *check, const AuditVisitor &visit)
{
    *check = AuditCheck();
    check->lastHash = firstPrev;
    AuditChain chain;
    const auto bad = [check](qint64 line, const QString &why) {
        check->firstBad = int(line);
        check->why = why;
        return false;
    };
    const DbFault fault = readAudit([&](const AuditRow &row) {
        const qint64 number = chain.lines() + 1;
        if (row.seq != number)
            return bad(number, QStringLiteral("line %1 is missing (the next is %2): a line was removed").arg(number).arg(row.seq));
        const QByteArray prev = chain.lastHash();
        QString why;
        const auto read = chain.take(row.line, &why);
        if (!read)
            return bad(number, why);
        // The columns beside the line are what queries see: they must say
        // what the line says.
        if (row.prev != prev || row.hash != chain.lastHash())
            return bad(number, QStringLiteral("its prev or hash column does not match the chain"));
        const auto good = [&] {
            check->lines = chain.lines();
            check->unknown = chain.unknown();
            check->lastHash = chain.lastHash();
            return true;
        };
        // A kind a later version wrote: its place in the chain is all this
        // version can vouch for.
        if (!read->record)
            return row.kind == read->kind ? good() : bad(number, QStringLiteral("its kind column does not match its text"));
        const auto &record = read->record;
        if (row.kind != kindName(record->body) || row.row != recordRow(record->body) || row.station != record->station
            || row.operatorName != record->operatorName
            || row.port != recordPort(record->body).value_or(QString())
            || row.result != recordResult(record->body).value_or(QString())
            || row.time != QDateTime::fromString(record->time, Qt::ISODateWithMs))
            return bad(number, QStringLiteral("its columns do not match its text (kind, row, station, operator, port, "
                                              "result or time was changed)"));
        good();
        if (visit)
            visit(*record, int(number));
        return true;
    });
    if (fault)
        return fault;
    if (check->firstBad == 0 && !lastHash.isEmpty()) {
        check->why = chain.endsElsewhere(lastHash);
        check->endsElsewhere = !check->why.isEmpty();
    }
    return {};
}
