// SPDX-License-Identifier: MIT
#include "windowfixture.h"
#include "window/cloudconfigured.h"
#include "modalcatcher.h"
#include "fakehost.h"
#include "pseudoterminal.h"
#include "windowdriver.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTextEdit>
#include <QtTest>

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

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

// "eth0 192.0.2.2", up and with carrier; "docker0 172.17.0.1 nocarrier".
QList<HostInterface> interfaces(const QStringList &texts)
{
    QList<HostInterface> list;
    for (const QString &text : texts) {
        const QStringList words = text.split(QLatin1Char(' '));
        HostInterface interface;
        interface.name = words.at(0);
        interface.up = true;
        interface.running = !words.contains(QStringLiteral("nocarrier"));
        interface.addresses = {QHostAddress(words.at(1))};
        list.append(interface);
    }
    return list;
}

const QString autoLine = QStringLiteral("Auto uses 192.168.1.20 with gateway 192.168.1.1 (the computer's name; no connected interface).");

} // namespace

class TestWindow : public WindowOnPseudoTerminal
{
    Q_OBJECT

private slots:
    void requestsNeedAnOpenPort();
    void openAndCloseToggle();
    void localAddresses_data();
    void localAddresses();
    void failedOpenIsReported();
    void permissionHint();
    void rescanRebuildsTheList();
    void portListFollowsThePorts();
    void connectSendsReadCommands();
    void readReplies_data();
    void readReplies();
    void answerBegunInTimeIsTaken();
    void logShowsMarkupAsText();
    void unansweredRequestsAreGivenUp();
    void closingDropsPendingRequests();
    void manualApply();
    void autoApply();
    void refusedWrite();
    void portBusyUnderAnotherName();
    void applyRefusesBrokenValues_data();
    void applyRefusesBrokenValues();
    void modesEnableAndDisableFields();
    void clearAndAbout();
};

void TestWindow::requestsNeedAnOpenPort()
{
    m_ui->click("pushButton_connect");
    m_ui->click("pushButton_config");
    QCOMPARE(m_boxes->texts(), (QStringList {pleaseOpen, pleaseOpen}));

    // No flag was raised: once the port is open, a frame finds no request.
    QVERIFY(openPty());
    const int before = m_ui->logLines().size();
    QVERIFY(sendFrame(fullReply + "eth Port"));
    QCOMPARE(m_ui->logLines().size(), before);
    QVERIFY(m_ui->widget<QLineEdit>("lineEdit_ip")->text().isEmpty());
    QCOMPARE(m_pty->drain(50), QByteArray());
}

void TestWindow::openAndCloseToggle()
{
    auto *button = m_ui->widget<QPushButton>("pushButton_Open");
    auto *combo = m_ui->widget<QComboBox>("comboBox");

    QVERIFY(openPty());
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color:rgb(255,0,0);"));
    QVERIFY(!combo->isEnabled());
    QCOMPARE(m_ui->logLines(), (QStringList {"Computer name:PC01", "Local IP address:192.168.1.20",
                                       "Local Gateway:192.168.1.1", autoLine}));

    m_ui->click("pushButton_Open");
    QCOMPARE(button->text(), QStringLiteral("Open"));
    QCOMPARE(button->styleSheet(), QStringLiteral("background-color:rgb(0,170,0);"));
    QVERIFY(combo->isEnabled());

    // Each opening looks the computer up again.
    m_ui->click("pushButton_Open");
    QCOMPARE(button->text(), QStringLiteral("Close"));
    QCOMPARE(m_ui->logLines().size(), 8);
    QCOMPARE(m_ui->logLines().last(), autoLine);
    QVERIFY(m_boxes->texts().isEmpty());
}

