// SPDX-License-Identifier: MIT
// The plan and its records: plans, the audit's lines and files, and the
// plan book's ruling.

#include "auditfixture.h"
#include "plan/failurecodes.h"
#include "plan/auditfile.h"
#include "plan/compactline.h"
#include "plan/plan.h"
#include "plan/planbook.h"
#include "largerun.h"
#include "processusage.h"
#include "productionline.h"
#include "tamper.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestPlan : public QObject
{
    Q_OBJECT

private slots:
    void plans_data();
    void plans();
    void auditLines_data();
    void auditLines();
    void auditFilesRefused();
    void linesFitTheirReader();
    void linesReadInPlaceAsQtReadsThem();
    void longAuditsCostByTheirLength();
    void names_data();
    void names();
    void ruling_data();
    void ruling();
    void failureCodes_data();
    void failureCodes();
};

void TestPlan::plans_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error"); // empty: the plan is good
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("force");

    const QByteArray header = "ip,gateway,tcp_port,mac\n";
    QTest::newRow("any column order, quotes, CRLF")
        << QByteArray("mac,\"tcp_port\",ip,gateway\r\n\"02:00:00:00:00:01\",502,10.0.0.2,10.0.0.1\r\n\r\n"
                      "02-00-00-00-00-02,\"5\"\"0\"\"2\",10.0.0.3,10.0.0.1") << "line 4: invalid value for Port: \"5\"0\"2\"" << 0 << false;
    QTest::newRow("good") << plan4 << "" << 4 << false;
    QTest::newRow("semicolons, a byte order mark, headers as people type them")
        << QByteArray("\xef\xbb\xbfIP; Gateway ;TCP port;Mac\r\n10.0.5.21;10.0.5.1;502;02:00:00:00:10:01\r\n") << "" << 1 << false;
    QTest::newRow("missing column") << QByteArray("ip,gateway,mac\n") << "line 1: the header has no column tcp_port" << 0 << false;
    QTest::newRow("unknown column") << QByteArray("ip,gateway,port,mac\n") << "line 1: column \"port\" is unknown" << 0 << false;
    QTest::newRow("escape sequences are shown, not sent to the terminal")
        << QByteArray("ip,gateway,tcp_port,\x1b]0;owned\x07\n") << "line 1: column \"\\x1b]0;owned\\x07\" is unknown" << 0 << false;
    QTest::newRow("short row") << plan4 + "10.0.5.30,10.0.5.1\n" << "line 6: 2 fields where the header has 4" << 0 << false;
    QTest::newRow("value no device can use") << plan4 + "10.0.5.30,10.0.5.1,502,01:00:5e:00:00:01\n"
                                             << "line 6: invalid value for MAC address: \"01:00:5e:00:00:01\" (a group address" << 0 << false;
    QTest::newRow(".255 as write refuses it") << plan4 + "10.0.5.255,10.0.5.1,502,02:00:00:00:10:09\n"
                                              << "line 6: IP address 10.0.5.255 is the broadcast address of 10.0.5.0/24; give --force" << 0 << false;
    QTest::newRow(".255 with --force") << plan4 + "10.0.5.255,10.0.5.1,502,02:00:00:00:10:09\n" << "" << 5 << true;
    QTest::newRow("an IP twice") << plan4 + "10.0.5.22,10.0.5.1,502,02:00:00:00:10:09\n"
                                 << "line 6: IP address \"10.0.5.22\" is already on line 3" << 0 << false;
    QTest::newRow("a MAC twice, spelt otherwise") << plan4 + "10.0.5.30,10.0.5.1,502,02-00-00-00-10-0a\n"
                                                    "10.0.5.31,10.0.5.1,502,02:00:00:00:10:0A\n"
                                                  << "line 7: MAC address \"02:00:00:00:10:0A\" is already on line 6" << 0 << false;
    QTest::newRow("unclosed quote") << QByteArray("ip,gateway,tcp_port,mac\n\"10.0.0.2,") << "line 2: a quoted field" << 0 << false;
    QTest::newRow("a NUL byte does not end the plan") << plan4 + QByteArray("10.0.5.30,10.0\0.5.1,502,02:00:00:00:10:09\n", 42)
                                                      << "line 6: a NUL byte" << 0 << false;
    QTest::newRow("UTF-16") << QByteArray("\xff\xfe") + QByteArray(reinterpret_cast<const char *>(QString::fromLatin1(header).utf16()), 2 * header.size())
                            << "is UTF-16 text" << 0 << false;
    QTest::newRow("CR-only line ends") << QByteArray(plan4).replace('\n', '\r') << "lines ending in CR alone" << 0 << false;

    // A plan larger than the blocks it is read in: its rows, their lines and
    // what is refused do not depend on where a block ends, quoted fields
    // included (each gateway is quoted here).
    QByteArray large = header;
    constexpr int rows = 60000;
    for (int i = 0; i < rows; ++i) {
        large += QStringLiteral("10.9.%1.%2,\"10.9.%1.254\",502,02:00:00:09:%3:%4\n").arg(i / 250).arg(i % 250 + 1)
                     .arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')).toLatin1();
    }
    QTest::newRow("a plan read in many blocks") << large << "" << rows << false;
    QTest::newRow("an address twice, blocks apart") << large + "10.9.0.1,10.9.0.254,502,02:00:00:0a:00:00\n"
                                                    << QStringLiteral("line %1: IP address \"10.9.0.1\" is already on line 2")
                                                           .arg(rows + 2) << 0 << false;
    QTest::newRow("a quoted line end far into the plan")
        << large + "10.9.250.1,\"10.9.\n250.254\",502,02:00:00:0a:00:00\n10.9.250.2,10.9.250.254,502,02:00:00:0a:00:00\n"
        << QStringLiteral("line %1: invalid value for Gateway").arg(rows + 2) << 0 << false;
}

