// SPDX-License-Identifier: MIT
// PlanDatabase's audit read back: exported a page at a time, verified whole
// through a cursor in one snapshot, or one row's lines checked against
// their neighbours in the chain.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <vector>

using namespace plansql;

namespace {

// Lines fetched at a time: a few MB, and few enough round trips that the
// server's side costs little beside reading the lines.
constexpr int auditBatch = 5000;
constexpr int planBatch = 50000;

// The columns verification compares with each line's text. Microseconds
// too: a time changed behind the tool's back below the millisecond still
// shows.
QString auditColumns(const QString &table)
{
    return QStringLiteral("%1.seq, %1.line, %1.prev, %1.hash, %1.kind, %1.row, %1.station, %1.operator, %1.port, "
                          "%1.result, to_char(%1.time, 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"')").arg(table);
}
enum Column { Seq, Line, Prev, Hash, Kind, Row, Station, Operator, Port, Result, Time, NextColumn };

const QString verifyCursor = QStringLiteral("DECLARE vev_verify NO SCROLL CURSOR FOR SELECT ") + auditColumns(QStringLiteral("a"))
                             + QStringLiteral(" FROM vev_audit a ORDER BY a.seq");
const QString verifyFetch = QStringLiteral("FETCH %1 FROM vev_verify").arg(auditBatch);
const QString planCursor = QStringLiteral("DECLARE vev_plan_check NO SCROLL CURSOR FOR SELECT row, state, "
                                          "coalesce(station, ''), audit_seq FROM vev_plan ORDER BY row");
const QString planFetch = QStringLiteral("FETCH %1 FROM vev_plan_check").arg(planBatch);
// A page of the audit after a line: each its own short statement, so a
// reader that takes its time holds nothing open on the server. Lines are
// only ever appended, in seq order, so the pages join up.
const QString exportPage = QStringLiteral("SELECT seq, line FROM vev_audit WHERE seq > $1 ORDER BY seq LIMIT %1").arg(auditBatch);

// Whether text says what utf8 does, without a copy for plain ASCII.
bool sameText(const QString &text, const QByteArray &utf8)
{
    const bool ascii = std::all_of(utf8.cbegin(), utf8.cend(), [](char c) { return uchar(c) < 0x80; });
    return ascii ? text == QLatin1String(utf8) : text == QString::fromUtf8(utf8);
}

// Whether a line's time is the time column's (in microseconds): the text
// the station writes is compared as text, any other form as a time.
bool sameTime(const QString &lineTime, const QByteArray &column)
{
    const int milliseconds = int(qstrlen("2026-12-08T03:08:23.671"));
    const bool wholeMs = column.size() == milliseconds + int(qstrlen("000Z")) && column.endsWith("000Z");
    if (wholeMs && lineTime.size() == milliseconds + 1 && lineTime.endsWith(QLatin1Char('Z'))
        && QStringView(lineTime).left(milliseconds) == QLatin1String(column.constData(), milliseconds))
        return true;
    const QDateTime columnTime = wholeMs ? QDateTime::fromString(QString::fromLatin1(column.left(milliseconds)) + QLatin1Char('Z'),
                                                                 Qt::ISODateWithMs)
                                         : QDateTime();
    return columnTime == QDateTime::fromString(lineTime, Qt::ISODateWithMs);
}

// Why the columns beside a line do not say what its text does; empty when
// they do. They are what queries see; of a later version's kind, only the
// kind is known.
QString columnsDisagree(const PgResult &result, int i, const AuditLine &read, const QByteArray &hash)
{
    if (result.view(i, Prev) != read.prev || result.view(i, Hash) != hash)
        return QStringLiteral("its prev or hash column does not match the chain");
    const auto &record = read.record;
    if (!record)
        return sameText(read.kind, result.view(i, Kind)) ? QString() : QStringLiteral("its kind column does not match its text");
    const AuditBody &body = record->body;
    if (!sameText(kindName(body), result.view(i, Kind)) || result.number(i, Row) != recordRow(body)
        || !sameText(record->station, result.view(i, Station)) || !sameText(record->operatorName, result.view(i, Operator))
        || !sameText(recordPort(body).value_or(QString()), result.view(i, Port))
        || !sameText(recordResult(body).value_or(QString()), result.view(i, Result))
        || !sameTime(record->time, result.view(i, Time)))
        return QStringLiteral("its columns do not match its text (kind, row, station, operator, port, result or time was "
                              "changed)");
    return {};
}

// What the plan's cross-check needs of each line, by seq: the row it is
// about, its kind (-1: a later version's), the state it makes, its station.
struct LineFacts {
    int row = 0;
    qint8 kind = -1;
    qint8 made = -1;
    int station = 0;
};

// A fetched line as either core checks it by itself: read, hashed, its
// columns compared; its place in the chain is checked after, in order.
struct LineCheck {
    std::optional<AuditLine> read;
    QByteArray hash;
    QString why; // why it cannot be read, or why its columns disagree
    LineFacts facts;
    QString station;
};

// With keep false, each record is let go of on the core that read it once
// what the cross-check needs is taken from it: an empty one stands for it.
std::vector<LineCheck> checkLines(Halves &halves, const PgResult &result, bool keep)
{
    std::vector<LineCheck> lines(std::size_t(result.rows()));
    halves.run(result.rows(), [&result, &lines, keep](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            LineCheck &line = lines[std::size_t(i)];
            const QByteArray text = result.view(i, Line);
            line.read = readAuditLine(text, &line.why);
            if (!line.read)
                continue;
            line.hash = chainHash(text);
            line.why = columnsDisagree(result, i, *line.read, line.hash);
            if (!line.read->record)
                continue;
            const AuditBody &body = line.read->record->body;
            line.facts.row = recordRow(body);
            line.facts.kind = qint8(body.index());
            if (const auto made = PlanBook::stateAfter(body))
                line.facts.made = qint8(*made);
            line.station = line.read->record->station;
            if (!keep)
                line.read->record = AuditRecord();
        }
    });
    return lines;
}

// A record of each kind, in the order AuditBody has them.
const std::array<AuditBody, std::variant_size_v<AuditBody>> kinds = {ClaimRecord(), OutcomeRecord(), ReleaseRecord(),
                                                                     LabelRecord(), LostRecord(), AcceptRecord(), ReworkRecord(), ShiftRecord()};
// Passes stored on rows another module may carry: their lines, and those
// not yet resolved, said as "row N: why".
const QString conflictLines = QStringLiteral("SELECT seq, resolved_seq IS NULL, 'row ' || row || ': ' || why "
                                             "FROM vev_conflict ORDER BY row, seq");

struct Verification {
    Halves halves; // the batches are prepared one after another
    AuditChain chain;
    AuditCheck check;
    std::vector<LineFacts> facts;
    std::vector<int> rowsWithLines; // rows of a claim, outcome, release or loss
    QStringList stations;
    QHash<QString, int> stationIds;
    QSet<qint64> conflicts; // lines stored with a conflict: what happened, no change beside the audit

