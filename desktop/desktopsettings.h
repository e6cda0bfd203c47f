// SPDX-License-Identifier: MIT
#pragma once

// The settings file of a desktop program: <config>/TELVOR/<name>.conf, named
// outright so that it alone is checked and read.

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

inline QString desktopSettingsPath(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/TELVOR/")
           + name + QStringLiteral(".conf");
}

// The settings, or null with *why when something other than a regular file
// stands in the file's place: reading a FIFO or a device would block the
// program before its window appears.
inline QSettings *openDesktopSettings(const QString &name, QObject *parent, QString *why)
{
    const QString path = desktopSettingsPath(name);
    const QFileInfo file(path);
    if (file.exists() && !file.isFile()) {
        *why = QStringLiteral("%1 is not a regular file").arg(path);
        return nullptr;
    }
    return new QSettings(path, QSettings::IniFormat, parent);
}
