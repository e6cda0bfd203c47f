// SPDX-License-Identifier: MIT
#pragma once

// The roster a station signs in with: a file when one is named, else the
// one the plan's database keeps (vev_operator). Read anew for each
// sign-in, so that a person removed from it signs in no more.

#include "roster/roster.h"
#include "store/databaseuri.h"

#include <functional>
#include <optional>

// then gets why it could not be read, or the roster; nothing (and no
// error) when there is none. Answers on the caller's thread, from its
// event loop when it asks a database.
void loadRoster(const QString &file, const std::optional<DatabaseUri> &database,
                const std::function<void(const QString &error, const std::optional<Roster> &roster)> &then);
