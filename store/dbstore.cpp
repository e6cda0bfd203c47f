// SPDX-License-Identifier: MIT
#include "store/dbstore.h"

#include "store/dbworker.h"

#include <QSysInfo>

namespace {

using Worker = DbStore::Worker;
using Answer = ProvisionStore::Answer;

void enqueue(Worker *worker, Worker::Job job)
{
    QMetaObject::invokeMethod(worker, [worker, job = std::move(job)]() mutable { worker->add(std::move(job)); },
                              Qt::QueuedConnection);
}

Answer answerOf(const DbFault &fault)
{
    if (!fault)
        return {};
    return {fault.why, fault.kind == DbFault::Refused ? fault.code : ExitCode::Failure};
}

// Answers the caller with why a job failed.
template<typename... Rest>
std::function<void(const DbFault &)> failWith(Worker *worker, std::function<void(const Answer &, Rest...)> done)
{
    return [worker, done](const DbFault &fault) {
        worker->post([done, answer = answerOf(fault)] { done(answer, std::decay_t<Rest>()...); });
    };
}

// Hands each batch to the caller's thread, and asks for the next once the
// caller has taken it: however slowly the caller takes them, no more than
// a batch waits.
template<typename Item>
PlanDatabase::Batch<Item> forwarded(Worker *worker, std::function<bool(const Item &)> take)
{
    return [worker, take](const QList<Item> &items, std::function<void(bool more)> next) {
        worker->post([worker, items, take, next] {
            bool more = true;
            for (const Item &item : items) {
                if (!take(item)) {
                    more = false;
                    break;
                }
            }
            worker->resume([next, more] { next(more); });
        });
    };
}

} // namespace

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
    // Nothing on the worker's thread blocks (every wait is on the event
    // loop, under a time bound): it takes this at once.
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->shutDown(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

ProvisionStore::Place DbStore::place() const
{
    const QString where = m_options.uri.display();
    return {QStringLiteral("Plan in %1").arg(where), {{QStringLiteral("database"), where}},
            QStringLiteral("vev_audit in %1").arg(where)};
}

void DbStore::open(std::function<void(const Opened &)> done)
{
    const bool look = m_options.look;
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, done, look](PlanDatabase &db, bool, const Worker::Finished &finished) {
            const auto taken = [worker, done, finished](const DbFault &fault) {
                if (!fault) {
                    worker->opened();
                    worker->post([done] { done(Opened {true, {}, ExitCode::Ok}); });
                }
                finished(fault);
            };
            if (look)
                return taken({});
            db.takeStation(taken);
        },
        [worker = m_worker, done](const DbFault &fault) {
            worker->post([done, fault] { done(Opened {false, fault.why, fault.code}); });
        },
        false});
}

void DbStore::claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done)
{
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, port, module, done](PlanDatabase &db, bool retrying, const Worker::Finished &finished) {
            db.claim(port, module, retrying, [worker, done, finished](const DbFault &fault, const Claim &claim) {
                if (!fault) {
                    worker->post([done, claim] { done(claim); });
                    if (claim.kind == Claim::Fresh || claim.kind == Claim::Resume)
                        worker->changed();
                }
                finished(fault);
            });
        },
        [worker = m_worker, done](const DbFault &fault) {
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
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, record, done](PlanDatabase &db, bool retrying, const Worker::Finished &finished) {
            db.append(record, retrying, [worker, done, finished](const DbFault &fault) {
                if (!fault) {
                    worker->post([done] { done({}); });
                    worker->changed();
                }
                finished(fault);
            });
        },
        [worker = m_worker, record, done](const DbFault &fault) {
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

void DbStore::release(int row, std::function<void(const Answer &, const SettingValues &)> done)
{
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, row, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.release(row, [worker, done, finished](const DbFault &fault, const SettingValues &values) {
                if (!fault) {
                    worker->post([done, values] { done({}, values); });
                    worker->changed();
                }
                finished(fault);
            });
        },
        failWith(m_worker, done), false});
}

void DbStore::status(std::function<void(const StoreStatus &)> done)
{
    enqueue(m_worker, Worker::Job {
        [this, worker = m_worker, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.status(false, [this, worker, done, finished](const DbFault &fault, const StoreStatus &status) {
                if (!fault) {
                    worker->post([this, done, status] {
                        m_lastStatus = status;
                        done(status);
                    });
                }
                finished(fault);
            });
        },
        // While the server cannot be reached, the last status known stands.
        [this, worker = m_worker, done](const DbFault &) { worker->post([this, done] { done(m_lastStatus); }); },
        false});
}

void DbStore::stopRetrying()
{
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
}

void DbStore::planStatus(std::function<void(const Answer &, const StoreStatus &)> done)
{
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.status(true, [worker, done, finished](const DbFault &fault, const StoreStatus &status) {
                if (!fault)
                    worker->post([done, status] { done({}, status); });
                finished(fault);
            });
        },
        failWith(m_worker, done), false});
}

void DbStore::importPlan(const QList<PlanRow> &rows, bool forced, std::function<void(const Answer &, int)> done)
{
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, rows, forced, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.importPlan(rows, forced, [worker, done, finished](const DbFault &fault, int first) {
                if (!fault) {
                    worker->post([done, first] { done({}, first); });
                    worker->changed();
                }
                finished(fault);
            });
        },
        failWith(m_worker, done), false});
}

void DbStore::importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done)
{
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, records, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.importRecords(records, [worker, done, finished](const DbFault &fault, int added, int present) {
                if (!fault) {
                    worker->post([done, added, present] { done({}, added, present); });
                    worker->changed();
                }
                finished(fault);
            });
        },
        failWith(m_worker, done), false});
}

void DbStore::exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done)
{
    const std::function<bool(const AuditRow &)> take = [line](const AuditRow &row) { return line(row.line); };
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, take, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.readAudit(forwarded(worker, take), [worker, done, finished](const DbFault &fault) {
                if (!fault)
                    worker->post([done] { done({}); });
                finished(fault);
            });
        },
        failWith(m_worker, done), false, false});
}

void DbStore::verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                          std::function<void(const Answer &, const AuditCheck &)> done)
{
    std::function<bool(const CheckedRecord &)> take;
    if (visit) {
        take = [visit](const CheckedRecord &checked) {
            visit(checked.record, checked.line);
            return true;
        };
    }
    enqueue(m_worker, Worker::Job {
        [worker = m_worker, lastHash, take, done](PlanDatabase &db, bool, const Worker::Finished &finished) {
            const PlanDatabase::Batch<CheckedRecord> batch = take ? forwarded(worker, take)
                                                                  : PlanDatabase::Batch<CheckedRecord>();
            db.verifyAudit(lastHash, batch, [worker, done, finished](const DbFault &fault, const AuditCheck &check) {
                if (!fault)
                    worker->post([done, check] { done({}, check); });
                finished(fault);
            });
        },
        failWith(m_worker, done), false, false});
}
