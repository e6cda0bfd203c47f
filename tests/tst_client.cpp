// SPDX-License-Identifier: MIT
// GatewayClient in process on a pseudo-terminal: the rules of when an
// answer is over (the request's time, the gap in an answer under way, the
// limit on a late answer), where it begins, and that every request ends
// with its signal.

#include "client/gatewayclient.h"
#include "pseudoterminal.h"

#include <QElapsedTimer>
#include <QtTest>

Q_DECLARE_METATYPE(ReadOutcome)
Q_DECLARE_METATYPE(WriteOutcome)

namespace {

const QByteArray answer = "RS:RT10-0-0-5#RS:RG10-0-0-1#RS:RP7#RS:RM02-00-00-00-00-01#";

QString summary(const ReadOutcome &outcome)
{
    if (outcome.status == ReadOutcome::Lost)
        return QStringLiteral("lost");
    QStringList values;
    for (Setting setting : allSettings)
        values << valueOf(outcome.values, setting).value_or(QStringLiteral("-"));
    return values.join(QLatin1Char(' '));
}

QString summary(const WriteOutcome &outcome)
{
    if (outcome.status == WriteOutcome::Lost)
        return QStringLiteral("lost: ") + outcome.reason;
    QStringList acknowledged;
    for (Setting setting : outcome.acknowledged.toList())
        acknowledged << QLatin1String(settingInfo(setting).key);
    return QStringLiteral("sent %1, acknowledged %2").arg(outcome.sent.toList().size()).arg(acknowledged.join(QLatin1Char(',')));
}

} // namespace

class TestClient : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void everyRequestEnds();
};

void TestClient::initTestCase()
{
    qRegisterMetaType<ReadOutcome>();
    qRegisterMetaType<WriteOutcome>();
}

// The module played byte by byte: "<N" waits for N bytes from the client,
// ">text" sends, "+text" sends and waits until the client has read it (the
// next piece comes as a read of its own), "~text" dribbles text a byte at a
// time until the request's time is up and then sends the rest (an answer
// under way when the time runs out), "=ms" is a silence of the module's of
// at least ms, "x" hangs the line up.
void TestClient::answers_data()
{
    QTest::addColumn<QString>("request"); // read, read after earlier answers, write, write stopping
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("expected");

    const QString whole = QString::fromLatin1(answer);
    QTest::newRow("an answer in pieces") << "read" << 1000
        << QStringList {"<24", "+RS:RT10-0-0-5#RS:RG10-", ">0-0-1#RS:RP7#RS:RM02-00-00-00-00-01#"}
        << "10.0.0.5 10.0.0.1 7 02:00:00:00:00:01";
    QTest::newRow("begun in time, its pieces within the gap") << "read" << 600
        << QStringList {"<24", "~" + whole} << "10.0.0.5 10.0.0.1 7 02:00:00:00:00:01";
    // The silences are longer than the rules allow: a loaded machine only
    // stretches them.
    QTest::newRow("a gap longer than the answer gap ends it") << "read" << 600
        << QStringList {"<24", "~RS:RT10-0-0-5#", "=900", ">RS:RG10-0-0-1#"} << "10.0.0.5 - - -";
    QTest::newRow("an answer that begins late is not taken") << "read" << 600
        << QStringList {"<24", "=1000", ">" + whole} << "- - - -";
    QTest::newRow("a value whose # never comes is not read") << "read" << 300
        << QStringList {"<24", ">RS:RT10-0-0-5#RS:RMAA-BB-CC-DD-EE-"} << "10.0.0.5 - - -";
    QTest::newRow("input from before is not the answer") << "read" << 1000
        << QStringList {">RS:RT192-168-9-9#RS:RG192-168-9-1#RS:RP1#RS:RM02-00-00-00-00-09#", "<24", ">" + whole}
        << "10.0.0.5 10.0.0.1 7 02:00:00:00:00:01";
    QTest::newRow("answers to earlier probes come first") << "read after earlier answers" << 1000
        << QStringList {"<24", "+RS:RM02-00-00-00-00-09#RS:RM02-00", ">-00-00-00-09#" + whole}
        << "10.0.0.5 10.0.0.1 7 02:00:00:00:00:01";
    QTest::newRow("a line hung up while reading is lost") << "read" << 1000 << QStringList {"<24", "x"} << "lost";
    QTest::newRow("an acknowledgement before its command does not count") << "write" << 300
        << QStringList {"<14", ">OK eth IP address, eth Port", "<8"} << "sent 2, acknowledged ip";
    QTest::newRow("each write goes once the one before is acknowledged") << "write" << 300
        << QStringList {"<14", ">OK eth IP address", "<8", ">OK eth Port"} << "sent 2, acknowledged ip,port";
    // A station's write: a setting left unacknowledged ends it, as the
    // module may have been taken off and another put on.
    QTest::newRow("stopping: acknowledged, on to the next") << "write, stopping" << 300
        << QStringList {"<14", ">OK eth IP address", "<8", ">OK eth Port"} << "sent 2, acknowledged ip,port";
    QTest::newRow("stopping: nothing follows an unacknowledged setting") << "write, stopping" << 300
        << QStringList {"<14", "=1500"} << "sent 1, acknowledged ";
}

