// SPDX-License-Identifier: MIT
#pragma once

// What the window asks of the computer it runs on: the free serial ports and
// its own network identity. Tests hand in their own answers.

#include <QHostAddress>
#include <QObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct HostInterface {
    QString name;
    bool up = false;
    bool running = false; // has carrier: a cable, a peer, a joined network
    bool loopback = false;
    QList<QHostAddress> addresses;
};

// The route to everywhere else: the interface it leaves by and the router.
struct DefaultRoute {
    QString interface;
    QString gateway;
};

struct HostEnvironment {
    std::function<QStringList()> freePorts;
    std::function<QString()> localHostName;
    // Blocks until the system's name resolution answers.
    std::function<QList<QHostAddress>(const QString &)> lookupHost;
    std::function<QList<HostInterface>()> interfaces;
    // The IPv4 default route with the lowest metric, if the system has one.
    std::function<std::optional<DefaultRoute>()> defaultRoute;
    // Calls changed whenever serial devices may have come or gone, for as
    // long as owner lives.
    std::function<void(QObject *owner, std::function<void()> changed)> watchPorts;

    static HostEnvironment system();
};

// The computer's own IPv4 addresses in dotted form. On Linux the host name
// often resolves to 127.0.0.1 or 127.0.1.1 alone, which is of no use to a
// module on the LAN: loopback addresses are skipped, and when the lookup
// leaves nothing the addresses of the interfaces that are up are used.
QStringList localIpv4Addresses(const HostEnvironment &env, const QString &hostName);

// The address Auto mode works from, its gateway, and how it was chosen:
// the interface that carries the default route, with that route's gateway;
// else the first interface that is up and has carrier; else the first
// address the computer's name resolves to. The gateway is the ".1" of the
// address's network unless a default route names the real one.
struct AutoSource {
    QString ip;
    QString gateway;
    QString how; // for the log: "eth0, default route via 10.0.0.254"
};
std::optional<AutoSource> chooseAutoSource(const HostEnvironment &env, const QStringList &resolved);

// The IPv4 default route in a routing table as Linux shows it in
// /proc/net/route; the one with the lowest metric.
std::optional<DefaultRoute> parseRouteTable(const QByteArray &table);
