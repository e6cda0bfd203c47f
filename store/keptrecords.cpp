// SPDX-License-Identifier: MIT
#include "store/keptrecords.h"

#include "protocol/wireformat.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

namespace {

// A word as a POSIX shell reads it back unchanged, for a command the
// operator copies into a terminal.
QString shellQuoted(const QString &word)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=@%+,-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

KeptRecords::KeptRecords(const QString &station, const QStringList &folders)
    : m_station(station)
    , m_folders(folders)
{
    m_folders << QDir::tempPath();
}

KeptRecords::~KeptRecords() = default;

QString KeptRecords::keep(const AuditRecord &record, const QString &why, const QStringList &importFrom, const QString &when)
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
        QStringList command {QStringLiteral("vev-cli"), QStringLiteral("audit"), QStringLiteral("import")};
        command << importFrom << m_file->path();
        for (QString &word : command)
            word = shellQuoted(printable(word));
        return QStringLiteral("%1; the record is kept in %2: %3add it with %4")
            .arg(why, printable(m_file->path()), when.isEmpty() ? QString() : when + QStringLiteral(", "),
                 command.join(QLatin1Char(' ')));
    }
    return QStringLiteral("%1, and it could not be kept in a file (%2); the record was: %3")
        .arg(why, error, QString::fromUtf8(auditLine(record, firstPrev)));
}

void KeptRecords::close()
{
    m_file.reset();
}
