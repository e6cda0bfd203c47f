// SPDX-License-Identifier: MIT
#include "linereport.h"
#include "reporttime.h"

#include "plan/failurecodes.h"
#include "protocol/values.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <vector>

namespace report {

namespace {

// The units a group has seen, each as often as it was seen there but not
// twice in a row; counted once each at the end. (A set per group costs
// more to fill and to let go of than the report takes otherwise.)
class UnitList
{
public:
    void add(int unit)
    {
        if (m_units.empty() || m_units.back() != unit)
            m_units.push_back(unit);
    }
    int distinct()
    {
        std::sort(m_units.begin(), m_units.end());
        m_units.erase(std::unique(m_units.begin(), m_units.end()), m_units.end());
        return int(m_units.size());
    }

private:
    std::vector<int> m_units;
};

// A group and the units it has seen, for counting each once.
struct GroupCount {
    Group group;
    qint64 order = 0; // periods: their start
    UnitList units;
    UnitList passedUnits;
};

class Grouping
{
public:
    GroupCount &at(const QString &key, const QString &label, qint64 order = 0)
    {
        auto found = m_index.constFind(key);
        if (found != m_index.constEnd())
            return m_counts[*found];
        m_index.insert(key, int(m_counts.size()));
        m_counts.push_back(GroupCount {Group {key, label}, order, {}, {}});
        return m_counts.back();
    }