void TestClient::answers()
{
    QFETCH(QString, request);
    QFETCH(int, timeoutMs);
    QFETCH(QStringList, script);
    QFETCH(QString, expected);

    PseudoTerminal pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.error()));
    GatewayClient client;
    QString reason;
    QCOMPARE(client.open(pty.devicePath(), &reason), OpenFailure::None);
    QSignalSpy read(&client, &GatewayClient::readFinished);
    QSignalSpy written(&client, &GatewayClient::writeFinished);
    const std::chrono::milliseconds timeout(timeoutMs);
    // What is sent before the client's first bytes is left over from earlier.
    while (!script.isEmpty() && script.first().startsWith(QLatin1Char('>')))
        pty.send(script.takeFirst().mid(1).toLatin1());
    // Started before the request, so that the request's time is up once
    // this shows more than timeoutMs and the loop has been served.
    QElapsedTimer sinceStart;
    sinceStart.start();
    const bool writing = request.startsWith(QLatin1String("write"));
    if (writing)
        client.startWrite({QStringLiteral("10.0.0.2"), std::nullopt, QStringLiteral("80"), std::nullopt}, timeout, false,
                          request.endsWith(QLatin1String("stopping")) ? GatewayClient::Unacknowledged::Stop
                                                                       : GatewayClient::Unacknowledged::SendNext);
    else
        client.startRead(timeout, request == QLatin1String("read") ? GatewayClient::ReadStart::Fresh
                                                                   : GatewayClient::ReadStart::AfterEarlierAnswers);
    for (const QString &step : std::as_const(script)) {
        if (step.startsWith(QLatin1Char('<'))) {
            QCOMPARE(pty.receive(step.mid(1).toInt(), 3000).size(), step.mid(1).toInt());
        } else if (step.startsWith(QLatin1Char('>'))) {
            pty.send(step.mid(1).toLatin1());
        } else if (step.startsWith(QLatin1Char('+'))) {
            QVERIFY(pty.sendAndAwaitRead(step.mid(1).toLatin1(), 3000));
        } else if (step.startsWith(QLatin1Char('~'))) {
            // Each byte a sixth of the answer gap after the client read the
            // one before: the gaps leave most of the answer gap to a busy
            // machine, and the text outlasts the request's time.
            constexpr int paceMs = int(GatewayClient::answerGap.count()) / 6;
            QByteArray text = step.mid(1).toLatin1();
            while (text.size() > 1 && sinceStart.elapsed() <= timeoutMs + paceMs) {
                QVERIFY(pty.sendAndAwaitRead(text.left(1), 3000));
                text.remove(0, 1);
                QTest::qWait(paceMs);
            }
            QVERIFY2(sinceStart.elapsed() > timeoutMs, "the text ran out before the request's time");
            pty.send(text);
        } else if (step.startsWith(QLatin1Char('='))) {
            QTest::qWait(step.mid(1).toInt());
        } else if (step == QLatin1String("x")) {
            pty.closeMaster();
        }
    }
    QSignalSpy &finished = writing ? written : read;
    QVERIFY(!finished.isEmpty() || finished.wait(timeoutMs + GatewayClient::lateAnswerLimit.count() + 2000));
    QCOMPARE(finished.size(), 1);
    const QVariant outcome = finished.first().first();
    QCOMPARE(writing ? summary(outcome.value<WriteOutcome>()) : summary(outcome.value<ReadOutcome>()),
             expected);
}

void TestClient::everyRequestEnds()
{
    // Nothing to write, a closed line: the signal comes all the same, from
    // the event loop, never inside the call.
    GatewayClient client;
    QSignalSpy read(&client, &GatewayClient::readFinished);
    QSignalSpy written(&client, &GatewayClient::writeFinished);
    client.startWrite({}, std::chrono::milliseconds(100), true);
    client.startRead(std::chrono::milliseconds(100));
    QCOMPARE(written.size() + read.size(), 0);
    QTRY_COMPARE(written.size(), 1);
    QCOMPARE(summary(written.first().first().value<WriteOutcome>()), QStringLiteral("lost: the port is not open"));
    QCOMPARE(summary(read.first().first().value<ReadOutcome>()), QStringLiteral("lost"));

    PseudoTerminal pty;
    QVERIFY2(pty.isValid(), qPrintable(pty.error()));
    QString reason;
    QCOMPARE(client.open(pty.devicePath(), &reason), OpenFailure::None);
    client.startWrite({}, std::chrono::milliseconds(100), true);
    QTRY_COMPARE(written.size(), 2);
    QCOMPARE(summary(written.last().first().value<WriteOutcome>()), QStringLiteral("sent 0, acknowledged "));
    QCOMPARE(pty.drain(100), QByteArray());

    // A late answer runs out at its limit, however it dribbles on.
    QElapsedTimer clock;
    clock.start();
    client.startRead(std::chrono::milliseconds(100));
    QCOMPARE(pty.receive(24, 3000).size(), 24);
    pty.send("RS:RT1-2-3-4#");
    // The pause is the module's pace, a third of the answer gap, not a wait
    // for anything; the loop ends on the signal.
    while (read.size() < 2 && clock.elapsed() < 100 + GatewayClient::lateAnswerLimit.count() * 3) {
        pty.send("x");
        QTest::qWait(int(GatewayClient::answerGap.count()) / 3);
    }
    QCOMPARE(read.size(), 2);
    QCOMPARE(summary(read.last().first().value<ReadOutcome>()), QStringLiteral("1.2.3.4 - - -"));
}

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
