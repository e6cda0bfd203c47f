// SPDX-License-Identifier: MIT
// The line's invariants over evidence made by hand: a clean run holds them
// all, and each fault they are there for is caught, by the invariant it
// breaks and no other.

#include "invariants/invariants.h"

#include <QDateTime>
#include <QtTest>

#include <csignal>

using namespace invariants;

namespace {

const Ms t0 = QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch();
const QString laneA = QStringLiteral("/dev/pts/71");
const QString laneB = QStringLiteral("/dev/pts/72");

SettingValues values(const QString &ip, const QString &mac, const QString &gateway = QStringLiteral("10.0.5.1"))
{
    return {ip, gateway, QStringLiteral("502"), mac};
}

const SettingValues row1 = values(QStringLiteral("10.0.5.21"), QStringLiteral("02:00:00:00:10:01"));
const SettingValues row2 = values(QStringLiteral("10.0.5.22"), QStringLiteral("02:00:00:00:10:02"));
const SettingValues factory1 = values(QStringLiteral("192.168.1.20"), QStringLiteral("02:56:45:00:00:01"), QStringLiteral("192.168.1.1"));
const SettingValues factory2 = values(QStringLiteral("192.168.1.20"), QStringLiteral("02:56:45:00:00:02"), QStringLiteral("192.168.1.1"));

// Audit lines at these times (ms after t0), chained.
class Audit
{
public:
    Audit &add(Ms at, const AuditBody &body)
    {
        const AuditRecord record {QDateTime::fromMSecsSinceEpoch(t0 + at, Qt::UTC).toString(Qt::ISODateWithMs),
                                  QStringLiteral("bench-1"), QStringLiteral("Ana"), QStringLiteral("1.0.0"), body};
        const QByteArray line = auditLine(record, m_prev);
        m_content += line + '\n';
        m_prev = chainHash(line);
        return *this;
    }
    Audit &claim(Ms at, int row, const SettingValues &values, const QString &port = laneA)
    {
        return add(at, ClaimRecord {row, port, factory1, values, false});
    }
    Audit &outcome(Ms at, int row, const SettingValues &values, Result result, const QString &port = laneA)
    {
        return add(at, OutcomeRecord {row, port, factory1, values, result == Result::Pass ? values : factory1, result,
                                      result == Result::Pass ? QString() : QStringLiteral("why"), {}});
    }
    QByteArray content() const { return m_content; }

private:
    QByteArray m_content;
    QByteArray m_prev = firstPrev;
};

// Module m1 put on lane A at 0, written row 1 at 100-130, read back at
// 140-170, taken off at 1000; the audit's claim and pass; the lane shows
// the PASS at 200 and is waiting again at 1650; the run ends on SIGTERM.
Evidence cleanRun()
{
    Evidence evidence;
    evidence.plan = {{1, 2, row1}, {2, 3, row2}};
    evidence.timeout = 600;
    ModuleHistory m1 {QStringLiteral("m1"), factory1, {}, {}};
    m1.states = {{t0 - 100, {}, factory1}, {t0, {laneA}, factory1}, {t0 + 130, {laneA}, row1}, {t0 + 1000, {}, row1}};
    for (Setting setting : allSettings) {
        const int i = int(setting);
        m1.exchanges << Exchange {t0 + 100 + 10 * i, laneA, true, setting, *valueOf(row1, setting)};
    }
    for (Setting setting : allSettings) {
        const int i = int(setting);
        m1.exchanges << Exchange {t0 + 140 + 10 * i, laneA, false, setting, *valueOf(row1, setting)};
    }
    ModuleHistory m2 {QStringLiteral("m2"), factory2, {{t0 - 100, {}, factory2}}, {}};
    evidence.modules = {m1, m2};
    evidence.audits << AuditCopy {QStringLiteral("audit"),
                                  Audit().claim(90, 1, row1).outcome(180, 1, row1, Result::Pass).content(), false};
    evidence.screen = {{t0 + 20, 1, laneA + QStringLiteral(": reading a module")},
                       {t0 + 200, 1, QStringLiteral("PASS row 1 on %1: 10.0.5.21 10.0.5.1 502 02:00:00:00:10:01").arg(laneA)},
                       {t0 + 200, 1, laneA + QStringLiteral(": PASS row 1: take the module off")},
                       {t0 + 1650, 1, laneA + QStringLiteral(": waiting for a module")}};
    RunEvidence run;
    run.id = 1;
    run.lanes = QStringList {laneA};
    run.files = {{1, 10}, {1, 11}};
    run.started = t0 - 200;
    run.ended = t0 + 2100;
    run.exitCode = 0;
    run.signalsSent = {{t0 + 2000, SIGTERM}};
    run.sent = {t0 - 100, t0 + 100, t0 + 1900};
    evidence.runs = {run};
    return evidence;
}

QStringList broken(const QList<Violation> &violations)
{
    QStringList list;
    for (const Violation &violation : violations)
        list << violation.invariant + QStringLiteral(": ") + violation.what;
    return list;
}

// Only these invariants are broken (each at least once).
void expectBroken(const Evidence &evidence, const QStringList &invariants)
{
    const QList<Violation> violations = checkAll(evidence);
    QStringList which;
    for (const Violation &violation : violations) {
        if (!which.contains(violation.invariant))
            which << violation.invariant;
    }
    which.sort();
    QVERIFY2(which == invariants, qPrintable(broken(violations).join(QLatin1Char('\n'))));
}

} // namespace