void TestPlan::plans()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, error);
    QFETCH(bool, force);
    QString why;
    const auto rows = parsePlan(csv, &why, force);
    QVERIFY2(error.isEmpty() ? rows.has_value() : why.contains(error), qPrintable(why));
    QFETCH(int, count);
    if (error.isEmpty()) {
        QCOMPARE(rows->size(), count);
        QCOMPARE(valueOf(rows->last().values, Setting::Port), QStringLiteral("502"));
    }
}

void TestPlan::auditLines_data()
{
    QTest::addColumn<QByteArray>("audit");
    QTest::addColumn<QByteArray>("last");  // for --last; empty: none
    QTest::addColumn<int>("firstBad");     // 0: it checks out
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("unknown");      // lines of kinds this version does not know

    const QByteArray good = auditOf({"claim 10.0.5.21 02:00:00:00:10:01", "outcome 10.0.5.21 02:00:00:00:10:01 pass"});
    const QByteArray hashOfGood = chainHash(good.split('\n').at(1));
    QTest::newRow("claim and outcome") << good << hashOfGood << 0 << "" << 0;
    QTest::newRow("as the first version wrote it") << auditOf({"v1 10.0.5.21 02:00:00:00:10:01 fail"}) << QByteArray() << 0 << "" << 0;
    QTest::newRow("nothing but prev") << "{\"prev\":\"" + firstPrev + "\"}\n" << QByteArray() << 1 << "\"time\" is missing" << 0;
    QTest::newRow("a row of the wrong type") << QByteArray(good).replace("\"row\":1,", "\"row\":\"1\",") << QByteArray() << 1
                                             << "\"row\" is missing or not a whole number" << 0;
    QTest::newRow("an unknown result") << auditOf({"outcome 10.0.5.21 02:00:00:00:10:01 pass"}).replace("\"pass\"", "\"fine\"")
                                       << QByteArray() << 1 << "\"result\" is not one of" << 0;
    // A kind a later version writes: chained, its fields not read, skipped.
    const QByteArray later = "{\"kind\":\"recall\",\"prev\":\"" + firstPrev + "\",\"station\":\"bench-1\","
                             "\"time\":\"2026-12-08T03:00:00.000Z\",\"tool\":{\"x\":1},\"version\":\"9.0.0\"}";
    const QByteArray onLater = auditOf({"claim 10.0.5.21 02:00:00:00:10:01"}).replace(firstPrev, chainHash(later));
    QTest::newRow("a kind of a later version") << later + '\n' + onLater << QByteArray() << 0 << "" << 1;
    QTest::newRow("a later kind without its chain") << QByteArray(later).replace(firstPrev, QByteArray(64, '1')) + '\n'
                                                    << QByteArray() << 1 << "prev is not 64 zeros" << 0;
    QTest::newRow("a known kind with a field of the wrong type")
        << QByteArray(good).replace("\"port\":\"/dev/ttyUSB0\"", "\"port\":7") << QByteArray() << 1 << "\"port\"" << 0;
    QTest::newRow("line ends converted") << QByteArray(good).replace("\n", "\r\n") << QByteArray() << 1 << "convert them back" << 0;
    // One line as long as a reader takes, padded with a field no reader
    // knows; a byte more and it is no audit line.
    const QByteArray first = good.left(good.indexOf('\n'));
    const QByteArray padded = first.left(1) + "\"~\":\"" + QByteArray(longestAuditLine - first.size() - 8, 'x') + "\","
                              + first.mid(1);
    QTest::newRow("a line as long as a reader takes") << padded + '\n' << QByteArray() << 0 << "" << 0;
    QTest::newRow("a byte longer") << QByteArray(padded).insert(10, 'x') + '\n' << QByteArray() << 1 << "longer than" << 0;
    QTest::newRow("a partial last line") << good + "{\"prev\":" << QByteArray() << 3 << "partial line" << 0;
    QTest::newRow("a line removed") << good.mid(good.indexOf('\n') + 1) << QByteArray() << 1 << "64 zeros" << 0;
    QTest::newRow("a rewritten chain does not end at the hash kept")
        << auditOf({"claim 10.0.5.21 02:00:00:00:10:01", "outcome 10.0.5.21 02:00:00:00:10:01 fail"}) << hashOfGood << -1
        << "does not end at" << 0;
}

