// SPDX-License-Identifier: MIT
// vev-cli as a script runs it, against vev-sim and pseudo-terminals.

#include "client/gatewayclient.h"
#include "clirun.h"
#include "sim/modulesimulator.h"
#include "plan/auditfile.h"
#include "plan/plan.h"
#include "host/hostenvironment.h"
#include "processusage.h"
#include "productionline.h"
#include "protocol/values.h"
#include "pseudoterminal.h"
#include "rosterfixture.h"
#include "protocol/settingsjson.h"
#include "simprocess.h"
#include "tamper.h"
#include "serial/spcomm.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString stored(const SimProcess &sim)
{
    QString error;
    const auto values = readSettingsFile(sim.statePath(), &error);
    return values ? QString::fromUtf8(QJsonDocument(settingsToJson(*values)).toJson(QJsonDocument::Compact))
                  : error;
}

// Sends `command` to the simulator on a line of the test's own and waits
// until it has logged it: whatever earlier writers put on its line has been
// logged by then, before it.
bool markLine(SimProcess &sim, const QByteArray &command)
{
    const int fd = ::open(QFile::encodeName(sim.devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    termios raw {};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    const QString logged = QStringLiteral("< ") + QString::fromLatin1(command);
    const bool seen = ::write(fd, command.constData(), size_t(command.size())) == ssize_t(command.size())
                      && QTest::qWaitFor([&sim, &logged] { return sim.output().contains(logged); }, 10000);
    ::close(fd);
    return seen;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void readPrintsTheSettings();
    void jsonRoundTrip();
    void writeSendsOnlyWhatIsGiven();
    void writeAutoDerivesFromThisComputer();
    void badValuesAreRefusedBeforeSending_data();
    void badValuesAreRefusedBeforeSending();
    void silentModule();
    void portErrors();
    void openFailureClassification();
    void findListsAnsweringPorts();
    void listAndHelp();
    void modulesOnTheLine_data();
    void modulesOnTheLine();
    void outputAndFileErrors();
    void simulatorFaults();
    void productionLine();
    void stationKnowsItsModules();
    void hardDeathsAreResumed();
    void modulesChangeHands();
    void modulesLoseTheirRows_data();
    void modulesLoseTheirRows();
    void twoLanesOnOneModule();
    void fullDiskStopsTheRun();
    void changedFilesStopTheRun_data();
    void changedFilesStopTheRun();
    void statusBoardFitsTheTerminal();
    void unitsBySerial();
    void rosterGuardsTheLine();
    void badgePromptKeepsTheTerminal();
};

void TestCli::readPrintsTheSettings()
{
    SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));
    const Run run = cli({"--port", sim.devicePath(), "read"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("IP address: 192.168.1.20\nGateway: 192.168.1.1\nPort: 502\n"
                                     "MAC address: AA:BB:CC:DD:EE:FF\n"));
}

void TestCli::jsonRoundTrip()
{
    SimProcess source;
    QVERIFY2(source.isRunning(), qPrintable(source.error()));
    QVERIFY(cli({"--port", source.devicePath(), "write", "--ip", "172.20.1.9", "--tcp-port", "10001"}).code == 0);

    const Run read = cli({"--port", source.devicePath(), "read", "--json"});
    QCOMPARE(read.code, 0);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("module.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(read.out.toUtf8());
    file.close();

    SimProcess target;
    QVERIFY2(target.isRunning(), qPrintable(target.error()));
    const Run write = cli({"--port", target.devicePath(), "write", "--from", file.fileName()});
    QCOMPARE(write.code, 0);
    QCOMPARE(write.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).filter(QStringLiteral(": acknowledged")).size(), 4);

    const Run again = cli({"--port", target.devicePath(), "read", "--json"});
    QCOMPARE(again.code, 0);
    QCOMPARE(QJsonDocument::fromJson(again.out.toUtf8()), QJsonDocument::fromJson(read.out.toUtf8()));
    QCOMPARE(QJsonDocument::fromJson(again.out.toUtf8()).object().value(QStringLiteral("ip")).toString(),
             QStringLiteral("172.20.1.9"));
}

void TestCli::writeSendsOnlyWhatIsGiven()
{
    SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));
    const Run run = cli({"--port", sim.devicePath(), "write", "--mac", "02:00:00:00:00:07", "--gateway", "10.0.0.1"});
    QCOMPARE(run.code, 0);
    // Table order, whatever the order on the command line.
    QCOMPARE(run.out, QStringLiteral("Gateway 10.0.0.1: acknowledged, verified\n"
                                     "MAC address 02:00:00:00:00:07: acknowledged, verified\n"));
    QCOMPARE(stored(sim), QStringLiteral(
        R"({"gateway":"10.0.0.1","ip":"192.168.1.20","mac":"02:00:00:00:00:07","port":"502"})"));
    const QString log = sim.output();
    QVERIFY(!log.contains(QLatin1String("RS:WT")));
    QVERIFY(!log.contains(QLatin1String("RS:WP")));
    // One second apart, like the window.
    QVERIFY(log.indexOf(QLatin1String("< RS:WG")) < log.indexOf(QLatin1String("< RS:WM")));
}

void TestCli::writeAutoDerivesFromThisComputer()
{
    SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));
    const Run run = cli({"--port", sim.devicePath(), "write", "--auto"});
    const HostEnvironment host = HostEnvironment::system();
    const auto source = chooseAutoSource(host, localIpv4Addresses(host, host.localHostName()));
    const AutoAddress derived = source ? deriveAutoAddress(source->ip, source->gateway) : AutoAddress {};
    if (!source || !derived.error.isEmpty()) {
        // Only on a computer without a usable IPv4 address.
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(QLatin1String("Auto mode")), qPrintable(run.err));
        return;
    }
    QCOMPARE(run.code, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QString ip = lines[0].section(QLatin1Char(' '), 2, 2).chopped(1);
    const QString gateway = lines[1].section(QLatin1Char(' '), 1, 1).chopped(1);
    QCOMPARE(ip, derived.ip);
    QCOMPARE(gateway, derived.gateway);
    QVERIFY(stored(sim).contains(QStringLiteral("\"ip\":\"") + ip + QLatin1Char('"')));
}

void TestCli::badValuesAreRefusedBeforeSending_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("named");
    QTest::newRow("ip") << QStringList {"--ip", "10.0.0.256"} << "10.0.0.256";
    QTest::newRow("port, after a good ip") << QStringList {"--ip", "10.0.0.2", "--tcp-port", "70000"} << "70000";
    QTest::newRow("mac") << QStringList {"--mac", "AA:BB"} << "AA:BB";
    QTest::newRow("empty gateway") << QStringList {"--gateway", ""} << "Gateway";
    QTest::newRow("auto and ip") << QStringList {"--auto", "--ip", "10.0.0.2"} << "--auto";
    QTest::newRow("nothing to write") << QStringList {} << "at least one";
    QTest::newRow("loopback gateway") << QStringList {"--gateway", "127.0.0.1"} << "loopback";
    QTest::newRow("group mac") << QStringList {"--mac", "01:00:5e:00:00:01"} << "group address";
    QTest::newRow("ip is the gateway") << QStringList {"--ip", "10.0.0.1", "--gateway", "10.0.0.1"} << "same as the gateway";
    QTest::newRow(".255 without --force") << QStringList {"--ip", "10.0.0.255"} << "--force";
}

void TestCli::badValuesAreRefusedBeforeSending()
{
    QFETCH(QStringList, options);
    QFETCH(QString, named);
    SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));
    const Run run = cli(QStringList {"--port", sim.devicePath(), "write"} + options);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(named), qPrintable(run.err));
    // Nothing reached the module: a command of the test's own, sent once the
    // run has ended, is the first thing it heard.
    QVERIFY(markLine(sim, "RS:RM#"));
    const QString log = sim.output();
    QVERIFY2(log.indexOf(QLatin1String("< ")) == log.indexOf(QLatin1String("< RS:RM#")), qPrintable(log));
}

