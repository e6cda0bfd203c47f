// SPDX-License-Identifier: MIT
// Several stations on one plan in PostgreSQL, end to end: a server of the
// test's own, vev-cli stations of vev-sim modules against it.

#include "clirun.h"
#include "postgresserver.h"
#include "simprocess.h"
#include "plan/auditfile.h"
#include "tamper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

constexpr int runMs = 60000;

// count rows from the first, each with an address of its own.
QByteArray planOf(int first, int count)
{
    QByteArray csv = "ip,gateway,tcp_port,mac\n";
    for (int i = first; i < first + count; ++i)
        csv += QStringLiteral("10.0.7.%1,10.0.7.1,502,02:00:00:00:07:%2\n").arg(i + 1).arg(i, 2, 16, QLatin1Char('0')).toLatin1();
    return csv;
}

QStringList provision(const QString &uri, const QString &station, const QList<const SimProcess *> &lines)
{
    QStringList arguments {"provision", "--db", uri, "--station", station, "--timeout", "1000"};
    for (const SimProcess *line : lines)
        arguments << "--port" << line->devicePath();
    return arguments;
}

QJsonObject status(const QString &uri)
{
    return QJsonDocument::fromJson(cli({"plan", "status", "--db", uri, "--json"}).out.toUtf8()).object();
}

// The audit as audit export prints it, in a file (byte for byte); no file
// when the export failed.
QString exported(const QString &uri, const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("export.jsonl"));
    QProcess process;
    process.setStandardOutputFile(path);
    process.start(QStringLiteral(VEV_CLI_PATH), {"audit", "export", "--db", uri});
    const bool exported = process.waitForFinished() && process.exitStatus() == QProcess::NormalExit
                          && process.exitCode() == 0;
    return exported ? path : QString();
}

// Every row of the plan passed exactly once: "" or what is wrong.
QString eachPassedOnce(const QString &audit, int rows, QSet<QString> *stations = nullptr)
{
    QHash<int, int> passes;
    const AuditCheck check = verifyAudit(audit, [&](const AuditRecord &record, int) {
        if (stations)
            *stations << record.station;
        const auto *outcome = std::get_if<OutcomeRecord>(&record.body);
        if (outcome && outcome->result == Result::Pass)
            ++passes[outcome->row];
    });
    if (check.firstBad > 0 || check.unreadable)
        return check.why;
    for (int row = 1; row <= rows; ++row) {
        if (passes.value(row) != 1)
            return QStringLiteral("row %1 passed %2 times").arg(row).arg(passes.value(row));
    }
    return passes.size() == rows ? QString() : QStringLiteral("%1 rows passed").arg(passes.size());
}

} // namespace

class TestDbStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoStationsShareAPlan();
    void killedStationResumes();
    void serverGoesAway();
    void refusals();

private:
    QString database(const QString &name, const QByteArray &plan);

    std::unique_ptr<PostgresServer> m_server;
    QTemporaryDir m_dir;
};

void TestDbStore::initTestCase()
{
    m_server = std::make_unique<PostgresServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
}

// A database of its own for a test, with a plan imported.
QString TestDbStore::database(const QString &name, const QByteArray &plan)
{
    const QString uri = m_server->createDatabase(name);
    if (uri.isEmpty())
        return m_server->error();
    const Run run = cli({"plan", "import", "--db", uri, writeFile(m_dir, name + QStringLiteral(".csv"), plan)});
    return run.code == 0 ? uri : run.err;
}

