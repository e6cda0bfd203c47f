// SPDX-License-Identifier: MIT
#include "commands.h"

#include "client/gatewayclient.h"
#include "serial/portlist.h"
#include "station/station.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(int code, const QString &message)
{
    err() << "vev-cli: " << message << Qt::endl;
    return code;
}

QString printable(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\')
            shown += QStringLiteral("\\\\");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

int finishOutput(int code)
{
    out().flush();
    // The stream writes through its own device, which keeps the reason of a
    // failed write; what is left in stdio's buffer reports through errno.
    QString why;
    if (out().status() != QTextStream::Ok) {
        why = out().device() ? out().device()->errorString() : QString();
        if (why.isEmpty())
            why = QStringLiteral("write error");
    }
    errno = 0;
    if (why.isEmpty() && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        why = errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("write error");
    if (!why.isEmpty())
        return fail(Failure, QStringLiteral("cannot write the output: %1").arg(why));
    return code;
}

namespace {

// A client on the port, or nothing when it does not open (said on stderr).
// It belongs to the application and goes once its request has ended.
GatewayClient *openClient(const QString &port, int *code)
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

int lostLine(const QString &port, const QString &reason)
{
    return fail(PortError, QStringLiteral("port %1 lost: %2").arg(port, reason));
}

} // namespace

void runRead(const QString &port, std::chrono::milliseconds timeout, bool json, const Done &done)
{
    int code = Ok;
    auto *client = openClient(port, &code);
    if (!client)
        return done(code);
    QObject::connect(client, &GatewayClient::readFinished, client,
                     [client, port, timeout, json, done](const ReadOutcome &outcome) {
        dispose(client);
        if (outcome.status == ReadOutcome::Lost)
            return done(lostLine(port, outcome.reason));
        if (outcome.status == ReadOutcome::NoAnswer) {
            return done(fail(NoAnswer, outcome.answered
                                           ? QStringLiteral("the module answered, but with no setting")
                                           : QStringLiteral("no answer from the module within %1 ms").arg(timeout.count())));
        }
        if (json) {
            out() << QJsonDocument(settingsToJson(outcome.values)).toJson(QJsonDocument::Indented);
            return done(Ok);
        }
        for (Setting setting : allSettings) {
            const auto &value = valueOf(outcome.values, setting);
            out() << settingInfo(setting).name << ": " << (value ? printable(*value) : QStringLiteral("(not reported)"))
                  << '\n';
        }
        done(Ok);
    });
    client->startRead(timeout);
}

void runWrite(const QString &port, const SettingValues &values, std::chrono::milliseconds timeout, bool verify,
              const Done &done)
{
    int code = Ok;
    auto *client = openClient(port, &code);
    if (!client)
        return done(code);
    QObject::connect(client, &GatewayClient::writeFinished, client,
                     [client, port, values, verify, done](const WriteOutcome &outcome) {
        dispose(client);
        if (outcome.status == WriteOutcome::Lost)
            return done(lostLine(port, outcome.reason));
        int result = Ok;
        for (Setting setting : outcome.sent.toList()) {
            const bool acknowledged = outcome.acknowledged.contains(setting);
            out() << settingInfo(setting).name << ' ' << *valueOf(values, setting) << ": "
                  << (acknowledged ? "acknowledged" : "not acknowledged");
            if (verify && outcome.readBack) {
                const auto &back = valueOf(outcome.readBack->values, setting);
                if (!back)
                    out() << ", not read back";
                else if (outcome.differs.contains(setting))
                    out() << ", but reads back " << printable(*back);
                else
                    out() << ", verified";
            }
            out() << '\n';
            if (!acknowledged)
                result = NotAcknowledged;
            else if (outcome.differs.contains(setting) && result == Ok)
                result = ReadBackDiffers;
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
            done(found > 0 ? Ok : fail(NoAnswer, QStringLiteral("no module answered")));
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

// --- The provisioning station -------------------------------------------

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

QString rowText(const AuditRecord &record)
{
    QStringList values;
    for (Setting setting : allSettings)
        values << valueOf(record.written, setting).value_or(QString());
    return values.join(QLatin1Char(' '));
}

// Each lane's status on a line of its own: redrawn in place on a terminal,
// printed as it changes otherwise.
class StatusBoard
{
public:
    explicit StatusBoard(const QList<Lane *> &lanes)
        : m_lanes(lanes)
        , m_terminal(::isatty(::fileno(stdout)) == 1)
    {
    }

    void show(Lane *lane, const QString &status)
    {
        if (!m_terminal) {
            out() << lane->port() << ": " << status << '\n';
            out().flush();
            return;
        }
        redraw();
    }

    void print(const QString &line)
    {
        clear();
        out() << line << '\n';
        if (m_terminal)
            redraw();
        out().flush();
    }

    void clear()
    {
        if (m_terminal && m_drawn > 0)
            out() << "\x1b[" << m_drawn << "A\r\x1b[J";
        m_drawn = 0;
    }

private:
    void redraw()
    {
        clear();
        for (Lane *lane : m_lanes)
            out() << lane->port() << ": " << lane->status() << '\n';
        m_drawn = int(m_lanes.size());
        out().flush();
    }

    QList<Lane *> m_lanes;
    bool m_terminal;
    int m_drawn = 0;
};

} // namespace

void runProvision(const Station::Options &options, const Done &done)
{
    auto *station = new Station(options, QCoreApplication::instance());
    QString error;
    int code = Ok;
    if (!station->prepare(&error, &code)) {
        delete station;
        return done(fail(code, error));
    }

    auto board = std::make_shared<StatusBoard>(station->lanes());
    QObject::connect(station, &Station::laneStatus, station,
                     [board](Lane *lane, const QString &status) { board->show(lane, status); });
    QObject::connect(station, &Station::recorded, station, [board](const AuditRecord &record) {
        const bool passed = record.result == QLatin1String("pass");
        board->print(QStringLiteral("%1 row %2 on %3%4: %5")
                         .arg(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
                         .arg(record.row)
                         .arg(record.port, passed ? QString() : QStringLiteral(" (%1)").arg(record.result),
                              rowText(record)));
    });
    QObject::connect(station, &Station::finished, station, [station, board, done](int result) {
        board->clear();
        for (Lane *lane : station->lanes())
            out() << lane->port() << ": " << lane->status() << '\n';
        out() << (station->planUsedUp() ? "Plan used up: " : "Done: ") << station->passed() << " passed, "
              << station->failed() << " failed this run; " << station->rowsLeft() << " rows left\n";
        station->deleteLater();
        done(result);
    });

    // Ctrl-C or kill: the module in hand is finished and recorded first.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, station);
        QObject::connect(notifier, &QSocketNotifier::activated, station, [station, notifier] {
            char byte;
            [[maybe_unused]] const auto ignored = ::read(signalPipe[0], &byte, 1);
            notifier->setEnabled(false);
            err() << "vev-cli: stopping; the modules in hand are finished first" << Qt::endl;
            station->stop();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    station->start();
}

int runAuditVerify(const QString &path)
{
    const AuditCheck check = verifyAudit(path);
    if (check.firstBad == 0 && !check.why.isEmpty())
        return fail(Failure, check.why);
    if (check.firstBad > 0) {
        return fail(AuditBroken, QStringLiteral("%1 line %2: %3 (%4 lines before it check out)")
                                     .arg(path).arg(check.firstBad).arg(check.why).arg(check.lines));
    }
    out() << path << ": " << check.lines << " lines, chain intact\n";
    return Ok;
}
