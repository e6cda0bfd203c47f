// SPDX-License-Identifier: MIT
#pragma once

// The line report of a set-up's plan, counted where it does not hold up the
// window: a plan in files on a thread of its own, one in a database through
// a store that only looks (nothing is locked or written). For the Report
// button and the line at a glance alike.

#include "report/linereport.h"
#include "stationwindow/stationsetup.h"

#include <QObject>

#include <functional>
#include <memory>
#include <thread>

// error: why there are no figures, as the store or the files say it;
// source: the audit's name as the page shows it.
using SetupReportDone =
    std::function<void(const QString &error, std::shared_ptr<report::Report> report, const QString &source)>;

// done runs on receiver's thread, and not once receiver has gone. thread is
// the receiver's: a count from files before is waited for first, and the
// receiver waits for it before it goes. With noAuditYet, an audit file not
// made yet counts as one without lines.
void countSetupReport(const StationSetup &setup, const report::Options &options, bool noAuditYet, QObject *receiver,
                      std::thread &thread, SetupReportDone done);
