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
#include "store/store.h"

#include <QThread>

class DbStore : public ProvisionStore
{
    Q_OBJECT

public:
    struct Options {
        DatabaseUri uri;
        QString station;      // the host name when empty
        QString operatorName;
        QString keepFolder;   // for records that could not be stored; the current folder when empty
        bool look = false;    // only look (status between runs): the station's name is not taken
    };

    explicit DbStore(Options options, QObject *parent = nullptr);
    ~DbStore() override;

    void open(std::function<void(const Opened &)> done) override;
    void claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done) override;
    void record(const OutcomeRecord &outcome, std::function<void(const QString &)> done) override;
    void unclaim(const PlanRow &row, std::function<void(const QString &)> done) override;
    void release(int row, std::function<void(const QString &)> done) override;
    void note(const AuditBody &body, std::function<void(const QString &)> done) override;
    void status(std::function<void(const StoreStatus &)> done) override;
    void stopRetrying() override;
    QString stationName() const override { return m_options.station; }
    QString operatorName() const override { return m_options.operatorName; }
    QString description() const override { return m_options.uri.display(); }

private:
    class Worker;
    void store(const AuditBody &body, std::function<void(const QString &)> done);

    Options m_options;
    QThread m_thread;
    Worker *m_worker;
    StoreStatus m_lastStatus; // what status answers while the server cannot be reached
};
