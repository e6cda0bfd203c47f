// SPDX-License-Identifier: MIT
#include "store/keptrecords.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

KeptRecords::KeptRecords(const QString &station, const QStringList &folders)
    : m_station(station)
    , m_folders(folders)
{
    m_folders << QDir::tempPath();
}

KeptRecords::~KeptRecords() = default;

QString KeptRecords::keep(const AuditRecord &record, const QString &why, const QString &importFrom, const QString &when)
{
    QString error;
    if (!m_file) {
        QString station = m_station;
        station.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
        const QString name = QStringLiteral("vev-unstored-%1-%2.jsonl")
                                 .arg(station, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'hhmmsszzz")));
        for (const QString &folder : std::as_const(m_folders)) {
            auto file = std::make_unique<AuditFile>();
            bool broken = false;
            if (file->open(QDir(folder.isEmpty() ? QDir::currentPath() : folder).filePath(name), {}, &error, &broken)) {
                m_file = std::move(file);
                break;
            }
        }
    }
    if (m_file && m_file->append(record, &error)) {
        return QStringLiteral("%1; the record is kept in %2: %3add it with vev-cli audit import %4 %2")
            .arg(why, printable(m_file->path()), when.isEmpty() ? QString() : when + QStringLiteral(", "), importFrom);
    }
    return QStringLiteral("%1, and it could not be kept in a file (%2); the record was: %3")
        .arg(why, error, QString::fromUtf8(auditLine(record, firstPrev)));
}

void KeptRecords::close()
{
    m_file.reset();
}
