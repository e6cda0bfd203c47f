// SPDX-License-Identifier: MIT
#include "protocol/replyledger.h"

#include "protocol/replygatherer.h"
#include "protocol/values.h"

namespace {

const QString replyStart = QStringLiteral("RS:R");

} // namespace

void ReplyLedger::asked(Setting setting, qint64 nowMs)
{
    forgetBefore(nowMs);
    m_asked[std::size_t(setting)].push_back(nowMs);
}

void ReplyLedger::forgetBefore(qint64 nowMs)
{
    for (std::deque<qint64> &asks : m_asked) {
        while (!asks.empty() && nowMs - asks.front() > answerWindow.count())
            asks.pop_front();
    }
}

QList<Setting> ReplyLedger::take(const QString &text, qint64 nowMs)
{
    forgetBefore(nowMs);
    QList<Setting> unasked;
    const QString stream = m_carry + text;
    m_carry.clear();
    int at = 0;
    while ((at = stream.indexOf(replyStart, at)) >= 0) {
        const int letterAt = at + int(replyStart.size());
        if (letterAt >= stream.size()) {
            m_carry = stream.mid(at);
            break;
        }
        const auto setting = settingForLetter(stream.at(letterAt));
        if (!setting) {
            at = letterAt;
            continue;
        }
        const int end = stream.indexOf(QLatin1Char(commandTerminator), letterAt + 1);
        if (end < 0) {
            // The rest of it is on its way, unless it is too long to be one.
            if (stream.size() - letterAt <= ReadGatherer::longestValue + 1)
                m_carry = stream.mid(at);
            break;
        }
        const QString value = toFormValue(*setting, stream.mid(letterAt + 1, end - letterAt - 1));
        if (isValidValue(*setting, value)) {
            std::deque<qint64> &asks = m_asked[std::size_t(*setting)];
            if (asks.empty())
                unasked << *setting;
            else
                asks.pop_front();
        }
        at = end + 1;
    }
    return unasked;
}

void ReplyLedger::clear()
{
    for (std::deque<qint64> &asks : m_asked)
        asks.clear();
    m_carry.clear();
}
