// SPDX-License-Identifier: MIT
#pragma once

// The plan and the audit that several stations share, in one PostgreSQL
// database, through one connection (see pgconnection.h) used from the
// thread that made it. Every operation answers through its callback, once,
// on that thread. Every change is one short transaction: a claim takes the
// next open row in plan order, skipping rows other stations are claiming at
// that moment (FOR UPDATE SKIP LOCKED), together with its claim record; an
// outcome and the row's new state go together. The audit is append-only (a
// trigger refuses UPDATE, DELETE and TRUNCATE) and one hash chain runs
// through it in append order, whatever station appends. A running station
// holds an advisory lock on its name for as long as its connection lives,
// so two running stations cannot share a name, and the claims of a station
// that died are seen to be in doubt at once. The tables are described in
// the README.
//
// The work is spread over plansession.cpp (connecting, the session, the
// station's name, transactions), planschema.cpp (the tables),
// planqueries.cpp (claims, records, releases, record imports),
// planimport.cpp (plan imports), planreports.cpp (status), planaudit.cpp
// (export and verification) and planroles.cpp (the tables' owner and the
// stations' role, and a station's check of the audit's tail).

#include "plan/auditfile.h"
#include "roster/roster.h"
#include "store/databaseuri.h"
#include "store/pgconnection.h"
#include "store/store.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <utility>

// A record of the audit that checks out, with its line.
struct CheckedRecord {
    AuditRecord record;
    int line = 0;
};

namespace plansql {
template<typename Result>
class Ahead;
}

class PlanDatabase
{
public:
    // Who writes: every record carries the station's and the operator's name.
    struct Identity {
        QString station;
        QString operatorName;
        QString operatorId = {}; // with a roster
    };

    using Done = std::function<void(const DbFault &fault)>;
    // Items a batch at a time: next(true) asks for the next batch, next(false)
    // ends early. next may be called later, from an event of the same thread.
    template<typename Item>
    using Batch = std::function<void(const QList<Item> &items, std::function<void(bool more)> next)>;

    PlanDatabase(DatabaseUri uri, Identity identity, PgConnection::Limits limits = {});
    ~PlanDatabase();
    PlanDatabase(const PlanDatabase &) = delete;
    PlanDatabase &operator=(const PlanDatabase &) = delete;

    // Connects, or connects again after the connection was lost; a run that
    // holds its station's name takes it back. With create, the tables are
    // made when missing; without, a database without them is refused. A
    // schema newer than this tool knows is refused either way.
    void connect(bool create, Done done);
    bool isConnected() const;
    void close();

    // This run takes its station's name, refused (Held) while a running
    // station has it.
    void takeStation(Done done);
    // Called on every answer the server gives on a connection that holds the
    // station's name: the name is still this run's then.
    void onNameConfirmed(std::function<void()> confirmed) { m_nameConfirmed = std::move(confirmed); }

    // Called once a transaction that appended a line has been committed,
    // with the last line it appended.
    void onLineStored(std::function<void(const AuditMark &)> stored) { m_lineStored = std::move(stored); }
    // At a station's start: the audit still holds the line this station
    // last stored (remembered), unchanged; refused (AuditBroken) when it
    // does not. With accept (after a restore from a backup), the audit must
    // end at that line instead (0 and 64 zeros: an empty audit), and a line
    // saying so is appended.
    void checkLastLine(const std::optional<AuditMark> &remembered, const std::optional<AuditMark> &accept, Done done);
    // The id the tables were made with.
    void tablesId(std::function<void(const DbFault &, const QString &id)> done);

    // Adds a plan's rows after those already there, in their order, in one
    // transaction, read from plan and sent a chunk at a time, each its own
    // COPY: refused (Usage) when the plan's text is (plan->error() says
    // why), and naming the line when one has an IP or MAC address the
    // database already holds. forced: the plan was accepted with --force,
    // which each row's claim records. first: the first row's number.
    void importPlan(const std::shared_ptr<PlanReader> &plan, bool forced,
                    std::function<void(const DbFault &, int first)> done);

    // A row for the module with these settings, found on this port; for a
    // fresh or resumed row the claim is stored before the answer comes.
    // retrying: an earlier attempt may have been stored before its answer
    // was lost, and is taken up instead of claiming again. The unit (its
    // serial, empty for none) is judged as well (see unitbook.h);
    // maxAttempts 0: no limit.
    struct UnitClaim {
        QString serial;
        int maxAttempts = 0;
    };
    void claim(const QString &port, const SettingValues &module, const UnitClaim &unit, bool retrying,
               std::function<void(const DbFault &, const ProvisionStore::Claim &)> done);

    // Appends a record of this run (an outcome, the release of a claim that
    // nothing was written to, a note) and sets its row's state with it.
    // retrying: a record already stored is not stored again.
    void append(const AuditRecord &record, bool retrying, Done done);
    // After an append: a late pass it stored on a row another module may
    // carry now, said once.
    QString takeConflict() { return std::exchange(m_conflict, {}); }