void TestCli::silentModule()
{
    SimProcess sim({"--silent"});
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));
    Run run = cli({"--port", sim.devicePath(), "--timeout", "800", "read"});
    QCOMPARE(run.code, 3);
    QVERIFY(run.err.contains(QLatin1String("no answer")));
    run = cli({"--port", sim.devicePath(), "--timeout", "800", "write", "--tcp-port", "80"});
    QCOMPARE(run.code, 4);
    QCOMPARE(run.out, QStringLiteral("Port 80: not acknowledged, not read back\n"));
}

void TestCli::portErrors()
{
    Run run = cli({"--port", "/dev/vev-no-such-port", "read"});
    QCOMPARE(run.code, 5);
    QVERIFY(run.err.contains(QLatin1String("/dev/vev-no-such-port")));

    // Another program holds the line.
    PseudoTerminal pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.error()));
    SPComm holder;
    holder.setPortName(pty.devicePath());
    QVERIFY(holder.open());
    run = cli({"--port", pty.devicePath(), "read"});
    QCOMPARE(run.code, 6);
    QVERIFY2(run.err.contains(QLatin1String("in use")), qPrintable(run.err));

    QCOMPARE(cli({"read"}).code, 2);
    QCOMPARE(cli({"--port", pty.devicePath(), "frobnicate"}).code, 2);
    QCOMPARE(cli({"--port", pty.devicePath(), "--timeout", "soon", "read"}).code, 2);
}

void TestCli::openFailureClassification()
{
    // Root is never refused, so a refused permission is checked here.
    QCOMPARE(classifyOpenFailure(QSerialPort::PermissionError, true, false), OpenFailure::PermissionDenied);
    QCOMPARE(classifyOpenFailure(QSerialPort::PermissionError, true, true), OpenFailure::Busy);
    QCOMPARE(classifyOpenFailure(QSerialPort::DeviceNotFoundError, false, false), OpenFailure::NotFound);
    QCOMPARE(classifyOpenFailure(QSerialPort::OpenError, true, true), OpenFailure::Other);
    QCOMPARE(classifyOpenFailure(QSerialPort::NoError, true, true), OpenFailure::None);
}

void TestCli::findListsAnsweringPorts()
{
    SimProcess sim;
    SimProcess silent({"--silent"});
    QVERIFY2(sim.isRunning() && silent.isRunning(), qPrintable(sim.error() + silent.error()));

    Run run = cli({"find", "--timeout", "800", "--port", silent.devicePath(), "--port", sim.devicePath()});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(sim.devicePath() + QStringLiteral("\t192.168.1.20\n")), qPrintable(run.out));
    QVERIFY(!run.out.contains(silent.devicePath()));

    run = cli({"find", "--timeout", "800", "--port", silent.devicePath()}, 60000);
    QVERIFY2(!run.out.contains(silent.devicePath()), qPrintable(run.out));
}

void TestCli::listAndHelp()
{
    const Run list = cli({"list"});
    QCOMPARE(list.code, 0);
    QVERIFY(list.err.isEmpty());

    const Run help = cli({"--help"});
    QCOMPARE(help.code, 0);
    for (const char *documented : {"--port", "--timeout", "--json", "--ip", "--gateway", "--tcp-port", "--mac",
                                   "--auto", "--from", "--force", "--no-verify", "read", "write", "list", "find"})
        QVERIFY2(help.out.contains(QLatin1String(documented)), documented);
    for (int code = 0; code <= 9; ++code)
        QVERIFY2(help.out.contains(QStringLiteral("\n  %1  ").arg(code)), qPrintable(QString::number(code)));
}

// A module on the line, and what vev-cli makes of it. The module is vev-sim
// with fault options, or is played here byte by byte on a pseudo-terminal:
// "<N" waits for N bytes from vev-cli, ">text" sends.
void TestCli::modulesOnTheLine_data()
{
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QStringList>("played");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // in stdout or stderr

    const QStringList read {"read"};
    const QString all = QStringLiteral("IP address: 192.168.1.20\nGateway: 192.168.1.1\nPort: 502\n"
                                       "MAC address: AA:BB:CC:DD:EE:FF\n");
    QTest::newRow("paced at 300 baud") << QStringList {"--line-rate", "300"} << QStringList {} << read << 0 << all;
    QTest::newRow("hang-up during a read") << QStringList {"--hangup-after", "1"} << QStringList {} << read << 8
                                           << "lost: the device was disconnected or hung up";
    QTest::newRow("hang-up during a write")
        << QStringList {"--hangup-after", "2"} << QStringList {}
        << QStringList {"write", "--ip", "10.0.0.2", "--gateway", "10.0.0.1", "--tcp-port", "80"} << 8 << "lost:";
    QTest::newRow("a value it cannot store is refused")
        << QStringList {"--state", "/nonexistent/state.json"} << QStringList {}
        << QStringList {"write", "--tcp-port", "80"} << 4 << "Port 80: not acknowledged, but reads back \"502\"";
    QTest::newRow("acknowledged but kept") << QStringList {"--ignore-writes"} << QStringList {}
                                           << QStringList {"write", "--mac", "02:00:00:00:00:09"} << 9
                                           << "MAC address 02:00:00:00:00:09: acknowledged, but reads back \"AA:BB:CC:DD:EE:FF\"";
    QTest::newRow("a refusal is no answer") << QStringList {} << QStringList {"<24", ">ERR unknown command\r\n"}
                                            << read << 3 << "with no setting";
    QTest::newRow("echoed commands are no answer") << QStringList {} << QStringList {"<24", ">RS:RT#RS:RG#RS:RP#RS:RM#"}
                                                   << read << 3 << "with no setting";
    QTest::newRow("device text is escaped") << QStringList {}
        << QStringList {"<24", ">RS:RT1-2-3-4\nGateway: 6-6-6-6\x1b[2J#RS:RP5#"} << QStringList {"--timeout", "500", "read"}
        << 0 << "IP address: 1.2.3.4\\x0aGateway: 6.6.6.6\\x1b[2J\n";
}

void TestCli::modulesOnTheLine()
{
    QFETCH(QStringList, sim);
    QFETCH(QStringList, played);
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, expected);

    std::unique_ptr<SimProcess> simulator;
    PseudoTerminal pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.error()));
    QString port = pty.devicePath();
    if (played.isEmpty()) {
        simulator = std::make_unique<SimProcess>(sim);
        QVERIFY2(simulator->isRunning(), qPrintable(simulator->error()));
        port = simulator->devicePath();
    }
    QProcess process;
    process.start(QStringLiteral(VEV_CLI_PATH), QStringList {"--port", port} + arguments);
    for (const QString &step : std::as_const(played)) {
        if (step.startsWith(QLatin1Char('<')))
            QCOMPARE(pty.receive(step.mid(1).toInt(), 3000).size(), step.mid(1).toInt());
        else if (step.startsWith(QLatin1Char('>')))
            pty.send(step.mid(1).toLatin1());
    }
    const Run run = finished(process);
    const QString said = run.out + run.err;
    QVERIFY2(said.contains(expected), qPrintable(said));
    QCOMPARE(run.code, code);
    QVERIFY2(!run.err.contains(QLatin1String("QIODevice")), qPrintable(run.err)); // no raw Qt warnings
}

