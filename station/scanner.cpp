// SPDX-License-Identifier: MIT
#include "station/scanner.h"

Scanner::Scanner(QObject *parent)
    : QObject(parent)
{
    connect(&m_link, &SerialLink::received, this, &Scanner::received);
    connect(&m_link, &SerialLink::lost, this, &Scanner::lost);
}

OpenFailure Scanner::open(const QString &device, QString *reason)
{
    m_device = device;
    // Scanners that talk over a serial line come set to 9600 8N1, as the modules do.
    return m_link.open(device, reason);
}

void Scanner::received(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (byte == '\r' || byte == '\n') {
            if (!m_overlong && !m_line.isEmpty())
                emit scanned(QString::fromUtf8(m_line));
            m_line.clear();
            m_overlong = false;
            continue;
        }
        if (m_line.size() >= longestLine) {
            m_overlong = true;
            m_line.clear();
        }
        if (!m_overlong)
            m_line.append(byte);
    }
}
