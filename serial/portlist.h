// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QStringList>

// The serial ports the system lists and no process holds open, in the
// order the system reports them.
QList<QSerialPortInfo> freeSerialPortInfos();
QStringList freeSerialPorts(); // their names, listed cheaply (see serialPortNames)

// The names of the serial ports the system has ("ttyUSB0"), busy or not,
// the same ones the serial library lists but without its descriptions.
QStringList serialPortNames();

// Whether a process holds the port open, by the UUCP lock file that the
// serial library (ours and others') leaves while a port is open. A lock
// the serial library would take as stale does not count.
// portName may be a name the system lists or a device path.
bool isPortBusy(const QString &portName);