void TestDbStore::twoStationsShareAPlan()
{
    constexpr int rows = 8;
    const QString uri = database(QStringLiteral("two"), planOf(1, rows));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    // A plan that would give an address of the pool a second time is
    // refused whole, naming its line and the row it meets.
    Run run = cli({"plan", "import", "--db", uri, writeFile(m_dir, QStringLiteral("again.csv"), planOf(9, 1) + planOf(8, 1).mid(24))});
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(QLatin1String("line 3 (IP \"10.0.7.9\", MAC \"02:00:00:00:07:08\"): its IP address is "
                                            "already in the database, in row 8")), qPrintable(run.err));

    // Two stations of two lanes each, at once, to the end of the plan.
    std::vector<std::unique_ptr<SimProcess>> lines;
    for (int i = 0; i < 4; ++i) {
        lines.push_back(std::make_unique<SimProcess>(QStringList {"--line", "2", "--off-after", "100", "--plug-gap", "100"}));
        QVERIFY2(lines.back()->isRunning(), qPrintable(lines.back()->error()));
    }
    QProcess first;
    QProcess second;
    first.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-A"), {lines[0].get(), lines[1].get()}));
    second.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-B"), {lines[2].get(), lines[3].get()}));
    for (QProcess *station : {&first, &second}) {
        run = finished(*station, runMs);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QLatin1String("Plan used up: ")), qPrintable(run.out + run.err));
    }

    // Every row passed once, both stations in the audit, and the export
    // checks out as a file does, ending where the database's audit ends.
    QTemporaryDir dir;
    const QString audit = exported(uri, dir);
    QSet<QString> stations;
    const QString wrong = eachPassedOnce(audit, rows, &stations);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(stations, (QSet<QString> {"bench-A", "bench-B"}));
    const AuditCheck check = verifyAudit(audit);
    QCOMPARE(check.lines, 2 * rows);
    run = cli({"audit-verify", "--db", uri, "--last", QString::fromLatin1(check.lastHash)});
    QVERIFY2(run.code == 0 && run.out.contains(QStringLiteral("16 lines, chain intact")), qPrintable(run.out + run.err));
    const QJsonObject plan = status(uri);
    QCOMPARE(plan.value(QStringLiteral("passed")).toInt(), rows);
    const QJsonArray byStation = plan.value(QStringLiteral("stations")).toArray();
    QCOMPARE(byStation.size(), 2);
    QCOMPARE(byStation.at(0).toObject().value(QStringLiteral("passed")).toInt()
                 + byStation.at(1).toObject().value(QStringLiteral("passed")).toInt(), rows);
    QCOMPARE(plan.value(QStringLiteral("passed_per_hour")).toObject().begin().value().toInt(), rows);
    // A label reprinted from the database's audit, as from a file's.
    const QStringList reprint {"label", "--db", uri, "--row", "3", "--labels", dir.path()};
    run = cli(reprint);
    QVERIFY2(run.code == 0 && QDir(dir.path()).entryList({"*.pdf"}).size() == 1, qPrintable(run.out + run.err));

    // The database refuses to change its audit; an edit made behind the
    // trigger, the hash beside the line made to match, still breaks the chain.
    for (const char *change : {"UPDATE vev_audit SET station = 'x'", "DELETE FROM vev_audit", "TRUNCATE vev_audit"}) {
        const QString said = m_server->sql(QStringLiteral("two"), QLatin1String(change));
        QVERIFY2(said.contains(QLatin1String("vev_audit is append-only")), qPrintable(said));
    }
    QCOMPARE(m_server->sql(QStringLiteral("two"), QStringLiteral(
                 "SET session_replication_role = replica; UPDATE vev_audit SET line = replace(line, 'bench-', 'bench-Z'), "
                 "station = replace(station, 'bench-', 'bench-Z'), hash = encode(sha256(convert_to(replace(line, "
                 "'bench-', 'bench-Z'), 'UTF8')), 'hex') WHERE seq = 1")), QString());
    run = cli({"audit-verify", "--db", uri});
    QCOMPARE(run.code, 10);
    QVERIFY2(run.err.contains(QLatin1String("line 2: prev does not match line 1")), qPrintable(run.err));
    QCOMPARE(cli(reprint).code, 10);
}

