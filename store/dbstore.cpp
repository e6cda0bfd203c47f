// SPDX-License-Identifier: MIT
#include "store/dbstore.h"

#include "plan/auditfile.h"
#include "store/plandatabase.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>

namespace {

// How often a lost server is tried again, how soon a lock conflict is, and
// how often a running station looks for what the others did.
constexpr std::chrono::milliseconds reconnectPause {1000};
constexpr std::chrono::milliseconds busyPause {50};
constexpr std::chrono::milliseconds pollInterval {250};

} // namespace

// Lives on the store's thread and owns the connection. Jobs run in the
// order they came; one that cannot reach the server holds the queue until
// it can, so records are stored in the order they were made.
class DbStore::Worker : public QObject
{
public:
    struct Job {
        // Runs once per attempt and answers the caller itself once it
        // succeeds; retrying says an attempt came before.
        std::function<DbFault(PlanDatabase &db, bool retrying)> attempt;
        // A refusal, or giving up on a server that cannot be reached.
        std::function<void(const DbFault &fault)> fail;
        bool waits = true; // false: a server that cannot be reached fails it at once
    };

    Worker(DbStore *store, const Options &options)
        : m_store(store)
        , m_options(options)
        , m_retry(new QTimer(this))
        , m_poll(new QTimer(this))
    {
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, [this] { process(); });
        connect(m_poll, &QTimer::timeout, this, [this] { poll(); });
    }

    void add(Job job)
    {
        if (!job.waits && m_unreachable) {
            job.fail(m_lastFault);
            return;
        }
        m_queue.push_back(std::move(job));
        if (!m_retry->isActive())
            process();
    }

    void opened()
    {
        m_opened = true;
        m_poll->start(pollInterval);
    }

    void stop()
    {
        m_stopping = true;
        if (m_unreachable) {
            m_retry->stop();
            process();
        }
    }

    void shutDown()
    {
        m_retry->stop();
        m_poll->stop();
        m_queue.clear();
        m_db.reset(); // closes the connection: the station's name is free again
        m_kept.reset();
    }

    // Answers on the store's thread; dropped if the store has gone.
    template<typename Function>
    void post(Function function)
    {
        QMetaObject::invokeMethod(m_store, std::move(function), Qt::QueuedConnection);
    }

    void changed()
    {
        DbStore *store = m_store;
        post([store] { emit store->changed(); });
    }

    // Keeps a record that could not be stored, and says where.
    QString keep(const AuditRecord &record, const DbFault &fault)
    {
        const QString why = fault.kind == DbFault::Unreachable
                                ? QStringLiteral("the database cannot be reached (%1)").arg(fault.why)
                                : QStringLiteral("the database refused it (%1)").arg(fault.why);
        QString error;
        if (!m_kept) {
            QString station = m_options.station;
            station.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
            const QString name = QStringLiteral("vev-unstored-%1-%2.jsonl")
                                     .arg(station, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'hhmmsszzz")));
            for (const QString &folder : {m_options.keepFolder.isEmpty() ? QDir::currentPath() : m_options.keepFolder,
                                          QDir::tempPath()}) {
                auto file = std::make_unique<AuditFile>();
                bool broken = false;
                if (file->open(QDir(folder).filePath(name), {}, &error, &broken)) {
                    m_kept = std::move(file);
                    break;
                }
            }
        }
        if (m_kept && m_kept->append(record, &error)) {
            return QStringLiteral("%1; the record is kept in %2: add it with vev-cli audit import --db %3 %2")
                .arg(why, printable(m_kept->path()), m_options.uri.display());
        }
        return QStringLiteral("%1, and it could not be kept in a file (%2); the record was: %3")
            .arg(why, error, QString::fromUtf8(auditLine(record, firstPrev)));
    }

private:
    void process()
    {
        while (!m_queue.empty()) {
            Job &job = m_queue.front();
            DbFault fault;
            if (m_stopping && m_unreachable) {
                fault = m_lastFault; // stopping: no more waiting for the server
            } else {
                if (!m_db->isConnected())
                    fault = m_db->connect(true);
                if (!fault)
                    fault = job.attempt(*m_db, m_attempts > 0);
            }
            if (fault.kind == DbFault::Unreachable)
                unreachable(fault, m_attempts == 0);
            else if (fault.kind != DbFault::Refused)
                reachable();
            const bool givesUp = fault.kind == DbFault::Refused || (fault.kind == DbFault::Unreachable
                                                                    && (!job.waits || m_stopping));
            if (fault && !givesUp) {
                ++m_attempts;
                m_retry->start(fault.kind == DbFault::Busy ? busyPause : reconnectPause);
                return;
            }
            const Job done = std::move(job);
            m_queue.pop_front();
            m_attempts = 0;
            if (fault)
                done.fail(fault);
        }
    }

    void poll()
    {
        if (!m_queue.empty() || m_retry->isActive())
            return; // the queue notices the server on its own
        DbFault fault = m_db->isConnected() ? DbFault {} : m_db->connect(true);
        QByteArray print;
        if (!fault)
            fault = m_db->fingerprint(&print);
        if (fault.kind == DbFault::Unreachable) {
            unreachable(fault);
            return;
        }
        reachable();
        if (!fault && print != m_print) {
            m_print = print;
            changed();
        }
    }

    // Said again for each new job that has to wait: the lane that gave it
    // shows that it waits.
    void unreachable(const DbFault &fault, bool newlyWaiting = false)
    {
        m_lastFault = fault;
        if (!m_opened || (m_unreachable && !newlyWaiting))
            return; // a store that could not be opened says so once, as its refusal
        m_unreachable = true;
        DbStore *store = m_store;
        const QString why = fault.why;
        post([store, why] { emit store->reachabilityChanged(false, why); });
    }

    void reachable()
    {
        if (!m_unreachable)
            return;
        m_unreachable = false;
        DbStore *store = m_store;
        post([store] { emit store->reachabilityChanged(true, {}); });
    }

    DbStore *m_store;
    Options m_options;
    std::unique_ptr<PlanDatabase> m_db = std::make_unique<PlanDatabase>(
        m_options.uri, PlanDatabase::Identity {m_options.station, m_options.operatorName});
    std::unique_ptr<AuditFile> m_kept;
    std::deque<Job> m_queue;
    QTimer *m_retry;
    QTimer *m_poll;
    int m_attempts = 0;
    bool m_opened = false;
    bool m_unreachable = false;
    bool m_stopping = false;
    DbFault m_lastFault;
    QByteArray m_print;
};

