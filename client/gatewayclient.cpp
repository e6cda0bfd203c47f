// SPDX-License-Identifier: MIT
#include "client/gatewayclient.h"

#include "protocol/values.h"

#include <algorithm>

GatewayClient::GatewayClient(QObject *parent)
    : QObject(parent)
{
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_gap.setInterval(answerGap);
    m_late.setInterval(lateAnswerLimit);
    m_spacing.setInterval(writeSpacing);
    connect(&m_link, &SerialLink::received, this, &GatewayClient::received);
    connect(&m_link, &SerialLink::lost, this, &GatewayClient::lineLost);
    connect(&m_deadline, &QTimer::timeout, this, &GatewayClient::timeUp);
    connect(&m_gap, &QTimer::timeout, this, &GatewayClient::endRequest);
    connect(&m_late, &QTimer::timeout, this, &GatewayClient::endRequest);
    connect(&m_spacing, &QTimer::timeout, this, &GatewayClient::sendNextWrite);
}

OpenFailure GatewayClient::open(const QString &port, QString *reason)
{
    return m_link.open(port, reason);
}

void GatewayClient::close()
{
    m_link.close();
}

void GatewayClient::startRead(std::chrono::milliseconds timeout, ReadStart start)
{
    m_timeout = timeout;
    beginRead(start);
    m_phase = Phase::Reading;
}

void GatewayClient::sendProbe()
{
    m_link.send(commandBytes(readCommand(Setting::MacAddress)));
}

void GatewayClient::beginRead(ReadStart start)
{
    m_read = ReadGatherer();
    m_timeUp = false;
    m_sinceBytes.invalidate();
    m_skipToAnswer = start == ReadStart::AfterEarlierAnswers;
    m_skipped.clear();
    if (start == ReadStart::Fresh)
        m_link.discardInput();
    QByteArray commands;
    for (Setting setting : allSettings)
        commands += commandBytes(readCommand(setting));
    m_link.send(commands);
    m_deadline.start(m_timeout);
}

void GatewayClient::startWrite(const SettingValues &values, std::chrono::milliseconds timeout, bool verify)
{
    m_phase = Phase::Writing;
    m_timeout = timeout;
    m_toWrite = values;
    m_verify = verify;
    m_written = WriteOutcome();
    m_tally = WriteTally();
    m_timeUp = false;
    m_sinceBytes.invalidate();
    m_unsent.clear();
    for (Setting setting : allSettings) {
        if (valueOf(values, setting))
            m_unsent.append(setting);
    }
    m_link.discardInput();
    sendNextWrite();
}

void GatewayClient::sendNextWrite()
{
    if (m_phase != Phase::Writing || !m_link.isOpen())
        return;
    if (m_unsent.isEmpty())
        return;
    const Setting setting = m_unsent.takeFirst();
    m_tally.sent(setting);
    m_link.send(commandBytes(writeCommand(setting, *valueOf(m_toWrite, setting))));
    // The next goes once this one is acknowledged, or after the module's
    // pause; after the last, the request's own time runs.
    if (m_unsent.isEmpty())
        m_deadline.start(m_timeout);
    else
        m_spacing.start();
}

void GatewayClient::received(const QByteArray &bytes)
{
    QString text = frameText(bytes);
    if (m_skipToAnswer && (m_phase == Phase::Reading || m_phase == Phase::Verifying)) {
        // Answers to the commands sent before this read come first, in
        // order: the answer to this one starts with its first reply.
        m_skipped += text;
        const QString first = QLatin1String(settingInfo(allSettings.front()).replyPrefix);
        const qsizetype at = m_skipped.indexOf(first);
        if (at < 0) {
            m_skipped = m_skipped.right(first.size() - 1);
            text.clear();
        } else {
            text = m_skipped.mid(at);
            m_skipped.clear();
            m_skipToAnswer = false;
        }
    }
    switch (m_phase) {
    case Phase::Idle:
        emit heard(text);
        return;
    case Phase::Reading:
    case Phase::Verifying:
        if (!text.isEmpty())
            m_read.feed(text);
        break;
    case Phase::Writing:
        m_tally.feed(text);
        // The module has stored the value in hand: on with the next.
        if (m_spacing.isActive() && m_tally.isComplete()) {
            m_spacing.stop();
            sendNextWrite();
        }
        break;
    }
    m_sinceBytes.start();
    if (answerComplete()) {
        endRequest();
    } else if (m_timeUp) {
        m_gap.start(answerGap);
    }
}

