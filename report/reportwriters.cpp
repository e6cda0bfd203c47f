// SPDX-License-Identifier: MIT
#include "reportwriters.h"

#include "protocol/wireformat.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace report {

namespace {

QString yieldText(double share, int base)
{
    return base > 0 ? QString::number(share * 100, 'f', 1) + QLatin1Char('%') : QStringLiteral("-");
}

QString groupLine(const Group &group, int width)
{
    return QStringLiteral("  %1 %2 %3 %4 %5 %6\n")
        .arg(printable(group.label).leftJustified(width))
        .arg(group.units, 7)
        .arg(yieldText(group.firstPassYield(), group.firstAttempts), 10)
        .arg(yieldText(group.finalYield(), group.units), 10)
        .arg(group.outcomes, 9)
        .arg(group.failed, 7);
}

QString groupTable(const QString &title, const QList<Group> &groups)
{
    int width = title.size();
    for (const Group &group : groups)
        width = std::max(width, int(printable(group.label).size()));
    width = std::min(width, 48);
    QString text = QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                       .arg(QStringLiteral("  ") + title.leftJustified(width))
                       .arg(QStringLiteral("units"), 7)
                       .arg(QStringLiteral("first-pass"), 10)
                       .arg(QStringLiteral("final"), 10)
                       .arg(QStringLiteral("outcomes"), 9)
                       .arg(QStringLiteral("failed"), 7);
    for (const Group &group : groups)
        text += groupLine(group, width);
    return text;
}

QString spanText(const Report &r)
{
    if (!r.first)
        return QStringLiteral("no lines counted");
    return QStringLiteral("%1 to %2").arg(timeText(*r.first), timeText(*r.last));
}

QString finishText(const Report &r)
{
    const auto hours = r.hoursToFinish();
    if (!hours)
        return QStringLiteral("unknown (nothing passed in the last hour)");
    if (*hours == 0)
        return QStringLiteral("done");
    return QStringLiteral("%1 at %2 passed in the last hour").arg(hoursText(*hours)).arg(r.lastHourPassed);
}

QJsonObject groupJson(const Group &group)
{
    return QJsonObject {
        {QStringLiteral("key"), group.key},
        {QStringLiteral("name"), group.label},
        {QStringLiteral("units"), group.units},
        {QStringLiteral("passed_units"), group.passedUnits},
        {QStringLiteral("first_attempts"), group.firstAttempts},
        {QStringLiteral("first_passed"), group.firstPassed},
        {QStringLiteral("outcomes"), group.outcomes},
        {QStringLiteral("passed"), group.passed},
        {QStringLiteral("failed"), group.failed},
        {QStringLiteral("first_pass_yield"), group.firstAttempts > 0 ? QJsonValue(group.firstPassYield()) : QJsonValue()},
        {QStringLiteral("final_yield"), group.units > 0 ? QJsonValue(group.finalYield()) : QJsonValue()},
    };
}

QJsonArray groupsJson(const QList<Group> &groups)
{
    QJsonArray array;
    for (const Group &group : groups)
        array.append(groupJson(group));
    return array;
}

QString csvField(const QString &text)
{
    QString field = text;
    // A spreadsheet takes a leading = + - @ for a formula.
    if (!field.isEmpty() && QStringLiteral("=+-@").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n'))
        || field.contains(QLatin1Char('\r')))
        return QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return field;
}

QString ratio(double share, int base)
{
    return base > 0 ? QString::number(share, 'f', 4) : QString();
}

} // namespace

QString hoursText(double hours)
{
    if (hours < 1)
        return QStringLiteral("%1 min").arg(std::max(1, int(std::ceil(hours * 60))));
    return QString::number(hours, 'f', 1) + QStringLiteral(" h");
}

QString percentText(int part, int whole)
{
    return whole > 0 ? QString::number(100.0 * part / whole, 'f', 1) + QLatin1Char('%') : QStringLiteral("-");
}

