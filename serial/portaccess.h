// SPDX-License-Identifier: MIT
#pragma once

// Reaching a serial port: the module's line speed, the device behind a
// port's name, and why an open failed, in terms the operator can act on.

#include "base/exitcodes.h"

#include <QSerialPort>
#include <QString>

// The module's fixed line speed, bits per second (8N1, no flow control).
inline constexpr qint32 lineSpeed = 9600;

// The device file a port name stands for: a listed name ("ttyUSB0") or any
// path, with symbolic links (/dev/serial/by-id/..., a socat link) resolved,
// so that one device has one name however it was reached. A path that does
// not exist is returned as it is.
QString resolvedPortPath(const QString &port);

// The device file of a port name, links not resolved: "ttyUSB0" is
// /dev/ttyUSB0, a path is itself.
QString portDevicePath(const QString &port);

enum class OpenFailure {
    None,
    NotFound,
    Busy,
    PermissionDenied,
    Other,
};

// Sorts a failed open. The serial library reports a port held by another
// program as a permission error, like a device file we may not use; only
// the file's own access rights tell the two apart.
OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error, bool deviceExists, bool deviceAccessible);

// The same, looking at the device file of the port.
OpenFailure diagnoseOpenFailure(const QString &port, QSerialPort::SerialPortError error);

// What the operator is told, after "Cannot open port NAME: ".
QString openFailureReason(OpenFailure failure, const QString &systemReason);

// The exit code a program ends with when a port will not open.
ExitCode exitCodeFor(OpenFailure failure);

// Opens the port read/write at the given speed, 8N1 without flow control,
// by its resolved path (the library locks a port by the name it is given,
// so one device has one lock whatever link led to it) and for exclusive use
// where the system offers it, so a second program is refused even when it
// bypasses lock files.
bool openModuleLine(QSerialPort &port, const QString &name, qint32 speed);

// Gives exclusive use up, then closes: a pseudo-terminal would otherwise
// stay barred for everyone. A closed port is left as it is.
void closeModuleLine(QSerialPort &port);

// What a lost line is reported as: after a hang-up the error number the
// library holds is stale ("Inappropriate ioctl for device").
QString lostLineReason();
