// SPDX-License-Identifier: MIT
// The line report against a day written with known figures (reportaudit.h):
// the figures of vev-cli report as text, JSON and CSV from files, counted
// against the test's own tally, shifts by their lines and by clock time, a
// window of time, an audit that does not check out, and the HTML page's
// escaping and its cap on the unit table.

#include "clirun.h"
#include "reportaudit.h"
#include "report/glance.h"
#include "report/reportwriters.h"
#include "report/storereport.h"
#include "tamper.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void figuresMatchTheTally();
    void shiftLinesSplitTheDay();
    void clockShiftsCrossMidnight();
    void timeWindowBoundsTheLines();
    void textAndCsvCarryTheFigures();
    void brokenChainGivesNoReport();
    void optionsAreChecked();
    void pageEscapesTheAuditAndCapsItsTable();
    void glanceCountsOneStationsShift();

private:
    QJsonObject reportJson(const QStringList &more = {});
    QTemporaryDir m_dir;
    QString m_plan;
    QString m_audit;
    ReportDay m_day;
};

void TestReport::init()
{
    QVERIFY(m_dir.isValid());
    m_plan = m_dir.filePath(QStringLiteral("plan.csv"));
    m_audit = m_dir.filePath(QStringLiteral("audit.jsonl"));
    m_day = writeReportDay(m_plan, m_audit);
    QVERIFY(m_day.planRows > 0);
}

