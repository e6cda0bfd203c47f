// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's production line on a database several stations share (--db):
// plan import, provision, plan status, plan release, audit export, audit
// import, audit-verify and db init.

#include "output.h"

#include "store/databaseuri.h"
#include "station/station.h"

namespace cli {

struct DatabaseRequest {
    DatabaseUri uri;
    QString text;           // the URI as given
    QString command;        // "provision", "plan import", "plan status", "plan release", "audit export",
                            // "audit import", "audit-verify", "db init" or "rework"
    QString file;           // plan import: the plan; audit import: the records kept while the database was away
    QString station;        // the host name when empty
    QString operatorName;
    bool force = false;     // plan import
    bool json = false;      // plan status
    int row = 0;            // plan release
    QString lastHash;       // audit-verify
    QString stationRole;    // db init
    std::optional<AuditMark> acceptFrom; // provision
    Station::Options lanes; // provision
    ReworkRecord rework;    // rework
    // With a roster: who signed in, and for plan release the supervisor
    // who allowed it; shift start: the shift's name.
    QString operatorId = {};
    Signer supervisor = {};
    QString shiftName = {};
};

// The command, to run on the event loop.
std::function<void(const Done &)> databaseCommand(const DatabaseRequest &request);

} // namespace cli
