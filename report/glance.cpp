// SPDX-License-Identifier: MIT
#include "glance.h"

#include "reporttime.h"

#include <algorithm>

namespace report {

Options glanceOptions(const QString &station)
{
    Options options;
    options.station = station;
    options.fromLastShift = true;
    return options;
}

namespace {

std::optional<double> rateAt(const Report &report, qint64 now)
{
    if (!report.firstModule || report.passTimes.isEmpty())
        return std::nullopt;
    const qint64 start = *report.firstModule;
    if (now - start >= rateWindowMs) {
        const auto from = std::lower_bound(report.passTimes.cbegin(), report.passTimes.cend(), now - rateWindowMs);
        return double(report.passTimes.cend() - from) * hourMs / rateWindowMs;
    }
    // A second at least: the first pass is seen the moment it is recorded.
    return double(report.passTimes.size()) * hourMs / std::max<qint64>(now - start, 1000);
}

} // namespace

Glance glanceOf(const Report &report, const QString &station, qint64 now)
{
    Glance glance;
    glance.since = report.shiftStart
                       ? QStringLiteral("%1, from %2").arg(report.shiftName, timeText(*report.shiftStart))
                       : QString();
    glance.units = report.total.units;
    glance.firstPassYield = report.total.firstPassYield();
    glance.finalYield = report.total.finalYield();
    glance.passed = report.total.passed;
    glance.failed = report.total.failed;
    const QString prefix = station + QLatin1Char(' ');
    for (const Group &lane : report.lanes) {
        if (!lane.key.startsWith(prefix))
            continue;
        Glance::Lane figures {lane.key.mid(prefix.size()), lane.passed, lane.failed, std::nullopt};
        for (const LaneTime &time : report.laneTimes) {
            if (time.lane == lane.key)
                figures.medianSeconds = time.median;
        }
        glance.lanes << figures;
    }
    glance.topFailures = report.failures.mid(0, 3);
    glance.modulesAnHour = rateAt(report, now);
    glance.rowsLeft = report.rowsLeft();
    glance.inDoubt = report.plan.inDoubt;
    if (glance.rowsLeft == 0)
        glance.hoursToFinish = 0.0;
    else if (glance.modulesAnHour && *glance.modulesAnHour > 0)
        glance.hoursToFinish = glance.rowsLeft / *glance.modulesAnHour;
    return glance;
}

} // namespace report
