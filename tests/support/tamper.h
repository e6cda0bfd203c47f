// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A file of the test's own in its temporary folder, with these bytes.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// Changes one byte of a file in place, as someone editing it after the fact
// would: the byte `offset` places after the first occurrence of `near`.
inline bool changeByte(const QString &path, const QByteArray &near, int offset, char to)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int at = bytes.indexOf(near);
    if (at < 0)
        return false;
    bytes[at + offset] = to;
    return file.seek(0) && file.write(bytes) == bytes.size();
}
