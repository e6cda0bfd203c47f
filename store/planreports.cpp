// SPDX-License-Identifier: MIT
// PlanDatabase's reports: status, and the fingerprint running stations poll.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace plansql;

namespace {

const QString stationsQuery = liveRuns + QStringLiteral(
    "SELECT s.name, s.program, s.pid, s.host, l.name IS NOT NULL, "
    "(SELECT round(extract(epoch FROM a.time - a.stored_at)) FROM vev_audit a WHERE a.station = s.name "
    "AND a.kind = 'claim' AND a.stored_at IS NOT NULL ORDER BY a.station DESC, a.seq DESC LIMIT 1) "
    "FROM vev_station s LEFT JOIN live l ON l.name = s.name ORDER BY s.name");
const QString countsQuery = liveRuns + QStringLiteral("SELECT p.state, p.station, l.name IS NOT NULL, count(*) FROM vev_plan p")
                            + joinLive + QStringLiteral("GROUP BY 1, 2, 3");
const QString inDoubtQuery = liveRuns + QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.state, p.station, p.port, ")
                             + isoTimeOf(QStringLiteral("coalesce(p.done_at, p.claimed_at)"))
                             + QStringLiteral(", p.before, p.audit_seq FROM vev_plan p") + joinLive
                             + QStringLiteral("WHERE p.state = 'failed' OR (p.state = 'claimed' AND l.name IS NULL) "
                                              "ORDER BY p.row");
const QString conflictsQuery = QStringLiteral(
    "SELECT 'row ' || row || ': ' || why FROM vev_conflict WHERE resolved_seq IS NULL ORDER BY row, seq");
const QString recentQuery = QStringLiteral("SELECT line FROM vev_audit WHERE kind = 'outcome' ORDER BY seq DESC LIMIT $1");
const QString perHourQuery = QStringLiteral(
    "SELECT to_char(date_trunc('hour', coalesce(stored_at, time)), 'YYYY-MM-DD\"T\"HH24'), count(*) FROM vev_audit "
    "WHERE kind = 'outcome' AND result = 'pass' GROUP BY 1 ORDER BY 1");

void readStations(const PgResult &result, StoreStatus *status)
{
    QStringList running;
    for (int i = 0; i < result.rows(); ++i) {
        StationStatus station;
        station.name = result.text(i, 0);
        if (result.flag(i, 4)) {
            station.holder = holderText(result.text(i, 1), result.number(i, 2), result.text(i, 3));
            running << QStringLiteral("%1 (%2)").arg(printable(station.name), station.holder);
        }
        if (!result.isNull(i, 5))
            station.clockAhead = result.number(i, 5);
        status->stations << station;
    }
    status->holder = running.join(QStringLiteral(", "));
}

void readCounts(const PgResult &result, StoreStatus *status)
{
    for (int i = 0; i < result.rows(); ++i) {
        const RowState state = stateOf(result.text(i, 0));
        const bool live = result.flag(i, 2);
        const int count = int(result.number(i, 3));
        status->rows += count;
        switch (state) {
        case RowState::Open: status->open += count; break;
        case RowState::Passed: status->passed += count; break;
        case RowState::Failed: status->failed += count; break;
        case RowState::Claimed: (live ? status->inHand : status->claimed) += count; break;
        }
        StationStatus *station = nullptr;
        for (StationStatus &known : status->stations) {
            if (known.name == result.text(i, 1))
                station = &known;
        }
        if (!station || state == RowState::Open)
            continue;
        switch (state) {
        case RowState::Passed: station->passed += count; break;
        case RowState::Failed: station->failed += count; break;
        default: (live ? station->inHand : station->claimed) += count; break;
        }
    }
}

void readInDoubt(const PgResult &result, StoreStatus *status)
{
    for (int i = 0; i < result.rows(); ++i) {
        RowEntry entry;
        const PlanRow row = planRowOf(result, i);
        entry.planIndex = row.row - 1;
        entry.row = row.row;
        entry.planLine = row.line;
        entry.values = row.values;
        entry.recorded = row.values;
        entry.state = stateOf(result.text(i, 6));
        entry.station = result.text(i, 7);
        entry.port = result.text(i, 8);
        entry.time = result.text(i, 9);
        QString error;
        if (const auto before = settingsFromJson(QJsonDocument::fromJson(result.bytes(i, 10)).object(), &error))
            entry.before = *before;
        entry.auditLine = int(result.number(i, 11));
        status->inDoubt << entry;
    }
}

void readRecent(const PgResult &result, StoreStatus *status)
{
    for (int i = 0; i < result.rows(); ++i) {
        QString why;
        if (const auto read = readAuditLine(result.bytes(i, 0), &why); read && read->record)
            status->recent << *read->record;
    }
}

} // namespace

