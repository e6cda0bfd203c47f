// SPDX-License-Identifier: MIT
#pragma once

// What a run of the station window is set up with: remembered between
// sessions, filled in from the command line, and turned into a store and a
// station in one place, so that another kind of plan (a database) is one
// more field here and nothing else.

#include "station/station.h"
#include "stationtext/lanestate.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class QSettings;

struct StationSetup {
    QString planPath;     // a CSV file, or a postgresql:// URI of a plan several benches share
    QString auditPath;    // with a database, the audit is in it and this is not used
    QString station;      // the host name when empty
    QString operatorName; // never remembered: asked at Start, or given by --operator
    QStringList ports;    // one lane each, in this order
    bool bell = true;     // a tone on FAIL
    bool passTone = true; // a tone on PASS
    // Where the label of each module that passes goes, as provision's
    // --labels DIR, --label-zpl HOST:PORT and --label-printer NAME do.
    enum class Labels { None, Folder, Zpl, Printer };
    Labels labels = Labels::None;
    QString labelDestination;
    std::chrono::milliseconds timeout {3000};
    // The units' serial numbers, as provision's --serial, --serial-pattern
    // and --max-attempts (-1: its default) take them.
    Lane::SerialMode serial = Lane::SerialMode::Off;
    QString serialPattern;
    int maxAttempts = -1;
    // The roster operators sign in from (a CSV file; empty: none, or the
    // database's own); and who signed in for this run, never remembered.
    QString rosterPath;
    QString operatorId;
    // What the tiles say to do next, from an instructions file (empty: the
    // defaults); and whether a FAIL holds its lane until acknowledged.
    QString instructionsPath;
    bool ackFail = false;

    // The station's name as its records carry it (the host's without one).
    QString stationName() const;

    // The plan is a database's: several stations share it, and its audit.
    bool usesDatabase() const;

    void load(const QSettings &settings);
    void save(QSettings &settings) const;

    // What keeps a run from starting before anything is opened: no plan or
    // audit named, no lane, a port given twice (under two names, too), a
    // label destination that is no such thing. Empty when none.
    QString problem() const;
    // The instructions the file gives, or the defaults (without a file, or
    // one problem() refuses).
    Instructions instructions() const;

    // The store the set-up names; without lock it only looks (for showing
    // the plan's state between runs). Null with *error when the plan names
    // no store (a URI that does not parse).
    std::unique_ptr<ProvisionStore> makeStore(bool lock, QString *error) const;
    // A station over that store whose lanes wait for a lost port to come
    // back; null with *error when problem() has something to say.
    std::unique_ptr<Station> makeStation(QString *error) const;

private:
    std::optional<LabelTarget> labelTarget(QString *error) const;
};
