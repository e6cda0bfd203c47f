// SPDX-License-Identifier: MIT
#include "stationtext/lanestate.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

const std::array<LaneStateStyle, 12> laneStates {{
    {LaneState::Ready, QT_TRANSLATE_NOOP("LaneState", "READY"), "#e3e8ec", "#1c2a33", false},
    {LaneState::Working, QT_TRANSLATE_NOOP("LaneState", "WORKING"), "#1565c0", "#ffffff", false},
    {LaneState::Pass, QT_TRANSLATE_NOOP("LaneState", "PASS"), "#1b7a2e", "#ffffff", true},
    {LaneState::Fail, QT_TRANSLATE_NOOP("LaneState", "FAIL"), "#b71c1c", "#ffffff", true},
    {LaneState::DoneBefore, QT_TRANSLATE_NOOP("LaneState", "DONE BEFORE"), "#00695c", "#ffffff", true},
    {LaneState::Conflict, QT_TRANSLATE_NOOP("LaneState", "CONFLICT"), "#6a1b9a", "#ffffff", true},
    {LaneState::InDoubt, QT_TRANSLATE_NOOP("LaneState", "IN DOUBT"), "#e65100", "#ffffff", true},
    {LaneState::Wiring, QT_TRANSLATE_NOOP("LaneState", "WIRING"), "#fdd835", "#000000", false},
    {LaneState::PortLost, QT_TRANSLATE_NOOP("LaneState", "PORT LOST"), "#424242", "#ffffff", false},
    {LaneState::Stopped, QT_TRANSLATE_NOOP("LaneState", "STOPPED"), "#9e9e9e", "#000000", false},
    {LaneState::PlanDone, QT_TRANSLATE_NOOP("LaneState", "PLAN DONE"), "#283593", "#ffffff", false},
    {LaneState::Held, QT_TRANSLATE_NOOP("LaneState", "HOLD"), "#ff8f00", "#000000", false},
}};

const LaneStateStyle &styleOf(LaneState state)
{
    return laneStates.at(size_t(state));
}

QString bannerOf(LaneState state)
{
    return QCoreApplication::translate("LaneState", styleOf(state).word);
}

// --- What to do next --------------------------------------------------------------

namespace {

struct AdviceText {
    Advice advice;
    const char *key;
    const char *text;
};

// In Advice's order.
const AdviceText adviceTexts[] = {
    {Advice::Ready, "ready", QT_TRANSLATE_NOOP("Instructions", "Put a module on")},
    {Advice::Working, "working", QT_TRANSLATE_NOOP("Instructions", "Leave the module on")},
    {Advice::ScanSerial, "scan-serial", QT_TRANSLATE_NOOP("Instructions", "Scan the unit's serial")},
    {Advice::Pass, "pass", QT_TRANSLATE_NOOP("Instructions", "Take it off")},
    {Advice::Fail, "fail",
     QT_TRANSLATE_NOOP("Instructions", "Keep this module aside: put it back on a lane to finish row {row}")},
    {Advice::FailNothingWritten, "fail-nothing-written",
     QT_TRANSLATE_NOOP("Instructions", "Take it off: nothing was written")},
    {Advice::DoneBefore, "done-before",
     QT_TRANSLATE_NOOP("Instructions", "Take it off: it already holds row {row}, recorded as passed")},
    {Advice::Conflict, "conflict", QT_TRANSLATE_NOOP("Instructions", "Set it aside and call the supervisor")},
    {Advice::ConflictElsewhere, "conflict-elsewhere",
     QT_TRANSLATE_NOOP("Instructions", "leave it: lane {lane} is writing it, check the wiring")},
    {Advice::ConflictOtherStation, "conflict-other-station",
     QT_TRANSLATE_NOOP("Instructions", "leave it: another station is writing row {row}, check the wiring")},
    {Advice::InDoubt, "in-doubt", QT_TRANSLATE_NOOP("Instructions", "Leave it on to finish row {row}")},
    {Advice::Rework, "rework", QT_TRANSLATE_NOOP("Instructions", "Set it aside for rework")},
    {Advice::LostSettings, "lost-settings",
     QT_TRANSLATE_NOOP("Instructions", "Set this module aside with the one before it: row {row} is in doubt again")},
    {Advice::NoRowLeft, "no-row-left",
     QT_TRANSLATE_NOOP("Instructions", "Take it off: no open row is left; only modules of rows in doubt are taken")},
    {Advice::Wiring, "wiring",
     QT_TRANSLATE_NOOP("Instructions", "Another lane or program talks on this lane's wires: check the wiring")},
    {Advice::PortLost, "port-lost", QT_TRANSLATE_NOOP("Instructions", "Fixture disconnected: check the cable")},
    {Advice::Stopped, "stopped", QT_TRANSLATE_NOOP("Instructions", "The lane is stopped: Start begins the next run")},
    {Advice::PlanDone, "plan-done", QT_TRANSLATE_NOOP("Instructions", "Every row of the plan is done")},
    {Advice::Acknowledge, "acknowledge",
     QT_TRANSLATE_NOOP("Instructions",
                       "Acknowledge the FAIL of row {row} to go on: click the tile, press Enter or scan ACK")},
};
static_assert(std::size(adviceTexts) == size_t(Advice::Acknowledge) + 1, "a text for every kind");

// An instructions file is a few dozen lines: anything larger is not one.
constexpr qint64 largestFile = 64 * 1024;

QString lineProblem(const QString &line, int number, const QHash<QString, int> &seen, Advice *advice)
{
    const int equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return QCoreApplication::translate("Instructions", "line %1: no \"=\" (write kind = text)").arg(number);
    const QString key = line.left(equals).trimmed();
    const QString text = line.mid(equals + 1).trimmed();
    const auto found = std::find_if(std::begin(adviceTexts), std::end(adviceTexts),
                                    [&key](const AdviceText &known) { return key == QLatin1String(known.key); });
    if (found == std::end(adviceTexts)) {
        QStringList keys;
        for (const AdviceText &known : adviceTexts)
            keys << QLatin1String(known.key);
        return QCoreApplication::translate("Instructions", "line %1: no kind \"%2\" (the kinds are %3)")
            .arg(number).arg(key, keys.join(QStringLiteral(", ")));
    }
    if (seen.contains(key)) {
        return QCoreApplication::translate("Instructions", "line %1: \"%2\" given again (first on line %3)")
            .arg(number).arg(key).arg(seen.value(key));
    }
    if (text.isEmpty())
        return QCoreApplication::translate("Instructions", "line %1: no text for \"%2\"").arg(number).arg(key);
    static const QRegularExpression placeholder(QStringLiteral("\\{([^}]*)\\}"));
    for (auto match = placeholder.globalMatch(text); match.hasNext();) {
        const QString name = match.next().captured(1);
        if (name != QLatin1String("row") && name != QLatin1String("lane")) {
            return QCoreApplication::translate("Instructions", "line %1: no such place to fill as {%2} (there are {row} "
                                               "and {lane})").arg(number).arg(name);
        }
    }
    *advice = found->advice;
    return {};
}

} // namespace

