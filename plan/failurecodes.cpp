// SPDX-License-Identifier: MIT
#include "plan/failurecodes.h"

#include "base/exitcodes.h"
#include "protocol/wireformat.h"

#include <algorithm>

namespace {

constexpr int codeWidth = 26;

} // namespace

QString readBackCode(Setting setting)
{
    return QStringLiteral("readback-mismatch-") + QLatin1String(settingInfo(setting).key);
}

QString failureCode(const OutcomeRecord &outcome)
{
    if (!outcome.code.isEmpty() || outcome.result == Result::Pass)
        return outcome.code;
    switch (outcome.result) {
    case Result::Pass: return {};
    case Result::NoAnswer: return QStringLiteral("no-answer");
    case Result::NotAcknowledged: return QStringLiteral("not-acknowledged");
    case Result::Aborted:
        return outcome.reason.startsWith(QLatin1String("stopped")) ? QStringLiteral("stopped") : QStringLiteral("port-lost");
    case Result::Fail: break;
    }
    // Older reasons name the setting first: "IP address reads back ...".
    for (Setting setting : allSettings) {
        if (outcome.reason.startsWith(QLatin1String(settingInfo(setting).name)))
            return readBackCode(setting);
    }
    return QStringLiteral("readback-mismatch");
}

QString failureCodeHelp()
{
    QString text;
    for (const FailureCodeMeaning &entry : failureCodeMeanings)
        text += helpEntry(QStringLiteral("  %1").arg(QLatin1String(entry.code), -codeWidth), entry.meaning);
    return text;
}

bool isFailureCode(const QString &code)
{
    return std::any_of(failureCodeMeanings.begin(), failureCodeMeanings.end(),
                       [&code](const FailureCodeMeaning &meaning) { return code == QLatin1String(meaning.code); });
}