    void tally()
    {
        check.lines = chain.lines();
        check.unknown = chain.unknown();
        check.lastHash = chain.lastHash();
    }
    bool bad(qint64 line, const QString &why)
    {
        tally();
        check.firstBad = int(line);
        check.why = why;
        return false;
    }
    int lastStation = 0;
    void note(LineCheck &line);
    // Takes a batch's lines in order; false at the first bad one.
    bool take(const PgResult &result, std::vector<LineCheck> &lines, QList<CheckedRecord> *good);
    std::optional<QString> planDisagrees(const PgResult &result, int i) const;
};

void Verification::note(LineCheck &line)
{
    if (line.facts.kind >= 0) {
        // Lines come in runs of one station's: its name is looked up once a run.
        if (stations.isEmpty() || stations.at(lastStation) != line.station) {
            const auto known = stationIds.constFind(line.station);
            lastStation = known != stationIds.constEnd() ? *known : int(stations.size());
            if (known == stationIds.constEnd()) {
                stationIds.insert(line.station, lastStation);
                stations << line.station;
            }
        }
        line.facts.station = lastStation;
        if (line.facts.made >= 0 && !conflicts.contains(chain.lines()))
            rowsWithLines.push_back(line.facts.row);
    }
    facts.push_back(line.facts);
}

bool Verification::take(const PgResult &result, std::vector<LineCheck> &lines, QList<CheckedRecord> *good)
{
    for (int i = 0; i < result.rows(); ++i) {
        LineCheck &line = lines[std::size_t(i)];
        const qint64 number = chain.lines() + 1;
        const qint64 seq = result.number(i, Seq);
        if (seq != number)
            return bad(number, QStringLiteral("line %1 is missing (the next is %2): a line was removed").arg(number).arg(seq));
        if (!line.read)
            return bad(number, line.why);
        QString why;
        auto taken = chain.take(std::move(line.read), line.hash, &why);
        if (!taken)
            return bad(number, why);
        if (!line.why.isEmpty())
            return bad(number, line.why);
        note(line);
        if (good && taken->record)
            *good << CheckedRecord {std::move(*taken->record), chain.lines()};
    }
    tally();
    return true;
}

// Why a row of the plan does not follow the audit; none when it does. A
// row's state is the one the line it names gives it, by the plan book's
// rule, and a claim's or outcome's station is the row's.
std::optional<QString> Verification::planDisagrees(const PgResult &result, int i) const
{
    const int row = int(result.number(i, 0));
    const QString state = result.text(i, 1);
    const auto wrong = [row, state](const QString &why) {
        return QStringLiteral("row %1 of the plan is %2, but %3: the plan was changed beside the audit").arg(row).arg(state, why);
    };
    if (result.isNull(i, 3)) {
        if (state != QLatin1String("open"))
            return wrong(QStringLiteral("the audit has no line that made it so"));
        if (std::binary_search(rowsWithLines.cbegin(), rowsWithLines.cend(), row))
            return wrong(QStringLiteral("the audit has lines of it"));
        return std::nullopt;
    }
    const qint64 seq = result.number(i, 3);
    if (seq < 1 || seq > qint64(facts.size()) || facts[std::size_t(seq - 1)].kind < 0)
        return wrong(QStringLiteral("its line %1 is not in the audit").arg(seq));
    const LineFacts &line = facts[std::size_t(seq - 1)];
    const QString kind = kindName(kinds[line.kind]);
    if (line.row != row)
        return wrong(QStringLiteral("its line %1 is about row %2").arg(seq).arg(line.row));
    if (line.made < 0 || rowStateText(RowState(line.made)) != state) {
        return wrong(QStringLiteral("its line %1 (a %2) makes it %3")
                         .arg(seq).arg(kind, line.made >= 0 ? rowStateText(RowState(line.made)) : QStringLiteral("nothing")));
    }
    const QString &station = stations.at(line.station);
    const bool stationsLine = std::holds_alternative<ClaimRecord>(kinds[line.kind])
                              || std::holds_alternative<OutcomeRecord>(kinds[line.kind]);
    if (stationsLine && station != result.text(i, 2))
        return wrong(QStringLiteral("its line %1 is by the station %2, not %3").arg(seq).arg(printable(station), printable(result.text(i, 2))));
    return std::nullopt;
}

// A row's lines, each with the text of the lines before and after it in
// the chain, and the audit's last line.
const QString rowLines = QStringLiteral("SELECT ") + auditColumns(QStringLiteral("a")) + QStringLiteral(
    ", b.line, c.line, (SELECT max(seq) FROM vev_audit) FROM vev_audit a LEFT JOIN vev_audit b ON b.seq = a.seq - 1 "
    "LEFT JOIN vev_audit c ON c.seq = a.seq + 1 WHERE a.row = $1 ORDER BY a.seq");
enum RowColumn { Before = NextColumn, After, Last };

// A line of a row as the chain has it in place: its record, its columns,
// and its links to its neighbours (the line before hashes to the prev it
// names, the line after names its hash). False with the check saying which
// line is bad and why.
bool rowLineHolds(const PgResult &result, int i, AuditCheck *check, std::optional<AuditLine> *read)
{
    const qint64 seq = result.number(i, Seq);
    const auto bad = [check](qint64 line, const QString &why) {
        check->firstBad = int(line);
        check->why = why;
        return false;
    };
    const QByteArray text = result.bytes(i, Line);
    QString why;
    *read = readAuditLine(text, &why);
    if (!*read)
        return bad(seq, why);
    const QByteArray hash = chainHash(text);
    if (const QString columns = columnsDisagree(result, i, **read, hash); !columns.isEmpty())
        return bad(seq, columns);
    if (seq == 1 && (*read)->prev != firstPrev)
        return bad(seq, QStringLiteral("the first line's prev is not 64 zeros"));
    if (seq > 1 && result.isNull(i, Before))
        return bad(seq - 1, QStringLiteral("line %1 is missing (the next is %2): a line was removed").arg(seq - 1).arg(seq));
    if (seq > 1 && chainHash(result.bytes(i, Before)) != (*read)->prev)
        return bad(seq, QStringLiteral("prev does not match line %1: a line was changed, removed or inserted").arg(seq - 1));
    if (seq == result.number(i, Last))
        return true;
    if (result.isNull(i, After))
        return bad(seq + 1, QStringLiteral("line %1 is missing (the last is %2): a line was removed").arg(seq + 1).arg(result.number(i, Last)));
    const auto after = readAuditLine(result.bytes(i, After), &why);
    if (!after)
        return bad(seq + 1, why);
    if (after->prev != hash)
        return bad(seq, QStringLiteral("line %1 does not chain to it: this line or the next was changed").arg(seq + 1));
    return true;
}

} // namespace

