// SPDX-License-Identifier: MIT
#pragma once

// One lane of a provisioning station: a serial port where modules are put
// on one after another. It waits until a module answers, reads it, claims a
// plan row from the station, writes the row, reads it back, has the outcome
// recorded, and waits until the module is taken off before the next.

#include "client/gatewayclient.h"
#include "station/auditlog.h"
#include "station/plan.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class Lane : public QObject
{
    Q_OBJECT

public:
    enum class State { Idle, Waiting, Writing, Removing, Done };
    // How the lane ended, worst first where it matters for the exit code.
    enum class Ending { None, PlanUsedUp, Stopped, NoModule, Lost, Failed };

    struct Hooks {
        // The next row for a module, or nothing when the plan is used up.
        std::function<std::optional<PlanRow>()> claim;
        // Records the outcome; false if it could not be recorded.
        std::function<bool(const AuditRecord &)> record;
    };

    Lane(const QString &port, Hooks hooks, std::chrono::milliseconds timeout, bool once, QObject *parent = nullptr);

    OpenFailure open(QString *reason);
    void start();
    // Ends the lane: at once when no module is in hand, else once the one in
    // hand has been written, checked and recorded.
    void stop(Ending ending = Ending::Stopped);

    QString port() const { return m_port; }
    State state() const { return m_state; }
    Ending ending() const { return m_ending; }
    QString status() const { return m_status; }
    // Results recorded by this lane, in order: "pass", "fail", ...
    const QStringList &results() const { return m_results; }

    // How long a probe for a module waits for its answer, and the pause
    // between probes.
    static constexpr std::chrono::milliseconds probeTimeout {500};
    static constexpr std::chrono::milliseconds probePause {100};

signals:
    void statusChanged(const QString &status);
    void recorded(const AuditRecord &record);
    void finished();

private:
    void probe();
    void readFinished(const ReadOutcome &outcome);
    void writeFinished(const WriteOutcome &outcome);
    void setStatus(const QString &status);
    void finish(Ending ending, const QString &status);

    QString m_port;
    Hooks m_hooks;
    std::chrono::milliseconds m_timeout;
    bool m_once;
    GatewayClient m_client;
    QTimer m_next;           // the next probe
    QElapsedTimer m_waiting; // since the lane began waiting for a module
    State m_state = State::Idle;
    Ending m_ending = Ending::None;
    bool m_stopping = false;
    Ending m_stopEnding = Ending::Stopped;
    QString m_status;
    QStringList m_results;
    PlanRow m_row;
    SettingValues m_before;
    SettingValues m_inHand; // what the module in hand last answered
};