DbStore::DbStore(Options options, QObject *parent)
    : ProvisionStore(parent)
    , m_options(std::move(options))
{
    if (m_options.station.isEmpty())
        m_options.station = QSysInfo::machineHostName();
    m_worker = new Worker(this, m_options);
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("vev-db"));
    m_thread.start();
}

DbStore::~DbStore()
{
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->shutDown(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

namespace {

template<typename Worker, typename Job>
void enqueue(Worker *worker, Job job)
{
    QMetaObject::invokeMethod(worker, [worker, job = std::move(job)]() mutable { worker->add(std::move(job)); },
                              Qt::QueuedConnection);
}

} // namespace

void DbStore::open(std::function<void(const Opened &)> done)
{
    Worker *worker = m_worker;
    const bool look = m_options.look;
    enqueue(worker, Worker::Job {
        [worker, done, look](PlanDatabase &db, bool) {
            const DbFault fault = look ? DbFault {} : db.takeStation();
            if (!fault) {
                worker->opened();
                worker->post([done] { done(Opened {true, {}, ExitCode::Ok}); });
            }
            return fault;
        },
        [worker, done](const DbFault &fault) {
            worker->post([done, fault] { done(Opened {false, fault.why, fault.code}); });
        },
        false});
}

void DbStore::claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done)
{
    Worker *worker = m_worker;
    enqueue(worker, Worker::Job {
        [worker, port, module, done](PlanDatabase &db, bool retrying) {
            Claim claim;
            const DbFault fault = db.claim(port, module, retrying, &claim);
            if (!fault) {
                worker->post([done, claim] { done(claim); });
                if (claim.kind == Claim::Fresh || claim.kind == Claim::Resume)
                    worker->changed();
            }
            return fault;
        },
        [worker, done](const DbFault &fault) {
            const QString why = fault.kind == DbFault::Unreachable
                                    ? QStringLiteral("the database cannot be reached (%1)").arg(fault.why)
                                    : fault.why;
            worker->post([done, why] { done(Claim {Claim::Failed, {}, why}); });
        }});
}

void DbStore::store(const AuditBody &body, std::function<void(const QString &)> done)
{
    // Its time is set once: an attempt after a lost answer is known by it.
    const AuditRecord record {auditTimeNow(), m_options.station, m_options.operatorName, {}, body};
    Worker *worker = m_worker;
    enqueue(worker, Worker::Job {
        [worker, record, done](PlanDatabase &db, bool retrying) {
            const DbFault fault = db.append(record, retrying);
            if (!fault) {
                worker->post([done] { done({}); });
                worker->changed();
            }
            return fault;
        },
        [worker, record, done](const DbFault &fault) {
            const QString error = worker->keep(record, fault);
            worker->post([done, error] { done(error); });
        }});
}

void DbStore::record(const OutcomeRecord &outcome, std::function<void(const QString &)> done)
{
    store(outcome, std::move(done));
}

void DbStore::unclaim(const PlanRow &row, std::function<void(const QString &)> done)
{
    store(ReleaseRecord {row.row, row.values, QStringLiteral("nothing was written")}, std::move(done));
}

void DbStore::note(const AuditBody &body, std::function<void(const QString &)> done)
{
    store(body, std::move(done));
}

void DbStore::release(int row, std::function<void(const QString &)> done)
{
    Worker *worker = m_worker;
    enqueue(worker, Worker::Job {
        [worker, row, done](PlanDatabase &db, bool) {
            SettingValues values;
            const DbFault fault = db.release(row, &values);
            if (!fault) {
                worker->post([done] { done({}); });
                worker->changed();
            }
            return fault;
        },
        [worker, done](const DbFault &fault) {
            worker->post([done, fault] { done(fault.why); });
        },
        false});
}

void DbStore::status(std::function<void(const StoreStatus &)> done)
{
    Worker *worker = m_worker;
    enqueue(worker, Worker::Job {
        [this, worker, done](PlanDatabase &db, bool) {
            StoreStatus status;
            const DbFault fault = db.status(false, &status);
            if (!fault) {
                worker->post([this, done, status] {
                    m_lastStatus = status;
                    done(status);
                });
            }
            return fault;
        },
        // While the server cannot be reached, the last status known stands.
        [this, worker, done](const DbFault &) { worker->post([this, done] { done(m_lastStatus); }); },
        false});
}

void DbStore::stopRetrying()
{
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
}