    // The roster kept beside the plan (vev_operator, planoperators.cpp):
    // nobody when the tables have none. A row whose badge is no hash this
    // tool reads is refused, named.
    void operators(std::function<void(const DbFault &, const QList<RosterEntry> &)> done);
    // Adds a person with the badge code given (hashed here); refused
    // (Usage) for an id or a code someone on the roster has.
    void addOperator(const RosterEntry &entry, const QString &code, Done done);
    // Refused (Usage) for an id the roster does not have.
    void removeOperator(const QString &id, Done done);

    // The operator hands a row in doubt back to the plan; refused (Usage)
    // for a row that is not in doubt. values: the row's.
    void release(int row, const Signer &supervisor, std::function<void(const DbFault &, const SettingValues &values)> done);

    // Records kept elsewhere while the database could not be reached, added
    // in their order; a record already there is counted, not added again.
    void importRecords(const QList<AuditRecord> &records,
                       std::function<void(const DbFault &, int added, int present)> done);

    // The plan's counts, the rows in doubt, the stations and the last
    // outcomes; with full, also the rows passed per hour.
    void status(bool full, std::function<void(const DbFault &, const StoreStatus &)> done);

    // The row this station last passed on the port, with the settings before.
    void lastPassed(const QString &port, std::function<void(const DbFault &, const std::optional<RowEntry> &)> done);

    // Moves whenever any station records something or a station starts or
    // ends: what a running station polls to notice the others.
    void fingerprint(std::function<void(const DbFault &, const QByteArray &print)> done);

    // The audit's lines in append order, a batch at a time, each batch its
    // own short statement: a reader that takes its time holds nothing open
    // on the server. Lines appended meanwhile come too.
    void readAudit(Batch<QByteArray> batch, Done done);

    // Checks every line in place, in one snapshot: its record, its place in
    // the chain, and that the columns beside it agree with it; then that
    // each row of the plan follows the line it names. With lastHash, that
    // the audit ends there. batch, when given, gets the records that check
    // out.
    void verifyAudit(const QByteArray &lastHash, Batch<CheckedRecord> batch,
                     std::function<void(const DbFault &, const AuditCheck &)> done);

    // Run by the login that is to own the tables: makes them, or brings
    // them up to this version, taking over any its login does not own yet
    // (tables a station's own login made), and gives stationRole only what
    // a station needs. report: what was done, for the person who ran it.
    void initialise(const QString &stationRole, std::function<void(const DbFault &, const QString &report)> done);
    // The login of this session when it owns the tables (or may act as
    // their owner); empty when it does not.
    void ownsTables(std::function<void(const DbFault &, const QString &login)> done);
    // Checks the lines of one row only: each one's record and columns, and
    // its links to the lines before and after it in the chain. A line
    // changed with its hash column set to match no longer chains to the
    // next; the rest of the chain is audit-verify's. done gets the row's
    // records when they all hold, else the check names the first bad line.
    void verifyRow(int row, std::function<void(const DbFault &, const AuditCheck &, const QList<CheckedRecord> &)> done);

    const DatabaseUri &uri() const { return m_uri; }

    // A step of a longer piece of work: it calls next once, with its fault
    // or none.
    using Step = std::function<void(const Done &next)>;
    using Rows = std::function<void(const PgResult &result)>;
    using Then = std::function<void(std::function<void(bool more)> next)>;
    using Prepare = std::function<Then(const PgResult &rows)>;

private:
    // The session (plansession.cpp).
    void run(const QString &sql, const QVariantList &values, Rows rows, Done failed);
    Step statement(const QString &sql, const QVariantList &values, Rows rows = {});
    void transaction(const QString &begin, std::function<void(Done finish)> body, Done done);
    static QString sessionProgram();
    void configure(Done done);
    void lockStation(Done done);
    void refuseName(Done done);
    void enterRun(Done done);

    // The tables (planschema.cpp).
    void ensureSchema(bool create, Done done);
    void upgradeSchema(Done finish);
    void createSchema(Done done);
    // inTransaction: an upgrade it needs runs in the caller's transaction.
    void checkVersion(Done done, bool inTransaction = false);

    // The two logins (planroles.cpp).
    void checkStationRole(const QString &role, const std::shared_ptr<QString> &quoted, Done next);
    void takeOver(const std::shared_ptr<QString> &report, Done next);
    void appendAccept(const std::optional<AuditMark> &remembered, const AuditMark &accept, Done done);

