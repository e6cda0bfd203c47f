// SPDX-License-Identifier: MIT
// vev-cli report --html opened in headless Chromium (Debian's chromium,
// installed by scripts/setup, required as the label tests require poppler
// and zbar): the page the browser renders holds the figures of the day
// written with known ones, no markup from the audit, and lays out at a
// phone's width. Two page loads in all (label browser).
//   VEV_REPORT_SCREENSHOT=FILE  keeps the phone-width screenshot there
//                               (the README's picture).

#include "clirun.h"
#include "programrun.h"
#include "reportaudit.h"
#include "report/reportwriters.h"

#include <QImage>
#include <QStandardPaths>
#include <QtTest>

class TestReportPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void browserShowsTheFigures();
    void pageFitsAPhone();

private:
    ProgramRun chromium(const QStringList &arguments);
    QTemporaryDir m_dir;
    QString m_page;
    ReportDay m_day;
    QString m_browser;
};

void TestReportPage::initTestCase()
{
    m_browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    QVERIFY2(!m_browser.isEmpty(), "chromium is missing (Debian's package chromium; scripts/setup installs it)");
    const QString plan = m_dir.filePath(QStringLiteral("plan.csv"));
    const QString audit = m_dir.filePath(QStringLiteral("audit.jsonl"));
    m_day = writeReportDay(plan, audit);
    QVERIFY(m_day.planRows > 0);
    m_page = m_dir.filePath(QStringLiteral("report.html"));
    const Run run = cli({"report", "--plan", plan, "--audit", audit, "--html", m_page});
    QVERIFY2(run.code == 0, qPrintable(run.err));
}

ProgramRun TestReportPage::chromium(const QStringList &arguments)
{
    // A profile of the test's own; no sandbox, as root in CI.
    return runProgram(m_browser, QStringList {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                              "--user-data-dir=" + m_dir.filePath(QStringLiteral("profile"))}
                                     + arguments, QProcessEnvironment::systemEnvironment(), 60000);
}

void TestReportPage::browserShowsTheFigures()
{
    const ProgramRun run = chromium({"--dump-dom", QUrl::fromLocalFile(m_page).toString()});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QString dom = QString::fromUtf8(run.out);
    // The browser's own serialisation of what it built from the page.
    QVERIFY2(dom.contains(QStringLiteral("<h1>Line report</h1>")), qPrintable(dom.left(2000)));
    const auto figure = [&dom](const QString &label, const QString &value) {
        return dom.contains(QStringLiteral("<div class=\"figure\">%1<b>%2</b>").arg(label, value));
    };
    QVERIFY(figure(QStringLiteral("Units"), QString::number(m_day.units())));
    QVERIFY(figure(QStringLiteral("First-pass yield"), report::percentText(m_day.firstPassed(), m_day.units())));
    QVERIFY(figure(QStringLiteral("Final yield"), report::percentText(m_day.passedUnits(), m_day.units())));
    QVERIFY(figure(QStringLiteral("Failed"), QString::number(m_day.failedLines())));
    // Each failure code with its count, in the Pareto's table.
    const QMap<QString, int> codes = m_day.failuresByCode();
    for (auto it = codes.begin(); it != codes.end(); ++it)
        QVERIFY(dom.contains(QStringLiteral("<td>%1</td><td class=\"n\">%2</td>").arg(it.key()).arg(it.value())));
    // Three charts drawn; the audit's names are text, not elements.
    QCOMPARE(dom.count(QStringLiteral("<svg")), 3);
    QVERIFY(!dom.contains(QStringLiteral("<script")));
    QVERIFY(!dom.contains(QStringLiteral("<b>bench</b>")));
    QVERIFY(dom.contains(QStringLiteral("&lt;b&gt;bench&lt;/b&gt; &amp; \"2\"")));
    QVERIFY(dom.contains(QStringLiteral("Bo &lt;script&gt;")));
    // Every unit in the table, by its serial or its row.
    for (const ReportDay::Outcome &o : std::as_const(m_day.outcomes))
        QVERIFY2(dom.contains(QStringLiteral("<td>%1</td>").arg(o.unit)), qPrintable(o.unit));
}

void TestReportPage::pageFitsAPhone()
{
    const QString shot = m_dir.filePath(QStringLiteral("phone.png"));
    const ProgramRun run = chromium({"--hide-scrollbars", "--window-size=412,1400", "--screenshot=" + shot,
                                     QUrl::fromLocalFile(m_page).toString()});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QImage image(shot);
    QVERIFY(!image.isNull());
    QCOMPARE(image.width(), 412);
    // Something drawn in the right half too: the page is laid out at the
    // phone's width, not cut from a wider one.
    int dark = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = image.width() / 2; x < image.width(); x += 2)
            dark += qGray(image.pixel(x, y)) < 128;
    }
    QVERIFY(dark > 100);
    const QString keep = qEnvironmentVariable("VEV_REPORT_SCREENSHOT");
    if (!keep.isEmpty()) {
        QFile::remove(keep);
        QVERIFY(QFile::copy(shot, keep));
    }
}

QTEST_GUILESS_MAIN(TestReportPage)
#include "tst_reportpage.moc"
