// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A network namespace of the test's own, joined to this one by a pair of
// virtual Ethernet links: a server started inside it is reached over real
// TCP, and taking the link down here drops every packet between the two
// (no reset, no answer), as a pulled cable or a dead bench does. Needs
// root; removed, with its link, at the end.
class NetNamespace
{
public:
    NetNamespace();
    ~NetNamespace();
    NetNamespace(const NetNamespace &) = delete;
    NetNamespace &operator=(const NetNamespace &) = delete;

    bool isReady() const { return m_ready; }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    // The address inside the namespace, and this side's.
    QString innerAddress() const { return m_subnet + QStringLiteral(".1"); }
    QString outerAddress() const { return m_subnet + QStringLiteral(".2"); }

    // The link down (every packet dropped) or up again.
    bool cut();
    bool mend();

private:
    bool ip(const QStringList &arguments);

    QString m_name;
    QString m_link; // this side's end of the pair
    QString m_subnet;
    bool m_ready = false;
    QString m_error;
};