void TestPlan::auditLines()
{
    QFETCH(QByteArray, audit);
    QFETCH(QByteArray, last);
    QFETCH(int, firstBad);
    QFETCH(QString, why);
    QFETCH(int, unknown);
    QTemporaryDir dir;
    const AuditCheck check = verifyAudit(writeFile(dir, QStringLiteral("audit.jsonl"), audit), {}, last);
    QCOMPARE(check.firstBad, std::max(firstBad, 0));
    QCOMPARE(check.endsElsewhere, firstBad < 0);
    QVERIFY2(check.why.contains(why), qPrintable(check.why));
    QCOMPARE(check.unknown, unknown);
    if (firstBad == 0)
        QCOMPARE(check.lastHash, chainHash(audit.chopped(1).mid(audit.chopped(1).lastIndexOf('\n') + 1)));
}

void TestPlan::auditFilesRefused()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path : {QStringLiteral("/dev/null"), QStringLiteral("/dev/zero"), fifo, dir.path()}) {
        const AuditCheck check = verifyAudit(path);
        QVERIFY2(check.unreadable && check.why.contains(QLatin1String("not a regular file")), qPrintable(path));
        AuditFile file;
        QString error;
        bool broken = false;
        QVERIFY(!file.open(path, {}, &error, &broken));
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
    }

    // Beyond 2 GiB (sparse here): read a line at a time, never whole, and a
    // "line" that never ends is no audit line.
    QFile huge(dir.filePath(QStringLiteral("huge.jsonl")));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 31 | 1));
    huge.close();
    const AuditCheck check = verifyAudit(huge.fileName());
    QCOMPARE(check.firstBad, 1);
    QVERIFY2(check.why.contains(QLatin1String("not an audit line")), qPrintable(check.why));
}

