// SPDX-License-Identifier: MIT
#include "store/dbworker.h"

#include <chrono>

namespace {

// How often a lost server is tried again, how soon a lock conflict is, and
// how often a running station looks for what the others did.
constexpr std::chrono::milliseconds reconnectPause {1000};
constexpr std::chrono::milliseconds busyPause {50};
constexpr std::chrono::milliseconds pollInterval {250};
// A job unanswered this long is said to wait, and again each second.
constexpr std::chrono::milliseconds slowNotice {3000};
constexpr std::chrono::milliseconds slowRepeat {1000};

} // namespace

DbStore::Worker::Worker(DbStore *store, const Options &options)
    : m_store(store)
    , m_options(options)
    , m_db(std::make_unique<PlanDatabase>(m_options.uri, PlanDatabase::Identity {m_options.station, m_options.operatorName, m_options.operatorId},
                                          m_options.limits))
    , m_kept(m_options.station, {m_options.keepFolder})
    , m_retry(new QTimer(this))
    , m_poll(new QTimer(this))
    , m_slow(new QTimer(this))
{
    m_slow->setInterval(slowRepeat);
    connect(m_slow, &QTimer::timeout, this, &Worker::sayWaiting);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, [this] { process(); });
    connect(m_poll, &QTimer::timeout, this, [this] { poll(); });
}

void DbStore::Worker::add(Job job)
{
    if (!job.waits && m_unreachable) {
        job.fail(m_lastFault);
        return;
    }
    m_queue.push_back(std::move(job));
    process();
}

void DbStore::Worker::opened()
{
    m_opened = true;
    m_poll->start(pollInterval);
}

void DbStore::Worker::stop()
{
    m_stopping = true;
    if (m_unreachable) {
        m_retry->stop();
        process();
    }
}

void DbStore::Worker::shutDown()
{
    m_retry->stop();
    m_poll->stop();
    m_slow->stop();
    m_queue.clear();
    m_db.reset(); // closes the connection: the station's name is free again
    m_kept.close();
}

void DbStore::Worker::changed()
{
    DbStore *store = m_store;
    post([store] { emit store->changed(); });
}

QString DbStore::Worker::keep(const AuditRecord &record, const DbFault &fault)
{
    const QString why = fault.kind == DbFault::Unreachable
                            ? QStringLiteral("the database cannot be reached (%1)").arg(fault.why)
                            : QStringLiteral("the database refused it (%1)").arg(fault.why);
    return m_kept.keep(record, why, {QStringLiteral("--db"), m_options.uri.display()});
}

void DbStore::Worker::process()
{
    while (!m_busy && !m_queue.empty() && !m_retry->isActive()) {
        if (m_stopping && m_unreachable) {
            finishFront(m_lastFault); // stopping: no more waiting for the server
            continue;
        }
        m_busy = true;
        if (m_db->isConnected()) {
            attemptFront();
            continue;
        }
        m_db->connect(m_options.makeTables, [this](const DbFault &fault) {
            if (fault)
                return settle(fault);
            attemptFront();
        });
    }
}

void DbStore::Worker::attemptFront()
{
    if (m_queue.empty())
        return;
    if (m_attempts == 0 && !m_slow->isActive()) {
        m_frontSince.start();
        m_slow->start();
    }
    m_queue.front().attempt(*m_db, m_attempts > 0, [this](const DbFault &fault) { settle(fault); });
}

void DbStore::Worker::settle(const DbFault &fault)
{
    m_busy = false;
    if (m_queue.empty())
        return;
    finishFront(fault);
    process();
}

void DbStore::Worker::finishFront(const DbFault &fault)
{
    const Job &job = m_queue.front();
    if (fault.kind == DbFault::Unreachable)
        unreachable(fault, m_attempts == 0);
    else if (fault.kind != DbFault::Refused)
        reachable();
    // Stopping, a job held up by a lock another session keeps (someone's
    // LOCK TABLE) gives up as one that cannot reach the server does: its
    // record is kept in a file, and the run ends.
    const bool givesUp = fault.kind == DbFault::Refused
                         || (fault.kind == DbFault::Unreachable && (!job.waits || m_stopping))
                         || (fault.kind == DbFault::Busy && (!job.again || m_stopping));
    if (fault && !givesUp) {
        m_frontFault = fault;
        ++m_attempts;
        m_retry->start(fault.kind == DbFault::Busy ? busyPause : reconnectPause);
        return;
    }
    const Job done = std::move(m_queue.front());
    m_queue.pop_front();
    m_attempts = 0;
    m_frontFault = {};
    m_slow->stop();
    if (std::exchange(m_saidWaiting, false)) {
        DbStore *store = m_store;
        post([store] { emit store->waiting(0, {}); });
    }
    if (fault)
        done.fail(fault);
}

void DbStore::Worker::sayWaiting()
{
    const qint64 waited = m_frontSince.elapsed();
    if (m_queue.empty() || waited < slowNotice.count())
        return;
    m_saidWaiting = true;
    DbStore *store = m_store;
    const int seconds = int(waited / 1000);
    const QString why = m_frontFault ? m_frontFault.why : QStringLiteral("no answer yet");
    post([store, seconds, why] { emit store->waiting(seconds, why); });
}

void DbStore::Worker::poll()
{
    if (m_busy || !m_queue.empty() || m_retry->isActive())
        return; // the queue notices the server on its own
    m_busy = true;
    const auto print = [this] {
        m_db->fingerprint([this](const DbFault &fault, const QByteArray &print) { polled(fault, print); });
    };
    if (m_db->isConnected())
        return print();
    m_db->connect(m_options.makeTables, [this, print](const DbFault &fault) {
        if (fault)
            return polled(fault, {});
        print();
    });
}

void DbStore::Worker::polled(const DbFault &fault, const QByteArray &print)
{
    m_busy = false;
    if (fault.kind == DbFault::Unreachable) {
        unreachable(fault);
    } else {
        reachable();
        if (!fault && print != m_print) {
            m_print = print;
            changed();
        }
    }
    process();
}

// Said again for each new job that has to wait: the lane that gave it
// shows that it waits.
void DbStore::Worker::unreachable(const DbFault &fault, bool newlyWaiting)
{
    m_lastFault = fault;
    if (!m_opened || (m_unreachable && !newlyWaiting))
        return; // a store that could not be opened says so once, as its refusal
    m_unreachable = true;
    DbStore *store = m_store;
    const QString why = fault.why;
    post([store, why] { emit store->reachabilityChanged(false, why); });
}

void DbStore::Worker::reachable()
{
    if (!m_unreachable)
        return;
    m_unreachable = false;
    DbStore *store = m_store;
    post([store] { emit store->reachabilityChanged(true, {}); });
}
