// SPDX-License-Identifier: MIT
// vev-cli's command line, read in process: which command a line asks for,
// and what is refused before anything is sent.

#include "cli/commandline.h"

#include <QTemporaryDir>
#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void commandLines_data();
    void commandLines();
};

void TestCommandLine::commandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    // Accepted: the command; --help and --version: part of what is printed;
    // refused: part of why.
    QTest::addColumn<QString>("expected");

    const QStringList files {"--plan", "plan.csv", "--audit", "audit.jsonl"};
    const QStringList db {"--db", "postgresql:///line?host=/run/pg"};
    const QStringList values {"--ip", "10.0.5.21", "--gateway", "10.0.5.1", "--tcp-port", "502", "--mac", "02:00:00:00:10:01"};

    QTest::newRow("read") << QStringList {"--port", "/dev/ttyUSB0", "read", "--json"} << 0 << "read";
    QTest::newRow("write") << QStringList {"write", "--port", "ttyUSB0", "--ip", "10.0.5.21", "--no-verify"} << 0 << "write";
    QTest::newRow("list") << QStringList {"list"} << 0 << "list";
    QTest::newRow("find with extra ports") << QStringList {"find", "--port", "a", "--port", "b", "--timeout", "500"} << 0 << "find";
    QTest::newRow("provision on files") << QStringList {"provision", "--port", "a", "--port", "b", "--once"} + files << 0 << "provision";
    QTest::newRow("provision on a database, with labels")
        << QStringList {"provision", "--port", "a", "--labels", "/tmp", "--dpi", "300"} + db << 0 << "provision";
    QTest::newRow("plan status") << QStringList {"plan", "status", "--json"} + files << 0 << "plan status";
    QTest::newRow("plan release") << QStringList {"plan", "release", "--row", "7", "--operator", "Ana"} + files << 0 << "plan release";
    QTest::newRow("plan import") << QStringList {"plan", "import", "plan.csv", "--force"} + db << 0 << "plan import";
    QTest::newRow("audit export") << QStringList {"audit", "export"} + db << 0 << "audit export";
    QTest::newRow("audit import") << QStringList {"audit", "import", "kept.jsonl"} + db << 0 << "audit import";
    QTest::newRow("audit import on files") << QStringList {"audit", "import", "kept.jsonl"} + files << 0 << "audit import";
    QTest::newRow("audit-verify a file") << QStringList {"audit-verify", "audit.jsonl", "--last", "ab"} << 0 << "audit-verify";
    QTest::newRow("audit-verify in place") << QStringList {"audit-verify"} + db << 0 << "audit-verify";
    QTest::newRow("a label from values") << QStringList {"label", "--pdf", "l.pdf", "--row", "3"} + values << 0 << "label";
    QTest::newRow("a label reprinted") << QStringList {"label", "--audit", "a.jsonl", "--mac", "02-00-00-00-10-01", "--zpl",
                                                       "10.0.5.9:9100"} << 0 << "label";

    QTest::newRow("--help") << QStringList {"--help"} << 0 << "\n  15 provision: a module carries part of a row";
    QTest::newRow("a command's help") << QStringList {"plan", "status", "--help"} << 0 << "--json";
    QTest::newRow("--version") << QStringList {"--version"} << 0 << "vev-cli ";

    QTest::newRow("no command") << QStringList {"--port", "a"} << 2 << "give one command: read, write, list";
    QTest::newRow("an unknown command") << QStringList {"frobnicate"} << 2 << "unknown command \"frobnicate\"";
    QTest::newRow("an option of another command") << QStringList {"--port", "a", "read", "--plan", "plan.csv"} << 2
                                                  << "read does not take --plan (see vev-cli read --help)";
    QTest::newRow("an option of none") << QStringList {"read", "--port", "a", "--colour"} << 2 << "read does not take --colour";
    QTest::newRow("plan status takes no station") << QStringList {"plan", "status", "--station", "s"} + files << 2
                                                  << "plan status does not take --station";
    QTest::newRow("provision takes no --pdf") << QStringList {"provision", "--port", "a", "--pdf", "x.pdf"} + files << 2
                                              << "provision does not take --pdf";
    QTest::newRow("a word too many") << QStringList {"list", "now"} << 2 << "list takes no further argument \"now\"";
    QTest::newRow("an option without its value") << QStringList {"read", "--port"} << 2 << "Missing value after '--port'";
    QTest::newRow("read on two ports") << QStringList {"read", "--port", "a", "--port", "b"} << 2 << "read needs exactly one --port";
    QTest::newRow("a timeout that is no number") << QStringList {"read", "--port", "a", "--timeout", "soon"} << 2
                                                 << "--timeout needs a number of milliseconds from 100 to 60000, not \"soon\"";
    QTest::newRow("a timeout of nothing") << QStringList {"provision", "--port", "a", "--timeout", "0"} + files << 2
                                          << "--timeout needs a number of milliseconds from 100 to 60000, not \"0\"";
    QTest::newRow("a timeout of hours") << QStringList {"read", "--port", "a", "--timeout", "3600000"} << 2
                                        << "from 100 to 60000";
    QTest::newRow("an operator's name of a page") << QStringList {"provision", "--port", "a", "--operator", QString(70000, 'x')} + files
                                                  << 2 << "--operator is 70000 characters long; a name has at most 100";
    QTest::newRow("a station's name with a line end") << QStringList {"plan", "release", "--row", "1", "--station", "b\n1"} + db
                                                      << 2 << "--station \"b\\x0a1\" holds a control character";
    QTest::newRow("write without values") << QStringList {"write", "--port", "a"} << 2 << "write needs at least one of";
    QTest::newRow("write --auto with --ip") << QStringList {"write", "--port", "a", "--auto", "--ip", "10.0.0.2"} << 2
                                            << "--auto derives --ip and --gateway";
    QTest::newRow("write a value no device can use") << QStringList {"write", "--port", "a", "--ip", "127.0.0.1"} << 2
                                                     << "; nothing was sent";
    QTest::newRow("write --from a file that is not there") << QStringList {"write", "--port", "a", "--from", "/nonexistent"}
                                                           << 1 << "/nonexistent";
    QTest::newRow("provision without its audit") << QStringList {"provision", "--port", "a", "--plan", "p.csv"} << 2
                                                 << "provision needs --plan and --audit";
    QTest::newRow("provision without a port") << QStringList {"provision"} + files << 2 << "provision needs at least one --port";
    QTest::newRow("provision on one port twice") << QStringList {"provision", "--port", "a", "--port", "a"} + files << 2
                                                 << "a --port is given twice";
    QTest::newRow("a label size without labels") << QStringList {"provision", "--port", "a", "--label-size", "50x20"} + files
                                                 << 2 << "--label-size and --dpi go with";
    QTest::newRow("two label targets") << QStringList {"provision", "--port", "a", "--labels", "/tmp", "--label-zpl", "h:9100"} + files
                                       << 2 << "provision prints labels to one of";
    QTest::newRow("--db with --plan") << QStringList {"provision", "--port", "a", "--plan", "p.csv"} + db << 2
                                      << "--db takes the place of --plan and --audit";
    QTest::newRow("--db with --force") << QStringList {"provision", "--port", "a", "--force"} + db << 2
                                       << "--force belongs to plan import";
    QTest::newRow("a URI that is none") << QStringList {"plan", "status", "--db", "postgresql://u:s3cret@h:port/x"} << 2
                                        << "port (not shown) is not a number";
    QTest::newRow("plan release without a row") << QStringList {"plan", "release"} + files << 2 << "plan release needs --row N";
    QTest::newRow("plan release of row 0") << QStringList {"plan", "release", "--row", "0"} + db << 2
                                           << "plan release needs --row N";
    QTest::newRow("plan import without a database") << QStringList {"plan", "import", "p.csv"} << 2
                                                    << "plan import works on a database several stations share: give --db URI";
    QTest::newRow("plan import without its plan") << QStringList {"plan", "import"} + db << 2 << "plan import needs one file";
    QTest::newRow("audit import without its audit") << QStringList {"audit", "import", "kept.jsonl", "--plan", "p.csv"} << 2
                                                    << "audit import needs --plan and --audit, or --db URI";
    QTest::newRow("audit import of two files") << QStringList {"audit", "import", "a", "b"} + db << 2 << "audit import needs one file";
    QTest::newRow("audit-verify of nothing") << QStringList {"audit-verify"} << 2 << "audit-verify needs the audit file";
    QTest::newRow("audit-verify of a file and a database") << QStringList {"audit-verify", "a.jsonl"} + db << 2 << "not both";
    QTest::newRow("a reprint by row and by MAC") << QStringList {"label", "--audit", "a", "--row", "1", "--mac", "02:00:00:00:10:01",
                                                                 "--pdf", "l.pdf"} << 2 << "takes --row N or --mac M, and no other values";
    QTest::newRow("a reprint of no MAC") << QStringList {"label", "--audit", "a", "--mac", "zz", "--pdf", "l.pdf"} << 2
                                         << "--mac \"zz\" is not a MAC address";
    QTest::newRow("a label without a place") << QStringList {"label"} + values << 2 << "label needs one of --pdf FILE";
    QTest::newRow("a label of row -1") << QStringList {"label", "--pdf", "l.pdf", "--row", "-1"} + values << 2
                                       << "--row needs a plan row, 1 or more, not \"-1\"; nothing was printed";
}

void TestCommandLine::commandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, expected);
    // Asking the parser of one command for another's option warns on stderr.
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        warnings << text;
    });
    const cli::Parsed parsed = cli::parseCommandLine(QStringList {"vev-cli"} + arguments);
    qInstallMessageHandler(previous);
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    QCOMPARE(int(parsed.code), code);
    if (code != 0) {
        QVERIFY(!parsed.run);
        QVERIFY2(parsed.error.contains(expected), qPrintable(parsed.error));
        QVERIFY2(!parsed.error.contains(QLatin1String("s3cret")), qPrintable(parsed.error));
    } else if (!parsed.printed.isEmpty()) {
        QVERIFY(!parsed.run);
        QVERIFY2(parsed.printed.contains(expected), qPrintable(parsed.printed));
    } else {
        QVERIFY(parsed.run);
        QCOMPARE(parsed.command, expected);
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
