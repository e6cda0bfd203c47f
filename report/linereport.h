// SPDX-License-Identifier: MIT
#pragma once

// The line report: what a supervisor asks after a day ("which unit has
// which address, who made it, and where are we losing units?") in figures
// counted from an audit's records, taken one at a time in audit order, as
// a store's verifyAudit hands them over (so a file and a database give the
// same figures). QtCore and the plan library only; the writers are in
// reportwriters.h.
//
// Counting:
// - A unit is its serial number where its outcomes carry one, else the
//   plan row it finishes ("row N").
// - Each outcome is one attempt of its unit: its own `attempt` where it
//   has one (1 = the first), else counted here per unit in audit order,
//   starting again after a rework line for that unit.
// - First-pass yield: units whose first attempt passed / units with a first
//   attempt. Final yield: units that passed in any attempt / units.
// - Failures are counted per line: each outcome that is not a pass, and
//   each lost line (a passed module seen without its row), so a row
//   released and passed later on another module still counts its failure.
// - Times are UTC throughout, as the audit writes them; clock-time shifts
//   (--shift) are UTC too, a shift crossing midnight belonging to the day
//   it starts.

#include "plan/records.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace report {

// A clock-time shift, minutes from midnight UTC; end <= start crosses
// midnight.
struct ClockShift {
    int start = 0;
    int end = 0;
    QString name; // "06:00-14:00"
};

// "06:00-14:00,14:00-22:00,22:00-06:00": nothing, with *why, when it is not
// such a list.
std::optional<QList<ClockShift>> parseShifts(const QString &text, QString *why);

// An audit time ("2026-12-08T03:04:05.678Z") in ms since the epoch, UTC;
// also a date ("2026-12-08") or a time without its zone (taken as UTC),
// as --from and --to take them. Nothing when it is not a time.
std::optional<qint64> parseTime(const QString &text);
// ms since the epoch as the report prints a time: "2026-12-08 03:04:05Z".
QString timeText(qint64 ms);

struct Options {
    std::optional<qint64> from; // lines before this are not counted
    std::optional<qint64> to;   // nor lines at or after this
    QList<ClockShift> shifts;   // empty: shift lines, else hours
    QString station;            // not empty: only this station's lines are counted
    // Only the lines from the last shift line on are counted (the attempts
    // and the plan's state still come from every line).
    bool fromLastShift = false;
};

// What the store knows of the plan beside its audit.
struct PlanState {
    int rows = 0;
    int open = 0;
    int inDoubt = 0;
    QStringList onTwoModules; // "row N: why"
};

// Figures of one group of outcomes: a station, a lane, an operator, an
// hour or a shift, or the whole.
struct Group {
    QString key;   // what it is grouped by (an operator's id, else name)
    QString label; // as people read it
    int units = 0;         // distinct units with an outcome here
    int passedUnits = 0;   // ... of which passed here
    int firstAttempts = 0; // first attempts here
    int firstPassed = 0;   // ... that passed
    int outcomes = 0;      // outcome lines
    int passed = 0;        // outcome lines that passed
    int failed = 0;        // outcome lines that did not, and lost lines
    double firstPassYield() const { return firstAttempts > 0 ? double(firstPassed) / firstAttempts : 0; }
    double finalYield() const { return units > 0 ? double(passedUnits) / units : 0; }
};

struct FailureCount {
    QString code;
    QString meaning;
    int count = 0;
};

// How long a lane takes a module: a claim to its outcome, in seconds.
struct LaneTime {
    QString lane; // "station port"
    int modules = 0;
    double median = 0;
    double p95 = 0;
};

struct Unit {
    QString key;    // the serial number, or "row N"
    QString serial;
    int row = 0;
    QString mac;
    QString ip;
    int attempts = 0;
    bool passed = false;  // in any attempt
    bool lost = false;    // its row was later seen without it, and not passed again
    bool firstPassed = false;
    bool hadFirst = false;
    QString lastCode;     // the last failure's code
    QString station;      // of its last outcome
    QString operatorName; // ... and its operator ("name (id)")
    qint64 time = 0;      // ... and its time
    QString result() const;
};

struct Report {
    Options options;
    int lines = 0;     // audit lines read
    int counted = 0;   // ... within --from and --to
    std::optional<qint64> first; // the first and last time counted
    std::optional<qint64> last;
    std::optional<qint64> firstModule; // the first claim or outcome counted
    QList<qint64> passTimes;           // each pass counted, oldest first
    std::optional<qint64> shiftStart;  // the last shift line's time, and its name
    QString shiftName;
    Group total;
    QList<Group> stations;
    QList<Group> lanes;
    QList<Group> operators;
    bool byShift = false;  // periods are shifts (else hours)
    QList<Group> periods;  // oldest first
    QList<FailureCount> failures; // most first
    QList<LaneTime> laneTimes;
    QList<QPair<QString, int>> passedPerHour; // "2026-12-08T03:00Z", oldest first
    QList<Unit> units;     // in the order they first appear
    PlanState plan;
    int rowsLeft() const { return plan.open + plan.inDoubt; }
    int lastHourPassed = 0;       // passes in the hour up to the last line counted
    std::optional<double> hoursToFinish() const
    {
        if (rowsLeft() == 0)
            return 0.0;
        if (lastHourPassed <= 0)
            return std::nullopt;
        return double(rowsLeft()) / lastHourPassed;
    }
};

// Takes records in audit order, then gives the report.
class ReportBuilder
{
public:
    explicit ReportBuilder(const Options &options);
    ~ReportBuilder();
    ReportBuilder(const ReportBuilder &) = delete;
    ReportBuilder &operator=(const ReportBuilder &) = delete;

    void take(const AuditRecord &record);
    Report finish(const PlanState &plan);
    // The plan's state as the lines taken leave it, for a plan of rows:
    // a row claimed, or whose last outcome failed or that was lost, is in
    // doubt until it passes or is released; a row with no line is open.
    PlanState replayedPlan(int rows) const;

private:
    struct State;
    State *d;
};

} // namespace report
