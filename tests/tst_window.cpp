#include "windowfixture.h"
#include "cloudconfigured.h"
#include "modalcatcher.h"
#include "fakehost.h"
#include "pseudoterminal.h"
#include "windowdriver.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

const QByteArray fullReply = "RS:RT192-168-1-20#RS:RG192-168-1-1#RS:RP502#RS:RMAA-BB-CC-DD-EE-FF#";
const QString pleaseOpen = QStringLiteral("Please Open the Port!");

QList<QHostAddress> addresses(const QStringList &texts)
{
    QList<QHostAddress> list;
    for (const QString &text : texts)
        list.append(QHostAddress(text));
    return list;
}

} // namespace

class TestWindow : public WindowOnPseudoTerminal
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void requestsNeedAnOpenPort();
    void openAndCloseToggle();
    void localAddresses_data();
    void localAddresses();
    void failedOpenIsReported();
    void permissionHint();
    void rescanRebuildsTheList();
    void connectSendsReadCommands();
    void readReplies_data();
    void readReplies();
    void logShowsMarkupAsText();
    void unansweredRequestsAreGivenUp();
    void closingDropsPendingRequests();
    void manualApply();
    void autoApply();
    void applyRefusesBrokenValues_data();
    void applyRefusesBrokenValues();
    void modesEnableAndDisableFields();
    void clearAndAbout();

private:
    void sendAndAwaitFrame(const QByteArray &reply);
};

void TestWindow::init()
{
    const QString failed = startWindow();
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
}

void TestWindow::cleanup()
{
    stopWindow();
}

// Plays the module's answer and waits until the window has taken the frame.
void TestWindow::sendAndAwaitFrame(const QByteArray &reply)
{
    m_pty->send(reply);
    // One frame window plus room for a loaded machine; the window logs
    // nothing for some frames, so this is a wait, not a check.
    QTest::qWait(500 + 400);
}

void TestWindow::requestsNeedAnOpenPort()
{
    m_ui->click("pushButton_connect");
    m_ui->click("pushButton_config");
    QCOMPARE(m_boxes->texts(), (QStringList {pleaseOpen, pleaseOpen}));

    // No flag was raised: once the port is open, a frame finds no request.
    QVERIFY(openPty());
    QCOMPARE(m_pty->drain(200), QByteArray());
    const int before = m_ui->logLines().size();
    sendAndAwaitFrame(fullReply + "eth Port");
    QCOMPARE(m_ui->logLines().size(), before);
    QVERIFY(m_ui->widget<QLineEdit>("lineEdit_ip")->text().isEmpty());
}

void TestWindow::openAndCloseToggle()
{
    auto *button = m_ui->widget<QPushButton>("pushButton_Open");
    auto *combo = m_ui->widget<QComboBox>("comboBox");

    QVERIFY(openPty());
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color:rgb(255,0,0);"));
    QVERIFY(!combo->isEnabled());
    QCOMPARE(m_ui->logLines(), (QStringList {"Computer name:PC01", "Local IP address:192.168.1.20",
                                       "Local Gateway:192.168.1.1"}));

    m_ui->click("pushButton_Open");
    QCOMPARE(button->text(), QStringLiteral("Open"));
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color:rgb(0,170,0);"));
    QVERIFY(combo->isEnabled());

    // Each opening looks the computer up again.
    m_ui->click("pushButton_Open");
    QCOMPARE(button->text(), QStringLiteral("Close"));
    QCOMPARE(m_ui->logLines().size(), 6);
    QCOMPARE(m_ui->logLines().last(), QStringLiteral("Local Gateway:192.168.1.1"));
    QVERIFY(m_boxes->texts().isEmpty());
}

void TestWindow::localAddresses_data()
{
    QTest::addColumn<QStringList>("resolved");
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("two addresses, loopback skipped")
        << QStringList {"127.0.1.1", "10.0.0.5", "::1", "172.16.254.3"} << QStringList {"192.168.9.9"}
        << QStringList {"Local IP address:10.0.0.5", "Local Gateway:10.0.0.1",
                        "Local IP address:172.16.254.3", "Local Gateway:172.16.254.1"};
    QTest::newRow("only loopback: interfaces instead")
        << QStringList {"127.0.0.1", "127.0.1.1"} << QStringList {"fe80::1", "192.0.2.2", "127.0.0.1"}
        << QStringList {"Local IP address:192.0.2.2", "Local Gateway:192.0.2.1"};
    QTest::newRow("nothing but IPv6") << QStringList {"::1", "2001:db8::5"} << QStringList {"fe80::1"}
                                      << QStringList {};
}

