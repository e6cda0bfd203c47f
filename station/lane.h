// SPDX-License-Identifier: MIT
#pragma once

// One lane of a provisioning station: a serial port where modules are put
// on one after another. It watches the line until a module answers, reads
// it, asks the store what the module is to get, writes that row, reads it
// back, has the outcome stored, and watches until the module is taken off.
//
// What a module is, the store decides from all four of its settings. The
// lane probes only while the line is silent, with the cheapest question (the
// MAC address), and once bytes come it reads the module whole; that read is
// answered after every probe sent before it, so no late answer can land in
// a later request, and its answers are taken as the module's only once the
// line stayed quiet after them. The module just handled stays the one on
// the lane until --timeout without a byte; an answer with a MAC that is
// neither its row's nor its own before is a new module, told at once. A
// module that passed is read whole while it stays; one that failed gets
// nothing more until it has been taken off. Answers the lane did not ask
// for mean someone else talks on its wires: it stops.
//
// A lost port ends the lane, unless it is told to reopen its port: then it
// waits, trying the same device path now and then, and goes on watching once
// it opens again (an adapter unplugged and plugged back in).

#include "client/gatewayclient.h"
#include "store/store.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <optional>

class Lane : public QObject
{
    Q_OBJECT

public:
    enum class Activity {
        Waiting,   // for a module
        Reading,   // a module answered: reading its settings
        Claiming,  // asking the store what the module is to get
        Writing,   // writing a fresh row
        Finishing, // writing a row that was in doubt onto the module carrying it
        Verifying, // reading the row back
        Recording, // storing the outcome
        Retrying,  // storing the outcome while the store cannot be reached (detail: why)
        TakeOff,   // done with the module: take it off
        HoldsRow,  // the module already carries a row recorded as passed
        NoRowLeft, // no open row is left for this module
        Conflict,  // the module carries part of a row it may not be given (conflict says how)
        LostSettings, // the module that passed is seen without its row: set it aside
        NeedsSerial, // a module is on: scan its serial (nothing is written before)
        SendToRework, // the unit failed the station's limit of times: set it aside for rework (detail: why)
        PortLost,  // the port went away: waiting for its device to come back (detail: why)
        PortBack,  // its device is back but cannot be opened yet (detail: why)
        Held,      // a FAIL awaits the operator's acknowledgement: no module is taken until then
        Ended,     // see ending
    };
    // How the lane ended, for the run's exit code and its last words.
    enum class Ending {
        None,               // its one module handled (--once)
        PlanUsedUp,
        Stopped,
        NoModule,           // no module within the timeout (--once)
        Lost,               // the port (detail: why)
        StoreFailed,        // a claim, or the outcome when result is set, could not be stored (detail: why)
        AlreadyProvisioned, // the module holds a passed row (--once)
        Wiring,             // answers came that the lane never asked for: another lane or program on its wires
        Conflict,           // the module carries part of a row it may not be given (--once)
        Rework,             // the unit is to go to rework (--once)
    };

    // Whether the lane takes the units' serial numbers: not at all, when
    // one is scanned, or before anything is written to a unit.
    enum class SerialMode { Off, Optional, Required };
    // off, optional, required; nothing for another word, with *why.
    static std::optional<SerialMode> serialModeOf(const QString &text, QString *why);
    // --max-attempts as given: 0 (no limit) to 1000; nothing, with *why.
    static std::optional<int> attemptsOf(const QString &text, QString *why);
    // A unit's outcomes before it goes to rework: as given, else 3 with
    // serials and none without (a batch sharing a factory MAC cannot be
    // counted by MAC); 0: no limit.
    static int attemptLimit(SerialMode mode, std::optional<int> given);

    // The label of a module that passed: printed in the background, so the
    // lane may be on to the next module before it is done.
    enum class LabelState { None, Printing, Printed, Sent, NotPrinted };

    // What the lane shows, as values: the front ends word them for a status
    // line, a tile, a screen reader.
    struct Status {
        Activity activity = Activity::Waiting;
        Ending ending = Ending::None; // once ended
        QString detail;              // what the system or the store said, where the activity or ending has it
        std::chrono::milliseconds timeout {0}; // how long a silent line means no module
        std::optional<PlanRow> row;  // the row in hand, or the one the module holds or conflicts with
        PlanBook::Conflict conflict = PlanBook::Conflict::None;
        int partOf = 0;              // a row whose IP the module carried, being written over
        SettingValues before;        // the module's settings when it was found
        std::optional<Result> result; // the last module's, kept until the next module is on
        QString reason;              // why it is not a pass, as its record says
        LabelState label = LabelState::None; // the last module's label
        QString labelReason;         // why it was not printed
        int storeWait = 0;           // seconds the store has not answered the claim or record in hand (detail: why)
        QString serial = {};         // the serial scanned for the module on the lane, or the next one
        QString code = {};           // the last module's failure code, as its record says
        int attempt = 0;             // the attempt of the row in hand or just recorded; 0: none
        // The last module failed with part of its row sent to it (or with
        // what was sent unknown); false: nothing of the row reached it.
        bool written = false;
        bool resuming = false;       // the row in hand was in doubt: the module carried it
        int unacknowledged = 0;      // the row whose FAIL the operator has not acknowledged; 0: none
    };

