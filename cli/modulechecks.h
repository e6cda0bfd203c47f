// SPDX-License-Identifier: MIT
#pragma once

// The checks of the commands that talk to one module (read, write, list,
// find) and of label, and the pieces of a command line other checks share:
// --timeout, one --port, --row, and where labels go.

#include "commandargs.h"
#include "label/labeljob.h"

#include <chrono>

namespace cli {

std::optional<std::chrono::milliseconds> timeoutOf(const Args &args, Refusal *refusal);
std::optional<QString> onePort(const Args &args, Refusal *refusal);
// A plan row from 1, as --row gives it; needs says what is wanted (with %1:
// the value given).
std::optional<int> rowOf(const Args &args, const QString &needs, Refusal *refusal);
// Where labels go: label takes one of --pdf, --labels, --zpl and --printer;
// provision one of --labels, --label-zpl and --label-printer, or none.
std::optional<LabelTarget> labelTargetOf(const Args &args, bool provision, Refusal *refusal);

Run readCheck(const Args &args, Refusal *refusal);
Run writeCheck(const Args &args, Refusal *refusal);
Run listCheck(const Args &args, Refusal *refusal);
Run findCheck(const Args &args, Refusal *refusal);
Run labelCheck(const Args &args, Refusal *refusal);

} // namespace cli