void TestWindow::localAddresses()
{
    QFETCH(QStringList, resolved);
    QFETCH(QStringList, interfaces);
    QFETCH(QStringList, logged);
    m_host.resolved = addresses(resolved);
    m_host.interfaces = addresses(interfaces);

    QVERIFY(openPty());
    QCOMPARE(m_ui->logLines(), QStringList {"Computer name:PC01"} + logged);
}

void TestWindow::failedOpenIsReported()
{
    auto *button = m_ui->widget<QPushButton>("pushButton_Open");
    auto *combo = m_ui->widget<QComboBox>("comboBox");

    combo->setEditText(QStringLiteral("/dev/vev-no-such-port"));
    m_ui->click("pushButton_Open");
    QCOMPARE(m_boxes->texts().size(), 1);
    const QString message = m_boxes->texts().first();
    QVERIFY2(message.startsWith(QLatin1String("Cannot open port /dev/vev-no-such-port: ")), qPrintable(message));
    QVERIFY(message.size() > QStringLiteral("Cannot open port /dev/vev-no-such-port: ").size());
    QCOMPARE(m_ui->logLines(), QStringList {message});

    QCOMPARE(button->text(), QStringLiteral("Open"));
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color:rgb(0, 170, 0);"));
    QVERIFY(combo->isEnabled());
    m_ui->click("pushButton_connect"); // still closed
    QCOMPARE(m_boxes->texts().last(), pleaseOpen);

    combo->setEditText(QString());
    m_ui->click("pushButton_Open");
    QCOMPARE(m_boxes->texts().last(), QStringLiteral("No serial port selected."));
    QCOMPARE(m_ui->logLines().last(), QStringLiteral("No serial port selected."));
    QCOMPARE(button->text(), QStringLiteral("Open"));

    // The port opens once the operator picks one that exists.
    QVERIFY(openPty());
    QCOMPARE(m_ui->logLines().last(), QStringLiteral("Local Gateway:192.168.1.1"));
}

void TestWindow::permissionHint()
{
    const QString denied = openFailureText(QStringLiteral("/dev/ttyUSB0"), QSerialPort::PermissionError,
                                           QStringLiteral("Permission denied"));
    const QStringList lines = denied.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first(), QStringLiteral("Cannot open port /dev/ttyUSB0: Permission denied"));
    QVERIFY(lines.last().contains(QLatin1String("dialout")));

    QCOMPARE(openFailureText(QStringLiteral("ttyS0"), QSerialPort::DeviceNotFoundError,
                             QStringLiteral("No such file or directory")),
             QStringLiteral("Cannot open port ttyS0: No such file or directory"));
}

void TestWindow::rescanRebuildsTheList()
{
    auto *combo = m_ui->widget<QComboBox>("comboBox");
    const auto items = [combo] {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    };
    const auto rescan = [combo] {
        combo->showPopup();
        combo->hidePopup();
    };
    const QPoint arrow(combo->width() - 4, combo->height() / 2);

    m_host.ports = QStringList {"ttyS0", "ttyUSB0"};
    const int scansBefore = m_host.scans;
    QTest::mouseClick(combo, Qt::LeftButton, {}, arrow);
    combo->hidePopup();
    QCOMPARE(m_host.scans, scansBefore + 1); // once per opening of the list
    rescan();
    QCOMPARE(items(), m_host.ports);
    combo->setCurrentIndex(1);

    m_host.ports = QStringList {"ttyACM0", "ttyUSB0"};
    rescan();
    QCOMPARE(items(), m_host.ports);
    QCOMPARE(combo->currentText(), QStringLiteral("ttyUSB0")); // still listed, still selected

    m_host.ports = QStringList {"ttyACM0"};
    rescan();
    QCOMPARE(combo->currentText(), QStringLiteral("ttyACM0"));

    // A typed device path survives a rescan and is what Open uses.
    combo->setEditText(m_pty->devicePath());
    rescan();
    QCOMPARE(items(), m_host.ports);
    QCOMPARE(combo->currentText(), m_pty->devicePath());
    m_ui->click("pushButton_Open");
    QCOMPARE(m_ui->widget<QPushButton>("pushButton_Open")->text(), QStringLiteral("Close"));

    // An open port disables the selector: a click on it scans nothing.
    const int scansWhileOpen = m_host.scans;
    QTest::mouseClick(combo, Qt::LeftButton, {}, arrow);
    QCOMPARE(m_host.scans, scansWhileOpen);
}

