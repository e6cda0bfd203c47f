// SPDX-License-Identifier: MIT
#include "modulecommands.h"

#include "client/gatewayclient.h"
#include "serial/portlist.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSerialPortInfo>

#include <memory>
#include <vector>

namespace cli {

namespace {

// A client on the port, or nothing when it does not open (said on stderr).
// It belongs to the application and goes once its request has ended.
GatewayClient *openClient(const QString &port, ExitCode *code)
{
    auto *client = new GatewayClient(QCoreApplication::instance());
    QString reason;
    const OpenFailure failure = client->open(port, &reason);
    *code = exitCodeFor(failure);
    if (failure != OpenFailure::None) {
        fail(*code, QStringLiteral("cannot open %1: %2").arg(port, reason));
        delete client;
        return nullptr;
    }
    return client;
}

void dispose(GatewayClient *client)
{
    client->close();
    client->deleteLater();
}

ExitCode lostLine(const QString &port, const QString &reason)
{
    return fail(ExitCode::PortError, QStringLiteral("port %1 lost: %2").arg(port, reason));
}

} // namespace

void runRead(const QString &port, std::chrono::milliseconds timeout, bool json, const Done &done)
{
    ExitCode code = ExitCode::Ok;
    auto *client = openClient(port, &code);
    if (!client)
        return done(code);
    QObject::connect(client, &GatewayClient::readFinished, client,
                     [client, port, timeout, json, done](const ReadOutcome &outcome) {
        dispose(client);
        if (outcome.status == ReadOutcome::Lost)
            return done(lostLine(port, outcome.reason));
        if (outcome.status == ReadOutcome::NoAnswer) {
            return done(fail(ExitCode::NoAnswer, outcome.answered
                                           ? QStringLiteral("the module answered, but with no setting")
                                           : QStringLiteral("no answer from the module within %1 ms").arg(timeout.count())));
        }
        if (json) {
            out() << QJsonDocument(settingsToJson(outcome.values)).toJson(QJsonDocument::Indented);
            return done(ExitCode::Ok);
        }
        for (Setting setting : allSettings) {
            const auto &value = valueOf(outcome.values, setting);
            out() << settingInfo(setting).name << ": " << (value ? printable(*value) : QStringLiteral("(not reported)"))
                  << '\n';
        }
        done(ExitCode::Ok);
    });
    client->startRead(timeout);
}

void runWrite(const QString &port, const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
              const Done &done)
{
    ExitCode code = ExitCode::Ok;
    auto *client = openClient(port, &code);
    if (!client)
        return done(code);
    QObject::connect(client, &GatewayClient::writeFinished, client,
                     [client, port, values, verify, done](const WriteOutcome &outcome) {
        dispose(client);
        if (outcome.status == WriteOutcome::Lost)
            return done(lostLine(port, outcome.reason));
        ExitCode result = ExitCode::Ok;
        for (Setting setting : outcome.sent.toList()) {
            const bool acknowledged = outcome.acknowledged.contains(setting);
            out() << settingInfo(setting).name << ' ' << *valueOf(values, setting) << ": "
                  << (acknowledged ? "acknowledged" : "not acknowledged");
            if (verify && outcome.readBack) {
                const auto &back = valueOf(outcome.readBack->values, setting);
                if (!back)
                    out() << ", not read back";
                else if (outcome.differs.contains(setting))
                    out() << ", but reads back \"" << printable(*back) << '"';
                else
                    out() << ", verified";
            }
            out() << '\n';
            if (!acknowledged)
                result = ExitCode::NotAcknowledged;
            else if (outcome.differs.contains(setting) && result == ExitCode::Ok)
                result = ExitCode::ReadBackDiffers;
        }
        done(result);
    });
    client->startWrite(values, timeout, verify);
}

void runFind(const QStringList &extraPorts, std::chrono::milliseconds timeout, const Done &done)
{
    QStringList candidates;
    const auto ports = freeSerialPortInfos();
    for (const QSerialPortInfo &info : ports)
        candidates << info.systemLocation();
    for (const QString &port : extraPorts) {
        if (!candidates.contains(port))
            candidates << port;
    }

    // Every port is asked at once; the answers are listed in port order.
    struct Search {
        QStringList ports;
        std::vector<std::optional<QString>> ips;
        int waiting = 0;
        Done done;
        void finished()
        {
            if (--waiting > 0)
                return;
            int found = 0;
            for (int i = 0; i < ports.size(); ++i) {
                if (ips.at(std::size_t(i))) {
                    out() << ports.at(i) << '\t' << printable(*ips.at(std::size_t(i))) << '\n';
                    ++found;
                }
            }
            done(found > 0 ? ExitCode::Ok : fail(ExitCode::NoAnswer, QStringLiteral("no module answered")));
        }
    };
    auto search = std::make_shared<Search>();
    search->ports = candidates;
    search->ips.resize(std::size_t(candidates.size()));
    search->done = done;
    search->waiting = int(candidates.size()) + 1;
    for (int i = 0; i < candidates.size(); ++i) {
        auto *client = new GatewayClient(QCoreApplication::instance());
        QString reason;
        if (client->open(candidates.at(i), &reason) != OpenFailure::None) {
            err() << "vev-cli: skipping " << candidates.at(i) << ": " << reason << Qt::endl;
            delete client;
            search->finished();
            continue;
        }
        QObject::connect(client, &GatewayClient::readFinished, client,
                         [client, search, i](const ReadOutcome &outcome) {
            dispose(client);
            search->ips[std::size_t(i)] = valueOf(outcome.values, Setting::IpAddress);
            search->finished();
        });
        client->startRead(timeout);
    }
    search->finished();
}

ExitCode runList()
{
    const auto ports = freeSerialPortInfos();
    for (const QSerialPortInfo &info : ports)
        out() << info.systemLocation() << '\t' << printable(info.description()) << '\n';
    return ExitCode::Ok;
}

} // namespace cli
