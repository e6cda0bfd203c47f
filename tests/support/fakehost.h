// SPDX-License-Identifier: MIT
#pragma once

#include "host/hostenvironment.h"

// The computer as the window sees it, under the test's control.
struct FakeHost {
    QStringList ports;
    QList<QHostAddress> resolved {QHostAddress(QStringLiteral("127.0.1.1")),
                                  QHostAddress(QStringLiteral("192.168.1.20"))};
    QList<HostInterface> interfaces;
    std::optional<DefaultRoute> route;
    int scans = 0;
    std::function<void()> plugged; // what the window does when devices come or go

    HostEnvironment environment()
    {
        HostEnvironment env;
        env.freePorts = [this] { ++scans; return ports; };
        env.localHostName = [] { return QStringLiteral("PC01"); };
        env.lookupHost = [this](const QString &) { return resolved; };
        env.interfaces = [this] { return interfaces; };
        env.defaultRoute = [this] { return route; };
        env.watchPorts = [this](QObject *, std::function<void()> changed) { plugged = std::move(changed); };
        return env;
    }
};