void TestWindow::connectSendsReadCommands()
{
    QVERIFY(openPty());
    m_pty->startRecording();
    m_ui->click("pushButton_connect");
    QTRY_COMPARE(m_pty->recorded().size(), 24);
    const auto chunks = m_pty->stopRecording();
    QByteArray sent;
    for (const auto &chunk : chunks)
        sent += chunk.bytes;
    QCOMPARE(sent, QByteArray("RS:RT#RS:RG#RS:RP#RS:RM#"));
    // No pauses between the four commands.
    QVERIFY(chunks.last().arrival - chunks.first().arrival < std::chrono::milliseconds(500));
}

void TestWindow::readReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields"); // ip, gateway, port, mac
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("full reply") << fullReply
                                << QStringList {"192.168.1.20", "192.168.1.1", "502", "AA:BB:CC:DD:EE:FF"}
                                << QStringList {"", "Connected!", "", QString::fromLatin1(fullReply)};
    QTest::newRow("port only") << QByteArray("ok RS:RP8080# ok") << QStringList {"", "", "8080", ""}
                               << QStringList {"ok RS:RP8080# ok"};
    QTest::newRow("zero byte ends the text") << QByteArray("RS:RP21#\0RS:RT1-2-3-4#RS:RM11-22#", 33)
                                             << QStringList {"", "", "21", ""} << QStringList {"RS:RP21#"};
    QTest::newRow("nothing recognised") << QByteArray("ERR") << QStringList {"", "", "", ""}
                                        << QStringList {"ERR"};
}

void TestWindow::readReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, logged);

    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    QCOMPARE(m_pty->receive(24, 2000).size(), 24);
    const int before = m_ui->logLines().size();
    sendAndAwaitFrame(reply);
    QCOMPARE(m_ui->logLines().mid(before), logged);
    QCOMPARE(m_ui->fields(), fields);

    // The request has been served: the next frame is dropped.
    sendAndAwaitFrame("RS:RT10-0-0-9#RS:RP1#");
    QCOMPARE(m_ui->logLines().mid(before), logged);
    QCOMPARE(m_ui->widget<QLineEdit>("lineEdit_port")->text(), fields.at(2));
}

void TestWindow::logShowsMarkupAsText()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    const QByteArray markup = "<b>bold</b><img src=\"x.png\">&amp;";
    sendAndAwaitFrame(markup);
    QCOMPARE(m_ui->logLines().last(), QString::fromLatin1(markup));
}

void TestWindow::unansweredRequestsAreGivenUp()
{
    const QString noReply = QStringLiteral("No reply from the module.");
    QVERIFY(openPty());

    // An answered request is not given up later.
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    sendAndAwaitFrame(fullReply);
    QTest::qWait(cloudConfigured::replyTimeoutMs);
    QVERIFY(!m_ui->logLines().contains(noReply));

    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->logLines().count(noReply), 1, cloudConfigured::replyTimeoutMs + 2000);

    // A late answer is no longer taken for the given-up request.
    const int before = m_ui->logLines().size();
    sendAndAwaitFrame("RS:RP9999#");
    QCOMPARE(m_ui->logLines().size(), before);
    QCOMPARE(m_ui->widget<QLineEdit>("lineEdit_port")->text(), QStringLiteral("502"));
}

