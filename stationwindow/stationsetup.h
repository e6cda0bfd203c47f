// SPDX-License-Identifier: MIT
#pragma once

// What a run of the station window is set up with: remembered between
// sessions, filled in from the command line, and turned into a store and a
// station in one place, so that another kind of plan (a database) or a label
// destination is one more field here and nothing else.

#include "station/station.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class QSettings;

struct StationSetup {
    QString planPath;
    QString auditPath;
    QString station;      // the host name when empty
    QString operatorName;
    QStringList ports;    // one lane each, in this order
    bool bell = true;     // a short sound on FAIL
    std::chrono::milliseconds timeout {3000};

    void load(const QSettings &settings);
    void save(QSettings &settings) const;

    // What keeps a run from starting before anything is opened: no plan or
    // audit named, no lane, a port given twice (under two names, too).
    // Empty when none.
    QString problem() const;

    // The store the set-up names; without lock it only looks (for showing
    // the plan's state between runs).
    std::unique_ptr<ProvisionStore> makeStore(bool lock = true) const;
    // A station over that store whose lanes wait for a lost port to come back.
    std::unique_ptr<Station> makeStation() const;
};
