#include "hostenvironment.h"

#include "portlist.h"

#include <QHostInfo>
#include <QNetworkInterface>

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

QList<QHostAddress> upInterfaceAddresses()
{
    QList<QHostAddress> addresses;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries)
            addresses.append(entry.ip());
    }
    return addresses;
}

} // namespace

HostEnvironment HostEnvironment::system()
{
    HostEnvironment env;
    env.freePorts = freeSerialPorts;
    env.localHostName = QHostInfo::localHostName;
    env.lookupHost = [](const QString &name) { return QHostInfo::fromName(name).addresses(); };
    env.interfaceAddresses = upInterfaceAddresses;
    return env;
}

QStringList localIpv4Addresses(const HostEnvironment &env, const QString &hostName)
{
    const QStringList resolved = usableIpv4(env.lookupHost(hostName));
    if (!resolved.isEmpty())
        return resolved;
    return usableIpv4(env.interfaceAddresses());
}
