// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's window figures: start-up on X beside its references, and a
// session against vev-sim offscreen in a child process of its own.

#include "figures.h"

// The children: the first paint offscreen, and a session against the
// simulator; each prints its figures, one "name value" a line.
int probePaint(int argc, char *argv[]);
int probeSession(int argc, char *argv[], const QString &fastDevice, const QString &pacedDevice, int runs);

// Start-up on X of the bare window, the form alone, the configuration window
// and the station window, round after round so that all see the same machine.
void measureStartUp(Figures &figures, int runs, QTextStream &err);
// The first paint offscreen, and the session's figures; false when vev-sim
// did not start.
bool measureWindow(Figures &figures, int runs, QTextStream &err);
