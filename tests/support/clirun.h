// SPDX-License-Identifier: MIT
#pragma once

// vev-cli run as a script runs it, for the tests that drive it end to end
// and signal it on the way (the including test defines VEV_CLI_PATH).

#include <QProcess>

#include "sendsignal.h"


struct Run {
    int code = -1;
    QString out;
    QString err;
};

inline Run finished(QProcess &process, int timeoutMs = 15000)
{
    Run run;
    // It may have ended already, while the test's loop ran.
    const bool ended = process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    run.code = !ended ? -1 : process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    if (!ended)
        run.err += QStringLiteral("\nvev-cli did not finish");
    return run;
}

inline Run cli(const QStringList &arguments, int timeoutMs = 15000)
{
    QProcess process;
    process.start(QStringLiteral(VEV_CLI_PATH), arguments);
    return finished(process, timeoutMs);
}

// The same with text on its standard input, then its end: a badge scanned.
inline Run cliWithInput(const QStringList &arguments, const QByteArray &input, int timeoutMs = 15000)
{
    QProcess process;
    process.start(QStringLiteral(VEV_CLI_PATH), arguments);
    process.write(input);
    process.closeWriteChannel();
    return finished(process, timeoutMs);
}