void TestCli::outputAndFileErrors()
{
    SimProcess sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.error()));

    // A full disk is a failure, not an empty success.
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    full.start(QStringLiteral(VEV_CLI_PATH), {"--port", sim.devicePath(), "read", "--json"});
    const Run onFull = finished(full);
    QCOMPARE(onFull.code, 1);
    QVERIFY2(onFull.err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(onFull.err));

    // Settings come from a regular file of a sensible size only.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &from : {QStringLiteral("/dev/zero"), fifo}) {
        const Run run = cli({"--port", sim.devicePath(), "write", "--from", from}, 5000);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("not a regular file")), qPrintable(run.err));
    }

    // A module flooding us through a long write: each byte costs the same
    // however much came before it, and nothing is hoarded (a client that
    // kept every frame held the whole flood and rescanned it). Measured as
    // growth in one process, the flood's late stretch against its early
    // one, so that neither the processor nor other work on the machine moves
    // the bound: what the client holds grows by far less than the flood
    // between them, and a byte late costs under three times one early (a
    // busy machine moves the two apart by half that at most, a client that
    // rescanned what it held by more). The flood comes in writes of
    // some kilobytes: in bytes at a time, how a busy machine cut it into
    // reads would be most of what a byte costs.
    PseudoTerminal pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.error()));
    QProcess flooded;
    // Four unacknowledged settings: four of the module's pauses of flood.
    flooded.start(QStringLiteral(VEV_CLI_PATH), {"--port", pty.devicePath(), "--timeout", "1000", "write", "--no-verify",
                                                 "--ip", "10.0.0.2", "--gateway", "10.0.0.1", "--tcp-port", "80",
                                                 "--mac", "02:00:00:00:00:01"});
    QVERIFY(flooded.waitForStarted());
    pty.startFlood(QByteArray("RS:RTeth Gatew").repeated(300));
    struct Sample {
        qint64 cpuMs;
        qint64 bytes;
        qint64 residentKiB;
    };
    QList<Sample> samples;
    // Taken as the client's writes arrive: the early stretch is the first
    // of the module's pauses (past the start-up), the late one the third,
    // and the client is still running after it.
    QByteArray heard;
    for (const char *command : {"RS:WT", "RS:WG", "RS:WP", "RS:WM"}) {
        QElapsedTimer waited;
        waited.start();
        while (!heard.contains(command) && waited.elapsed() < 10000)
            heard += pty.receive(1, 10);
        QVERIFY2(heard.contains(command), heard.constData());
        samples << Sample {processCpuMs(flooded.processId()), pty.floodedSoFar(), residentKiB(flooded.processId())};
    }
    const Run run = finished(flooded);
    const qint64 bytes = pty.stopFlood();
    QCOMPARE(run.code, 4);
    QVERIFY2(flooded.error() != QProcess::Crashed && samples.last().cpuMs >= 0, "the write ended before the flood did");
    const auto nsPerByte = [&samples](int from) {
        const Sample &a = samples.at(from);
        const Sample &b = samples.at(from + 1);
        return double(b.cpuMs - a.cpuMs) * 1e6 / double(std::max<qint64>(b.bytes - a.bytes, 1));
    };
    const qint64 floodBetween = samples.last().bytes - samples.first().bytes;
    const qint64 heldBetween = (samples.last().residentKiB - samples.first().residentKiB) * 1024;
    const QString figures = QStringLiteral("%1 ns of CPU a byte early, %2 late, over %3 bytes; resident grew by %4 "
                                           "bytes while %5 came")
                                .arg(nsPerByte(0)).arg(nsPerByte(2)).arg(bytes).arg(heldBetween).arg(floodBetween);
    QVERIFY2(nsPerByte(2) < 3 * std::max(nsPerByte(0), 1.0), qPrintable(figures));
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory aside; elsewhere the client
    // stays far below the flood.
    // (A megabyte for the allocator's own ways, should a very busy machine
    // let little flood through.)
    QVERIFY2(heldBetween < std::max<qint64>(floodBetween / 2, 1024 * 1024), qPrintable(figures));
    rusage usage {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    QVERIFY2(usage.ru_maxrss < 64 * 1024 || qint64(usage.ru_maxrss) * 1024 < bytes,
             qPrintable(QStringLiteral("%1 KiB at most, for %2 bytes").arg(usage.ru_maxrss).arg(bytes)));
#endif
    qDebug("%s", qPrintable(figures));
}

