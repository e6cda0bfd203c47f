// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

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
