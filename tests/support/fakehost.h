#pragma once

#include "hostenvironment.h"

// The computer as the window sees it, under the test's control.
struct FakeHost {
    QStringList ports;
    QList<QHostAddress> resolved {QHostAddress(QStringLiteral("127.0.1.1")),
                                  QHostAddress(QStringLiteral("192.168.1.20"))};
    QList<QHostAddress> interfaces;
    int scans = 0;

    HostEnvironment environment()
    {
        HostEnvironment env;
        env.freePorts = [this] { ++scans; return ports; };
        env.localHostName = [] { return QStringLiteral("PC01"); };
        env.lookupHost = [this](const QString &) { return resolved; };
        env.interfaceAddresses = [this] { return interfaces; };
        return env;
    }
};