void TestCli::simulatorFaults()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyVEV"));
    const auto sim = [](const QStringList &arguments) {
        QProcess process;
        process.start(QStringLiteral(VEV_SIM_PATH), arguments);
        return finished(process, 5000);
    };

    // A second simulator does not take over a live link, nor remove it.
    SimProcess first({"--link", link});
    QVERIFY2(first.isRunning(), qPrintable(first.error()));
    const Run second = sim({"--link", link});
    QVERIFY2(second.code != 0 && second.err.contains(QLatin1String("live device")), qPrintable(second.err));
    QCOMPARE(QFile::symLinkTarget(link), first.devicePath());
    QCOMPARE(cli({"--port", link, "read"}).code, 0);

    // Bad command lines and states are usage errors; a regular file is no line.
    QFile state(dir.filePath(QStringLiteral("state.json")));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(R"({"port": "hello#RS"})");
    state.close();
    QCOMPARE(sim({"--no-such-option"}).code, 2);
    QCOMPARE(sim({"extra"}).code, 2);
    QCOMPARE(sim({"--state", state.fileName()}).code, 2);
    const Run device = sim({"--device", state.fileName()});
    QVERIFY2(device.code != 0 && device.err.contains(QLatin1String("not a serial device")), qPrintable(device.err));

    // A client that floods it and never reads does not make it hoard answers.
    SimProcess flooded;
    QVERIFY2(flooded.isRunning(), qPrintable(flooded.error()));
    const int fd = ::open(QFile::encodeName(flooded.devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios raw {};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    // A fixed amount, however fast the machine: written whenever the line
    // takes more, the simulator's log read meanwhile so that it never waits
    // on us.
    const QByteArray commands = QByteArray("RS:RT#").repeated(1000);
    constexpr qint64 floodBytes = 2000 * 1000;
    qint64 taken = 0;
    QElapsedTimer clock;
    clock.start();
    while (taken < floodBytes && clock.elapsed() < 60000) {
        QCoreApplication::processEvents();
        pollfd room {fd, POLLOUT, 0};
        if (::poll(&room, 1, 5) <= 0)
            continue;
        const ssize_t n = ::write(fd, commands.constData(), size_t(commands.size()));
        if (n > 0)
            taken += n;
    }
    const qint64 resident = residentKiB(flooded.pid());
    ::close(fd);
    QVERIFY2(taken >= floodBytes, qPrintable(QStringLiteral("%1 bytes taken").arg(taken)));
    QVERIFY(resident > 0);
#ifndef __SANITIZE_ADDRESS__
    // (AddressSanitizer's shadow and quarantine would be all this measures.)
    QVERIFY2(resident < 64 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(resident)));
#endif
}

void TestCli::productionLine()
{
    // Two lanes of two modules each; the second line's modules acknowledge
    // their writes and keep their old values.
    SimProcess honest({"--line", "2", "--off-after", "100", "--plug-gap", "200"});
    SimProcess lying({"--line", "2", "--off-after", "100", "--plug-gap", "200", "--ignore-writes"});
    QVERIFY2(honest.isRunning() && lying.isRunning(), qPrintable(honest.error() + lying.error()));
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), "mac,ip,gateway,tcp_port\n"
        "02:00:00:00:10:01,10.0.5.21,10.0.5.1,502\n02:00:00:00:10:02,10.0.5.22,10.0.5.1,502\n"
        "02:00:00:00:10:03,10.0.5.23,10.0.5.1,502\n02:00:00:00:10:04,10.0.5.24,10.0.5.1,502\n");
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));

    Run run = cli(provision(plan, audit, {"--port", honest.devicePath(), "--port", lying.devicePath()}), 30000);
    QCOMPARE(run.code, 9);
    QVERIFY2(run.out.contains(QLatin1String("Plan used up: 2 passed, 2 failed this run; 0 rows left, 2 in doubt")),
             qPrintable(run.out));
    QCOMPARE(run.out.count(QRegularExpression(QStringLiteral("^PASS row \\d on "), QRegularExpression::MultilineOption)), 2);
    QCOMPARE(run.out.count(QStringLiteral("FAIL row %1 on %2 (fail: IP address reads back \"192.168.1.20\" instead of")
                               .arg(run.out.contains(QLatin1String("FAIL row 1")) ? 1 : 2).arg(lying.devicePath())), 1);
    // Each lane's final status, once.
    QCOMPARE(run.out.count(honest.devicePath() + QStringLiteral(": plan used up")), 1);

    run = cli({"audit-verify", audit});
    QCOMPARE(run.code, 0);
    const QRegularExpressionMatch intact = QRegularExpression(
        QStringLiteral("^(.*): 8 lines, chain intact, last hash ([0-9a-f]{64})\n$")).match(run.out);
    QVERIFY2(intact.hasMatch() && intact.captured(1) == audit, qPrintable(run.out));
    QCOMPARE(cli({"audit-verify", audit, "--last", intact.captured(2)}).code, 0);
    // A line of a kind a later version writes is chained and counted, not
    // refused: this version still verifies the audit and appends to it.
    const QString grown = dir.filePath(QStringLiteral("grown.jsonl"));
    QVERIFY(QFile::copy(audit, grown));
    QFile later(grown);
    QVERIFY(later.open(QIODevice::Append));
    later.write("{\"kind\":\"recall\",\"prev\":\"" + intact.captured(2).toLatin1() + "\",\"station\":\"bench-1\","
                "\"time\":\"2026-12-08T03:00:00.000Z\",\"version\":\"9.0.0\"}\n");
    later.close();
    run = cli({"audit-verify", grown});
    QVERIFY2(run.code == 0 && run.out.contains(QLatin1String(": 9 lines, chain intact, last hash "))
                 && run.out.endsWith(QLatin1String("; 1 of kinds this version does not know, skipped\n")),
             qPrintable(run.out + run.err));
    QVERIFY(changeByte(audit, "\"row\":", 6, '7'));
    run = cli({"audit-verify", audit});
    QCOMPARE(run.code, 10);
    QVERIFY2(run.err.contains(QLatin1String("line 2:")), qPrintable(run.err));
    // Nothing is appended to a broken trail.
    run = cli(provision(plan, audit, {"--port", honest.devicePath()}));
    QCOMPARE(run.code, 10);

    // SIGHUP (the terminal closed, the SSH session dropped) as SIGTERM: the
    // module in hand is finished and recorded.
    SimProcess module({"--delay", "100"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    const QString stopped = dir.filePath(QStringLiteral("stopped.jsonl"));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH), provision(plan, stopped, {"--port", module.devicePath()}));
    QTRY_VERIFY_WITH_TIMEOUT(module.output().contains(QLatin1String("< RS:WT")), 10000);
    sendSignal(station, SIGHUP);
    run = finished(station, 10000);
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QLatin1String("Done: 1 passed, 0 failed this run; 3 rows left")), qPrintable(run.out));
    QCOMPARE(auditKinds(stopped), (QStringList {"claim 1", "outcome 1 pass"}));

    // With --once, a lane that sees no module in time says so.
    SimProcess empty({"--silent"});
    QVERIFY2(empty.isRunning(), qPrintable(empty.error()));
    run = cli(provision(plan, dir.filePath(QStringLiteral("other.jsonl")), {"--once", "--timeout", "500", "--port", empty.devicePath()}));
    QCOMPARE(run.code, 3);
    QVERIFY2(run.out.contains(QLatin1String("no module within 500 ms")), qPrintable(run.out));
}

void TestCli::stationKnowsItsModules()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan3);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));

    // A slow module left on the bench is written once, however long it
    // stays: it answers within --timeout (with room for a loaded machine),
    // so it is never taken for gone.
    constexpr int timeoutMs = 1500;
    SimProcess slow({"--delay", "400"});
    QVERIFY2(slow.isRunning(), qPrintable(slow.error()));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH),
                  provision(plan, audit, {"--timeout", QString::number(timeoutMs), "--port", slow.devicePath()}));
    QByteArray shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("PASS row 1 "), 30000);
    // It stays, passed, for twice the time without a byte that would mean
    // it is gone: a fixed span on purpose, as what is checked is that
    // nothing is written in it.
    QTest::qWait(2 * timeoutMs);
    station.terminate();
    Run run = finished(station);
    QCOMPARE(run.code, 0);
    QCOMPARE(slow.output().count(QLatin1String("< RS:WT")), 1);
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 pass"}));

    // Left there for the next run, it is refused and nothing is sent.
    run = cli(provision(plan, audit, {"--once", "--timeout", "1000", "--port", slow.devicePath()}));
    QVERIFY2(run.code == 11, qPrintable(run.out + run.err + slow.output().right(3000)));
    QVERIFY2(run.out.contains(QLatin1String("already holds row 1 (10.0.5.21 10.0.5.1 502 02:00:00:00:10:01)")),
             qPrintable(run.out));
    QCOMPARE(slow.output().count(QLatin1String("< RS:W")), 4);

    // One run at a time on a plan or an audit, the holder named.
    SimProcess silent({"--silent"});
    QVERIFY2(silent.isRunning(), qPrintable(silent.error()));
    QProcess holder;
    holder.start(QStringLiteral(VEV_CLI_PATH), provision(plan, audit, {"--port", silent.devicePath()}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(audit + QStringLiteral(".lock")), 5000);
    const QString other = writeFile(dir, QStringLiteral("other.csv"), plan3);
    // By whatever path reaches the files, and with the notes beside them gone.
    const QString planLink = dir.filePath(QStringLiteral("plan-link.csv"));
    const QString auditLink = dir.filePath(QStringLiteral("audit-link.jsonl"));
    QVERIFY(QFile::link(plan, planLink));
    QCOMPARE(::link(QFile::encodeName(audit).constData(), QFile::encodeName(auditLink).constData()), 0);
    const QString heldBy = QStringLiteral("vev-cli, process %1 on ").arg(holder.processId());
    for (const bool noted : {true, false}) {
        if (!noted)
            QVERIFY(QFile::remove(plan + QStringLiteral(".lock")) && QFile::remove(audit + QStringLiteral(".lock")));
        for (const QStringList &files : {QStringList {other, audit}, QStringList {plan, dir.filePath(QStringLiteral("x.jsonl"))},
                                         QStringList {planLink, dir.filePath(QStringLiteral("y.jsonl"))},
                                         QStringList {other, auditLink}}) {
            run = cli(provision(files.at(0), files.at(1), {"--once", "--port", silent.devicePath()}));
            QCOMPARE(run.code, 12);
            QVERIFY2(run.err.contains(QStringLiteral("held by another run (") + heldBy), qPrintable(run.err));
        }
    }
    run = cli({"plan", "status", "--plan", planLink, "--audit", auditLink});
    QVERIFY2(run.out.contains(QStringLiteral("Held by ") + heldBy), qPrintable(run.out));
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 pass"}));
    holder.terminate();
    QCOMPARE(finished(holder).code, 0);

    // Resume goes by values: a row inserted above the passed one and its MAC
    // respelled leave it done; the next module gets the new row.
    const QString edited = writeFile(dir, QStringLiteral("edited.csv"), QByteArray(plan3)
        .replace("mac\n", "mac\n10.0.5.30,10.0.5.1,502,02:00:00:00:10:30\n").replace("02:00:00:00:10:01", "02-00-00-00-10-01"));
    SimProcess fresh;
    QVERIFY2(fresh.isRunning(), qPrintable(fresh.error()));
    run = cli(provision(edited, audit, {"--once", "--port", fresh.devicePath()}));
    QCOMPARE(run.code, 0);
    QVERIFY2(stored(fresh).contains(QLatin1String("\"ip\":\"10.0.5.30\"")), qPrintable(stored(fresh)));
    QCOMPARE(auditKinds(audit).mid(2), (QStringList {"claim 1", "outcome 1 pass"}));
}

