// SPDX-License-Identifier: MIT
#pragma once

// One serial line to a module for code that must not block: it holds its
// port, hands on every byte as it comes, and writes without waiting. Many
// links share one thread and one event loop, each talking through signals.

#include "serial/portaccess.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>

class SerialLink : public QObject
{
    Q_OBJECT

public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // Opens the port at the module's line settings, by its resolved path and
    // exclusively. On failure, *reason says why in the operator's terms.
    OpenFailure open(const QString &port, QString *reason);
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    // Queues the bytes; false when the port is closed or refuses them.
    bool send(const QByteArray &bytes);

    // Drops whatever has come and not been handed on yet: left over from an
    // earlier request, it would be taken for the answer to the next one.
    void discardInput();

    // Bytes that do not leave within this are a line that takes no data.
    static constexpr std::chrono::milliseconds drainLimit {1000};

signals:
    void received(const QByteArray &bytes);
    // The line went away (unplugged, hung up); the port has been closed.
    void lost(const QString &reason);

private:
    void readAvailable();
    void checkError(QSerialPort::SerialPortError error);
    void loseLine(const QString &reason);

    QSerialPort m_port;
    QTimer m_drain;
};