    Lane(const QString &port, ProvisionStore *store, std::chrono::milliseconds timeout, bool once,
         QObject *parent = nullptr);

    OpenFailure open(QString *reason);
    void start();
    // Ends the lane: at once when no module is in hand, else once the one in
    // hand has been written, checked and recorded.
    void stop(Ending ending = Ending::Stopped);
    // Ends the lane at once: not another byte to the module. A module being
    // written gets no more of its row, and its outcome (aborted, why) goes
    // to the store, which keeps it where it can.
    void halt(const QString &why);
    // With no open row left, whether a module that carries nothing is told
    // to go (the run waits for the modules of rows in doubt) or the lane
    // ends.
    void setWaitForRowsInDoubt(bool wait) { m_waitForDoubt = wait; }
    // Whether a lost port is opened again when its device comes back,
    // instead of ending the lane.
    void setReopenLostPort(bool reopen) { m_reopenLost = reopen; }
    // Whether a FAIL holds the lane until the operator acknowledges it:
    // the failed module may be taken off meanwhile, but the next one put
    // on is only watched, and nothing is written to it, until then.
    void setHoldAfterFail(bool hold) { m_holdAfterFail = hold; }
    // The operator has seen the FAIL: a module put on meanwhile is read
    // afresh and taken. False when no FAIL awaited acknowledgement.
    bool acknowledge();
    // How the label of the module that passed with this row is doing; shown
    // while the lane still shows that module, ended or not.
    void showLabel(int row, LabelState state, const QString &reason = QString());
    // How the lane takes serial numbers; a pattern, when valid, must match
    // a serial whole.
    void setSerialRule(SerialMode mode, const QRegularExpression &pattern = QRegularExpression());
    SerialMode serialMode() const { return m_serialMode; }
    // A serial scanned for this lane: for the module on it, or the next one
    // put on. One scanned while a verdict is shown tells the lane a new
    // module is on. Empty when taken; else why not (the module in hand is
    // being written, a code the pattern refuses, ...).
    QString scan(const QString &code);

    QString port() const { return m_port; }
    const Status &status() const { return m_status; }
    bool isEnded() const { return m_phase == Phase::Ended; }
    // Whether a module is in hand: between its claim and its stored outcome.
    bool holdsModule() const;
    Ending ending() const { return m_ending; }
    // Results stored by this lane, in order.
    const QList<Result> &results() const { return m_results; }

    // The quiet on the line after which the next probe goes.
    static constexpr std::chrono::milliseconds probeInterval {25};
    // How often a lost port is tried again.
    static constexpr std::chrono::milliseconds reopenInterval {500};
    // A line just opened may still carry answers to a program before this
    // one, for as long as the slowest module takes to answer. The lane asks
    // nothing until it has been quiet this long, so that every answer after
    // is one it asked for; answers it did not ask for in that time make it
    // wait longer than a leftover can come. Past that time nothing heard is
    // a leftover: another lane or program talks on the same wires.
    static constexpr std::chrono::milliseconds settleTime {100};
    // A module's answers are taken as its own once the line has stayed quiet
    // after them this long: answers a second leg carries late, to another
    // lane's questions, would come in that time, and show as not asked.
    static constexpr std::chrono::milliseconds quietBeforeWriting {60};
    static constexpr std::chrono::milliseconds leftoversFor {ReplyLedger::answerWindow + std::chrono::milliseconds(500)};
    static constexpr std::chrono::milliseconds settleAfterAnswers {ReplyLedger::answerWindow + std::chrono::milliseconds(1000)};

