// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's checks for the roster: who signs in before a command runs,
// and the operator commands.

#include "commandargs.h"
#include "dbcommands.h"
#include "signin.h"

#include "store/storesetup.h"

namespace cli {

// Who signs in before the command runs, and for what; refused when the
// options do not go together.
std::optional<SignInRequest> signInOf(const Args &args, std::optional<SupervisorRight> right, Refusal *refusal);
// The store's set-up once someone signed in: the lines name them.
StoreSetup signedSetup(StoreSetup setup, const std::optional<Signer> &who);
// The right a command needs a supervisor's badge for, if any.
std::optional<SupervisorRight> rightOf(const QString &command);
// A database command that signs in first.
Run signedDatabaseRun(const Args &args, const DatabaseRequest &request, Refusal *refusal);
// operator add, remove and list.
Run operatorCheck(const Args &args, Refusal *refusal);

} // namespace cli
