// SPDX-License-Identifier: MIT
#include "processusage.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

qint64 residentKiB(qint64 pid)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 processCpuMs(qint64 pid)
{
    // The run time of each of its threads, to the nanosecond where the
    // system keeps it: in ticks of 10 ms, a short stretch would be mostly
    // rounding.
    const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    qint64 ns = 0;
    bool precise = !tasks.isEmpty();
    for (const QString &task : tasks) {
        QFile schedstat(QStringLiteral("/proc/%1/task/%2/schedstat").arg(pid).arg(task));
        bool ok = schedstat.open(QIODevice::ReadOnly);
        if (ok)
            ns += schedstat.readAll().split(' ').first().toLongLong(&ok);
        precise = precise && ok;
    }
    if (precise)
        return ns / 1000000;

    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in parentheses may hold spaces: the fields count from its end.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const qint64 ticks = fields.at(11).toLongLong() + fields.at(12).toLongLong(); // utime, stime
    return ticks * 1000 / ::sysconf(_SC_CLK_TCK);
}
