// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's command line: a table with one entry per command (its name, the
// options it takes, its files, and a check that turns the arguments into a
// run), read in two stages: first the command, then its options alone, so
// an option a command does not take is refused, named with the command.
// Nothing here starts the event loop or touches a port: what the command
// line asks for is known before anything is sent.

#include "output.h"

#include <QStringList>

#include <functional>

namespace cli {

// A command, ready to run on the event loop.
using Run = std::function<void(const Done &done)>;

struct Parsed {
    ExitCode code = ExitCode::Ok; // not Ok: refused (error says why), or --help and --version (Ok, printed)
    QString error;                // why it was refused, without the program's name
    QString printed;              // --help or --version: what to print, and nothing to run
    QString command;              // "read", "plan status", ..., once known
    Run run;
};

// The arguments as main() has them, the program's name first.
Parsed parseCommandLine(const QStringList &arguments);

// The commands, in --help's order.
QStringList commandNames();

} // namespace cli
