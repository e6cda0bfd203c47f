// SPDX-License-Identifier: MIT
// PlanDatabase's session: connecting, the session's settings, the station's
// name, statements and transactions.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <tuple>

using namespace plansql;

namespace {

// A server from this version on can notice a client that went away while
// a statement of its runs (client_connection_check_interval).
constexpr int clientCheckVersion = 140000;
// ... and end a session whose sent data goes unacknowledged (tcp_user_timeout).
constexpr int userTimeoutVersion = 120000;

// The server's keepalive settings (s, s, probes) that end a silent
// bench's session within the bound: a third of it idle, then three probes
// over the rest.
std::tuple<qint64, qint64, int> serverKeepalives(std::chrono::milliseconds bound)
{
    constexpr int probes = 3;
    const qint64 total = std::max<qint64>(2, std::chrono::duration_cast<std::chrono::seconds>(bound).count());
    const qint64 idle = std::max<qint64>(1, total / 3);
    return {idle, std::max<qint64>(1, (total - idle) / probes), probes};
}

} // namespace

void runSteps(QList<PlanDatabase::Step> steps, const PlanDatabase::Done &done)
{
    if (steps.isEmpty())
        return done({});
    const PlanDatabase::Step first = steps.takeFirst();
    first([steps, done](const DbFault &fault) {
        if (fault)
            return done(fault);
        runSteps(steps, done);
    });
}

PlanDatabase::PlanDatabase(DatabaseUri uri, Identity identity, PgConnection::Limits limits)
    : m_uri(std::move(uri))
    , m_identity(std::move(identity))
    , m_limits(limits)
{
}

PlanDatabase::~PlanDatabase() = default;

bool PlanDatabase::isConnected() const
{
    return m_pg && m_pg->isOpen();
}

void PlanDatabase::close()
{
    m_holdsName = false;
    if (m_pg)
        m_pg->close();
}

void PlanDatabase::connect(bool create, Done done)
{
    if (!m_pg)
        m_pg = std::make_unique<PgConnection>(m_limits);
    m_holdsName = false; // a new session holds nothing until it takes the name
    m_pg->open(m_uri, sessionProgram(), [this, create, done](const DbFault &fault) {
        if (fault)
            return done(fault);
        QList<Step> steps {
            [this](const Done &next) { configure(next); },
            [this, create](const Done &next) { ensureSchema(create, next); },
        };
        if (m_stationId > 0)
            steps << [this](const Done &next) { lockStation(next); };
        // A session only half set up is not used: the next attempt starts afresh.
        runSteps(steps, [this, done](const DbFault &fault) {
            if (fault)
                close();
            done(fault);
        });
    });
}

QString PlanDatabase::sessionProgram()
{
    // The program's name shows in the server's list of sessions.
    QString program = QCoreApplication::applicationName();
    program.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return program;
}

void PlanDatabase::configure(Done done)
{
    // Times in UTC; a statement or a lock that takes longer than its limit
    // is given up and tried again; a transaction left open does not hold
    // its locks for long.
    QString sql = QStringLiteral("SELECT set_config('TimeZone', $1, false), set_config('statement_timeout', $2, false), "
                                 "set_config('lock_timeout', $3, false), "
                                 "set_config('idle_in_transaction_session_timeout', $4, false), "
                                 "set_config('tcp_keepalives_idle', $5, false), "
                                 "set_config('tcp_keepalives_interval', $6, false), "
                                 "set_config('tcp_keepalives_count', $7, false)");
    // The server's side of a TCP session probes a silent bench and gives
    // up on it within goneBench (its default waits over two hours), so a
    // bench gone with the network does not keep its station's name.
    const auto [idle, interval, probes] = serverKeepalives(m_limits.goneBench);
    QVariantList values {QStringLiteral("UTC"), QString::number(m_limits.statement.count()), QStringLiteral("5s"),
                         QStringLiteral("60s"), QString::number(idle), QString::number(interval), QString::number(probes)};
    const auto add = [&sql, &values](const char *setting, const QString &value) {
        values << value;
        sql += QStringLiteral(", set_config('%1', $%2, false)").arg(QLatin1String(setting)).arg(values.size());
    };
    if (m_pg->serverVersion() >= userTimeoutVersion)
        add("tcp_user_timeout", QString::number(m_limits.goneBench.count()));
    // A session whose client went away (its statement's answer came too
    // late) ends during its statement: its locks, the station's name among
    // them, are free again soon.
    if (m_pg->serverVersion() >= clientCheckVersion)
        add("client_connection_check_interval", QStringLiteral("1s"));
    run(sql, values, [done](const PgResult &) { done({}); }, done);
}

