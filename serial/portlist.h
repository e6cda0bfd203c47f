#pragma once

#include <QStringList>

// Names of the serial ports the system lists and no process holds open,
// in the order the system reports them.
QStringList freeSerialPorts();
