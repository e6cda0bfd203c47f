// SPDX-License-Identifier: MIT
#include "serial/portaccess.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

QString portDevicePath(const QString &port)
{
#ifdef Q_OS_UNIX
    // What the serial library makes of a listed name, without asking it:
    // its info object enumerates every port to answer.
    return port.contains(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
#else
    return QSerialPortInfo(port).systemLocation();
#endif
}

QString resolvedPortPath(const QString &port)
{
    const QString path = portDevicePath(port);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? port : canonical;
}

OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, bool deviceExists, bool deviceAccessible)
{
    if (error == QSerialPort::NoError)
        return OpenFailure::None;
    if (!deviceExists || error == QSerialPort::DeviceNotFoundError)
        return OpenFailure::NotFound;
    if (!deviceAccessible)
        return OpenFailure::PermissionDenied;
    if (error == QSerialPort::PermissionError)
        return OpenFailure::Busy; // we may use the file, so someone else holds the line
    return OpenFailure::Other;
}

OpenFailure diagnoseOpenFailure(const QString &port, QSerialPort::SerialPortError error)
{
    const QString path = resolvedPortPath(port);
    const bool exists = QFileInfo::exists(path);
#ifdef Q_OS_UNIX
    const bool accessible = exists && ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#else
    const bool accessible = exists;
#endif
    return classifyOpenFailure(error, exists, accessible);
}

QString openFailureReason(OpenFailure failure, const QString &systemReason)
{
    switch (failure) {
    case OpenFailure::NotFound:
        return QStringLiteral("no such port (%1)").arg(systemReason);
    case OpenFailure::Busy:
        return QStringLiteral("the port is in use by another program");
    case OpenFailure::PermissionDenied:
        return systemReason
               + QStringLiteral("\nTo get access, join the group that owns the device (usually dialout): "
                                "sudo usermod -aG dialout $USER, then log out and in again.");
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return systemReason;
}

namespace {

void setExclusiveAccess(QSerialPort &port, bool exclusive)
{
#if defined(TIOCEXCL) && defined(TIOCNXCL)
    if (port.isOpen())
        ::ioctl(port.handle(), exclusive ? TIOCEXCL : TIOCNXCL);
#else
    Q_UNUSED(port)
    Q_UNUSED(exclusive)
#endif
}

} // namespace

bool openModuleLine(QSerialPort &port, const QString &name, qint32 speed)
{
    port.setPortName(resolvedPortPath(name));
    port.setBaudRate(speed, QSerialPort::AllDirections);
    port.setParity(QSerialPort::NoParity);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    setExclusiveAccess(port, true);
    return true;
}

void closeModuleLine(QSerialPort &port)
{
    if (!port.isOpen())
        return;
    setExclusiveAccess(port, false);
    port.close();
}

QString lostLineReason()
{
    return QStringLiteral("the device was disconnected or hung up");
}

ExitCode exitCodeFor(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::None: return ExitCode::Ok;
    case OpenFailure::NotFound: return ExitCode::PortNotFound;
    case OpenFailure::Busy: return ExitCode::PortBusy;
    case OpenFailure::PermissionDenied: return ExitCode::PortPermission;
    case OpenFailure::Other: break;
    }
    return ExitCode::PortError;
}
