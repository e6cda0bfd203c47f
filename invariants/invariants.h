// SPDX-License-Identifier: MIT
#pragma once

// What must hold after any run of the production line, whatever went
// wrong on the bench, written once as checks over what the run left
// behind: the plan, every copy of the audit, each module's settings and
// position over time, what each lane showed and when, and the runs. The
// fault tests fill this in from a schedule they play; unit tests fill it in
// by hand. QtCore only.
//
// I1. No two modules leave the line holding the same IP or MAC address
//     from the plan, except values a module came with and was never
//     written (a plan that gives out a factory value).
// I2. Every PASS, on screen or in the audit, is for a module on that lane
//     that holds its row in all four settings at that moment (the module
//     the lane last read, which held the row there within slackMs before);
//     a verdict shown is withdrawn within --timeout plus one second of its
//     module leaving (PASS and FAIL) or no longer holding its row (PASS).
//     A lane saying its module already holds a passed row shows a PASS.
// I3. Every row recorded as passed was read back in full from one module
//     on that lane, and if that module, still on that lane, is later read
//     there without it, the audit says so.
// I4. At most one run holds a plan and its audit at any moment, whatever
//     paths, links, renames or deletions; a run whose audit was renamed
//     over or truncated under it sends no byte after --timeout plus one
//     second; an audit nobody tampered with still verifies.
// I5. SIGINT, SIGTERM and SIGHUP end a run within 10 s, and a row in hand
//     is never handed back to the plan (a record that leaves it open, by
//     the plan's own rules) once a module took a byte of it.
//
// Times are milliseconds on one clock, the wall clock the audit's records
// carry.

#include "plan/plan.h"
#include "plan/planbook.h"
#include "plan/records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace invariants {

using Ms = qint64;

// The room a loaded machine needs between a module's answer and the line
// or record that follows from it.
inline constexpr Ms slackMs = 1500;
// What a lane is given, beyond --timeout, to react to a change on it.
inline constexpr Ms reactionMs = 1000;
// How long a stop signal may take to end a run.
inline constexpr Ms stopBoundMs = 10000;

// A module from a moment on, until its next state.
struct ModuleState {
    Ms at = 0;
    QStringList lanes; // where it is heard; empty: off the line
    SettingValues settings;
};

// One command a module took, and what it answered.
struct Exchange {
    Ms at = 0;        // when the answer went out (or would have)
    QString lane;     // where the command came from
    bool write = false;
    Setting setting = Setting::IpAddress;
    QString value;    // written, or answered
};

struct ModuleHistory {
    QString name;
    SettingValues factory;
    QList<ModuleState> states;   // in time order; the last holds to the end
    QList<Exchange> exchanges;   // in time order
};

// A line a run printed, when it arrived.
struct ScreenLine {
    Ms at = 0;
    int run = 0;
    QString text; // as printed: "PORT: status", "PASS row N on PORT: …", …
};

// A file by what it is, not by the path that led to it.
struct FileId {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &other) const { return device == other.device && inode == other.inode; }
};

struct RunEvidence {
    int id = 0;
    QStringList lanes;
    QList<FileId> files;   // its plan and audit, as its paths led when it started
    Ms started = 0;
    std::optional<Ms> ended; // none: it had to be killed after the bound
    int exitCode = -1;       // -1: ended by a signal
    struct Signal {
        Ms at = 0;
        int number = 0;
    };
    QList<Signal> signalsSent;
    QList<Ms> sent;          // when bytes of it reached a lane, in order
};

// Something done to the files under the runs.
struct FileFault {
    Ms at = 0;
    QString what;
    FileId file;            // the file it was done to
    bool takesHold = false; // the run holding it can no longer hold it
};

// An audit's content, as the test found it: left behind, or kept just
// before someone cut it.
struct AuditCopy {
    QString name;
    QByteArray content;
    bool tampered = false; // cut or replaced on purpose: its chain is not checked
};

struct Evidence {
    QList<PlanRow> plan;
    Ms timeout = 0;         // --timeout
    QList<AuditCopy> audits;
    QList<ModuleHistory> modules;
    QList<ScreenLine> screen;
    QList<RunEvidence> runs;
    QList<FileFault> fileFaults;
};

struct Violation {
    QString invariant; // "I1" … "I5"
    QString what;
};

// A lane's verdict as a status line shows it: PASS (or that the module
// already holds a passed row) or FAIL, with the row.
struct Verdict {
    enum Kind { Pass, Fail } kind = Pass;
    int row = 0;
};
// "PORT: …" of a status line; nothing for other lines.
std::optional<std::pair<QString, QString>> statusLine(const QString &line, const QStringList &lanes);
std::optional<Verdict> verdictOf(const QString &status);
// "PASS row N on PORT: …": the row and the port.
std::optional<std::pair<int, QString>> passLine(const QString &line);

// A record any copy of the audit holds, once however many copies hold it.
struct AuditEntry {
    Ms at = 0;
    QString kind;
    int row = 0;
    QString port;
    std::optional<Result> result;
    QString reason;
    SettingValues values;   // the row as recorded
    SettingValues readBack;
    std::optional<RowState> after; // the row's state after it, by the plan's own rules
    QString copy;           // which copy, for messages
};
QList<AuditEntry> auditEntries(const QList<AuditCopy> &copies);

QList<Violation> checkAddresses(const Evidence &evidence);  // I1
QList<Violation> checkPasses(const Evidence &evidence);     // I2
QList<Violation> checkPassedRows(const Evidence &evidence); // I3
QList<Violation> checkOwnership(const Evidence &evidence);  // I4
QList<Violation> checkStops(const Evidence &evidence);      // I5
QList<Violation> checkAll(const Evidence &evidence);

// Whether the values are the row's in all four settings.
bool holdsRow(const SettingValues &values, const SettingValues &row);

} // namespace invariants