Instructions::Instructions()
{
    for (const AdviceText &advice : adviceTexts)
        m_texts.at(size_t(advice.advice)) = QCoreApplication::translate("Instructions", advice.text);
}

const char *Instructions::key(Advice advice)
{
    return adviceTexts[size_t(advice)].key;
}

std::optional<Instructions> Instructions::parse(const QByteArray &text, QString *why)
{
    // Bytes that are not UTF-8 come back otherwise from the round trip.
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() != text) {
        *why = QCoreApplication::translate("Instructions", "not UTF-8 text");
        return std::nullopt;
    }
    Instructions instructions;
    QHash<QString, int> seen;
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        Advice advice = Advice::Ready;
        if (const QString problem = lineProblem(line, i + 1, seen, &advice); !problem.isEmpty()) {
            *why = problem;
            return std::nullopt;
        }
        seen.insert(QLatin1String(key(advice)), i + 1);
        instructions.m_texts.at(size_t(advice)) = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    }
    return instructions;
}

std::optional<Instructions> Instructions::fromFile(const QString &path, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return std::nullopt;
    }
    const QByteArray text = file.read(largestFile + 1);
    if (text.size() > largestFile) {
        *why = QCoreApplication::translate("Instructions", "larger than %1 KiB: not an instructions file")
                   .arg(largestFile / 1024);
        return std::nullopt;
    }
    return parse(text, why);
}

QString Instructions::text(Advice advice, int row, int lane) const
{
    QString text = m_texts.at(size_t(advice));
    text.replace(QLatin1String("{row}"), row > 0 ? QString::number(row) : QStringLiteral("?"));
    text.replace(QLatin1String("{lane}"), lane > 0 ? QString::number(lane) : QStringLiteral("?"));
    return text;
}

// --- A lane's status, as a state -------------------------------------------------

