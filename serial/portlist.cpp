#include "portlist.h"

#include <QSerialPortInfo>

QStringList freeSerialPorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (!info.isBusy())
            names.append(info.portName());
    }
    return names;
}
