// SPDX-License-Identifier: MIT
// Several stations on one plan in PostgreSQL, end to end: a server of the
// test's own, vev-cli stations of vev-sim modules against it.

#include "clirun.h"
#include "largerun.h"
#include "netnamespace.h"
#include "postgresserver.h"
#include "rosterfixture.h"
#include "simprocess.h"
#include "plan/auditfile.h"
#include "station/station.h"
#include "store/dbstore.h"
#include "store/filestore.h"
#include "tamper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <tuple>

namespace {

constexpr int runMs = 60000;
// How long a store in the test's process may take to answer a server that answers.
constexpr int answerMs = 20000;
// The bounds a store is given where the server is made to stop answering,
// and how long the test waits for them to pass: well under the 15 s a
// statement has by default, and over five times the bound and its grace.
constexpr std::chrono::milliseconds shortBound {1000};
constexpr int boundPassedMs = 12000;

const SettingValues factoryModule {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.1"), QStringLiteral("502"),
                                   QStringLiteral("02:56:45:00:00:01")};

// What a store answers through its callback, waited for on the event loop;
// nothing if it has not answered in time.
template<typename... Args, typename Ask>
std::optional<std::tuple<Args...>> answered(Ask ask)
{
    auto answer = std::make_shared<std::optional<std::tuple<Args...>>>();
    ask([answer](const Args &...given) { answer->emplace(given...); });
    const bool came = QTest::qWaitFor([answer] { return answer->has_value(); }, answerMs);
    return came ? *answer : std::nullopt;
}

// Counts its copies that end on a thread other than the one it was made on.
struct Tracer {
    QThread *home = QThread::currentThread();
    std::shared_ptr<std::atomic<int>> endedElsewhere = std::make_shared<std::atomic<int>>(0);