// Modules that carry parts of rows: one swapped for the next in the middle
// of its writes, and a plan that gives out the modules' factory IP. Each
// half of a row is finished or written over, never taken for the whole.
void TestCli::modulesChangeHands()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan4);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    SimProcess swapped({"--line", "3", "--swap-after-writes", "2"});
    QVERIFY2(swapped.isRunning(), qPrintable(swapped.error()));
    Run run = cli(provision(plan, audit, {"--once", "--port", swapped.devicePath()}), 30000);
    QCOMPARE(run.code, 9);
    // IP and gateway on the first module, port and MAC on the second.
    const QStringList halves = modulesLeft(swapped.output());
    QVERIFY2(halves.size() == 1 && halves.first() == QLatin1String("10.0.5.21 10.0.5.1 502 02:56:45:00:00:01"),
             qPrintable(halves.join(QLatin1Char('|'))));
    const Run second = cli({"--port", swapped.devicePath(), "read"});
    QVERIFY2(second.out.contains(QLatin1String("IP address: 192.168.1.20")) && second.out.contains(QLatin1String("02:00:00:00:10:01")),
             qPrintable(second.out));
    // They come back. The first carries row 1's written settings and its
    // own otherwise, but the rest of row 1 is on the second: it gets nothing
    // while that is so. The second, whose read-back the audit holds, gets a
    // fresh row over all four; after that the first finishes row 1.
    const auto comeBack = [&](const QString &settings, const char *row) {
        QFile state(dir.filePath(QStringLiteral("state.json")));
        const QStringList values = settings.split(QLatin1Char(' '));
        if (!state.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write the state");
        state.write(QStringLiteral("{\"ip\":\"%1\",\"gateway\":\"%2\",\"port\":\"%3\",\"mac\":\"%4\"}")
                        .arg(values.value(0), values.value(1), values.value(2), values.value(3)).toLatin1());
        state.close();
        SimProcess module({"--state", state.fileName()});
        const Run back = cli(provision(plan, audit, {"--once", "--port", module.devicePath()}), 30000);
        return back.code == 0 && back.out.contains(QLatin1String(row)) ? QString() : back.out + back.err;
    };
    QVERIFY(comeBack(halves.first(), "PASS row 1 ").contains(QLatin1String("whose other part is on another module")));
    QCOMPARE(comeBack(QStringLiteral("192.168.1.20 192.168.1.1 502 02:00:00:00:10:01"), "PASS row 2 "), QString());
    QCOMPARE(comeBack(halves.first(), "PASS row 1 "), QString());
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 fail", "claim 2", "outcome 2 pass", "claim 1",
                                              "outcome 1 pass"}));

    // The factory IP in the plan: every fresh module carries a passed row's
    // IP and gets the next row over it, its claim saying so.
    const QString factoryPlan = writeFile(dir, QStringLiteral("factory.csv"), QByteArray(plan3).replace("10.0.5.21", "192.168.1.20"));
    const QString factoryAudit = dir.filePath(QStringLiteral("factory.jsonl"));
    SimProcess line({"--line", "3", "--off-after", "100", "--plug-gap", "100"});
    QVERIFY2(line.isRunning(), qPrintable(line.error()));
    run = cli(provision(factoryPlan, factoryAudit, {"--port", line.devicePath()}), 30000);
    QVERIFY2(run.code == 0 && run.out.contains(QLatin1String("Plan used up: 3 passed")), qPrintable(run.out + run.err));
    int partOf = 0;
    verifyAudit(factoryAudit, [&](const AuditRecord &record, int) {
        if (const auto *claim = std::get_if<ClaimRecord>(&record.body))
            partOf += claim->partOf;
    });
    QCOMPARE(partOf, 2); // the second and third modules each carried row 1's IP
    // (The last is taken off a moment after the run has ended.)
    QString left;
    QTRY_COMPARE_WITH_TIMEOUT(modulesLeft(left = line.output()).size(), 3, 10000);
    QCOMPARE(modulesLeft(left), (QStringList {"192.168.1.20 10.0.5.1 502 02:00:00:00:10:01",
                                                       "10.0.5.22 10.0.5.1 502 02:00:00:00:10:02",
                                                       "10.0.5.23 10.0.5.1 502 02:00:00:00:10:03"}));
}

// A module seen without its row after it passed: a twin with the same
// factory MAC put on faster than the line falls silent, or the module
// itself going back to its factory settings. The station cannot tell which:
// the row is in doubt again, and the lane says to set both aside.
void TestCli::modulesLoseTheirRows_data()
{
    QTest::addColumn<QStringList>("line");
    QTest::newRow("twins sharing a factory MAC")
        << QStringList {"--line", "2", "--shared-mac", "02:11:22:33:44:55", "--off-after", "100", "--plug-gap", "100"};
    QTest::newRow("a module that goes back") << QStringList {"--line", "1", "--revert-after", "300", "--off-after", "600000"};
}

void TestCli::modulesLoseTheirRows()
{
    QFETCH(QStringList, line);
    SimProcess module(line);
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QTemporaryDir dir;
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH), provision(writeFile(dir, QStringLiteral("plan.csv"), plan3), audit,
                                                          {"--timeout", "1500", "--port", module.devicePath()}));
    QByteArray shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("the module lost its settings"), 30000);
    sendSignal(station, SIGINT);
    const Run run = finished(station);
    QCOMPARE(run.code, 9);
    QVERIFY2(shown.contains("FAIL row 1: the module lost its settings: set this module aside with the one before it"),
             shown.constData());
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 pass", "lost 1"}));
    // Row 1 is in doubt again, and nothing was written to the module seen.
    QCOMPARE(module.output().count(QLatin1String("< RS:WT")), 1);
    const Run status = cli({"plan", "status", "--plan", dir.filePath(QStringLiteral("plan.csv")), "--audit", audit, "--json"});
    QCOMPARE(QJsonDocument::fromJson(status.out.toUtf8()).object().value(QStringLiteral("failed")).toInt(), 1);
}

// A Y cable: one module on two lanes, its answers reaching the second
// later. A lane that hears answers it did not ask for stops and says the
// wiring is wrong; at most one lane ever writes the module, one row.
void TestCli::twoLanesOnOneModule()
{
    SimProcess module({"--line", "1", "--second-leg", "50", "--off-after", "600000"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    const QString secondLeg = module.output().section(QLatin1String("(second leg on "), 1).section(QLatin1Char(')'), 0, 0);
    QVERIFY2(secondLeg.startsWith(QLatin1String("/dev/")), qPrintable(module.output()));
    QTemporaryDir dir;
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH), provision(writeFile(dir, QStringLiteral("plan.csv"), plan3), audit,
                                                          {"--port", module.devicePath(), "--port", secondLeg}));
    QByteArray shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("answers came that this lane did not ask for"),
                             30000);
    sendSignal(station, SIGINT);
    const Run run = finished(station);
    QVERIFY2(run.code == 8, qPrintable(QString::number(run.code) + QLatin1Char(' ') + run.err));
    QVERIFY2(QString::fromLocal8Bit(shown).count(QRegularExpression(QStringLiteral("^PASS row"), QRegularExpression::MultilineOption)) <= 1,
             shown.constData());
    const QString heard = module.output();
    QVERIFY2(heard.count(QLatin1String("< RS:WT")) <= 1, qPrintable(shown + heard));
    QVERIFY2(auditKinds(audit).filter(QStringLiteral("claim")).size() <= 1, qPrintable(auditKinds(audit).join(QLatin1Char(' '))));
}

