// SPDX-License-Identifier: MIT
#include "serial/spcomm.h"

#include "serial/portaccess.h"

#include <QTimer>

#include <algorithm>
#include <cstring>


SPComm::SPComm()
    : QObject(nullptr)
    , portName()
    , baudRate(9600)
    , serial(nullptr)
    , rxBuffer()
    , rxTimer(new QTimer(this))
{
    serial = new QSerialPort();
    // A coarse timer may end the window up to 5% early or late; the frame
    // is defined by its 500 ms, so keep to them.
    rxTimer->setTimerType(Qt::PreciseTimer);
    connect(serial, &QSerialPort::readyRead, this, &SPComm::readyReadSlot);
    connect(rxTimer, &QTimer::timeout, this, &SPComm::RxTimeOutSlot);
    connect(serial, &QSerialPort::errorOccurred, this, &SPComm::errorSlot);
}

SPComm::~SPComm()
{
    // The port object has no parent; deleting it would close an open port,
    // but not give up its exclusive use first.
    closeModuleLine(*serial);
    delete serial;
}

bool SPComm::open()
{
    if (serial->isOpen())
        return true;

    serial->setReadBufferSize(readBufferBytes);
    return openModuleLine(*serial, portName, toBaudRate(baudRate));
}

void SPComm::close()
{
    closeModuleLine(*serial);
}

bool SPComm::isOpen() const
{
    return serial->isOpen();
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
    const QByteArray bytes(text, static_cast<int>(std::strlen(text)));
    serial->write(bytes);
    serial->waitForBytesWritten(writeDrainLimitMs);
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
    return serial->error();
}

QString SPComm::errorString() const
{
    return serial->errorString();
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

void SPComm::readyReadSlot()
{
    const QByteArray bytes = serial->readAll();
    rxBuffer.append(bytes.constData(), std::min(bytes.size(), maxFrameBytes - rxBuffer.size()));
    // Later bytes neither restart nor lengthen a running window.
    if (!rxTimer->isActive())
        rxTimer->start(frameWindowMs);
}

void SPComm::errorSlot(QSerialPort::SerialPortError error)
{
    // A hung-up line keeps reporting read errors as fast as it is polled:
    // closing the port ends that, and the loss is told once.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lost || !serial->isOpen())
        return;
    const QString reason = lostLineReason();
    closeModuleLine(*serial);
    emit portLost(reason);
}

void SPComm::RxTimeOutSlot()
{
    if (rxTimer->isActive())
        rxTimer->stop();
    emit comRecive();
}
