// SPDX-License-Identifier: MIT
#include "serial/spcomm.h"

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>

SPComm::SPComm(QObject *parent)
    : QObject(parent)
    , portName()
    , baudRate(lineSpeed)
    , rxBuffer()
    , rxTimer(new QTimer(this))
{
    // A coarse timer may end the window up to 5% early or late; the frame
    // is defined by its 500 ms, so keep to them.
    rxTimer->setTimerType(Qt::PreciseTimer);
    connect(&serial, &SerialLink::received, this, &SPComm::readyReadSlot);
    connect(rxTimer, &QTimer::timeout, this, &SPComm::RxTimeOutSlot);
    connect(&serial, &SerialLink::lost, this, &SPComm::portLost);
}

SPComm::~SPComm() = default;

bool SPComm::open()
{
    if (serial.isOpen())
        return true;
    QString reason;
    return serial.open(portName, &reason, toBaudRate(baudRate), readBufferBytes) == OpenFailure::None;
}

void SPComm::close()
{
    serial.close();
}

bool SPComm::isOpen() const
{
    return serial.isOpen();
}

void SPComm::setBaudRate(qint32 rate)
{
    baudRate = rate;
}

void SPComm::setPortName(const QString &name)
{
    portName = name;
}

void SPComm::write(const char *text)
{
    if (serial.send(QByteArray(text, static_cast<int>(std::strlen(text)))))
        serial.drain(std::chrono::milliseconds(writeDrainLimitMs));
}

bool SPComm::frameInProgress() const
{
    return rxTimer->isActive();
}

QByteArray SPComm::takeReceived()
{
    QByteArray frame;
    frame.swap(rxBuffer);
    return frame;
}

QSerialPort::SerialPortError SPComm::error() const
{
    return serial.error();
}

QString SPComm::errorString() const
{
    return serial.errorString();
}

qint32 SPComm::toBaudRate(qint32 rate)
{
    switch (rate) {
    case 1200: return QSerialPort::Baud1200;
    case 2400: return QSerialPort::Baud2400;
    case 4800: return QSerialPort::Baud4800;
    case 9600: return QSerialPort::Baud9600;
    case 19200: return QSerialPort::Baud19200;
    case 38400: return QSerialPort::Baud38400;
    case 57600: return QSerialPort::Baud57600;
    case 115200: return QSerialPort::Baud115200;
    default: return unknownBaud;
    }
}

void SPComm::readyReadSlot(const QByteArray &bytes)
{
    rxBuffer.append(bytes.constData(), std::min(bytes.size(), maxFrameBytes - rxBuffer.size()));
    // Later bytes neither restart nor lengthen a running window.
    if (!rxTimer->isActive())
        rxTimer->start(frameWindowMs);
}

void SPComm::RxTimeOutSlot()
{
    if (rxTimer->isActive())
        rxTimer->stop();
    emit comRecive();
}
