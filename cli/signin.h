// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's sign-in: the roster from a file (--roster) or from the
// database the plan is in, and a badge code read from --badge-file, else
// from the terminal without echo, else from stdin (a badge scanner types
// its code and Enter). A code is never printed, and never taken from the
// command line, where any user of the computer could read it.

#include "output.h"

#include "roster/roster.h"
#include "store/databaseuri.h"
#include "store/store.h"

#include <optional>

namespace cli {

struct SignInRequest {
    QString rosterFile;                  // --roster
    std::optional<DatabaseUri> database; // --db: its roster when there is no file
    QString badgeFile;                   // --badge-file
    std::optional<SupervisorRight> right; // none: an operator signs in to start
    bool namedOperator = false;          // --operator was given: a roster takes its place
};

// Reads the roster and the badge, and hands on who signed in; nothing when
// there is no roster (the free name stays). Anything else ends the command
// with why, before anything was started.
void signIn(const SignInRequest &request, const Done &done, const std::function<void(const std::optional<Signer> &who)> &then);

// One badge code: from the first line of file when one is given (refused
// when others than its owner may read it), else from the terminal without
// echo, after prompt on stderr, else a line of stdin.
std::optional<QString> readBadge(const QString &prompt, const QString &file, QString *error);

} // namespace cli
