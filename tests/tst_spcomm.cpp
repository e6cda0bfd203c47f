// SPDX-License-Identifier: MIT
#include "processusage.h"
#include "serial/portlist.h"
#include "pseudoterminal.h"
#include "serial/spcomm.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPortInfo>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

// What the window does with each frame: take it inside the signal.
struct FrameCollector {
    QList<QByteArray> frames;
    QList<qint64> arrivals; // ms on `clock`
    QElapsedTimer clock;

    explicit FrameCollector(SPComm *link, QObject *context)
    {
        clock.start();
        QObject::connect(link, &SPComm::comRecive, context, [this, link] {
            frames.append(link->takeReceived());
            arrivals.append(clock.elapsed());
        });
    }
};

} // namespace

class TestSPComm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithFixedLineSettings();
    void commandBytesArriveAsSent();
    void piecesWithinWindowMakeOneFrame();
    void longStreamIsCutIntoFrames();
    void takeReceivedEmptiesTheBuffer();
    void openOnOpenLinkAppliesNothingNew();
    void openFailsForUnknownPorts_data();
    void openFailsForUnknownPorts();
    void writeOnClosedLinkReturnsQuietly();
    void deletingTheLinkClosesThePortAndEndsTheWindow();
    void hangUpClosesThePortOnce();
    void floodIsCutToBoundedFrames();
    void portNamesMatchTheLibrary();
    void baudRateMapping_data();
    void baudRateMapping();

private:
    bool openOn(const PseudoTerminal &pty);

    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<SPComm> m_link;
};

void TestSPComm::init()
{
    m_pty = std::make_unique<PseudoTerminal>();
    QVERIFY2(m_pty->isValid(), qPrintable("no pseudo-terminal: " + m_pty->error()));
    m_link = std::make_unique<SPComm>();
}

void TestSPComm::cleanup()
{
    m_link.reset();
    m_pty.reset();
}

bool TestSPComm::openOn(const PseudoTerminal &pty)
{
    m_link->setBaudRate(9600);
    m_link->setPortName(pty.devicePath());
    return m_link->open();
}

void TestSPComm::opensWithFixedLineSettings()
{
    m_link->setBaudRate(19200); // the next open uses whatever was stored last
    m_link->setBaudRate(9600);
    m_link->setPortName(m_pty->devicePath());
    QVERIFY2(m_link->open(), qPrintable(m_link->errorString()));
    QVERIFY(m_link->isOpen());

    const termios line = m_pty->lineSettings();
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(line.c_cflag & CSTOPB, tcflag_t(0));
    QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));

    QVERIFY(isPortBusy(m_pty->devicePath())); // other programs see the port taken

    m_link->close();
    QVERIFY(!m_link->isOpen());
    QVERIFY(!isPortBusy(m_pty->devicePath()));

    // A lock file anyone can write, naming a live process that holds no
    // port, does not hide the port: the library would open it.
    QFile forged(QStringLiteral("/var/lock/LCK..") + m_pty->devicePath().mid(5).replace(QLatin1Char('/'), QLatin1Char('_')));
    QVERIFY2(forged.open(QIODevice::WriteOnly), qPrintable(forged.errorString()));
    forged.write(QByteArray::number(qint64(::getppid())) + '\n');
    forged.close();
    QVERIFY(!isPortBusy(m_pty->devicePath()));
    QVERIFY2(m_link->open(), qPrintable(m_link->errorString()));
    m_link->close();
    forged.remove();
    m_link->close(); // closing a closed link is harmless
    QVERIFY(!m_link->isOpen());
}

void TestSPComm::commandBytesArriveAsSent()
{
    QVERIFY(openOn(*m_pty));
    m_link->write("RS:RT#");
    m_link->write("");
    m_link->write("RS:WMAA-BB-CC-DD-EE-FF#");
    QCOMPARE(m_pty->receive(29, 2000), QByteArray("RS:RT#RS:WMAA-BB-CC-DD-EE-FF#"));
    QCOMPARE(m_pty->drain(200), QByteArray());
}

