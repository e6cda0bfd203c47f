// SPDX-License-Identifier: MIT
#include "store/lastline.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Far more than the file ever holds: anything longer is not one of these.
constexpr qint64 longestFile = 4096;

} // namespace

LastLineMemory::LastLineMemory(const QString &folder, const QString &tablesId, const DatabaseUri &uri,
                               const QString &station)
    : m_id(tablesId)
    , m_uri(uri.display())
    , m_station(station)
{
    // vev-cli and the station window share the files: either may run a
    // station of the same name on the same database.
    const QString base = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                                + QStringLiteral("/vev-config/stations")
                                          : folder;
    const QByteArray key = QCryptographicHash::hash((m_id + QLatin1Char('\n') + m_station).toUtf8(),
                                                    QCryptographicHash::Sha256).toHex().left(24);
    m_path = QDir(base).filePath(QStringLiteral("last-line-%1.json").arg(QString::fromLatin1(key)));
}

std::optional<AuditMark> LastLineMemory::read(QString *error) const
{
    QFile file(m_path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return std::nullopt;
    }
    const QJsonObject object = QJsonDocument::fromJson(file.read(longestFile)).object();
    const qint64 seq = qint64(object.value(QStringLiteral("seq")).toDouble(0));
    const QString hash = object.value(QStringLiteral("hash")).toString();
    if (seq < 1 || hash.size() != 64 || object.value(QStringLiteral("tables")).toString() != m_id
        || object.value(QStringLiteral("station")).toString() != m_station) {
        *error = QStringLiteral("%1 is not a station's memory of its last line (damaged, or written by hand)").arg(m_path);
        return std::nullopt;
    }
    return AuditMark {seq, hash.toLatin1()};
}

bool LastLineMemory::write(const AuditMark &mark, QString *error) const
{
    if (!QDir().mkpath(QFileInfo(m_path).path())) {
        *error = QStringLiteral("cannot make the folder %1").arg(QFileInfo(m_path).path());
        return false;
    }
    QSaveFile file(m_path);
    const QJsonObject object {{QStringLiteral("tables"), m_id}, {QStringLiteral("uri"), m_uri},
                              {QStringLiteral("station"), m_station},
                              {QStringLiteral("seq"), mark.seq}, {QStringLiteral("hash"), QString::fromLatin1(mark.hash)}};
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) < 0
        || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}
