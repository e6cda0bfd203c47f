// SPDX-License-Identifier: MIT
#include "base/exitcodes.h"

#include <QStringList>

namespace {

constexpr int helpWidth = 79;
constexpr int meaningIndent = 5;

} // namespace

QString exitCodeHelp()
{
    QString text;
    for (const ExitCodeMeaning &entry : exitCodeMeanings) {
        QString line = QStringLiteral("  %1").arg(toInt(entry.code), -2);
        const QStringList words = QString::fromLatin1(entry.meaning).split(QLatin1Char(' '));
        for (const QString &word : words) {
            if (line.size() + 1 + word.size() > helpWidth && line.size() > meaningIndent) {
                text += line + QLatin1Char('\n');
                line = QString(meaningIndent - 1, QLatin1Char(' '));
            }
            line += QLatin1Char(' ') + word;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}
