// SPDX-License-Identifier: MIT
#pragma once

// The modules' lives and the lanes' words along one time line: where a
// module was, what it held, which run and which claim a moment belongs to.
// For the checks' own files.

#include "invariants/invariants.h"

#include <limits>

namespace invariants {

inline constexpr Ms never = std::numeric_limits<Ms>::max();
// The audit's times are whole milliseconds, taken after the answers they
// follow from: a little room either way for rounding.
inline constexpr Ms tickMs = 50;
// A record made after an answer may carry a time a millisecond before it.
inline constexpr Ms roundingMs = 2;

struct Span {
    Ms from = 0;
    Ms to = never;
};

// Where the predicate holds over a module's life, as spans of time.
template<typename Predicate>
QList<Span> spans(const ModuleHistory &module, Predicate holds)
{
    QList<Span> found;
    for (int i = 0; i < module.states.size(); ++i) {
        const ModuleState &state = module.states.at(i);
        const Ms to = i + 1 < module.states.size() ? module.states.at(i + 1).at : never;
        if (!holds(state))
            continue;
        if (!found.isEmpty() && found.last().to == state.at)
            found.last().to = to;
        else
            found.append({state.at, to});
    }
    return found;
}

template<typename Predicate>
QList<Span> complement(const ModuleHistory &module, Predicate holds)
{
    return spans(module, [&holds](const ModuleState &state) { return !holds(state); });
}

QString clock(Ms at);

QString canonical(const SettingValues &values, Setting setting);

QString settingName(Setting setting);

std::optional<SettingValues> rowValues(const Evidence &evidence, int row);

// The module the lane had last, up to `at`: on it then, or the last to
// leave it. A lane holds one module at a time.
const ModuleHistory *lastOn(const Evidence &evidence, const QString &lane, Ms at);

// The module a lane's word at `at` is about: the last to answer a read the
// lane asked before then, which is what the lane knows of its module; else
// the last the lane had.
const ModuleHistory *spokenOf(const Evidence &evidence, const QString &lane, Ms at);

// The module a PASS at `at` is for, if it held the row on that lane at some
// moment of the slack before.
const ModuleHistory *holderOn(const Evidence &evidence, const QString &lane, const SettingValues &row, Ms at);

// The module a FAIL at `at` is for, if it was on that lane at some moment
// of the slack before.
const ModuleHistory *presentOn(const Evidence &evidence, const QString &lane, Ms at);

// Whether a module's answer was heard on the lane: asked for there, or
// the module was on that lane too when it answered.
bool heardOn(const ModuleHistory &module, const QString &lane, const Exchange &exchange);

// What a module held at `at`.
SettingValues settingsAt(const ModuleHistory &module, Ms at);

// Whether another module came onto the lane within the timeout of this one
// leaving it, holding all that this one held: a twin the station cannot
// tell from it, so the verdict on screen goes on to it.
bool twinTookPlace(const Evidence &evidence, const ModuleHistory &module, const QString &lane, Ms leftAt);

// The modules a lane talked to in an attempt that ended in a FAIL shown at
// `at`: from its last "reading a module" before it. A module swapped in the
// middle of the writes and put back is one of them: the verdict is about
// them all.
QList<const ModuleHistory *> attemptModules(const Evidence &evidence, const QList<std::pair<Ms, QString>> &shown,
                                            const QString &lane, Ms at);

// The spans from `from` when none of the modules was on the lane.
QList<Span> noneOn(const QList<const ModuleHistory *> &modules, const QString &lane, Ms from);

QStringList allLanes(const Evidence &evidence);

const RunEvidence *runOn(const Evidence &evidence, const QString &lane, Ms at);

Ms endOf(const RunEvidence &run);

// The claim a record about this row on this port follows from.
const AuditEntry *claimBefore(const QList<AuditEntry> &entries, int row, const QString &port, Ms at);

} // namespace invariants