void TestCli::hardDeathsAreResumed()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan3);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));

    // Killed with the first value of its row on the module.
    SimProcess module({"--delay", "300"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH), provision(plan, audit, {"--port", module.devicePath()}));
    QTRY_VERIFY_WITH_TIMEOUT(module.output().contains(QLatin1String("< RS:WT10-0-5-21#")), 10000);
    station.kill();
    station.waitForFinished();

    // The audit knows which row may be on a module, and what it was before.
    Run run = cli({"plan", "status", "--plan", plan, "--audit", audit, "--json"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, QString());
    const QJsonObject status = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(status.value(QStringLiteral("claimed")).toInt(), 1);
    QCOMPARE(status.value(QStringLiteral("open")).toInt(), 2);
    QVERIFY(status.value(QStringLiteral("held_by")).isNull());
    const QJsonObject doubt = status.value(QStringLiteral("in_doubt")).toArray().first().toObject();
    QCOMPARE(doubt.value(QStringLiteral("row")).toInt(), 1);
    QCOMPARE(doubt.value(QStringLiteral("before")).toObject().value(QStringLiteral("mac")).toString(),
             QStringLiteral("AA:BB:CC:DD:EE:FF"));

    // Another module with the same factory settings gets the next row; the
    // module carrying row 1 (its IP) gets row 1 finished.
    SimProcess other;
    QVERIFY2(other.isRunning(), qPrintable(other.error()));
    run = cli(provision(plan, audit, {"--once", "--port", other.devicePath()}));
    QCOMPARE(run.code, 0);
    QVERIFY2(stored(other).contains(QLatin1String("\"ip\":\"10.0.5.22\"")), qPrintable(stored(other)));
    run = cli(provision(plan, audit, {"--once", "--port", module.devicePath()}));
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QLatin1String("finishing row 1 (10.0.5.21 10.0.5.1 502 02:00:00:00:10:01), which was in doubt")),
             qPrintable(run.out));
    QVERIFY2(stored(module).contains(QLatin1String("\"mac\":\"02:00:00:00:10:01\"")), qPrintable(stored(module)));

    // A failed row waits for the operator: released once, and only once.
    SimProcess liar({"--ignore-writes"});
    QVERIFY2(liar.isRunning(), qPrintable(liar.error()));
    QCOMPARE(cli(provision(plan, audit, {"--once", "--port", liar.devicePath()})).code, 9);
    run = cli({"plan", "release", "--plan", plan, "--audit", audit, "--row", "3", "--operator", "Bo"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringLiteral("Row 3 (10.0.5.23 10.0.5.1 502 02:00:00:00:10:03) released: it goes back to the plan.\n"));
    run = cli({"plan", "release", "--plan", plan, "--audit", audit, "--row", "3"});
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(QLatin1String("row 3 is open, not in doubt")), qPrintable(run.err));
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "claim 2", "outcome 2 pass", "claim 1", "outcome 1 pass",
                                              "claim 3", "outcome 3 fail", "release 3"}));
    QFile file(audit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().trimmed().split('\n').last().contains("\"operator\":\"Bo\""));
}

void TestCli::fullDiskStopsTheRun()
{
    // The audit on a filesystem of its own that fills up in the middle of a
    // module: the claim fits in the audit's last block, its outcome does not
    // (one block is left for the lock file).
    SimProcess module;
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan3);
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("disk")));
    // A mount namespace of its own, with a tmpfs in it: as root, or in a user
    // namespace. A system that allows neither (a chroot, whose root is no
    // mount point; user namespaces turned off) skips the test.
    const QStringList unshare = ::geteuid() == 0 ? QStringList {"-m"} : QStringList {"-r", "-m"};
    QProcess probe;
    probe.start(QStringLiteral("unshare"), unshare + QStringList {"sh", "-c", "mount -t tmpfs vev-probe \"$1\"", "sh",
                                                                  dir.filePath(QStringLiteral("disk"))});
    if (const Run tried = finished(probe); tried.code != 0)
        QSKIP(qPrintable(QStringLiteral("no filesystem of the test's own here: ") + tried.err.trimmed()));
    constexpr int block = 4096;
    QString error;
    const auto rows = readPlan(plan, &error);
    QVERIFY2(rows, qPrintable(error));
    const AuditRecord claim {QStringLiteral("2026-01-01T00:00:00.000Z"), QStringLiteral("bench-1"), {}, {},
                             ClaimRecord {1, module.devicePath(), ModuleSimulator::defaultSettings(), rows->first().values, false}};
    AuditRecord padding {claim.time, claim.station, {}, {}, ReleaseRecord {9, {}, {}}};
    const int room = block - 16 - int(auditLine(claim, firstPrev).size() + 1) - int(auditLine(padding, firstPrev).size() + 1);
    std::get<ReleaseRecord>(padding.body).reason = QString(room, QLatin1Char('x'));
    const QByteArray start = auditLine(padding, firstPrev) + '\n';
    const QString before = writeFile(dir, QStringLiteral("start.jsonl"), start);
    const QString after = dir.filePath(QStringLiteral("after.jsonl"));

    const QString script = QStringLiteral(
        "set -e; mount -t tmpfs -o size=16k vev-full \"$1\"; cp \"$2\" \"$1/audit.jsonl\"; "
        "head -c 4096 /dev/zero > \"$1/spare\"; cat /dev/zero > \"$1/filler\" 2>/dev/null || true; "
        "rm \"$1/spare\"; set +e; "
        "\"$3\" provision --station bench-1 --plan \"$4\" --audit \"$1/audit.jsonl\" --port \"$5\"; code=$?; "
        "cp \"$1/audit.jsonl\" \"$6\"; exit $code");
    QProcess process;
    process.start(QStringLiteral("unshare"), unshare + QStringList {"sh", "-c", script, "sh", dir.filePath(QStringLiteral("disk")), before, VEV_CLI_PATH, plan,
                       module.devicePath(), after});
    const Run run = finished(process);
    QVERIFY2(QFileInfo::exists(after), qPrintable(run.err));
    QCOMPARE(run.code, 1);
    // The reason, and which module and row are in doubt; not counted.
    QVERIFY2(run.err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(run.err));
    QVERIFY2(run.out.contains(QLatin1String("PASS row 1 (10.0.5.21 10.0.5.1 502 02:00:00:00:10:01) on the module with MAC "
                                            "AA:BB:CC:DD:EE:FF could not be recorded")), qPrintable(run.out));
    QVERIFY2(run.out.contains(QLatin1String("Done: 0 passed")), qPrintable(run.out));
    // Cut back to its last whole line: the claim, which keeps the row in doubt.
    QCOMPARE(verifyAudit(after).lines, 2);
    QCOMPARE(auditKinds(after).last(), QStringLiteral("claim 1"));
    const Run status = cli({"plan", "status", "--plan", plan, "--audit", after});
    QVERIFY2(status.out.contains(QLatin1String("claimed  1")), qPrintable(status.out));
}

void TestCli::changedFilesStopTheRun_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("said");

    QTest::newRow("saved over by rename") << "rename" << " was replaced: its name now leads to another file";
    QTest::newRow("truncated") << "truncate" << " was truncated: it has 0 bytes, where this run left ";
    QTest::newRow("grown by another writer") << "grow" << " was grown by another writer: it has ";
}

