// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The module's end of a serial line: either a fresh pseudo-terminal pair, of
// which the tool opens the device side, or an existing serial device (a
// null-modem cable to the machine running the tool).
class SimLine
{
public:
    SimLine() = default;
    ~SimLine();
    SimLine(const SimLine &) = delete;
    SimLine &operator=(const SimLine &) = delete;

    bool openPseudoTerminal(QString *error);
    bool openDevice(const QString &path, QString *error);

    // A symbolic link to the device side, removed again by close().
    bool makeLink(const QString &linkPath, QString *error);

    int fd() const { return m_fd; }
    QString devicePath() const { return m_devicePath; }
    void close();

private:
    int m_fd = -1;
    int m_keepOpen = -1; // our own handle on the device side, see openPseudoTerminal()
    QString m_devicePath;
    QString m_linkPath;
};
