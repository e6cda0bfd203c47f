// SPDX-License-Identifier: MIT
#pragma once

// Whether a module answered all four settings; for the lane's own files.

#include "plan/planbook.h"

#include <algorithm>

inline bool allFour(const SettingValues &values)
{
    return std::all_of(values.begin(), values.end(), [](const auto &value) { return value.has_value(); });
}
