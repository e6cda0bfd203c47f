// SPDX-License-Identifier: MIT
#pragma once

// The station's states and reasons in the operator's words, written once
// for both front ends: vev-cli's status lines and the station window's
// tiles and messages. The engine reports values; only this words them.

#include "station/lane.h"

#include <QString>

class Station;

// A row as messages name it: "row 3 (10.0.5.23 10.0.5.1 502 02:00:00:00:10:03)".
QString rowText(const PlanRow &row);

// What the lane is doing, or how it ended, on one line; with the label's
// state of the module just handled.
QString laneText(const Lane::Status &status);

// A run's end on one line: "Plan used up" or endWord, this run's passes and
// failures, the rows left and in doubt, and where those are released.
QString runSummary(const Station &station, const QString &endWord, const QString &releaseWhere);
