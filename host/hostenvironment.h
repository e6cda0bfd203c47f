#pragma once

// What the window asks of the computer it runs on: the free serial ports and
// its own network identity. Tests hand in their own answers.

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct HostEnvironment {
    std::function<QStringList()> freePorts;
    std::function<QString()> localHostName;
    // Blocks until the system's name resolution answers.
    std::function<QList<QHostAddress>(const QString &)> lookupHost;
    // Addresses of the network interfaces that are up and not loopback.
    std::function<QList<QHostAddress>()> interfaceAddresses;

    static HostEnvironment system();
};

// The computer's own IPv4 addresses in dotted form. On Linux the host name
// often resolves to 127.0.0.1 or 127.0.1.1 alone, which is of no use to a
// module on the LAN: loopback addresses are skipped, and when the lookup
// leaves nothing the interfaces' addresses are used instead.
QStringList localIpv4Addresses(const HostEnvironment &env, const QString &hostName);
