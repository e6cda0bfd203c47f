// SPDX-License-Identifier: MIT
#include "protocol/settingsjson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

QJsonObject settingsToJson(const SettingValues &values)
{
    QJsonObject object;
    for (Setting setting : allSettings) {
        const auto &value = valueOf(values, setting);
        object.insert(QLatin1String(settingInfo(setting).key), value ? QJsonValue(*value) : QJsonValue());
    }
    return object;
}

std::optional<SettingValues> settingsFromJson(const QJsonObject &object, QString *error)
{
    SettingValues values;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const auto setting = settingForKey(it.key());
        if (!setting) {
            *error = QStringLiteral("unknown setting \"%1\" (expected ip, gateway, port or mac)").arg(it.key());
            return std::nullopt;
        }
        if (it.value().isNull())
            continue;
        if (!it.value().isString()) {
            *error = QStringLiteral("the value of \"%1\" is not a string").arg(it.key());
            return std::nullopt;
        }
        valueOf(values, *setting) = it.value().toString();
    }
    return values;
}

std::optional<SettingValues> readSettingsFile(const QString &path, QString *error, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("cannot read %1: not a regular file").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        *error = QStringLiteral("cannot read %1: larger than %2 bytes, not a settings file").arg(path).arg(maxBytes);
        return std::nullopt;
    }
    QJsonParseError parseError {};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2")
                     .arg(path, parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                             : QStringLiteral("wrong type"));
        return std::nullopt;
    }
    QString why;
    auto values = settingsFromJson(document.object(), &why);
    if (!values)
        *error = path + QStringLiteral(": ") + why;
    return values;
}

bool writeSettingsFile(const QString &path, const SettingValues &values, QString *error)
{
    // Written aside and renamed, so a crash never leaves half a file.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(settingsToJson(values)).toJson(QJsonDocument::Indented));
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}
