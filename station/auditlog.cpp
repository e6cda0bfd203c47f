// SPDX-License-Identifier: MIT
#include "station/auditlog.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

QByteArray writtenKey(const SettingValues &values)
{
    return QJsonDocument(settingsToJson(values)).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray chainHash(const QByteArray &line)
{
    return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
}

QByteArray AuditLog::line(const AuditRecord &record, const QByteArray &prevHash)
{
    QJsonObject object {
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("station"), record.station},
        {QStringLiteral("port"), record.port},
        {QStringLiteral("row"), record.row},
        {QStringLiteral("before"), settingsToJson(record.before)},
        {QStringLiteral("written"), settingsToJson(record.written)},
        {QStringLiteral("read_back"), settingsToJson(record.readBack)},
        {QStringLiteral("result"), record.result},
        {QStringLiteral("version"), QStringLiteral(VEV_VERSION)},
        {QStringLiteral("prev"), QString::fromLatin1(prevHash)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool AuditLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot open the audit %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_file.seek(0);
    const QByteArray all = m_file.readAll();
    if (!all.isEmpty() && !all.endsWith('\n')) {
        *error = QStringLiteral("the audit %1 ends in a partial line; check it with audit-verify").arg(path);
        return false;
    }
    m_lastHash = firstPrev;
    const QList<QByteArray> lines = all.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject object = QJsonDocument::fromJson(lines.at(i)).object();
        if (object.value(QStringLiteral("result")).toString() == QLatin1String("pass")) {
            QString ignored;
            const auto written = settingsFromJson(object.value(QStringLiteral("written")).toObject(), &ignored);
            if (written)
                m_passed.insert(object.value(QStringLiteral("row")).toInt(), writtenKey(*written));
        }
        m_lastHash = chainHash(lines.at(i));
    }
    return true;
}

bool AuditLog::append(const AuditRecord &record, QString *error)
{
    const QByteArray text = line(record, m_lastHash);
    // One write of the whole line, then to the disk: a crash or a signal
    // leaves the line whole or absent, never half of it.
    const bool written = m_file.write(text + '\n') == text.size() + 1;
#ifdef Q_OS_UNIX
    const bool synced = written && ::fsync(m_file.handle()) == 0;
#else
    const bool synced = written && m_file.flush();
#endif
    if (!synced) {
        *error = QStringLiteral("cannot write the audit %1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    m_lastHash = chainHash(text);
    if (record.result == QLatin1String("pass"))
        m_passed.insert(record.row, writtenKey(record.written));
    return true;
}

bool AuditLog::passed(int row, const SettingValues &values) const
{
    return m_passed.value(row) == writtenKey(values);
}

AuditCheck verifyAudit(const QString &path)
{
    AuditCheck check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.why = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return check;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    QByteArray prev = firstPrev;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (i + 1 == lines.size()) {
            if (!line.isEmpty()) {
                check.firstBad = i + 1;
                check.why = QStringLiteral("a partial line without its line end");
            }
            break;
        }
        QJsonParseError parseError {};
        const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
        if (!document.isObject()) {
            check.firstBad = i + 1;
            check.why = QStringLiteral("not a JSON object");
            break;
        }
        if (document.object().value(QStringLiteral("prev")).toString().toLatin1() != prev) {
            check.firstBad = i + 1;
            check.why = i == 0 ? QStringLiteral("the first line's prev is not 64 zeros")
                               : QStringLiteral("prev does not match line %1: a line was changed, removed or inserted").arg(i);
            break;
        }
        prev = chainHash(line);
        ++check.lines;
    }
    return check;
}
