// SPDX-License-Identifier: MIT
#pragma once

// Times as the report reads and groups them: UTC, in ms since the epoch.

#include "report/linereport.h"

namespace report {

constexpr qint64 minuteMs = 60 * 1000;
constexpr qint64 hourMs = 60 * minuteMs;
constexpr qint64 dayMs = 24 * hourMs;

// An audit line's time, read without QDateTime for the form every line has
// (a million lines are read for one report); else as parseTime() reads it.
std::optional<qint64> auditTime(const QString &text);
// The hour a time falls in: "2026-12-08T03:00Z".
QString hourKey(qint64 ms);
// Minutes from midnight as "06:00".
QString minuteText(int minutes);

} // namespace report
