// SPDX-License-Identifier: MIT
// vev-cli as a script runs it, against vev-sim and pseudo-terminals.

#include "gatewayclient.h"
#include "pseudoterminal.h"
#include "settingsjson.h"
#include "simprocess.h"
#include "spcomm.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &arguments, int timeoutMs = 15000)
{
    QProcess process;
    process.start(QStringLiteral(VEV_CLI_PATH), arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("vev-cli did not finish");
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString stored(const SimProcess &sim)
{
    QString error;
    const auto values = readSettingsFile(sim.statePath(), &error);
    return values ? QString::fromUtf8(QJsonDocument(settingsToJson(*values)).toJson(QJsonDocument::Compact))
                  : error;
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
    QCOMPARE(run.out, QStringLiteral("Gateway 10.0.0.1: acknowledged\nMAC address 02:00:00:00:00:07: acknowledged\n"));
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
    if (run.code == 2) {
        // Only on a computer without any IPv4 address.
        QVERIFY2(run.err.contains(QLatin1String("no IPv4 address")), qPrintable(run.err));
        return;
    }
    QCOMPARE(run.code, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QString ip = lines[0].section(QLatin1Char(' '), 2, 2).chopped(1);
    const QString gateway = lines[1].section(QLatin1Char(' '), 1, 1).chopped(1);
    QVERIFY2(!ip.startsWith(QLatin1String("127.")), qPrintable(ip));
    QCOMPARE(gateway, ip.section(QLatin1Char('.'), 0, 2) + QStringLiteral(".1"));
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
    QTest::qWait(200);
    QVERIFY2(!sim.output().contains(QLatin1String("< ")), qPrintable(sim.output()));
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
    QCOMPARE(run.out, QStringLiteral("Port 80: not acknowledged\n"));
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
                                   "--auto", "--from", "read", "write", "list", "find"})
        QVERIFY2(help.out.contains(QLatin1String(documented)), documented);
    for (int code = 0; code <= 8; ++code)
        QVERIFY2(help.out.contains(QStringLiteral("\n  %1  ").arg(code)), qPrintable(QString::number(code)));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
