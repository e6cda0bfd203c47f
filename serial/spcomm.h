// SPDX-License-Identifier: MIT
#pragma once

// The serial link to the gateway module as the configuration window uses
// it: one port with fixed line settings, writes that wait for their bytes
// to drain, and reception cut into frames by time alone. Opening, writing,
// losing and closing the line are the SerialLink's, which it holds.

#include "serial/seriallink.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

class QTimer;

class SPComm : public QObject
{
    Q_OBJECT

public:
    explicit SPComm(QObject *parent = nullptr);
    ~SPComm() override;

    // Applies the stored name and speed and opens the port read/write.
    // An already open port is left as it is and reported open.
    virtual bool open();
    virtual void close();

    bool isOpen() const;
    void setBaudRate(qint32 rate);
    void setPortName(const QString &name);

    // Sends the bytes before the terminating zero and waits for them to
    // drain, at most writeDrainLimitMs: the window's pauses keep the event
    // loop from sending them later. A line that takes nothing in that time
    // is lost (portLost).
    void write(const char *text);

    // Whether a frame has begun and its window not yet ended.
    bool frameInProgress() const;

    // The bytes gathered so far; the buffer is empty afterwards.
    QByteArray takeReceived();

    // Why the last operation on the device failed, in the serial library's
    // terms and words.
    QSerialPort::SerialPortError error() const;
    QString errorString() const;

    // The speed value the serial library takes for a numeric speed; any
    // speed outside the eight standard ones maps to unknownBaud.
    static qint32 toBaudRate(qint32 rate);
    static constexpr qint32 unknownBaud = -1;

    static constexpr int frameWindowMs = 500;    // a frame is what arrives within this of its first bytes
    static constexpr int writeDrainLimitMs = 1000;
    static constexpr qint64 readBufferBytes = 1024;
    // A module's answer is a few dozen bytes. A line that floods us is cut
    // to this much per frame, so memory stays bounded; the rest is dropped.
    static constexpr int maxFrameBytes = 64 * 1024;

signals:
    void comRecive();
    // The device went away (unplugged, the far end of a pseudo-terminal
    // closed) or took no data. The port has been closed; reason says why.
    void portLost(const QString &reason);

private slots:
    void readyReadSlot(const QByteArray &bytes);
    void RxTimeOutSlot();

private:
    QString portName;
    qint32 baudRate;
    SerialLink serial;
    QByteArray rxBuffer;
    QTimer *rxTimer;
};