void TestCli::changedFilesStopTheRun()
{
    QFETCH(QString, change);
    QFETCH(QString, said);
    // Each answer comes 2 s late: once the row is written and its read-back
    // asked for, the lane has nothing to send for that long, and the change
    // is seen within a fraction of it.
    SimProcess module({"--delay", "2000"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan3);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    QProcess station;
    station.start(QStringLiteral(VEV_CLI_PATH), provision(plan, audit, {"--timeout", "5000", "--port", module.devicePath()}));
    const auto readBackStart = [&module] {
        const QString log = module.output();
        const int written = log.indexOf(QLatin1String("< RS:WM"));
        const int asked = written < 0 ? -1 : log.indexOf(QLatin1String("< RS:RM#"), written);
        return asked < 0 ? -1 : asked + 8;
    };
    QTRY_VERIFY_WITH_TIMEOUT(readBackStart() > 0, 30000);
    QFile file(audit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray claimed = file.readAll();
    file.close();
    if (change == QLatin1String("rename")) {
        const QString saved = writeFile(dir, QStringLiteral("audit.jsonl~"), claimed);
        QCOMPARE(::rename(QFile::encodeName(saved).constData(), QFile::encodeName(audit).constData()), 0);
    } else if (change == QLatin1String("truncate")) {
        QVERIFY(file.resize(0));
    } else {
        QVERIFY(file.open(QIODevice::Append) && file.write("{}\n") == 3);
        file.close();
    }
    Run run = finished(station, 30000);
    QCOMPARE(run.code, 16);
    QVERIFY2(run.err.contains(QStringLiteral("vev-cli: the audit ") + audit + said), qPrintable(run.err));
    // Not another command once the change was seen: after the read-back's,
    // only the test's own mark.
    const int start = readBackStart();
    QVERIFY(markLine(module, "RS:RT#"));
    QCOMPARE(module.output().mid(start).count(QLatin1String("< ")), 1);

    // The module in hand, kept beside the audit as aborted, its settings before.
    const QRegularExpressionMatch kept = QRegularExpression(
        QStringLiteral("kept in (\\S+): once the audit is sound again, add it with vev-cli audit import --plan \\S+ --audit "))
        .match(run.err);
    QVERIFY2(kept.hasMatch() && QFileInfo(kept.captured(1)).absolutePath() == dir.path(), qPrintable(run.err));
    QCOMPARE(auditKinds(kept.captured(1)), QStringList {QStringLiteral("outcome 1 aborted")});
    QFile keptFile(kept.captured(1));
    QVERIFY(keptFile.open(QIODevice::ReadOnly) && keptFile.readAll().contains("\"before\":{\"gateway\":\"192.168.1.1\","
                                                                               "\"ip\":\"192.168.1.20\",\"mac\":\"AA:BB:CC:DD:EE:FF\""));

    // The audit restored, the kept outcome settles its row: in doubt as a
    // failure for the operator, no longer a claim; only once.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(claimed) == claimed.size());
    file.close();
    const QStringList import {"audit", "import", "--plan", plan, "--audit", audit, kept.captured(1)};
    run = cli(import);
    QVERIFY2(run.code == 0 && run.out.startsWith(QLatin1String("1 records of ")), qPrintable(run.out + run.err));
    run = cli(import);
    QVERIFY2(run.out.endsWith(QLatin1String("; 1 were there already.\n")), qPrintable(run.out + run.err));
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 aborted"}));
    QCOMPARE(cli({"audit-verify", audit}).code, 0);
    run = cli({"plan", "status", "--plan", plan, "--audit", audit, "--json"});
    const QJsonObject status = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(QStringLiteral("%1 %2").arg(status.value(QStringLiteral("claimed")).toInt()).arg(status.value(QStringLiteral("failed")).toInt()),
             QStringLiteral("0 1"));
}

void TestCli::statusBoardFitsTheTerminal()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("a-serial-line-with-a-long-name-on-the-bench"));
    SimProcess line({"--line", "2", "--off-after", "50", "--plug-gap", "50", "--link", link});
    QVERIFY2(line.isRunning(), qPrintable(line.error()));
    PseudoTerminal terminal;
    QVERIFY2(terminal.isValid(), qPrintable(terminal.error()));
    terminal.setWindowSize(60, 24);
    terminal.startRecording();
    QProcess station;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    station.setProcessEnvironment(environment);
    station.setStandardOutputFile(terminal.devicePath());
    // Three rows for two modules: the run waits for a third until it is told
    // to stop, so the resize always comes while the board is up.
    station.start(QStringLiteral(VEV_CLI_PATH),
                  provision(writeFile(dir, QStringLiteral("plan.csv"), plan3), dir.filePath(QStringLiteral("audit.jsonl")),
                            {"--port", link}));
    QTRY_VERIFY_WITH_TIMEOUT(terminal.recorded().contains("PASS row 1"), 10000);
    terminal.setWindowSize(30, 24);
    sendSignal(station, SIGWINCH);
    const auto boardLines = [&terminal] {
        const QString shown = QString::fromUtf8(terminal.recorded())
                                  .remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;]*[A-Za-z]|\r")));
        return shown.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^/")));
    };
    QTRY_VERIFY_WITH_TIMEOUT(!boardLines().isEmpty() && boardLines().last().size() == 29, 10000);
    station.terminate();
    QCOMPARE(finished(station).code, 0);
    QTRY_VERIFY_WITH_TIMEOUT(terminal.recorded().contains("Done: "), 10000);
    const QStringList board = boardLines();
    QVERIFY(board.size() >= 2);
    for (const QString &lane : board)
        QVERIFY2(lane.size() <= 59, qPrintable(lane));
    // After the resize: cut to the new width, with an ellipsis.
    QCOMPARE(board.last().size(), 29);
    QVERIFY2(board.last().endsWith(QChar(0x2026)), qPrintable(board.last()));
}

void TestCli::rosterGuardsTheLine()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan3);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const QString rosterFile = roster::writeRoster(dir);
    const QStringList withRoster {"--roster", rosterFile};
    QByteArray said; // everything vev-cli printed, searched for codes at the end
    const auto run = [&said](const QStringList &arguments, const QByteArray &badge) {
        const Run result = cliWithInput(arguments, badge + '\n');
        said += result.out.toUtf8() + result.err.toUtf8();
        return result;
    };

    // A stranger's code starts nothing; an operator's starts the run, and
    // every line names them.
    SimProcess module({"--ignore-writes"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    const QStringList once = provision(plan, audit, QStringList {"--once", "--port", module.devicePath()} + withRoster);
    Run result = run(once, roster::strangerCode);
    QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("sign-in refused: the badge code is not on the roster")),
             qPrintable(result.err));
    QVERIFY(!QFile::exists(audit));
    QCOMPARE(run(once + QStringList {"--operator", "Eve"}, roster::operatorCode).code, 2);
    result = run(once, roster::operatorCode);
    QVERIFY2(result.code == 9 && result.err.contains(QLatin1String("Signed in: Ana Lima (ana, operator)")),
             qPrintable(result.out + result.err));

    // Releasing the failed row and a new shift take a supervisor's badge,
    // from stdin or from a file of the owner's alone.
    const QStringList release {"plan", "release", "--plan", plan, "--audit", audit, "--row", "1"};
    const QStringList shift {"shift", "start", "--plan", plan, "--audit", audit, "--name", "night"};
    for (const QStringList &command : {release, shift}) {
        result = run(command + withRoster, roster::operatorCode);
        QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("Ana Lima (ana) is an operator;"))
                     && result.err.contains(QLatin1String("needs a supervisor's badge")), qPrintable(result.err));
    }
    const QString badge = writeFile(dir, QStringLiteral("badge"), roster::supervisorCode + "\r\n");
    QFile::setPermissions(badge, QFile::ReadOwner | QFile::ReadGroup);
    result = run(release + withRoster + QStringList {"--badge-file", badge}, {});
    QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("chmod 600")), qPrintable(result.err));
    QFile::setPermissions(badge, QFile::ReadOwner);
    result = run(release + withRoster + QStringList {"--badge-file", badge}, {});
    QVERIFY2(result.code == 0 && result.out.contains(QLatin1String("Row 1")), qPrintable(result.out + result.err));
    result = run(shift + withRoster, roster::supervisorCode);
    QVERIFY2(result.code == 0 && result.out.contains(QLatin1String("Shift night starts")), qPrintable(result.out + result.err));
    // Without a roster, a shift is anyone's to start, as a release is.
    QCOMPARE(run(shift + QStringList {"--operator", "Bo"}, {}).code, 0);

    QCOMPARE(auditKinds(audit), (QStringList {"claim 1", "outcome 1 fail", "release 1", "shift 0", "shift 0"}));
    QList<AuditRecord> records;
    verifyAudit(audit, [&records](const AuditRecord &record, int) { records << record; });
    QCOMPARE(records.size(), 5);
    for (int i : {0, 1})
        QCOMPARE(records.at(i).operatorId + ' ' + records.at(i).operatorName, QStringLiteral("ana Ana Lima"));
    const auto &released = std::get<ReleaseRecord>(records.at(2).body);
    QCOMPARE(released.supervisorId + ' ' + released.supervisor, QStringLiteral("sam Sam Okoro"));
    QCOMPARE(records.at(3).operatorId, QStringLiteral("sam"));
    QCOMPARE(std::get<ShiftRecord>(records.at(3).body).name, QStringLiteral("night"));
    QCOMPARE(records.at(4).operatorId + records.at(4).operatorName, QStringLiteral("Bo"));

    // No code anywhere: not in the audit, not in what was printed.
    QFile file(audit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(roster::codeIn(file.readAll()), QString());
    QCOMPARE(roster::codeIn(said), QString());
}

