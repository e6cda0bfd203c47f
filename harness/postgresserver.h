// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A PostgreSQL server of the test's own: a cluster made by initdb in a
// temporary folder, listening only on a Unix socket there, run as the
// postgres user when the test runs as root (the server refuses root), with
// a superuser "vev" that needs no password on that socket. Stopped at the
// end. A test's server does not sync to the disk; a durable one (for
// figures to compare with files that are synced) does.
class PostgresServer
{
public:
    explicit PostgresServer(bool durable = false);
    // One that also listens on TCP at address inside the network namespace
    // netns (see NetNamespace), taking the superuser from there too.
    PostgresServer(const QString &netns, const QString &address);
    ~PostgresServer();

    bool isRunning() const { return m_running; }
    QString error() const { return m_error; }
    QString socketFolder() const { return m_dir.path(); }

    // Stops the server (its connections are ended), and starts it again.
    bool stop();
    bool start();

    // Makes an empty database, and gives its URI; empty with error() set
    // when it cannot.
    QString createDatabase(const QString &name);
    QString uri(const QString &database) const;
    // The database's URI over TCP, for a server that listens there.
    QString tcpUri(const QString &database) const;

    // Runs SQL as the superuser: empty on success, else what psql said;
    // *rows gets what a query gave, a line a row, fields separated by |.
    QString sql(const QString &database, const QString &statements, QString *rows = nullptr);
    // The same, left running in the background: a session someone keeps
    // open, holding what its statements took until it ends or is killed.
    std::unique_ptr<QProcess> sqlInBackground(const QString &database, const QString &statements);

    // Stops the server (its sessions ended at once, as a crash or a restart
    // by its administrator ends them) and starts it again downMs later,
    // without waiting: the process that does it.
    std::unique_ptr<QProcess> restartInBackground(int downMs);

    // The server's main process (its postmaster), 0 when it is not running.
    qint64 pid() const;

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);
    QString startOptions() const;

    void make();
    bool watchOver();

    QTemporaryDir m_dir;
    bool m_durable;
    QString m_netns;
    QString m_address;
    bool m_running = false;
    bool m_watched = false;
    QString m_error;
};
