// SPDX-License-Identifier: MIT
#pragma once

// One conversation with a gateway module over the same serial link and
// command format the window uses, for scripts.

#include "settingsjson.h"
#include "portaccess.h"
#include "spcomm.h"

#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <functional>

class GatewayClient : public QObject
{
    Q_OBJECT

public:
    GatewayClient();

    // Opens the port at 9600 8N1; on failure *reason says why.
    OpenFailure open(const QString &port, QString *reason);
    void close();

    // Sends the four read commands at once and gathers the answer: until all
    // four settings have come, or the module went quiet for a frame window
    // after answering, or timeoutMs passed. std::nullopt when nothing came.
    std::optional<SettingValues> read(int timeoutMs);

    // Sends the settings that hold a value, in the order IP, gateway, port,
    // MAC, one second apart, and waits up to timeoutMs after the last for
    // their acknowledgements. Returns which settings were acknowledged.
    std::array<bool, allSettings.size()> write(const SettingValues &values, int timeoutMs);

    static constexpr int writeSpacingMs = 1000;

private:
    void send(const QString &command);
    // Serves the event loop until done() holds or ms have passed.
    bool waitFor(int ms, const std::function<bool()> &done);

    SPComm m_link;
    QStringList m_frames;
};
