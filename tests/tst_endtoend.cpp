// SPDX-License-Identifier: MIT
// The real window against a real vev-sim process over a pseudo-terminal.

#include "window/cloudconfigured.h"
#include "modalcatcher.h"
#include "protocol/settingsjson.h"
#include "simprocess.h"
#include "protocol/values.h"
#include "windowdriver.h"

#include <QElapsedTimer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const QStringList simDefaults {"192.168.1.20", "192.168.1.1", "502", "AA:BB:CC:DD:EE:FF"};
const QString fullReply = QStringLiteral("RS:RT192-168-1-20#RS:RG192-168-1-1#RS:RP502#RS:RMAA-BB-CC-DD-EE-FF#");
// Long enough for a frame window and a paced or delayed answer.
constexpr int answerWaitMs = 3000;

QStringList storedSettings(const SimProcess &sim)
{
    QString error;
    const auto values = readSettingsFile(sim.statePath(), &error);
    if (!values)
        return {error};
    QStringList list;
    for (Setting setting : allSettings)
        list << valueOf(*values, setting).value_or(QStringLiteral("<none>"));
    return list;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void connectShowsTheModuleSettings_data();
    void connectShowsTheModuleSettings();
    void manualApplyChangesTheModule();
    void autoApplySendsTheDerivedAddress();
    void silentModuleIsReported();
    void noiseNeitherCrashesNorWedges();

private:
    bool start(const QStringList &simArguments);

    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<ModalCatcher> m_boxes;
    std::unique_ptr<cloudConfigured> m_window;
    std::unique_ptr<WindowDriver> m_ui;
};

bool TestEndToEnd::start(const QStringList &simArguments)
{
    m_sim = std::make_unique<SimProcess>(simArguments);
    if (!m_sim->isRunning()) {
        qWarning("vev-sim did not start: %s", qPrintable(m_sim->error()));
        return false;
    }
    m_boxes = std::make_unique<ModalCatcher>();
    m_window = std::make_unique<cloudConfigured>(); // the computer's own ports and addresses
    m_ui = std::make_unique<WindowDriver>(m_window.get());
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return false;
    if (!m_ui->openPort(m_sim->devicePath())) {
        qWarning("the simulated port did not open: %s", qPrintable(m_ui->logLines().join(QLatin1Char('|'))));
        return false;
    }
    return true;
}

void TestEndToEnd::cleanup()
{
    m_ui.reset();
    m_window.reset();
    m_boxes.reset();
    m_sim.reset();
}

void TestEndToEnd::connectShowsTheModuleSettings_data()
{
    QTest::addColumn<QStringList>("simArguments");
    QTest::newRow("prompt") << QStringList {};
    QTest::newRow("split answers") << QStringList {"--split", "3", "--split-gap", "30"};
    QTest::newRow("paced at 9600 baud") << QStringList {"--line-rate", "9600"};
    QTest::newRow("slow to answer") << QStringList {"--delay", "200"};
}

void TestEndToEnd::connectShowsTheModuleSettings()
{
    QFETCH(QStringList, simArguments);
    QVERIFY(start(simArguments));

    m_ui->click("pushButton_connect");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(), simDefaults, answerWaitMs);
    // The four answers made one frame, which ended the request: one
    // "Connected!", the whole reply on one line, and nothing given up.
    const QStringList log = m_ui->logLines();
    QCOMPARE(log.count(QStringLiteral("Connected!")), 1);
    QCOMPARE(log.last(), fullReply);
    QVERIFY(m_boxes->texts().isEmpty());
}

void TestEndToEnd::manualApplyChangesTheModule()
{
    QVERIFY(start({}));
    m_ui->enterManually({"10.1.2.3", "10.1.2.1", "4001", "02:00:00:AB:CD:EF"});
    m_ui->click("pushButton_config");

    const QStringList acknowledged {"VeV-Idire IP:10.1.2.3", "VeV-Idire Gateway:10.1.2.1", "VeV-Idire Port:4001",
                                    "VeV-Idire MAC:02:00:00:AB:CD:EF"};
    // The module's own answers are logged between them.
    const auto echoes = [this] { return m_ui->logLines().filter(QRegularExpression(QStringLiteral("^VeV-Idire "))); };
    QTRY_COMPARE_WITH_TIMEOUT(echoes(), acknowledged, answerWaitMs);
    QCOMPARE(storedSettings(*m_sim), (QStringList {"10.1.2.3", "10.1.2.1", "4001", "02:00:00:AB:CD:EF"}));

    // Reading back shows what was written.
    m_ui->typeInto("lineEdit_ip", QString());
    m_ui->click("pushButton_connect");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(),
                              (QStringList {"10.1.2.3", "10.1.2.1", "4001", "02:00:00:AB:CD:EF"}), answerWaitMs);
    QVERIFY(m_boxes->texts().isEmpty());
}