void TestWindow::localAddresses_data()
{
    QTest::addColumn<QStringList>("resolved");
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QString>("route"); // interface and gateway
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("two addresses, loopback skipped")
        << QStringList {"127.0.1.1", "10.0.0.5", "::1", "172.16.254.3"} << QStringList {} << ""
        << QStringList {"Local IP address:10.0.0.5", "Local Gateway:10.0.0.1",
                        "Local IP address:172.16.254.3", "Local Gateway:172.16.254.1",
                        "Auto uses 10.0.0.5 with gateway 10.0.0.1 (the computer's name; no connected interface)."};
    QTest::newRow("only loopback: the connected interface, not the last")
        << QStringList {"127.0.0.1", "127.0.1.1"} << QStringList {"eth0 192.0.2.2", "docker0 172.17.0.1 nocarrier"} << ""
        << QStringList {"Local IP address:192.0.2.2", "Local Gateway:192.0.2.1", "Local IP address:172.17.0.1",
                        "Local Gateway:172.17.0.1",
                        "Auto uses 192.0.2.2 with gateway 192.0.2.1 (eth0, the first connected interface; no default route)."};
    QTest::newRow("the default route's interface and router")
        << QStringList {"127.0.1.1"} << QStringList {"virbr0 192.168.122.1", "wlan0 10.1.2.3"} << "wlan0 10.1.2.254"
        << QStringList {"Local IP address:192.168.122.1", "Local Gateway:192.168.122.1", "Local IP address:10.1.2.3",
                        "Local Gateway:10.1.2.254",
                        "Auto uses 10.1.2.3 with gateway 10.1.2.254 (wlan0, default route via 10.1.2.254)."};
    QTest::newRow("nothing but IPv6") << QStringList {"::1", "2001:db8::5"} << QStringList {} << ""
                                      << QStringList {};
}

void TestWindow::localAddresses()
{
    QFETCH(QStringList, resolved);
    QFETCH(QStringList, interfaces);
    QFETCH(QString, route);
    QFETCH(QStringList, logged);
    m_host.resolved = addresses(resolved);
    m_host.interfaces = ::interfaces(interfaces);
    if (!route.isEmpty())
        m_host.route = DefaultRoute {route.section(QLatin1Char(' '), 0, 0), route.section(QLatin1Char(' '), 1, 1)};

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
    QCOMPARE(m_ui->logLines().last(), autoLine);
}

void TestWindow::permissionHint()
{
    const QString denied = openFailureText(QStringLiteral("/dev/ttyUSB0"), OpenFailure::PermissionDenied,
                                           QStringLiteral("Permission denied"));
    const QStringList lines = denied.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first(), QStringLiteral("Cannot open port /dev/ttyUSB0: Permission denied"));
    QVERIFY(lines.last().contains(QLatin1String("dialout")));

    QCOMPARE(openFailureText(QStringLiteral("ttyS0"), OpenFailure::NotFound, QStringLiteral("No such file or directory")),
             QStringLiteral("Cannot open port ttyS0: no such port (No such file or directory)"));
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

    // A picked port that goes is kept as text, not swapped for another
    // device: Open then says why it cannot open it.
    m_host.ports = QStringList {"ttyACM0"};
    rescan();
    QCOMPARE(items(), m_host.ports);
    QCOMPARE(combo->currentText(), QStringLiteral("ttyUSB0"));
    m_ui->click("pushButton_Open");
    QVERIFY2(m_boxes->texts().value(0).startsWith(QLatin1String("Cannot open port ttyUSB0: no such port")),
             qPrintable(m_boxes->texts().value(0)));

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

