// SPDX-License-Identifier: MIT
#pragma once

// Where every row of a plan stands, worked out from the plan and the audit:
// the one state table a store keeps, whatever holds it. A row is known by
// its values (its IP and MAC address in canonical form), not by its place in
// the plan, so a plan edited between runs resumes where it stood. Plain
// code, no files: the file store feeds it and unit tests drive it.
//
// The rules:
// - open: nothing of the row is on any module; the next module may get it.
//   A row goes back to open only when no byte of a write went to its module.
// - claimed: a claim was recorded before the first byte went to a module
//   and no outcome followed (a run that died): the row may be on a module.
// - passed: written and read back the same.
// - failed: an outcome that is not a pass (no answer included: the first
//   write may have landed), or a passed module seen without its row: part
//   of the row may be on that module.
// Claimed and failed rows are in doubt: given to no other module, and
// finished on the module that carries them, or released by the operator.
//
// What a module is, is decided by what it answers, in full (rule()):
// - it holds a passed row only when all four of its settings are the row's;
// - it is a row in doubt's module only when each of its settings is either
//   the row's or the one it had before the claim, and a setting the claim
//   wrote holds the row's value (its factory values alone never make it so);
//   A module whose settings are a read-back recorded as failed, that showed
//   an acknowledged setting at its value before, is not the row's module
//   either: the acknowledgement came from elsewhere, where the row's values
//   may be, and finishing the row on it would put them on two modules.
//   While such a module still carries part of the row, the row is finished
//   on no module (a conflict): that module gets a fresh row when it is
//   back, and once it passes with it the row can be finished;
//   Nor is a module that lacks a setting some module took in a failed
//   attempt (acknowledged, or the IP or MAC address whose write went
//   unanswered), unless the module that took it is the one watched above:
//   the value is on another module, or may be, and the row is finished on
//   no module that lacks it;
// - one that carries the MAC of a passed or in-doubt row, and is not that
//   row's module, is a conflict (a unit that came back changed), unless its
//   settings are a failed read-back recorded for that row (the second module
//   of a swap mid-write), which gets a fresh row;
// - one that carries only such a row's IP gets a fresh row written over all
//   four settings, and its claim says which row it partly carried;
// - one that carries the IP or MAC of a row being written on another lane
//   or station is a conflict until that lane is done.

#include "plan/plan.h"
#include "plan/records.h"
#include "protocol/replygatherer.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <set>
#include <vector>

enum class RowState { Open, Claimed, Passed, Failed };
QString rowStateText(RowState state);

// A setting in the form rows are compared by: empty when the value is absent.
QString canonicalOf(const SettingValues &values, Setting setting);
// IP "…", MAC "…", as messages that name a row show it.
QString quotedValues(const SettingValues &values);
// Whether two modules' settings are the same in all four, canonical forms.
bool sameSettings(const SettingValues &a, const SettingValues &b);

struct RowEntry {
    int planIndex = -1;   // place in the plan, -1 for a row the audit knows and the plan no longer has
    int row = 0;          // the row number to record: its place in the plan, else as last recorded
    int planLine = 0;     // the plan's line, for messages
    SettingValues values;
    RowState state = RowState::Open;
    int auditLine = 0;    // the audit line that set the state
    SettingValues before; // the module's settings before, from the claim or outcome
    SettingValues recorded; // the values as the audit last recorded them
    QList<SettingValues> failedReadBacks; // what modules read back in its failed outcomes
    // Of those, read-backs that show an acknowledged setting at its value
    // before: the acknowledgement came from another module (a swap), or
    // from one that lies, and the row's written values may be elsewhere.
    QList<SettingValues> foreignReadBacks;
    // Of those, the modules that still carry part of the row, as read back:
    // the row is on two modules until such a module has been written over
    // and passed with another row.
    QList<SettingValues> spread;
    // Settings of the row that some module took in a failed attempt: the
    // acknowledged ones, and the IP or MAC address whose write went
    // unanswered (a lane sends the next setting only once the one before is
    // acknowledged, so that write is the one that may have landed). A
    // module that lacks one of them is not the row's module: the value is,
    // or may be, on another.
    SettingSet taken;
    // The MACs the row's module answered with before it took the row, from
    // each claim: a module that passed and answers with one of them has
    // lost the row, whichever claim found it.
    QStringList macsBefore;