    Tracer() = default;
    Tracer(const Tracer &) = default;
    Tracer &operator=(const Tracer &) = default;
    ~Tracer()
    {
        if (QThread::currentThread() != home)
            ++*endedElsewhere;
    }
};

DbStore::Options storeOptions(const QString &uri, const QString &name, const QString &keepFolder)
{
    QString error;
    DbStore::Options options;
    options.uri = DatabaseUri::parse(uri, &error).value_or(DatabaseUri());
    options.station = name;
    options.operatorName = name;
    options.keepFolder = keepFolder;
    return options;
}

// count rows from the first, each with an address of its own.
QByteArray planOf(int first, int count)
{
    QByteArray csv = "ip,gateway,tcp_port,mac\n";
    for (int i = first; i < first + count; ++i)
        csv += QStringLiteral("10.0.7.%1,10.0.7.1,502,02:00:00:00:07:%2\n").arg(i + 1).arg(i, 2, 16, QLatin1Char('0')).toLatin1();
    return csv;
}

// count rows over as many address blocks as they need.
QByteArray largePlanOf(int count)
{
    constexpr int perBlock = 250;
    QByteArray csv = "ip,gateway,tcp_port,mac\n";
    for (int i = 0; i < count; ++i) {
        csv += QStringLiteral("10.8.%1.%2,10.8.%1.254,502,02:00:00:08:%3:%4\n").arg(i / perBlock).arg(i % perBlock + 1)
                   .arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')).toLatin1();
    }
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
    void hostileTexts_data();
    void hostileTexts();
    void serverStopsAnswering();
    void lapsedNameStopsTheWrite();
    void foreignLockIsSaid();
    void benchCutOffByTheNetwork();
    void planChangedBesideTheAudit_data();
    void planChangedBesideTheAudit();
    void labelOfAChangedRow_data();
    void labelOfAChangedRow();
    void auditChangedBehindItsTrigger_data();
    void auditChangedBehindItsTrigger();
    void exportThroughAStalledReader();
    void olderTablesAreBroughtUp();
    void stationRoleKeepsToItsShare();
    void auditTailIsChecked_data();
    void auditTailIsChecked();
    void largePlanImportsWhole();
    void callbacksStayOnTheCallersThread();
    void unitsAreOneRowEach_data();
    void unitsAreOneRowEach();
    void rosterInTheDatabase();

private:
    QString database(const QString &name, const QByteArray &plan);

    // A store on the database with short bounds, its session named after it
    // in the server's list; that session's server process stopped.
    DbStore::Options shortBoundOptions(const QString &uri, const QString &database, const QString &station,
                                       const QString &folder) const;
    pid_t stopSessionOf(const QString &database);
    // m_passedTwo, made on first use; empty when it cannot be.
    QString passedTwo();
    // Changes table of passedTwo()'s database behind its guards, as its
    // owner can; put back as it was when the result is let go of.
    std::shared_ptr<void> changePassedTwo(const QString &table, const QString &change, QString *failed);

    std::unique_ptr<PostgresServer> m_server;
    QTemporaryDir m_dir;
    QString m_passedTwo; // a plan of three rows, two passed by bench-T
};

void TestDbStore::initTestCase()
{
    // What stations remember of the audits they wrote to stays with the test.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    m_server = std::make_unique<PostgresServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
}

// A database of its own for a test, with a plan imported.
QString TestDbStore::database(const QString &name, const QByteArray &plan)
{
    const QString uri = m_server->createDatabase(name);
    if (uri.isEmpty())
        return m_server->error();
    // A bound for a hang, not for the time: a large plan under a sanitizer
    // on a busy machine takes a while.
    const Run run = cli({"plan", "import", "--db", uri, writeFile(m_dir, name + QStringLiteral(".csv"), plan)}, 120000);
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
        QVERIFY2(run.code == 0 && run.out.contains(QLatin1String("Plan used up: ")), qPrintable(run.err + run.out));
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
    // A label of the row whose line that is: the line after no longer
    // chains to it.
    QString firstRow;
    QCOMPARE(m_server->sql(QStringLiteral("two"), QStringLiteral("SELECT row FROM vev_audit WHERE seq = 1"), &firstRow), QString());
    run = cli({"label", "--db", uri, "--row", firstRow, "--labels", dir.path()});
    QVERIFY2(run.code == 10 && run.err.contains(QLatin1String("line 1: line 2 does not chain to it")),
             qPrintable(run.out + run.err));
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
    // The URI with a second parameter: the printed command quotes its &.
    station.start(QStringLiteral(VEV_CLI_PATH),
                  provision(uri + QStringLiteral("&application_name=vev-kept"), QStringLiteral("bench-R"), {&slow}));
    QTRY_VERIFY_WITH_TIMEOUT(slow.output().contains(QLatin1String("< RS:WT")), 20000);
    QVERIFY2(m_server->stop(), qPrintable(m_server->error()));
    shown.clear();
    QTRY_VERIFY_WITH_TIMEOUT((shown += station.readAllStandardOutput()).contains("storing the outcome of row 5"), 20000);
    sendSignal(station, SIGTERM);
    run = finished(station, runMs);
    QVERIFY2(m_server->start(), qPrintable(m_server->error()));
    QCOMPARE(run.code, 1);
    const QRegularExpressionMatch kept = QRegularExpression(QStringLiteral("kept in (\\S+): add it with vev-cli (audit import [^;]*)"),
                                                           QRegularExpression::MultilineOption)
                                             .match(run.err);
    QVERIFY2(kept.hasMatch() && kept.captured(1).startsWith(dir.path()), qPrintable(run.err));
    // Released meanwhile, as a row in doubt is, and claimed by no one since:
    // the kept pass takes it out of the plan again.
    run = cli({"plan", "release", "--db", uri, "--row", "5"});
    QVERIFY2(run.code == 0 && status(uri).value(QStringLiteral("open")).toInt() == 1, qPrintable(run.out + run.err));
    // The command as printed, through a shell (the URI holds a ? and an &).
    QProcess shell;
    shell.start(QStringLiteral("sh"), {"-c", QStringLiteral("\"$0\" ") + kept.captured(2), QStringLiteral(VEV_CLI_PATH)});
    run = finished(shell, runMs);
    QVERIFY2(run.code == 0 && run.out.startsWith(QLatin1String("1 records of ")), qPrintable(kept.captured(2) + run.out + run.err));
    run = cli({"audit", "import", "--db", uri, kept.captured(1)});
    QVERIFY2(run.out.contains(QLatin1String("0 records")) && run.out.contains(QLatin1String("1 were there already")),
             qPrintable(run.out + run.err));
    QCOMPARE(status(uri).value(QStringLiteral("passed")).toInt(), 5);
    wrong = eachPassedOnce(exported(uri, dir), 5);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    // A pass kept by another station for a row passed since: on the module
    // that passed it since (its row resumed there), it is one module still;
    // on another module, the row may be on two: the record goes in, as a
    // conflict that plan status and audit-verify show until the row is
    // released.
    std::optional<AuditRecord> pass;
    verifyAudit(kept.captured(1), [&pass](const AuditRecord &record, int) { pass = record; });
    QVERIFY(pass);
    pass->station = QStringLiteral("bench-X");
    const auto importOn = [&](const QString &mac) {
        pass->time = auditTimeNow();
        std::get<OutcomeRecord>(pass->body).before[3] = mac;
        AuditFile other;
        QString error;
        bool broken = false;
        const QString path = dir.filePath(QStringLiteral("other-%1.jsonl").arg(QString(mac).remove(QLatin1Char(':'))));
        if (!other.open(path, {}, &error, &broken) || !other.append(*pass, &error))
            return Run {-1, {}, error};
        return cli({"audit", "import", "--db", uri, path});
    };
    run = importOn(*std::get<OutcomeRecord>(pass->body).before[3]);
    QVERIFY2(run.code == 0 && run.out.startsWith(QLatin1String("1 records of ")), qPrintable(run.out + run.err));
    const QString onTwo = QStringLiteral("row 5 passed on the module of bench-X at ");
    run = importOn(QStringLiteral("02:00:00:99:99:99"));
    QVERIFY2(run.code == 17 && run.err.contains(QLatin1String("1 records imported, but record 1: ") + onTwo)
                 && run.err.contains(QLatin1String("but the database has it passed by bench-R since: the row may be on two "
                                                   "modules (MAC 02:00:00:00:07:05)")),
             qPrintable(run.err));
    QCOMPARE(status(uri).value(QStringLiteral("passed")).toInt(), 5);
    for (const bool released : {false, true}) {
        const QJsonArray conflicts = status(uri).value(QStringLiteral("on_two_modules")).toArray();
        QCOMPARE(conflicts.size(), released ? 0 : 1);
        run = cli({"audit-verify", "--db", uri});
        QVERIFY2(run.code == (released ? 0 : 17) && run.err.contains(onTwo) != released, qPrintable(run.out + run.err));
        if (!released) {
            QVERIFY(conflicts.first().toString().startsWith(QLatin1String("row 5: ") + onTwo));
            run = cli({"plan", "release", "--db", uri, "--row", "5"});
            QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
        }
    }
    QCOMPARE(cli({"plan", "release", "--db", uri, "--row", "4"}).code, 2); // passed, and on one module
    // Once more, on the row open again: its line is no change beside the
    // audit, and the row waits for its release again.
    QCOMPARE(importOn(QStringLiteral("02:00:00:99:99:98")).code, 17);
    run = cli({"audit-verify", "--db", uri});
    QVERIFY2(run.code == 17, qPrintable(run.out + run.err));
    QCOMPARE(cli({"plan", "release", "--db", uri, "--row", "5"}).code, 0);
    QCOMPARE(cli({"audit-verify", "--db", uri}).code, 0);
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
    // Only a row in doubt is released, in the words plan release has for files.
    for (const auto &[row, said] : {std::pair {"1", "row 1 is open, not in doubt"}, {"9", "the plan has no row 9 (it has 2)"}}) {
        run = cli({"plan", "release", "--db", uri, "--row", row});
        QVERIFY2(run.code == 2 && run.err.contains(QLatin1String(said)), qPrintable(run.err));
    }

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
    // Another program's vev_schema, or one left empty, is said as such.
    for (const auto &[sql, said] : {std::pair {"DELETE FROM vev_schema", "the table vev_schema in %1 is empty"},
                                    {"ALTER TABLE vev_schema RENAME version TO revision",
                                     "%1 has a table vev_schema that is not this tool's (column \"version\" does not exist"}}) {
        QCOMPARE(m_server->sql(QStringLiteral("refuse"), QString::fromLatin1(sql)), QString());
        run = cli({"provision", "--db", uri, "--port", "/dev/null", "--once"});
        QVERIFY2(run.code == 1 && run.err.contains(QString::fromLatin1(said).arg(uri)), qPrintable(run.err));
    }
}

void TestDbStore::hostileTexts_data()
{
    QTest::addColumn<QString>("text"); // the station, the operator, the port, a reason, a label's target

    QTest::newRow("single quotes") << QStringLiteral("O'Brien's 'bench' ''");
    QTest::newRow("backslashes") << QStringLiteral("C:\\lanes\\\\one\\' \\");
    QTest::newRow("question marks") << QStringLiteral("which? ?? '?' ?1");
    QTest::newRow("placeholders") << QStringLiteral("$1 $2$3 $$ $tag$ $");
    QTest::newRow("comments") << QStringLiteral("a -- b /* c */ d /* e");
    QTest::newRow("statements") << QStringLiteral("x');\n\tDELETE FROM vev_plan; --");
    QTest::newRow("Unicode") << QStringLiteral("Zo\u00eb \u00d8rsted, \u6771\u4eac \u2713 \U0001F680");
    QTest::newRow("long") << QString(3000, QLatin1Char('x')) + QStringLiteral("'?$1--");
    QTest::newRow("a NUL") << QString::fromUtf8("bench\0one", 9);
}

// Every statement that takes a text stores it as it is, and gives it back
// so; a text the database cannot hold is refused before anything is stored.
void TestDbStore::hostileTexts()
{
    QFETCH(QString, text);
    static int databases = 0;
    const QString name = QStringLiteral("hostile%1").arg(++databases);
    const QString uri = database(name, planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QTemporaryDir dir;
    DbStore store(storeOptions(uri, text, dir.path()));
    const auto opened = answered<ProvisionStore::Opened>([&](auto done) { store.open(done); });
    QVERIFY(opened);
    const ProvisionStore::Opened &open = std::get<0>(*opened);
    if (text.contains(QChar(0))) {
        QVERIFY(!open.ok);
        QCOMPARE(open.code, ExitCode::Usage);
        QVERIFY2(open.error.contains(QLatin1String("holds a NUL character")), qPrintable(open.error));
        QString rows;
        QCOMPARE(m_server->sql(name, QStringLiteral("SELECT (SELECT count(*) FROM vev_station) + "
                                                    "(SELECT count(*) FROM vev_audit)"), &rows), QString());
        QCOMPARE(rows, QStringLiteral("0"));
        return;
    }
    QVERIFY2(open.ok, qPrintable(open.error));

    // A claim on a port of that name, a failure for that reason, a label
    // not printed to that target for that reason, and the row's release.
    const auto claimed = answered<ProvisionStore::Claim>([&](auto done) { store.claim(text, factoryModule, done); });
    QVERIFY(claimed);
    const ProvisionStore::Claim claim = std::get<0>(*claimed);
    QVERIFY2(claim.kind == ProvisionStore::Claim::Fresh && claim.row.row == 1, qPrintable(claim.error));
    const OutcomeRecord outcome {1, text, factoryModule, claim.row.values, factoryModule, Result::Fail, text, {}};
    auto stored = answered<QString>([&](auto done) { store.record(outcome, done); });
    QVERIFY(stored && std::get<0>(*stored).isEmpty());
    stored = answered<QString>([&](auto done) { store.note(LabelRecord {1, claim.row.values, false, text, text}, done); });
    QVERIFY(stored && std::get<0>(*stored).isEmpty());
    const auto status = answered<ProvisionStore::Answer, StoreStatus>([&](auto done) { store.planStatus(done); });
    QVERIFY(status && std::get<0>(*status).ok());
    const StoreStatus &plan = std::get<1>(*status);
    QCOMPARE(plan.inDoubt.size(), 1);
    QCOMPARE(plan.inDoubt.first().station, text);
    QCOMPARE(plan.inDoubt.first().port, text);
    QCOMPARE(plan.stations.first().name, text);
    const auto released = answered<ProvisionStore::Answer, SettingValues>([&](auto done) { store.release(1, {}, done); });
    QVERIFY(released && std::get<0>(*released).ok());

    // The audit gives every text back unchanged, in its lines and in the
    // columns beside them, which its verification compares.
    QList<QByteArray> lines;
    const auto exported = answered<ProvisionStore::Answer>([&](auto done) {
        store.exportAudit([&lines](const QByteArray &line) { return (lines << line), true; }, done);
    });
    QVERIFY(exported && std::get<0>(*exported).ok());
    QCOMPARE(lines.size(), 4);
    QStringList texts;
    for (const QByteArray &line : std::as_const(lines)) {
        QString why;
        const auto read = readAuditLine(line, &why);
        QVERIFY2(read && read->record, qPrintable(why));
        const AuditRecord &record = *read->record;
        texts << record.station << record.operatorName << recordPort(record.body).value_or(text);
        if (const auto *failure = std::get_if<OutcomeRecord>(&record.body))
            texts << failure->reason;
        if (const auto *label = std::get_if<LabelRecord>(&record.body))
            texts << label->target << label->reason;
    }
    QCOMPARE(texts.size(), 15);
    QCOMPARE(texts.count(text), texts.size());
    const auto verified = answered<ProvisionStore::Answer, AuditCheck>([&](auto done) { store.verifyAudit({}, {}, done); });
    QVERIFY(verified && std::get<0>(*verified).ok());
    QVERIFY2(std::get<1>(*verified).firstBad == 0 && std::get<1>(*verified).lines == 4,
             qPrintable(std::get<1>(*verified).why));
}

DbStore::Options TestDbStore::shortBoundOptions(const QString &uri, const QString &database, const QString &station,
                                               const QString &folder) const
{
    DbStore::Options options = storeOptions(uri + QStringLiteral("&application_name=vev-") + database, station, folder);
    options.limits = {shortBound, shortBound};
    return options;
}

pid_t TestDbStore::stopSessionOf(const QString &database)
{
    QString backend;
    m_server->sql(database, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE application_name = 'vev-%1'").arg(database),
                  &backend);
    const pid_t pid = pid_t(backend.toLongLong());
    return pid > 0 && ::kill(pid, SIGSTOP) == 0 ? pid : 0;
}

// A server that stops answering holds nobody up for longer than the
// store's bounds, and the store goes on once it answers again.
void TestDbStore::serverStopsAnswering()
{
    const QString uri = database(QStringLiteral("stalled"), planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QTemporaryDir dir;
    const DbStore::Options options = shortBoundOptions(uri, QStringLiteral("stalled"), QStringLiteral("bench-S"), dir.path());
    DbStore store(options);
    QSignalSpy reachable(&store, &ProvisionStore::reachabilityChanged);
    const auto opened = answered<ProvisionStore::Opened>([&](auto done) { store.open(done); });
    QVERIFY(opened && std::get<0>(*opened).ok);

    // The server's process for the store's connection stops: the claim's
    // statement gets no answer.
    const pid_t stopped = stopSessionOf(QStringLiteral("stalled"));
    QVERIFY(stopped > 0);
    auto resume = qScopeGuard([stopped] { ::kill(stopped, SIGCONT); });
    auto claim = std::make_shared<std::optional<ProvisionStore::Claim>>();
    store.claim(QStringLiteral("/dev/ttyUSB0"), factoryModule, [claim](const ProvisionStore::Claim &given) { *claim = given; });
    QVERIFY(reachable.wait(boundPassedMs));
    QCOMPARE(reachable.first().at(0).toBool(), false);
    QVERIFY2(reachable.first().at(1).toString().contains(QLatin1String("did not answer a statement within 1 s")),
             qPrintable(reachable.first().at(1).toString()));
    QVERIFY(!claim->has_value());
    // The server keeps the cut connection's session, and the station's name
    // with it, until that session goes on: the store connects again, finds
    // its own name held, and waits.
    const auto sessions = [this] {
        QString count;
        m_server->sql(QStringLiteral("postgres"), QStringLiteral("SELECT sessions FROM pg_stat_database WHERE "
                                                                 "datname = 'stalled'"), &count);
        return count.toLongLong();
    };
    const qint64 before = sessions();
    QTRY_VERIFY_WITH_TIMEOUT(sessions() >= before + 2, answerMs);
    QVERIFY(!claim->has_value());

    // Going on, the claim waiting is made, once.
    resume.dismiss();
    QCOMPARE(::kill(stopped, SIGCONT), 0);
    QTRY_VERIFY_WITH_TIMEOUT(claim->has_value(), answerMs);
    QVERIFY2((*claim)->kind == ProvisionStore::Claim::Fresh && (*claim)->row.row == 1, qPrintable((*claim)->error));
    QTRY_VERIFY_WITH_TIMEOUT(reachable.last().at(0).toBool(), answerMs);
    const auto status = answered<ProvisionStore::Answer, StoreStatus>([&](auto done) { store.planStatus(done); });
    QVERIFY(status && std::get<0>(*status).ok());
    QCOMPARE(std::get<1>(*status).inHand + std::get<1>(*status).open, 2);
    QCOMPARE(std::get<1>(*status).inHand, 1);

    // A server whose main process has stopped takes no new connection: the
    // attempt ends at the connection's bound.
    const pid_t server = pid_t(m_server->pid());
    QVERIFY(server > 0 && ::kill(server, SIGSTOP) == 0);
    auto resumeServer = qScopeGuard([server] { ::kill(server, SIGCONT); });
    DbStore late(options);
    const auto refused = answered<ProvisionStore::Opened>([&](auto done) { late.open(done); });
    QVERIFY(refused);
    QVERIFY2(!std::get<0>(*refused).ok && std::get<0>(*refused).error.contains(QLatin1String("no answer within 1 s")),
             qPrintable(std::get<0>(*refused).error));
}

// The server stops answering while a module is being written: once the
// station's name has gone unconfirmed for its lease, not another setting
// goes out; the row stays the station's, in doubt, recorded once the
// server answers again.
void TestDbStore::lapsedNameStopsTheWrite()
{
    const QString uri = database(QStringLiteral("lease"), planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QTemporaryDir dir;
    DbStore::Options options = shortBoundOptions(uri, QStringLiteral("lease"), QStringLiteral("bench-L"), dir.path());
    options.lease = std::chrono::milliseconds(1500);
    // Each answer a second late: the four settings take over four.
    SimProcess slow({"--delay", "1000"});
    QVERIFY2(slow.isRunning(), qPrintable(slow.error()));
    Station station(std::make_unique<DbStore>(options), Station::Options {{slow.devicePath()}, std::chrono::milliseconds(3000), true, {}});
    QSignalSpy lapsed(station.store(), &ProvisionStore::ownershipLapsed);
    QSignalSpy recorded(&station, &Station::recorded);
    station.start();
    QTRY_VERIFY_WITH_TIMEOUT(slow.output().contains(QLatin1String("< RS:WT")), answerMs);

    const pid_t stopped = stopSessionOf(QStringLiteral("lease"));
    QVERIFY(stopped > 0);
    auto resume = qScopeGuard([stopped] { ::kill(stopped, SIGCONT); });
    QVERIFY(lapsed.wait(boundPassedMs));
    QCOMPARE(lapsed.first().at(0).toBool(), true);
    QVERIFY2(lapsed.first().at(1).toString().contains(QLatin1String("has not confirmed for 1 s that this station still "
                                                                     "owns the name bench-L")),
             qPrintable(lapsed.first().at(1).toString()));
    // Nothing more after the write that was under way.
    const auto writes = [&slow] { return slow.output().count(QLatin1String("< RS:W")); };
    const int written = writes();
    QVERIFY2(written < 4, qPrintable(slow.output()));
    QTest::qWait(2500); // over two of the module's answers: a write sent would show
    QVERIFY(writes() <= written + 1);
    QVERIFY(recorded.isEmpty());

    // The server goes on: the station takes its name back first, then the
    // aborted outcome is stored and the row is in doubt.
    resume.dismiss();
    QCOMPARE(::kill(stopped, SIGCONT), 0);
    QVERIFY(recorded.wait(answerMs));
    const auto record = recorded.first().at(0).value<OutcomeRecord>();
    QCOMPARE(record.result, Result::Aborted);
    QVERIFY2(record.reason.startsWith(QLatin1String("stopped: ")), qPrintable(record.reason));
    QTRY_VERIFY_WITH_TIMEOUT(!lapsed.last().at(0).toBool(), answerMs);
    const auto status = answered<ProvisionStore::Answer, StoreStatus>([&](auto done) { station.store()->planStatus(done); });
    QVERIFY(status && std::get<0>(*status).ok());
    QCOMPARE(std::get<1>(*status).inDoubtCount() + std::get<1>(*status).inHand, 1);
    QCOMPARE(std::get<1>(*status).passed, 0);
}

// Someone's LOCK TABLE in a session of their own holds the plan: the lane
// says how long the database has not answered, and why, and Ctrl-C ends
// the run within its bound all the same.
void TestDbStore::foreignLockIsSaid()
{
    const QString uri = database(QStringLiteral("locked"), planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    const auto locked = [this] {
        QString rows;
        m_server->sql(QStringLiteral("locked"), QStringLiteral("SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = "
                                                               "l.relation WHERE c.relname = 'vev_plan' AND l.granted AND "
                                                               "l.mode = 'AccessExclusiveLock'"), &rows);
        return rows == QLatin1String("1");
    };
    const auto station = [&uri](QProcess &process, const QString &name, const SimProcess &module) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VEV_CLI_PATH), provision(uri, name, {&module}));
    };
    const auto stopsInTime = [](QProcess &process) {
        QElapsedTimer stopping;
        stopping.start();
        sendSignal(process, SIGINT);
        Run run = finished(process, runMs);
        run.out += QStringLiteral(" (%1 ms)").arg(stopping.elapsed());
        return stopping.elapsed() < 10000 && run.code != 0 && !run.out.contains(QLatin1String("PASS")) ? QString() : run.out;
    };

    // The lock taken while the lane reads a slow module: its claim waits.
    SimProcess module({"--delay", "1500"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    QProcess first;
    station(first, QStringLiteral("bench-K"), module);
    QByteArray shown;
    QTRY_VERIFY2_WITH_TIMEOUT((shown += first.readAll()).contains("reading a module"), shown.constData(), answerMs);
    const auto holder = m_server->sqlInBackground(QStringLiteral("locked"), QStringLiteral("BEGIN; LOCK TABLE vev_plan; "
                                                                                          "SELECT pg_sleep(120); COMMIT;"));
    QTRY_VERIFY_WITH_TIMEOUT(locked(), answerMs);
    QTRY_VERIFY2_WITH_TIMEOUT((shown += first.readAll()).contains("claiming a row: the database has not answered for "),
                              shown.constData(), answerMs);
    QTRY_VERIFY2_WITH_TIMEOUT((shown += first.readAll()).contains("lock timeout"), shown.constData(), answerMs);
    QString wrong = stopsInTime(first);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    // A station started meanwhile waits before its lanes begin, says so,
    // and Ctrl-C ends its start.
    QProcess second;
    station(second, QStringLiteral("bench-K2"), module);
    const QByteArray said = uri.toUtf8() + " has not answered for ";
    shown.clear();
    QTRY_VERIFY2_WITH_TIMEOUT((shown += second.readAll()).contains(said), shown.constData(), answerMs);
    wrong = stopsInTime(second);
    QVERIFY2(wrong.isEmpty() && !shown.contains("claiming"), qPrintable(wrong));
    QVERIFY(locked());
}

// A bench cut off by the network (every packet dropped, no reset) with
// two rows in hand: the server ends its session within the bound the
// session set, and the station's name is free again; until then a second
// start under the name is refused, saying how long the wait can be. Both
// rows are released meanwhile, one claimed by another station since; once
// back, the bench's pass of the other takes that row out of the plan
// again, and its pass of the row claimed since is stored and stops the
// run: the row may be on two modules.
void TestDbStore::benchCutOffByTheNetwork()
{
    NetNamespace net;
    QVERIFY2(net.isReady(), qPrintable(net.error()));
    PostgresServer server(net.name(), net.innerAddress());
    QVERIFY2(server.isRunning(), qPrintable(server.error()));
    const QString local = server.createDatabase(QStringLiteral("gone"));
    QVERIFY2(!local.isEmpty(), qPrintable(server.error()));
    QCOMPARE(cli({"plan", "import", "--db", local, writeFile(m_dir, QStringLiteral("gone.csv"), planOf(1, 2))}).code, 0);

    QTemporaryDir dir;
    DbStore::Options options = storeOptions(server.tcpUri(QStringLiteral("gone")), QStringLiteral("bench-G"), dir.path());
    constexpr std::chrono::milliseconds gone {4000};
    options.limits.goneBench = gone;
    DbStore bench(options);
    QSignalSpy compromised(&bench, &ProvisionStore::compromised);
    const auto opened = answered<ProvisionStore::Opened>([&](auto done) { bench.open(done); });
    QVERIFY2(opened && std::get<0>(*opened).ok, opened ? qPrintable(std::get<0>(*opened).error) : "no answer");
    const auto module = [](int n) {
        SettingValues module = factoryModule;
        module[3] = QStringLiteral("02:56:45:00:00:0%1").arg(n);
        return module;
    };
    QList<ProvisionStore::Claim> claims;
    for (int n : {1, 2}) {
        const auto claimed = answered<ProvisionStore::Claim>([&](auto done) { bench.claim(QStringLiteral("/dev/ttyUSB0"), module(n), done); });
        QVERIFY(claimed && std::get<0>(*claimed).kind == ProvisionStore::Claim::Fresh);
        claims << std::get<0>(*claimed);
    }
    QVERIFY2(net.cut(), qPrintable(net.error()));
    QElapsedTimer since;
    since.start();

    const auto openLocally = [&](const QString &name) {
        auto again = std::make_unique<DbStore>(storeOptions(local, name, dir.path()));
        const auto answer = answered<ProvisionStore::Opened>([&](auto done) { again->open(done); });
        return std::pair(answer ? std::get<0>(*answer)
                                : ProvisionStore::Opened {false, QStringLiteral("no answer"), ExitCode::Failure},
                         std::move(again));
    };
    const ProvisionStore::Opened refused = openLocally(QStringLiteral("bench-G")).first;
    QVERIFY2(!refused.ok && refused.code == ExitCode::Held
                 && refused.error.contains(QLatin1String("the server frees its name within 45 s of its last word")),
             qPrintable(refused.error));
    // Five times the bound, for a busy machine; the server's own default
    // would keep the name for over two hours.
    ProvisionStore::Opened taken;
    while (!(taken = openLocally(QStringLiteral("bench-G")).first).ok && since.elapsed() < 5 * gone.count())
        QTest::qWait(500);
    QVERIFY2(taken.ok, qPrintable(taken.error));

    QCOMPARE(cli({"plan", "release", "--db", local, "--row", "1"}).code, 0);
    auto other = openLocally(QStringLiteral("bench-B"));
    QVERIFY(other.first.ok);
    const auto reclaimed = answered<ProvisionStore::Claim>([&](auto done) { other.second->claim(QStringLiteral("/dev/ttyUSB1"), module(3), done); });
    QVERIFY(reclaimed && std::get<0>(*reclaimed).row.row == 1);
    QCOMPARE(cli({"plan", "release", "--db", local, "--row", "2"}).code, 0);

    QVERIFY(net.mend());
    const auto pass = [&bench, &module](const ProvisionStore::Claim &claim, int n) {
        const OutcomeRecord outcome {claim.row.row, QStringLiteral("/dev/ttyUSB0"), module(n), claim.row.values,
                                     claim.row.values, Result::Pass, {}, {}};
        const auto stored = answered<QString>([&](auto done) { bench.record(outcome, done); });
        return stored ? std::get<0>(*stored) : QStringLiteral("no answer");
    };
    QCOMPARE(pass(claims.at(1), 2), QString());
    const QJsonObject plan = status(local);
    QCOMPARE(QStringLiteral("%1 %2").arg(plan.value(QStringLiteral("passed")).toInt()).arg(plan.value(QStringLiteral("open")).toInt()),
             QStringLiteral("1 0"));
    QVERIFY(compromised.isEmpty());
    QCOMPARE(pass(claims.at(0), 1), QString());
    // Said before the record's answer, which may end a run (--once).
    QVERIFY(!compromised.isEmpty());
    QCOMPARE(compromised.first().at(1).value<ExitCode>(), ExitCode::RowOnTwoModules);
    QVERIFY2(compromised.first().at(0).toString().contains(QLatin1String("row 1 passed on the module of bench-G at "))
                 && compromised.first().at(0).toString().contains(QLatin1String("but the database has it claimed by bench-B "
                                                                                "since: the row may be on two modules")),
             qPrintable(compromised.first().at(0).toString()));
    const QJsonArray conflicts = status(local).value(QStringLiteral("on_two_modules")).toArray();
    QVERIFY2(conflicts.size() == 1 && conflicts.first().toString().startsWith(QLatin1String("row 1: row 1 passed on")),
             qPrintable(QJsonDocument(conflicts).toJson()));
}

void TestDbStore::planChangedBesideTheAudit_data()
{
    QTest::addColumn<QString>("change"); // to vev_plan, by someone with the rights to
    QTest::addColumn<QString>("said");

    QTest::newRow("a row passed with no line") << "UPDATE vev_plan SET state = 'passed', station = 'bench-T' WHERE row = 3"
                                               << "row 3 of the plan is passed, but the audit has no line that made it so";
    QTest::newRow("a passed row open again") << "UPDATE vev_plan SET state = 'open', audit_seq = NULL WHERE row = 1"
                                             << "row 1 of the plan is open, but the audit has lines of it";
    QTest::newRow("another row's line") << "UPDATE vev_plan SET audit_seq = audit_seq + 2 WHERE row = 1"
                                        << "row 1 of the plan is passed, but its line 4 is about row 2";
    QTest::newRow("a line that is not there") << "UPDATE vev_plan SET audit_seq = 99 WHERE row = 2"
                                              << "row 2 of the plan is passed, but its line 99 is not in the audit";
    QTest::newRow("a claim made a pass") << "UPDATE vev_plan SET audit_seq = audit_seq - 1 WHERE row = 2"
                                         << "row 2 of the plan is passed, but its line 3 (a claim) makes it claimed";
    QTest::newRow("another station") << "UPDATE vev_plan SET station = 'bench-X' WHERE row = 2"
                                     << "row 2 of the plan is passed, but its line 4 is by the station bench-T, not bench-X";
}

QString TestDbStore::passedTwo()
{
    if (!m_passedTwo.isEmpty())
        return m_passedTwo;
    const QString uri = database(QStringLiteral("beside"), planOf(1, 3));
    SimProcess line({"--line", "2", "--off-after", "100", "--plug-gap", "100"});
    if (!uri.startsWith(QLatin1String("postgresql://")) || !line.isRunning())
        return {};
    QTemporaryDir dir;
    QProcess station;
    station.setWorkingDirectory(dir.path());
    station.start(QStringLiteral(VEV_CLI_PATH), provision(uri, QStringLiteral("bench-T"), {&line}));
    QElapsedTimer clock;
    clock.start();
    while (status(uri).value(QStringLiteral("passed")).toInt() < 2 && clock.elapsed() < runMs)
        QTest::qWait(100);
    sendSignal(station, SIGINT);
    const Run run = cli({"audit-verify", "--db", uri});
    if (finished(station, runMs).code != 0 || run.code != 0 || !run.out.contains(QLatin1String("4 lines, chain intact")))
        return {};
    m_passedTwo = uri;
    return uri;
}

// The tables' owner goes around the plan's guard, changes a row and leaves
// the audit alone: the chain checks out, and audit-verify says which row
// does not follow it.
void TestDbStore::planChangedBesideTheAudit()
{
    QFETCH(QString, change);
    QFETCH(QString, said);
    const QString uri = passedTwo();
    QVERIFY(!uri.isEmpty());
    QString failed;
    const auto putBack = changePassedTwo(QStringLiteral("vev_plan"), change, &failed);
    QCOMPARE(failed, QString());
    const Run run = cli({"audit-verify", "--db", uri});
    QVERIFY2(run.code == 10 && run.err.contains(said), qPrintable(run.out + run.err));
}

void TestDbStore::labelOfAChangedRow_data()
{
    QTest::addColumn<QString>("change"); // to vev_audit, behind its trigger
    QTest::addColumn<int>("row");        // whose label is reprinted
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");

    // Four lines: row 1's claim and pass, row 2's claim and pass.
    const QString station = QStringLiteral("UPDATE vev_audit SET line = replace(line, 'bench-T', 'bench-U')%1 WHERE seq = %2");
    const QString withHash = QStringLiteral(", station = 'bench-U', hash = encode(sha256(convert_to(replace(line, 'bench-T', "
                                            "'bench-U'), 'UTF8')), 'hex')");
    QTest::newRow("its pass changed, its hash left") << station.arg(QString()).arg(4) << 2 << 10
                                                     << "line 4: its prev or hash column does not match the chain";
    QTest::newRow("its pass and its hash changed") << station.arg(withHash).arg(2) << 1 << 10
                                                   << "line 2: line 3 does not chain to it";
    QTest::newRow("the line before its claim changed") << station.arg(withHash).arg(2) << 2 << 10
                                                       << "line 3: prev does not match line 2";
    QTest::newRow("the line before its claim removed") << "DELETE FROM vev_audit WHERE seq = 2" << 2 << 10
                                                       << "line 2 is missing (the next is 3)";
    QTest::newRow("another row's line changed") << station.arg(QString()).arg(4) << 1 << 0 << "printed to";
}

// A label is reprinted from a row's own lines, each checked where it
// stands in the chain: one that was changed, or whose neighbour was, is
// refused; a row whose lines hold is printed whatever another row's are.
void TestDbStore::labelOfAChangedRow()
{
    QFETCH(QString, change);
    QFETCH(int, row);
    QFETCH(int, code);
    QFETCH(QString, said);
    const QString uri = passedTwo();
    QVERIFY(!uri.isEmpty());
    QString failed;
    const auto putBack = changePassedTwo(QStringLiteral("vev_audit"), change, &failed);
    QCOMPARE(failed, QString());
    QTemporaryDir dir;
    const Run run = cli({"label", "--db", uri, "--row", QString::number(row), "--pdf", dir.filePath(QStringLiteral("l.pdf"))});
    QVERIFY2(run.code == code && QString(run.out + run.err).contains(said), qPrintable(run.out + run.err));
    QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("l.pdf"))), code == 0);
}

std::shared_ptr<void> TestDbStore::changePassedTwo(const QString &table, const QString &change, QString *failed)
{
    const QString name = QStringLiteral("beside");
    const QString around = QStringLiteral("SET session_replication_role = replica; ");
    *failed = m_server->sql(name, QStringLiteral("CREATE TABLE IF NOT EXISTS kept_%1 AS SELECT * FROM %1").arg(table));
    if (failed->isEmpty())
        *failed = m_server->sql(name, around + change);
    return std::shared_ptr<void>(nullptr, [this, name, around, table](void *) {
        m_server->sql(name, around + QStringLiteral("DELETE FROM %1; INSERT INTO %1 SELECT * FROM kept_%1").arg(table));
    });
}

void TestDbStore::auditChangedBehindItsTrigger_data()
{
    QTest::addColumn<QString>("change"); // to vev_audit, behind its trigger
    QTest::addColumn<QString>("said");

    QTest::newRow("a time a microsecond later") << "UPDATE vev_audit SET time = time + interval '1 microsecond' WHERE seq = 2"
                                                << "line 2: its columns do not match its text";
    QTest::newRow("a time a day later") << "UPDATE vev_audit SET time = time + interval '1 day' WHERE seq = 2"
                                        << "line 2: its columns do not match its text";
    QTest::newRow("another station") << "UPDATE vev_audit SET station = 'bench-X' WHERE seq = 3"
                                     << "line 3: its columns do not match its text";
    QTest::newRow("another kind") << "UPDATE vev_audit SET kind = 'label' WHERE seq = 4"
                                  << "line 4: its columns do not match its text";
    QTest::newRow("an operator added") << "UPDATE vev_audit SET operator = 'Eve' WHERE seq = 1"
                                       << "line 1: its columns do not match its text";
    QTest::newRow("a hash column") << "UPDATE vev_audit SET hash = repeat('0', 64) WHERE seq = 1"
                                   << "line 1: its prev or hash column does not match the chain";
    QTest::newRow("a line removed") << "DELETE FROM vev_audit WHERE seq = 3" << "line 3 is missing (the next is 4)";
}

// What queries see beside each line must say what the line says: a column
// changed behind the trigger breaks the audit at its line, whatever batch
// the line is checked in.
void TestDbStore::auditChangedBehindItsTrigger()
{
    QFETCH(QString, change);
    QFETCH(QString, said);
    const QString uri = passedTwo();
    QVERIFY(!uri.isEmpty());
    QString failed;
    const auto putBack = changePassedTwo(QStringLiteral("vev_audit"), change, &failed);
    QCOMPARE(failed, QString());
    const Run run = cli({"audit-verify", "--db", uri});
    QVERIFY2(run.code == 10 && run.err.contains(said), qPrintable(run.out + run.err));
}

// An export into a reader that takes nothing for a while holds nothing
// open on the server meanwhile (a transaction left open that long would
// be ended by the server), and every line comes through once it reads.
void TestDbStore::exportThroughAStalledReader()
{
    constexpr int lines = 3000; // far more than a pipe holds
    const QString name = QStringLiteral("slowreader");
    const QString plan = m_dir.filePath(QStringLiteral("slowreader.csv"));
    QVERIFY(writeLargePlan(plan, largeAuditRows(lines)));
    const QString uri = m_server->createDatabase(name);
    QVERIFY2(!uri.isEmpty(), qPrintable(m_server->error()));
    const Run imported = cli({"plan", "import", "--db", uri, plan}, 120000);
    QVERIFY2(imported.code == 0, qPrintable(imported.err));
    QCOMPARE(loadLargeAudit(*m_server, name, lines, m_dir.path()), QString());
    const QString out = m_dir.filePath(QStringLiteral("slowreader.jsonl"));
    QProcess pipeline;
    pipeline.start(QStringLiteral("bash"), {"-c", QStringLiteral("set -o pipefail; '%1' audit export --db '%2' | "
                                                                 "{ sleep 3; cat > '%3'; }").arg(VEV_CLI_PATH, uri, out)});
    QTest::qWait(1500);
    QString sessions;
    QCOMPARE(m_server->sql(name, QStringLiteral("SELECT count(*) FILTER (WHERE state = 'idle in transaction'), count(*) "
                                                "FROM pg_stat_activity WHERE datname = 'slowreader' AND pid <> pg_backend_pid()"),
                           &sessions), QString());
    QCOMPARE(sessions, QStringLiteral("0|1")); // the export's, holding nothing
    QVERIFY(pipeline.waitForFinished(runMs));
    QCOMPARE(pipeline.exitCode(), 0);
    const AuditCheck check = verifyAudit(out);
    QCOMPARE(check.firstBad, 0);
    QCOMPARE(check.lines, lines);
}

// Tables an earlier version made are brought up to this one by the first
// station that meets them; each line then carries the server's time
// beside the bench's, and a bench clock far off the server's is warned of.
void TestDbStore::olderTablesAreBroughtUp()
{
    const QString uri = database(QStringLiteral("older"), planOf(1, 1));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QCOMPARE(m_server->sql(QStringLiteral("older"), QStringLiteral("ALTER TABLE vev_audit DROP COLUMN stored_at; "
                                                                   "DROP TABLE vev_operator; "
                                                                   "UPDATE vev_schema SET version = 1")),
             QString());
    SimProcess module;
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    Run run = cli(provision(uri, QStringLiteral("bench-O"), {&module}) << "--once");
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QString rows;
    QCOMPARE(m_server->sql(QStringLiteral("older"), QStringLiteral("SELECT (SELECT version FROM vev_schema), "
                                                                   "to_regclass('vev_audit_row') IS NOT NULL, "
                                                                   "to_regclass('vev_operator') IS NOT NULL, count(*) FROM "
                                                                   "vev_audit WHERE stored_at IS NOT NULL"), &rows),
             QString());
    QCOMPARE(rows, QStringLiteral("4|t|t|2"));

    QCOMPARE(m_server->sql(QStringLiteral("older"), QStringLiteral("ALTER TABLE vev_audit DISABLE TRIGGER vev_audit_append_only; "
                                                                   "UPDATE vev_audit SET stored_at = stored_at - interval "
                                                                   "'5 minutes'")),
             QString());
    run = cli({"plan", "status", "--db", uri});
    QVERIFY2(run.code == 0 && run.err.contains(QLatin1String("the clock of bench-O was 300 s ahead of the server's")),
             qPrintable(run.out + run.err));
}

// The tables' owner sets a role up for the stations over tables a
// station's own login made: the stations claim and record as before, and
// cannot change what they recorded, nor a row's state without its line.
void TestDbStore::stationRoleKeepsToItsShare()
{
    QCOMPARE(m_server->sql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE bench_login LOGIN")), QString());
    QCOMPARE(m_server->sql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE roles OWNER bench_login")), QString());
    const QString owner = m_server->uri(QStringLiteral("roles"));
    const QString station = QString(owner).replace(QLatin1String("postgresql://vev@"), QLatin1String("postgresql://bench_login@"));
    Run run = cli({"plan", "import", "--db", station, writeFile(m_dir, QStringLiteral("roles.csv"), planOf(1, 3))});
    QVERIFY2(run.code == 0, qPrintable(run.err));

    QCOMPARE(m_server->sql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE owners_kin LOGIN IN ROLE vev")), QString());
    const std::pair<const char *, const char *> refused[] = {
        {"nobody_here", "has no role nobody_here: make it first"},
        {"vev", "vev is the login running db init, which owns the tables"},
        {"owners_kin", "owners_kin is a member of the login running db init"},
        {"bench_login", "bench_login owns the database roles (or is a member of its owner) and could drop the tables"},
    };
    for (const auto &[role, said] : refused) {
        run = cli({"db", "init", "--db", owner, "--station-role", role});
        QVERIFY2(run.code == 2 && run.err.contains(QLatin1String(said)), qPrintable(run.err));
    }
    QCOMPARE(m_server->sql(QStringLiteral("postgres"), QStringLiteral("ALTER DATABASE roles OWNER TO vev")), QString());
    run = cli({"db", "init", "--db", owner, "--station-role", "bench_login"});
    QVERIFY2(run.code == 0 && run.out.contains(QLatin1String("owned by vev (taken over from bench_login); the role bench_login")),
             qPrintable(run.out + run.err));
    run = cli({"db", "init", "--db", owner, "--station-role", "bench_login"});
    QVERIFY2(run.code == 0 && !run.out.contains(QLatin1String("taken over")), qPrintable(run.out + run.err));

    // The stations' login works a module and is not warned; the owner's is.
    for (const auto &[uri, warned] : {std::pair {station, false}, std::pair {owner, true}}) {
        SimProcess module;
        QVERIFY2(module.isRunning(), qPrintable(module.error()));
        run = cli(provision(uri, warned ? QStringLiteral("bench-W") : QStringLiteral("bench-R"), {&module}) << "--once");
        QVERIFY2(run.code == 0 && run.err.contains(QLatin1String("which owns its tables and could rewrite the audit")) == warned,
                 qPrintable(run.out + run.err));
    }
    QVERIFY2(cli({"audit-verify", "--db", station}).code == 0, "the stations' login reads the audit");

    const std::pair<const char *, const char *> denied[] = {
        {"UPDATE vev_plan SET state = 'open' WHERE row = 1", "row 1: its state changes only with its audit line"},
        {"UPDATE vev_plan SET ip = '10.9.9.9' WHERE row = 3", "permission denied for table vev_plan"},
        {"INSERT INTO vev_plan (row, line, ip, gateway, tcp_port, mac) VALUES (9, 9, '10.9.9.9', '10.9.9.1', '502', "
         "'02:00:00:00:09:09')", "permission denied for table vev_plan"},
        {"DELETE FROM vev_audit", "permission denied for table vev_audit"},
        {"ALTER TABLE vev_audit DISABLE TRIGGER vev_audit_append_only", "must be owner of table vev_audit"},
        {"BEGIN; INSERT INTO vev_audit (seq, line, prev, hash, kind, row, station, time) VALUES (100, 'x', 'x', 'x', "
         "'outcome', 1, 'bench-R', now()); UPDATE vev_plan SET state = 'open', audit_seq = 100 WHERE row = 1; COMMIT",
         "row 1: its line of kind outcome does not make it open"},
        {"UPDATE vev_plan SET state = 'open', audit_seq = 1 WHERE row = 1",
         "row 1: its state changes only with an audit line for it appended in the same transaction"},
        {"BEGIN; CREATE TEMPORARY TABLE vev_audit (seq bigint, row int, kind text, result text); INSERT INTO vev_audit "
         "VALUES (999, 3, 'outcome', 'pass'); UPDATE vev_plan SET state = 'passed', audit_seq = 999 WHERE row = 3; COMMIT",
         "row 3: its state changes only with an audit line for it appended in the same transaction"},
        {"INSERT INTO vev_conflict (row, seq, station, why) VALUES (1, 2, 'bench-R', 'made up')",
         "vev_conflict of row 1: only with its outcome line, appended in the same transaction"},
        {"INSERT INTO vev_operator (id, name, role, badge) VALUES ('me', 'Me', 'supervisor', 'x')",
         "permission denied for table vev_operator"},
        {"UPDATE vev_operator SET role = 'supervisor'", "permission denied for table vev_operator"},
    };
    for (const auto &[change, said] : denied) {
        const QString answer = m_server->sql(QStringLiteral("roles"), QStringLiteral("SET ROLE bench_login; ") + QLatin1String(change));
        QVERIFY2(answer.contains(QLatin1String(said)), qPrintable(QLatin1String(change) + QStringLiteral(": ") + answer));
    }
    // A station reads the roster to sign in with; only the owner changes it.
    QCOMPARE(m_server->sql(QStringLiteral("roles"), QStringLiteral("SET ROLE bench_login; SELECT count(*) FROM vev_operator")),
             QString());
    run = cliWithInput({"operator", "add", "--db", station, "--id", "me", "--name", "Me", "--role", "supervisor"},
                       roster::supervisorCode + '\n');
    QVERIFY2(run.code == 1 && run.err.contains(QLatin1String("permission denied for table vev_operator")), qPrintable(run.err));
    run = cli({"plan", "import", "--db", station, writeFile(m_dir, QStringLiteral("more.csv"), planOf(7, 1))});
    QVERIFY2(run.code == 1 && run.err.contains(QLatin1String("imported by the login that owns the tables")), qPrintable(run.err));
    QCOMPARE(status(station).value(QStringLiteral("passed")).toInt(), 2);
}

void TestDbStore::auditTailIsChecked_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("cut short") << "DELETE FROM vev_audit WHERE seq = 2";
    QTest::newRow("rewritten") << "UPDATE vev_audit SET hash = repeat('0', 64) WHERE seq = 2";
}

// A station remembers the last line it stored: an audit cut short or
// rewritten since stops its next start, until the line it ends at now is
// accepted, which the audit records.
void TestDbStore::auditTailIsChecked()
{
    QFETCH(QString, change);
    const QString name = QStringLiteral("tail%1").arg(QTest::currentDataTag()[0] == 'c' ? 1 : 2);
    const QString uri = database(name, planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    SimProcess module;
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    const QStringList station = provision(uri, QStringLiteral("bench-M"), {&module}) << "--once";
    Run run = cli(station);
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QCOMPARE(cli(station).code, int(ExitCode::AlreadyProvisioned)); // the audit as it left it: a start like any

    QCOMPARE(m_server->sql(name, QStringLiteral("SET session_replication_role = replica; ") + change), QString());
    run = cli(station);
    QVERIFY2(run.code == 10 && run.err.contains(QLatin1String("no longer holds line 2 as this station stored it")),
             qPrintable(run.out + run.err));
    // Only the line the audit ends at now is accepted.
    QString end;
    QCOMPARE(m_server->sql(name, QStringLiteral("SELECT seq || ':' || hash FROM vev_audit ORDER BY seq DESC LIMIT 1"), &end),
             QString());
    end = end.trimmed();
    const QString first = QStringLiteral("1:") + QString(64, QLatin1Char('f'));
    run = cli(QStringList(station) << "--accept-audit-from" << first);
    QVERIFY2(run.code == 2 && run.err.contains(QStringLiteral("ends at line %1 (hash %2), not at %3")
                                                   .arg(end.section(':', 0, 0), end.section(':', 1), first)),
             qPrintable(run.err));
    run = cli(QStringList(station) << "--accept-audit-from" << end);
    QVERIFY2(run.code == int(ExitCode::AlreadyProvisioned), qPrintable(run.out + run.err));
    QCOMPARE(cli(station).code, int(ExitCode::AlreadyProvisioned));
    QString accepted;
    QCOMPARE(m_server->sql(name, QStringLiteral("SELECT line FROM vev_audit WHERE kind = 'accept'"), &accepted), QString());
    QVERIFY2(accepted.contains(QStringLiteral("\"hash\":\"%1\"").arg(end.section(':', 1)))
                 && accepted.contains(QLatin1String("\"remembered_seq\":2")),
             qPrintable(accepted));
}

// A plan far larger than what goes to the server at a time arrives whole,
// and a plan that meets it in its last line is refused whole; so is one
// that gives an address twice, the second far past the first chunk sent.
void TestDbStore::largePlanImportsWhole()
{
    constexpr int rows = 60000;
    const QByteArray plan = largePlanOf(rows);
    const QString uri = database(QStringLiteral("large"), plan);
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QCOMPARE(status(uri).value(QStringLiteral("open")).toInt(), rows);
    const QByteArray last = plan.mid(plan.lastIndexOf('\n', plan.size() - 2) + 1);
    // Bounds for a hang, not for the time (see database()).
    Run run = cli({"plan", "import", "--db", uri, writeFile(m_dir, QStringLiteral("meets.csv"), planOf(1, 2) + last)}, 120000);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(QStringLiteral("line 4 (IP \"10.8.239.250\", MAC \"02:00:00:08:EA:5F\"): its IP address is "
                                             "already in the database, in row %1").arg(rows)), qPrintable(run.err));
    const QByteArray other = largePlanOf(rows + 1).replace("10.8.", "10.10.").replace(":08:", ":0b:");
    const QString twice = writeFile(m_dir, QStringLiteral("twice.csv"), other + "10.11.0.1,10.11.0.254,502,02:00:00:0b:00:01\n");
    run = cli({"plan", "import", "--db", uri, twice}, 120000);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains(QStringLiteral("line %1: MAC address \"02:00:00:0B:00:01\" is already on line 3; nothing was "
                                             "imported").arg(rows + 3)), qPrintable(run.err));
    QCOMPARE(status(uri).value(QStringLiteral("rows")).toInt(), rows);
}

// Nothing a caller gives a store is let go of on the store's own thread:
// a callback that keeps the store (as vev-cli's and the station window's
// do) would end it there, on the thread its end waits for.
void TestDbStore::callbacksStayOnTheCallersThread()
{
    const QString uri = database(QStringLiteral("owned"), planOf(1, 1));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QTemporaryDir dir;
    auto store = std::make_shared<DbStore>(storeOptions(uri, QStringLiteral("bench-O"), dir.path()));
    const Tracer tracer;
    auto exported = std::make_shared<bool>(false);
    store->open([store, tracer, exported](const ProvisionStore::Opened &) {
        store->exportAudit([tracer](const QByteArray &) { return true; },
                           [store, tracer, exported](const ProvisionStore::Answer &) { *exported = true; });
    });
    store->claim(QStringLiteral("/dev/ttyUSB0"), factoryModule, [tracer](const ProvisionStore::Claim &) {});
    auto endedOn = std::make_shared<QThread *>(nullptr);
    connect(store.get(), &QObject::destroyed, this, [endedOn] { *endedOn = QThread::currentThread(); }, Qt::DirectConnection);
    store.reset();
    QTRY_VERIFY_WITH_TIMEOUT(*exported && *endedOn, answerMs);
    QCOMPARE(*endedOn, QThread::currentThread());
    QCOMPARE(tracer.endedElsewhere->load(), 0);
}

void TestDbStore::rosterInTheDatabase()
{
    const QString uri = database(QStringLiteral("roster"), planOf(1, 2));
    QVERIFY2(uri.startsWith(QLatin1String("postgresql://")), qPrintable(uri));
    QByteArray said; // everything vev-cli printed, searched for codes at the end
    const auto run = [&said](const QStringList &arguments, const QByteArray &badge) {
        const Run result = cliWithInput(arguments, badge + '\n');
        said += result.out.toUtf8() + result.err.toUtf8();
        return result;
    };
    const QStringList add {"operator", "add", "--db", uri};
    Run result = run(add + QStringList {"--id", "ana", "--name", "Ana Lima"}, roster::operatorCode);
    QVERIFY2(result.code == 0 && result.out.contains(QLatin1String("Added ana (Ana Lima) as operator")), qPrintable(result.err));
    result = run(add + QStringList {"--id", "sam", "--name", "Sam Okoro", "--role", "supervisor"}, roster::supervisorCode);
    QVERIFY2(result.code == 0, qPrintable(result.err));
    result = run(add + QStringList {"--id", "bo", "--name", "Bo"}, roster::operatorCode);
    QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("the badge code is ana's already")), qPrintable(result.err));
    result = run(add + QStringList {"--id", "ANA", "--name", "Ana Two"}, "OTHER-CODE");
    QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("the roster has ana already")), qPrintable(result.err));
    result = run({"operator", "list", "--db", uri}, {});
    QVERIFY2(result.code == 0 && result.out.contains(QLatin1String("2 people")) && result.out.contains(QLatin1String("Sam Okoro"))
                 && !result.out.contains(QLatin1String("pbkdf2")), qPrintable(result.out + result.err));

    // The database's roster signs the station in: a stranger starts nothing.
    SimProcess module({"--ignore-writes"});
    QVERIFY2(module.isRunning(), qPrintable(module.error()));
    const QStringList once = provision(uri, QStringLiteral("bench-1"), {&module}) << "--once";
    result = run(once, roster::strangerCode);
    QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("not on the roster")), qPrintable(result.err));
    QCOMPARE(status(uri).value(QStringLiteral("open")).toInt(), 2);
    result = run(once, roster::operatorCode);
    QVERIFY2(result.code == 9, qPrintable(result.out + result.err));

    // Releasing the failed row and a new shift: an operator's badge is refused.
    const QStringList release {"plan", "release", "--db", uri, "--row", "1"};
    const QStringList shift {"shift", "start", "--db", uri, "--name", "early"};
    for (const QStringList &command : {release, shift}) {
        result = run(command, roster::operatorCode);
        QVERIFY2(result.code == 2 && result.err.contains(QLatin1String("Ana Lima (ana) is an operator;")), qPrintable(result.err));
        result = run(command, roster::supervisorCode);
        QVERIFY2(result.code == 0, qPrintable(result.out + result.err));
    }
    QList<AuditRecord> records;
    const AuditCheck check = verifyAudit(exported(uri, m_dir), [&records](const AuditRecord &record, int) { records << record; });
    QVERIFY2(check.firstBad == 0 && records.size() == 4, qPrintable(check.why));
    QCOMPARE(records.at(0).operatorId + ' ' + records.at(1).operatorId, QStringLiteral("ana ana"));
    QCOMPARE(std::get<ReleaseRecord>(records.at(2).body).supervisorId, QStringLiteral("sam"));
    QCOMPARE(std::get<ShiftRecord>(records.at(3).body).name, QStringLiteral("early"));
    QString rows;
    QCOMPARE(m_server->sql(QStringLiteral("roster"), QStringLiteral("SELECT kind, operator_id FROM vev_audit ORDER BY seq"), &rows),
             QString());
    QCOMPARE(rows.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList {"claim|ana", "outcome|ana", "release|sam", "shift|sam"}));

    // Someone removed from the roster signs in no more.
    QCOMPARE(run({"operator", "remove", "--db", uri, "--id", "ana"}, {}).code, 0);
    QCOMPARE(run({"operator", "remove", "--db", uri, "--id", "ana"}, {}).code, 2);
    QCOMPARE(run(once, roster::operatorCode).code, 2);

    // No code anywhere: not in the tables, not in what was printed.
    QCOMPARE(m_server->sql(QStringLiteral("roster"), QStringLiteral("SELECT * FROM vev_operator; SELECT * FROM vev_audit"), &rows),
             QString());
    QVERIFY(rows.contains(QLatin1String("pbkdf2-sha256$")));
    QCOMPARE(roster::codeIn(rows.toUtf8()), QString());
    QCOMPARE(roster::codeIn(said), QString());
}

