// SPDX-License-Identifier: MIT
#pragma once

// A provisioning station: a store of plan rows and outcomes, and one lane
// per serial port, all on one thread. The lanes start once the store has
// read the plan and what it recorded, and every port is open. The run ends
// when no open row is left (each lane finishing the module in hand), or
// with --once when each lane has handled one module. A run that starts with
// nothing open but rows in doubt waits for the modules that carry them.
//
// With a label target, each module that passes gets a label, printed by the
// vev-label helper while the lanes go on; its audit line follows the
// module's outcome. A label that is not printed changes no result: the lane
// shows it and the run ends with exit 13 (a reprint comes from the audit).
// The run's end waits for labels still printing, for a while.

#include "label/labelrunner.h"
#include "station/lane.h"
#include "station/scanner.h"
#include "store/store.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <chrono>
#include <memory>

class Station : public QObject
{
    Q_OBJECT

public:
    struct Options {
        QStringList ports;
        std::chrono::milliseconds timeout {3000};
        bool once = false;
        std::optional<LabelTarget> label; // none: no labels
        // A lane whose port is lost waits for the device to come back
        // instead of ending (a window stays up for the shift; a script ends).
        bool reopenLostPorts = false;
        // The units' serial numbers: whether the lanes take them, the
        // pattern they must match, and a serial-port scanner for a lane
        // (its port -> the scanner's device).
        Lane::SerialMode serial = Lane::SerialMode::Off;
        QRegularExpression serialPattern = {};
        QHash<QString, QString> scanners = {};
        bool labelQrSerial = false; // the label's code holds the serial with the MAC address
        bool holdAfterFail = false; // a lane takes no module after a FAIL until it is acknowledged
        int maxAttempts = 0; // a unit's outcomes before it goes to rework; 0: no limit (its store keeps to it)
    };

    Station(std::unique_ptr<ProvisionStore> store, Options options, QObject *parent = nullptr);
    ~Station() override;

    // Opens the store, then every port, then starts the lanes: started(),
    // or refused() with why and nothing sent.
    void start();
    // Lanes finish the module in hand, then the run ends.
    void stop();

    ProvisionStore *store() const { return m_store.get(); }
    const QList<Lane *> &lanes() const { return m_lanes; }
    // The number of the lane writing this row (1 for the first); 0: none of
    // this station's.
    int laneWriting(int row) const;
    // The store's counts as of the last record.
    const StoreStatus &planStatus() const { return m_status; }
    int passed() const { return m_passed; }
    int failed() const { return m_failed; }
    bool planUsedUp() const { return m_usedUp; }
    bool isRunning() const { return m_running; }

    // The exit code the run ends with (see client/exitcodes.h).
    ExitCode exitCode() const;

    // How long the run's end waits for labels still printing.
    static constexpr std::chrono::milliseconds labelWait {LabelRunner::labelTimeout};

signals:
    void refused(const QString &error, ExitCode code);
    void started();
    void laneChanged(Lane *lane);
    void recorded(const OutcomeRecord &record);
    // planStatus() has changed: a record, a release, the start.
    void planStatusChanged();
    // A label's line is in the audit: printed or why not.
    void labelRecorded(const LabelRecord &record);
    // A claim, an outcome or a label's line could not be stored; the run stops.
    void storeFailed(const QString &error);
    // A code scanned for a lane: taken (why empty), or refused and why.
    void scanned(Lane *lane, const QString &code, const QString &why);
    // The store can no longer be trusted (its files changed under the run):
    // every lane was stopped at once, and the run ends with the store's code.
    void halted(const QString &why);
    void finished(ExitCode code);

private:
    void opened(const ProvisionStore::Opened &opened);
    void openLanes();
    void printLabel(Lane *lane, const OutcomeRecord &record);
    void labelPrinted(Lane *lane, const LabelRecord &record, const QString &error);
    void settingsLost(const LostRecord &lost);
    void voidLabel(const LabelRecord &printed);
    void endIfDone();
    void refreshStatus();
    void planLeft(const StoreStatus &status);
    void laneFinished();
    void halt(const QString &why, ExitCode code);
    void laneStoreFailed(const QString &error);
    bool openScanner(Lane *lane);

    std::unique_ptr<ProvisionStore> m_store;
    Options m_options;
    QList<Lane *> m_lanes;
    StoreStatus m_status;
    int m_passed = 0;
    int m_failed = 0;
    bool m_usedUp = false;
    bool m_waitingForDoubt = false;
    bool m_storeFailed = false;
    bool refusedAsStopped();

    bool m_stoppedWhileStarting = false;
    QString m_haltedBy; // why every lane was stopped at once
    ExitCode m_haltCode = ExitCode::Ok;
    bool m_running = false;
    bool m_lanesEnded = false;
    int m_labelsPending = 0; // printing, or their line not yet stored
    int m_labelsFailed = 0;
    QHash<int, LabelRecord> m_labelled; // by row: labels printed or sent this run
    QSet<int> m_lostRows;               // rows whose module lost them: a label still printing is voided at once
    // After the store: its destructor ends helpers without calling back.
    LabelRunner m_labels;
};
