// SPDX-License-Identifier: MIT
#pragma once

// The one place a store is built: from the plan's name, a CSV file (its
// audit a file beside it) or the postgresql:// URI of a plan several
// benches share (its audit in the database), for vev-cli and the station
// window alike.

#include "store/store.h"

#include <QString>

#include <memory>

struct StoreSetup {
    QString plan;         // a CSV file, or a postgresql:// URI
    QString audit;        // with a plan file; a database keeps its own
    QString station;      // the host name when empty
    QString operatorName;
    bool force = false;   // a plan file: accept IP addresses on the edge of their /24
    bool take = true;     // false: only look (a status between runs); nothing is locked or written
    QString keepFolder;   // a database: where records that could not be stored go; the current folder when empty
    // A database between runs (vev-cli's plan and audit commands): the
    // station's name is left free, and a plan import alone makes the tables.
    bool holdName = true; // a run takes its station's name
    bool makeTables = true; // false: a database without the tables is refused
    // A database restored from a backup: the line its audit ends at now,
    // which a station goes on from (see DbStore::Options::acceptFrom).
    std::optional<AuditMark> acceptFrom = {};
    int maxAttempts = 0;  // a unit's outcomes before it goes to rework; 0: no limit
    QString operatorId = {}; // the operator's short id, with a roster

    // Whether the plan names a database, good or not (by its scheme).
    bool usesDatabase() const;
};

// The store, or null with *error saying why (a URI that does not parse,
// without its password).
std::unique_ptr<ProvisionStore> makeStore(const StoreSetup &setup, QString *error);
