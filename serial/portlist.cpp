// SPDX-License-Identifier: MIT
#include "serial/portlist.h"

#include "serial/portaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>


namespace {

// Where lock files are kept, in the order the serial library looks.
QStringList lockDirectories()
{
    return {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"), QDir::tempPath()};
}

bool lockIsHeld(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    // Judged by the serial library's own rules (a live process of the name
    // the lock gives, on this host), so a lock file anyone can write with a
    // live PID in it does not hide a port the library would open. Taking
    // the lock is how QLockFile judges; it is let go at once.
    QLockFile lock(path);
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return lock.error() == QLockFile::LockFailedError;
}

} // namespace

bool isPortBusy(const QString &portName)
{
    // The lock carries the library's name for the port ("ttyUSB0",
    // "pts/3", or the whole path of a device outside /dev).
    QSerialPort probe;
    probe.setPortName(resolvedPortPath(portName));
    QString fileName = probe.portName();
    fileName.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList directories = lockDirectories();
    for (const QString &directory : directories) {
        if (lockIsHeld(directory + QStringLiteral("/LCK..") + fileName))
            return true;
    }
    return false;
}

QList<QSerialPortInfo> freeSerialPortInfos()
{
    QList<QSerialPortInfo> free;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (!isPortBusy(info.portName()))
            free.append(info);
    }
    return free;
}

QStringList freeSerialPorts()
{
    QStringList names;
    const auto ports = freeSerialPortInfos();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
}