class TestInvariants : public QObject
{
    Q_OBJECT

private slots:
    void cleanRunHoldsThemAll();
    void statusTexts();
    void oneAddressOnTwoModules();
    void passForNothing();
    void verdictOutlivesItsModule();
    void passWithoutItsReadBack();
    void lostRowUnrecorded();
    void twoHolders();
    void stopsAndHandingBack();
};

void TestInvariants::cleanRunHoldsThemAll()
{
    const Evidence evidence = cleanRun();
    QVERIFY2(checkAll(evidence).isEmpty(), qPrintable(broken(checkAll(evidence)).join(QLatin1Char('\n'))));
}

void TestInvariants::statusTexts()
{
    QCOMPARE(statusLine(laneA + QStringLiteral(": PASS row 3: take the module off"), {laneB, laneA})->first, laneA);
    QVERIFY(!statusLine(QStringLiteral("PASS row 3 on %1: …").arg(laneA), {laneA}));
    QCOMPARE(verdictOf(QStringLiteral("PASS row 3: take the module off"))->row, 3);
    QCOMPARE(verdictOf(QStringLiteral("FAIL row 4 (fail: …): take the module off"))->kind, Verdict::Fail);
    const auto holds = verdictOf(QStringLiteral("the module already holds row 5 (10.0.5.25 …), recorded as passed: take it off"));
    QVERIFY(holds && holds->kind == Verdict::Pass && holds->row == 5);
    QVERIFY(!verdictOf(QStringLiteral("writing row 3 (…)")));
    QCOMPARE(passLine(QStringLiteral("PASS row 12 on %1: 10.0.5.21 …").arg(laneA))->second, laneA);
}