void TestWindow::portListFollowsThePorts()
{
    auto *combo = m_ui->widget<QComboBox>("comboBox");

    // A long device path: the whole of it as the tool tip, and a list wide
    // enough to read it.
    const QString longPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    m_host.ports = QStringList {"ttyS0", longPath};
    QVERIFY(m_host.plugged);
    m_host.plugged(); // an adapter comes
    QTRY_COMPARE(combo->count(), 2);
    combo->setCurrentIndex(1);
    QCOMPARE(combo->toolTip(), longPath);
    combo->showPopup();
    QVERIFY(combo->view()->width() > combo->fontMetrics().horizontalAdvance(longPath));
    combo->hidePopup();

    // It goes: the list follows, and the pick stays as text.
    m_host.ports = QStringList {"ttyS0"};
    m_host.plugged();
    QTRY_COMPARE(combo->count(), 1);
    QCOMPARE(combo->currentText(), longPath);

    QVERIFY(openPty());
    const int scans = m_host.scans;
    m_host.plugged(); // while open, nothing moves under the operator
    // A fixed span on purpose, past the settling time: what is checked is
    // that no rescan comes.
    QTest::qWait(cloudConfigured::hotplugSettleMs + 200);
    QCOMPARE(m_host.scans, scans);

    // The last port opened is offered at the next start, typed in when the
    // system does not list it.
    const QString opened = m_pty->devicePath();
    stopWindow();
    QVERIFY(startWindow(true).isEmpty());
    QCOMPARE(m_ui->widget<QComboBox>("comboBox")->currentText(), opened);

    // A FIFO in place of the settings file would block the start: the window
    // starts without it, says why, and works.
    stopWindow();
    const QByteArray fifo = QFile::encodeName(settingsPath());
    QVERIFY(QFile::remove(settingsPath()) && ::mkfifo(fifo.constData(), 0600) == 0);
    const auto removeFifo = qScopeGuard([&fifo] { ::unlink(fifo.constData()); });
    QVERIFY(startWindow(true).isEmpty());
    QCOMPARE(m_ui->logLines(), QStringList {QStringLiteral("Settings not used: %1 is not a regular file; "
                                                           "the last port opened is not remembered.").arg(settingsPath())});
    QVERIFY(openPty());
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
    QTest::addColumn<QList<QByteArray>>("frames"); // each its own frame, in turn
    QTest::addColumn<QStringList>("fields"); // ip, gateway, port, mac
    QTest::addColumn<QStringList>("logged");

    const QString full = QString::fromLatin1(fullReply);
    const QStringList all {"192.168.1.20", "192.168.1.1", "502", "AA:BB:CC:DD:EE:FF"};
    QTest::newRow("full reply") << QList<QByteArray> {fullReply} << all << QStringList {"", "Connected!", "", full};
    QTest::newRow("port only") << QList<QByteArray> {"ok RS:RP8080# ok"} << QStringList {"", "", "8080", ""}
                               << QStringList {"ok RS:RP8080# ok"};
    QTest::newRow("MAC in a later frame, a value cut between frames")
        << QList<QByteArray> {"RS:RT192-168-1-2", "0#RS:RG192-168-1-1#RS:RP502#", "RS:RMAA-BB-CC-DD-EE-FF#"} << all
        << QStringList {"RS:RT192-168-1-2", "0#RS:RG192-168-1-1#RS:RP502#", "", "Connected!", "",
                        "RS:RMAA-BB-CC-DD-EE-FF#"};
    QTest::newRow("zero bytes are dropped") << QList<QByteArray> {QByteArray(1, '\0') + fullReply} << all
                                            << QStringList {"", "Connected!", "", full};
    QTest::newRow("echoed commands before the answer") << QList<QByteArray> {"RS:RT#RS:RG#RS:RP#RS:RM#" + fullReply}
                                                       << all << QStringList {"", "Connected!", "", "RS:RT#RS:RG#RS:RP#RS:RM#" + full};
    QTest::newRow("nothing recognised") << QList<QByteArray> {"ERR"} << QStringList {"", "", "", ""}
                                        << QStringList {"ERR"};
}

void TestWindow::readReplies()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, logged);

    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    const QTimer *reply = runningReplyTimer();
    QVERIFY(reply);
    QCOMPARE(m_pty->receive(24, 2000).size(), 24);
    const int before = m_ui->logLines().size();
    for (const QByteArray &frame : frames)
        QVERIFY(sendFrame(frame));
    // An answer short of a setting is ended by the reply time.
    if (fields.contains(QString()))
        QVERIFY(requestEnded(reply));
    QCOMPARE(m_ui->logLines().mid(before), logged);
    QCOMPARE(m_ui->fields(), fields);

    // The request has been served: the next frame is dropped.
    QVERIFY(sendFrame("RS:RT10-0-0-9#RS:RP1#"));
    QCOMPARE(m_ui->logLines().mid(before), logged);
    QCOMPARE(m_ui->widget<QLineEdit>("lineEdit_port")->text(), fields.at(2));
}

void TestWindow::answerBegunInTimeIsTaken()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    QTimer *reply = runningReplyTimer();
    QVERIFY(reply);
    QCOMPARE(m_pty->receive(24, 2000).size(), 24);
    // Whether the answer's frame was under way when the reply time ran out.
    std::optional<bool> frameAtTimeUp;
    const auto timeUp = connect(reply, &QTimer::timeout, this,
                                [&] { frameAtTimeUp = windowLink(*m_window)->frameInProgress(); });
    const auto disconnectTimeUp = qScopeGuard([&timeUp] { disconnect(timeUp); });
    // The answer begins late, once less than a frame's window of the reply
    // time is left as the window's own timer counts it, so that its frame
    // ends after the time-up. Its first bytes then have most of a window to
    // be read in time, however late a busy machine lets this thread run.
    QVERIFY(QTest::qWaitFor([reply] { return reply->remainingTime() <= SPComm::frameWindowMs * 4 / 5; },
                            cloudConfigured::replyTimeoutMs + frameLatenessMs));
    QVERIFY(m_pty->sendAndAwaitRead(fullReply.left(20), frameLatenessMs));
    QVERIFY(m_pty->sendAndAwaitRead(fullReply.mid(20), frameLatenessMs));
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(), (QStringList {"192.168.1.20", "192.168.1.1", "502", "AA:BB:CC:DD:EE:FF"}),
                              cloudConfigured::replyTimeoutMs + frameLatenessMs);
    QVERIFY2(frameAtTimeUp == true, "the reply time did not run out while the answer's frame was under way");
    // The frame ended the request: its time-up had passed, and said nothing.
    QVERIFY(!m_ui->logLines().contains(QStringLiteral("No reply from the module.")));
}

