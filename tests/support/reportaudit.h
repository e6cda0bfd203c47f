// SPDX-License-Identifier: MIT
#pragma once

// A day on a line written as an audit with known figures, for the line
// report's tests: two stations (one with a name that is HTML), three
// operators (two of one name told apart by their roster ids), units with
// serial numbers and units known by their row (old lines without attempt),
// first attempts that fail and pass on the next, units that fail twice,
// a rework, a row released and passed on another module, a module that
// lost its settings, and two shift lines. The test's own tally of what it
// wrote stands beside the audit, counted here without the report's code.

#include "largerun.h"
#include "plan/auditfile.h"
#include "plan/records.h"

#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QSet>

struct ReportDay {
    struct Outcome {
        QString unit; // serial, else "row N"
        int row = 0;
        bool passed = false;
        QString code;
        QString station;
        QString operatorKey; // id, else name
        QString port;
        qint64 time = 0;
    };
    QList<Outcome> outcomes;
    QList<QString> lostUnits; // a lost line each, of this unit
    QStringList lostOperators; // ... and whose station's operator saw it
    int planRows = 0;
    int lines = 0;
    qint64 lateShift = 0; // the second shift line's time

    // The tally.
    int units() const
    {
        QSet<QString> all;
        for (const Outcome &o : outcomes)
            all.insert(o.unit);
        return int(all.size());
    }
    int passedUnits() const
    {
        QSet<QString> passed;
        for (const Outcome &o : outcomes) {
            if (o.passed)
                passed.insert(o.unit);
        }
        return int(passed.size());
    }
    // Units whose first outcome passed (every unit here has a first attempt).
    int firstPassed() const
    {
        QSet<QString> seen;
        int count = 0;
        for (const Outcome &o : outcomes) {
            if (seen.contains(o.unit))
                continue;
            seen.insert(o.unit);
            count += o.passed;
        }
        return count;
    }
    int failedLines() const
    {
        int count = int(lostUnits.size());
        for (const Outcome &o : outcomes)
            count += !o.passed;
        return count;
    }
    QMap<QString, int> failuresByCode() const
    {
        QMap<QString, int> codes;
        for (const Outcome &o : outcomes) {
            if (!o.passed)
                ++codes[o.code];
        }
        if (!lostUnits.isEmpty())
            codes[QStringLiteral("lost-settings")] += int(lostUnits.size());
        return codes;
    }
    int outcomesWhere(const std::function<bool(const Outcome &)> &which) const
    {
        return int(std::count_if(outcomes.begin(), outcomes.end(), which));
    }
};

inline const QString reportStationA = QStringLiteral("line-1");
inline const QString reportStationB = QStringLiteral("<b>bench</b> & \"2\"");
inline const qint64 reportDayStart = QDateTime(QDate(2026, 12, 8), QTime(5, 30), Qt::UTC).toMSecsSinceEpoch();

