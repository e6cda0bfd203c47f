// SPDX-License-Identifier: MIT
#include "socketproxy.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>

SocketProxy::SocketProxy(const QString &listenPath, const QString &serverPath, QObject *parent)
    : QObject(parent)
    , m_listener(new QLocalServer(this))
    , m_serverPath(serverPath)
{
    QFile::remove(listenPath);
    m_listener->setSocketOptions(QLocalServer::WorldAccessOption);
    if (!m_listener->listen(listenPath))
        m_error = QStringLiteral("cannot listen at %1: %2").arg(listenPath, m_listener->errorString());
    connect(m_listener, &QLocalServer::newConnection, this, &SocketProxy::accept);
}

SocketProxy::~SocketProxy()
{
    resetBoth();
}

bool SocketProxy::isListening() const
{
    return m_listener->isListening();
}

void SocketProxy::accept()
{
    while (QLocalSocket *client = m_listener->nextPendingConnection()) {
        auto pair = std::make_shared<Pair>();
        pair->client = client;
        pair->server = new QLocalSocket(this);
        const std::weak_ptr<Pair> weak = pair;
        const auto pass = [weak](bool fromClient) {
            const auto pair = weak.lock();
            if (!pair || !pair->client || !pair->server)
                return;
            QLocalSocket *from = fromClient ? pair->client : pair->server;
            QLocalSocket *to = fromClient ? pair->server : pair->client;
            // Held until the server's side is up; lost once silent.
            if (!pair->silent && to->state() != QLocalSocket::ConnectedState)
                return;
            const QByteArray bytes = from->readAll();
            if (!pair->silent)
                to->write(bytes);
        };
        connect(client, &QLocalSocket::readyRead, this, [pass] { pass(true); });
        connect(pair->server, &QLocalSocket::readyRead, this, [pass] { pass(false); });
        // A side that ends ends the other, as a proxy in the network would,
        // unless a reset was meant to leave it hanging.
        for (QLocalSocket *socket : {client, pair->server}) {
            connect(socket, &QLocalSocket::disconnected, this, [this, socket] { forget(socket); });
        }
        connect(pair->server, &QLocalSocket::connected, this, [pass] { pass(true); });
        pair->server->connectToServer(m_serverPath);
        m_pairs.push_back(pair);
    }
}

void SocketProxy::forget(QLocalSocket *socket)
{
    QLocalSocket *other = nullptr;
    bool hangs = false;
    for (const auto &pair : m_pairs) {
        if (pair->client == socket || pair->server == socket) {
            other = pair->client == socket ? pair->server : pair->client;
            (pair->client == socket ? pair->client : pair->server) = nullptr;
            hangs = pair->silent;
        }
    }
    m_pairs.erase(std::remove_if(m_pairs.begin(), m_pairs.end(),
                                 [](const std::shared_ptr<Pair> &pair) { return !pair->client && !pair->server; }),
                  m_pairs.end());
    socket->deleteLater();
    // Its disconnected comes at once, and finds the pairs whole.
    if (other && !hangs)
        drop(other);
}

void SocketProxy::drop(QLocalSocket *socket)
{
    if (socket)
        socket->abort(); // disconnected follows, and forget()
}

void SocketProxy::resetClientSide(int keepMs)
{
    for (const auto &pair : std::vector<std::shared_ptr<Pair>>(m_pairs)) {
        pair->silent = true;
        QLocalSocket *server = pair->server;
        drop(pair->client);
        if (server) {
            QTimer::singleShot(keepMs, server, [this, server] { drop(server); });
        }
    }
}

void SocketProxy::resetServerSide()
{
    for (const auto &pair : std::vector<std::shared_ptr<Pair>>(m_pairs)) {
        pair->silent = true;
        drop(pair->server);
    }
}

void SocketProxy::resetBoth()
{
    for (const auto &pair : std::vector<std::shared_ptr<Pair>>(m_pairs)) {
        pair->silent = true;
        drop(pair->client);
        drop(pair->server);
    }
}

void SocketProxy::goSilent(int silentMs)
{
    for (const auto &pair : std::vector<std::shared_ptr<Pair>>(m_pairs)) {
        pair->silent = true;
        const std::weak_ptr<Pair> weak = pair;
        QTimer::singleShot(silentMs, this, [this, weak] {
            if (const auto pair = weak.lock()) {
                drop(pair->client);
                drop(pair->server);
            }
        });
    }
}