void TestPlan::linesFitTheirReader()
{
    // A hostile module's answers, as long as the gatherer takes them, all
    // escapes in JSON; and a reason quoting them.
    const QString junk(1024, QChar(1));
    const SettingValues hostile {junk, junk, junk, junk};
    const SettingValues row {QStringLiteral("10.0.5.21"), QStringLiteral("10.0.5.1"), QStringLiteral("502"),
                             QStringLiteral("02:00:00:00:10:01")};
    const AuditRecord record {{}, QStringLiteral("bench-1"), QString(100, 'o'), {},
                              OutcomeRecord {1, QString(4000, 'p'), hostile, row, hostile, Result::Fail, QString(70000, 'r'), {}}};
    const QByteArray line = auditLine(record, firstPrev);
    QVERIFY2(line.size() <= longestAuditLine, qPrintable(QString::number(line.size())));
    QString why;
    const auto read = readAuditLine(line, &why);
    QVERIFY2(read && read->record, qPrintable(why));
    // What the plan and the station gave stays whole.
    const auto &outcome = std::get<OutcomeRecord>(read->record->body);
    QCOMPARE(outcome.written, row);
    QCOMPARE(read->record->operatorName, QString(100, 'o'));
    QVERIFY(outcome.reason.endsWith(QStringLiteral("[cut]")));
}

namespace {

// A line of each kind and form: the compact ones auditLine() writes, and
// ones it writes with escapes and UTF-8, or that others wrote.
QList<QByteArray> linesOfEveryKind()
{
    const SettingValues row {QStringLiteral("10.0.5.21"), QStringLiteral("10.0.5.1"), QStringLiteral("502"),
                             QStringLiteral("02:00:00:00:10:01")};
    const SettingValues found {QStringLiteral("192.168.1.20"), std::nullopt, QStringLiteral("502"),
                               QStringLiteral("02:56:45:00:00:01")};
    const QList<Setting> some {Setting::IpAddress, Setting::MacAddress};
    const QList<AuditBody> bodies {
        ClaimRecord {7, QStringLiteral("/dev/ttyUSB0"), found, row, true, 3},
        OutcomeRecord {7, QStringLiteral("/dev/ttyUSB1"), found, row, row, Result::Pass, {}, some},
        OutcomeRecord {7, QStringLiteral("/dev/ttyUSB1"), found, row, found, Result::NoAnswer, QStringLiteral("no answer"), {}},
        OutcomeRecord {7, QStringLiteral("/dev/ttyUSB1"), found, row, row, Result::Fail, QStringLiteral("MAC \"x\"\t"), {}},
        ReleaseRecord {7, row, QStringLiteral("released by the operator")},
        LabelRecord {7, row, false, QStringLiteral("lp"), QStringLiteral("out of paper"), true, true},
        LostRecord {7, QStringLiteral("/dev/ttyUSB2"), row, found},
    };
    QList<QByteArray> lines;
    for (const AuditBody &body : bodies)
        lines << auditLine({QStringLiteral("2026-03-02T06:00:00.070Z"), QStringLiteral("bench-1"), QStringLiteral("Ana"),
                            QStringLiteral("1.0.0"), body}, firstPrev);
    lines << auditLine({{}, QStringLiteral("bench-1"), QStringLiteral("José"), {}, bodies.at(0)}, firstPrev);
    lines << auditOf({"v1 10.0.5.21 02:00:00:00:10:01 fail"}).trimmed();
    lines << "{\"kind\":\"recall\",\"prev\":\"" + firstPrev + "\",\"station\":\"bench-1\",\"time\":\"t\",\"tool\":{\"x\":[1]},"
                                                                 "\"version\":\"9.0.0\"}";
    return lines;
}

// Under AddressSanitizer, which runs these ten times slower, the two long
// reading tests below do a quarter of their work.
#ifdef __SANITIZE_ADDRESS__
constexpr int slowness = 4;
#else
constexpr int slowness = 1;
#endif

} // namespace

