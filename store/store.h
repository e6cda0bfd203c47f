// SPDX-License-Identifier: MIT
#pragma once

// Where a station keeps its plan, its claims and its outcomes, behind one
// small interface: plan rows in, claim, record, release, status. Lanes only
// ever talk to this, so a store kept elsewhere (a database several stations
// share) changes nothing for them. Every call answers through its callback,
// on the caller's thread, and never holds the caller's loop up for long: a
// store in files may answer before the call returns, one on a server answers
// later, from its own thread.

#include "base/exitcodes.h"
#include "plan/auditfile.h"
#include "plan/planbook.h"
#include "plan/records.h"
#include "plan/unitbook.h"

#include <QJsonObject>
#include <QObject>

#include <functional>
#include <optional>

// What one station has done with a plan several stations share.
struct StationStatus {
    QString name;
    QString holder;    // the running station's program, process and host; empty when it is not running
    int passed = 0;
    int failed = 0;
    int claimed = 0;   // in doubt: claimed by a run that ended
    int inHand = 0;
    // How far the station's clock was ahead of the server's (s; behind when
    // negative) at its last claim, stored as it was made (an outcome may be
    // stored late); none for lines of no server time.
    std::optional<qint64> clockAhead;
};

// One line of an audit, by its place (from 1) and its hash.
struct AuditMark {
    qint64 seq = 0;
    QByteArray hash;
};

// A store's view of the plan, for status lines, a window and plan status.
struct StoreStatus {
    int rows = 0;      // in the plan
    int open = 0;      // nothing of the row on any module yet
    int inHand = 0;    // being written by a lane of this run (of a running station, for a shared store)
    int passed = 0;
    int claimed = 0;   // claims without an outcome, not in hand: in doubt
    int failed = 0;    // in doubt after an outcome that is not a pass
    int inDoubtCount() const { return claimed + failed; }
    QList<RowEntry> inDoubt; // the plan's in plan order, then rows the plan no longer has
    QList<AuditRecord> recent; // the last outcomes recorded, newest first, at most recentCount
    QString holder;    // who holds the store, for a status taken from outside a run
    // A store several stations share: each station's share, and how many
    // rows passed in each hour (UTC, "2026-12-08T03:00Z"), oldest first.
    QList<StationStatus> stations;
    QList<QPair<QString, int>> passedPerHour;
    // Rows that may be on two modules (a pass stored after the row went to
    // another), until they are released: "row N: why".
    QStringList onTwoModules;

    static constexpr int recentCount = 20;
};

// Who holds a store, for messages: "vev-cli, process 1234 on bench-1".
inline QString holderText(const QString &application, qint64 pid, const QString &host)
{
    return QStringLiteral("%1, process %2 on %3")
        .arg(application.isEmpty() ? QStringLiteral("a program") : printable(application)).arg(pid)
        .arg(printable(host));
}

// A person of a roster as a record names them: their short id and name;
// both empty where there is no roster.
struct Signer {
    QString id;
    QString name;
};

// Why a row is not released, in the same words from every store.
inline QString noSuchRowText(int row, const QString &rows)
{
    return QStringLiteral("the plan has no row %1 (it has %2)").arg(row).arg(rows);
}
inline QString notInDoubtText(int row, const QString &state)
{
    return QStringLiteral("row %1 is %2, not in doubt; only a row in doubt is released").arg(row).arg(state);
}