bool GatewayClient::answerComplete() const
{
    switch (m_phase) {
    case Phase::Reading:
    case Phase::Verifying: return m_read.isComplete();
    case Phase::Writing: return m_unsent.isEmpty() && m_tally.isComplete();
    case Phase::Idle: break;
    }
    return false;
}

void GatewayClient::timeUp()
{
    // An answer under way (bytes came within the last gap) is let finish.
    const auto sinceBytes = std::chrono::milliseconds(m_sinceBytes.isValid() ? m_sinceBytes.elapsed() : answerGap.count());
    if (sinceBytes < answerGap) {
        m_timeUp = true;
        m_gap.start(answerGap - sinceBytes);
        m_late.start();
    } else {
        endRequest();
    }
}

void GatewayClient::endRequest()
{
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing})
        timer->stop();
    switch (m_phase) {
    case Phase::Reading:
    case Phase::Verifying: endRead(); break;
    case Phase::Writing: endWrite(); break;
    case Phase::Idle: break;
    }
}

void GatewayClient::endRead()
{
    // Only values whose "#" has come: the window's rule of taking the rest
    // of the text would report a value the line cut short as read.
    ReadOutcome outcome;
    outcome.answered = m_read.answered();
    for (Setting setting : allSettings) {
        const auto value = m_read.value(setting);
        // An empty value is no value: an echoed command, or nothing stored.
        if (value && !value->isEmpty())
            valueOf(outcome.values, setting) = value;
    }
    const bool any = std::any_of(outcome.values.begin(), outcome.values.end(), [](const auto &v) { return v.has_value(); });
    outcome.status = any ? ReadOutcome::Read : ReadOutcome::NoAnswer;

    if (m_phase == Phase::Verifying) {
        m_written.readBack = outcome;
        for (Setting setting : m_written.sent.toList()) {
            const auto &back = valueOf(outcome.values, setting);
            if (!back || canonicalValue(setting, *back) != canonicalValue(setting, *valueOf(m_toWrite, setting)))
                m_written.differs.insert(setting);
        }
        m_phase = Phase::Idle;
        emit writeFinished(m_written);
        return;
    }
    m_phase = Phase::Idle;
    emit readFinished(outcome);
}

void GatewayClient::endWrite()
{
    m_written.sent = m_tally.sentSettings();
    m_written.acknowledged = m_tally.acknowledged();
    if (m_verify && m_link.isOpen()) {
        m_phase = Phase::Verifying;
        emit verifying();
        beginRead(ReadStart::Fresh);
        return;
    }
    m_phase = Phase::Idle;
    emit writeFinished(m_written);
}

void GatewayClient::lineLost(const QString &reason)
{
    // Stop at once: waiting out the time would only hide the loss.
    const Phase phase = m_phase;
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing})
        timer->stop();
    m_phase = Phase::Idle;
    if (phase == Phase::Reading) {
        ReadOutcome outcome;
        outcome.status = ReadOutcome::Lost;
        outcome.reason = reason;
        emit readFinished(outcome);
    } else if (phase == Phase::Writing || phase == Phase::Verifying) {
        m_written.status = WriteOutcome::Lost;
        m_written.reason = reason;
        m_written.sent = m_tally.sentSettings();
        m_written.acknowledged = m_tally.acknowledged();
        emit writeFinished(m_written);
    } else {
        emit lost(reason);
    }
}