void TestPlan::linesReadInPlaceAsQtReadsThem()
{
    // Every line changed in one place (a byte taken out, put in, or put in
    // another's stead) reads the same in place as through Qt's reader:
    // taken to the same record, or refused for the same reason.
    const char raw[] = "\"\\{}[],:01-.entu \x7f\xc3"; // and its NUL
    const QByteArray bytes(raw, sizeof raw);
    int inPlace = 0;
    int compared = 0;
    for (const QByteArray &line : linesOfEveryKind()) {
        QList<QByteArray> variants {line};
        for (int i = 0; i < line.size(); ++i) {
            variants << QByteArray(line).remove(i, 1);
            for (int b = i % slowness; b < bytes.size(); b += slowness) {
                const char c = bytes.at(b);
                variants << QByteArray(line).insert(i, c) << QByteArray(line).replace(i, 1, &c, 1);
            }
        }
        for (const QByteArray &variant : qAsConst(variants)) {
            QString whyInPlace;
            QString whyQt;
            const auto read = readAuditLine(variant, &whyInPlace);
            const auto readByQt = readAuditLineWithQt(variant, &whyQt);
            QVERIFY2(read.has_value() == readByQt.has_value() && whyInPlace == whyQt,
                     qPrintable(variant + "\n" + whyInPlace + " / " + whyQt));
            ++compared;
            inPlace += CompactLine().read(variant);
            if (!read)
                continue;
            QCOMPARE(read->prev, readByQt->prev);
            QCOMPARE(read->kind, readByQt->kind);
            QCOMPARE(read->record.has_value(), readByQt->record.has_value());
            if (read->record)
                QCOMPARE(auditLine(*read->record, read->prev), auditLine(*readByQt->record, read->prev));
        }
    }
    // Most of them in the form read in place, the lines as written first.
    QVERIFY2(inPlace > compared / 4, qPrintable(QStringLiteral("%1 of %2").arg(inPlace).arg(compared)));
    for (const QByteArray &line : linesOfEveryKind().mid(0, 7))
        QVERIFY2(CompactLine().read(line) == !line.contains('\\'), line.constData());
}

void TestPlan::longAuditsCostByTheirLength()
{
    // Audits over several of the reader's blocks and batches, read whole,
    // each record handed over in order; twice the lines cost about twice
    // the time (the fastest of three, in CPU time: a busy machine slows
    // each alike).
    QTemporaryDir dir;
    const auto cost = [&dir](int lines) -> qint64 {
        const QString path = dir.filePath(QStringLiteral("audit%1.jsonl").arg(lines));
        const QByteArray last = writeLargeAudit(path, lines);
        int visited = 0;
        const AuditCheck check = verifyAudit(path, [&visited](const AuditRecord &, int line) {
            visited += line == visited + 1;
        });
        if (check.lines != lines || visited != lines || check.lastHash != last)
            return -1;
        qint64 best = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 3; ++round) {
            const qint64 start = cpuTimeMs();
            const AuditCheck again = verifyAudit(path, {}, last);
            best = std::min(best, cpuTimeMs() - start);
            if (again.lines != lines || !again.why.isEmpty())
                return -1;
        }
        return std::max<qint64>(best, 1);
    };
    const qint64 one = cost(20000 / slowness);
    const qint64 two = cost(40000 / slowness);
    QVERIFY2(one > 0 && two > 0, "a long audit did not check out whole");
    QVERIFY2(two < 3 * one + 20, qPrintable(QStringLiteral("%1 ms, then %2 ms").arg(one).arg(two)));

    // A line changed deep inside: the line after it is the first bad one,
    // whichever batch and thread read them.
    QFile audit(dir.filePath(QStringLiteral("audit%1.jsonl").arg(20000 / slowness)));
    QVERIFY(audit.open(QIODevice::ReadWrite));
    QByteArray text = audit.readAll();
    const int at = text.indexOf("bench-1", int(text.size() * 3 / 4));
    text[at + 6] = '2';
    const int changed = text.left(at).count('\n') + 1;
    QVERIFY(audit.seek(0) && audit.write(text) == text.size());
    audit.close();
    const AuditCheck check = verifyAudit(audit.fileName());
    QCOMPARE(check.firstBad, changed + 1);
    QCOMPARE(check.lines, changed);
    QCOMPARE(check.why, QStringLiteral("prev does not match line %1: a line was changed, removed or inserted").arg(changed));
}