void TestWindow::closingDropsPendingRequests()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    m_ui->click("pushButton_Open"); // close
    m_ui->click("pushButton_Open"); // and open again
    const int before = m_ui->logLines().size();
    sendAndAwaitFrame(fullReply);
    QCOMPARE(m_ui->logLines().size(), before);
    QVERIFY(m_ui->widget<QLineEdit>("lineEdit_ip")->text().isEmpty());
    // Nor is the dropped request reported as unanswered.
    QTest::qWait(cloudConfigured::replyTimeoutMs);
    QCOMPARE(m_ui->logLines().size(), before);
}

void TestWindow::manualApply()
{
    QVERIFY(openPty());
    m_ui->enterManually({"192.168.5.7", "192.168.5.1", "8080", "AABBCCDDEEFF"});

    m_pty->startRecording();
    QElapsedTimer clock;
    clock.start();
    m_ui->click("pushButton_config");
    const qint64 applyMs = clock.elapsed();
    QTRY_COMPARE(m_pty->recorded().size(), 62);
    const auto chunks = m_pty->stopRecording();

    // Three busy pauses, each strictly longer than a second.
    QVERIFY2(applyMs > 3 * cloudConfigured::writePauseMs, qPrintable(QString::number(applyMs)));
    QByteArray sent;
    QList<std::chrono::steady_clock::time_point> starts;
    for (const auto &chunk : chunks) {
        if (chunk.bytes.startsWith("RS:"))
            starts << chunk.arrival;
        sent += chunk.bytes;
    }
    QCOMPARE(sent, QByteArray("RS:WT192-168-5-7#RS:WG192-168-5-1#RS:WP8080#RS:WMAABBCCDDEEFF#"));
    QCOMPARE(starts.size(), 4);
    for (int i = 1; i < starts.size(); ++i) {
        // Arrival times are taken by another thread: allow it some lateness.
        QVERIFY2(starts[i] - starts[i - 1] > std::chrono::milliseconds(950),
                 qPrintable(QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                starts[i] - starts[i - 1]).count())));
    }

    // Acknowledgements: table order, once each, with the values as sent.
    int before = m_ui->logLines().size();
    sendAndAwaitFrame("eth mac address OK\r\neth IP address OK\r\neth IP address OK\r\neth Gateway OK");
    QCOMPARE(m_ui->logLines().mid(before), (QStringList {"VeV-Idire IP:192.168.5.7", "VeV-Idire Gateway:192.168.5.1",
                                                   "VeV-Idire MAC:AABBCCDDEEFF"}));
    // The last acknowledgement often comes in a frame of its own, after
    // Apply has returned; it still counts, and nothing is logged twice.
    before = m_ui->logLines().size();
    sendAndAwaitFrame("eth IP address OK\r\neth Port OK");
    QCOMPARE(m_ui->logLines().mid(before), QStringList {"VeV-Idire Port:8080"});
    // All four are in: the request is complete and later frames are dropped.
    before = m_ui->logLines().size();
    sendAndAwaitFrame("eth Port OK");
    QCOMPARE(m_ui->logLines().size(), before);
}

void TestWindow::autoApply()
{
    QVERIFY(openPty());
    // Auto takes port and MAC from the (disabled) fields: fill them by a read.
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    sendAndAwaitFrame(fullReply);
    QVERIFY(!m_ui->widget<QLineEdit>("lineEdit_port")->isEnabled());

    m_ui->click("pushButton_config");
    QCOMPARE(m_pty->receive(60, 2000),
             QByteArray("RS:WT192-168-1-21#RS:WG192-168-1-1#RS:WP502#RS:WMAA-BB-CC-DD-EE-FF#"));

    const int before = m_ui->logLines().size();
    sendAndAwaitFrame("eth Port ok, eth IP address ok, eth Gateway ok");
    QCOMPARE(m_ui->logLines().mid(before), (QStringList {"VeV-Idire IP:192.168.1.21", "VeV-Idire Gateway:192.168.1.1",
                                                   "VeV-Idire Port:502"}));
}