void TestSPComm::piecesWithinWindowMakeOneFrame()
{
    QVERIFY(openOn(*m_pty));
    FrameCollector collector(m_link.get(), this);

    // A slow module's pieces: each goes a fifth of the window after the link
    // has read the one before, so they come apart in time and in separate
    // reads, and the last is in well before the window ends however late a
    // busy machine lets this thread run.
    constexpr int gapMs = SPComm::frameWindowMs / 5;
    const qint64 start = collector.clock.elapsed();
    QVERIFY(m_pty->sendAndAwaitRead("RS:RT192-168", 3000));
    QTest::qWait(gapMs);
    QVERIFY(m_pty->sendAndAwaitRead("-1-20#RS:RP", 3000));
    QTest::qWait(gapMs);
    QVERIFY(m_pty->sendAndAwaitRead(QByteArray("502#\0tail", 9), 3000));

    QTRY_COMPARE_WITH_TIMEOUT(collector.frames.size(), 1, 3000);
    QCOMPARE(collector.frames.first(), QByteArray("RS:RT192-168-1-20#RS:RP502#\0tail", 32));
    // The window is measured from the first bytes; a coarse timer may fire a
    // little early, never much.
    QVERIFY2(collector.arrivals.first() - start >= 450,
             qPrintable(QString::number(collector.arrivals.first() - start)));

    // Nothing follows: no window without bytes. A fixed span on purpose,
    // longer than a window, as what is checked is that nothing comes.
    QTest::qWait(SPComm::frameWindowMs + 200);
    QCOMPARE(collector.frames.size(), 1);
}

void TestSPComm::longStreamIsCutIntoFrames()
{
    QVERIFY(openOn(*m_pty));
    FrameCollector collector(m_link.get(), this);

    // Pieces 100 ms apart for about a second: no gap comes near the window,
    // yet later bytes do not stretch it. The pause is the module's pace, not
    // a wait for anything: a busy machine that stretches it only cuts the
    // stream into more frames.
    QByteArray sent;
    for (int i = 0; i < 10; ++i) {
        const QByteArray piece = QByteArray::number(i).repeated(3);
        sent += piece;
        QVERIFY(m_pty->sendAndAwaitRead(piece, 3000));
        QTest::qWait(100);
    }

    QTRY_VERIFY_WITH_TIMEOUT(collector.frames.join().size() == sent.size(), 3000);
    QVERIFY2(collector.frames.size() >= 2, qPrintable(QString::number(collector.frames.size())));
    QCOMPARE(collector.frames.join(), sent);
    QVERIFY(collector.frames.first().size() < sent.size());
}

void TestSPComm::takeReceivedEmptiesTheBuffer()
{
    QCOMPARE(m_link->takeReceived(), QByteArray());

    QVERIFY(openOn(*m_pty));
    QSignalSpy frames(m_link.get(), &SPComm::comRecive);
    QVERIFY(frames.isValid());
    m_pty->send("eth Port");
    QVERIFY(frames.wait(3000));
    QCOMPARE(m_link->takeReceived(), QByteArray("eth Port"));
    QCOMPARE(m_link->takeReceived(), QByteArray());
}

void TestSPComm::openOnOpenLinkAppliesNothingNew()
{
    PseudoTerminal other;
    QVERIFY(other.isValid());
    QVERIFY(openOn(*m_pty));

    m_link->setPortName(other.devicePath());
    m_link->setBaudRate(19200);
    QVERIFY(m_link->open());

    m_link->write("RS:RP#");
    QCOMPARE(m_pty->receive(6, 2000), QByteArray("RS:RP#"));
    QCOMPARE(other.drain(200), QByteArray());
    const termios line = m_pty->lineSettings();
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));

    // Only a close and a new open take up the stored name and speed.
    m_link->close();
    QVERIFY(m_link->open());
    m_link->write("RS:RM#");
    QCOMPARE(other.receive(6, 2000), QByteArray("RS:RM#"));
    const termios otherLine = other.lineSettings();
    QCOMPARE(cfgetospeed(&otherLine), speed_t(B19200));
}

void TestSPComm::openFailsForUnknownPorts_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty name") << QString();
    QTest::newRow("no such device") << QStringLiteral("/dev/vev-no-such-port");
}

void TestSPComm::openFailsForUnknownPorts()
{
    QFETCH(QString, name);
    m_link->setPortName(name);
    QVERIFY(!m_link->open());
    QVERIFY(!m_link->isOpen());
    QVERIFY(m_link->error() != QSerialPort::NoError);
    QVERIFY(!m_link->errorString().isEmpty());
}

