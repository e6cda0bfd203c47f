// SPDX-License-Identifier: MIT
#pragma once

// The line at a glance: one station's figures for its shift, as its window
// shows them beside the lanes. Counted by the report from the audit (a
// shift runs from its shift line, so its totals survive a Stop and a
// Start), with the plan's rows from the store: nothing is counted twice.

#include "report/linereport.h"

namespace report {

// The report's options for a station's glance: its lines from the last
// shift line on (all its lines while there is none).
Options glanceOptions(const QString &station);

struct Glance {
    QString since;  // "late, from 2026-12-08 06:00:00Z"; empty before the first shift line
    int units = 0;
    double firstPassYield = 0;
    double finalYield = 0;
    int passed = 0;
    int failed = 0;
    struct Lane {
        QString port;
        int passed = 0;
        int failed = 0;
        std::optional<double> medianSeconds; // a claim to its outcome
    };
    QList<Lane> lanes;              // by port
    QList<FailureCount> topFailures; // the three most frequent codes, most first
    // Passed modules an hour from the first module on, over the last
    // rateWindow once the shift is that long; none before the first pass.
    std::optional<double> modulesAnHour;
    int rowsLeft = 0;  // open rows and rows in doubt
    int inDoubt = 0;
    std::optional<double> hoursToFinish; // at modulesAnHour; 0 when nothing is left
};

constexpr qint64 rateWindowMs = 15 * 60 * 1000;

// now: the time the figures are for (ms since the epoch, UTC).
Glance glanceOf(const Report &report, const QString &station, qint64 now);

} // namespace report
