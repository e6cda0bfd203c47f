// SPDX-License-Identifier: MIT
// The reference for vev-cli's wall times: a process that opens the port at
// the module's line settings and exits, and does nothing else.

#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(QSerialPort::Baud9600);
    return port.open(QIODevice::ReadWrite) ? 0 : 1;
}
