// SPDX-License-Identifier: MIT
#pragma once

// vev-bench's figures of the database store at scale, on a PostgreSQL
// server of the bench's own that syncs as a bench's would: audit-verify,
// a label's reprint and the export over an audit of a million lines, a
// plan of a million rows imported, and many stations' claims at once.

#include "figures.h"

// stationsOnly: many stations' claims alone, without the figures at scale.
void measureStore(Figures &figures, int runs, QTextStream &err, bool stationsOnly = false);
void storeGoals(const Figures &figures, QTextStream &out);
