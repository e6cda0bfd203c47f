// SPDX-License-Identifier: MIT
#pragma once

// A barcode scanner on a serial port: each code it reads comes as one line
// (ended by CR, LF or both). Lines longer than a code can be are dropped
// whole, and bytes that are not text end nothing: the next line end does.

#include "serial/seriallink.h"

#include <QObject>

class Scanner : public QObject
{
    Q_OBJECT

public:
    explicit Scanner(QObject *parent = nullptr);
    OpenFailure open(const QString &device, QString *reason);
    QString device() const { return m_device; }

    // Far longer than any serial: a line past it is not a code.
    static constexpr int longestLine = 256;

signals:
    void scanned(const QString &code);
    void lost(const QString &reason);

private:
    void received(const QByteArray &bytes);

    SerialLink m_link;
    QString m_device;
    QByteArray m_line;
    bool m_overlong = false;
};
