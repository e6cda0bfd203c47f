// SPDX-License-Identifier: MIT
#pragma once

// The line report of a store: its plan's state (planStatus) and every line
// of its audit, checked and read through verifyAudit, so a plan in files
// and one in a database give the same figures. A chain that does not check
// out gives no figures: its answer says which line and why, with the exit
// code audit-verify gives.

#include "report/linereport.h"
#include "store/store.h"

#include <functional>

namespace report {

void reportFromStore(ProvisionStore &store, const Options &options,
                     std::function<void(const ProvisionStore::Answer &answer, const Report &report)> done);

// The same from a plan and its audit in files, read here at once rather
// than through a store, whose opening would read the audit a second time
// (a million lines: seconds): the audit through verifyAudit, the plan's
// state replayed from its lines, the plan's rows counted. A station
// running on the files meanwhile is no hindrance: nothing is locked.
// With noAuditYet, an audit not made yet counts as one without lines (a
// station about to make it), rather than as a mistake in its name.
ProvisionStore::Answer reportFromFiles(const QString &plan, const QString &audit, const Options &options, Report *report,
                                       bool noAuditYet = false);

} // namespace report