namespace {

// The steps of a module's handling, for the progress shown under WORKING.
constexpr int handlingSteps = 5;

LaneView working(int step, const char *name, const Lane::Status &status, const Instructions &instructions)
{
    LaneView view;
    // A row that was in doubt is being finished on the module that carries it.
    view.state = status.resuming ? LaneState::InDoubt : LaneState::Working;
    view.action = status.resuming ? instructions.text(Advice::InDoubt, status.row ? status.row->row : 0)
                                  : instructions.text(Advice::Working);
    view.step = step;
    view.steps = handlingSteps;
    view.stepName = QCoreApplication::translate("LaneStep", name);
    return view;
}

LaneView endedView(const Lane::Status &status, const Instructions &instructions)
{
    switch (status.ending) {
    case Lane::Ending::PlanUsedUp: return {LaneState::PlanDone, instructions.text(Advice::PlanDone), {}, 0, 0, {}};
    case Lane::Ending::Lost: return {LaneState::PortLost, instructions.text(Advice::PortLost), {}, 0, 0, {}};
    case Lane::Ending::Wiring: return {LaneState::Wiring, instructions.text(Advice::Wiring), {}, 0, 0, {}};
    default: break;
    }
    return {LaneState::Stopped, instructions.text(Advice::Stopped), {}, 0, 0, {}};
}

LaneView verdictView(const Lane::Status &status, const Instructions &instructions, int writingLane)
{
    const int row = status.row ? status.row->row : 0;
    switch (status.activity) {
    case Lane::Activity::TakeOff:
        if (status.result == Result::Pass)
            return {LaneState::Pass, instructions.text(Advice::Pass, row), {}, 0, 0, {}};
        // Anything sent may have landed: the module carries part of its row.
        return {LaneState::Fail, instructions.text(status.written ? Advice::Fail : Advice::FailNothingWritten, row), {},
                0, 0, {}};
    case Lane::Activity::LostSettings:
        return {LaneState::Fail, instructions.text(Advice::LostSettings, row), {}, 0, 0, {}};
    case Lane::Activity::SendToRework:
        return {LaneState::Fail, instructions.text(Advice::Rework, row), {}, 0, 0, {}};
    case Lane::Activity::HoldsRow:
        return {LaneState::DoneBefore, instructions.text(Advice::DoneBefore, row), {}, 0, 0, {}};
    case Lane::Activity::NoRowLeft:
        return {LaneState::PlanDone, instructions.text(Advice::NoRowLeft, row), {}, 0, 0, {}};
    case Lane::Activity::Conflict:
        if (status.conflict != PlanBook::Conflict::InHand)
            return {LaneState::Conflict, instructions.text(Advice::Conflict, row), {}, 0, 0, {}};
        return {LaneState::Conflict,
                instructions.text(writingLane > 0 ? Advice::ConflictElsewhere : Advice::ConflictOtherStation, row,
                                  writingLane), {}, 0, 0, {}};
    default: break;
    }
    return {};
}

} // namespace

LaneView laneView(const Lane::Status &status, const Instructions &instructions, int writingLane)
{
    LaneView view;
    switch (status.activity) {
    case Lane::Activity::Waiting: view = {LaneState::Ready, instructions.text(Advice::Ready), {}, 0, 0, {}}; break;
    case Lane::Activity::NeedsSerial:
        view = {LaneState::Working, instructions.text(Advice::ScanSerial), {}, 0, 0, {}};
        break;
    case Lane::Activity::Reading: view = working(1, QT_TRANSLATE_NOOP("LaneStep", "reading"), status, instructions); break;
    case Lane::Activity::Claiming:
        view = working(2, QT_TRANSLATE_NOOP("LaneStep", "claiming a row"), status, instructions);
        break;
    case Lane::Activity::Writing: view = working(3, QT_TRANSLATE_NOOP("LaneStep", "writing"), status, instructions); break;
    case Lane::Activity::Finishing:
        view = working(3, QT_TRANSLATE_NOOP("LaneStep", "finishing the row"), status, instructions);
        break;
    case Lane::Activity::Verifying:
        view = working(4, QT_TRANSLATE_NOOP("LaneStep", "verifying"), status, instructions);
        break;
    case Lane::Activity::Recording:
    case Lane::Activity::Retrying:
        view = working(5, QT_TRANSLATE_NOOP("LaneStep", "recording"), status, instructions);
        break;
    case Lane::Activity::PortLost:
    case Lane::Activity::PortBack:
        view = {LaneState::PortLost, instructions.text(Advice::PortLost), {}, 0, 0, {}};
        break;
    case Lane::Activity::Held:
        view = {LaneState::Held, instructions.text(Advice::Acknowledge, status.unacknowledged), {}, 0, 0, {}};
        break;
    case Lane::Activity::Ended: return endedView(status, instructions);
    default: view = verdictView(status, instructions, writingLane); break;
    }
    if (view.state == LaneState::Fail && status.unacknowledged > 0)
        view.acknowledge = instructions.text(Advice::Acknowledge, status.unacknowledged);
    return view;
}