void TestDbStore::killedStationResumes()
{
    const QString uri = database(QStringLiteral("kill"), planOf(1, 3));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    SimProcess line({"--line", "2", "--off-after", "100", "--plug-gap", "100"});
    SimProcess slow({"--delay", "300"});
    QVERIFY2(line.isRunning() && slow.isRunning(), qPrintable(line.error() + slow.error()));

    // One station killed with the first value of its row on the module;
    // the other goes on to the end of the plan, without that row.
    QProcess other;
    QProcess killed;
    other.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-A"), {&line}));
    killed.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-B"), {&slow}));
    QTRY_VERIFY_WITH_TIMEOUT(slow.output().contains(QLatin1String("< RS:WT")), 20000);
    killed.kill();
    killed.waitForFinished();
    Run run = finished(other, runMs);
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QLatin1String("Plan used up: 2 passed, 0 failed this run; 0 rows left, 1 in doubt")),
             qPrintable(run.out + run.err));
    const QJsonObject doubt = status(uri).value(QStringLiteral("in_doubt")).toArray().first().toObject();
    QCOMPARE(doubt.value(QStringLiteral("station")).toString(), QStringLiteral("bench-B"));
    QCOMPARE(doubt.value(QStringLiteral("state")).toString(), QStringLiteral("claimed"));

    // Started again, it finishes its row on the module that carries it.
    run = cli(provision(uri, QStringLiteral("bench-B"), {&slow}) << "--once", runMs);
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains(QStringLiteral("finishing row %1").arg(doubt.value(QStringLiteral("row")).toInt())),
             qPrintable(run.out));
    QTemporaryDir dir;
    const QString wrong = eachPassedOnce(exported(uri, dir), 3);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    // Two running stations cannot share a name.
    QCOMPARE(cli({"plan", "import", "--db", uri, writeFile(m_dir, QStringLiteral("more.csv"), planOf(4, 1))}).code, 0);
    SimProcess silent({"--silent"});
    QVERIFY2(silent.isRunning(), qPrintable(silent.error()));
    QProcess holder;
    holder.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-A"), {&silent}));
    const QString running = QStringLiteral("running (vev-cli, process %1 on ").arg(holder.processId());
    QTRY_VERIFY_WITH_TIMEOUT(cli({"plan", "status", "--db", uri}).out.contains(running), 10000);
    run = cli(provision(uri, QStringLiteral("bench-A"), {&silent}) << "--once");
    QCOMPARE(run.code, 12);
    QVERIFY2(run.err.contains(QStringLiteral("\"bench-A\" is in use by a running station (vev-cli, process %1 on ")
                                  .arg(holder.processId())), qPrintable(run.err));
    holder.terminate();
    QCOMPARE(finished(holder).code, 0);
}