// Writes the plan (of largePlanRow's rows) and the audit; the tally, or
// planRows 0 when they cannot be written.
inline ReportDay writeReportDay(const QString &planPath, const QString &auditPath, int units = 60)
{
    ReportDay day;
    day.planRows = units + 20;
    if (!writeLargePlan(planPath, day.planRows))
        return {};
    QFile file(auditPath);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray prev = firstPrev;
    struct Who {
        QString station, name, id, port;
    };
    const Who people[] = {
        {reportStationA, QStringLiteral("Ana"), QStringLiteral("A1"), QStringLiteral("/dev/ttyUSB0")},
        {reportStationA, QStringLiteral("Ana"), QStringLiteral("A2"), QStringLiteral("/dev/ttyUSB1")},
        {reportStationB, QStringLiteral("Bo <script>"), QString(), QStringLiteral("/dev/ttyUSB0")},
    };
    qint64 now = reportDayStart;
    bool ok = true;
    const auto add = [&](const Who &who, AuditBody body) {
        const AuditRecord record {QDateTime::fromMSecsSinceEpoch(now, Qt::UTC).toString(Qt::ISODateWithMs), who.station,
                                  who.name, QStringLiteral("1.0.0"), std::move(body), who.id};
        const QByteArray line = auditLine(record, prev);
        prev = chainHash(line);
        ok = ok && file.write(line + '\n') == line.size() + 1;
        ++day.lines;
    };
    const QList<Setting> all(allSettings.begin(), allSettings.end());
    // One module on a lane: a claim, 30 s later its outcome.
    const auto attempt = [&](const Who &who, int row, const QString &serial, int attemptNo, bool passed,
                             const QString &code, const QString &unit) {
        const SettingValues values = largePlanRow(row - 1);
        const SettingValues before {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.1"), QStringLiteral("502"),
                                    QStringLiteral("02:56:45:00:00:%1").arg(row % 256, 2, 16, QLatin1Char('0'))};
        add(who, ClaimRecord {row, who.port, before, values, false, 0, serial});
        now += 30000;
        OutcomeRecord outcome {row, who.port, before, values, passed ? values : before,
                               passed ? Result::Pass : Result::Fail, passed ? QString() : QStringLiteral("reads back"),
                               all, passed ? QString() : code, serial, attemptNo};
        if (code == QLatin1String("no-answer") && !passed)
            outcome.result = Result::NoAnswer;
        add(who, outcome);
        day.outcomes << ReportDay::Outcome {unit, row, passed, code, who.station, who.id.isEmpty() ? who.name : who.id,
                                            who.port, now};
        now += 60000;
    };
    add(people[0], ShiftRecord {0, QStringLiteral("early")});
    int row = 0;
    for (int i = 0; i < units && ok; ++i) {
        if (i == units / 2) {
            day.lateShift = now;
            add(people[0], ShiftRecord {0, QStringLiteral("late")});
        }
        const Who &who = people[i % 3];
        ++row;
        const bool serial = i % 2 == 0;
        const QString sn = serial ? QStringLiteral("SN-%1").arg(i, 4, 10, QLatin1Char('0')) : QString();
        const QString unit = serial ? sn : QStringLiteral("row %1").arg(row);
        // Old lines (no serial) carry no attempt: the report counts them.
        const auto no = [serial](int n) { return serial ? n : 0; };
        if (i % 5 == 1) {
            attempt(who, row, sn, no(1), false, QStringLiteral("readback-mismatch-mac"), unit);
            attempt(who, row, sn, no(2), true, {}, unit);
        } else if (i % 7 == 3) {
            attempt(who, row, sn, no(1), false, QStringLiteral("no-answer"), unit);
            attempt(who, row, sn, no(2), false, QStringLiteral("no-answer"), unit);
            if (serial) {
                // The row is released and passes on another module.
                add(who, ReleaseRecord {row, largePlanRow(row - 1), QStringLiteral("released by the operator")});
                attempt(people[2], row, sn + QStringLiteral("-B"), 1, true, {}, sn + QStringLiteral("-B"));
            }
        } else if (i == 13) {
            // Fails, goes to rework by its MAC, and passes: its second attempt.
            attempt(who, row, sn, no(1), false, QStringLiteral("readback-mismatch-ip"), unit);
            add(who, ReworkRecord {0, sn, QStringLiteral("02:56:45:00:00:%1").arg(row % 256, 2, 16, QLatin1Char('0')),
                                   QStringLiteral("readback-mismatch-ip"), QStringLiteral("reseated")});
            attempt(who, row, sn, no(1), true, {}, unit);
        } else {
            attempt(who, row, sn, no(1), true, {}, unit);
            if (i == 20) {
                add(who, LostRecord {row, who.port, largePlanRow(row - 1), {}});
                day.lostUnits << unit;
                day.lostOperators << (who.id.isEmpty() ? who.name : who.id);
            }
        }
    }
    if (!ok)
        return {};
    return day;
}
