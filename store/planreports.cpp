// SPDX-License-Identifier: MIT
// PlanDatabase's reports: status, the fingerprint running stations poll,
// and the audit read and verified in batches through a cursor.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace plansql;

namespace {

constexpr int exportBatch = 1000; // audit lines fetched at a time

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
// Microseconds too: a time changed behind the tool's back below the
// millisecond still shows.
const QString auditQuery = QStringLiteral(
    "DECLARE vev_export NO SCROLL CURSOR FOR SELECT seq, line, prev, hash, kind, row, station, operator, port, result, "
    "to_char(time, 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"') FROM vev_audit ORDER BY seq");
const QString fetchQuery = QStringLiteral("FETCH %1 FROM vev_export").arg(exportBatch);

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

// A time of the audit's time column; invalid when it holds more than the
// milliseconds an audit line can say.
QDateTime auditTimeOf(const QByteArray &text)
{
    const int milliseconds = int(qstrlen("2026-12-08T03:08:23.671"));
    if (!text.endsWith("000Z") || text.size() != milliseconds + int(qstrlen("000Z")))
        return {};
    return QDateTime::fromString(QString::fromLatin1(text.left(milliseconds)) + QLatin1Char('Z'), Qt::ISODateWithMs);
}

AuditRow auditRowOf(const PgResult &result, int i)
{
    AuditRow row;
    row.seq = result.number(i, 0);
    row.line = result.bytes(i, 1);
    row.prev = result.bytes(i, 2);
    row.hash = result.bytes(i, 3);
    row.kind = result.text(i, 4);
    row.row = int(result.number(i, 5));
    row.station = result.text(i, 6);
    row.operatorName = result.text(i, 7);
    row.port = result.text(i, 8);
    row.result = result.text(i, 9);
    row.time = auditTimeOf(result.bytes(i, 10));
    return row;
}

struct Verification {
    AuditChain chain;
    AuditCheck check;
};

// A line that checks out in place (with no record for a kind a later
// version wrote), or none with the check saying why not.
std::optional<AuditLine> checked(Verification *state, const AuditRow &row)
{
    AuditCheck &check = state->check;
    const auto bad = [&check](qint64 line, const QString &why) -> std::optional<AuditLine> {
        check.firstBad = int(line);
        check.why = why;
        return std::nullopt;
    };
    const qint64 number = state->chain.lines() + 1;
    if (row.seq != number)
        return bad(number, QStringLiteral("line %1 is missing (the next is %2): a line was removed").arg(number).arg(row.seq));
    const QByteArray prev = state->chain.lastHash();
    QString why;
    const auto read = state->chain.take(row.line, &why);
    if (!read)
        return bad(number, why);
    // The columns beside the line are what queries see: they must say
    // what the line says; of a later version's kind, only the kind is known.
    if (row.prev != prev || row.hash != state->chain.lastHash())
        return bad(number, QStringLiteral("its prev or hash column does not match the chain"));
    if (!read->record && row.kind != read->kind)
        return bad(number, QStringLiteral("its kind column does not match its text"));
    const auto &record = read->record;
    if (record && (row.kind != kindName(record->body) || row.row != recordRow(record->body) || row.station != record->station
        || row.operatorName != record->operatorName || row.port != recordPort(record->body).value_or(QString())
        || row.result != recordResult(record->body).value_or(QString())
        || row.time != QDateTime::fromString(record->time, Qt::ISODateWithMs)))
        return bad(number, QStringLiteral("its columns do not match its text (kind, row, station, operator, port, "
                                          "result or time was changed)"));
    check.lines = state->chain.lines();
    check.unknown = state->chain.unknown();
    check.lastHash = state->chain.lastHash();
    return read;
}

// Each row of the plan beside the line its state came from, and whether
// the audit has lines of the row at all.
const QString planAgainstAudit = QStringLiteral(
    "SELECT p.row, p.state, coalesce(p.station, ''), p.audit_seq, a.line, "
    "EXISTS (SELECT 1 FROM vev_audit b WHERE b.row = p.row AND b.kind IN ('claim', 'outcome', 'release', 'lost') "
    "AND NOT EXISTS (SELECT 1 FROM vev_conflict c WHERE c.seq = b.seq)) "
    "FROM vev_plan p LEFT JOIN vev_audit a ON a.seq = p.audit_seq ORDER BY p.row");

// Why the plan does not follow the audit, naming the first row that does
// not; none when it does. A row's state is the one the line it names gives
// it, by the plan book's rule, and a claim's or outcome's station is the
// row's.
std::optional<QString> planDisagrees(const PgResult &result)
{
    for (int i = 0; i < result.rows(); ++i) {
        const int row = int(result.number(i, 0));
        const QString state = result.text(i, 1);
        const auto wrong = [row, state](const QString &why) {
            return QStringLiteral("row %1 of the plan is %2, but %3: the plan was changed beside the audit")
                .arg(row).arg(state, why);
        };
        if (result.isNull(i, 3)) {
            if (state != QLatin1String("open"))
                return wrong(QStringLiteral("the audit has no line that made it so"));
            if (result.flag(i, 5))
                return wrong(QStringLiteral("the audit has lines of it"));
            continue;
        }
        const qint64 seq = result.number(i, 3);
        QString why;
        const auto line = result.isNull(i, 4) ? std::nullopt : readAuditLine(result.bytes(i, 4), &why);
        if (!line || !line->record)
            return wrong(QStringLiteral("its line %1 is not in the audit").arg(seq));
        const AuditRecord &record = *line->record;
        if (recordRow(record.body) != row)
            return wrong(QStringLiteral("its line %1 is about row %2").arg(seq).arg(recordRow(record.body)));
        const auto made = PlanBook::stateAfter(record.body);
        if (!made || rowStateText(*made) != state) {
            return wrong(QStringLiteral("its line %1 (a %2) makes it %3")
                             .arg(seq).arg(kindName(record.body), made ? rowStateText(*made) : QStringLiteral("nothing")));
        }
        const bool stationsLine = std::holds_alternative<ClaimRecord>(record.body)
                                  || std::holds_alternative<OutcomeRecord>(record.body);
        if (stationsLine && record.station != result.text(i, 2)) {
            return wrong(QStringLiteral("its line %1 is by the station %2, not %3")
                             .arg(seq).arg(printable(record.station), printable(result.text(i, 2))));
        }
    }
    return std::nullopt;
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

void PlanDatabase::readAudit(Batch<AuditRow> batch, Done done, std::function<void(const Done &next)> after)
{
    // One snapshot for everything read.
    transaction(snapshot, [this, batch, after](Done finish) {
        const Done read = !after ? finish : Done([after, finish](const DbFault &fault) {
            if (fault)
                return finish(fault);
            after(finish);
        });
        run(auditQuery, {}, [this, batch, read](const PgResult &) { fetchAudit(batch, read); }, finish);
    }, done);
}

void PlanDatabase::fetchAudit(const Batch<AuditRow> &batch, Done finish)
{
    run(fetchQuery, {}, [this, batch, finish](const PgResult &result) {
        if (result.rows() == 0)
            return finish({});
        QList<AuditRow> rows;
        for (int i = 0; i < result.rows(); ++i)
            rows << auditRowOf(result, i);
        batch(rows, [this, batch, finish](bool more) {
            if (!more)
                return finish({});
            fetchAudit(batch, finish);
        });
    }, finish);
}

void PlanDatabase::verifyAudit(const QByteArray &lastHash, Batch<CheckedRecord> batch,
                               std::function<void(const DbFault &, const AuditCheck &)> done)
{
    auto state = std::make_shared<Verification>();
    state->check.lastHash = firstPrev;
    // Once the chain checks out, the plan beside it is read in the same
    // snapshot: each row's state must come from a line of the audit.
    const Step crossCheck = [this, state](const Done &next) {
        if (state->check.firstBad > 0)
            return next({});
        run(planAgainstAudit, {}, [this, state, next](const PgResult &result) {
            if (const auto why = planDisagrees(result)) {
                state->check.disagrees = true;
                state->check.why = *why;
            }
            run(conflictsQuery, {}, [state, next](const PgResult &conflicts) {
                for (int i = 0; i < conflicts.rows(); ++i)
                    state->check.onTwoModules << conflicts.text(i, 0);
                next({});
            }, next);
        }, next);
    };
    readAudit([state, batch](const QList<AuditRow> &rows, std::function<void(bool)> next) {
        QList<CheckedRecord> good;
        bool more = true;
        for (const AuditRow &row : rows) {
            const auto read = checked(state.get(), row);
            if (!read) {
                more = false;
                break;
            }
            if (read->record)
                good << CheckedRecord {*read->record, state->check.lines};
        }
        if (!batch || good.isEmpty())
            return next(more);
        batch(good, [next, more](bool wanted) { next(more && wanted); });
    }, [state, lastHash, done](const DbFault &fault) {
        AuditCheck &check = state->check;
        if (!fault && check.firstBad == 0 && !check.disagrees && !lastHash.isEmpty()) {
            check.why = state->chain.endsElsewhere(lastHash);
            check.endsElsewhere = !check.why.isEmpty();
        }
        done(fault, check);
    }, crossCheck);
}