void TestWindow::logShowsMarkupAsText()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    const QByteArray markup = "<b>bold</b><img src=\"x.png\">&amp;";
    QVERIFY(sendFrame(markup));
    QCOMPARE(m_ui->logLines().last(), QString::fromLatin1(markup));
}

void TestWindow::unansweredRequestsAreGivenUp()
{
    const QString noReply = QStringLiteral("No reply from the module.");
    QVERIFY(openPty());

    // An answered request is not given up later: a fixed span on purpose,
    // to past the moment its reply time would have run out, as what is
    // checked is that nothing is logged then.
    m_ui->click("pushButton_connect");
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    m_pty->receive(24, 2000);
    QVERIFY(sendFrame(fullReply));
    QTest::qWait(int(std::max<qint64>(0, cloudConfigured::replyTimeoutMs - sinceConnect.elapsed())) + 300);
    QVERIFY(!m_ui->logLines().contains(noReply));

    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->logLines().count(noReply), 1, cloudConfigured::replyTimeoutMs + 2000);

    // A late answer is no longer taken for the given-up request.
    const int before = m_ui->logLines().size();
    QVERIFY(sendFrame("RS:RP9999#"));
    QCOMPARE(m_ui->logLines().size(), before);
    QCOMPARE(m_ui->widget<QLineEdit>("lineEdit_port")->text(), QStringLiteral("502"));
}

void TestWindow::closingDropsPendingRequests()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect");
    QElapsedTimer sinceConnect;
    sinceConnect.start();
    m_pty->receive(24, 2000);
    m_ui->click("pushButton_Open"); // close
    m_ui->click("pushButton_Open"); // and open again
    const int before = m_ui->logLines().size();
    QVERIFY(sendFrame(fullReply));
    QCOMPARE(m_ui->logLines().size(), before);
    QVERIFY(m_ui->widget<QLineEdit>("lineEdit_ip")->text().isEmpty());
    // Nor is the dropped request reported as unanswered: a fixed span on
    // purpose, to past the moment its reply time would have run out, as
    // what is checked is that nothing is logged then.
    QTest::qWait(int(std::max<qint64>(0, cloudConfigured::replyTimeoutMs - sinceConnect.elapsed())) + 300);
    QCOMPARE(m_ui->logLines().size(), before);
}

void TestWindow::manualApply()
{
    QVERIFY(openPty());
    m_ui->enterManually({"192.168.5.7", "192.168.5.1", "8080", "AABBCCDDEEFF"});
    // Connect just before: its answer, coming after the writes, must not
    // put the module's old values into the form.
    m_ui->click("pushButton_connect");
    QCOMPARE(m_pty->receive(24, 3000).size(), 24);

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
    // Acknowledgements follow the frame's own text.
    int before = m_ui->logLines().size();
    const QString acks = QString::fromLatin1(fullReply) + QStringLiteral("eth mac address OK; eth IP address OK; "
                                                                        "eth IP address OK; eth Gateway OK");
    QVERIFY(sendFrame(acks.toLatin1()));
    QCOMPARE(m_ui->logLines().mid(before), (QStringList {acks, "VeV-Idire IP:192.168.5.7", "VeV-Idire Gateway:192.168.5.1",
                                                   "VeV-Idire MAC:AABBCCDDEEFF"}));
    QCOMPARE(m_ui->fields(), (QStringList {"192.168.5.7", "192.168.5.1", "8080", "AABBCCDDEEFF"}));
    QVERIFY(m_ui->logLines().contains(QStringLiteral("Connect's read cancelled: Apply writes new values.")));
    // The last acknowledgement often comes in a frame of its own, after
    // Apply has returned; it still counts, and nothing is logged twice.
    before = m_ui->logLines().size();
    QVERIFY(sendFrame("eth IP address OK; eth Port OK"));
    QCOMPARE(m_ui->logLines().mid(before), (QStringList {"eth IP address OK; eth Port OK", "VeV-Idire Port:8080"}));
    // All four are in: the request is complete and later frames are dropped.
    before = m_ui->logLines().size();
    QVERIFY(sendFrame("eth Port OK"));
    QCOMPARE(m_ui->logLines().size(), before);
}

