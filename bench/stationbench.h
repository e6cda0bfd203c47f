// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's command line and production line figures: vev-cli against its
// open-and-exit reference, the station on lines of vev-sim modules, the
// stores on their own, and several stations on one PostgreSQL database of
// the bench's own.

#include "figures.h"

// vev-cli read and write against a process that only opens the port.
bool measureCommandLine(Figures &figures, int runs, QTextStream &err);
void measureStation(Figures &figures, int runs, QTextStream &err);
