// SPDX-License-Identifier: MIT
#pragma once

// The plan and the audit that several stations share, in one PostgreSQL
// database, through one connection used from one thread. Every change is
// one short transaction: a claim takes the next open row in plan order,
// skipping rows other stations are claiming at that moment (FOR UPDATE SKIP
// LOCKED), together with its claim record; an outcome and the row's new
// state go together. The audit is append-only (a trigger refuses UPDATE,
// DELETE and TRUNCATE) and one hash chain runs through it in append order,
// whatever station appends. A running station holds an advisory lock on
// its name for as long as its connection lives, so two running stations
// cannot share a name, and the claims of a station that died are seen to
// be in doubt at once. The tables are described in the README.

#include "plan/auditfile.h"
#include "store/databaseuri.h"
#include "store/store.h"

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QVariantList>

#include <functional>
#include <memory>

class QSqlError;
class QSqlQuery;

// What went wrong with the database, and what the caller may do about it.
struct DbFault {
    enum Kind {
        None,
        Unreachable, // no connection, it was lost, or the server does not answer in time: try again later
        Busy,        // a lock or a conflict with another station: try again shortly
        Refused,     // the server or a rule said no: trying again will not help
    };
    Kind kind = None;
    QString why;
    ExitCode code = ExitCode::Failure; // what a refusal stands for

    explicit operator bool() const { return kind != None; }
    static DbFault refused(const QString &why, ExitCode code = ExitCode::Failure) { return {Refused, why, code}; }
};

// What a failed statement means, from the server's SQLSTATE and whether the
// connection is still up.
DbFault::Kind faultKind(const QString &sqlState, bool connected);

// One line of the audit table as it is stored.
struct AuditRow {
    qint64 seq = 0;       // its place in append order, from 1
    QByteArray line;      // the exact text, as a file would hold it
    QByteArray prev;      // the columns kept beside it for queries
    QByteArray hash;
    QString kind;
    int row = 0;
    QString station;
    QString operatorName;
    QString port;
    QString result;
    QDateTime time;
};

class PlanDatabase
{
public:
    // Who writes: every record carries the station's and the operator's name.
    struct Identity {
        QString station;
        QString operatorName;
    };

    PlanDatabase(DatabaseUri uri, Identity identity);
    ~PlanDatabase();
    PlanDatabase(const PlanDatabase &) = delete;
    PlanDatabase &operator=(const PlanDatabase &) = delete;

    // Connects, or connects again after the connection was lost; a run that
    // holds its station's name takes it back. With create, the tables are
    // made when missing; without, a database without them is refused. A
    // schema newer than this tool knows is refused either way.
    DbFault connect(bool create);
    bool isConnected() const;
    void close();

    // This run takes its station's name, refused (Held) while a running
    // station has it.
    DbFault takeStation();

    // Adds a plan's rows after those already there, in their order, in one
    // transaction: refused (Usage, naming the line) when one has an IP or
    // MAC address the database already holds. forced: the plan was accepted
    // with --force, which each row's claim records.
    DbFault importPlan(const QList<PlanRow> &rows, bool forced, int *first);

    // A row for the module with these settings, found on this port; for a
    // fresh or resumed row the claim is stored before the answer comes.
    // retrying: an earlier attempt may have been stored before its answer
    // was lost, and is taken up instead of claiming again.
    DbFault claim(const QString &port, const SettingValues &module, bool retrying, ProvisionStore::Claim *claim);

    // Appends a record of this run (an outcome, the release of a claim that
    // nothing was written to, a note) and sets its row's state with it.
    // retrying: a record already stored is not stored again.
    DbFault append(const AuditRecord &record, bool retrying);

    // The operator hands a row in doubt back to the plan; refused (Usage)
    // for a row that is not in doubt. *values: the row's.
    DbFault release(int row, SettingValues *values);

    // Records kept elsewhere while the database could not be reached, added
    // in their order; a record already there is counted, not added again.
    DbFault importRecords(const QList<AuditRecord> &records, int *added, int *present);

    // The plan's counts, the rows in doubt, the stations and the last
    // outcomes; with full, also the rows passed per hour.
    DbFault status(bool full, StoreStatus *status);

    // Moves whenever any station records something or a station starts or
    // ends: what a running station polls to notice the others.
    DbFault fingerprint(QByteArray *print);

    // The audit in append order, a batch at a time, in one snapshot; visit
    // returns false to stop early.
    DbFault readAudit(const std::function<bool(const AuditRow &row)> &visit);

    // Checks every line in place: its record, its place in the chain, and
    // that the columns beside it agree with it; with lastHash, that the
    // audit ends there. visit sees each record that checks out.
    DbFault verifyAudit(const QByteArray &lastHash, AuditCheck *check, const AuditVisitor &visit = {});

    const DatabaseUri &uri() const { return m_uri; }

private:
    DbFault ensureSchema(bool create);
    DbFault lockStation();
    DbFault execute(const QString &sql, const QVariantList &values = {}, QSqlQuery **result = nullptr);
    DbFault faultOf(const QSqlError &error) const;
    // Runs body in one transaction, committed when it returns no fault and
    // rolled back when it does.
    DbFault transaction(const std::function<DbFault()> &body, const QString &begin = QStringLiteral("BEGIN"));
    DbFault appendLine(AuditRecord record, qint64 *seq);
    DbFault isStored(const AuditRecord &record, bool *stored);
    DbFault settle(int row, RowState state, qint64 seq, const QString &time);

    DatabaseUri m_uri;
    Identity m_identity;
    QString m_connection;
    QSqlDatabase m_db;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_queries; // by statement, for as long as the connection lasts
    int m_stationId = 0; // once the run holds its name
    qint64 m_run = 0;
};
