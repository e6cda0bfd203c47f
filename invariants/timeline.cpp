// SPDX-License-Identifier: MIT
#include "invariants/timeline.h"

#include "protocol/values.h"

#include <QDateTime>

#include <algorithm>

namespace invariants {

QString clock(Ms at)
{
    return QDateTime::fromMSecsSinceEpoch(at, Qt::UTC).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString canonical(const SettingValues &values, Setting setting)
{
    const auto &value = valueOf(values, setting);
    return value ? canonicalValue(setting, *value) : QString();
}

QString settingName(Setting setting)
{
    return QLatin1String(settingInfo(setting).key);
}

std::optional<SettingValues> rowValues(const Evidence &evidence, int row)
{
    for (const PlanRow &planRow : evidence.plan) {
        if (planRow.row == row)
            return planRow.values;
    }
    return std::nullopt;
}

// The module the lane had last, up to `at`: on it then, or the last to
// leave it. A lane holds one module at a time.
const ModuleHistory *lastOn(const Evidence &evidence, const QString &lane, Ms at)
{
    const ModuleHistory *last = nullptr;
    Ms lastFrom = 0;
    Ms lastTo = 0;
    for (const ModuleHistory &module : evidence.modules) {
        const QList<Span> found = spans(module, [&](const ModuleState &state) { return state.lanes.contains(lane); });
        for (const Span &span : found) {
            if (span.from > at)
                continue;
            const Ms to = std::min(span.to, at);
            if (!last || to > lastTo || (to == lastTo && span.from > lastFrom)) {
                last = &module;
                lastFrom = span.from;
                lastTo = to;
            }
        }
    }
    return last;
}

// The module a lane's word at `at` is about: the last to answer a read the
// lane asked before then, which is what the lane knows of its module; else
// the last the lane had.
const ModuleHistory *spokenOf(const Evidence &evidence, const QString &lane, Ms at)
{
    const ModuleHistory *last = nullptr;
    Ms lastAt = 0;
    for (const ModuleHistory &module : evidence.modules) {
        for (const Exchange &exchange : module.exchanges) {
            if (!exchange.write && exchange.lane == lane && exchange.at <= at && (!last || exchange.at > lastAt)) {
                last = &module;
                lastAt = exchange.at;
            }
        }
    }
    return last ? last : lastOn(evidence, lane, at);
}

// The module a PASS at `at` is for, if it held the row on that lane at some
// moment of the slack before.
const ModuleHistory *holderOn(const Evidence &evidence, const QString &lane, const SettingValues &row, Ms at)
{
    const ModuleHistory *module = spokenOf(evidence, lane, at);
    if (!module)
        return nullptr;
    const QList<Span> found = spans(*module, [&](const ModuleState &state) {
        return state.lanes.contains(lane) && holdsRow(state.settings, row);
    });
    const bool held = std::any_of(found.begin(), found.end(), [at](const Span &span) {
        return span.from <= at && span.to > at - slackMs;
    });
    return held ? module : nullptr;
}

// The module a FAIL at `at` is for, if it was on that lane at some moment
// of the slack before.
const ModuleHistory *presentOn(const Evidence &evidence, const QString &lane, Ms at)
{
    const ModuleHistory *module = spokenOf(evidence, lane, at);
    if (!module)
        return nullptr;
    const QList<Span> found = spans(*module, [&](const ModuleState &state) { return state.lanes.contains(lane); });
    const bool there = std::any_of(found.begin(), found.end(), [at](const Span &span) {
        return span.from <= at && span.to > at - slackMs;
    });
    return there ? module : nullptr;
}

// What a module held at `at`.
bool heardOn(const ModuleHistory &module, const QString &lane, const Exchange &exchange)
{
    if (exchange.lane == lane)
        return true;
    const ModuleState *then = nullptr;
    for (const ModuleState &state : module.states) {
        if (state.at > exchange.at)
            break;
        then = &state;
    }
    return then && then->lanes.contains(lane);
}

SettingValues settingsAt(const ModuleHistory &module, Ms at)
{
    SettingValues held = module.factory;
    for (const ModuleState &state : module.states) {
        if (state.at > at)
            break;
        held = state.settings;
    }
    return held;
}

// Whether another module came onto the lane within the timeout of this one
// leaving it, holding all that this one held: a twin the station cannot
// tell from it, so the verdict on screen goes on to it.
bool twinTookPlace(const Evidence &evidence, const ModuleHistory &module, const QString &lane, Ms leftAt)
{
    const SettingValues held = settingsAt(module, leftAt - 1);
    for (const ModuleHistory &other : evidence.modules) {
        if (&other == &module)
            continue;
        for (const ModuleState &state : other.states) {
            if (state.at >= leftAt && state.at <= leftAt + evidence.timeout && state.lanes.contains(lane)
                && holdsRow(state.settings, held))
                return true;
        }
    }
    return false;
}

// The modules a lane talked to in an attempt that ended in a FAIL shown at
// `at`: from its last "reading a module" before it. A module swapped in the
// middle of the writes and put back is one of them: the verdict is about
// them all.
QList<const ModuleHistory *> attemptModules(const Evidence &evidence, const QList<std::pair<Ms, QString>> &shown,
                                            const QString &lane, Ms at)
{
    Ms began = 0;
    for (const auto &[when, text] : shown) {
        if (when <= at && text.startsWith(QLatin1String("reading a module")))
            began = when;
    }
    QList<const ModuleHistory *> involved;
    for (const ModuleHistory &module : evidence.modules) {
        const bool talked = std::any_of(module.exchanges.begin(), module.exchanges.end(), [&](const Exchange &exchange) {
            return exchange.lane == lane && exchange.at >= began && exchange.at <= at;
        });
        if (talked)
            involved << &module;
    }
    return involved;
}

// The spans from `from` when none of the modules was on the lane.
QList<Span> noneOn(const QList<const ModuleHistory *> &modules, const QString &lane, Ms from)
{
    QList<Span> present;
    for (const ModuleHistory *module : modules) {
        present << spans(*module, [&lane](const ModuleState &state) { return state.lanes.contains(lane); });
    }
    std::sort(present.begin(), present.end(), [](const Span &a, const Span &b) { return a.from < b.from; });
    QList<Span> absent;
    Ms cursor = from;
    for (const Span &span : std::as_const(present)) {
        if (span.to <= cursor)
            continue;
        if (span.from > cursor)
            absent << Span {cursor, span.from};
        cursor = std::max(cursor, span.to);
    }
    if (cursor != never)
        absent << Span {cursor, never};
    return absent;
}

QStringList allLanes(const Evidence &evidence)
{
    QStringList lanes;
    for (const RunEvidence &run : evidence.runs) {
        for (const QString &lane : run.lanes) {
            if (!lanes.contains(lane))
                lanes << lane;
        }
    }
    return lanes;
}

const RunEvidence *runOn(const Evidence &evidence, const QString &lane, Ms at)
{
    for (const RunEvidence &run : evidence.runs) {
        if (run.lanes.contains(lane) && run.started <= at && (!run.ended || *run.ended >= at))
            return &run;
    }
    return nullptr;
}

Ms endOf(const RunEvidence &run)
{
    return run.ended.value_or(never);
}

// The claim a record about this row on this port follows from.
const AuditEntry *claimBefore(const QList<AuditEntry> &entries, int row, const QString &port, Ms at)
{
    const AuditEntry *found = nullptr;
    for (const AuditEntry &entry : entries) {
        if (entry.kind == QLatin1String("claim") && entry.row == row && (port.isEmpty() || entry.port == port)
            && entry.at <= at + tickMs && (!found || entry.at >= found->at))
            found = &entry;
    }
    return found;
}

} // namespace invariants
