// SPDX-License-Identifier: MIT
#include "store/storesetup.h"

#include "store/databaseuri.h"
#include "store/dbstore.h"
#include "store/filestore.h"

bool StoreSetup::usesDatabase() const
{
    return DatabaseUri::isUri(plan.trimmed());
}

std::unique_ptr<ProvisionStore> makeStore(const StoreSetup &setup, QString *error)
{
    if (setup.usesDatabase()) {
        const auto uri = DatabaseUri::parse(setup.plan.trimmed(), error);
        if (!uri)
            return nullptr;
        DbStore::Options options;
        options.uri = *uri;
        options.station = setup.station;
        options.operatorName = setup.operatorName;
        options.operatorId = setup.operatorId;
        options.keepFolder = setup.keepFolder;
        options.maxAttempts = setup.maxAttempts;
        options.look = !setup.take || !setup.holdName;
        options.makeTables = setup.makeTables;
        options.acceptFrom = setup.acceptFrom;
        return std::make_unique<DbStore>(options);
    }
    FileStore::Options options;
    options.planPath = setup.plan;
    options.auditPath = setup.audit;
    options.station = setup.station;
    options.operatorName = setup.operatorName;
    options.operatorId = setup.operatorId;
    options.force = setup.force;
    options.maxAttempts = setup.maxAttempts;
    options.lock = setup.take;
    return std::make_unique<FileStore>(options);
}