QString reportText(const Report &r, const QString &source)
{
    QString text;
    text += QStringLiteral("Line report of %1: %2 lines, %3 counted (%4), times in UTC\n")
                .arg(printable(source)).arg(r.lines).arg(r.counted).arg(spanText(r));
    text += QStringLiteral("Units: %1; first-pass yield %2 (%3 of %4); final yield %5 (%6 of %7); %8 outcomes, "
                           "%9 failed\n")
                .arg(r.total.units).arg(percentText(r.total.firstPassed, r.total.firstAttempts))
                .arg(r.total.firstPassed).arg(r.total.firstAttempts)
                .arg(percentText(r.total.passedUnits, r.total.units)).arg(r.total.passedUnits).arg(r.total.units)
                .arg(r.total.outcomes).arg(r.total.failed);
    text += QStringLiteral("Plan: %1 rows, %2 left (%3 open, %4 in doubt); time to finish: %5\n")
                .arg(r.plan.rows).arg(r.rowsLeft()).arg(r.plan.open).arg(r.plan.inDoubt).arg(finishText(r));
    if (r.plan.onTwoModules.isEmpty()) {
        text += QStringLiteral("Conflicts: none\n");
    } else {
        text += QStringLiteral("Conflicts (rows that may be on two modules): %1\n").arg(r.plan.onTwoModules.size());
        for (const QString &row : r.plan.onTwoModules)
            text += QStringLiteral("  ") + printable(row) + QLatin1Char('\n');
    }
    text += QStringLiteral("\nBy station\n") + groupTable(QStringLiteral("station"), r.stations);
    text += QStringLiteral("\nBy lane\n") + groupTable(QStringLiteral("lane"), r.lanes);
    text += QStringLiteral("\nBy operator\n") + groupTable(QStringLiteral("operator"), r.operators);
    text += r.byShift ? QStringLiteral("\nBy shift\n") + groupTable(QStringLiteral("shift"), r.periods)
                      : QStringLiteral("\nBy hour\n") + groupTable(QStringLiteral("hour"), r.periods);

    text += QStringLiteral("\nFailures by code\n");
    if (r.failures.isEmpty())
        text += QStringLiteral("  none\n");
    int total = 0;
    for (const FailureCount &failure : r.failures)
        total += failure.count;
    int running = 0;
    for (const FailureCount &failure : r.failures) {
        running += failure.count;
        text += QStringLiteral("  %1 %2 %3 (cumulative %4)\n")
                    .arg(printable(failure.code).leftJustified(26)).arg(failure.count, 7)
                    .arg(percentText(failure.count, total), 6).arg(percentText(running, total));
    }

    text += QStringLiteral("\nTime a module (a claim to its outcome)\n");
    if (r.laneTimes.isEmpty())
        text += QStringLiteral("  none\n");
    for (const LaneTime &lane : r.laneTimes) {
        text += QStringLiteral("  %1 %2 modules, median %3 s, 95th percentile %4 s\n")
                    .arg(printable(lane.lane).leftJustified(30)).arg(lane.modules, 7)
                    .arg(lane.median, 0, 'f', 1).arg(lane.p95, 0, 'f', 1);
    }

    text += QStringLiteral("\nPassed per hour\n");
    if (r.passedPerHour.isEmpty())
        text += QStringLiteral("  none\n");
    for (const auto &[hour, count] : r.passedPerHour)
        text += QStringLiteral("  %1 %2\n").arg(hour).arg(count, 7);
    return text;
}

