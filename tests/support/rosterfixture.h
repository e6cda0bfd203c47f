// SPDX-License-Identifier: MIT
#pragma once

// A roster of one operator and one supervisor, with badge codes the tests
// then look for where they must never be.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace roster {

inline const QByteArray operatorCode = "OP-4711-ANA";
inline const QByteArray supervisorCode = "SUP-0042-SAM";
inline const QByteArray strangerCode = "NOBODY-0000";
inline const QByteArray csv = "id,name,role,badge\n"
                              "ana,Ana Lima,operator," + operatorCode + "\n"
                              "sam,Sam Okoro,supervisor," + supervisorCode + "\n";

// The roster, readable by its owner alone (as a careful user keeps it).
inline QString writeRoster(const QTemporaryDir &dir, const QByteArray &text = csv,
                           QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    const QString path = dir.filePath(QStringLiteral("roster.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return {};
    file.close();
    file.setPermissions(permissions);
    return path;
}

// Where a code shows up in text: "" when it does not.
inline QString codeIn(const QByteArray &text)
{
    for (const QByteArray &code : {operatorCode, supervisorCode, strangerCode}) {
        if (text.contains(code))
            return QString::fromLatin1(code);
    }
    return {};
}

} // namespace roster