QJsonObject TestReport::reportJson(const QStringList &more)
{
    const Run run = cli(QStringList {"report", "--plan", m_plan, "--audit", m_audit, "--json"} + more);
    if (run.code != 0)
        qWarning() << run.err;
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

namespace {

QJsonObject groupNamed(const QJsonArray &groups, const QString &key)
{
    for (const QJsonValue &group : groups) {
        if (group[QStringLiteral("key")].toString() == key)
            return group.toObject();
    }
    return {};
}

} // namespace

void TestReport::figuresMatchTheTally()
{
    const QJsonObject r = reportJson();
    QVERIFY(!r.isEmpty());
    QCOMPARE(r[QStringLiteral("lines")].toInt(), m_day.lines);
    const QJsonObject total = r[QStringLiteral("total")].toObject();
    QCOMPARE(total[QStringLiteral("units")].toInt(), m_day.units());
    QCOMPARE(total[QStringLiteral("passed_units")].toInt(), m_day.passedUnits());
    QCOMPARE(total[QStringLiteral("first_attempts")].toInt(), m_day.units());
    QCOMPARE(total[QStringLiteral("first_passed")].toInt(), m_day.firstPassed());
    QCOMPARE(total[QStringLiteral("outcomes")].toInt(), int(m_day.outcomes.size()));
    QCOMPARE(total[QStringLiteral("failed")].toInt(), m_day.failedLines());
    QCOMPARE(total[QStringLiteral("first_pass_yield")].toDouble(), double(m_day.firstPassed()) / m_day.units());
    // A row released and passed on another module keeps the failures of the first.
    QVERIFY(m_day.failedLines() > m_day.units() - m_day.passedUnits());

    // Failures by code, most first, each counted per line.
    const QMap<QString, int> codes = m_day.failuresByCode();
    const QJsonArray failures = r[QStringLiteral("failures")].toArray();
    QCOMPARE(failures.size(), codes.size());
    int previous = std::numeric_limits<int>::max();
    for (const QJsonValue &failure : failures) {
        const int count = failure[QStringLiteral("count")].toInt();
        QCOMPARE(count, codes.value(failure[QStringLiteral("code")].toString()));
        QVERIFY(count <= previous);
        QVERIFY(!failure[QStringLiteral("meaning")].toString().isEmpty());
        previous = count;
    }

    // By station and by operator: Ana twice, told apart by her ids; Bo by name.
    for (const QString &station : {reportStationA, reportStationB}) {
        const QJsonObject group = groupNamed(r[QStringLiteral("stations")].toArray(), station);
        QCOMPARE(group[QStringLiteral("outcomes")].toInt(),
                 m_day.outcomesWhere([&](const ReportDay::Outcome &o) { return o.station == station; }));
    }
    const QJsonArray operators = r[QStringLiteral("operators")].toArray();
    QCOMPARE(operators.size(), 3);
    for (const QString &key : {QStringLiteral("A1"), QStringLiteral("A2")}) {
        const QJsonObject group = groupNamed(operators, QStringLiteral("id:") + key);
        QCOMPARE(group[QStringLiteral("name")].toString(), QStringLiteral("Ana (%1)").arg(key));
        QCOMPARE(group[QStringLiteral("outcomes")].toInt(),
                 m_day.outcomesWhere([&](const ReportDay::Outcome &o) { return o.operatorKey == key; }));
    }
    const QJsonObject bo = groupNamed(operators, QStringLiteral("name:Bo <script>"));
    QCOMPARE(bo[QStringLiteral("failed")].toInt(),
             m_day.outcomesWhere([](const ReportDay::Outcome &o) { return o.operatorKey.startsWith("Bo") && !o.passed; })
                 + int(m_day.lostOperators.count(QStringLiteral("Bo <script>"))));

    // Each module 30 s from its claim to its outcome.
    const QJsonArray laneTimes = r[QStringLiteral("lane_times")].toArray();
    QCOMPARE(laneTimes.size(), 3);
    for (const QJsonValue &lane : laneTimes) {
        QCOMPARE(lane[QStringLiteral("median_s")].toDouble(), 30.0);
        QCOMPARE(lane[QStringLiteral("p95_s")].toDouble(), 30.0);
    }
    int perHour = 0;
    const QJsonObject hours = r[QStringLiteral("passed_per_hour")].toObject();
    for (const QJsonValue &count : hours)
        perHour += count.toInt();
    QCOMPARE(perHour, m_day.outcomesWhere([](const ReportDay::Outcome &o) { return o.passed; }));

    // The plan: rows never claimed, and rows in doubt (failed twice and not
    // released, or lost).
    QSet<int> touched, passedRows, inDoubt;
    for (const ReportDay::Outcome &o : m_day.outcomes) {
        touched.insert(o.row);
        if (o.passed) {
            passedRows.insert(o.row);
            inDoubt.remove(o.row);
        } else {
            inDoubt.insert(o.row);
        }
    }
    for (const QString &unit : m_day.lostUnits) {
        for (const ReportDay::Outcome &o : m_day.outcomes) {
            if (o.unit == unit)
                inDoubt.insert(o.row);
        }
    }
    QCOMPARE(r[QStringLiteral("plan_rows")].toInt(), m_day.planRows);
    QCOMPARE(r[QStringLiteral("in_doubt")].toInt(), int(inDoubt.size()));
    QCOMPARE(r[QStringLiteral("open")].toInt(), m_day.planRows - int(touched.size()));
    QCOMPARE(r[QStringLiteral("rows_left")].toInt(), m_day.planRows - int(touched.size()) + int(inDoubt.size()));
    const qint64 last = m_day.outcomes.last().time;
    const int lastHour = m_day.outcomesWhere([last](const ReportDay::Outcome &o) {
        return o.passed && o.time >= last - 3600000;
    });
    QCOMPARE(r[QStringLiteral("last_hour_passed")].toInt(), lastHour);
    QCOMPARE(r[QStringLiteral("hours_to_finish")].toDouble(), double(r[QStringLiteral("rows_left")].toInt()) / lastHour);
}

void TestReport::shiftLinesSplitTheDay()
{
    const QJsonObject r = reportJson();
    const QJsonArray shifts = r[QStringLiteral("shifts")].toArray();
    QCOMPARE(shifts.size(), 2);
    QVERIFY(shifts.at(0)[QStringLiteral("name")].toString().startsWith(QStringLiteral("early")));
    QVERIFY(shifts.at(1)[QStringLiteral("name")].toString().startsWith(QStringLiteral("late")));
    // The late shift's line comes before the middle unit's claim.
    int early = 0;
    for (const ReportDay::Outcome &o : m_day.outcomes) {
        const QString unit = o.unit;
        const int index = unit.startsWith(QStringLiteral("SN-")) ? unit.mid(3, 4).toInt() : -1;
        const int i = index >= 0 ? index : o.row - 1;
        early += i < 30;
    }
    QCOMPARE(shifts.at(0)[QStringLiteral("outcomes")].toInt(), early);
    QCOMPARE(shifts.at(1)[QStringLiteral("outcomes")].toInt(), int(m_day.outcomes.size()) - early);
}

void TestReport::clockShiftsCrossMidnight()
{
    // The day starts at 05:30 UTC: a shift from 22:00 to 06:30 holds the
    // first hour, as a shift of the day before.
    const QJsonObject r = reportJson({"--shift", "06:30-22:00,22:00-06:30"});
    const QJsonArray shifts = r[QStringLiteral("shifts")].toArray();
    QCOMPARE(shifts.size(), 2);
    const qint64 split = reportDayStart + 3600000;
    QCOMPARE(shifts.at(0)[QStringLiteral("name")].toString(), QStringLiteral("2026-12-07 22:00-06:30"));
    QCOMPARE(shifts.at(0)[QStringLiteral("outcomes")].toInt(),
             m_day.outcomesWhere([split](const ReportDay::Outcome &o) { return o.time < split; }));
    QCOMPARE(shifts.at(1)[QStringLiteral("name")].toString(), QStringLiteral("2026-12-08 06:30-22:00"));
    QCOMPARE(shifts.at(1)[QStringLiteral("outcomes")].toInt(),
             m_day.outcomesWhere([split](const ReportDay::Outcome &o) { return o.time >= split; }));
}

void TestReport::timeWindowBoundsTheLines()
{
    const qint64 from = reportDayStart + 20 * 60000, to = reportDayStart + 50 * 60000;
    const QJsonObject r = reportJson({"--from", "2026-12-08T05:50:00Z", "--to", "2026-12-08T06:20"});
    const int inside = m_day.outcomesWhere([&](const ReportDay::Outcome &o) { return o.time >= from && o.time < to; });
    QVERIFY(inside > 0 && inside < m_day.outcomes.size());
    QCOMPARE(r[QStringLiteral("total")][QStringLiteral("outcomes")].toInt(), inside);
}

void TestReport::textAndCsvCarryTheFigures()
{
    const Run text = cli({"report", "--plan", m_plan, "--audit", m_audit});
    QCOMPARE(text.code, 0);
    const QString fpy = report::percentText(m_day.firstPassed(), m_day.units());
    const QString final = report::percentText(m_day.passedUnits(), m_day.units());
    QVERIFY2(text.out.contains(QStringLiteral("Units: %1; first-pass yield %2 (%3 of %1); final yield %4 (%5 of %1)")
                                   .arg(m_day.units()).arg(fpy).arg(m_day.firstPassed()).arg(final)
                                   .arg(m_day.passedUnits())), qPrintable(text.out));
    QVERIFY(text.out.contains(QStringLiteral("By shift")));
    QVERIFY(text.out.contains(QStringLiteral("readback-mismatch-mac")));

    const Run csv = cli({"report", "--plan", m_plan, "--audit", m_audit, "--csv"});
    QCOMPARE(csv.code, 0);
    const QStringList lines = csv.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.first().startsWith(QStringLiteral("section,key,label,units,passed_units,first_attempts")));
    const QStringList total = lines.at(1).split(QLatin1Char(','));
    QCOMPARE(total.value(0), QStringLiteral("total"));
    QCOMPARE(total.value(3).toInt(), m_day.units());
    QCOMPARE(total.value(4).toInt(), m_day.passedUnits());
    QCOMPARE(total.value(8).toInt(), m_day.failedLines());
    // The station whose name holds a comma and quotes, quoted.
    QVERIFY(csv.out.contains(QStringLiteral("station,\"<b>bench</b> & \"\"2\"\"\"")) || !reportStationB.contains(','));
    QVERIFY(csv.out.contains(QStringLiteral("failure,no-answer,")));
}

