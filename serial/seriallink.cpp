// SPDX-License-Identifier: MIT
#include "serial/seriallink.h"

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
    connect(&m_drain, &QTimer::timeout, this, [this] {
        loseLine(QStringLiteral("the line takes no data (nothing written within %1 ms)").arg(drainLimit.count()));
    });
}

SerialLink::~SerialLink()
{
    close();
}

OpenFailure SerialLink::open(const QString &port, QString *reason)
{
    close();
    // Locked by its resolved path, one device has one lock whatever link
    // led to it.
    m_port.setPortName(resolvedPortPath(port));
    m_port.setBaudRate(lineSpeed);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite)) {
        setExclusiveAccess(m_port, true);
        return OpenFailure::None;
    }
    const OpenFailure failure = diagnoseOpenFailure(port, m_port.error());
    *reason = openFailureReason(failure, m_port.errorString());
    return failure == OpenFailure::None ? OpenFailure::Other : failure;
}

void SerialLink::close()
{
    m_drain.stop();
    if (m_port.isOpen()) {
        setExclusiveAccess(m_port, false);
        m_port.close();
    }
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
