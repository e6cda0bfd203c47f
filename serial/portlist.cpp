// SPDX-License-Identifier: MIT
#include "serial/portlist.h"

#include "serial/portaccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>

#include <algorithm>


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
    const QString path = resolvedPortPath(portName);
    const QLatin1String dev("/dev/");
    QString fileName = path.startsWith(dev) ? path.mid(dev.size()) : path;
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

QStringList serialPortNames()
{
#ifdef Q_OS_LINUX
    // The kernel's own list: a tty with a device behind it is a serial port,
    // unless it is a legacy UART slot with no UART (type 0), which the
    // serial library leaves out too. Names only, read from sysfs, without
    // loading udev or opening a device: this runs as the window starts.
    QDir ttys(QStringLiteral("/sys/class/tty"));
    if (ttys.exists()) {
        QStringList names;
        const QStringList entries = ttys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
        for (const QString &name : entries) {
            if (!QFileInfo::exists(ttys.filePath(name + QStringLiteral("/device"))))
                continue;
            QFile type(ttys.filePath(name + QStringLiteral("/type")));
            if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
                continue;
            names.append(name);
        }
        return names;
    }
#endif
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
}

QStringList freeSerialPorts()
{
    QStringList names = serialPortNames();
    names.erase(std::remove_if(names.begin(), names.end(), [](const QString &name) { return isPortBusy(name); }),
                names.end());
    return names;
}
