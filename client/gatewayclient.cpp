// SPDX-License-Identifier: MIT
#include "client/gatewayclient.h"

#include <algorithm>
#include <limits>

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
    const auto answerEnded = [this] {
        m_request.answerEnded();
        endRequest();
    };
    connect(&m_gap, &QTimer::timeout, this, answerEnded);
    connect(&m_late, &QTimer::timeout, this, answerEnded);
    connect(&m_spacing, &QTimer::timeout, this, &GatewayClient::sendNextWrite);
    m_clock.start();
}

OpenFailure GatewayClient::open(const QString &port, QString *reason)
{
    return m_link.open(port, reason);
}

void GatewayClient::close()
{
    m_link.close();
}

void GatewayClient::finishLater(const std::function<void()> &finish)
{
    // A request always ends with its signal from the event loop, never
    // inside the call that started it.
    QMetaObject::invokeMethod(this, finish, Qt::QueuedConnection);
}

void GatewayClient::startRead(std::chrono::milliseconds timeout, ReadStart start)
{
    m_timeout = timeout;
    m_verifying = false;
    if (!m_link.isOpen()) {
        return finishLater([this] {
            emit readFinished(ReadOutcome {ReadOutcome::Lost, {}, false, QStringLiteral("the port is not open")});
        });
    }
    beginRead(start);
}

void GatewayClient::sendProbe()
{
    m_ledger.asked(Setting::MacAddress, m_clock.elapsed());
    m_link.send(commandBytes(readCommand(Setting::MacAddress)));
}

void GatewayClient::abort()
{
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing})
        timer->stop();
    m_request.end();
    m_verifying = false;
    m_unsent.clear();
}

void GatewayClient::beginRead(ReadStart start)
{
    // The request stands before the first byte goes, so that a line lost
    // while sending is reported as lost.
    m_request.startRead(start == ReadStart::AfterEarlierAnswers);
    m_sinceBytes.invalidate();
    if (start == ReadStart::Fresh)
        m_link.discardInput();
    QByteArray commands;
    for (Setting setting : allSettings) {
        m_ledger.asked(setting, m_clock.elapsed());
        commands += commandBytes(readCommand(setting));
    }
    m_deadline.start(m_timeout);
    m_link.send(commands);
}

void GatewayClient::startWrite(const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
                               Unacknowledged unacknowledged)
{
    m_timeout = timeout;
    m_unacknowledged = unacknowledged;
    m_toWrite = values;
    m_verify = verify;
    m_verifying = false;
    m_written = WriteOutcome();
    m_unsent.clear();
    for (Setting setting : allSettings) {
        if (valueOf(values, setting))
            m_unsent.append(setting);
    }
    if (!m_link.isOpen() || m_unsent.isEmpty()) {
        WriteOutcome outcome;
        if (!m_link.isOpen()) {
            outcome.status = WriteOutcome::Lost;
            outcome.reason = QStringLiteral("the port is not open");
        }
        return finishLater([this, outcome] { emit writeFinished(outcome); });
    }
    m_request.startWrite();
    m_sinceBytes.invalidate();
    m_link.discardInput();
    sendNextWrite();
}

void GatewayClient::sendNextWrite()
{
    if (m_request.kind() != ModuleRequest::Kind::Write || m_verifying || m_unsent.isEmpty())
        return;
    const Setting setting = m_unsent.takeFirst();
    m_request.sent(setting);
    // The next goes once this one is acknowledged, or after the module's
    // pause; after the last, or when an unacknowledged one ends the write,
    // the request's own time runs.
    if (m_unsent.isEmpty() || m_unacknowledged == Unacknowledged::Stop)
        m_deadline.start(m_timeout);
    else
        m_spacing.start();
    m_link.send(commandBytes(writeCommand(setting, *valueOf(m_toWrite, setting))));
}

qint64 GatewayClient::quietFor() const
{
    return m_lastBytesAt < 0 ? std::numeric_limits<qint64>::max() / 2 : m_clock.elapsed() - m_lastBytesAt;
}

