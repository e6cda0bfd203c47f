// SPDX-License-Identifier: MIT
// The provisioning engine: lanes against simulated lines of modules, all in
// one process.

#include "productionline.h"
#include "simulatedline.h"
#include "store/filestore.h"
#include "station/station.h"
#include "stationtext/lanetext.h"
#include "tamper.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void lanesShareTheLoop();
    void lostPortEndsOnlyItsLane();
    void simulatedLineKeepsItsRate();
};

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
    const QString plan = writeFile(dir, QStringLiteral("plan.csv"), plan4);
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    const auto station = [&](const QString &planPath, const QString &auditPath, const QStringList &ports) {
        return std::make_unique<Station>(std::make_unique<FileStore>(FileStore::Options {planPath, auditPath, {}, {}, false, true}),
                                         Station::Options {ports, std::chrono::milliseconds(1000), false, {}});
    };
    const auto run = station(plan, audit, {first.line.devicePath(), second.line.devicePath()});
    QSignalSpy finished(run.get(), &Station::finished);
    QSignalSpy recorded(run.get(), &Station::recorded);
    run->start();
    QVERIFY(finished.wait(20000));

    // The lying line's modules fail their read-back; the lane goes on with
    // the next module, and the plan is used up with their rows in doubt.
    QCOMPARE(recorded.size(), 4);
    QStringList results;
    for (const auto &arguments : std::as_const(recorded)) {
        const auto record = arguments.first().value<OutcomeRecord>();
        results << QStringLiteral("%1 %2").arg(record.port == first.line.devicePath() ? "first" : "second",
                                               resultText(record.result));
        if (record.result == Result::Fail)
            QVERIFY2(record.reason.contains(QLatin1String("reads back \"192.168.1.20\" instead of")), qPrintable(record.reason));
        QCOMPARE(record.code, record.result == Result::Fail ? QStringLiteral("readback-mismatch-ip") : QString());
    }
    results.sort();
    QCOMPARE(results, (QStringList {"first pass", "first pass", "second fail", "second fail"}));
    QVERIFY(run->planUsedUp());
    QCOMPARE(finished.first().first().value<ExitCode>(), ExitCode::ReadBackDiffers);
    QCOMPARE(run->planStatus().inDoubtCount(), 2);
    // Each module once: a claim and an outcome for each.
    QCOMPARE(verifyAudit(audit).lines, 8);

    // A plan with nothing open and nothing in doubt ends at once, whatever
    // is on the line.
    const QString done = writeFile(dir, QStringLiteral("done.csv"), "ip,gateway,tcp_port,mac\n");
    const auto empty = station(done, dir.filePath(QStringLiteral("done.jsonl")), {first.line.devicePath()});
    QSignalSpy ended(empty.get(), &Station::finished);
    empty->start();
    QCOMPARE(ended.size(), 1);
    QVERIFY(empty->planUsedUp());
}

void TestStation::lostPortEndsOnlyItsLane()
{
    // Lost while its lane waits for a module, with no request under way:
    // that lane ends (vev-cli's way), the other goes on.
    ModuleSimulator::Options silent;
    silent.silent = true;
    auto lost = std::make_unique<SimulatedLine>(silent);
    SimulatedLine other(silent);
    QVERIFY(lost->modules && other.modules);
    QTemporaryDir dir;
    Station station(std::make_unique<FileStore>(FileStore::Options {writeFile(dir, QStringLiteral("plan.csv"), plan4),
                                                                    dir.filePath(QStringLiteral("audit.jsonl")), {}, {}, false, true}),
                    Station::Options {{lost->line.devicePath(), other.line.devicePath()}, std::chrono::milliseconds(500), false, {}});
    QSignalSpy finished(&station, &Station::finished);
    station.start();
    QVERIFY(station.isRunning());
    lost.reset();
    QTRY_VERIFY(station.lanes().at(0)->isEnded());
    QCOMPARE(station.lanes().at(0)->ending(), Lane::Ending::Lost);
    QVERIFY(laneText(station.lanes().at(0)->status()).startsWith(QLatin1String("port lost: ")));
    QVERIFY(!station.lanes().at(1)->isEnded() && finished.isEmpty());
    station.stop();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().value<ExitCode>(), ExitCode::PortError);
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
    // The poll's millisecond is its interval, not a wait for anything; the
    // module paces its line inside it, on this thread. How long this thread
    // went between two reads at worst is measured, as that is how late a
    // busy machine made both the pacer and the reader.
    QByteArray received;
    int firstRead = 0;
    qint64 quietNs = 0;
    qint64 firstNs = 0;
    qint64 lastReadNs = 0;
    qint64 worstGapNs = 0;
    QElapsedTimer clock;
    clock.start();
    while (received.count('#') < 4 * answers && clock.elapsed() < 5000) {
        QTest::qWait(1);
        char buffer[256];
        const qint64 beforeRead = clock.nsecsElapsed();
        worstGapNs = std::max(worstGapNs, beforeRead - lastReadNs);
        lastReadNs = beforeRead;
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
    // poll's and the pacer's lateness: a few ticks, or on a loaded machine
    // the longest this thread went unserved, once for each.
    const double worstGapMs = worstGapNs / 1e6;
    const double leastMs = (received.size() - 2) * msPerByte;
    const double mostMs = (received.size() - firstRead) * msPerByte * 1.04 + std::max(15.0, 2 * worstGapMs + 5);
    QVERIFY2(sinceQuietMs >= leastMs && sinceFirstMs <= mostMs,
             qPrintable(QStringLiteral("%1 bytes, %2 at the first read: %3 ms since quiet (least %4), %5 ms since "
                                       "the first read (most %6; worst gap between reads %7 ms)")
                            .arg(received.size()).arg(firstRead).arg(sinceQuietMs).arg(leastMs).arg(sinceFirstMs)
                            .arg(mostMs).arg(worstGapMs)));
}

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