void TestWindow::applyRefusesBrokenValues_data()
{
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QStringList>("fields"); // ip, gateway, port, mac
    QTest::addColumn<QStringList>("resolved");
    QTest::addColumn<QString>("message");

    const QStringList good {"10.0.0.2", "10.0.0.1", "502", "AA:BB:CC:DD:EE:FF"};
    QTest::newRow("empty fields") << true << QStringList {"", "", "", ""} << QStringList {}
                                  << "Invalid IP address: ";
    QTest::newRow("half-typed ip") << true << QStringList {"192.168.1", "10.0.0.1", "502", "AABBCCDDEEFF"}
                                   << QStringList {} << "Invalid IP address: 192.168.1";
    QTest::newRow("half-typed gateway") << true << QStringList {"10.0.0.2", "10.0.", "502", "AABBCCDDEEFF"}
                                        << QStringList {} << "Invalid gateway address: 10.0.";
    QTest::newRow("empty port") << true << QStringList {"10.0.0.2", "10.0.0.1", "", "AABBCCDDEEFF"}
                                << QStringList {} << "Invalid port: ";
    QTest::newRow("short mac") << true << QStringList {"10.0.0.2", "10.0.0.1", "502", "AA:BB:CC"}
                               << QStringList {} << "Invalid MAC address: AA:BB:CC";
    QTest::newRow("auto with unknown host") << false << good << QStringList {"::1"} << "Invalid IP address: .1";
    QTest::newRow("auto with empty mac") << false << QStringList {"", "", "502", ""} << QStringList {"10.1.1.1"}
                                         << "Invalid MAC address: ";
}

void TestWindow::applyRefusesBrokenValues()
{
    QFETCH(bool, manual);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, resolved);
    QFETCH(QString, message);
    m_host.resolved = addresses(resolved);

    QVERIFY(openPty());
    m_ui->enterManually(fields);
    if (!manual)
        m_ui->click("radioButton_auto");

    m_ui->click("pushButton_config");
    QCOMPARE(m_boxes->texts(), QStringList {message});
    QCOMPARE(m_pty->drain(200), QByteArray());

    // writePending was not raised: acknowledgements find no request.
    const int before = m_ui->logLines().size();
    sendAndAwaitFrame("eth IP address eth Gateway eth Port eth mac address");
    QCOMPARE(m_ui->logLines().size(), before);
}

void TestWindow::modesEnableAndDisableFields()
{
    const char *const fields[] = {"lineEdit_ip", "lineEdit_gatway", "lineEdit_port", "lineEdit_mac"};
    const auto enabledFields = [&] {
        int n = 0;
        for (const char *name : fields)
            n += m_ui->widget<QLineEdit>(name)->isEnabled() ? 1 : 0;
        return n;
    };

    QCOMPARE(enabledFields(), 0);
    m_ui->click("radioButton_handle");
    QVERIFY(!m_ui->widget<QRadioButton>("radioButton_auto")->isChecked());
    QCOMPARE(enabledFields(), 4);
    m_ui->typeInto("lineEdit_port", QStringLiteral("502"));
    m_ui->click("radioButton_handle"); // already checked: nothing changes
    QCOMPARE(enabledFields(), 4);

    m_ui->click("radioButton_auto");
    QVERIFY(!m_ui->widget<QRadioButton>("radioButton_handle")->isChecked());
    QCOMPARE(enabledFields(), 0);
    QCOMPARE(m_ui->widget<QLineEdit>("lineEdit_port")->text(), QStringLiteral("502"));
}

void TestWindow::clearAndAbout()
{
    m_ui->click("pushButton_logclear");
    QVERIFY(m_ui->logLines().isEmpty());
    QVERIFY(openPty());
    QCOMPARE(m_ui->logLines().size(), 3);
    m_ui->click("pushButton_logclear");
    QVERIFY(m_ui->logLines().isEmpty());
    m_ui->click("pushButton_Open");
    m_ui->click("pushButton_Open");
    QCOMPARE(m_ui->logLines().first(), QStringLiteral("Computer name:PC01"));

    m_ui->click("pushButton_about");
    QCOMPARE(m_boxes->texts().size(), 1);
    const QStringList about = m_boxes->texts().first().split(QStringLiteral("\r\n"));
    QCOMPARE(about.size(), 4);
    QCOMPARE(about[0], QStringLiteral("version:v1.0.0"));
    QVERIFY(about[1].contains(QLatin1String("TELVOR")));
    QVERIFY(about[2].startsWith(QLatin1String("E-mail:")));
    QVERIFY(about[3].startsWith(QLatin1String("Tell:")));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
