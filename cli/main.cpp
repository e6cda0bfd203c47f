// SPDX-License-Identifier: MIT
// vev-cli: read, write and find VeV-Idire gateway modules from scripts, and
// provision them on a production line.

#include "commandline.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    // A closed pipe is a write error to report, not a reason to die silently.
    std::signal(SIGPIPE, SIG_IGN);

    const cli::Parsed parsed = cli::parseCommandLine(QCoreApplication::arguments());
    if (!parsed.printed.isEmpty()) {
        cli::out() << parsed.printed;
        return toInt(cli::finishOutput(ExitCode::Ok));
    }
    if (!parsed.run)
        return toInt(cli::fail(parsed.code, parsed.error));
    QTimer::singleShot(0, &app, [&parsed] { parsed.run([](ExitCode code) { QCoreApplication::exit(toInt(code)); }); });
    return toInt(cli::finishOutput(ExitCode(app.exec())));
}