void PlanDatabase::lastPassed(const QString &port, std::function<void(const DbFault &, const std::optional<RowEntry> &)> done)
{
    auto last = std::make_shared<std::optional<RowEntry>>();
    run(QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.before FROM vev_plan p WHERE p.state = 'passed' "
                                                                "AND p.port = $1 AND p.station = $2 ORDER BY p.done_at DESC "
                                                                "LIMIT 1"),
        {port, m_identity.station}, [last, done](const PgResult &result) {
            if (result.rows() > 0) {
                RowEntry entry;
                const PlanRow row = planRowOf(result, 0);
                entry.row = row.row;
                entry.planLine = row.line;
                entry.values = row.values;
                entry.state = RowState::Passed;
                QString error;
                if (const auto before = settingsFromJson(QJsonDocument::fromJson(result.bytes(0, 6)).object(), &error))
                    entry.before = *before;
                *last = entry;
            }
            done({}, *last);
        }, [last, done](const DbFault &fault) { done(fault, *last); });
}

void PlanDatabase::status(bool full, std::function<void(const DbFault &, const StoreStatus &)> done)
{
    auto status = std::make_shared<StoreStatus>();
    // One snapshot for everything read.
    transaction(snapshot, [this, status, full](Done finish) {
        QList<Step> steps {
            statement(stationsQuery, {}, [status](const PgResult &result) { readStations(result, status.get()); }),
            statement(countsQuery, {}, [status](const PgResult &result) { readCounts(result, status.get()); }),
            statement(inDoubtQuery, {}, [status](const PgResult &result) { readInDoubt(result, status.get()); }),
            statement(recentQuery, {StoreStatus::recentCount},
                      [status](const PgResult &result) { readRecent(result, status.get()); }),
            statement(conflictsQuery, {}, [status](const PgResult &result) {
                for (int i = 0; i < result.rows(); ++i)
                    status->onTwoModules << result.text(i, 0);
            }),
        };
        if (full) {
            steps << statement(perHourQuery, {}, [status](const PgResult &result) {
                for (int i = 0; i < result.rows(); ++i)
                    status->passedPerHour << qMakePair(result.text(i, 0) + QStringLiteral(":00Z"), int(result.number(i, 1)));
            });
        }
        runSteps(steps, finish);
    }, [status, done](const DbFault &fault) { done(fault, *status); });
}

void PlanDatabase::fingerprint(std::function<void(const DbFault &, const QByteArray &)> done)
{
    run(QStringLiteral("SELECT (SELECT coalesce(max(seq), 0) FROM vev_audit), (SELECT coalesce(max(row), 0) FROM vev_plan), "
                       "(SELECT count(*) FROM pg_locks l WHERE l.locktype = 'advisory' AND l.granted "
                       "AND l.classid::bigint = $1 AND l.objsubid = 2)"),
        {stationSpace}, [done](const PgResult &result) {
            QByteArray print;
            for (int i = 0; i < 3; ++i)
                print += result.bytes(0, i) + ' ';
            done({}, print);
        }, [done](const DbFault &fault) { done(fault, {}); });
}