void GatewayClient::received(const QByteArray &bytes)
{
    m_lastBytesAt = m_clock.elapsed();
    const QString text = frameText(bytes);
    // Someone else talks to the module on these wires: the caller decides,
    // before this text goes on to the request under way.
    if (const QList<Setting> unaskedReplies = m_ledger.take(text, m_clock.elapsed()); !unaskedReplies.isEmpty())
        emit unasked(unaskedReplies);
    if (!m_request.isActive()) {
        emit heard(text);
        return;
    }
    m_request.feed(text);
    // The module has stored the value in hand: on with the next.
    if (m_request.kind() == ModuleRequest::Kind::Write && m_request.isComplete() && !m_unsent.isEmpty()
        && (m_spacing.isActive() || (m_unacknowledged == Unacknowledged::Stop && m_deadline.isActive()))) {
        m_spacing.stop();
        m_deadline.stop();
        sendNextWrite();
    }
    m_sinceBytes.start();
    if (answerComplete())
        endRequest();
    else if (m_request.isTimeUp())
        m_gap.start(answerGap);
}

bool GatewayClient::answerComplete() const
{
    return m_request.isComplete() && (m_request.kind() != ModuleRequest::Kind::Write || m_unsent.isEmpty());
}

void GatewayClient::timeUp()
{
    // An answer under way (bytes came within the last gap) is let finish.
    const auto sinceBytes = std::chrono::milliseconds(m_sinceBytes.isValid() ? m_sinceBytes.elapsed() : answerGap.count());
    m_request.timeUp(sinceBytes < answerGap);
    if (m_request.isOver()) {
        endRequest();
        return;
    }
    m_gap.start(answerGap - sinceBytes);
    m_late.start();
}

void GatewayClient::endRequest()
{
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing})
        timer->stop();
    switch (m_request.kind()) {
    case ModuleRequest::Kind::Read: endRead(); break;
    case ModuleRequest::Kind::Write: endWrite(); break;
    case ModuleRequest::Kind::None: break;
    }
}

void GatewayClient::endRead()
{
    // Only values whose "#" has come: the window's rule of taking the rest
    // of the text would report a value the line cut short as read.
    const ReadGatherer &gathered = m_request.gatherer();
    ReadOutcome outcome;
    outcome.answered = gathered.answered();
    for (Setting setting : allSettings) {
        const auto value = gathered.value(setting);
        // An empty value is no value: an echoed command, or nothing stored.
        if (value && !value->isEmpty())
            valueOf(outcome.values, setting) = value;
    }
    const bool any = std::any_of(outcome.values.begin(), outcome.values.end(), [](const auto &v) { return v.has_value(); });
    outcome.status = any ? ReadOutcome::Read : ReadOutcome::NoAnswer;
    m_request.end();

    if (m_verifying) {
        m_verifying = false;
        m_written.readBack = outcome;
        for (Setting setting : m_written.sent.toList()) {
            const auto &back = valueOf(outcome.values, setting);
            if (!back || canonicalValue(setting, *back) != canonicalValue(setting, *valueOf(m_toWrite, setting)))
                m_written.differs.insert(setting);
        }
        emit writeFinished(m_written);
        return;
    }
    emit readFinished(outcome);
}

void GatewayClient::endWrite()
{
    m_unsent.clear();
    m_written.sent = m_request.tally().sentSettings();
    m_written.acknowledged = m_request.tally().acknowledged();
    m_request.end();
    if (m_verify && m_link.isOpen()) {
        m_verifying = true;
        emit verifying();
        beginRead(ReadStart::Fresh);
        return;
    }
    emit writeFinished(m_written);
}

void GatewayClient::lineLost(const QString &reason)
{
    // Stop at once: waiting out the time would only hide the loss.
    for (QTimer *timer : {&m_deadline, &m_gap, &m_late, &m_spacing})
        timer->stop();
    const ModuleRequest::Kind kind = m_request.kind();
    const bool writing = kind == ModuleRequest::Kind::Write || m_verifying;
    if (kind == ModuleRequest::Kind::Write) {
        m_written.sent = m_request.tally().sentSettings();
        m_written.acknowledged = m_request.tally().acknowledged();
    }
    m_request.end();
    m_verifying = false;
    if (writing) {
        m_written.status = WriteOutcome::Lost;
        m_written.reason = reason;
        emit writeFinished(m_written);
    } else if (kind == ModuleRequest::Kind::Read) {
        emit readFinished(ReadOutcome {ReadOutcome::Lost, {}, false, reason});
    } else {
        emit lost(reason);
    }
}
