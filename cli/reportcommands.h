// SPDX-License-Identifier: MIT
#pragma once

// vev-cli report: the line report of a plan and its audit, in files or in
// a database, as text, JSON, CSV or one HTML page.

#include "output.h"

#include "report/linereport.h"
#include "store/storesetup.h"

namespace cli {

struct ReportRequest {
    StoreSetup store;
    report::Options options;
    enum Format { Text, Json, Csv, Html } format = Text;
    QString htmlFile; // Html: where the page goes
};

void runReport(const ReportRequest &request, const Done &done);

} // namespace cli
