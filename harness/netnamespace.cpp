// SPDX-License-Identifier: MIT
#include "netnamespace.h"

#include <QCoreApplication>
#include <QProcess>

namespace {

constexpr int ipWaitMs = 10000;

} // namespace

NetNamespace::NetNamespace()
{
    // Names and a /24 of this process's own: tests in parallel do not meet.
    const qint64 pid = QCoreApplication::applicationPid();
    m_name = QStringLiteral("vev-test-%1").arg(pid);
    m_link = QStringLiteral("vevh%1").arg(pid % 100000);
    const QString inner = QStringLiteral("vevn%1").arg(pid % 100000);
    m_subnet = QStringLiteral("10.213.%1").arg(pid % 250);
    m_ready = ip({"netns", "add", m_name}) && ip({"link", "add", m_link, "type", "veth", "peer", "name", inner})
              && ip({"link", "set", inner, "netns", m_name})
              && ip({"addr", "add", outerAddress() + QStringLiteral("/24"), "dev", m_link})
              && ip({"link", "set", m_link, "up"})
              && ip({"-n", m_name, "addr", "add", innerAddress() + QStringLiteral("/24"), "dev", inner})
              && ip({"-n", m_name, "link", "set", inner, "up"}) && ip({"-n", m_name, "link", "set", "lo", "up"});
}

NetNamespace::~NetNamespace()
{
    // The pair goes with the namespace.
    ip({"link", "del", m_link});
    ip({"netns", "del", m_name});
}

bool NetNamespace::cut()
{
    return ip({"link", "set", m_link, "down"});
}

bool NetNamespace::mend()
{
    return ip({"link", "set", m_link, "up"});
}

bool NetNamespace::ip(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ip"), arguments);
    const bool finished = process.waitForFinished(ipWaitMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("ip %1: %2").arg(arguments.join(QLatin1Char(' ')),
                                                  finished ? QString::fromLocal8Bit(process.readAll()).trimmed()
                                                           : QStringLiteral("did not finish"));
    }
    return false;
}
