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

    // Opens the port at the module's line settings (at another speed if
    // asked), by its resolved path and exclusively; a read buffer of
    // readBufferBytes bounds what the system holds for us (0: no bound).
    // On failure, *reason says why in the operator's terms.
    OpenFailure open(const QString &port, QString *reason, qint32 speed = lineSpeed, qint64 readBufferBytes = 0);
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    // Queues the bytes; false when the port is closed or refuses them.
    bool send(const QByteArray &bytes);

    // Waits, blocking, until the queued bytes have left, at most limit:
    // for a caller that must not return to the event loop before its bytes
    // are on the line. Bytes that came meanwhile are handed on as usual. A
    // line that takes no data within the limit is lost.
    bool drain(std::chrono::milliseconds limit);

    // Why the last operation on the device failed, in the serial library's
    // terms and words.
    QSerialPort::SerialPortError error() const { return m_port.error(); }
    QString errorString() const { return m_port.errorString(); }

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
    static QString stalledReason();

    QSerialPort m_port;
    QTimer m_drain;
};
