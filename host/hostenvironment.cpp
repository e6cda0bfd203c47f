// SPDX-License-Identifier: MIT
#include "host/hostenvironment.h"

#include "serial/portlist.h"
#include "protocol/values.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QtEndian>

#include <limits>

namespace {

QStringList usableIpv4(const QList<QHostAddress> &addresses)
{
    QStringList dotted;
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            dotted.append(address.toString());
    }
    return dotted;
}

QList<HostInterface> systemInterfaces()
{
    QList<HostInterface> list;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        HostInterface host;
        host.name = interface.name();
        const auto flags = interface.flags();
        host.up = flags.testFlag(QNetworkInterface::IsUp);
        host.running = flags.testFlag(QNetworkInterface::IsRunning);
        host.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            host.addresses.append(entry.ip());
        list.append(host);
    }
    return list;
}

std::optional<DefaultRoute> systemDefaultRoute()
{
    // Linux only; elsewhere Auto falls back to the first connected interface.
    QFile table(QStringLiteral("/proc/net/route"));
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseRouteTable(table.readAll());
}

} // namespace

HostEnvironment HostEnvironment::system()
{
    HostEnvironment env;
    env.freePorts = freeSerialPorts;
    env.localHostName = QHostInfo::localHostName;
    env.lookupHost = [](const QString &name) { return QHostInfo::fromName(name).addresses(); };
    env.interfaces = systemInterfaces;
    env.defaultRoute = systemDefaultRoute;
    env.watchPorts = [](QObject *owner, std::function<void()> changed) {
        // Device nodes appear in and vanish from /dev as adapters come and go.
        auto *watcher = new QFileSystemWatcher({QStringLiteral("/dev")}, owner);
        QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, owner, [changed] { changed(); });
    };
    return env;
}

QStringList localIpv4Addresses(const HostEnvironment &env, const QString &hostName)
{
    const QStringList resolved = usableIpv4(env.lookupHost(hostName));
    if (!resolved.isEmpty())
        return resolved;
    QList<QHostAddress> addresses;
    const auto interfaces = env.interfaces();
    for (const HostInterface &interface : interfaces) {
        if (interface.up && !interface.loopback)
            addresses += interface.addresses;
    }
    return usableIpv4(addresses);
}

std::optional<AutoSource> chooseAutoSource(const HostEnvironment &env, const QStringList &resolved)
{
    const auto interfaces = env.interfaces();
    if (const auto route = env.defaultRoute()) {
        for (const HostInterface &interface : interfaces) {
            const QStringList own = usableIpv4(interface.addresses);
            if (interface.name == route->interface && !own.isEmpty()) {
                return AutoSource {own.first(), route->gateway,
                                   QStringLiteral("%1, default route via %2").arg(interface.name, route->gateway)};
            }
        }
    }
    for (const HostInterface &interface : interfaces) {
        const QStringList own = usableIpv4(interface.addresses);
        if (interface.up && interface.running && !interface.loopback && !own.isEmpty()) {
            return AutoSource {own.first(), gatewayFor(own.first()),
                               QStringLiteral("%1, the first connected interface; no default route").arg(interface.name)};
        }
    }
    if (!resolved.isEmpty()) {
        return AutoSource {resolved.first(), gatewayFor(resolved.first()),
                           QStringLiteral("the computer's name; no connected interface")};
    }
    return std::nullopt;
}

std::optional<DefaultRoute> parseRouteTable(const QByteArray &table)
{
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ...; addresses
    // in hex as the kernel holds them in memory (network byte order).
    constexpr unsigned routeUp = 0x1;
    constexpr unsigned routeViaGateway = 0x2;
    std::optional<DefaultRoute> best;
    uint bestMetric = std::numeric_limits<uint>::max();
    const QList<QByteArray> lines = table.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines.at(i).simplified().split(' ');
        if (f.size() < 8)
            continue;
        bool ok = false;
        const uint flags = f.at(3).toUInt(&ok, 16);
        const quint32 gateway = f.at(2).toUInt(nullptr, 16);
        const uint metric = f.at(6).toUInt();
        if (!ok || f.at(1) != "00000000" || f.at(7) != "00000000" || (flags & routeUp) == 0
            || (flags & routeViaGateway) == 0 || metric >= bestMetric)
            continue;
        bestMetric = metric;
        best = DefaultRoute {QString::fromLatin1(f.at(0)), QHostAddress(qFromBigEndian(gateway)).toString()};
    }
    return best;
}
