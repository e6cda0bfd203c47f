// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's production line: provision, plan status, plan release, audit
// import and audit-verify.

#include "output.h"

#include "station/station.h"
#include "store/storesetup.h"

#include <memory>

namespace cli {

// Provisions modules by the plan until it is used up (or each lane has
// handled one module, with once); SIGINT, SIGTERM and SIGHUP end it cleanly,
// each lane finishing and recording the module in hand first.
void runProvision(const StoreSetup &store, const Station::Options &options, const Done &done);

// Builds the store and opens it, then hands it on, or ends the command
// with why not. The store lives for as long as a copy of it is kept.
void withStore(const StoreSetup &setup, const Done &done,
               const std::function<void(const std::shared_ptr<ProvisionStore> &store)> &then);

// Rows by state, the rows in doubt and who holds the plan, as text or
// JSON; a database's stations and rows passed per hour too.
void runPlanStatus(const StoreSetup &store, bool json, const Done &done);

// A row's four values, as status lines show them.
QString valuesText(const SettingValues &values);

// Hands a row in doubt back to the plan, recorded in the audit.
// supervisor: who allowed it, with a roster.
void runPlanRelease(const StoreSetup &store, int row, const Signer &supervisor, const Done &done);

// Adds the records a stopped run kept in a file of their own to the store's
// audit, those not there already, re-chained; the plan's rows follow.
void runAuditImport(const StoreSetup &store, const QString &file, const Done &done);

// Checks an audit trail's records and chain: the line count and the last
// hash, or the first bad line; with lastHash, that the file ends there.
ExitCode runAuditVerify(const QString &path, const QString &lastHash);
// What audit-verify says of a check of the audit named so.
ExitCode reportAuditCheck(const QString &name, const AuditCheck &check);

} // namespace cli