void TestEndToEnd::autoApplySendsTheDerivedAddress()
{
    QVERIFY(start({}));
    // The port and MAC address come from the fields: read them first.
    m_ui->click("pushButton_connect");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(), simDefaults, answerWaitMs);

    // The log says which address Auto works from.
    QString hostIp;
    QString hostGateway;
    const QRegularExpression autoLine(QStringLiteral("^Auto uses (\\S+) with gateway (\\S+) "));
    for (const QString &line : m_ui->logLines()) {
        if (const auto match = autoLine.match(line); match.hasMatch()) {
            hostIp = match.captured(1);
            hostGateway = match.captured(2);
        }
    }
    m_ui->click("pushButton_config");

    const AutoAddress derived = deriveAutoAddress(hostIp, hostGateway);
    if (!derived.error.isEmpty()) {
        // No usable address on this computer: nothing is sent, and why.
        QCOMPARE(m_boxes->texts(), QStringList {derived.error});
        QCOMPARE(storedSettings(*m_sim), simDefaults);
        return;
    }
    const QString ip = derived.ip;
    const QString gateway = derived.gateway;
    QTRY_VERIFY_WITH_TIMEOUT(m_ui->logLines().contains(QStringLiteral("VeV-Idire MAC:AA:BB:CC:DD:EE:FF")),
                             answerWaitMs);
    QVERIFY(m_ui->logLines().contains(QStringLiteral("VeV-Idire IP:") + ip));
    QVERIFY(m_ui->logLines().contains(QStringLiteral("VeV-Idire Gateway:") + gateway));
    QCOMPARE(storedSettings(*m_sim), (QStringList {ip, gateway, "502", "AA:BB:CC:DD:EE:FF"}));
    QVERIFY2(m_sim->output().contains(QStringLiteral("< RS:WT") + toWireValue(Setting::IpAddress, ip) + "#"),
             qPrintable(m_sim->output()));
}

void TestEndToEnd::silentModuleIsReported()
{
    QVERIFY(start({"--silent"}));
    m_ui->click("pushButton_connect");
    QTRY_VERIFY_WITH_TIMEOUT(m_ui->logLines().contains(QStringLiteral("No reply from the module.")),
                             cloudConfigured::replyTimeoutMs + 2000);
    QCOMPARE(m_ui->fields(), (QStringList {"", "", "", ""}));
}

void TestEndToEnd::noiseNeitherCrashesNorWedges()
{
    QVERIFY(start({"--noise"}));

    // A timer that the event loop must keep serving throughout.
    int ticks = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
    heartbeat.start(50);

    QElapsedTimer clock;
    clock.start();
    // Each Connect is answered through the noise.
    for (int round = 1; round <= 4; ++round) {
        m_ui->click("pushButton_connect");
        QTRY_COMPARE_WITH_TIMEOUT(m_ui->logLines().count(QStringLiteral("Connected!")), round, answerWaitMs);
    }
    m_ui->enterManually({"10.9.8.7", "10.9.8.1", "80", "AABBCCDDEEFF"});
    m_ui->click("pushButton_config");

    // The loop kept running outside Apply's three-second pause, and the
    // window still does its job: the module took the write.
    const qint64 served = clock.elapsed() - 3 * cloudConfigured::writePauseMs;
    QVERIFY2(ticks >= served / 50 / 2, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(served)));
    QTRY_COMPARE_WITH_TIMEOUT(storedSettings(*m_sim).first(), QStringLiteral("10.9.8.7"), answerWaitMs);
    m_ui->click("pushButton_logclear");
    m_ui->click("pushButton_Open");
    QCOMPARE(m_ui->widget<QAbstractButton>("pushButton_Open")->text(), QStringLiteral("Open"));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
