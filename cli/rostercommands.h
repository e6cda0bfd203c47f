// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's roster and shifts: operator add, remove and list (the roster a
// database keeps; list also checks a roster file), and shift start.

#include "output.h"
#include "signin.h"

#include "store/storesetup.h"

namespace cli {

struct OperatorRequest {
    QString command;       // "operator add", "operator remove" or "operator list"
    std::optional<DatabaseUri> database;
    QString rosterFile;    // operator list: a file instead of the database
    RosterEntry entry;     // operator add: id, name and role; operator remove: id
    QString badgeFile;     // operator add: the code, else stdin or the terminal
};

std::function<void(const Done &)> operatorCommand(const OperatorRequest &request);

// Appends a shift line (the shift's name as given) to the store's audit;
// the line's operator is whoever the store's set-up names.
void runShiftStart(const StoreSetup &store, const QString &name, const Done &done);

} // namespace cli