void PlanDatabase::run(const QString &sql, const QVariantList &values, Rows rows, Done failed)
{
    if (!m_pg)
        return failed({DbFault::Unreachable, QStringLiteral("not connected to %1").arg(m_uri.display())});
    m_pg->exec(sql, values, [this, rows, failed](const DbFault &fault, const PgResult &result) {
        // Any answer, a refusal included, comes from the session that holds
        // the name (a lost one never answers again).
        if (m_holdsName && fault.kind != DbFault::Unreachable && m_pg && m_pg->isOpen() && m_nameConfirmed)
            m_nameConfirmed();
        if (fault)
            return failed(fault);
        rows(result);
    });
}

PlanDatabase::Step PlanDatabase::statement(const QString &sql, const QVariantList &values, Rows rows)
{
    return [this, sql, values, rows](const Done &next) {
        run(sql, values, [rows, next](const PgResult &result) {
            if (rows)
                rows(result);
            next({});
        }, next);
    };
}

void PlanDatabase::transaction(const QString &begin, std::function<void(Done finish)> body, Done done)
{
    m_appended.reset();
    run(begin, {}, [this, body, done](const PgResult &) {
        body([this, done](const DbFault &fault) {
            if (!fault) {
                return run(QStringLiteral("COMMIT"), {}, [this, done](const PgResult &) {
                    // Only a committed line is remembered as stored.
                    if (const auto appended = std::exchange(m_appended, std::nullopt); appended && m_lineStored)
                        m_lineStored(*appended);
                    done({});
                }, done);
            }
            if (!isConnected())
                return done(fault);
            const auto rolledBack = [done, fault] { done(fault); };
            run(QStringLiteral("ROLLBACK"), {}, [rolledBack](const PgResult &) { rolledBack(); },
                [rolledBack](const DbFault &) { rolledBack(); });
        });
    }, done);
}

void PlanDatabase::takeStation(Done done)
{
    const QString name = m_identity.station;
    run(QStringLiteral("INSERT INTO vev_station (name) VALUES ($1) ON CONFLICT (name) DO NOTHING"), {name},
        [this, name, done](const PgResult &) {
            run(QStringLiteral("SELECT id, nextval('vev_run') FROM vev_station WHERE name = $1"), {name},
                [this, name, done](const PgResult &result) {
                    if (result.rows() == 0)
                        return done(DbFault::refused(QStringLiteral("the station %1 could not be entered").arg(printable(name))));
                    m_stationId = int(result.number(0, 0));
                    m_run = result.number(0, 1);
                    lockStation([this, done](const DbFault &fault) {
                        if (fault) {
                            m_stationId = 0;
                            m_run = 0;
                        }
                        done(fault);
                    });
                }, done);
        }, done);
}

void PlanDatabase::lockStation(Done done)
{
    run(QStringLiteral("SELECT pg_try_advisory_lock(CAST($1 AS integer), CAST($2 AS integer))"), {stationSpace, m_stationId},
        [this, done](const PgResult &result) {
            if (!result.flag(0, 0))
                return refuseName(done);
            m_holdsName = true;
            enterRun(done);
        }, done);
}

void PlanDatabase::refuseName(Done done)
{
    run(QStringLiteral("SELECT program, pid, host, run FROM vev_station WHERE id = $1"), {m_stationId},
        [this, done](const PgResult &result) {
            // This run's own earlier connection, cut while the server went on
            // with its statement, holds the name until the server ends it.
            if (result.rows() > 0 && m_run > 0 && result.number(0, 3) == m_run) {
                return done({DbFault::Unreachable,
                             QStringLiteral("%1 still keeps this station's earlier connection").arg(m_uri.display())});
            }
            const QString holder = result.rows() == 0
                                       ? QStringLiteral("another station")
                                       : holderText(result.text(0, 0), result.number(0, 1), result.text(0, 2));
            done(DbFault::refused(QStringLiteral("the station name \"%1\" is in use by a running station (%2) on %3; "
                                                 "give each station a name of its own with --station; if that station "
                                                 "has gone with the network, the server frees its name within %4 s of "
                                                 "its last word: try again then; nothing was sent")
                                      .arg(printable(m_identity.station), holder, m_uri.display())
                                      .arg(std::chrono::duration_cast<std::chrono::seconds>(m_limits.goneBench).count()),
                                  ExitCode::Held));
        }, done);
}

void PlanDatabase::enterRun(Done done)
{
    // The run is known by this number: its claims are in hand while it runs,
    // in doubt once it has ended.
    run(QStringLiteral("UPDATE vev_station SET run = $1, program = $2, pid = $3, host = $4, started = now() WHERE id = $5"),
        {m_run, QCoreApplication::applicationName(), QCoreApplication::applicationPid(), QSysInfo::machineHostName(),
         m_stationId},
        [done](const PgResult &) { done({}); }, done);
}
