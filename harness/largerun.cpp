// SPDX-License-Identifier: MIT
#include "largerun.h"

#include "postgresserver.h"

#include "plan/failurecodes.h"
#include "plan/records.h"

#include <QDateTime>
#include <QDir>
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
        // append() grows by doubling; a string builder's += by what each row needs.
        text.append(QStringList {*values[0], *values[1], *values[2], *values[3]}.join(QLatin1Char(',')).toLatin1());
        text.append('\n');
    }
    return plan.write(text) == text.size();
}

namespace {

// A value in COPY's text form.
QByteArray copyField(const QByteArray &value)
{
    QByteArray text;
    text.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '\t': text += "\\t"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        default: text += c;
        }
    }
    return text;
}

// The audit file's lines as rows of vev_audit, in COPY's text form; the
// highest row a line is about, or -1 when a line cannot be read.
int auditAsCopy(const QString &audit, const QString &copy)
{
    QFile in(audit);
    QFile out(copy);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return -1;
    int lastRow = 0;
    qint64 seq = 0;
    QByteArray chunk;
    while (!in.atEnd()) {
        QByteArray line = in.readLine();
        line.chop(1);
        QString why;
        const auto read = readAuditLine(line, &why);
        if (!read || !read->record)
            return -1;
        const AuditRecord &record = *read->record;
        const auto optional = [](const std::optional<QString> &value) {
            return value ? copyField(value->toUtf8()) : QByteArray("\\N");
        };
        const auto text = [&optional](const QString &value) {
            return optional(value.isEmpty() ? std::nullopt : std::optional<QString>(value));
        };
        // The columns of version 4, as the store fills them.
        const auto *outcome = std::get_if<OutcomeRecord>(&record.body);
        const auto *rework = std::get_if<ReworkRecord>(&record.body);
        const QString code = outcome ? failureCode(*outcome) : rework ? rework->code : QString();
        lastRow = std::max(lastRow, recordRow(record.body));
        chunk.append(QByteArray(QByteArray::number(++seq) + '\t' + copyField(line) + '\t' + read->prev + '\t'
                                + chainHash(line) + '\t' + kindName(record.body).toUtf8() + '\t'
                                + QByteArray::number(recordRow(record.body)) + '\t' + copyField(record.station.toUtf8())
                                + '\t' + copyField(record.operatorName.toUtf8()) + '\t' + optional(recordPort(record.body))
                                + '\t' + optional(recordResult(record.body)) + '\t' + record.time.toUtf8() + '\t'
                                + text(recordSerial(record.body)) + '\t'
                                + (outcome && outcome->attempt > 0 ? QByteArray::number(outcome->attempt) : QByteArray("\\N"))
                                + '\t' + text(code) + '\t' + text(record.operatorId) + '\n'));
        if (chunk.size() > (4 << 20)) {
            out.write(chunk);
            chunk.clear();
        }
    }
    return out.write(chunk) == chunk.size() ? lastRow : -1;
}

// Each plan row takes the state, station and line of its last claim,
// outcome, release or loss, as the stations that wrote the audit left it:
// put in place by the tables' owner, around the guard that wants each
// row's line in the same transaction.
const QString planFollowsAudit = QStringLiteral(
    "SET session_replication_role = replica; UPDATE vev_plan p SET state = CASE a.kind WHEN 'claim' THEN 'claimed' WHEN 'release' THEN 'open' "
    "WHEN 'outcome' THEN CASE a.result WHEN 'pass' THEN 'passed' ELSE 'failed' END ELSE 'failed' END, "
    "station = a.station, port = a.port, audit_seq = a.seq, claimed_at = a.time, done_at = a.time "
    "FROM (SELECT DISTINCT ON (row) row, seq, kind, result, station, port, time FROM vev_audit "
    "WHERE kind IN ('claim', 'outcome', 'release', 'lost') ORDER BY row, seq DESC) a WHERE p.row = a.row");

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

int largeAuditRows(int lines)
{
    // Every module but the last takes a claim, an outcome and a label.
    return lines / 3 + 1;
}

QString loadLargeAudit(PostgresServer &server, const QString &database, int lines, const QString &folder)
{
    const QString audit = QDir(folder).filePath(database + QStringLiteral(".jsonl"));
    if (writeLargeAudit(audit, lines).isEmpty())
        return QStringLiteral("cannot write the audit");
    const QString failed = loadAudit(server, database, audit, folder);
    QFile::remove(audit);
    return failed;
}

QString loadAudit(PostgresServer &server, const QString &database, const QString &audit, const QString &folder)
{
    const QString copy = QDir(folder).filePath(database + QStringLiteral(".copy"));
    QString failed = auditAsCopy(audit, copy) >= 0 ? QString() : QStringLiteral("cannot read the audit");
    if (failed.isEmpty()) {
        failed = server.sql(database, QStringLiteral("\\copy vev_audit (seq, line, prev, hash, kind, row, station, "
                                                     "operator, port, result, time, serial, attempt, code, operator_id) "
                                                     "FROM '%1'").arg(copy));
    }
    if (failed.isEmpty())
        failed = server.sql(database, planFollowsAudit + QStringLiteral("; ANALYZE"));
    QFile::remove(copy);
    return failed;
}