    // Changes (planqueries.cpp).
    struct ClaimState;
    void claimByValues(const std::shared_ptr<ClaimState> &state, Done finish);
    void failedReadBacks(const std::shared_ptr<ClaimState> &state, Done finish);
    void writtenOver(const std::shared_ptr<ClaimState> &state, int index, Done finish);
    void decide(const std::shared_ptr<ClaimState> &state, Done finish);
    // The unit about to be given row (0: a fresh one) judged by what the
    // audit holds of it: go(attempt), or the claim refused and finish.
    void judgeUnitFor(const std::shared_ptr<ClaimState> &state, const PlanRow &row, bool writes, std::function<void(int attempt)> go,
                      Done finish);
    void resumeRow(const std::shared_ptr<ClaimState> &state, const PlanRow &row, Done finish);
    void nextOpenRow(const std::shared_ptr<ClaimState> &state, Done finish);
    void claimRow(const std::shared_ptr<ClaimState> &state, const PlanRow &row, bool forced,
                  ProvisionStore::Claim::Kind kind, Done finish);
    // A change to the plan row that goes in one statement with the line
    // that makes it: set holds "column = $1, …" over values; the row's
    // audit_seq becomes the line's.
    struct PlanChange {
        QString set;
        QVariantList values;
        int row = 0;
        // The line's INSERT, whose values are *values, with this change.
        QString joinedTo(const QString &insert, QVariantList *values) const;
    };
    static PlanChange settling(int row, RowState state, const QString &time);
    void appendLine(AuditRecord record, const std::optional<PlanChange> &change, std::function<void(qint64 seq)> then,
                    Done failed);
    void appendRecord(const AuditRecord &record, Done finish);
    void isStored(const AuditRecord &record, std::function<void(bool stored)> then, Done failed);
    void releaseRow(int row, const Signer &supervisor, const PgResult &locked, const std::shared_ptr<SettingValues> &values,
                    Done finish);
    void appendRelease(const PlanRow &planRow, const Signer &supervisor, const std::shared_ptr<SettingValues> &values,
                       Done finish);
    // A record of this run's, now, with its station and operator.
    AuditRecord ownRecord(AuditBody body) const
    {
        return AuditRecord {auditTimeNow(), m_identity.station, m_identity.operatorName, {}, std::move(body),
                            m_identity.operatorId};
    }
    struct ImportState;
    void importRecord(const std::shared_ptr<ImportState> &state, Done finish);
    // Appends the record being imported; settles: its row takes the state
    // the record gives it.
    // conflict: the record leaves its row on two modules, recorded as such.
    void addLine(const std::shared_ptr<ImportState> &state, bool settles, Done finish, const QString &conflict = {});
    void recordConflict(int row, qint64 seq, const QString &station, const QString &why, Done done);
    // An outcome (record's body) not made under the claim the row holds now:
    // settled on its row (claimed by its station on its module still, or
    // released and claimed by no one since), only added to the audit, or a
    // pass on a row another module may carry now (why says which).
    enum class LateRuling { Settle, Add, TwoModules };
    void judgeLate(const AuditRecord &record, std::function<void(LateRuling, const QString &)> then, Done failed);
    static bool sameModule(const OutcomeRecord &outcome, const QByteArray &before);
    void addRecord(const std::shared_ptr<ImportState> &state, const PgResult &locked, Done finish);

    // A plan's import (planimport.cpp): each chunk is read and checked on a
    // thread of its own while the one before goes to the server.
    void copyPlanRows(const std::shared_ptr<PlanReader> &plan, Done next);
    void copyAhead(const std::shared_ptr<PlanReader> &plan,
                   const std::shared_ptr<plansql::Ahead<std::optional<QByteArray>>> &chunk, Done next);
    void checkPlanRows(Done next);
    void insertPlanRows(bool forced, const std::shared_ptr<int> &first, Done next);

    // The audit read back (planaudit.cpp): a cursor's rows a batch at a
    // time, each FETCH its own statement. Each batch is prepared on a thread
    // of its own (prepare must only read what this thread leaves alone
    // meanwhile) while the next is fetched; what prepare gives is then run
    // on this thread, in order, and calls next(false) to stop early.
    void fetchAhead(const QString &fetch, Prepare prepare, Done finish);
    void aheadFrom(const QString &fetch, const Prepare &prepare, const PgResult &rows, Done finish);
    void pageAudit(qint64 after, Batch<QByteArray> batch, Done done);

    DatabaseUri m_uri;
    Identity m_identity;
    PgConnection::Limits m_limits;
    std::unique_ptr<PgConnection> m_pg; // made on the thread that connects
    int m_stationId = 0; // once the run holds its name
    qint64 m_run = 0;
    bool m_holdsName = false; // this connection's session holds the station's lock
    QString m_conflict; // a late pass just stored on a row another module may carry
    std::function<void()> m_nameConfirmed;
    std::optional<AuditMark> m_appended; // by the transaction under way
    std::function<void(const AuditMark &)> m_lineStored;
};

// Runs steps one after another, each once the one before has ended without
// a fault; done with the first fault, or none after the last.
void runSteps(QList<PlanDatabase::Step> steps, const PlanDatabase::Done &done);
