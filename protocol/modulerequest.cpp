// SPDX-License-Identifier: MIT
#include "protocol/modulerequest.h"

void ModuleRequest::startRead(bool afterEarlierAnswers)
{
    *this = ModuleRequest();
    m_kind = Kind::Read;
    m_skipToAnswer = afterEarlierAnswers;
}

void ModuleRequest::startWrite()
{
    *this = ModuleRequest();
    m_kind = Kind::Write;
}

void ModuleRequest::sent(Setting setting)
{
    m_tally.sent(setting);
}

void ModuleRequest::end()
{
    m_kind = Kind::None;
}

SettingSet ModuleRequest::feed(const QString &text)
{
    switch (m_kind) {
    case Kind::None: return {};
    case Kind::Write: return m_tally.feed(text);
    case Kind::Read: break;
    }
    if (!m_skipToAnswer)
        return m_read.feed(text);
    // Answers to the commands sent before this read come first, in order:
    // the answer to this one starts with its first reply.
    m_skipped += text;
    const QLatin1String first(settingInfo(allSettings.front()).replyPrefix);
    const qsizetype at = m_skipped.indexOf(first);
    if (at < 0) {
        m_skipped = m_skipped.right(first.size() - 1);
        return {};
    }
    m_skipToAnswer = false;
    const QString answer = m_skipped.mid(at);
    m_skipped.clear();
    return m_read.feed(answer);
}

void ModuleRequest::timeUp(bool answerUnderWay)
{
    m_timeUp = true;
    m_underWay = answerUnderWay;
}

void ModuleRequest::answerEnded()
{
    m_underWay = false;
}

bool ModuleRequest::isComplete() const
{
    switch (m_kind) {
    case Kind::Read: return m_read.isComplete();
    case Kind::Write: return m_tally.isComplete();
    case Kind::None: break;
    }
    return false;
}