// A code typed on a terminal is not echoed, and the terminal gets its echo
// back however the prompt ends, Ctrl-C included.
void TestCli::badgePromptKeepsTheTerminal()
{
    QTemporaryDir dir;
    const QStringList shift {"shift", "start", "--plan", writeFile(dir, QStringLiteral("plan.csv"), plan3), "--audit",
                             dir.filePath(QStringLiteral("audit.jsonl")), "--roster", roster::writeRoster(dir)};
    PseudoTerminal terminal;
    QVERIFY2(terminal.isValid(), qPrintable(terminal.error()));
    {
        const int fd = ::open(QFile::encodeName(terminal.devicePath()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios typing = terminal.lineSettings();
        typing.c_lflag |= ECHO | ICANON;
        QCOMPARE(::tcsetattr(fd, TCSANOW, &typing), 0);
        ::close(fd);
    }
    terminal.startRecording();
    for (const bool interrupted : {true, false}) {
        QProcess prompt;
        prompt.setStandardInputFile(terminal.devicePath());
        prompt.setStandardErrorFile(terminal.devicePath());
        prompt.start(QStringLiteral(VEV_CLI_PATH), shift);
        QTRY_VERIFY_WITH_TIMEOUT(terminal.recorded().count("Supervisor's badge for starting a new shift:") == (interrupted ? 1 : 2),
                                 10000);
        QVERIFY(!(terminal.lineSettings().c_lflag & ECHO));
        if (interrupted) {
            sendSignal(prompt, SIGINT);
            QCOMPARE(finished(prompt).code, -2);
        } else {
            terminal.send(roster::supervisorCode + '\n');
            const Run run = finished(prompt);
            QVERIFY2(run.code == 0 && run.out.startsWith(QLatin1String("A new shift starts")), qPrintable(run.out));
        }
        QVERIFY(terminal.lineSettings().c_lflag & ECHO);
    }
    QTRY_VERIFY_WITH_TIMEOUT(terminal.recorded().contains("Signed in: Sam Okoro"), 10000);
    QCOMPARE(roster::codeIn(terminal.recorded()), QString());
}

QTEST_GUILESS_MAIN(TestCli)
// Serials come from a scanner on a serial line, one code a line; a unit is
// written only once its serial is in, gets one row, and goes to rework
// after its attempts.
void TestCli::unitsBySerial()
{
    QTemporaryDir dir;
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan4);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    PseudoTerminal scanner;
    QVERIFY2(scanner.isValid(), qPrintable(scanner.error()));
    const auto start = [&](QProcess &station, const SimProcess &line, const QStringList &more) {
        station.start(QStringLiteral(VEV_CLI_PATH),
                      provision(plan, audit, QStringList {"--port", line.devicePath(), "--serial", "required",
                                                          "--serial-pattern", "SN-[0-9]+", "--scanner",
                                                          line.devicePath() + QLatin1Char('=') + scanner.devicePath()}
                                                 + more));
    };
    QByteArray shown;
    QByteArray said;
    const auto waitFor = [&](QProcess &station, const char *text, int count = 1) {
        QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).count(text) >= count, 30000);
    };

    SimProcess line({"--line", "2", "--off-after", "100", "--plug-gap", "200"});
    QVERIFY2(line.isRunning(), qPrintable(line.error()));
    QProcess station;
    start(station, line, {});
    waitFor(station, "a module is on: scan its serial");
    // Nothing is written before the serial is in; a code the pattern refuses is said.
    scanner.send("SN-1 \r\nBAD-2\r\n");
    QTRY_VERIFY_WITH_TIMEOUT((said += station.readAllStandardError()).contains(
                                 "scan \"BAD-2\" refused: the serial \"BAD-2\" does not match the pattern SN-[0-9]+"), 10000);
    waitFor(station, "PASS row 1: take the module off [serial SN-1]");
    waitFor(station, "a module is on: scan its serial", 2);
    // The next unit scanned with the first's serial: one unit, one row.
    scanner.send("SN-1\n");
    waitFor(station, "CONFLICT: serial SN-1 already passed with row 1");
    scanner.send("SN-22\n");
    waitFor(station, "PASS row 2: take the module off [serial SN-22]");
    station.terminate();
    Run run = finished(station, 30000);
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QCOMPARE(auditKinds(audit), (QStringList {"claim 1 SN-1", "outcome 1 pass SN-1 #1", "claim 2 SN-22",
                                              "outcome 2 pass SN-22 #1"}));

    // A unit that fails goes to rework after its attempts, and comes back
    // counted from its rework.
    SimProcess lying({"--ignore-writes", "--off-after", "100"});
    QVERIFY2(lying.isRunning(), qPrintable(lying.error()));
    start(station, lying, {"--max-attempts", "1"});
    waitFor(station, "a module is on: scan its serial", 3);
    scanner.send("SN-7\n");
    waitFor(station, "FAIL row 3");
    scanner.send("SN-7\n"); // put back on
    waitFor(station, "send to rework: the unit has had 1 attempts (--max-attempts 1)");
    station.terminate();
    run = finished(station);
    QVERIFY2(run.code == 9, qPrintable(run.out + run.err));
    run = cli({"rework", "--plan", plan, "--audit", audit, "--serial", "SN-7", "--code", "readback-mismatch-ip",
               "--note", "reflowed"});
    QVERIFY2(run.code == 0 && run.out.contains(QLatin1String("with serial SN-7 is back from rework")), qPrintable(run.out + run.err));
    QCOMPARE(cli({"rework", "--plan", plan, "--audit", audit, "--serial", "SN-7", "--code", "melted"}).code, 2);
    start(station, lying, {"--max-attempts", "1", "--once"});
    waitFor(station, "a module is on: scan its serial", 4);
    scanner.send("SN-7\n");
    run = finished(station, 30000);
    QVERIFY2(run.code == 9, qPrintable(run.out + run.err));
    QCOMPARE(auditKinds(audit).mid(4), (QStringList {"claim 3 SN-7", "outcome 3 fail SN-7 #1", "rework 0 SN-7",
                                                     "claim 4 SN-7", "outcome 4 fail SN-7 #1"}));
}

#include "tst_cli.moc"
