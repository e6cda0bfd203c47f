// SPDX-License-Identifier: MIT
#include "programrun.h"

#include <QProcess>
#include <QSignalSpy>

ProgramRun runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                      int timeoutMs)
{
    qRegisterMetaType<QProcess::ExitStatus>("QProcess::ExitStatus");
    QProcess process;
    process.setProcessEnvironment(environment);
    // The test's own loop keeps running meanwhile: a listener it holds (a
    // printer played on loopback) answers the program.
    QSignalSpy ended(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForStarted() || (ended.isEmpty() && !ended.wait(timeoutMs))) {
        process.kill();
        process.waitForFinished();
        run.err = program + QStringLiteral(" did not finish: ") + process.errorString();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
