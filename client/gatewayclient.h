// SPDX-License-Identifier: MIT
#pragma once

// One conversation with a gateway module: read its four settings, write
// some of them and read them back. Asynchronous: a request is started, runs
// on the event loop through the link's signals, and ends with a signal, so
// several clients share one thread without holding each other up.

#include "protocol/replygatherer.h"
#include "serial/seriallink.h"
#include "protocol/settingsjson.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

struct ReadOutcome {
    enum Status { Read, NoAnswer, Lost };
    Status status = NoAnswer;
    SettingValues values; // the settings that came with a value; an empty one is none
    bool answered = false; // anything at all came
    QString reason;        // Lost: why
};

struct WriteOutcome {
    enum Status { Done, Lost };
    Status status = Done;
    SettingSet sent;
    SettingSet acknowledged;
    // With verification: the read-back, and the settings sent whose value
    // reads back different or not at all.
    std::optional<ReadOutcome> readBack;
    SettingSet differs;
    QString reason; // Lost: why
};

// Why the values must not be written, or nothing: the value rules every
// device needs, and an IP address ending in .0 or .255 (a network or
// broadcast address on most networks) unless forced.
std::optional<QString> refuseToWrite(const SettingValues &values, bool force);

class GatewayClient : public QObject
{
    Q_OBJECT

public:
    explicit GatewayClient(QObject *parent = nullptr);

    OpenFailure open(const QString &port, QString *reason);
    void close();
    bool isOpen() const { return m_link.isOpen(); }
    bool isBusy() const { return m_phase != Phase::Idle; }

    // Sends the four read commands and gathers the answer until all four
    // values are complete (their "#" has come) or the time is up; then
    // readFinished with the complete ones.
    void startRead(std::chrono::milliseconds timeout);

    // Sends the settings that hold a value in table order, each as soon as
    // the one before is acknowledged (at most writeSpacing apart), waits up
    // to timeout after the last for the acknowledgements, and with verify
    // reads the four settings back; then writeFinished.
    void startWrite(const SettingValues &values, std::chrono::milliseconds timeout, bool verify);

    // The module's pause for storing a value, when it does not acknowledge.
    static constexpr std::chrono::milliseconds writeSpacing {1000};
    // An answer that has begun when the time is up may go on while its
    // pieces come at most this far apart, up to lateAnswerLimit more.
    static constexpr std::chrono::milliseconds answerGap {300};
    static constexpr std::chrono::milliseconds lateAnswerLimit {2000};

signals:
    void readFinished(const ReadOutcome &outcome);
    void writeFinished(const WriteOutcome &outcome);

private:
    enum class Phase { Idle, Reading, Writing, Verifying };

    void received(const QByteArray &bytes);
    void lineLost(const QString &reason);
    void timeUp();
    bool answerComplete() const;
    void sendNextWrite();
    void endRequest();
    void endRead();
    void endWrite();
    void beginRead();

    SerialLink m_link;
    Phase m_phase = Phase::Idle;
    std::chrono::milliseconds m_timeout {0};
    QTimer m_deadline;   // the request's own time
    QTimer m_gap;        // after it: the quiet that ends a begun answer
    QTimer m_late;       // after it: the most a begun answer may take
    QTimer m_spacing;    // between writes that are not acknowledged
    QElapsedTimer m_sinceBytes; // since the last bytes came
    bool m_timeUp = false;

    ReadGatherer m_read;
    WriteTally m_tally;
    SettingValues m_toWrite;
    QList<Setting> m_unsent;
    bool m_verify = false;
    WriteOutcome m_written;
};
