// SPDX-License-Identifier: MIT
// The line report from a database (a PostgreSQL server of the test's own,
// label server): the day written with known figures (reportaudit.h),
// imported into the database, gives vev-cli report --db the figures it
// gives from the files; the views vev_units, vev_yield_hourly and
// vev_failures_by_code hold the test's tally; db init lets the stations'
// role read them; and an audit changed behind its trigger gives no report.

#include "clirun.h"
#include "postgresserver.h"
#include "reportaudit.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

class TestReportDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void databaseGivesTheFilesFigures();
    void viewsHoldTheTally();
    void stationRoleReadsTheViews();
    void changedAuditGivesNoReport();

private:
    QString sql(const QString &query);
    QTemporaryDir m_dir;
    std::unique_ptr<PostgresServer> m_server;
    QString m_plan;
    QString m_audit;
    QString m_uri;
    ReportDay m_day;
};

void TestReportDb::initTestCase()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    m_server = std::make_unique<PostgresServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->error()));
    m_plan = m_dir.filePath(QStringLiteral("plan.csv"));
    m_audit = m_dir.filePath(QStringLiteral("audit.jsonl"));
    m_day = writeReportDay(m_plan, m_audit);
    QVERIFY(m_day.planRows > 0);
    m_uri = m_server->createDatabase(QStringLiteral("report"));
    QVERIFY2(!m_uri.isEmpty(), qPrintable(m_server->error()));
    Run run = cli({"plan", "import", "--db", m_uri, m_plan});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    // The day's lines as the stations would have stored them, straight
    // into the table (audit import refuses lines about no row: shift and
    // rework), and the plan's rows as they left them.
    const QString loaded = loadAudit(*m_server, QStringLiteral("report"), m_audit, m_dir.path());
    QVERIFY2(loaded.isEmpty(), qPrintable(loaded));
}

QString TestReportDb::sql(const QString &query)
{
    QString rows;
    const QString error = m_server->sql(QStringLiteral("report"), query, &rows);
    return error.isEmpty() ? rows.trimmed() : QStringLiteral("error: ") + error;
}

void TestReportDb::databaseGivesTheFilesFigures()
{
    const Run files = cli({"report", "--plan", m_plan, "--audit", m_audit, "--json"});
    const Run database = cli({"report", "--db", m_uri, "--json"});
    QVERIFY2(files.code == 0, qPrintable(files.err));
    QVERIFY2(database.code == 0, qPrintable(database.err));
    QJsonObject fromFiles = QJsonDocument::fromJson(files.out.toUtf8()).object();
    QJsonObject fromDatabase = QJsonDocument::fromJson(database.out.toUtf8()).object();
    QVERIFY(!fromFiles.isEmpty() && !fromDatabase.isEmpty());
    // Where they are differs; every figure is the same.
    fromFiles.remove(QStringLiteral("source"));
    fromDatabase.remove(QStringLiteral("source"));
    QCOMPARE(fromDatabase, fromFiles);
    QCOMPARE(fromDatabase.value(QStringLiteral("total")).toObject().value(QStringLiteral("units")).toInt(), m_day.units());
}

void TestReportDb::viewsHoldTheTally()
{
    QCOMPARE(sql(QStringLiteral("SELECT count(*), count(*) FILTER (WHERE passed), count(*) FILTER (WHERE first_passed), "
                                "sum(attempts) FROM vev_units")),
             QStringLiteral("%1|%2|%3|%4").arg(m_day.units()).arg(m_day.passedUnits()).arg(m_day.firstPassed())
                 .arg(m_day.outcomes.size()));
    // A unit by its serial, and one known by its row (lines without a serial).
    QCOMPARE(sql(QStringLiteral("SELECT attempts, passed, first_passed, last_code FROM vev_units WHERE unit = 'SN-0010'")),
             QStringLiteral("2|f|f|no-answer"));
    QCOMPARE(sql(QStringLiteral("SELECT attempts, passed, first_passed, station FROM vev_units WHERE unit = 'row 2'")),
             QStringLiteral("2|t|f|line-1"));

    const QMap<QString, int> codes = m_day.failuresByCode();
    QStringList expected;
    for (auto it = codes.begin(); it != codes.end(); ++it)
        expected << QStringLiteral("%1|%2").arg(it.key()).arg(it.value());
    QCOMPARE(sql(QStringLiteral("SELECT code, failures FROM vev_failures_by_code ORDER BY code")),
             expected.join(QLatin1Char('\n')));

    QCOMPARE(sql(QStringLiteral("SELECT sum(outcomes), sum(passed), sum(failed), sum(first_attempts), sum(first_passed) "
                                "FROM vev_yield_hourly")),
             QStringLiteral("%1|%2|%3|%4|%5").arg(m_day.outcomes.size())
                 .arg(m_day.outcomesWhere([](const ReportDay::Outcome &o) { return o.passed; }))
                 .arg(m_day.outcomesWhere([](const ReportDay::Outcome &o) { return !o.passed; }))
                 .arg(m_day.units()).arg(m_day.firstPassed()));
    // The first hour: 05:30 to 06:00, by station.
    const qint64 hourEnd = reportDayStart + 30 * 60000;
    const int firstHour = m_day.outcomesWhere([hourEnd](const ReportDay::Outcome &o) {
        return o.time < hourEnd && o.station == reportStationA;
    });
    QCOMPARE(sql(QStringLiteral("SELECT outcomes FROM vev_yield_hourly WHERE hour = '2026-12-08 05:00' "
                                "AND station = 'line-1'")), QString::number(firstHour));
}

void TestReportDb::stationRoleReadsTheViews()
{
    QCOMPARE(m_server->sql(QStringLiteral("postgres"), QStringLiteral("CREATE ROLE report_station LOGIN")), QString());
    const Run run = cli({"db", "init", "--db", m_uri, "--station-role", "report_station"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(sql(QStringLiteral("SELECT has_table_privilege('report_station', 'vev_units', 'SELECT'), "
                                "has_table_privilege('report_station', 'vev_yield_hourly', 'SELECT'), "
                                "has_table_privilege('report_station', 'vev_failures_by_code', 'SELECT'), "
                                "has_table_privilege('report_station', 'vev_units', 'INSERT')")),
             QStringLiteral("t|t|t|f"));
    // db init brings the views to tables of version 4 made before them.
    QCOMPARE(sql(QStringLiteral("DROP VIEW vev_units")), QString());
    QCOMPARE(cli({"db", "init", "--db", m_uri, "--station-role", "report_station"}).code, 0);
    QCOMPARE(sql(QStringLiteral("SELECT count(*) FROM vev_units")), QString::number(m_day.units()));
}

void TestReportDb::changedAuditGivesNoReport()
{
    QCOMPARE(sql(QStringLiteral("SET session_replication_role = replica; UPDATE vev_audit SET line = "
                                "replace(line, '\"result\":\"fail\"', '\"result\":\"pass\"') WHERE seq = 5")), QString());
    const Run run = cli({"report", "--db", m_uri});
    QCOMPARE(run.code, 10);
    QVERIFY2(run.err.contains(QStringLiteral("line 5")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestReportDb)
#include "tst_reportdb.moc"
