// SPDX-License-Identifier: MIT
#include "reporttime.h"

#include <QDateTime>
#include <QRegularExpression>

namespace report {

namespace {

// Days from 1970-01-01 to a civil date (Howard Hinnant's algorithm).
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int digits(const QString &text, int at, int count, bool *ok)
{
    int value = 0;
    for (int i = at; i < at + count; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            *ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

// The form every audit line's time has, read without QDateTime: a
// million lines are read for one report.
std::optional<qint64> auditTime(const QString &text)
{
    if (text.size() == 24 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')
        && text.at(10) == QLatin1Char('T') && text.at(13) == QLatin1Char(':') && text.at(16) == QLatin1Char(':')
        && text.at(19) == QLatin1Char('.') && text.at(23) == QLatin1Char('Z')) {
        bool ok = true;
        const int y = digits(text, 0, 4, &ok), mo = digits(text, 5, 2, &ok), d = digits(text, 8, 2, &ok);
        const int h = digits(text, 11, 2, &ok), mi = digits(text, 14, 2, &ok), s = digits(text, 17, 2, &ok);
        const int ms = digits(text, 20, 3, &ok);
        if (ok && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 61)
            return daysFromCivil(y, mo, d) * dayMs + h * hourMs + mi * minuteMs + s * 1000 + ms;
    }
    return parseTime(text);
}

QString hourKey(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms - ms % hourMs + (ms < 0 && ms % hourMs ? -hourMs : 0), Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-ddTHH:00Z"));
}

QString minuteText(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

std::optional<QList<ClockShift>> parseShifts(const QString &text, QString *why)
{
    static const QRegularExpression form(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])-([01][0-9]|2[0-3]):([0-5][0-9])$"));
    QList<ClockShift> shifts;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const auto match = form.match(part.trimmed());
        if (!match.hasMatch()) {
            *why = QStringLiteral("--shift takes clock times in UTC, HH:MM-HH:MM, separated by commas "
                                  "(06:00-14:00,14:00-22:00,22:00-06:00), not \"%1\"").arg(part.trimmed());
            return std::nullopt;
        }
        ClockShift shift;
        shift.start = match.captured(1).toInt() * 60 + match.captured(2).toInt();
        shift.end = match.captured(3).toInt() * 60 + match.captured(4).toInt();
        shift.name = minuteText(shift.start) + QLatin1Char('-') + minuteText(shift.end);
        if (shift.start == shift.end) {
            *why = QStringLiteral("--shift %1 has no length").arg(shift.name);
            return std::nullopt;
        }
        shifts << shift;
    }
    // Each minute of the day in one shift at most.
    for (int minute = 0; minute < 24 * 60; ++minute) {
        int in = 0;
        for (const ClockShift &shift : shifts) {
            in += shift.start < shift.end ? minute >= shift.start && minute < shift.end
                                          : minute >= shift.start || minute < shift.end;
        }
        if (in > 1) {
            *why = QStringLiteral("--shift: the shifts overlap at %1").arg(minuteText(minute));
            return std::nullopt;
        }
    }
    return shifts;
}

std::optional<qint64> parseTime(const QString &text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        time = QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    // Without a zone: UTC, as the audit's times are.
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time.toMSecsSinceEpoch();
}

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char('Z');
}

} // namespace report
