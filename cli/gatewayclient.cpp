// SPDX-License-Identifier: MIT
#include "gatewayclient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <unistd.h>

namespace {

// How often a wait looks at its condition when no frame wakes it.
constexpr int pollMs = 20;
// After an incomplete answer, how long the module may stay quiet before
// the rest is taken as missing.
constexpr int quietAfterAnswerMs = SPComm::frameWindowMs + 200;

} // namespace

GatewayClient::GatewayClient()
{
    connect(&m_link, &SPComm::comRecive, this, [this] { m_frames.append(frameText(m_link.takeReceived())); });
}

OpenFailure GatewayClient::open(const QString &port, QString *reason)
{
    m_link.setBaudRate(lineSpeed);
    m_link.setPortName(port);
    if (m_link.open())
        return OpenFailure::None;

    const OpenFailure failure = diagnoseOpenFailure(port, m_link.error());
    *reason = openFailureReason(failure, m_link.errorString());
    return failure == OpenFailure::None ? OpenFailure::Other : failure;
}

void GatewayClient::close()
{
    m_link.close();
}

void GatewayClient::send(const QString &command)
{
    m_link.write(commandBytes(command).constData());
}

bool GatewayClient::waitFor(int ms, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(std::min<qint64>(left, pollMs)), &loop, &QEventLoop::quit);
        connect(&m_link, &SPComm::comRecive, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

std::optional<SettingValues> GatewayClient::read(int timeoutMs)
{
    m_frames.clear();
    for (Setting setting : allSettings)
        send(readCommand(setting));

    SettingValues values;
    int seen = 0;
    QElapsedTimer sinceAnswer;
    const auto complete = [&] {
        for (; seen < m_frames.size(); ++seen) {
            for (Setting setting : allSettings) {
                auto &value = valueOf(values, setting);
                if (!value)
                    value = replyValue(m_frames.at(seen), setting);
            }
            sinceAnswer.start();
        }
        const bool all = std::all_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); });
        return all || (sinceAnswer.isValid() && sinceAnswer.elapsed() > quietAfterAnswerMs);
    };
    waitFor(timeoutMs, complete);
    if (m_frames.isEmpty())
        return std::nullopt;
    return values;
}

std::array<bool, allSettings.size()> GatewayClient::write(const SettingValues &values, int timeoutMs)
{
    m_frames.clear();
    std::array<bool, allSettings.size()> acknowledged {};
    std::array<bool, allSettings.size()> sent {};

    bool first = true;
    for (Setting setting : allSettings) {
        const auto &value = valueOf(values, setting);
        if (!value)
            continue;
        if (!first)
            waitFor(writeSpacingMs, [] { return false; });
        first = false;
        send(writeCommand(setting, *value));
        sent[static_cast<std::size_t>(setting)] = true;
    }

    const auto allAcknowledged = [&] {
        for (const QString &frame : std::as_const(m_frames)) {
            for (Setting setting : allSettings) {
                if (acknowledges(frame, setting))
                    acknowledged[static_cast<std::size_t>(setting)] = true;
            }
        }
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (sent[i] && !acknowledged[i])
                return false;
        }
        return true;
    };
    waitFor(timeoutMs, allAcknowledged);
    allAcknowledged();
    for (std::size_t i = 0; i < sent.size(); ++i)
        acknowledged[i] = acknowledged[i] && sent[i];
    return acknowledged;
}
