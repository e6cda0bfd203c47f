// SPDX-License-Identifier: MIT
// The computer's own address as Auto mode finds it, looked up for real on a
// computer with several networks. Runs in a network namespace of its own
// (see tests/CMakeLists.txt), where it makes its interfaces and routes.
// Also the host's signals as the programs see them.

#include "host/hostenvironment.h"
#include "host/signalwatch.h"
#include "protocol/values.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

class TestHost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void autoFollowsTheRoutedNetwork();
    void stopSignalsOnTheWayOut();

private:
    // Runs "ip ARGS..." and fails the test if it does not succeed.
    static bool ip(const QString &arguments);
    static std::optional<AutoSource> lookUp();
};

bool TestHost::ip(const QString &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments.split(QLatin1Char(' ')));
    if (!process.waitForFinished(5000) || process.exitCode() != 0) {
        qWarning("ip %s: %s", qPrintable(arguments), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

std::optional<AutoSource> TestHost::lookUp()
{
    const HostEnvironment host = HostEnvironment::system();
    return chooseAutoSource(host, localIpv4Addresses(host, host.localHostName()));
}

void TestHost::initTestCase()
{
    // Alone in a fresh namespace there is only a loopback interface that is
    // down; anything else means the test is not isolated and must not touch
    // the machine's own network.
    const auto interfaces = HostEnvironment::system().interfaces();
    QVERIFY2(interfaces.size() == 1 && interfaces.first().loopback,
             "run me in a network namespace of my own: unshare --net tst_host");
    QVERIFY(ip(QStringLiteral("link set lo up")));
}

void TestHost::autoFollowsTheRoutedNetwork()
{
    // A container bridge first, up with an address but no carrier, as
    // docker0 is once its containers have stopped (its one port's far end
    // is down); then two cabled networks.
    QVERIFY(ip(QStringLiteral("link add br0 type bridge")));
    QVERIFY(ip(QStringLiteral("addr add 172.17.0.1/16 dev br0")));
    QVERIFY(ip(QStringLiteral("link set br0 up")));
    QVERIFY(ip(QStringLiteral("link add veth0 type veth peer name veth0peer")));
    QVERIFY(ip(QStringLiteral("link set veth0 master br0")));
    QVERIFY(ip(QStringLiteral("link set veth0 up")));
    QVERIFY(ip(QStringLiteral("link add lan0 type veth peer name lan0peer")));
    QVERIFY(ip(QStringLiteral("addr add 10.9.0.5/24 dev lan0")));
    QVERIFY(ip(QStringLiteral("link add wlan0 type veth peer name wlan0peer")));
    QVERIFY(ip(QStringLiteral("addr add 10.20.0.7/24 dev wlan0")));
    for (const char *link : {"lan0", "lan0peer", "wlan0", "wlan0peer"})
        QVERIFY(ip(QStringLiteral("link set %1 up").arg(QLatin1String(link))));

    // No default route: the first interface with carrier, not the bridge
    // (nor the last address found).
    QTRY_COMPARE(lookUp().value_or(AutoSource {}).ip, QStringLiteral("10.9.0.5"));
    QCOMPARE(lookUp()->gateway, QStringLiteral("10.9.0.1"));

    // The default route decides, and names the real router.
    QVERIFY(ip(QStringLiteral("route add default via 10.20.0.254 dev wlan0")));
    auto source = lookUp();
    QVERIFY(source);
    QCOMPARE(source->ip, QStringLiteral("10.20.0.7"));
    QCOMPARE(source->gateway, QStringLiteral("10.20.0.254"));
    QCOMPARE(source->how, QStringLiteral("wlan0, default route via 10.20.0.254"));
    const AutoAddress derived = deriveAutoAddress(source->ip, source->gateway);
    QCOMPARE(derived.ip, QStringLiteral("10.20.0.8"));
    QCOMPARE(derived.gateway, QStringLiteral("10.20.0.254"));

    // A computer at .254 of the routed network: Auto would hit broadcast.
    QVERIFY(ip(QStringLiteral("addr flush dev wlan0")));
    QVERIFY(ip(QStringLiteral("addr add 10.20.0.254/24 dev wlan0")));
    QVERIFY(ip(QStringLiteral("route add default via 10.20.0.1 dev wlan0")));
    source = lookUp();
    QVERIFY(source);
    QCOMPARE(source->ip, QStringLiteral("10.20.0.254"));
    QVERIFY(deriveAutoAddress(source->ip, source->gateway).error.contains(QLatin1String("broadcast address")));
}

QTEST_GUILESS_MAIN(TestHost)
// A Ctrl-C reaches the loop as a Qt signal; one that comes after the watch
// is gone (the program has finished and is on its way out) must not kill
// it and turn its exit code into a crash.
void TestHost::stopSignalsOnTheWayOut()
{
    auto *watch = new SignalWatch({SIGINT, SIGTERM});
    QSignalSpy caught(watch, &SignalWatch::caught);
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_COMPARE(caught.size(), 1);
    QCOMPARE(caught.first().first().toInt(), SIGTERM);
    delete watch;
    QCOMPARE(::raise(SIGINT), 0);
    QCOMPARE(::raise(SIGTERM), 0);
    QCoreApplication::processEvents();
}

#include "tst_host.moc"