QTEST_GUILESS_MAIN(TestDbStore)

void TestDbStore::unitsAreOneRowEach_data()
{
    QTest::addColumn<bool>("inDatabase");
    QTest::newRow("files") << false;
    QTest::newRow("database") << true;
}

// The same units, the same answers from either store: a unit gets its
// attempts, then goes to rework and counts again from there; a serial gets
// one row, a row one serial; a unit without a serial counts by its row.
void TestDbStore::unitsAreOneRowEach()
{
    QFETCH(bool, inDatabase);
    QTemporaryDir dir;
    std::unique_ptr<ProvisionStore> store;
    if (inDatabase) {
        DbStore::Options options = storeOptions(database(QStringLiteral("units"), planOf(1, 5)), QStringLiteral("bench-U"),
                                                dir.path());
        options.maxAttempts = 2;
        store = std::make_unique<DbStore>(options);
    } else {
        store = std::make_unique<FileStore>(FileStore::Options {writeFile(dir, QStringLiteral("plan.csv"), planOf(1, 5)),
                                                                dir.filePath(QStringLiteral("audit.jsonl")),
                                                                QStringLiteral("bench-U"), {}, false, true, 2});
    }
    const auto opened = answered<ProvisionStore::Opened>([&](auto done) { store->open(done); });
    QVERIFY2(opened && std::get<0>(*opened).ok, opened ? qPrintable(std::get<0>(*opened).error) : "no answer");
    const QString port = QStringLiteral("/dev/ttyUSB0");
    const auto module = [](int n) {
        SettingValues module = factoryModule;
        module[3] = QStringLiteral("02:56:45:00:01:0%1").arg(n);
        return module;
    };
    const auto claim = [&](const SettingValues &on, const QString &serial) {
        const auto claimed = answered<ProvisionStore::Claim>([&](auto done) { store->claim(port, on, serial, done); });
        return claimed ? std::get<0>(*claimed) : ProvisionStore::Claim {ProvisionStore::Claim::Failed, {}, QStringLiteral("no answer")};
    };
    const auto finish = [&](const ProvisionStore::Claim &claimed, const SettingValues &on, const QString &serial, Result result) {
        OutcomeRecord outcome {claimed.row.row, port, on, claimed.row.values,
                               result == Result::Pass ? claimed.row.values : SettingValues(), result, {}, {}};
        outcome.serial = serial;
        outcome.attempt = claimed.attempt;
        const auto stored = answered<QString>([&](auto done) { store->record(outcome, done); });
        return stored ? std::get<0>(*stored) : QStringLiteral("no answer");
    };
    const auto says = [](const ProvisionStore::Claim &claimed, ProvisionStore::Claim::Kind kind, const QString &why) {
        return claimed.kind == kind && claimed.why.contains(why);
    };

    // Two attempts of SN-1, each on a row of its own; the third is refused.
    ProvisionStore::Claim claimed = claim(module(1), QStringLiteral("SN-1"));
    QVERIFY2(claimed.kind == ProvisionStore::Claim::Fresh && claimed.attempt == 1, qPrintable(claimed.error));
    QCOMPARE(finish(claimed, module(1), QStringLiteral("SN-1"), Result::Fail), QString());
    claimed = claim(module(1), QStringLiteral("SN-1"));
    QVERIFY(claimed.kind == ProvisionStore::Claim::Fresh && claimed.row.row == 2 && claimed.attempt == 2);
    QCOMPARE(finish(claimed, module(1), QStringLiteral("SN-1"), Result::Fail), QString());
    claimed = claim(module(1), QStringLiteral("SN-1"));
    QVERIFY2(says(claimed, ProvisionStore::Claim::Rework, QStringLiteral("send to rework: the unit has had 2 attempts")),
             qPrintable(claimed.why));
    // Back from rework: its first attempt again, and it passes.
    const auto noted = answered<QString>([&](auto done) {
        store->note(ReworkRecord {0, QStringLiteral("SN-1"), {}, QStringLiteral("no-answer"), {}}, done);
    });
    QVERIFY(noted && std::get<0>(*noted).isEmpty());
    claimed = claim(module(1), QStringLiteral("SN-1"));
    QVERIFY(claimed.kind == ProvisionStore::Claim::Fresh && claimed.row.row == 3 && claimed.attempt == 1);
    QCOMPARE(finish(claimed, module(1), QStringLiteral("SN-1"), Result::Pass), QString());
    const SettingValues row3 = claimed.row.values;

    // Its serial on another unit, its row under another serial: refused.
    claimed = claim(module(2), QStringLiteral("SN-1"));
    QVERIFY2(says(claimed, ProvisionStore::Claim::Conflict, QStringLiteral("serial SN-1 already passed with row 3")),
             qPrintable(claimed.why));
    claimed = claim(row3, QStringLiteral("SN-2"));
    QVERIFY2(says(claimed, ProvisionStore::Claim::Conflict, QStringLiteral("row 3 passed on the unit with serial SN-1, not SN-2")),
             qPrintable(claimed.why));
    QCOMPARE(claim(row3, QStringLiteral("SN-1")).kind, ProvisionStore::Claim::HoldsPassed);

    // Without serials: a row's own attempts, the unit known by it.
    claimed = claim(module(3), {});
    QVERIFY(claimed.kind == ProvisionStore::Claim::Fresh && claimed.row.row == 4 && claimed.attempt == 1);
    const SettingValues row4 = claimed.row.values;
    SettingValues halfWay = module(3);
    halfWay[0] = valueOf(row4, Setting::IpAddress); // its IP written, then no more
    QCOMPARE(finish(claimed, module(3), {}, Result::NotAcknowledged), QString());
    claimed = claim(halfWay, {});
    QVERIFY2(claimed.kind == ProvisionStore::Claim::Resume && claimed.row.row == 4 && claimed.attempt == 2,
             qPrintable(QStringLiteral("%1 row %2 attempt %3").arg(claimed.kind).arg(claimed.row.row).arg(claimed.attempt)));

    // Lines about no row, kept by a station that could not store them, come in by import.
    const QList<AuditRecord> kept {
        {auditTimeNow(), QStringLiteral("bench-K"), QStringLiteral("Bo"), {}, ReworkRecord {0, {}, valueOf(row4, Setting::MacAddress).value_or(QString()), QStringLiteral("not-acknowledged"), {}}},
        {auditTimeNow(), QStringLiteral("bench-K"), QStringLiteral("Bo"), {}, ShiftRecord {0, QStringLiteral("B")}}};
    const auto imported = answered<ProvisionStore::Answer, int, int>([&](auto done) { store->importAudit(kept, done); });
    QVERIFY2(imported && std::get<0>(*imported).ok() && std::get<1>(*imported) == 2,
             imported ? qPrintable(std::get<0>(*imported).error) : "no answer");
}

#include "tst_dbstore.moc"