void TestInvariants::oneAddressOnTwoModules()
{
    // m2 comes with row 1's IP and is never written: the plan gave out a
    // factory value, which is not the line's doing.
    Evidence evidence = cleanRun();
    ModuleHistory &m2 = evidence.modules[1];
    m2.factory = values(QStringLiteral("10.0.5.21"), QStringLiteral("02:56:45:00:00:02"));
    m2.states = {{t0 - 100, {}, m2.factory}};
    expectBroken(evidence, {});
    // Written another row's, then back at its factory settings: still not
    // the line's doing.
    m2.exchanges << Exchange {t0 + 2000, laneB, true, Setting::IpAddress, QStringLiteral("10.0.5.22")};
    expectBroken(evidence, {});
    // Written the same value it came with (a row finished on it), it is one
    // of two modules given row 1.
    m2.exchanges << Exchange {t0 + 3000, laneB, true, Setting::IpAddress, QStringLiteral("10.0.5.21")};
    expectBroken(evidence, {QStringLiteral("I1")});
    // Only row 1's MAC written, then the module gone: that MAC is on two.
    m2.factory = factory2;
    m2.exchanges = {{t0 + 3000, laneB, true, Setting::MacAddress, QStringLiteral("02-00-00-00-10-01")}};
    m2.states = {{t0 - 100, {}, factory2}, {t0 + 3000, {}, values(QStringLiteral("192.168.1.20"), QStringLiteral("02:00:00:00:10:01"))}};
    const QList<Violation> violations = checkAddresses(evidence);
    QCOMPARE(violations.size(), 1);
    QVERIFY2(violations.first().what.contains(QLatin1String("mac 02:00:00:00:10:01 of row 1 is on 2 modules: m1, m2")),
             qPrintable(violations.first().what));
}

void TestInvariants::passForNothing()
{
    // The PASS on screen and in the audit for a lane whose module does not
    // hold the row (its IP went to a module swapped out) or is on another
    // lane.
    Evidence evidence = cleanRun();
    evidence.modules[0].states[2].settings = values(QStringLiteral("192.168.1.20"), QStringLiteral("02:00:00:00:10:01"));
    expectBroken(evidence, {QStringLiteral("I2")});
    const QList<Violation> violations = checkPasses(evidence);
    QCOMPARE(violations.size(), 3); // the line, the status, the audit

    evidence = cleanRun();
    evidence.modules[0].states[1].lanes = QStringList {laneB};
    evidence.modules[0].states[2].lanes = QStringList {laneB};
    QCOMPARE(checkPasses(evidence).size(), 3);

    // A module swapped in just before the PASS is shown: the PASS is still
    // for the module read back, which the lane could not know had gone;
    // once the lane has read the new one, a PASS is for that one.
    evidence = cleanRun();
    evidence.modules[1].states << ModuleState {t0 + 190, {laneA}, factory2};
    evidence.modules[0].states[3].at = t0 + 185;
    evidence.screen.last().at = t0 + 800;
    QCOMPARE(checkPasses(evidence).size(), 0);
    evidence.modules[1].exchanges << Exchange {t0 + 195, laneA, false, Setting::MacAddress, QStringLiteral("02:56:45:00:00:02")};
    QVERIFY2(checkPasses(evidence).size() == 2, qPrintable(broken(checkPasses(evidence)).join(QLatin1Char('\n'))));

    // "Already holds row 1" is a PASS shown again: for a module holding
    // only its IP, it is a PASS for nothing.
    evidence = cleanRun();
    evidence.screen << ScreenLine {t0 + 4000, 1, laneA + QStringLiteral(": the module already holds row 1 (…), recorded as passed: take it off")};
    evidence.modules[1].states << ModuleState {t0 + 3500, {laneA}, values(QStringLiteral("10.0.5.21"), QStringLiteral("02:56:45:00:00:02"))};
    evidence.runs[0].ended = t0 + 4500;
    evidence.runs[0].signalsSent = {{t0 + 4400, SIGTERM}};
    QCOMPARE(checkPasses(evidence).size(), 1);
}