void PlanDatabase::verifyRow(int row, std::function<void(const DbFault &, const AuditCheck &, const QList<CheckedRecord> &)> done)
{
    run(rowLines, {row}, [done](const PgResult &result) {
        AuditCheck check;
        QList<CheckedRecord> records;
        for (int i = 0; i < result.rows(); ++i) {
            std::optional<AuditLine> read;
            if (!rowLineHolds(result, i, &check, &read))
                return done({}, check, {});
            ++check.lines;
            if (read->record)
                records << CheckedRecord {*read->record, int(result.number(i, Seq))};
        }
        done({}, check, records);
    }, [done](const DbFault &fault) { done(fault, {}, {}); });
}

void PlanDatabase::fetchAhead(const QString &fetch, Prepare prepare, Done finish)
{
    run(fetch, {}, [this, fetch, prepare, finish](const PgResult &rows) { aheadFrom(fetch, prepare, rows, finish); }, finish);
}

void PlanDatabase::aheadFrom(const QString &fetch, const Prepare &prepare, const PgResult &rows, Done finish)
{
    if (rows.rows() == 0)
        return finish({});
    // The server reads the next batch while this one is checked: neither
    // waits for the other.
    const auto preparing = Ahead<Then>::start([prepare, rows] { return prepare(rows); });
    run(fetch, {}, [this, fetch, prepare, preparing, finish](const PgResult &next) {
        preparing->result()([this, fetch, prepare, next, finish](bool more) {
            if (!more)
                return finish({});
            aheadFrom(fetch, prepare, next, finish);
        });
    }, [preparing, finish](const DbFault &fault) {
        preparing->wait();
        finish(fault);
    });
}

