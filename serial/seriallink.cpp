// SPDX-License-Identifier: MIT
#include "serial/seriallink.h"

#include <QElapsedTimer>

SerialLink::SerialLink(QObject *parent)
    : QObject(parent)
{
    m_drain.setSingleShot(true);
    m_drain.setInterval(drainLimit);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::readAvailable);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::checkError);
    connect(&m_port, &QSerialPort::bytesWritten, this, [this] {
        if (m_port.bytesToWrite() == 0)
            m_drain.stop();
    });
    connect(&m_drain, &QTimer::timeout, this, [this] { loseLine(stalledReason()); });
}

SerialLink::~SerialLink()
{
    close();
}

QString SerialLink::stalledReason()
{
    return QStringLiteral("the line takes no data (nothing written within %1 ms)").arg(drainLimit.count());
}

OpenFailure SerialLink::open(const QString &port, QString *reason, qint32 speed, qint64 readBufferBytes)
{
    close();
    m_port.setReadBufferSize(readBufferBytes);
    if (openModuleLine(m_port, port, speed))
        return OpenFailure::None;
    const OpenFailure failure = diagnoseOpenFailure(port, m_port.error());
    *reason = openFailureReason(failure, m_port.errorString());
    return failure == OpenFailure::None ? OpenFailure::Other : failure;
}

void SerialLink::close()
{
    m_drain.stop();
    closeModuleLine(m_port);
}

bool SerialLink::send(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size()) {
        loseLine(m_port.errorString());
        return false;
    }
    if (!m_drain.isActive())
        m_drain.start();
    return true;
}

bool SerialLink::drain(std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
        const qint64 left = limit.count() - clock.elapsed();
        if (left <= 0 || !m_port.waitForBytesWritten(int(left))) {
            loseLine(stalledReason()); // nothing to do when an error already closed it
            return false;
        }
    }
    return m_port.isOpen();
}

void SerialLink::discardInput()
{
    if (!m_port.isOpen())
        return;
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

void SerialLink::readAvailable()
{
    const QByteArray bytes = m_port.readAll();
    if (!bytes.isEmpty())
        emit received(bytes);
}

void SerialLink::checkError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError)
        loseLine(lostLineReason());
}

void SerialLink::loseLine(const QString &reason)
{
    // Told once: a hung-up line keeps reporting errors until it is closed.
    if (!m_port.isOpen())
        return;
    close();
    emit lost(reason);
}
