// SPDX-License-Identifier: MIT
// The provisioning station: plans, the audit trail, and lanes against
// simulated lines of modules, all in one process.

#include "sim/modulesimulator.h"
#include "sim/simline.h"
#include "station/station.h"
#include "tamper.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

Q_DECLARE_METATYPE(AuditRecord)

namespace {

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

const QByteArray plan4 = "ip,gateway,tcp_port,mac\n10.0.5.21,10.0.5.1,502,02:00:00:00:10:01\n"
                         "10.0.5.22,10.0.5.1,502,02:00:00:00:10:02\n10.0.5.23,10.0.5.1,502,02:00:00:00:10:03\n"
                         "10.0.5.24,10.0.5.1,502,02:00:00:00:10:04\n";

// A line of modules on a pseudo-terminal of its own, in this process.
struct SimulatedLine {
    SimLine line;
    QString log;
    QTextStream logStream {&log};
    std::unique_ptr<ModuleSimulator> modules;

    explicit SimulatedLine(ModuleSimulator::Options options)
    {
        QString error;
        if (line.openPseudoTerminal(&error))
            modules = std::make_unique<ModuleSimulator>(line.fd(), options, ModuleSimulator::defaultSettings(), logStream);
    }
};

} // namespace

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void plans_data();
    void plans();
    void auditChain();
    void lanesShareTheLoop();
    void simulatedLineKeepsItsRate();
};

void TestStation::plans_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error"); // empty: the plan is good
    QTest::addColumn<int>("count");

    QTest::newRow("any column order, quotes, CRLF")
        << QByteArray("mac,\"tcp_port\",ip,gateway\r\n\"02:00:00:00:00:01\",502,10.0.0.2,10.0.0.1\r\n\r\n"
                      "02-00-00-00-00-02,\"5\"\"0\"\"2\",10.0.0.3,10.0.0.1") << "line 4: invalid Port \"5\"0\"2\"" << 0;
    QTest::newRow("good") << plan4 << "" << 4;
    QTest::newRow("missing column") << QByteArray("ip,gateway,mac\n") << "line 1: the header has no column tcp_port" << 0;
    QTest::newRow("unknown column") << QByteArray("ip,gateway,port,mac\n") << "line 1: column \"port\" is unknown" << 0;
    QTest::newRow("short row") << plan4 + "10.0.5.30,10.0.5.1\n" << "line 6: 2 fields where the header has 4" << 0;
    QTest::newRow("value no device can use") << plan4 + "10.0.5.30,10.0.5.1,502,01:00:5e:00:00:01\n"
                                             << "line 6: invalid MAC address \"01:00:5e:00:00:01\" (a group address" << 0;
    QTest::newRow("an IP twice") << plan4 + "10.0.5.22,10.0.5.1,502,02:00:00:00:10:09\n"
                                 << "line 6: IP address 10.0.5.22 is already on line 3" << 0;
    QTest::newRow("a MAC twice, spelt otherwise") << plan4 + "10.0.5.30,10.0.5.1,502,02-00-00-00-10-0a\n"
                                                    "10.0.5.31,10.0.5.1,502,02:00:00:00:10:0A\n"
                                                  << "line 7: MAC address 02:00:00:00:10:0A is already on line 6" << 0;
    QTest::newRow("unclosed quote") << QByteArray("ip,gateway,tcp_port,mac\n\"10.0.0.2,") << "line 2: a quoted field" << 0;
}

void TestStation::plans()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, error);
    QString why;
    const auto rows = parsePlan(csv, &why);
    QVERIFY2(error.isEmpty() ? rows.has_value() : why.startsWith(error), qPrintable(why));
    QFETCH(int, count);
    if (error.isEmpty()) {
        QCOMPARE(rows->size(), count);
        QCOMPARE(valueOf(rows->last().values, Setting::Port), QStringLiteral("502"));
    }
}

void TestStation::auditChain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("audit.jsonl"));
    QString planError;
    const auto rows = parsePlan(plan4, &planError);
    QVERIFY2(rows, qPrintable(planError));
    {
        AuditLog audit;
        QString error;
        QVERIFY2(audit.open(path, &error), qPrintable(error));
        for (const char *result : {"pass", "fail", "pass"}) {
            AuditRecord record {QStringLiteral("bench-1"), QStringLiteral("/dev/ttyUSB0"), 0, {}, {}, {}, QLatin1String(result)};
            record.row = rows->at(int(qstrlen(result)) % 3).row;
            record.written = rows->at(record.row - 1).values;
            QVERIFY(audit.append(record, &error));
        }
    }
    QCOMPARE(verifyAudit(path).lines, 3);
    QCOMPARE(verifyAudit(path).firstBad, 0);

    // A re-run sees what passed, with the values it was written.
    AuditLog reopened;
    QString error;
    QVERIFY(reopened.open(path, &error));
    QVERIFY(reopened.passed(2, rows->at(1).values));
    QVERIFY(!reopened.passed(2, rows->at(2).values));
    QVERIFY(!reopened.passed(1, rows->at(0).values));

    // One byte changed in the first line breaks the chain at the second.
    QVERIFY(changeByte(path, "10.0.5.2", 7, '9'));
    const AuditCheck check = verifyAudit(path);
    QCOMPARE(check.firstBad, 2);
    QCOMPARE(check.lines, 1);
}