    QList<Group> groups(bool byOrder) const
    {
        std::vector<const GroupCount *> sorted;
        for (const GroupCount &count : m_counts)
            sorted.push_back(&count);
        std::stable_sort(sorted.begin(), sorted.end(), [byOrder](const GroupCount *a, const GroupCount *b) {
            return byOrder ? a->order < b->order : a->group.label < b->group.label;
        });
        QList<Group> groups;
        for (const GroupCount *count : sorted)
            groups << count->group;
        return groups;
    }

private:
    QHash<QString, int> m_index;
    std::deque<GroupCount> m_counts;
};

double nearestRank(const std::vector<double> &sorted, double share)
{
    if (sorted.empty())
        return 0;
    const auto rank = std::size_t(std::ceil(share * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

QString Unit::result() const
{
    if (lost)
        return QStringLiteral("lost");
    return passed ? QStringLiteral("passed") : QStringLiteral("failed");
}

struct ReportBuilder::State {
    Options options;
    int lines = 0;
    int counted = 0;
    std::optional<qint64> first;
    std::optional<qint64> last;
    std::optional<qint64> firstModule;

    QList<Unit> units;
    QHash<QString, int> unitIndex;
    QHash<int, int> ownAttempts;    // unit: outcomes since it began or was reworked
    QHash<QString, int> unitOfMac;  // a MAC written: the unit it went to last
    QHash<int, int> unitOfRow;      // a row: the unit it passed on last

    // Each lane's open claim and its modules' times, by station, then port
    // (no key made up for each line).
    struct LaneClaims {
        int row = 0;
        qint64 time = 0;
        bool open = false;
        std::vector<double> seconds;
    };
    QHash<QString, QHash<QString, LaneClaims>> laneClaims;
    QHash<int, int> unitOfRowKey; // units known by their row: the row's

    GroupCount total {Group {QStringLiteral("all"), QStringLiteral("all")}, 0, {}, {}};
    Grouping stations, lanes, operators, periods;
    QHash<QString, int> failures;
    std::vector<qint64> passTimes;

    // Each row's state by its last line: 'c' claimed, 'p' passed, 'f'
    // failed or lost; released rows are open again and not kept.
    QHash<int, char> rowState;

    // Shift lines: the current shift's start and name.
    bool shiftLines = false;
    qint64 shiftStart = 0;
    QString shiftName;
    int shiftNumber = 0;

    // A shift line with fromLastShift: what was counted before it goes;
    // what is known of the units and the rows stays.
    void countFrom(qint64 time)
    {
        options.from = time;
        counted = 0;
        first.reset();
        last.reset();
        firstModule.reset();
        for (Unit &unit : units) {
            Unit fresh;
            fresh.key = unit.key;
            fresh.serial = unit.serial;
            fresh.row = unit.row;
            unit = fresh;
        }
        total = GroupCount {Group {QStringLiteral("all"), QStringLiteral("all")}, 0, {}, {}};
        stations = lanes = operators = periods = Grouping();
        lastStation = lastLane = lastOperator = lastHour = nullptr;
        failures.clear();
        passTimes.clear();
        for (auto &station : laneClaims) {
            for (LaneClaims &lane : station)
                lane.seconds.clear();
        }
    }

    // The passes by hour, each pass's time, and the last hour's.
    void passesInto(Report &r)
    {
        std::sort(passTimes.begin(), passTimes.end());
        qint64 hourStart = std::numeric_limits<qint64>::min();
        r.passTimes.reserve(int(passTimes.size()));
        for (const qint64 time : passTimes) {
            const qint64 start = time - ((time % hourMs + hourMs) % hourMs);
            if (start != hourStart) {
                r.passedPerHour << qMakePair(hourKey(time), 0);
                hourStart = start;
            }
            ++r.passedPerHour.last().second;
            r.passTimes << time;
        }
        if (r.last)
            r.lastHourPassed = int(passTimes.end() - std::upper_bound(passTimes.begin(), passTimes.end(), *r.last - hourMs));
    }

    int unitFor(const QString &key, const QString &serial, int row)
    {
        auto found = unitIndex.constFind(key);
        if (found != unitIndex.constEnd())
            return *found;
        Unit unit;
        unit.key = key;
        unit.serial = serial;
        unit.row = row;
        units << unit;
        unitIndex.insert(key, int(units.size()) - 1);
        return int(units.size()) - 1;
    }

    static QString rowKey(int row) { return QStringLiteral("row %1").arg(row); }

    GroupCount &period(qint64 time)
    {
        if (!options.shifts.isEmpty()) {
            const qint64 minuteOfDay = ((time % dayMs + dayMs) % dayMs) / minuteMs;
            const qint64 day = time - ((time % dayMs + dayMs) % dayMs);
            for (const ClockShift &shift : std::as_const(options.shifts)) {
                const bool crosses = shift.end <= shift.start;
                const bool in = crosses ? minuteOfDay >= shift.start || minuteOfDay < shift.end
                                        : minuteOfDay >= shift.start && minuteOfDay < shift.end;
                if (!in)
                    continue;
                const qint64 startDay = crosses && minuteOfDay < shift.end ? day - dayMs : day;
                const qint64 start = startDay + shift.start * minuteMs;
                const QString label = QDateTime::fromMSecsSinceEpoch(startDay, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd "))
                                      + shift.name;
                return periods.at(label, label, start);
            }
            const QString label = QStringLiteral("outside the shifts");
            return periods.at(label, label, std::numeric_limits<qint64>::max());
        }
        if (shiftLines) {
            const QString label = shiftName + QStringLiteral(" (from ") + timeText(shiftStart) + QLatin1Char(')');
            return periods.at(QString::number(shiftStart) + QLatin1Char(' ') + shiftName, label, shiftStart);
        }
        const qint64 hourStart = time - ((time % hourMs + hourMs) % hourMs);
        if (!lastHour || hourStart != lastHourStart) {
            const QString hour = hourKey(time);
            lastHour = &periods.at(hour, hour, hourStart);
            lastHourStart = hourStart;
        }
        return *lastHour;
    }
    GroupCount *lastHour = nullptr; // the hour of the last line, found again without its key
    qint64 lastHourStart = 0;

    static QString operatorKey(const AuditRecord &record)
    {
        return record.operatorId.isEmpty() ? QStringLiteral("name:") + record.operatorName
                                           : QStringLiteral("id:") + record.operatorId;
    }
    static QString operatorLabel(const AuditRecord &record)
    {
        if (record.operatorId.isEmpty())
            return record.operatorName.isEmpty() ? QStringLiteral("(none)") : record.operatorName;
        if (record.operatorName.isEmpty())
            return record.operatorId;
        return record.operatorName + QStringLiteral(" (") + record.operatorId + QLatin1Char(')');
    }

    // The groups of the line before (a group's place in its Grouping is
    // kept: it is a std::deque).
    GroupCount *lastStation = nullptr, *lastLane = nullptr, *lastOperator = nullptr;
    QString lastStationName, lastLaneStation, lastLanePort, lastOperatorId, lastOperatorName;

    // One outcome or lost line counted into every group it belongs to.
    void count(const AuditRecord &record, qint64 time, const QString &port, int unit, bool outcome, bool passed,
               bool firstAttempt)
    {
        // Most lines are of the station, lane and operator of the line before.
        if (!lastStation || record.station != lastStationName)
            lastStation = &stations.at(record.station, record.station), lastStationName = record.station;
        if (!lastLane || record.station != lastLaneStation || port != lastLanePort) {
            const QString lane = record.station + QLatin1Char(' ') + port;
            lastLane = &lanes.at(lane, lane);
            lastLaneStation = record.station;
            lastLanePort = port;
        }
        if (!lastOperator || record.operatorId != lastOperatorId || record.operatorName != lastOperatorName) {
            lastOperator = &operators.at(operatorKey(record), operatorLabel(record));
            lastOperatorId = record.operatorId;
            lastOperatorName = record.operatorName;
        }
        GroupCount *groups[] = {&total, lastStation, lastLane, lastOperator, &period(time)};
        for (GroupCount *g : groups) {
            // The whole's units are counted from the units themselves.
            const bool sets = g != &total;
            if (outcome) {
                ++g->group.outcomes;
                if (sets)
                    g->units.add(unit);
                if (firstAttempt) {
                    ++g->group.firstAttempts;
                    g->group.firstPassed += passed;
                }
            }
            if (passed) {
                ++g->group.passed;
                if (sets)
                    g->passedUnits.add(unit);
            } else {
                ++g->group.failed;
            }
        }
    }

    void takeOutcome(const AuditRecord &record, const OutcomeRecord &outcome, std::optional<qint64> time, bool inside)
    {
        int index = 0;
        if (outcome.serial.isEmpty()) {
            const auto found = unitOfRowKey.constFind(outcome.row);
            index = found != unitOfRowKey.constEnd() ? *found : unitFor(rowKey(outcome.row), {}, outcome.row);
            unitOfRowKey.insert(outcome.row, index);
        } else {
            index = unitFor(outcome.serial, outcome.serial, outcome.row);
        }
        const int attempt = outcome.attempt > 0 ? outcome.attempt : ++ownAttempts[index];
        if (outcome.attempt > 0)
            ownAttempts[index] = outcome.attempt;
        const bool passed = outcome.result == Result::Pass;
        // A rework names a unit that failed by the MAC it carries: the one
        // it came with, or the one written.
        if (!passed) {
            for (const SettingValues *values : {&outcome.before, &outcome.readBack, &outcome.written}) {
                if (const auto &carried = valueOf(*values, Setting::MacAddress))
                    unitOfMac.insert(*carried, index);
            }
        }
        const auto &mac = valueOf(outcome.written, Setting::MacAddress);
        if (passed)
            unitOfRow.insert(outcome.row, index);

        // A claim to its outcome on the same lane.
        LaneClaims &lane = laneClaims[record.station][outcome.port];
        if (lane.open && lane.row == outcome.row && time && inside)
            lane.seconds.push_back((*time - lane.time) / 1000.0);
        lane.open = false;
        if (!inside)
            return;

        Unit &unit = units[index];
        const bool firstAttempt = attempt == 1 && !unit.hadFirst;
        if (firstAttempt) {
            unit.hadFirst = true;
            unit.firstPassed = passed;
        }
        ++unit.attempts;
        unit.row = outcome.row;
        if (mac)
            unit.mac = *mac;
        if (const auto &ip = valueOf(outcome.written, Setting::IpAddress))
            unit.ip = *ip;
        if (passed) {
            unit.passed = true;
            unit.lost = false;
            if (time)
                passTimes.push_back(*time);
        } else {
            unit.lastCode = failureCode(outcome);
            ++failures[unit.lastCode];
        }
        unit.station = record.station;
        unit.operatorName = operatorLabel(record);
        unit.time = time.value_or(0);
        count(record, time.value_or(0), outcome.port, index, true, passed, firstAttempt);
    }

    void takeLost(const AuditRecord &record, const LostRecord &lost, std::optional<qint64> time)
    {
        const auto found = unitOfRow.constFind(lost.row);
        const int index = found != unitOfRow.constEnd() ? *found : unitFor(rowKey(lost.row), {}, lost.row);
        Unit &unit = units[index];
        unit.lost = true;
        unit.lastCode = QStringLiteral("lost-settings");
        ++failures[unit.lastCode];
        count(record, time.value_or(0), lost.port, index, false, false, false);
    }

    void takeRework(const ReworkRecord &rework)
    {
        int index = -1;
        if (!rework.serial.isEmpty())
            index = unitIndex.value(rework.serial, -1);
        if (index < 0 && !rework.mac.isEmpty()) {
            // The MACs seen are kept as written; a rework's may be written otherwise.
            const QString mac = canonicalValue(Setting::MacAddress, rework.mac);
            index = unitOfMac.value(rework.mac, -1);
            for (auto it = unitOfMac.constBegin(); index < 0 && it != unitOfMac.constEnd(); ++it) {
                if (canonicalValue(Setting::MacAddress, it.key()) == mac)
                    index = it.value();
            }
        }
        if (index >= 0)
            ownAttempts.insert(index, 0);
    }
};

ReportBuilder::ReportBuilder(const Options &options)
    : d(new State)
{
    d->options = options;
}

ReportBuilder::~ReportBuilder()
{
    delete d;
}

void ReportBuilder::take(const AuditRecord &record)
{
    ++d->lines;
    const std::optional<qint64> time = auditTime(record.time);
    if (std::holds_alternative<ShiftRecord>(record.body) && time && d->options.fromLastShift)
        d->countFrom(*time);
    const bool inside = time && (!d->options.from || *time >= *d->options.from) && (!d->options.to || *time < *d->options.to)
                        && (d->options.station.isEmpty() || record.station == d->options.station);
    if (inside && !d->firstModule
        && (std::holds_alternative<ClaimRecord>(record.body) || std::holds_alternative<OutcomeRecord>(record.body)))
        d->firstModule = time;
    if (inside) {
        ++d->counted;
        if (!d->first)
            d->first = time;
        d->last = time;
    }
    if (const auto *outcome = std::get_if<OutcomeRecord>(&record.body)) {
        d->rowState.insert(outcome->row, outcome->result == Result::Pass ? 'p' : 'f');
        d->takeOutcome(record, *outcome, time, inside);
    } else if (const auto *claim = std::get_if<ClaimRecord>(&record.body)) {
        d->rowState.insert(claim->row, 'c');
        if (time) {
            State::LaneClaims &lane = d->laneClaims[record.station][claim->port];
            lane.row = claim->row;
            lane.time = *time;
            lane.open = true;
        }
    } else if (const auto *release = std::get_if<ReleaseRecord>(&record.body)) {
        d->rowState.remove(release->row);
    } else if (const auto *lost = std::get_if<LostRecord>(&record.body)) {
        d->rowState.insert(lost->row, 'f');
        if (inside)
            d->takeLost(record, *lost, time);
    } else if (const auto *rework = std::get_if<ReworkRecord>(&record.body)) {
        d->takeRework(*rework);
    } else if (const auto *shift = std::get_if<ShiftRecord>(&record.body)) {
        if (time) {
            d->shiftLines = true;
            d->shiftStart = *time;
            d->shiftName = shift->name.isEmpty() ? QStringLiteral("shift %1").arg(++d->shiftNumber) : shift->name;
        }
    }
}

PlanState ReportBuilder::replayedPlan(int rows) const
{
    PlanState plan;
    plan.rows = rows;
    int passed = 0;
    for (auto it = d->rowState.constBegin(); it != d->rowState.constEnd(); ++it) {
        if (it.key() < 1 || it.key() > rows)
            continue;
        if (it.value() == 'p')
            ++passed;
        else
            ++plan.inDoubt;
    }
    plan.open = rows - passed - plan.inDoubt;
    return plan;
}

Report ReportBuilder::finish(const PlanState &plan)
{
    Report r;
    r.options = d->options;
    r.lines = d->lines;
    r.counted = d->counted;
    r.first = d->first;
    r.last = d->last;
    r.firstModule = d->firstModule;
    if (d->shiftLines) {
        r.shiftStart = d->shiftStart;
        r.shiftName = d->shiftName;
    }
    r.plan = plan;

    const auto close = [](GroupCount &count) {
        count.group.units = count.units.distinct();
        count.group.passedUnits = count.passedUnits.distinct();
    };
    close(d->total);
    r.total = d->total.group;
    // The whole's units are the units counted, lost lines' too.
    r.total.units = 0;
    r.total.passedUnits = 0;
    r.total.firstAttempts = 0;
    r.total.firstPassed = 0;
    for (const Unit &unit : std::as_const(d->units)) {
        if (unit.attempts == 0)
            continue;
        ++r.total.units;
        r.total.passedUnits += unit.passed;
        r.total.firstAttempts += unit.hadFirst;
        r.total.firstPassed += unit.hadFirst && unit.firstPassed;
        r.units << unit;
    }
    const auto groupsOf = [&close](Grouping &grouping, bool byOrder) {
        QList<Group> groups = grouping.groups(byOrder);
        for (Group &group : groups) {
            GroupCount &count = grouping.at(group.key, group.label);
            close(count);
            group = count.group;
        }
        return groups;
    };
    r.stations = groupsOf(d->stations, false);
    r.lanes = groupsOf(d->lanes, false);
    r.operators = groupsOf(d->operators, false);
    r.byShift = !d->options.shifts.isEmpty() || d->shiftLines;
    r.periods = groupsOf(d->periods, true);

    for (auto it = d->failures.constBegin(); it != d->failures.constEnd(); ++it) {
        FailureCount failure {it.key(), {}, it.value()};
        for (const FailureCodeMeaning &meaning : failureCodeMeanings) {
            if (failure.code == QLatin1String(meaning.code))
                failure.meaning = QString::fromUtf8(meaning.meaning);
        }
        r.failures << failure;
    }
    std::sort(r.failures.begin(), r.failures.end(), [](const FailureCount &a, const FailureCount &b) {
        return a.count != b.count ? a.count > b.count : a.code < b.code;
    });

    for (auto station = d->laneClaims.begin(); station != d->laneClaims.end(); ++station) {
        for (auto port = station->begin(); port != station->end(); ++port) {
            std::vector<double> &seconds = port->seconds;
            if (seconds.empty())
                continue;
            std::sort(seconds.begin(), seconds.end());
            r.laneTimes << LaneTime {station.key() + QLatin1Char(' ') + port.key(), int(seconds.size()),
                                     nearestRank(seconds, 0.5), nearestRank(seconds, 0.95)};
        }
    }
    std::sort(r.laneTimes.begin(), r.laneTimes.end(), [](const LaneTime &a, const LaneTime &b) { return a.lane < b.lane; });

    d->passesInto(r);
    return r;
}

} // namespace report
