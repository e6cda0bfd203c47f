// SPDX-License-Identifier: MIT
#pragma once

// A go-between on a Unix socket, for a network that misbehaves between a
// client and a server: it listens at a path of its own and joins each
// connection to the server's socket, byte for byte, until told to break
// them the way a network does. For a PostgreSQL server, listen at
// FOLDER/.s.PGSQL.5432 and give the client host=FOLDER.

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QLocalServer;
class QLocalSocket;

class SocketProxy : public QObject
{
public:
    SocketProxy(const QString &listenPath, const QString &serverPath, QObject *parent = nullptr);
    ~SocketProxy() override;

    bool isListening() const;
    QString error() const { return m_error; }

    // The client's side of every connection goes (a NAT's table lost, a
    // cable pulled at the bench): the server's side stays open and silent
    // for keepMs, as a server that has not noticed yet keeps its session,
    // then goes too.
    void resetClientSide(int keepMs);
    // The server's side goes; the client's stays open and hears nothing
    // more, until its own bounds give up on it.
    void resetServerSide();
    // Both sides go at once.
    void resetBoth();
    // Nothing passes either way for silentMs; then both sides go (what was
    // lost in between cannot be made good).
    void goSilent(int silentMs);
    int connections() const { return int(m_pairs.size()); }

private:
    struct Pair {
        QLocalSocket *client = nullptr;
        QLocalSocket *server = nullptr;
        bool silent = false;
    };
    void accept();
    void drop(QLocalSocket *socket);
    void forget(QLocalSocket *socket);

    QLocalServer *m_listener;
    QString m_serverPath;
    QString m_error;
    std::vector<std::shared_ptr<Pair>> m_pairs;
};