    // How often a module that passed is read whole while it stays on.
    static constexpr std::chrono::milliseconds presenceCheck {1000};
    // A verdict stays at most a timeout and this long after its module fell
    // silent, however long it took to reach it.
    static constexpr std::chrono::milliseconds verdictGrace {500};

signals:
    void statusChanged();
    void recorded(const OutcomeRecord &record);
    // A module that passed was seen without its row; the record is stored.
    void settingsLost(const LostRecord &record);
    // The store could not record a claim or an outcome: the run must stop.
    void storeFailed(const QString &error);
    void finished();

private:
    void settle(std::chrono::milliseconds quiet = settleTime);
    void watch(bool removing);
    void probe();
    void probeDue();
    void heard(const QString &text);
    void silent();
    void identify();
    void readFinished(const ReadOutcome &outcome);
    void claim();
    void claimed(const ProvisionStore::Claim &claim);
    void writeFinished(const WriteOutcome &outcome);
    // The row in hand's outcome on this lane, as far as the lane knows it.
    OutcomeRecord outcomeOfRow(Result result, const QString &reason) const;
    // Not another byte of the row in hand: its outcome, aborted for why,
    // goes to the store (part of it may be on the module).
    void abortRow(const QString &why);
    void recordOutcome(const OutcomeRecord &record, bool lost, const QString &lostReason);
    void crossTalk();
    void conflicted(const ProvisionStore::Claim &claim);
    void checkPresence();
    void presenceRead(const ReadOutcome &outcome);
    void settingsGone(const SettingValues &seen);
    void gone();
    void askLastPassed();
    bool lostSinceLastRun(const ReadOutcome &outcome);
    void stored(const OutcomeRecord &record, bool lost, const QString &lostReason, const QString &error);
    void lineLost(const QString &reason);
    void portLost(const QString &reason);
    void reopen();
    void show(Activity activity, const QString &detail = QString());
    void finish(Ending ending, const QString &detail = QString());
    // The module's verdict and serial go: it has left, or another is on.
    void forgetModule();
    // The module read whole waits for its serial, watched while it stays.
    void awaitSerial();
    // A failed module's row, held for acknowledgement where the lane is set to.
    void holdFor(int row);

    // What the lane is doing, which the status shows only in part: a
    // removal watch reads the module now and then and keeps showing the
    // last module's result meanwhile.
    enum class Phase { Idle, Watching, Identifying, Guarding, Claiming, Writing, Recording, Lost, Ended };

    QString m_port;
    ProvisionStore *m_store;
    std::chrono::milliseconds m_timeout;
    bool m_once;
    bool m_waitForDoubt = false;
    bool m_reopenLost = false;
    bool m_holdAfterFail = false;
    GatewayClient m_client;

    QTimer m_probe;      // the next probe, once the line has been quiet
    QTimer m_silence;    // no byte for --timeout: the line is empty
    QTimer m_undecided;  // bytes without a whole MAC answer: read the module
    QTimer m_reopen;     // the next try at a lost port
    QTimer m_settle;     // a freshly opened line quiet long enough to begin
    QTimer m_guard;      // a module read whole, the line quiet after it: on to its claim
    bool m_settling = false;
    QElapsedTimer m_openedFor;   // since the line was opened: how long leftovers may come
    QElapsedTimer m_sinceProbe;
    QElapsedTimer m_sinceByte;
    ReadGatherer m_probeAnswer;
    bool m_removing = false;       // the module just handled may still be on
    QSet<QString> m_handledMacs;   // its MAC addresses, before and after, canonical
    QTimer m_presence;             // the next whole read of a module that passed, or of one a verdict is about
    // The settings of the module a verdict is about, as last read whole: a
    // twin with its MAC put in its place answers the probes the same.
    std::optional<SettingValues> m_onLane;
    bool m_checking = false;       // the read under way is such a read
    std::optional<PlanRow> m_passed; // the row the module on the lane passed with
    // The row last passed on this port, by this station, as the line opens:
    // its module may still be on the lane, with the row or without it.
    std::optional<RowEntry> m_lastPassed;

    Phase m_phase = Phase::Idle;
    // The line went away while the store was answering: the module in hand
    // is recorded first, then the port counts as lost.
    QString m_lostWhileStoring;
    // Someone else answers on the lane's wires: it ends once the store has
    // answered what it was asked.
    bool m_crossTalk = false;
    PlanRow m_row;
    QStringList m_rowMacsBefore; // a row resumed: the MACs its module had before, from each claim
    Status m_status;
    bool m_stopping = false;
    Ending m_stopEnding = Ending::Stopped;
    Ending m_ending = Ending::None;
    QList<Result> m_results;
    SerialMode m_serialMode = SerialMode::Off;
    QRegularExpression m_serialPattern;
    QString m_serial;          // scanned for the module on the lane or the next one
    bool m_serialUsed = false; // a claim named it: it goes with its module
    int m_attempt = 0;
};
