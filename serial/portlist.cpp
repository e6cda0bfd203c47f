#include "portlist.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <signal.h>

namespace {

// Where lock files are kept, in the order the serial library looks.
QStringList lockDirectories()
{
    return {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"), QDir::tempPath()};
}

bool lockIsHeld(const QString &path)
{
    QFile lock(path);
    if (!lock.open(QIODevice::ReadOnly))
        return false;
    const qint64 pid = lock.readLine().trimmed().toLongLong();
    if (pid <= 0)
        return false;
    return !(::kill(pid_t(pid), 0) == -1 && errno == ESRCH);
}

} // namespace

bool isPortBusy(const QString &portName)
{
    // The lock carries the library's name for the port ("ttyUSB0",
    // "pts/3", or the whole path of a device outside /dev).
    QSerialPort probe;
    probe.setPortName(portName);
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
