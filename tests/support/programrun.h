// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

// A program run to its end. code is -1 when it did not start, crashed or
// was still running at the deadline (then killed).
struct ProgramRun {
    int code = -1;
    QByteArray out;
    QString err;
};

ProgramRun runProgram(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                      int timeoutMs = 30000);
