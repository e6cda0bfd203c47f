// SPDX-License-Identifier: MIT
#pragma once

// Which replies a conversation asked for, so that one it did not ask for is
// noticed: a module that answers a read it never got was asked by someone
// else on the same wires (a Y cable, two lanes on one module). Counts the
// read replies that carry a value the setting can hold; an echoed command
// or noise that happens to look like a reply carries none. An ask that no
// answer met within answerWindow is owed nothing any more: a probe into an
// empty line is never answered.

#include "protocol/wireformat.h"

#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <deque>

class ReplyLedger
{
public:
    // Times are in milliseconds on any clock that only goes forward.
    void asked(Setting setting, qint64 nowMs);
    // Text as it came off the line, in any pieces; the replies in it that
    // nothing asked for.
    QList<Setting> take(const QString &text, qint64 nowMs);
    void clear();

    // Longer than the slowest module takes to answer a read, its late
    // answer included.
    static constexpr std::chrono::milliseconds answerWindow {3000};

private:
    void forgetBefore(qint64 nowMs);

    std::array<std::deque<qint64>, allSettings.size()> m_asked; // when each owed answer was asked for
    QString m_carry; // a reply begun and not yet ended
};
