// SPDX-License-Identifier: MIT
#pragma once

// How a lane compares what modules answer; for the lane's own files.

#include "plan/planbook.h"

#include <algorithm>

inline bool allFour(const SettingValues &values)
{
    return std::all_of(values.begin(), values.end(), [](const auto &value) { return value.has_value(); });
}

inline bool sameSettings(const SettingValues &a, const SettingValues &b)
{
    return std::all_of(allSettings.begin(), allSettings.end(),
                       [&](Setting setting) { return canonicalOf(a, setting) == canonicalOf(b, setting); });
}