void TestStation::lanesShareTheLoop()
{
    // Two lines of two modules each; every module of the second line
    // acknowledges its writes and keeps its old values.
    ModuleSimulator::Options honest;
    honest.lineModules = 2;
    honest.offAfterMs = 30;
    // Quicker than a probe: the next module is on before the line is ever
    // found empty, and the lane must tell it from the one before.
    honest.plugGapMs = 20;
    ModuleSimulator::Options lying = honest;
    lying.ignoreWrites = true;
    SimulatedLine first(honest);
    SimulatedLine second(lying);
    QVERIFY(first.modules && second.modules);

    QTemporaryDir dir;
    const QString plan = write(dir, QStringLiteral("plan.csv"), plan4);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    Station station({plan, audit, {first.line.devicePath(), second.line.devicePath()}, std::chrono::milliseconds(1000), false});
    QString error;
    int code = -1;
    QVERIFY2(station.prepare(&error, &code), qPrintable(error));
    qRegisterMetaType<AuditRecord>();
    QSignalSpy finished(&station, &Station::finished);
    QSignalSpy recorded(&station, &Station::recorded);
    station.start();
    QVERIFY(finished.wait(20000));

    // The lying line's modules fail their read-back; the lane goes on with
    // the next module, and the plan is used up.
    QCOMPARE(recorded.size(), 4);
    QStringList results;
    for (const auto &arguments : std::as_const(recorded)) {
        const auto record = arguments.first().value<AuditRecord>();
        results << QStringLiteral("%1 %2").arg(record.port == first.line.devicePath() ? "first" : "second", record.result);
    }
    results.sort();
    QCOMPARE(results, (QStringList {"first pass", "first pass", "second fail", "second fail"}));
    QVERIFY(station.planUsedUp());
    QCOMPARE(finished.first().first().toInt(), 9);
    QCOMPARE(verifyAudit(audit).lines, 4);

    // A re-run resumes: only the failed rows are left.
    Station again({plan, audit, {}, std::chrono::milliseconds(1000), true});
    QVERIFY(again.prepare(&error, &code));
    QCOMPARE(again.rowsLeft(), 2);

    // A plan with nothing left ends at once, whatever is on the line.
    const QString done = write(dir, QStringLiteral("done.csv"), "ip,gateway,tcp_port,mac\n");
    Station finishedPlan({done, audit, {first.line.devicePath()}, std::chrono::milliseconds(1000), false});
    QVERIFY(finishedPlan.prepare(&error, &code));
    QSignalSpy ended(&finishedPlan, &Station::finished);
    finishedPlan.start();
    QCOMPARE(ended.size(), 1);
    QVERIFY(finishedPlan.planUsedUp());
}

void TestStation::simulatedLineKeepsItsRate()
{
    // The figures measured against a paced module are only as true as its
    // pace: ten answers at 9600 baud take their time on the line, neither
    // less nor (beyond a tick or two) more.
    ModuleSimulator::Options paced;
    paced.lineRate = 9600;
    SimulatedLine line(paced);
    QVERIFY(line.modules);
    const int fd = ::open(QFile::encodeName(line.line.devicePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios raw {};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    constexpr int answers = 10;
    const QByteArray reads = QByteArray("RS:RT#RS:RG#RS:RP#RS:RM#").repeated(answers);
    QCOMPARE(::write(fd, reads.constData(), size_t(reads.size())), ssize_t(reads.size()));

    // Polled every millisecond or so, the first read may find bytes that came
    // before it. So the line takes at least the time of every byte after the
    // first since the last read that found nothing, and at most that of the
    // bytes after the first read since that read.
    QByteArray received;
    int firstRead = 0;
    qint64 quietNs = 0;
    qint64 firstNs = 0;
    QElapsedTimer clock;
    clock.start();
    while (received.count('#') < 4 * answers && clock.elapsed() < 5000) {
        QTest::qWait(1);
        char buffer[256];
        const qint64 beforeRead = clock.nsecsElapsed();
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            received.append(buffer, int(n));
        if (received.isEmpty()) {
            quietNs = beforeRead;
        } else if (firstRead == 0) {
            firstRead = received.size();
            firstNs = clock.nsecsElapsed();
        }
    }
    const double sinceQuietMs = (clock.nsecsElapsed() - quietNs) / 1e6;
    const double sinceFirstMs = (clock.nsecsElapsed() - firstNs) / 1e6;
    ::close(fd);
    QCOMPARE(received.count('#'), 4 * answers);
    const double msPerByte = 10.0 * 1000 / paced.lineRate; // start, eight data bits, stop
    // Less one byte that a restart of the pacer sends at once; more by the
    // poll's and the pacer's lateness on a loaded machine.
    const double leastMs = (received.size() - 2) * msPerByte;
    const double mostMs = (received.size() - firstRead) * msPerByte * 1.04 + 15;
    QVERIFY2(sinceQuietMs >= leastMs && sinceFirstMs <= mostMs,
             qPrintable(QStringLiteral("%1 bytes, %2 at the first read: %3 ms since quiet (least %4), %5 ms since "
                                       "the first read (most %6)").arg(received.size()).arg(firstRead)
                            .arg(sinceQuietMs).arg(leastMs).arg(sinceFirstMs).arg(mostMs)));
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
