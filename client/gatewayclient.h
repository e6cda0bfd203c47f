// SPDX-License-Identifier: MIT
#pragma once

// One conversation with a gateway module: read its four settings, write
// some of them and read them back. Asynchronous: a request is started, runs
// on the event loop through the link's signals, and ends with a signal, so
// several clients share one thread without holding each other up.

#include "protocol/modulerequest.h"
#include "protocol/replyledger.h"
#include "protocol/settingsjson.h"
#include "protocol/values.h"
#include "serial/seriallink.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
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

class GatewayClient : public QObject
{
    Q_OBJECT

public:
    explicit GatewayClient(QObject *parent = nullptr);

    OpenFailure open(const QString &port, QString *reason);
    void close();
    bool isOpen() const { return m_link.isOpen(); }

    // Where a read's answer begins. Fresh: input left from before is
    // dropped. AfterEarlierAnswers: answers to earlier commands may still be
    // on their way (probes to a slow module); the answer is taken from the
    // first reply to this read's first command, and what comes before it
    // is passed over.
    enum class ReadStart { Fresh, AfterEarlierAnswers };

    // Sends the four read commands and gathers the answer until all four
    // values are complete (their "#" has come) or the time is up; then
    // readFinished with the complete ones. On a closed line: readFinished
    // (lost) all the same, from the event loop.
    void startRead(std::chrono::milliseconds timeout, ReadStart start = ReadStart::Fresh);

    // Asks for the MAC address alone, outside any request: the cheapest way
    // to learn whether a module is on the line. What comes back while no
    // request runs is handed on by heard().
    void sendProbe();

    // What a write does when a setting is not acknowledged. SendNext: the
    // next goes after the module's pause (a module that never acknowledges
    // is still written). Stop: nothing more is sent once a setting went
    // unacknowledged for the request's timeout; the module may have left,
    // and the next bytes would reach whatever took its place.
    enum class Unacknowledged { SendNext, Stop };

    // Sends the settings that hold a value in table order, each as soon as
    // the one before is acknowledged (at most writeSpacing apart, or with
    // Stop the timeout), waits up to timeout after the last for the
    // acknowledgements, and with verify reads the four settings back; then
    // writeFinished. With nothing to write, or on a closed line,
    // writeFinished all the same, from the event loop.
    void startWrite(const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
                    Unacknowledged unacknowledged = Unacknowledged::SendNext);

    // Ends the request under way at once, without its signal: nothing more
    // is sent.
    void abort();
    // The line has been silent long enough: no answer asked for before is
    // still coming.
    void forgetAsked() { m_ledger.clear(); }
    // How long the line has been quiet, in ms; long when nothing came yet.
    qint64 quietFor() const;

    // The module's pause for storing a value, when it does not acknowledge.
    static constexpr std::chrono::milliseconds writeSpacing {1000};
    // An answer that has begun when the time is up may go on while its
    // pieces come at most this far apart, up to lateAnswerLimit more.
    static constexpr std::chrono::milliseconds answerGap {300};
    static constexpr std::chrono::milliseconds lateAnswerLimit {2000};

signals:
    void readFinished(const ReadOutcome &outcome);
    // The writes are done; the read-back begins.
    void verifying();
    void writeFinished(const WriteOutcome &outcome);
    // Text that came while no request was running (answers to probes).
    void heard(const QString &text);
    // The line went away while no request was running; a request that was
    // running ends with its Lost outcome instead.
    void lost(const QString &reason);
    // Replies came that this client never asked for: someone else talks to
    // the module on the same wires, or a program before it did. Said before
    // the text goes on to the request under way, which abort() ends there.
    void unasked(const QList<Setting> &settings);

private:
    void received(const QByteArray &bytes);
    void lineLost(const QString &reason);
    void timeUp();
    bool answerComplete() const;
    void sendNextWrite();
    void endRequest();
    void endRead();
    void endWrite();
    void beginRead(ReadStart start);
    void finishLater(const std::function<void()> &finish);

    SerialLink m_link;
    // The request under way; a write's read-back is a read within it.
    ModuleRequest m_request;
    Unacknowledged m_unacknowledged = Unacknowledged::SendNext;
    bool m_verifying = false;
    std::chrono::milliseconds m_timeout {0};
    QTimer m_deadline;   // the request's own time
    QTimer m_gap;        // after it: the quiet that ends a begun answer
    QTimer m_late;       // after it: the most a begun answer may take
    QTimer m_spacing;    // between writes that are not acknowledged
    QElapsedTimer m_sinceBytes; // since the last bytes came

    SettingValues m_toWrite;
    QList<Setting> m_unsent;
    bool m_verify = false;
    WriteOutcome m_written;
    ReplyLedger m_ledger;
    QElapsedTimer m_clock; // for the ledger
    qint64 m_lastBytesAt = -1; // on m_clock
};