void TestDbStore::serverGoesAway()
{
    const QString uri = database(QStringLiteral("restart"), planOf(1, 4));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QTemporaryDir dir;

    // The server stopped and started again in the middle of a run: the
    // lanes wait, and nothing is lost or stored twice.
    SimProcess line({"--line", "4", "--off-after", "100", "--plug-gap", "500"});
    QVERIFY2(line.isRunning(), qPrintable(line.error()));
    QProcess station;
    station.setWorkingDirectory(dir.path());
    station.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-R"), {&line}));
    QByteArray shown;
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("PASS row 1 "), 20000);
    QVERIFY2(m_server->stop(), qPrintable(m_server->error()));
    // Down until the station has found it so.
    QByteArray warned;
    QTRY_VERIFY_WITH_TIMEOUT((warned += station.readAllStandardError()).contains("cannot be reached"), 30000);
    QVERIFY2(m_server->start(), qPrintable(m_server->error()));
    Run run = finished(station, runMs);
    run.err.prepend(QString::fromLocal8Bit(warned));
    QCOMPARE(run.code, 0);
    QVERIFY2(run.err.contains(QLatin1String("cannot be reached")) && run.err.contains(QLatin1String("can be reached again")),
             qPrintable(run.err));
    QString wrong = eachPassedOnce(exported(uri, dir), 4);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    // Stopped by the operator while the outcome in hand cannot be stored:
    // it is kept in a file the message names, and added later.
    QCOMPARE(cli({"plan", "import", "--db", uri, writeFile(m_dir, QStringLiteral("fifth.csv"), planOf(5, 1))}).code, 0);
    SimProcess slow({"--delay", "300"});
    QVERIFY2(slow.isRunning(), qPrintable(slow.error()));
    station.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-R"), {&slow}));
    QTRY_VERIFY_WITH_TIMEOUT(slow.output().contains(QLatin1String("< RS:WT")), 20000);
    QVERIFY2(m_server->stop(), qPrintable(m_server->error()));
    shown.clear();
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("storing the outcome of row 5"), 20000);
    ::kill(pid_t(station.processId()), SIGTERM);
    run = finished(station, runMs);
    QVERIFY2(m_server->start(), qPrintable(m_server->error()));
    QCOMPARE(run.code, 1);
    const QRegularExpressionMatch kept = QRegularExpression(QStringLiteral("kept in (\\S+): add it with vev-cli audit import"))
                                             .match(run.err);
    QVERIFY2(kept.hasMatch() && kept.captured(1).startsWith(dir.path()), qPrintable(run.err));
    run = cli({"audit", "import", "--db", uri, kept.captured(1)});
    QVERIFY2(run.code == 0 && run.out.startsWith(QLatin1String("1 records of ")), qPrintable(run.out + run.err));
    run = cli({"audit", "import", "--db", uri, kept.captured(1)});
    QVERIFY2(run.out.contains(QLatin1String("0 records")) && run.out.contains(QLatin1String("1 were there already")),
             qPrintable(run.out + run.err));
    QCOMPARE(status(uri).value(QStringLiteral("passed")).toInt(), 5);
    wrong = eachPassedOnce(exported(uri, dir), 5);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestDbStore::refusals()
{
    const QString uri = m_server->createDatabase(QStringLiteral("refuse"));
    QVERIFY2(!uri.isEmpty(), qPrintable(m_server->error()));
    // A plan checked as a plan file is: its line named, nothing imported;
    // an address on the edge of its /24 only with --force.
    const QString edge = writeFile(m_dir, QStringLiteral("edge.csv"), planOf(1, 1) + "10.0.7.255,10.0.7.1,502,02:00:00:00:07:ff\n");
    Run run = cli({"plan", "import", "--db", uri, edge});
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(QLatin1String("line 3: IP address 10.0.7.255 is the broadcast address")), qPrintable(run.err));
    run = cli({"plan", "import", "--db", uri, edge, "--force"});
    QVERIFY2(run.code == 0 && run.out.contains(QLatin1String("as rows 1 to 2, accepted with --force")), qPrintable(run.err));
    QCOMPARE(status(uri).value(QStringLiteral("open")).toInt(), 2);

    // A password in the URI is never shown.
    run = cli({"plan", "status", "--db", QStringLiteral("postgresql://vev:s3cret@/nowhere?host=%1").arg(m_server->socketFolder())});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("postgresql://vev@/nowhere?host=")) && !run.err.contains(QLatin1String("s3cret")),
             qPrintable(run.err));
    QCOMPARE(cli({"provision", "--db", uri, "--plan", edge, "--port", "/dev/null"}).code, 2);
    QCOMPARE(cli({"plan", "import", edge}).code, 2);

    // Tables of a newer version of the tool are left alone.
    QCOMPARE(m_server->sql(QStringLiteral("refuse"), QStringLiteral("UPDATE vev_schema SET version = 99")), QString());
    run = cli({"plan", "status", "--db", uri});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QLatin1String("schema version 99, newer than this tool knows")), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestDbStore)
#include "tst_dbstore.moc"