void TestInvariants::verdictOutlivesItsModule()
{
    // Taken off at 1000, the PASS still shown at 2700 (--timeout 600 and a
    // second make 2600).
    Evidence evidence = cleanRun();
    evidence.screen.last().at = t0 + 2700;
    evidence.runs[0].ended = t0 + 3000;
    expectBroken(evidence, {QStringLiteral("I2")});
    // Back on the lane within the time (the lane cannot tell), it is the
    // same PASS.
    evidence.modules[0].states.last().at = t0 + 1000;
    evidence.modules[0].states << ModuleState {t0 + 1500, {laneA}, row1} << ModuleState {t0 + 2650, {}, row1};
    expectBroken(evidence, {});
    // Back at its factory settings while on the lane: the PASS must go too.
    evidence = cleanRun();
    evidence.modules[0].states.insert(3, ModuleState {t0 + 300, {laneA}, factory1});
    expectBroken(evidence, {});
    evidence.screen.last().at = t0 + 1950;
    expectBroken(evidence, {QStringLiteral("I2")});
    // A FAIL goes when its module goes; one whose module stays is shown on.
    evidence = cleanRun();
    evidence.screen[2].text = laneA + QStringLiteral(": FAIL row 1 (fail: …): take the module off");
    evidence.screen.last().at = t0 + 2700;
    evidence.runs[0].ended = t0 + 3000;
    QCOMPARE(checkPasses(evidence).size(), 1);
    evidence.modules[0].states.removeLast();
    QCOMPARE(checkPasses(evidence).size(), 0);
}

void TestInvariants::passWithoutItsReadBack()
{
    // Its MAC never read back: no module answered the whole row.
    Evidence evidence = cleanRun();
    evidence.modules[0].exchanges.removeLast();
    const QList<Violation> violations = checkPassedRows(evidence);
    QCOMPARE(violations.size(), 1);
    QVERIFY2(violations.first().what.contains(QLatin1String("no module on that lane answered all four")),
             qPrintable(violations.first().what));
    // Read back before its claim: an earlier module's answers are no read-back.
    evidence = cleanRun();
    evidence.audits[0].content = Audit().claim(390, 1, row1).outcome(400, 1, row1, Result::Pass).content();
    QCOMPARE(checkPassedRows(evidence).size(), 1);
    // Answers asked for on another lane count only where the module was
    // heard on this one too (a Y cable).
    for (const QStringList &heard : {QStringList {laneB}, QStringList {laneA, laneB}}) {
        evidence = cleanRun();
        for (Exchange &exchange : evidence.modules[0].exchanges)
            exchange.lane = exchange.write ? exchange.lane : laneB;
        for (ModuleState &state : evidence.modules[0].states)
            state.lanes = state.lanes.isEmpty() ? state.lanes : heard;
        QCOMPARE(broken(checkPassedRows(evidence)).filter(QStringLiteral("answered all four")).size(), heard.size() == 1 ? 1 : 0);
    }
}

void TestInvariants::lostRowUnrecorded()
{
    // Back at its factory settings on the lane, its MAC read there at 500:
    // the audit must say something of row 1 after that; its pass, just
    // before, does not.
    Evidence evidence = cleanRun();
    evidence.modules[0].states.insert(3, ModuleState {t0 + 185, {laneA}, factory1});
    evidence.modules[0].exchanges << Exchange {t0 + 200, laneA, false, Setting::MacAddress, QStringLiteral("02:56:45:00:00:01")};
    evidence.screen[3].at = t0 + 800;
    QCOMPARE(checkPassedRows(evidence).size(), 1);
    evidence = cleanRun();
    evidence.modules[0].states.insert(3, ModuleState {t0 + 300, {laneA}, factory1});
    evidence.modules[0].exchanges << Exchange {t0 + 500, laneA, false, Setting::MacAddress, QStringLiteral("02:56:45:00:00:01")};
    evidence.screen[3].at = t0 + 800; // withdrawn in time: only I3 is at stake
    QCOMPARE(broken(checkAll(evidence)).filter(QStringLiteral("I3: ")).size(), 1);
    // A record of a kind this version does not read ("lost") says it.
    QByteArray content = evidence.audits[0].content;
    content += R"({"kind":"lost","prev":"x","row":1,"time":")"
               + QDateTime::fromMSecsSinceEpoch(t0 + 520, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1() + "\"}\n";
    evidence.audits[0] = AuditCopy {QStringLiteral("audit"), content, true};
    QCOMPARE(checkPassedRows(evidence).size(), 0);
    // Read on another lane, or after it was taken off and put back, it is
    // a module the lane cannot know; a run that ended at once could not say.
    evidence = cleanRun();
    evidence.modules[0].states.insert(3, ModuleState {t0 + 300, {laneA}, factory1});
    evidence.modules[0].exchanges << Exchange {t0 + 500, laneA, false, Setting::MacAddress, QStringLiteral("02:56:45:00:00:01")};
    evidence.runs[0].ended = t0 + 600;
    QCOMPARE(checkPassedRows(evidence).size(), 0);
}