void TestPlan::names_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("name"); // as records carry it; empty: refused

    QTest::newRow("as typed") << "Ana Lima" << "Ana Lima";
    QTest::newRow("decomposed, stored composed") << QString::fromUtf8("Jose\xcc\x81") << QString::fromUtf8("Jos\xc3\xa9");
    QTest::newRow("a hundred characters") << QString(100, 'a') << QString(100, 'a');
    QTest::newRow("a hundred and one") << QString(101, 'a') << "";
    QTest::newRow("a tab") << "bench\t1" << "";
    QTest::newRow("an escape sequence") << "\x1b]0;owned\x07" << "";
    QTest::newRow("a line separator") << QString::fromUtf8("a\xe2\x80\xa8" "b") << "";
}

void TestPlan::names()
{
    QFETCH(QString, given);
    QFETCH(QString, name);
    QString why;
    const auto read = recordName(given, QStringLiteral("--operator"), &why);
    QCOMPARE(read.value_or(QString()), name);
    QVERIFY(read || why.startsWith(QLatin1String("--operator")));
}

void TestPlan::ruling_data()
{
    // Settings as "ip gateway port mac"; each live row as "state settings",
    // then "before settings" (the module's when claimed), "back settings" (a
    // failed read-back), "acked keys" (what that outcome saw acknowledged)
    // and "in hand" as they apply ("back none": nothing read back). Rows
    // count from 1.
    QTest::addColumn<QString>("module");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("ruling"); // "fresh", "fresh part N", "resume N", "holds N", "conflict N why"

    const QString row1 = QStringLiteral("10.0.5.21 10.0.5.1 502 02:00:00:00:10:01");
    const QString row2 = QStringLiteral("10.0.5.22 10.0.5.1 502 02:00:00:00:10:02");
    const QString factory = QStringLiteral("192.168.1.20 192.168.1.1 502 02:56:45:00:00:01");
    const QString twin = QStringLiteral("192.168.1.20 192.168.1.1 502 02:56:45:00:00:02");
    const QString before = QStringLiteral(" before ") + factory;
    // Row 1 written as far as its gateway on one module, the rest on the
    // next: what each of the two then holds.
    const QString firstHalf = QStringLiteral("10.0.5.21 10.0.5.1 502 02:56:45:00:00:01");
    const QString secondHalf = QStringLiteral("192.168.1.20 192.168.1.1 502 02:00:00:00:10:01");

    QTest::newRow("a fresh module") << factory << QStringList() << "fresh";
    QTest::newRow("its passed row in all four") << row1 << QStringList {"passed " + row1 + before} << "holds 1";
    QTest::newRow("swapped mid-write: the first module finishes its row")
        << firstHalf << QStringList {"failed " + row1 + before + " back " + secondHalf} << "resume 1";
    QTest::newRow("swapped mid-write: the second module, before the first is back")
        << secondHalf << QStringList {"failed " + row1 + before + " back " + secondHalf} << "resume 1";
    QTest::newRow("swapped mid-write: the second module, once the first passed")
        << secondHalf << QStringList {"passed " + row1 + before + " back " + secondHalf} << "fresh";
    QTest::newRow("the first module, once the second passed") << firstHalf << QStringList {"passed " + row1 + " before " + twin}
                                                               << "fresh part 1";
    QTest::newRow("a unit that came back changed") << "10.9.9.9 10.0.5.1 502 02:00:00:00:10:01"
                                                   << QStringList {"passed " + row1 + before} << "conflict 1 passed-mac";
    QTest::newRow("a row in doubt's MAC on another module") << "10.9.9.9 10.0.5.1 502 02:00:00:00:10:01"
                                                            << QStringList {"claimed " + row1 + before} << "conflict 1 doubt-mac";
    QTest::newRow("a plan that gives out the factory IP") << twin << QStringList {"passed " + factory.left(13) + "10.0.5.1 502 02:00:00:00:10:01" + before}
                                                          << "fresh part 1";
    QTest::newRow("factory values alone are no row's") << factory
                                                      << QStringList {"claimed " + factory.left(13) + "10.0.5.1 502 02:00:00:00:10:01" + before}
                                                      << "fresh part 1";
    QTest::newRow("a row being written elsewhere") << row1 << QStringList {"claimed " + row1 + before + " in hand"}
                                                   << "conflict 1 in-hand";
    QTest::newRow("the whole row, the settings before unknown") << row1 << QStringList {"claimed " + row1} << "resume 1";
    // Swapped mid-write, the swap seen: the first two settings acknowledged
    // by the first module, the read-back from the second.
    const QString seen = " back " + secondHalf + " acked ip,gateway,mac";
    QTest::newRow("swap seen: the second module gets a fresh row") << secondHalf << QStringList {"failed " + row1 + before + seen}
                                                                    << "fresh";
    QTest::newRow("swap seen: the first is not finished while the second carries the rest")
        << firstHalf << QStringList {"failed " + row1 + before + seen} << "conflict 1 spread";
    // The module left after its first settings were acknowledged: what
    // was sent after may have reached the next one.
    const QString left = " back none acked ip,gateway,port";
    QTest::newRow("an unanswered MAC the module lacks may be on another") << firstHalf << QStringList {"failed " + row1 + before + left}
                                                                          << "fresh part 1";
    QTest::newRow("the module that took the unanswered MAC finishes the row") << row1 << QStringList {"failed " + row1 + before + left}
                                                                             << "resume 1";
    QTest::newRow("an acknowledgement the module does not show came from another")
        << "10.0.5.21 192.168.1.1 502 02:56:45:00:00:01" << QStringList {"failed " + row1 + before + " back none acked ip,gateway"}
        << "fresh part 1";
    QTest::newRow("either of two rows' module") << "192.168.1.20 10.0.5.1 502 02:56:45:00:00:01"
                                                << QStringList {"failed " + row1 + before, "failed " + row2 + before}
                                                << "conflict 1 two-rows";
}