class ProvisionStore : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Reads the plan and what has been recorded, and takes the store for
    // this run. On failure: why, and the exit code it stands for.
    struct Opened {
        bool ok = false;
        QString error;
        ExitCode code = ExitCode::Ok;
        QString warning = {}; // opened, but the station should know this (said through warned too)
    };
    virtual void open(std::function<void(const Opened &)> done) = 0;

    // A row for the module with these settings, found on this port. For a
    // fresh or resumed row the claim is recorded before the answer comes,
    // so the store knows the row may be on a module before any byte goes.
    struct Claim {
        enum Kind {
            Fresh,       // the next open row
            Resume,      // a row in doubt that this module carries: finish it
            HoldsPassed, // the module carries a row recorded as passed: nothing for it
            NothingOpen, // no open row is left
            Failed,      // the claim could not be recorded: nothing may be written
            Conflict,    // the module carries part of a row it may not be given: nothing for it
            Rework,      // the unit failed the station's limit of times: send it to rework (why)
        } kind = NothingOpen;
        PlanRow row;   // Fresh, Resume, HoldsPassed; Conflict: the row it carries part of
        QString error; // Failed
        PlanBook::Conflict conflict = PlanBook::Conflict::None;
        int partOf = 0; // Fresh: the row whose IP the module carried
        // Resume: the MACs the row's module had before, from each claim of
        // the row (the module found now may have taken it on another lane).
        QStringList macsBefore {};
        // Fresh, Resume: the attempt the unit's outcome will carry.
        int attempt = 1;
        // Conflict of a unit (PlanBook::Conflict::Unit), Rework: what to say.
        QString why = {};
    };
    // A unit refused by its serial or its attempts, as a claim about row
    // says it; none for a unit that may go on. Every store's words.
    static std::optional<Claim> unitRefusal(const UnitVerdict &unit, const PlanRow &row)
    {
        switch (unit.kind) {
        case UnitVerdict::Go: return std::nullopt;
        case UnitVerdict::Rework: return Claim {Claim::Rework, row, {}, PlanBook::Conflict::None, 0, {}, 0, unit.why};
        case UnitVerdict::SerialElsewhere:
        case UnitVerdict::RowElsewhere: break;
        }
        return Claim {Claim::Conflict, row, {}, PlanBook::Conflict::Unit, 0, {}, 0, unit.why};
    }

    // serial: the unit's serial number as scanned; empty: none. A unit is
    // refused (Conflict, Rework) by its serial, or by the row it would get.
    virtual void claim(const QString &port, const SettingValues &module, const QString &serial,
                       std::function<void(const Claim &)> done) = 0;
    void claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done)
    {
        claim(port, module, QString(), std::move(done));
    }

    // The outcome of a claimed row; an empty error once it is stored.
    virtual void record(const OutcomeRecord &outcome, std::function<void(const QString &error)> done) = 0;

    // A claimed row that nothing was written to goes back to the plan.
    virtual void unclaim(const PlanRow &row, std::function<void(const QString &error)> done) = 0;

    // How something asked of a store between runs ended: an empty error,
    // or why not and the exit code it stands for.
    struct Answer {
        QString error;
        ExitCode code = ExitCode::Ok;
        bool ok() const { return error.isEmpty(); }
    };

    // A row in doubt handed back to the plan by the operator, who has dealt
    // with the module it may be on; values: the row's. Refused (Usage) for
    // a row not in doubt. supervisor: who allowed it, recorded on its line.
    virtual void release(int row, const Signer &supervisor,
                         std::function<void(const Answer &answer, const SettingValues &values)> done) = 0;

    // Anything else worth a line of its own, such as a label printed.
    virtual void note(const AuditBody &body, std::function<void(const QString &error)> done) = 0;

    // The run is stopping: a store that keeps retrying what it could not
    // store stops waiting for its server. A claim still waiting is refused;
    // a record still waiting is kept elsewhere, which its error names.
    virtual void stopRetrying() {}

    virtual void status(std::function<void(const StoreStatus &)> done) = 0;

    // The row this station last passed on the port, with the module's
    // settings before: the module that may still be on the lane when a run
    // begins. Nothing when there is none or it cannot be asked.
    virtual void lastPassed(const QString &port, std::function<void(const std::optional<RowEntry> &)> done)
    {
        Q_UNUSED(port);
        done(std::nullopt);
    }

    // Records carry the station's and the operator's name.
    virtual QString stationName() const = 0;
    virtual QString operatorName() const = 0;
    // The operator's short id from a roster; empty without one.
    virtual QString operatorId() const { return {}; }
    // Where the store is, for messages (never a password).
    virtual QString description() const = 0;

    // --- Between runs: vev-cli's plan and audit commands, on an opened store.
    // What only a database can do, a store in files refuses (Usage).

    // Where the plan and its audit are, as plan status and audit-verify
    // name them: a line's start, the fields of plan status --json, and the
    // audit's name.
    struct Place {
        QString plan;
        QJsonObject fields;
        QString audit;
    };
    virtual Place place() const = 0;

    // status() with every figure the store has, or why there are none.
    virtual void planStatus(std::function<void(const Answer &answer, const StoreStatus &status)> done) = 0;

    // Adds a plan's rows after those already there, all or none, read a
    // chunk at a time from plan (started already, used on the store's own
    // thread until done; a refusal of the plan's text is in plan->error());
    // forced: accepted with --force. first: the number the first row was
    // given.
    virtual void importPlan(const std::shared_ptr<PlanReader> &plan, bool forced,
                            std::function<void(const Answer &answer, int first)> done) = 0;

    // The audit's lines, byte for byte as a file holds them, in order and
    // before done; line returns false to stop early.
    virtual void exportAudit(std::function<bool(const QByteArray &line)> line,
                             std::function<void(const Answer &answer)> done) = 0;

    // Records a run kept in a file of their own while the store could not
    // be reached or its files had changed under it, added in their order;
    // one already there (the same time, station, kind and row) is counted,
    // not added again.
    virtual void importAudit(const QList<AuditRecord> &records,
                             std::function<void(const Answer &answer, int added, int present)> done) = 0;

    // Checks every line of the audit and its chain, ending at lastHash when
    // one is given; visit sees each record that checks out, before done.
    virtual void verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                             std::function<void(const Answer &answer, const AuditCheck &check)> done) = 0;

    // The records of one row, for a label reprinted from them, checked as
    // far as a store can without reading its whole audit: visit sees them
    // when they hold; else the check names the first bad line. A store
    // whose audit cannot be checked in part checks it whole.
    virtual void verifyRow(int row, const AuditVisitor &visit,
                           std::function<void(const Answer &answer, const AuditCheck &check)> done)
    {
        Q_UNUSED(row)
        verifyAudit({}, visit, std::move(done));
    }

signals:
    // A record was stored: the plan's counts may have moved.
    void changed();
    // The store cannot be reached (a database server restarting, a network
    // down) and keeps retrying what it was given; or it can again.
    void reachabilityChanged(bool reachable, const QString &why);
    // What the store keeps can no longer be trusted (its files replaced,
    // cut short, or written by another program): nothing more may go to a
    // module. Said once; claims are refused from then on, and records are
    // kept elsewhere, which their errors name.
    void compromised(const QString &why, ExitCode code);
    // The store can no longer vouch that this station still owns its name
    // among the stations that share the plan (its server has not confirmed
    // it for a while): no write may go to a module until it can again.
    void ownershipLapsed(bool lapsed, const QString &why);
    // The claim or record at the head of the store's queue has gone this
    // many seconds without an answer (a lock another session holds, a
    // server that does not answer), and why, as far as the store knows;
    // 0 once it is answered.
    void waiting(int seconds, const QString &why);
    // Something about how the store was set up that the station's people
    // should hear of, said once when it opens.
    void warned(const QString &what);
};
