// SPDX-License-Identifier: MIT
#pragma once

// Why a module did not pass, as a stable word a report can group by: each
// outcome that is not a pass carries one beside its text reason (which
// holds the values and is for people). The table below is the only place
// the codes are written; vev-cli --help and the README show it.

#include "plan/records.h"

#include <array>

struct FailureCodeMeaning {
    const char *code;
    const char *meaning;
};

inline constexpr std::array<FailureCodeMeaning, 11> failureCodeMeanings {{
    {"no-answer", "the module answered none of the writes nor the read-back"},
    {"not-acknowledged", "the module did not acknowledge the write of a setting"},
    {"readback-mismatch-ip", "the IP address reads back different, or not at all"},
    {"readback-mismatch-gateway", "the gateway reads back different, or not at all"},
    {"readback-mismatch-port", "the TCP port reads back different, or not at all"},
    {"readback-mismatch-mac", "the MAC address reads back different, or not at all"},
    {"readback-mismatch", "a setting reads back different (an outcome written before codes that does not say which)"},
    {"port-lost", "the lane's port was lost with the module in hand"},
    {"stopped", "the run stopped with the module in hand: Ctrl-C, a station that lost its name, crossed wiring, or "
                "a store that could no longer be trusted"},
    {"lost-settings", "a module that passed was later seen without its row (the audit's lines of kind lost)"},
    {"conflict", "a module carries part of a row it may not be given; nothing is written to it (a lane's verdict, "
                 "no outcome)"},
}};

// The code of a setting that read back different.
QString readBackCode(Setting setting);
// The code of an outcome: its own, or, for one written before outcomes
// carried codes, one derived from its result and reason; empty for a pass.
QString failureCode(const OutcomeRecord &outcome);
// Whether a word is one of the table's codes.
bool isFailureCode(const QString &code);
// The table as --help shows it, one code a line, meanings wrapped.
QString failureCodeHelp();
