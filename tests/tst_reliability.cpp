// SPDX-License-Identifier: MIT
// What real serial lines do to the window: devices that vanish, frames of
// any bytes, and modules that never stop talking.

#include "windowfixture.h"
#include "window/cloudconfigured.h"
#include "fakehost.h"
#include "modalcatcher.h"
#include "processusage.h"
#include "pseudoterminal.h"
#include "serial/spcomm.h"
#include "windowdriver.h"
#include "protocol/wireformat.h"

#include <QElapsedTimer>
#include <QtTest>

#include <future>
#include <memory>

class TestReliability : public WindowOnPseudoTerminal
{
    Q_OBJECT

private slots:
    void unpluggedPortReturnsToClosed();
    void hostileFrames_data();
    void hostileFrames();
    void floodKeepsTheWindowResponsive_data();
    void floodKeepsTheWindowResponsive();
};

void TestReliability::unpluggedPortReturnsToClosed()
{
    QVERIFY(openPty());
    m_ui->click("pushButton_connect"); // a request is pending when the line goes
    m_pty->receive(24, 2000);
    const int before = m_ui->logLines().size();

    m_pty->closeMaster();
    const QString lostLine = QStringLiteral("Port %1 closed: ").arg(m_pty->devicePath());
    QTRY_VERIFY_WITH_TIMEOUT(m_ui->logLines().size() > before, 2000);
    // What happened, not the stale error number a hang-up leaves behind.
    const QString lost = m_ui->logLines().last();
    QCOMPARE(lost, QString(lostLine + QStringLiteral("the device was disconnected or hung up")));

    auto *open = m_ui->widget<QAbstractButton>("pushButton_Open");
    QCOMPARE(open->text(), QStringLiteral("Open"));
    QCOMPARE(open->styleSheet(), QStringLiteral("background-color:rgb(0,170,0);"));
    QVERIFY(m_ui->widget<QComboBox>("comboBox")->isEnabled());

    // One line, no box, no busy loop, and the request is not reported when
    // its time is up: a fixed span on purpose, a whole reply time from the
    // loss and so past the moment the request's time would have run out,
    // as what is checked is that nothing happens in it. The CPU bound is a
    // tenth of the span; a loaded machine stretches the span and cannot make
    // a process that sleeps spend more.
    const qint64 cpuBefore = cpuTimeMs();
    QTest::qWait(cloudConfigured::replyTimeoutMs);
    const qint64 cpuUsed = cpuTimeMs() - cpuBefore;
    QVERIFY2(cpuUsed < cloudConfigured::replyTimeoutMs / 10,
             qPrintable(QStringLiteral("%1 ms of CPU in the reply time after the loss").arg(cpuUsed)));
    QCOMPARE(m_ui->logLines().size(), before + 1);
    QVERIFY(m_boxes->texts().isEmpty());

    // Closed means closed: requests ask for a port again.
    m_ui->click("pushButton_connect");
    QCOMPARE(m_boxes->texts(), QStringList {QStringLiteral("Please Open the Port!")});
}

void TestReliability::hostileFrames_data()
{
    QTest::addColumn<QByteArray>("frame");

    QByteArray everyByte;
    for (int b = 255; b >= 0; --b)
        everyByte += char(b);
    QTest::newRow("every byte value") << QByteArray("RS:RT\x80\xff-1#RS:RP") + everyByte;
    QTest::newRow("high bytes in values") << QByteArray("RS:RM\xe9\xe9-\xff#RS:RG\x80-\x81#");
    QTest::newRow("zero bytes") << QByteArray("\0\0RS:RT1-2-3-4#", 16);
    QTest::newRow("prefixes without terminator") << QByteArray("RS:RTRS:RGRS:RPRS:RM");
    QTest::newRow("repeated keywords") << QByteArray("eth Port ").repeated(5000) + "eth mac address";
    QTest::newRow("markup") << QByteArray("<html><script>x</script><img src=\"file:///etc/passwd\">RS:RP1#</html>");
    QTest::newRow("1 MB, prefix first") << QByteArray("RS:RT") + QByteArray(1024 * 1024, 'A');
    QTest::newRow("1 MB of terminators") << QByteArray(1024 * 1024, '#');
}