void TestReport::brokenChainGivesNoReport()
{
    // A failure rewritten as a pass breaks the chain there.
    QVERIFY(changeByte(m_audit, "\"result\":\"fail\"", 10, 'p'));
    const Run run = cli({"report", "--plan", m_plan, "--audit", m_audit});
    QCOMPARE(run.code, 10);
    QVERIFY2(run.err.contains(QStringLiteral("line ")), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void TestReport::optionsAreChecked()
{
    const QStringList files {"report", "--plan", m_plan, "--audit", m_audit};
    QCOMPARE(cli(files + QStringList {"--json", "--csv"}).code, 2);
    QCOMPARE(cli(files + QStringList {"--shift", "25:00-06:00"}).code, 2);
    QCOMPARE(cli(files + QStringList {"--shift", "06:00-14:00,13:00-22:00"}).code, 2);
    QCOMPARE(cli(files + QStringList {"--from", "yesterday"}).code, 2);
    QCOMPARE(cli(files + QStringList {"--from", "2026-12-09", "--to", "2026-12-08"}).code, 2);
    QCOMPARE(cli({"report", "--plan", m_plan}).code, 2);
    QVERIFY(cli({"--help"}).out.contains(QStringLiteral("report --plan PLAN.csv")));
}

void TestReport::pageEscapesTheAuditAndCapsItsTable()
{
    const QString page = m_dir.filePath(QStringLiteral("report.html"));
    const Run run = cli({"report", "--plan", m_plan, "--audit", m_audit, "--html", page});
    QCOMPARE(run.code, 0);
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QVERIFY(html.contains(QStringLiteral("name=\"viewport\"")));
    QVERIFY(html.contains(QStringLiteral("@media print")));
    QVERIFY(html.contains(QStringLiteral("<svg")));
    // Nothing of the audit's reaches the page as markup.
    QVERIFY(!html.contains(QStringLiteral("<script")));
    QVERIFY(!html.contains(QStringLiteral("<b>bench")));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;bench&lt;/b&gt; &amp; &quot;2&quot;")));
    QVERIFY(html.contains(QStringLiteral("Bo &lt;script&gt;")));
    // Nothing fetched from elsewhere.
    QVERIFY(!html.contains(QStringLiteral("http://")) && !html.contains(QStringLiteral("https://")));
    QVERIFY(!html.contains(QStringLiteral("id=\"capped\"")));

    // A capped table says so, and keeps every failed unit.
    report::Report figures;
    for (int i = 0; i < 50; ++i) {
        report::Unit unit;
        unit.key = QStringLiteral("SN-%1").arg(i);
        unit.passed = i % 10 != 3;
        unit.attempts = 1;
        figures.units << unit;
    }
    const QString capped = QString::fromUtf8(report::reportHtml(figures, QStringLiteral("x"), {10, 100}));
    QVERIFY(capped.contains(QStringLiteral("id=\"capped\"")));
    QVERIFY(capped.contains(QStringLiteral("The table shows 14 of 50 units")));
    for (const int failed : {3, 13, 23, 33})
        QVERIFY(capped.contains(QStringLiteral("<td>SN-%1</td>").arg(failed)));
    QVERIFY(!capped.contains(QStringLiteral("<td>SN-0</td>")));
}

void TestReport::glanceCountsOneStationsShift()
{
    // The station's own lines from the late shift's line on, the plan's
    // rows whoever wrote them.
    report::Report r;
    QVERIFY(report::reportFromFiles(m_plan, m_audit, report::glanceOptions(reportStationA), &r).ok());
    const qint64 now = m_day.outcomes.last().time + 60000;
    const report::Glance g = report::glanceOf(r, reportStationA, now);
    QVERIFY2(g.since.startsWith(QLatin1String("late, from ")), qPrintable(g.since));
    // vev-cli report --station counts the same way, the whole audit.
    const QJsonObject other = reportJson({"--station", reportStationB})[QStringLiteral("total")].toObject();
    QCOMPARE(other[QStringLiteral("outcomes")].toInt(),
             m_day.outcomesWhere([](const ReportDay::Outcome &o) { return o.station == reportStationB; }));

    QList<ReportDay::Outcome> mine;
    for (const ReportDay::Outcome &o : m_day.outcomes) {
        if (o.station == reportStationA && o.time >= m_day.lateShift)
            mine << o;
    }
    QVERIFY(mine.size() > 10);
    QMap<QString, bool> firstPassed, passed; // by unit, in audit order
    QMap<QString, QPair<int, int>> lanes;    // by port: passes, failures
    QMap<QString, int> codes;
    for (const ReportDay::Outcome &o : std::as_const(mine)) {
        if (!firstPassed.contains(o.unit))
            firstPassed.insert(o.unit, o.passed);
        passed[o.unit] = passed.value(o.unit) || o.passed;
        (o.passed ? lanes[o.port].first : lanes[o.port].second) += 1;
        if (!o.passed)
            ++codes[o.code];
    }
    QCOMPARE(g.units, firstPassed.size());
    QCOMPARE(g.firstPassYield, double(firstPassed.values().count(true)) / firstPassed.size());
    QCOMPARE(g.finalYield, double(passed.values().count(true)) / passed.size());
    QCOMPARE(g.lanes.size(), lanes.size());
    for (const report::Glance::Lane &lane : g.lanes) {
        QCOMPARE(qMakePair(lane.passed, lane.failed), lanes.value(lane.port));
        QCOMPARE(lane.medianSeconds.value_or(0), 30.0);
    }
    QVERIFY(!g.topFailures.isEmpty() && g.topFailures.size() <= 3);
    for (const report::FailureCount &failure : g.topFailures)
        QCOMPARE(failure.count, codes.value(failure.code));
    QCOMPARE(g.topFailures.first().count, *std::max_element(codes.cbegin(), codes.cend()));

    // The pace over the last quarter of an hour; the rows left are the
    // plan's, all stations' lines counted.
    const int recent = int(std::count_if(mine.cbegin(), mine.cend(), [now](const ReportDay::Outcome &o) {
        return o.passed && o.time >= now - report::rateWindowMs;
    }));
    QCOMPARE(g.modulesAnHour.value_or(-1), recent * 4.0);
    report::Report whole;
    QVERIFY(report::reportFromFiles(m_plan, m_audit, {}, &whole).ok());
    QCOMPARE(g.rowsLeft, whole.rowsLeft());
    QCOMPARE(g.inDoubt, whole.plan.inDoubt);
    QCOMPARE(g.hoursToFinish.value_or(-1), g.rowsLeft / (recent * 4.0));
    // A station about to make its audit: the plan's rows, all open.
    report::Report none;
    const QString missing = m_dir.filePath(QStringLiteral("none.jsonl"));
    QVERIFY(!report::reportFromFiles(m_plan, missing, report::glanceOptions(reportStationA), &none).ok());
    QVERIFY(report::reportFromFiles(m_plan, missing, report::glanceOptions(reportStationA), &none, true).ok());
    QCOMPARE(report::glanceOf(none, reportStationA, now).rowsLeft, m_day.planRows);
    // Early in a shift, the pace is the passes since its first module.
    report::Report early = r;
    early.passTimes = {*r.firstModule + 30000};
    QCOMPARE(report::glanceOf(early, reportStationA, *r.firstModule + 120000).modulesAnHour.value_or(-1), 30.0);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
