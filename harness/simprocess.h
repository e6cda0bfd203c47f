// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A vev-sim process on a pseudo-terminal of its own, with its settings in a
// state file the test can read.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments = {});
    ~SimProcess();

    bool isRunning() const { return !m_devicePath.isEmpty(); }
    QString error() const { return m_error; }
    QString devicePath() const { return m_devicePath; }
    QString statePath() const { return m_dir.filePath(QStringLiteral("state.json")); }
    // What the simulator printed so far: its log of commands and answers.
    QString output();
    qint64 pid() const { return m_process.processId(); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_devicePath;
    QString m_error;
    QByteArray m_output;
};
