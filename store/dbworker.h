// SPDX-License-Identifier: MIT
#pragma once

// DbStore's worker: lives on the store's thread and owns the connection.
// Jobs run one at a time, in the order they came; one that cannot reach the
// server holds the queue until it can, so records are stored in the order
// they were made. Between jobs, a store that has been opened polls the
// database to notice what other stations did. Nothing here blocks: every
// step waits on the connection's events and time bounds.

#include "store/dbstore.h"
#include "store/keptrecords.h"
#include "store/plandatabase.h"

#include <QElapsedTimer>
#include <QTimer>

#include <deque>
#include <memory>

class DbStore::Worker : public QObject
{
public:
    using Finished = std::function<void(const DbFault &fault)>;
    struct Job {
        // Runs once per attempt; answers the caller itself once it succeeds,
        // and calls finished with its fault, or none. retrying: an attempt
        // came before.
        std::function<void(PlanDatabase &db, bool retrying, const Finished &finished)> attempt;
        // A refusal, or giving up on a server that cannot be reached.
        std::function<void(const DbFault &fault)> fail;
        bool waits = true; // false: a server that cannot be reached fails it at once
        bool again = true; // false: a conflict fails it too (what it gave the caller would come twice)
    };

    Worker(DbStore *store, const Options &options);

    void add(Job job);
    void opened();
    void stop();
    void shutDown();

    // Runs on the store's thread (its signals); dropped if the store has gone.
    template<typename Function>
    void post(Function function)
    {
        QMetaObject::invokeMethod(m_store, std::move(function), Qt::QueuedConnection);
    }
    // Back on this thread, from the store's: the caller has taken a batch.
    template<typename Function>
    void resume(Function function)
    {
        QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
    }

    void changed();
    // Called, on this thread, whenever the server confirms the name.
    void confirmNameWith(std::function<void()> confirmed) { m_db->onNameConfirmed(std::move(confirmed)); }
    // Keeps a record that could not be stored, and says where.
    QString keep(const AuditRecord &record, const DbFault &fault);

private:
    void process();
    void attemptFront();
    void settle(const DbFault &fault);
    void finishFront(const DbFault &fault);
    void poll();
    void polled(const DbFault &fault, const QByteArray &print);
    void unreachable(const DbFault &fault, bool newlyWaiting = false);
    void reachable();

    DbStore *m_store;
    Options m_options;
    std::unique_ptr<PlanDatabase> m_db;
    KeptRecords m_kept;
    std::deque<Job> m_queue;
    void sayWaiting();

    QTimer *m_retry;
    QTimer *m_poll;
    QTimer *m_slow;             // while a job waits: says how long
    QElapsedTimer m_frontSince; // since the job at the head was first tried
    bool m_saidWaiting = false;
    int m_attempts = 0;
    bool m_busy = false; // a job or a poll is using the connection
    bool m_opened = false;
    bool m_unreachable = false;
    bool m_stopping = false;
    DbFault m_lastFault;
    DbFault m_frontFault; // why the job at the head was last tried again
    QByteArray m_print;
};
