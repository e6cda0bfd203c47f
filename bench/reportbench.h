// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's figures of the line report at scale: vev-cli report over an
// audit of a million lines (writeLargeAudit's), from files and from a
// database of the bench's own server, and the size of its HTML page.

#include "figures.h"

#include <QTextStream>

void measureReport(Figures &figures, int runs, QTextStream &err);
void reportGoals(const Figures &figures, QTextStream &out);