void TestInvariants::twoHolders()
{
    // A second run on the same audit (a link) sends while the first does.
    Evidence evidence = cleanRun();
    RunEvidence second = evidence.runs.first();
    second.id = 2;
    second.lanes = QStringList {laneB};
    second.files = {{1, 20}, {1, 11}};
    second.started = t0 + 1000;
    second.sent = {t0 + 1100};
    second.signalsSent.clear();
    evidence.runs << second;
    expectBroken(evidence, {QStringLiteral("I4")});
    // Refused, it never sent a byte.
    evidence.runs[1].sent.clear();
    expectBroken(evidence, {});
    // The audit renamed over at 500: the run may still send until 2100.
    evidence = cleanRun();
    evidence.fileFaults << FileFault {t0 + 500, QStringLiteral("renamed over"), {1, 11}, true};
    expectBroken(evidence, {});
    evidence.runs[0].sent << t0 + 2150;
    expectBroken(evidence, {QStringLiteral("I4")});
    // Two writers break the chain; an audit cut on purpose is not checked.
    evidence = cleanRun();
    evidence.audits << AuditCopy {QStringLiteral("other"), Audit().claim(90, 2, row2).content().repeated(2), false};
    expectBroken(evidence, {QStringLiteral("I4")});
    evidence.audits.last().tampered = true;
    expectBroken(evidence, {});
}

void TestInvariants::stopsAndHandingBack()
{
    Evidence evidence = cleanRun();
    evidence.runs[0].ended = t0 + 12500;
    expectBroken(evidence, {QStringLiteral("I5")});
    evidence.runs[0].ended.reset();
    expectBroken(evidence, {QStringLiteral("I5")});
    // Released as if nothing had been written, though the module took it.
    evidence = cleanRun();
    evidence.audits[0].content = Audit().claim(90, 1, row1).add(180, ReleaseRecord {1, row1, QStringLiteral("nothing was written")}).content();
    evidence.screen.erase(evidence.screen.begin() + 1, evidence.screen.begin() + 3);
    const QList<Violation> violations = checkStops(evidence);
    QCOMPARE(violations.size(), 1);
    QVERIFY2(violations.first().what.contains(QLatin1String("row 1 went back to the plan")), qPrintable(violations.first().what));
    // No answer at all hands the row back only where the plan's rules say so.
    evidence.audits[0].content = Audit().claim(90, 1, row1).outcome(180, 1, row1, Result::NoAnswer).content();
    const bool reopens = PlanBook::stateAfter(OutcomeRecord {1, laneA, factory1, row1, {}, Result::NoAnswer, {}, {}}) == RowState::Open;
    QCOMPARE(checkStops(evidence).size(), reopens ? 1 : 0);
    // A release after nothing went out is sound.
    evidence.modules[0].exchanges.clear();
    evidence.audits[0].content = Audit().claim(90, 1, row1).add(180, ReleaseRecord {1, row1, QStringLiteral("nothing was written")}).content();
    QCOMPARE(checkStops(evidence).size(), 0);
}

QTEST_GUILESS_MAIN(TestInvariants)
#include "tst_invariants.moc"
