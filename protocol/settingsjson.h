// SPDX-License-Identifier: MIT
#pragma once

// The four settings as a JSON object, {"ip": ..., "gateway": ..., "port": ...,
// "mac": ...}, values in their form (dots, colons). A setting that is not
// known is null. Used for the simulator's state file and by the command line.

#include "protocol/wireformat.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <optional>

using SettingValues = std::array<std::optional<QString>, allSettings.size()>;

inline std::optional<QString> &valueOf(SettingValues &values, Setting setting)
{
    return values[static_cast<std::size_t>(setting)];
}
inline const std::optional<QString> &valueOf(const SettingValues &values, Setting setting)
{
    return values[static_cast<std::size_t>(setting)];
}

QJsonObject settingsToJson(const SettingValues &values);

// Keys that are missing or null give an unknown setting. An unknown key or
// a value that is not a string is an error, described in *error.
std::optional<SettingValues> settingsFromJson(const QJsonObject &object, QString *error);

// Reads and parses a whole file; *error says why when it fails. Only a
// regular file of at most maxBytes is read: a device or a pipe could feed
// us for ever or never answer.
std::optional<SettingValues> readSettingsFile(const QString &path, QString *error, qint64 maxBytes = 64 * 1024);
bool writeSettingsFile(const QString &path, const SettingValues &values, QString *error);
