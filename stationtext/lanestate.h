// SPDX-License-Identifier: MIT
#pragma once

// A lane as the operator reads it from a step away: one state, its word in
// large type on its own colour, and under it what to do next. The states,
// their words and colours are this one table; the station window's tiles,
// its tests and the README's table of states follow it, and vev-cli can
// word a lane with the same words.
//
// A verdict (PASS, FAIL, DONE BEFORE, ...) is a state only while its module
// is on the lane: the lane forgets it as soon as it knows the module has
// left, and an ended lane or a lost port shows no verdict at all.

#include "station/lane.h"

#include <QString>

#include <array>
#include <optional>

enum class LaneState { Ready, Working, Pass, Fail, DoneBefore, Conflict, InDoubt, Wiring, PortLost, Stopped, PlanDone, Held };

struct LaneStateStyle {
    LaneState state;
    const char *word;       // the banner, in English (translated in the "LaneState" context)
    const char *background; // the banner's colour, which carries the meaning in every language
    const char *foreground;
    bool verdict;           // it is about the module on the lane
};

extern const std::array<LaneStateStyle, 12> laneStates;
const LaneStateStyle &styleOf(LaneState state);
// The banner's word in the operator's language.
QString bannerOf(LaneState state);

// What the operator is told to do next, one text per kind of outcome or
// state, each replaceable from an instructions file.
enum class Advice {
    Ready, Working, ScanSerial, Pass, Fail, FailNothingWritten, DoneBefore, Conflict, ConflictElsewhere,
    ConflictOtherStation, InDoubt, Rework, LostSettings, NoRowLeft, Wiring, PortLost, Stopped, PlanDone, Acknowledge,
};

// The texts, with {row} (the row the module carries or failed with) and
// {lane} (a lane's number) filled in where they appear.
//
// An instructions file (UTF-8) has one line per kind it replaces,
// "kind = text"; blank lines and lines starting with # are skipped, and
// kinds it does not name keep their defaults.
class Instructions
{
public:
    Instructions(); // the defaults, in the operator's language

    static std::optional<Instructions> parse(const QByteArray &text, QString *why);
    // Nothing, with *why ("line 3: ..."), for a file that cannot be read or
    // has a bad line.
    static std::optional<Instructions> fromFile(const QString &path, QString *why);

    QString text(Advice advice, int row = 0, int lane = 0) const;
    // The kind's name in a file: "fail-nothing-written".
    static const char *key(Advice advice);

    // The code a scanner sends to acknowledge a FAIL.
    static constexpr const char *acknowledgeCode = "ACK";

private:
    std::array<QString, size_t(Advice::Acknowledge) + 1> m_texts;
};

struct LaneView {
    LaneState state = LaneState::Ready;
    QString action;      // what to do next
    QString acknowledge; // how to acknowledge the FAIL shown; empty: none awaited
    int step = 0;        // the step under way, of steps, while a module is handled
    int steps = 0;
    QString stepName;
};

// writingLane: the number of the lane that is writing the row a module in
// conflict carries (1 for the first lane); 0: none of this station's.
LaneView laneView(const Lane::Status &status, const Instructions &instructions, int writingLane = 0);
