// SPDX-License-Identifier: MIT
#pragma once

// vev-cli label: one module's label, from values given or reprinted from the
// audit, drawn and printed by the vev-label helper, whose output and exit
// code are passed through.

#include "output.h"

#include "label/labeljob.h"

namespace cli {

// Prints a label from values, checked first as write checks them.
void runLabel(const LabelJob &job, const Done &done);

// Which module a reprint is for: a plan row, or a MAC address in any
// spelling.
struct ModuleKey {
    int row = 0; // 0: by MAC
    QString mac;
};

// The audit a reprint reads: a file, or the database several stations share.
struct AuditSource {
    QString path;
    QString database; // its URI as given; empty for a file
};

// Reprints the label of a module from its last passed outcome in an audit
// (its row included).
// qrSerial: the code holds the unit's serial with the MAC address, where
// the outcome has one.
void runLabelFromAudit(const AuditSource &audit, const ModuleKey &key, const LabelTarget &target, bool qrSerial,
                       const Done &done);

} // namespace cli
