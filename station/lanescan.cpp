// SPDX-License-Identifier: MIT
// A lane's serial numbers: scanned for the module on it or the next one,
// never guessed; with serials required, nothing is written to a module
// before its serial is in.
#include "station/lane.h"

#include "plan/unitbook.h"

std::optional<Lane::SerialMode> Lane::serialModeOf(const QString &text, QString *why)
{
    if (text == QLatin1String("off"))
        return SerialMode::Off;
    if (text == QLatin1String("optional"))
        return SerialMode::Optional;
    if (text == QLatin1String("required"))
        return SerialMode::Required;
    *why = QStringLiteral("--serial takes off, optional or required, not \"%1\"").arg(printable(text));
    return std::nullopt;
}

std::optional<int> Lane::attemptsOf(const QString &text, QString *why)
{
    constexpr int most = 1000;
    bool ok = false;
    const int attempts = text.toInt(&ok);
    if (ok && attempts >= 0 && attempts <= most)
        return attempts;
    *why = QStringLiteral("--max-attempts needs a number from 0 (no limit) to %1, not \"%2\"").arg(most).arg(printable(text));
    return std::nullopt;
}

int Lane::attemptLimit(SerialMode mode, std::optional<int> given)
{
    constexpr int withSerials = 3;
    return given.value_or(mode == SerialMode::Off ? 0 : withSerials);
}

void Lane::setSerialRule(SerialMode mode, const QRegularExpression &pattern)
{
    m_serialMode = mode;
    m_serialPattern = pattern;
}

QString Lane::scan(const QString &code)
{
    if (m_serialMode == SerialMode::Off)
        return QStringLiteral("this station takes no serial numbers (--serial off)");
    QString why;
    const auto serial = serialOf(code, &why);
    if (!serial)
        return why;
    if (m_serialPattern.isValid() && !m_serialPattern.pattern().isEmpty()) {
        const QRegularExpression whole(QRegularExpression::anchoredPattern(m_serialPattern.pattern()),
                                       m_serialPattern.patternOptions());
        if (!whole.match(*serial).hasMatch()) {
            return QStringLiteral("the serial \"%1\" does not match the pattern %2")
                .arg(printable(*serial), m_serialPattern.pattern());
        }
    }
    if (isEnded())
        return QStringLiteral("the lane has ended");
    // The module in hand keeps the serial it was claimed with.
    if (holdsModule())
        return QStringLiteral("the module on the lane is being written; scan the next one once it is done");
    const bool verdictShown = m_removing && (m_phase == Phase::Watching || m_phase == Phase::Identifying);
    const bool waitingForIt = m_status.activity == Activity::NeedsSerial && m_phase == Phase::Watching;
    if (verdictShown) {
        // The module waiting for this serial, or a new one put on in place
        // of the one whose verdict is shown: read whatever is on now, and
        // it gets the serial.
        forgetModule();
        m_removing = false;
        m_handledMacs.clear();
        m_checking = false;
    }
    m_serial = *serial;
    m_serialUsed = false;
    m_status.serial = *serial;
    if (waitingForIt) {
        identify();
    } else if (verdictShown && m_phase == Phase::Watching) {
        watch(false);
    } else {
        emit statusChanged();
    }
    return {};
}

void Lane::awaitSerial()
{
    m_handledMacs = {canonicalOf(m_status.before, Setting::MacAddress)};
    show(Activity::NeedsSerial);
    watch(true);
}
