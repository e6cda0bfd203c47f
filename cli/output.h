// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's standard output and error, and how a command ends.

#include "base/exitcodes.h"

#include <QString>
#include <QTextStream>

#include <functional>

namespace cli {

QTextStream &out();
QTextStream &err();

// Says "vev-cli: message" on stderr and hands the code back.
ExitCode fail(ExitCode code, const QString &message);

// Flushes the output; Failure if it could not all be written (a full disk,
// a closed stdout), else code.
ExitCode finishOutput(ExitCode code);

// What a command calls once it has finished; it runs on the event loop.
using Done = std::function<void(ExitCode code)>;

} // namespace cli
