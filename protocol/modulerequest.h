// SPDX-License-Identifier: MIT
#pragma once

// One request to a module and its answer: a read gathering four values, or
// a write tallying acknowledgements; and whether the answer is over. Both
// front ends use it, each with its own timing: the caller feeds the text as
// it comes, says when the request's time is up and whether an answer is
// still under way then (a frame begun; bytes within the answer gap), and
// says when that answer has ended. No timers inside.

#include "protocol/replygatherer.h"

class ModuleRequest
{
public:
    enum class Kind { None, Read, Write };

    // A read. After earlier answers: replies to commands sent before it may
    // still be on their way (probes to a slow module); the answer is taken
    // from the first reply to its first command, what comes before passed
    // over.
    void startRead(bool afterEarlierAnswers = false);
    void startWrite();
    // A write command went out: only text after it can acknowledge it.
    void sent(Setting setting);
    void end();

    Kind kind() const { return m_kind; }
    bool isActive() const { return m_kind != Kind::None; }

    // Text from the module; returns the settings it completed (a read) or
    // acknowledged first (a write).
    SettingSet feed(const QString &text);

    // The request's time is up. An answer under way is let finish: the
    // request is over once it is complete or that answer has ended.
    void timeUp(bool answerUnderWay);
    void answerEnded();
    bool isTimeUp() const { return m_timeUp; }

    // Every value complete (a read), every command sent so far acknowledged
    // (a write).
    bool isComplete() const;
    bool isOver() const { return isComplete() || (m_timeUp && !m_underWay); }

    const ReadGatherer &gatherer() const { return m_read; }
    // A read's time is up: the rest taken by the rule of a single text.
    SettingSet finishRead() { return m_read.finish(); }
    const WriteTally &tally() const { return m_tally; }

private:
    Kind m_kind = Kind::None;
    ReadGatherer m_read;
    WriteTally m_tally;
    bool m_timeUp = false;
    bool m_underWay = false;
    bool m_skipToAnswer = false;
    QString m_skipped; // the tail that may hold the first reply's prefix, cut by a frame
};