void TestPlan::ruling()
{
    QFETCH(QString, module);
    QFETCH(QStringList, rows);
    const auto settingsOf = [](const QString &text) {
        const QStringList words = text.split(QLatin1Char(' '));
        return SettingValues {words.value(0), words.value(1), words.value(2), words.value(3)};
    };
    std::vector<RowEntry> entries;
    for (const QString &text : std::as_const(rows)) {
        RowEntry entry;
        entry.row = int(entries.size()) + 1;
        const QString state = text.section(QLatin1Char(' '), 0, 0);
        for (RowState candidate : {RowState::Claimed, RowState::Passed, RowState::Failed}) {
            if (rowStateText(candidate) == state)
                entry.state = candidate;
        }
        entry.values = settingsOf(text.section(QLatin1Char(' '), 1, 4));
        if (text.contains(QLatin1String(" before ")))
            entry.before = settingsOf(text.section(QLatin1String(" before "), 1).section(QLatin1Char(' '), 0, 3));
        if (text.contains(QLatin1String(" back "))) {
            OutcomeRecord failed {entry.row, {}, entry.before, entry.values, {}, Result::NotAcknowledged, {}, {}};
            const QString back = text.section(QLatin1String(" back "), 1).section(QLatin1Char(' '), 0, 3);
            if (!back.startsWith(QLatin1String("none")))
                failed.readBack = settingsOf(back);
            if (text.contains(QLatin1String(" acked "))) {
                failed.acknowledged = QList<Setting>();
                for (const QString &key : text.section(QLatin1String(" acked "), 1).section(QLatin1Char(' '), 0, 0).split(QLatin1Char(',')))
                    failed.acknowledged->append(*settingForKey(key));
            }
            entry.failedWith(failed);
        }
        entry.inHand = text.endsWith(QLatin1String(" in hand"));
        entries.push_back(entry);
    }
    QList<const RowEntry *> candidates;
    for (const RowEntry &entry : entries)
        candidates << &entry;
    const PlanBook::Ruling ruling = PlanBook::rule(settingsOf(module), candidates);
    const QString row = ruling.row ? QString::number(ruling.row->row) : QString();
    const char *const conflicts[] = {"", "passed-mac", "doubt-mac", "in-hand", "two-rows", "spread"};
    QString said;
    switch (ruling.kind) {
    case PlanBook::Ruling::Fresh: said = row.isEmpty() ? QStringLiteral("fresh") : QStringLiteral("fresh part ") + row; break;
    case PlanBook::Ruling::Resume: said = QStringLiteral("resume ") + row; break;
    case PlanBook::Ruling::HoldsPassed: said = QStringLiteral("holds ") + row; break;
    case PlanBook::Ruling::Conflict:
        said = QStringLiteral("conflict %1 %2").arg(row, QLatin1String(conflicts[int(ruling.conflict)]));
        break;
    }
    QTEST(said, "ruling");
}

