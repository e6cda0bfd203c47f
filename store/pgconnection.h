// SPDX-License-Identifier: MIT
#pragma once

// One connection to a PostgreSQL server through libpq, driven by the event
// loop of the thread that owns it: looking up the host, connecting, sending
// and reading never block. Every value goes to the server as a parameter
// of its statement ($1, $2, … in text form), never in the statement's text.
// One statement at a time, its answer through a callback on the owning
// thread. Connecting and each statement have a time bound: once it has
// passed, the connection's socket is shut down and the connection counts
// as lost, so a server that stopped answering never holds anyone up.

#include "base/exitcodes.h"
#include "store/databaseuri.h"

#include <QObject>
#include <QVariantList>

#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;
class QTimer;
struct pg_conn;
struct pg_result;

// What went wrong with the database, and what the caller may do about it.
struct DbFault {
    enum Kind {
        None,
        Unreachable, // no connection, it was lost, or the server does not answer in time: try again later
        Busy,        // a lock or a conflict with another station: try again shortly
        Refused,     // the server or a rule said no: trying again will not help
    };
    Kind kind = None;
    QString why;
    ExitCode code = ExitCode::Failure; // what a refusal stands for
    QString sqlState = {};             // the server's, when it gave one

    explicit operator bool() const { return kind != None; }
    static DbFault refused(const QString &why, ExitCode code = ExitCode::Failure) { return {Refused, why, code}; }
};

// What a failed statement means, from the server's SQLSTATE and whether the
// connection is still up.
DbFault::Kind faultKind(const QString &sqlState, bool connected);

// The rows a statement gave, in libpq's text form.
class PgResult
{
public:
    PgResult() = default;

    int rows() const;
    bool isNull(int row, int column) const;
    QByteArray bytes(int row, int column) const;
    // The same without a copy: valid only while this result lives.
    QByteArray view(int row, int column) const;
    QString text(int row, int column) const;
    qint64 number(int row, int column) const;
    bool flag(int row, int column) const;

private:
    friend class PgConnection;
    explicit PgResult(pg_result *result);

    std::shared_ptr<pg_result> m_result;
};

class PgConnection : public QObject
{
public:
    struct Limits {
        std::chrono::milliseconds connect {5000};    // the host's lookup included
        std::chrono::milliseconds statement {15000}; // from sending to the last row
        // The server ends a session whose bench has gone silent (a cable
        // pulled, a machine off) within this, freeing the station's name.
        std::chrono::milliseconds goneBench {45000};
    };
    using Opened = std::function<void(const DbFault &fault)>;
    using Answer = std::function<void(const DbFault &fault, const PgResult &result)>;

    explicit PgConnection(Limits limits, QObject *parent = nullptr);
    ~PgConnection() override;
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // Connects to the URI's database (again, if it was connected), naming
    // itself application in the server's list of sessions.
    void open(const DatabaseUri &uri, const QString &application, Opened done);
    bool isOpen() const;
    // Ends the connection; whatever still waits is answered as lost.
    void close();

    // Runs one statement. An invalid QVariant is NULL; any other value goes
    // as its text, refused before anything is sent when it holds a NUL.
    void exec(const QString &sql, const QVariantList &values, Answer done);
    // Runs COPY … FROM STDIN with data, rows in COPY's text form.
    void copyIn(const QString &sql, const QByteArray &data, Answer done);

    // The server's version as libpq gives it (150004 for 15.4); 0 unconnected.
    int serverVersion() const;
    const Limits &limits() const { return m_limits; }

private:
    enum class Phase { Closed, LookingUp, Connecting, Ready, Busy };
    enum class Copy { None, Data, Ended };

    void start(const QStringList &addresses);
    QList<QPair<QByteArray, QByteArray>> settings(const QStringList &addresses) const;
    void pollConnect();
    void connected();
    void send(const QString &sql, const QVariantList &values, Answer done);
    void readable();
    void writable();
    void pump();
    bool feedCopy();
    void take(pg_result *result);
    void finish();
    void watch(bool read, bool write);
    void dropNotifiers();
    void timedOut();
    void lose(const QString &why);
    void teardown();
    void answerLater(Answer done, const DbFault &fault);
    QString errorText() const;

    Limits m_limits;
    DatabaseUri m_uri;
    QString m_application;
    pg_conn *m_conn = nullptr;
    Phase m_phase = Phase::Closed;
    int m_lookup = -1;
    int m_socket = -1;
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;
    QTimer *m_bound;
    Opened m_opened;
    Answer m_answer;
    PgResult m_result;
    DbFault m_fault;
    QByteArray m_copyData;
    qsizetype m_copied = 0;
    Copy m_copy = Copy::None;
};