QJsonObject reportJson(const Report &r, const QString &source)
{
    QJsonArray failures;
    for (const FailureCount &failure : r.failures) {
        failures.append(QJsonObject {{QStringLiteral("code"), failure.code},
                                     {QStringLiteral("meaning"), failure.meaning},
                                     {QStringLiteral("count"), failure.count}});
    }
    QJsonArray laneTimes;
    for (const LaneTime &lane : r.laneTimes) {
        laneTimes.append(QJsonObject {{QStringLiteral("lane"), lane.lane},
                                      {QStringLiteral("modules"), lane.modules},
                                      {QStringLiteral("median_s"), lane.median},
                                      {QStringLiteral("p95_s"), lane.p95}});
    }
    QJsonObject perHour;
    for (const auto &[hour, count] : r.passedPerHour)
        perHour.insert(hour, count);
    const auto hours = r.hoursToFinish();
    return QJsonObject {
        {QStringLiteral("source"), source},
        {QStringLiteral("lines"), r.lines},
        {QStringLiteral("counted"), r.counted},
        {QStringLiteral("first"), r.first ? QJsonValue(timeText(*r.first)) : QJsonValue()},
        {QStringLiteral("last"), r.last ? QJsonValue(timeText(*r.last)) : QJsonValue()},
        {QStringLiteral("total"), groupJson(r.total)},
        {QStringLiteral("stations"), groupsJson(r.stations)},
        {QStringLiteral("lanes"), groupsJson(r.lanes)},
        {QStringLiteral("operators"), groupsJson(r.operators)},
        {r.byShift ? QStringLiteral("shifts") : QStringLiteral("hours"), groupsJson(r.periods)},
        {QStringLiteral("failures"), failures},
        {QStringLiteral("lane_times"), laneTimes},
        {QStringLiteral("passed_per_hour"), perHour},
        {QStringLiteral("plan_rows"), r.plan.rows},
        {QStringLiteral("rows_left"), r.rowsLeft()},
        {QStringLiteral("open"), r.plan.open},
        {QStringLiteral("in_doubt"), r.plan.inDoubt},
        {QStringLiteral("last_hour_passed"), r.lastHourPassed},
        {QStringLiteral("hours_to_finish"), hours ? QJsonValue(*hours) : QJsonValue()},
        {QStringLiteral("on_two_modules"), QJsonArray::fromStringList(r.plan.onTwoModules)},
    };
}

QString reportCsv(const Report &r)
{
    QString csv = QStringLiteral("section,key,label,units,passed_units,first_attempts,first_passed,outcomes,failed,"
                                 "first_pass_yield,final_yield,count,median_s,p95_s\n");
    const auto group = [&csv](const QString &section, const Group &g) {
        csv += QStringList {section, csvField(g.key), csvField(g.label), QString::number(g.units),
                            QString::number(g.passedUnits), QString::number(g.firstAttempts),
                            QString::number(g.firstPassed), QString::number(g.outcomes), QString::number(g.failed),
                            ratio(g.firstPassYield(), g.firstAttempts), ratio(g.finalYield(), g.units), {}, {}, {}}
                   .join(QLatin1Char(','))
               + QLatin1Char('\n');
    };
    const auto other = [&csv](const QString &section, const QString &key, const QString &label, const QString &count,
                              const QString &median = {}, const QString &p95 = {}) {
        csv += QStringList {section, csvField(key), csvField(label), {}, {}, {}, {}, {}, {}, {}, {}, count, median, p95}
                   .join(QLatin1Char(','))
               + QLatin1Char('\n');
    };
    group(QStringLiteral("total"), r.total);
    for (const Group &g : r.stations)
        group(QStringLiteral("station"), g);
    for (const Group &g : r.lanes)
        group(QStringLiteral("lane"), g);
    for (const Group &g : r.operators)
        group(QStringLiteral("operator"), g);
    for (const Group &g : r.periods)
        group(r.byShift ? QStringLiteral("shift") : QStringLiteral("hour"), g);
    for (const FailureCount &failure : r.failures)
        other(QStringLiteral("failure"), failure.code, failure.meaning, QString::number(failure.count));
    for (const LaneTime &lane : r.laneTimes) {
        other(QStringLiteral("lane_time"), lane.lane, lane.lane, QString::number(lane.modules),
              QString::number(lane.median, 'f', 3), QString::number(lane.p95, 'f', 3));
    }
    for (const auto &[hour, count] : r.passedPerHour)
        other(QStringLiteral("passed_per_hour"), hour, hour, QString::number(count));
    other(QStringLiteral("plan"), QStringLiteral("rows"), QStringLiteral("rows in the plan"), QString::number(r.plan.rows));
    other(QStringLiteral("plan"), QStringLiteral("rows_left"), QStringLiteral("rows left"), QString::number(r.rowsLeft()));
    other(QStringLiteral("plan"), QStringLiteral("in_doubt"), QStringLiteral("rows in doubt"), QString::number(r.plan.inDoubt));
    const auto hours = r.hoursToFinish();
    other(QStringLiteral("plan"), QStringLiteral("hours_to_finish"), QStringLiteral("hours to finish at the last hour's rate"),
          hours ? QString::number(*hours, 'f', 2) : QString());
    for (const QString &row : r.plan.onTwoModules)
        other(QStringLiteral("conflict"), row, row, QStringLiteral("1"));
    return csv;
}

} // namespace report
