// SPDX-License-Identifier: MIT
#pragma once

// The units on a line: their serial numbers (scanned from a serial-port
// scanner per lane, checked against a pattern), their attempts, and a unit
// back from rework.

#include "commandargs.h"
#include "output.h"
#include "station/station.h"
#include "store/storesetup.h"

namespace cli {

// provision's --serial, --serial-pattern, --scanner, --max-attempts and
// --label-qr onto its lanes; false with *refusal saying why.
bool unitOptions(const Args &args, Station::Options *lanes, Refusal *refusal);

// rework's unit (--serial or --mac), --code and --note as its line will
// carry them.
std::optional<ReworkRecord> reworkOf(const Args &args, Refusal *refusal);
void runRework(const StoreSetup &setup, const ReworkRecord &rework, const Done &done);

} // namespace cli
