// SPDX-License-Identifier: MIT
#include "base/exitcodes.h"

#include <QStringList>

namespace {

constexpr int helpWidth = 79;

} // namespace

QString helpEntry(const QString &lead, const char *meaning)
{
    QString text;
    QString line = lead;
    const int indent = int(lead.size());
    for (const QString &word : QString::fromLatin1(meaning).split(QLatin1Char(' '))) {
        if (line.size() + 1 + word.size() > helpWidth && line.size() > indent) {
            text += line + QLatin1Char('\n');
            line = QString(indent, QLatin1Char(' '));
        }
        line += QLatin1Char(' ') + word;
    }
    return text + line + QLatin1Char('\n');
}

QString exitCodeHelp()
{
    QString text;
    for (const ExitCodeMeaning &entry : exitCodeMeanings)
        text += helpEntry(QStringLiteral("  %1").arg(toInt(entry.code), -2), entry.meaning);
    return text;
}