void TestWindow::autoApply()
{
    QVERIFY(openPty());
    // Auto takes port and MAC from the (disabled) fields: fill them by a read.
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    QVERIFY(sendFrame(fullReply));
    QVERIFY(!m_ui->widget<QLineEdit>("lineEdit_port")->isEnabled());

    m_ui->click("pushButton_config");
    QCOMPARE(m_pty->receive(60, 2000),
             QByteArray("RS:WT192-168-1-21#RS:WG192-168-1-1#RS:WP502#RS:WMAA-BB-CC-DD-EE-FF#"));

    const int before = m_ui->logLines().size();
    QVERIFY(sendFrame("eth Port ok, eth IP address ok, eth Gateway ok"));
    // Three of four: when the reply time ends, the log names the missing one.
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->logLines().mid(before),
                              (QStringList {"eth Port ok, eth IP address ok, eth Gateway ok", "VeV-Idire IP:192.168.1.21",
                                            "VeV-Idire Gateway:192.168.1.1", "VeV-Idire Port:502",
                                            "Not acknowledged by the module: MAC."}),
                              cloudConfigured::replyTimeoutMs + 1000);
}

void TestWindow::refusedWrite()
{
    QVERIFY(openPty());
    m_ui->enterManually({"192.168.5.7", "192.168.5.1", "8080", "02:00:00:00:00:07"});
    m_ui->click("pushButton_config");
    QCOMPARE(m_pty->receive(67, 2000).size(), 67);
    const int before = m_ui->logLines().size();
    m_pty->send("ERR bad value");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->logLines().mid(before),
                              (QStringList {"ERR bad value", "Not acknowledged by the module: IP, Gateway, Port, MAC."}),
                              cloudConfigured::replyTimeoutMs + 1000);
}

void TestWindow::portBusyUnderAnotherName()
{
    // Another program holds the device; we are handed a link to it.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyLINK"));
    QVERIFY(QFile::link(m_pty->devicePath(), link));
    QSerialPort holder(m_pty->devicePath());
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));

    QVERIFY(!m_ui->openPort(link));
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Cannot open port %1: the port is in use by another program").arg(link)});
    holder.close();
    QVERIFY(m_ui->openPort(link));
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
    QTest::newRow("multicast ip") << true << QStringList {"224.0.0.5", "10.0.0.1", "502", "AABBCCDDEEFF"}
                                  << QStringList {} << "Invalid IP address: 224.0.0.5 (a multicast address)";
    QTest::newRow("ip is the gateway") << true << QStringList {"10.0.0.1", "10.0.0.1", "502", "AABBCCDDEEFF"}
                                       << QStringList {} << "Invalid IP address: 10.0.0.1 (the same as the gateway)";
    QTest::newRow("group mac") << true << QStringList {"10.0.0.2", "10.0.0.1", "502", "01:00:5E:00:00:01"}
                               << QStringList {}
                               << "Invalid MAC address: 01:00:5E:00:00:01 (a group address: its first byte is odd)";
    QTest::newRow("auto with unknown host") << false << good << QStringList {"::1"}
                                            << "Auto mode has no address to derive from: "
                                               "this computer has no IPv4 address on a network.";
    QTest::newRow("auto onto the broadcast address")
        << false << good << QStringList {"192.168.1.254"}
        << "Auto mode would give the module 192.168.1.255, the broadcast address of 192.168.1.0/24. "
           "Nothing was sent; use Manual mode to choose an address.";
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

    // writePending was not raised: acknowledgements find no request. Nor was
    // anything sent (a write has drained before Apply returns).
    const int before = m_ui->logLines().size();
    QVERIFY(sendFrame("eth IP address eth Gateway eth Port eth mac address"));
    QCOMPARE(m_ui->logLines().size(), before);
    QCOMPARE(m_pty->drain(50), QByteArray());
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
    QCOMPARE(m_ui->logLines().size(), 4);
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