    // Takes in a failed outcome of the row.
    void failedWith(const OutcomeRecord &outcome);
    // Takes in a claim of the row: the MAC its module had before.
    void tookFrom(const ClaimRecord &claim);
    // A module that was read back as one of the spread has passed with a row
    // written over all it carried.
    void writtenOver(const SettingValues &before);
    QString station;
    QString port;
    QString time;
    bool inHand = false;  // a lane of this run is working on it

    bool inDoubt() const { return !inHand && (state == RowState::Claimed || state == RowState::Failed); }
};

class PlanBook
{
public:
    // The plan's rows, all open until the audit says otherwise.
    void setPlan(const QList<PlanRow> &rows);

    // Replays one audit record, in file order. line is the audit's line.
    void apply(const AuditRecord &record, int line);
    // The state a record leaves its row in, whatever keeps it; none for a
    // record that changes nothing (a label).
    static std::optional<RowState> stateAfter(const AuditBody &body);

    // Once the plan and the whole audit are in: a plan row that matches a
    // row the audit holds (passed or in doubt) on one of IP or MAC but not
    // the other, or on both but with another gateway or port, would give
    // one address to two modules. The message names both lines.
    std::optional<QString> conflict(const QString &planName, const QString &auditName) const;

    // Why a module gets nothing, though no row it holds is passed.
    enum class Conflict {
        None,
        PassedMac, // it carries the MAC of a passed row, and is not its module
        DoubtMac,  // the same of a row in doubt
        InHand,    // it carries the IP or MAC of a row being written elsewhere
        TwoRows,   // it could be the module of either of two rows in doubt
        Spread,    // it is a row's module, but part of the row is on another module too
        Unit,      // its serial passed with another row, or the row passed on another serial
    };

    // The rule for any store: what the module with these settings is,
    // decided by the live rows (passed, in doubt or in hand) that hold its IP
    // or MAC. Fresh: it is none of theirs (row: one whose IP it carries).
    struct Ruling {
        enum Kind { Fresh, Resume, HoldsPassed, Conflict } kind = Fresh;
        const RowEntry *row = nullptr;
        PlanBook::Conflict conflict = PlanBook::Conflict::None;
    };
    static Ruling rule(const SettingValues &module, const QList<const RowEntry *> &candidates);

    // What the module with these settings is to get, in this book.
    struct Verdict {
        enum Kind { Fresh, Resume, HoldsPassed, NothingOpen, Conflict } kind = NothingOpen;
        int entry = -1;       // the row: given, resumed, held, or the one it conflicts with
        int partOf = 0;       // Fresh: the plan row whose IP the module carries
        PlanBook::Conflict conflict = PlanBook::Conflict::None;
    };
    Verdict classify(const SettingValues &module) const;

    // A lane of this run works on the entry (after its claim was applied),
    // or is done with it (after its outcome or release was applied).
    void hold(int entry);
    void letGo(int entry);

    const RowEntry &entry(int index) const { return m_entries.at(std::size_t(index)); }
    int entries() const { return int(m_entries.size()); }
    // The entry of plan row n (1-based), or of these values; -1 for none.
    int entryOfRow(int row) const;
    int find(const SettingValues &values) const { return m_byKey.value(keyOf(values), -1); }
    int rows() const { return m_planRows; }
    int count(RowState state) const { return m_counts[std::size_t(state)]; }
    // Rows a lane may still be given.
    int open() const { return int(m_open.size()); }
    int inHand() const { return m_inHand; }
    // Plan rows claimed and not in hand: claims a run left without outcome.
    int claimedNotInHand() const { return count(RowState::Claimed) - m_planInHand; }
    // Rows in doubt (claimed or failed, not in hand), the plan's and others.
    QList<int> inDoubt() const;

private:
    static QString keyOf(const SettingValues &values);
    int findOrAdd(const SettingValues &values, int row);
    void setState(int entry, RowState state);
    void refresh(int entry);

    std::vector<RowEntry> m_entries;
    QHash<QString, int> m_byKey; // "ip mac", canonical
    QHash<QString, int> m_byIp;  // rows that live: passed or in doubt
    QHash<QString, int> m_byMac;
    std::set<int> m_open;        // plan entries open and not in hand, in plan order
    std::set<int> m_doubt;       // entries in doubt
    std::array<int, 4> m_counts {}; // plan rows by state
    int m_planRows = 0;
    int m_inHand = 0;
    int m_planInHand = 0;
};
