// SPDX-License-Identifier: MIT
#pragma once

// The store of a station that shares its plan with others: the plan and
// the audit in a PostgreSQL database (see plandatabase.h). The database
// work runs on a thread of its own with its own connection and answers on
// the caller's thread, so a slow or unreachable server never holds a lane
// or a window up. While the server cannot be reached, what the lanes asked
// for waits and is tried again, in order, and reachabilityChanged says so;
// nothing new is claimed meanwhile. Once the run is stopping, a claim still
// waiting is refused, and a record still waiting is kept in a file of its
// own (a chained audit of its own) for vev-cli audit import.

#include "store/databaseuri.h"
#include "store/pgconnection.h"
#include "store/store.h"

#include <QElapsedTimer>
#include <QHash>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

class PlanDatabase;

class DbStore : public ProvisionStore
{
    Q_OBJECT

public:
    struct Options {
        DatabaseUri uri;
        QString station;      // the host name when empty
        QString operatorName;
        QString keepFolder;   // for records that could not be stored; the current folder when empty
        int maxAttempts = 0;  // a unit's outcomes before it goes to rework; 0: no limit
        bool look = false;    // a status or a command between runs: the station's name is not taken
        bool makeTables = true; // false: a database without the tables is refused, not given them
        PgConnection::Limits limits = {}; // to connect, and for each statement
        // How long a running station goes on writing to modules without its
        // server confirming that the station still owns its name: well
        // within the time the server takes to end a session whose bench
        // went silent (limits.goneBench), after which another process may
        // take the name and release the rows in hand.
        std::chrono::milliseconds lease {10000};
        // Where a running station remembers the last line it stored (see
        // lastline.h); the user's data folder when empty.
        QString memoryFolder = {};
        // After a restore from a backup: the line the audit ends at now, to
        // go on from though it no longer holds the one remembered.
        std::optional<AuditMark> acceptFrom = {};
        QString operatorId = {}; // with a roster
    };

    explicit DbStore(Options options, QObject *parent = nullptr);
    ~DbStore() override;

    void open(std::function<void(const Opened &)> done) override;
    using ProvisionStore::claim;
    void claim(const QString &port, const SettingValues &module, const QString &serial,
               std::function<void(const Claim &)> done) override;
    void record(const OutcomeRecord &outcome, std::function<void(const QString &)> done) override;
    void unclaim(const PlanRow &row, std::function<void(const QString &)> done) override;
    void release(int row, const Signer &supervisor,
                 std::function<void(const Answer &, const SettingValues &)> done) override;
    void note(const AuditBody &body, std::function<void(const QString &)> done) override;
    void status(std::function<void(const StoreStatus &)> done) override;
    void lastPassed(const QString &port, std::function<void(const std::optional<RowEntry> &)> done) override;
    void stopRetrying() override;
    QString stationName() const override { return m_options.station; }
    QString operatorName() const override { return m_options.operatorName; }
    QString operatorId() const override { return m_options.operatorId; }
    QString description() const override { return m_options.uri.display(); }

    Place place() const override;
    void planStatus(std::function<void(const Answer &, const StoreStatus &)> done) override;
    void importPlan(const std::shared_ptr<PlanReader> &plan, bool forced,
                    std::function<void(const Answer &, int)> done) override;
    void exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done) override;
    void importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done) override;
    void verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                     std::function<void(const Answer &, const AuditCheck &)> done) override;
    void verifyRow(int row, const AuditVisitor &visit,
                   std::function<void(const Answer &answer, const AuditCheck &check)> done) override;

    class Worker; // on the store's thread (dbworker.h)

private:
    void store(const AuditBody &body, std::function<void(const QString &)> done);
    // The callers' callbacks stay on this thread, held by number: the worker
    // holds none, so nothing of a caller's (such as the last reference to
    // this store) is ever let go of on the worker's thread.
    template<typename Callback>
    quint64 hold(Callback callback);
    // From the worker's thread: the callback held by id is called on this
    // one, once, and let go of.
    template<typename Callback, typename... Args>
    void answer(quint64 id, Args... args);
    // Batches for the callback held by id, which takes each item on this
    // thread; the next batch is fetched once it has.
    template<typename Item>
    std::function<void(const QList<Item> &, std::function<void(bool)>)> forward(quint64 id);
    template<typename Callback>
    std::function<void(const DbFault &)> refuse(quint64 id);

    void checkLease();
    // On the worker's thread, once the station's name is taken.
    void startRun(PlanDatabase &db, const std::function<void(const DbFault &, const QString &)> &taken);
    static void warnOwner(PlanDatabase &db, const std::function<void(const DbFault &, const QString &)> &taken);

    Options m_options;
    // When the server last confirmed the station's name, in ms of m_clock;
    // set from the worker's thread.
    QElapsedTimer m_clock;
    std::shared_ptr<std::atomic<qint64>> m_confirmed = std::make_shared<std::atomic<qint64>>(0);
    QTimer m_lease;
    bool m_lapsed = false;
    bool m_memoryFailed = false; // on the worker's thread: said once
    QThread m_thread;
    Worker *m_worker;
    QHash<quint64, std::shared_ptr<void>> m_held;
    quint64 m_lastHeld = 0;
    StoreStatus m_lastStatus; // what status answers while the server cannot be reached
};
