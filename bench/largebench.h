// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's figures at scale: audit-verify over an audit of a million
// lines against sha256sum over the same file, and how soon vev-cli
// provision and the station window start their lanes on a plan of 100,000
// rows with an audit of 50,000 lines.

#include "figures.h"

void measureLarge(Figures &figures, int runs, QTextStream &err);
void largeGoals(const Figures &figures, QTextStream &out);
// The child that starts the station window: --probe-station PLAN AUDIT PORT.
int probeStation(int argc, char *argv[]);