void TestReliability::hostileFrames()
{
    QFETCH(QByteArray, frame);
    QVERIFY(openPty());
    m_ui->enterManually({"10.0.0.2", "10.0.0.1", "502", "AABBCCDDEEFF"});
    const QStringList typed = m_ui->fields();

    m_ui->click("pushButton_connect");
    const QTimer *reply = runningReplyTimer();
    QVERIFY(reply);
    m_pty->receive(24, 2000);

    // The frame is written from a thread: a megabyte does not fit the line's
    // buffer, and the window must read while it arrives.
    QSignalSpy frames(windowLink(*m_window), &SPComm::comRecive);
    auto writer = std::async(std::launch::async, [this, frame] { m_pty->send(frame); });
    QTRY_VERIFY_WITH_TIMEOUT(writer.wait_for(std::chrono::seconds(0)) == std::future_status::ready && !frames.isEmpty(),
                             10000);
    // Every byte read, and the request over.
    QTRY_VERIFY_WITH_TIMEOUT(m_pty->unreadByDevice() == 0, 10000);
    QVERIFY(requestEnded(reply));

    // Once the reply time is up, the fields show what the reply rules make
    // of the first frame, nothing else.
    const QString text = frameText(frame.left(SPComm::maxFrameBytes));
    ReadGatherer rules;
    rules.feed(text);
    rules.finish();
    const Setting order[] = {Setting::IpAddress, Setting::Gateway, Setting::Port, Setting::MacAddress};
    const QStringList fields = m_ui->fields();
    for (int i = 0; i < 4; ++i) {
        const auto value = rules.value(order[i]);
        const int shown = m_ui->widget<QLineEdit>(i == 0 ? "lineEdit_ip" : i == 1 ? "lineEdit_gatway"
                                                           : i == 2 ? "lineEdit_port" : "lineEdit_mac")->maxLength();
        QCOMPARE(fields[i], value ? value->left(shown) : typed[i]);
    }

    // The log holds the text, cut to a readable size, and stays plain.
    const QStringList log = m_ui->logLines();
    QVERIFY(log.join(QLatin1Char('\n')).size() < 4 * cloudConfigured::maxLogEntryChars);
    QVERIFY(!text.isEmpty() || log.last().isEmpty());

    // The window goes on working: a real reply after it is understood.
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    m_pty->send("RS:RT192-168-9-9#RS:RG192-168-9-1#RS:RP7#RS:RM01-02-03-04-05-06#");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(), (QStringList {"192.168.9.9", "192.168.9.1", "7", "01:02:03:04:05:06"}),
                              5000);
}

void TestReliability::floodKeepsTheWindowResponsive_data()
{
    QTest::addColumn<bool>("requestPending");
    QTest::newRow("nothing asked") << false;
    QTest::newRow("read pending") << true;
}

void TestReliability::floodKeepsTheWindowResponsive()
{
    QFETCH(bool, requestPending);
    constexpr int floodMs = 10000;
    constexpr int tickMs = 100;
    constexpr int allowedLatenessMs = 200;

    QVERIFY(openPty());
    if (requestPending) {
        m_ui->click("pushButton_connect");
        m_pty->receive(24, 2000);
    }
    const qint64 residentBefore = residentKiB();

    // A timer the event loop must keep serving while the module floods.
    qint64 worstLateness = 0;
    int ticks = 0;
    QElapsedTimer sinceTick;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    connect(&heartbeat, &QTimer::timeout, this, [&] {
        if (sinceTick.isValid())
            worstLateness = std::max(worstLateness, sinceTick.elapsed() - tickMs);
        sinceTick.start();
        ++ticks;
    });
    heartbeat.start(tickMs);

    m_pty->startFlood(QByteArray("RS:RT10-0-0-1#eth Port <b>\x00\xff", 24).repeated(170));
    // The span of the flood, measured by the heartbeat: nothing is awaited.
    QTest::qWait(floodMs);
    const qint64 flooded = m_pty->stopFlood();
    heartbeat.stop();

    qInfo("%lld bytes in %d ms; %d ticks, worst %lld ms late; resident %lld -> %lld KiB", flooded, floodMs, ticks,
          worstLateness, residentBefore, residentKiB());
    QVERIFY2(worstLateness <= allowedLatenessMs, qPrintable(QString::number(worstLateness)));
    QVERIFY(flooded > 1024 * 1024); // it really was a flood
#ifndef __SANITIZE_ADDRESS__
    // (AddressSanitizer's quarantine of freed frames would be all this
    // measures, until it is full.)
    QVERIFY2(residentKiB() - residentBefore < 64 * 1024, "resident memory grew by more than 64 MiB");
#endif
    QVERIFY(m_ui->widget<QTextEdit>("textEdit_log")->document()->blockCount() <= cloudConfigured::maxLogLines);

    // Usable afterwards: once the flood's last frame is over, a request gets
    // its answer.
    QSignalSpy frames(windowLink(*m_window), &SPComm::comRecive);
    while (frames.wait(SPComm::frameWindowMs + 200)) {
    }
    m_ui->click("pushButton_connect");
    m_pty->receive(24, 2000);
    m_pty->send("RS:RT10-1-1-1#RS:RG10-1-1-254#RS:RP65535#RS:RMAA-AA-AA-AA-AA-AA#");
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->fields(), (QStringList {"10.1.1.1", "10.1.1.254", "65535", "AA:AA:AA:AA:AA:AA"}),
                              5000);
}

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
