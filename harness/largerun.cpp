// SPDX-License-Identifier: MIT
#include "largerun.h"

#include "plan/records.h"

#include <QDateTime>
#include <QFile>

SettingValues largePlanRow(int n)
{
    return {QStringLiteral("10.%1.%2.%3").arg(1 + n / 62500).arg(n / 250 % 250).arg(1 + n % 250),
            QStringLiteral("10.0.0.1"), QStringLiteral("502"),
            QStringLiteral("02:00:00:%1:%2:%3")
                .arg(n >> 16 & 255, 2, 16, QLatin1Char('0')).arg(n >> 8 & 255, 2, 16, QLatin1Char('0'))
                .arg(n & 255, 2, 16, QLatin1Char('0'))};
}

bool writeLargePlan(const QString &path, int rows)
{
    QFile plan(path);
    if (!plan.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "ip,gateway,tcp_port,mac\n";
    for (int n = 0; n < rows; ++n) {
        const SettingValues values = largePlanRow(n);
        text += QStringList {*values[0], *values[1], *values[2], *values[3]}.join(QLatin1Char(',')).toLatin1() + '\n';
    }
    return plan.write(text) == text.size();
}

namespace {

// Writes records one after another, chained, a few hundred ms apart.
class Writer
{
public:
    explicit Writer(QFile &file)
        : m_file(file)
        , m_time(QDateTime(QDate(2026, 3, 2), QTime(6, 0), Qt::UTC))
    {
    }

    bool add(AuditBody body)
    {
        m_time = m_time.addMSecs(70);
        const AuditRecord record {m_time.toString(Qt::ISODateWithMs), QStringLiteral("bench-1"), QStringLiteral("Ana"),
                                  QStringLiteral(VEV_VERSION), std::move(body)};
        const QByteArray line = auditLine(record, m_prev);
        m_prev = chainHash(line);
        ++m_lines;
        return m_file.write(line + '\n') == line.size() + 1;
    }

    int lines() const { return m_lines; }
    const QByteArray &prev() const { return m_prev; }

private:
    QFile &m_file;
    QDateTime m_time;
    QByteArray m_prev = firstPrev;
    int m_lines = 0;
};

SettingValues factory(int module)
{
    return {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.1"), QStringLiteral("502"),
            QStringLiteral("02:56:45:%1:%2:%3")
                .arg(module >> 16 & 255, 2, 16, QLatin1Char('0')).arg(module >> 8 & 255, 2, 16, QLatin1Char('0'))
                .arg(module & 255, 2, 16, QLatin1Char('0'))};
}

} // namespace

QByteArray writeLargeAudit(const QString &path, int lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    Writer audit(file);
    const QList<Setting> all(allSettings.begin(), allSettings.end());
    bool ok = true;
    for (int module = 0; ok && audit.lines() < lines; ++module) {
        const int row = module + 1;
        const QString port = QStringLiteral("/dev/ttyUSB%1").arg(module % 4);
        const SettingValues values = largePlanRow(module);
        SettingValues before = factory(module);
        ok = audit.add(ClaimRecord {row, port, before, values, false, 0});
        if (module % 20 == 19 && audit.lines() < lines) {
            // The MAC did not take: the module keeps its factory one.
            SettingValues back = values;
            back[3] = before[3];
            ok = ok && audit.add(OutcomeRecord {row, port, before, values, back, Result::Fail,
                                                QStringLiteral("MAC address reads back %1").arg(*before[3]),
                                                all.mid(0, 3)});
            if (module % 1000 == 999 || audit.lines() >= lines)
                continue;
            before = back;
            ok = ok && audit.add(ClaimRecord {row, port, before, values, false, 0});
        }
        if (audit.lines() < lines)
            ok = ok && audit.add(OutcomeRecord {row, port, before, values, values, Result::Pass, {}, all});
        if (audit.lines() < lines) {
            ok = ok && audit.add(LabelRecord {row, values, true, QStringLiteral("/srv/labels/%1.pdf").arg(row), {}, false,
                                              false});
        }
    }
    return ok ? audit.prev() : QByteArray();
}