void TestPlan::failureCodes_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("written"); // the code the line carries; empty: a line written before codes
    QTest::addColumn<QString>("code");

    QTest::newRow("a pass has none") << "pass" << "" << "" << "";
    QTest::newRow("its own code") << "fail" << "IP address reads back \"x\" instead of \"y\"" << "readback-mismatch-mac"
                                  << "readback-mismatch-mac";
    QTest::newRow("older: no answer") << "no-answer" << "no answer" << "" << "no-answer";
    QTest::newRow("older: not acknowledged") << "not-acknowledged" << "not acknowledged: Gateway" << ""
                                             << "not-acknowledged";
    QTest::newRow("older: the setting named") << "fail" << "Port reads back \"80\" instead of \"502\"" << ""
                                              << "readback-mismatch-port";
    QTest::newRow("older: no setting named") << "fail" << "differs" << "" << "readback-mismatch";
    QTest::newRow("older: stopped") << "aborted" << "stopped: Ctrl-C" << "" << "stopped";
    QTest::newRow("older: port lost") << "aborted" << "port lost: device removed" << "" << "port-lost";
}

// An outcome's code survives its line, and one written before codes gets
// one from its result and reason; every code given is in the table.
void TestPlan::failureCodes()
{
    QFETCH(QString, result);
    QFETCH(QString, reason);
    QFETCH(QString, written);
    QFETCH(QString, code);
    OutcomeRecord outcome {1, QStringLiteral("/dev/ttyUSB0"), {}, {}, {}, *resultFromText(result), reason, {}, written};
    QString why;
    const auto read = readAuditLine(auditLine({{}, QStringLiteral("bench-1"), {}, {}, outcome}, firstPrev), &why);
    QVERIFY2(read && read->record, qPrintable(why));
    QCOMPARE(failureCode(std::get<OutcomeRecord>(read->record->body)), code);
    const bool listed = std::any_of(failureCodeMeanings.begin(), failureCodeMeanings.end(),
                                    [&code](const FailureCodeMeaning &entry) { return code == QLatin1String(entry.code); });
    QVERIFY(code.isEmpty() || listed);
    QVERIFY(failureCodeHelp().contains(QStringLiteral("  %1 ").arg(code)));
}

QTEST_GUILESS_MAIN(TestPlan)
#include "tst_plan.moc"