void TestSPComm::writeOnClosedLinkReturnsQuietly()
{
    m_link->setPortName(m_pty->devicePath());
    QElapsedTimer clock;
    clock.start();
    m_link->write("RS:RT#");
    QVERIFY(clock.elapsed() <= SPComm::writeDrainLimitMs + 500);
    QCOMPARE(m_pty->drain(200), QByteArray());
    QVERIFY(!m_link->isOpen());
}

void TestSPComm::deletingTheLinkClosesThePortAndEndsTheWindow()
{
    const int handlesBefore = m_pty->openDeviceHandles();
    QVERIFY(openOn(*m_pty));
    QCOMPARE(m_pty->openDeviceHandles(), handlesBefore + 1);

    int frames = 0;
    connect(m_link.get(), &SPComm::comRecive, this, [&frames] { ++frames; });
    m_pty->send("RS:RP502#");
    // Let the bytes arrive and the window start, then delete mid-window.
    QTRY_VERIFY_WITH_TIMEOUT(m_link->findChild<QTimer *>()->isActive(), 2000);
    m_link.reset();

    QCOMPARE(m_pty->openDeviceHandles(), handlesBefore);
    // A fixed span on purpose, past the end of the window the deleted link
    // had begun: what is checked is that no frame comes.
    QTest::qWait(SPComm::frameWindowMs + 300);
    QCOMPARE(frames, 0);
}

void TestSPComm::hangUpClosesThePortOnce()
{
    QVERIFY(openOn(*m_pty));
    QSignalSpy lost(m_link.get(), &SPComm::portLost);
    QVERIFY(lost.isValid());

    m_pty->closeMaster(); // the far end goes away
    QVERIFY(lost.wait(2000));
    QVERIFY(!m_link->isOpen());
    QVERIFY(!lost.first().first().toString().isEmpty());

    // No busy loop on the dead line, and no second report: a fixed second
    // on purpose, as what is checked is that nothing happens in it. The CPU
    // bound is a tenth of the span; a loaded machine stretches the span and
    // cannot make a process that sleeps spend more.
    const qint64 cpuBefore = cpuTimeMs();
    QTest::qWait(1000);
    const qint64 cpuUsed = cpuTimeMs() - cpuBefore;
    QVERIFY2(cpuUsed < 100, qPrintable(QStringLiteral("%1 ms of CPU in the second after the loss").arg(cpuUsed)));
    QCOMPARE(lost.count(), 1);
}

void TestSPComm::floodIsCutToBoundedFrames()
{
    QVERIFY(openOn(*m_pty));
    FrameCollector collector(m_link.get(), this);
    m_pty->startFlood(QByteArray(4096, 'x'));
    QTRY_VERIFY_WITH_TIMEOUT(collector.frames.size() >= 2, 3000);
    const qint64 sent = m_pty->stopFlood();
    QVERIFY2(sent > 2 * SPComm::maxFrameBytes, qPrintable(QString::number(sent)));
    for (const QByteArray &frame : std::as_const(collector.frames))
        QVERIFY(frame.size() <= SPComm::maxFrameBytes);
    QCOMPARE(collector.frames.first().size(), SPComm::maxFrameBytes);
}

void TestSPComm::baudRateMapping_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("mapped");

    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        QTest::newRow(qPrintable(QString::number(rate))) << rate << rate;
    for (int rate : {0, -9600, 300, 9601, 14400, 230400, 921600})
        QTest::newRow(qPrintable(QString::number(rate))) << rate << int(SPComm::unknownBaud);
}

void TestSPComm::baudRateMapping()
{
    QFETCH(int, rate);
    QTEST(int(SPComm::toBaudRate(rate)), "mapped");
    QCOMPARE(SPComm::unknownBaud, -1);
}

void TestSPComm::portNamesMatchTheLibrary()
{
    // The window's quick listing names the ports the serial library lists.
    QStringList library;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        library << info.portName();
    library.sort();
    QStringList quick = serialPortNames();
    quick.sort();
    QCOMPARE(quick, library);
}

QTEST_GUILESS_MAIN(TestSPComm)
#include "tst_spcomm.moc"
