// SPDX-License-Identifier: MIT
#pragma once

// What PlanDatabase's files share: this tool's advisory lock spaces,
// the statements several of them run, and reading rows back.

#include "plan/planbook.h"
#include "store/pgconnection.h"

#include <QString>

#include <functional>
#include <memory>
#include <system_error>
#include <thread>

namespace plansql {

// 2: vev_audit.stored_at, the server's time of each line.
// 3: a plan row's state changes only with its audit line (vev_plan_guard);
//    rows that may be on two modules (vev_conflict); the tables' own id;
//    the index vev_audit_row, a row's lines without reading the audit.
// 4: a unit's serial number, its attempt, a failure's code and the
//    operator's id beside each line (vev_audit.serial, attempt, code,
//    operator_id), and a unit's lines by its serial (vev_audit_serial).
constexpr int schemaVersion = 4;
// The roster beside the plan: each person's badge code only as a salted
// hash (roster/badge.h). Made with the tables of version 4, and by db init
// and operator add on tables that were at version 4 before it.
inline const QString operatorTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS vev_operator (id text PRIMARY KEY, name text NOT NULL, role text NOT NULL "
    "CHECK (role IN ('operator', 'supervisor')), badge text NOT NULL, added timestamptz NOT NULL DEFAULT now())");
inline const QString operatorIdIndex = QStringLiteral(
    "CREATE UNIQUE INDEX IF NOT EXISTS vev_operator_id ON vev_operator (lower(id))");

// Advisory locks of this tool: (stationSpace, station id) for as long as a
// running station's connection lives; (appendSpace, 0) while a line is
// appended or the tables are made.
constexpr int stationSpace = 0x76657600;
constexpr int appendSpace = 0x76657601;

// The views a site's dashboard reads (vev_units, vev_yield_hourly,
// vev_failures_by_code), made with the tables and at version 4, and made
// again (CREATE OR REPLACE) by db init, which also grants the stations'
// role SELECT on them: tables of version 4 made before the views came get
// them there.
QStringList reportViewStatements();
inline const QString reportViewNames = QStringLiteral("vev_units, vev_yield_hourly, vev_failures_by_code");

inline QString schemaExists()
{
    return QStringLiteral("SELECT to_regclass('vev_schema') IS NOT NULL");
}

// The runs of the stations running now: each holds its name's advisory
// lock for as long as its connection lives.
inline const QString liveRuns = QStringLiteral(
    "WITH live AS (SELECT s.name, s.run FROM vev_station s JOIN pg_locks l ON l.locktype = 'advisory' "
    "AND l.granted AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
    "AND l.classid::bigint = %1 AND l.objid::bigint = s.id AND l.objsubid = 2) ").arg(stationSpace);
inline const QString joinLive = QStringLiteral(
    " LEFT JOIN live l ON p.state = 'claimed' AND l.name = p.station AND l.run = p.run ");
inline const QString rowColumns = QStringLiteral("p.row, p.line, p.ip, p.gateway, p.tcp_port, p.mac");
// A plan row locked for a change: its values, state, whether a running
// station holds it, and the station of its last claim; $1 is the row.
inline const QString lockedRow = liveRuns + QStringLiteral("SELECT ") + rowColumns + QStringLiteral(
    ", p.state, l.name IS NOT NULL, p.station FROM vev_plan p") + joinLive + QStringLiteral("WHERE p.row = $1 FOR UPDATE OF p");
inline const QString snapshot = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
// A time column as an audit line writes it (the session is in UTC).
inline QString isoTimeOf(const QString &column)
{
    return QStringLiteral("to_char(%1, 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')").arg(column);
}

inline RowState stateOf(const QString &text)
{
    for (RowState state : {RowState::Open, RowState::Claimed, RowState::Passed, RowState::Failed}) {
        if (rowStateText(state) == text)
            return state;
    }
    return RowState::Failed;
}

// A plan row from the columns rowColumns names, from the first.
inline PlanRow planRowOf(const PgResult &result, int row, int first = 0)
{
    PlanRow planRow;
    planRow.row = int(result.number(row, first));
    planRow.line = int(result.number(row, first + 1));
    for (Setting setting : allSettings)
        valueOf(planRow.values, setting) = result.text(row, first + 2 + int(setting));
    return planRow;
}

// Work done on a thread of its own while this one goes on with the server
// (the next batch read, or the last chunk sent): waited for before it is
// let go of, whatever ends the work (a fault, the connection closed).
template<typename Result>
class Ahead
{
public:
    static std::shared_ptr<Ahead> start(std::function<Result()> work)
    {
        auto ahead = std::make_shared<Ahead>();
        Ahead *raw = ahead.get();
        try {
            ahead->m_thread = std::thread([raw, work] { raw->m_result = work(); });
        } catch (const std::system_error &) {
            ahead->m_result = work(); // no thread to be had: on this one
        }
        return ahead;
    }
    // The result, once the work is done.
    Result &result()
    {
        wait();
        return m_result;
    }
    void wait()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    ~Ahead() { wait(); }

private:
    std::thread m_thread;
    Result m_result {};
};

} // namespace plansql

// A claim on its way through the database, for the files that make it.
struct PlanDatabase::ClaimState {
    QString port;
    UnitClaim unit;
    int attempt = 1;
    SettingValues module;
    QString mac;
    QString ip;
    ProvisionStore::Claim claim;
    QList<RowEntry> candidates; // the live rows that hold the module's IP or MAC
    int partOf = 0;
    QStringList macsBefore; // a row resumed: its module's MACs before, from each claim
};