void PlanDatabase::readAudit(Batch<QByteArray> batch, Done done)
{
    pageAudit(0, std::move(batch), std::move(done));
}

void PlanDatabase::pageAudit(qint64 after, Batch<QByteArray> batch, Done done)
{
    run(exportPage, {after}, [this, batch, done](const PgResult &result) {
        if (result.rows() == 0)
            return done({});
        QList<QByteArray> lines;
        lines.reserve(result.rows());
        for (int i = 0; i < result.rows(); ++i)
            lines << result.bytes(i, 1);
        const qint64 last = result.number(result.rows() - 1, 0);
        batch(lines, [this, last, batch, done](bool more) {
            if (!more)
                return done({});
            pageAudit(last, batch, done);
        });
    }, done);
}

void PlanDatabase::verifyAudit(const QByteArray &lastHash, Batch<CheckedRecord> batch,
                               std::function<void(const DbFault &, const AuditCheck &)> done)
{
    auto state = std::make_shared<Verification>();
    state->check.lastHash = firstPrev;
    const Prepare lines = [state, batch](const PgResult &result) -> Then {
        auto checks = std::make_shared<std::vector<LineCheck>>(checkLines(state->halves, result, bool(batch)));
        return [state, batch, result, checks](std::function<void(bool more)> next) {
            QList<CheckedRecord> good;
            const bool more = state->take(result, *checks, batch ? &good : nullptr);
            if (!batch || good.isEmpty())
                return next(more);
            batch(good, [next, more](bool wanted) { next(more && wanted); });
        };
    };
    // Once the chain checks out, the plan beside it is read in the same
    // snapshot: each row's state must come from a line of the audit.
    const Prepare plan = [state](const PgResult &result) -> Then {
        std::optional<QString> why;
        for (int i = 0; i < result.rows() && !why; ++i)
            why = state->planDisagrees(result, i);
        return [state, why](std::function<void(bool more)> next) {
            if (why) {
                state->check.disagrees = true;
                state->check.why = *why;
            }
            next(!why);
        };
    };
    const Step crossCheck = [this, state, plan](const Done &next) {
        if (state->check.firstBad > 0)
            return next({});
        std::sort(state->rowsWithLines.begin(), state->rowsWithLines.end());
        run(planCursor, {}, [this, plan, next](const PgResult &) { fetchAhead(planFetch, plan, next); }, next);
    };
    const Step conflicts = statement(conflictLines, {}, [state](const PgResult &result) {
        for (int i = 0; i < result.rows(); ++i) {
            state->conflicts.insert(result.number(i, 0));
            if (result.flag(i, 1))
                state->check.onTwoModules << result.text(i, 2);
        }
    });
    transaction(snapshot, [this, lines, crossCheck, conflicts](Done finish) {
        runSteps({conflicts, statement(verifyCursor, {}),
                  [this, lines](const Done &next) { fetchAhead(verifyFetch, lines, next); }, crossCheck},
                 finish);
    }, [state, lastHash, done](const DbFault &fault) {
        AuditCheck &check = state->check;
        if (!fault && check.firstBad == 0 && !check.disagrees && !lastHash.isEmpty()) {
            check.why = state->chain.endsElsewhere(lastHash);
            check.endsElsewhere = !check.why.isEmpty();
        }
        done(fault, check);
    });
}
