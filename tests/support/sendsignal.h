// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>

#include <csignal>
#include <sys/types.h>

// Sends a signal to a program still running, and to nothing else: a
// process that has ended has the id 0, which kill() takes for the whole
// process group, the test runner's included.
inline bool sendSignal(QProcess &process, int number)
{
    const qint64 pid = process.processId();
    return process.state() == QProcess::Running && pid > 0 && ::kill(pid_t(pid), number) == 0;
}
