// SPDX-License-Identifier: MIT
#include "store/dbstore.h"

#include "store/dbworker.h"
#include "store/lastline.h"

#include "protocol/wireformat.h"

#include <QSysInfo>

#include <tuple>

namespace {

// How often a running station looks at its lease.
constexpr std::chrono::milliseconds leaseCheck {200};

using Worker = DbStore::Worker;
using Answer = ProvisionStore::Answer;

using OpenedCallback = std::function<void(const ProvisionStore::Opened &)>;
using ClaimCallback = std::function<void(const ProvisionStore::Claim &)>;
using ErrorCallback = std::function<void(const QString &)>;
using StatusCallback = std::function<void(bool fresh, const StoreStatus &)>;
using ReleaseCallback = std::function<void(const Answer &, const SettingValues &)>;
using PlanStatusCallback = std::function<void(const Answer &, const StoreStatus &)>;
using PlanImportCallback = std::function<void(const Answer &, int)>;
using AuditImportCallback = std::function<void(const Answer &, int, int)>;
using ExportCallback = std::function<void(const Answer &)>;
using VerifyCallback = std::function<void(const Answer &, const AuditCheck &)>;
using RowCallback = std::function<void(const Answer &, const AuditCheck &, const QList<CheckedRecord> &)>;
using LastPassedCallback = std::function<void(const std::optional<RowEntry> &)>;

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

// What a callback that answers with an Answer first is given besides it
// when there is nothing to give.
template<typename Callback>
struct Nothing;
template<typename... Rest>
struct Nothing<std::function<void(const Answer &, Rest...)>> {
    static auto values() { return std::make_tuple(std::decay_t<Rest>()...); }
};

} // namespace

template<typename Callback>
quint64 DbStore::hold(Callback callback)
{
    m_held.insert(++m_lastHeld, std::make_shared<Callback>(std::move(callback)));
    return m_lastHeld;
}

template<typename Callback, typename... Args>
void DbStore::answer(quint64 id, Args... args)
{
    QMetaObject::invokeMethod(this, [this, id, args...] {
        const auto held = std::static_pointer_cast<Callback>(m_held.take(id));
        if (held)
            (*held)(args...);
    }, Qt::QueuedConnection);
}

template<typename Callback>
std::function<void(const DbFault &)> DbStore::refuse(quint64 id)
{
    return [this, id](const DbFault &fault) {
        std::apply([this, id, &fault](auto... nothing) { answer<Callback>(id, answerOf(fault), nothing...); },
                   Nothing<Callback>::values());
    };
}

template<typename Item>
std::function<void(const QList<Item> &, std::function<void(bool)>)> DbStore::forward(quint64 id)
{
    // However slowly the caller takes them, no more than a batch waits.
    return [this, id](const QList<Item> &items, std::function<void(bool more)> next) {
        QMetaObject::invokeMethod(this, [this, id, items, next] {
            const auto take = std::static_pointer_cast<std::function<bool(const Item &)>>(m_held.value(id));
            bool more = bool(take);
            for (auto item = items.cbegin(); more && item != items.cend(); ++item)
                more = (*take)(*item);
            m_worker->resume([next, more] { next(more); });
        }, Qt::QueuedConnection);
    };
}

DbStore::DbStore(Options options, QObject *parent)
    : ProvisionStore(parent)
    , m_options(std::move(options))
{
    if (m_options.station.isEmpty())
        m_options.station = QSysInfo::machineHostName();
    m_clock.start();
    m_worker = new Worker(this, m_options);
    m_worker->confirmNameWith([clock = m_clock, confirmed = m_confirmed] { *confirmed = clock.elapsed(); });
    m_worker->moveToThread(&m_thread);
    m_lease.setInterval(leaseCheck);
    connect(&m_lease, &QTimer::timeout, this, &DbStore::checkLease);
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

void DbStore::checkLease()
{
    const qint64 silent = m_clock.elapsed() - m_confirmed->load();
    const bool lapsed = silent > m_options.lease.count();
    if (lapsed == m_lapsed)
        return;
    m_lapsed = lapsed;
    emit ownershipLapsed(lapsed, lapsed ? QStringLiteral("%1 has not confirmed for %2 s that this station still owns "
                                                         "the name %3")
                                              .arg(m_options.uri.display())
                                              .arg(silent / 1000)
                                              .arg(printable(m_options.station))
                                        : QString());
}

void DbStore::open(std::function<void(const Opened &)> done)
{
    // A station that took its name starts its lease with it.
    done = [this, done = std::move(done)](const Opened &opened) {
        if (opened.ok && !m_options.look)
            m_lease.start();
        if (!opened.warning.isEmpty())
            emit warned(opened.warning);
        done(opened);
    };
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id, look = m_options.look](PlanDatabase &db, bool, const Worker::Finished &finished) {
            const std::function<void(const DbFault &, const QString &)> taken
                = [this, id, finished](const DbFault &fault, const QString &warning) {
                      if (!fault) {
                          m_worker->opened();
                          answer<OpenedCallback>(id, Opened {true, {}, ExitCode::Ok, warning});
                      }
                      finished(fault);
                  };
            if (look)
                return taken({}, {});
            db.takeStation([this, &db, taken](const DbFault &fault) {
                if (fault)
                    return taken(fault, {});
                startRun(db, taken);
            });
        },
        [this, id](const DbFault &fault) { answer<OpenedCallback>(id, Opened {false, fault.why, fault.code}); },
        false});
}

void DbStore::startRun(PlanDatabase &db, const std::function<void(const DbFault &, const QString &)> &taken)
{
    db.tablesId([this, &db, taken](const DbFault &fault, const QString &id) {
        if (fault)
            return taken(fault, {});
        // The audit must still end where this station left it, or be
        // accepted as it is now; from here on each line it stores is
        // remembered.
        const LastLineMemory memory(m_options.memoryFolder, id, m_options.uri, m_options.station);
        QString error;
        const auto remembered = memory.read(&error);
        if (!error.isEmpty() && !m_options.acceptFrom) {
            return taken(DbFault::refused(error + QStringLiteral("; nothing was sent: start once with "
                                                                 "--accept-audit-from SEQ:HASH to go on from the "
                                                                 "audit as it is"),
                                          ExitCode::AuditBroken), {});
        }
        db.onLineStored([this, memory](const AuditMark &mark) {
            QString error;
            if (!memory.write(mark, &error) && !std::exchange(m_memoryFailed, true))
                emit warned(error + QStringLiteral("; the next start cannot check that the audit still ends here"));
        });
        db.checkLastLine(remembered, m_options.acceptFrom, [&db, taken](const DbFault &fault) {
            if (fault)
                return taken(fault, {});
            warnOwner(db, taken);
        });
    });
}

void DbStore::warnOwner(PlanDatabase &db, const std::function<void(const DbFault &, const QString &)> &taken)
{
    // A station whose login owns the tables could drop their guards and
    // rewrite the audit: said once, at the start. Not knowing is no reason
    // to stop.
    db.ownsTables([&db, taken](const DbFault &, const QString &login) {
        if (login.isEmpty())
            return taken({}, {});
        taken({}, QStringLiteral("the station logs in to %1 as %2, which owns its tables and could rewrite the audit: "
                                 "give the stations a role of their own (vev-cli db init --station-role)")
                      .arg(db.uri().display(), printable(login)));
    });
}

void DbStore::claim(const QString &port, const SettingValues &module, const QString &serial,
                    std::function<void(const Claim &)> done)
{
    const quint64 id = hold(std::move(done));
    const PlanDatabase::UnitClaim unit {serial, m_options.maxAttempts};
    enqueue(m_worker, Worker::Job {
        [this, id, port, module, unit](PlanDatabase &db, bool retrying, const Worker::Finished &finished) {
            db.claim(port, module, unit, retrying, [this, id, finished](const DbFault &fault, const Claim &claim) {
                if (!fault) {
                    answer<ClaimCallback>(id, claim);
                    if (claim.kind == Claim::Fresh || claim.kind == Claim::Resume)
                        m_worker->changed();
                }
                finished(fault);
            });
        },
        [this, id](const DbFault &fault) {
            const QString why = fault.kind == DbFault::Unreachable
                                    ? QStringLiteral("the database cannot be reached (%1)").arg(fault.why)
                                    : fault.why;
            answer<ClaimCallback>(id, Claim {Claim::Failed, {}, why});
        }});
}

void DbStore::store(const AuditBody &body, std::function<void(const QString &)> done)
{
    // Its time is set once: an attempt after a lost answer is known by it.
    const AuditRecord record {auditTimeNow(), m_options.station, m_options.operatorName, {}, body, m_options.operatorId};
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id, record](PlanDatabase &db, bool retrying, const Worker::Finished &finished) {
            db.append(record, retrying, [this, id, &db, finished](const DbFault &fault) {
                if (!fault) {
                    // Stored, and the row may be on two modules: nothing more
                    // may be written until someone looks. Said before the
                    // record's answer, which may end the run (--once).
                    if (const QString conflict = db.takeConflict(); !conflict.isEmpty())
                        m_worker->post([this, conflict] { emit compromised(conflict, ExitCode::RowOnTwoModules); });
                    answer<ErrorCallback>(id, QString());
                    m_worker->changed();
                }
                finished(fault);
            });
        },
        [this, id, record](const DbFault &fault) { answer<ErrorCallback>(id, m_worker->keep(record, fault)); }});
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

void DbStore::release(int row, const Signer &supervisor, std::function<void(const Answer &, const SettingValues &)> done)
{
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id, row, supervisor](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.release(row, supervisor, [this, id, finished](const DbFault &fault, const SettingValues &values) {
                if (!fault) {
                    answer<ReleaseCallback>(id, Answer(), values);
                    m_worker->changed();
                }
                finished(fault);
            });
        },
        refuse<ReleaseCallback>(id), false});
}

void DbStore::status(std::function<void(const StoreStatus &)> done)
{
    // While the server cannot be reached, the last status known stands.
    const quint64 id = hold(StatusCallback([this, done](bool fresh, const StoreStatus &status) {
        if (fresh)
            m_lastStatus = status;
        done(m_lastStatus);
    }));
    enqueue(m_worker, Worker::Job {
        [this, id](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.status(false, [this, id, finished](const DbFault &fault, const StoreStatus &status) {
                if (!fault)
                    answer<StatusCallback>(id, true, status);
                finished(fault);
            });
        },
        [this, id](const DbFault &) { answer<StatusCallback>(id, false, StoreStatus()); },
        false});
}

void DbStore::lastPassed(const QString &port, std::function<void(const std::optional<RowEntry> &)> done)
{
    const quint64 id = hold(LastPassedCallback(std::move(done)));
    enqueue(m_worker, Worker::Job {
        [this, id, port](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.lastPassed(port, [this, id, finished](const DbFault &fault, const std::optional<RowEntry> &entry) {
                if (!fault)
                    answer<LastPassedCallback>(id, entry);
                finished(fault);
            });
        },
        [this, id](const DbFault &) { answer<LastPassedCallback>(id, std::nullopt); },
        false});
}

void DbStore::stopRetrying()
{
    Worker *worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->stop(); }, Qt::QueuedConnection);
}

void DbStore::planStatus(std::function<void(const Answer &, const StoreStatus &)> done)
{
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.status(true, [this, id, finished](const DbFault &fault, const StoreStatus &status) {
                if (!fault)
                    answer<PlanStatusCallback>(id, Answer(), status);
                finished(fault);
            });
        },
        refuse<PlanStatusCallback>(id), false});
}

void DbStore::importPlan(const std::shared_ptr<PlanReader> &plan, bool forced, std::function<void(const Answer &, int)> done)
{
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id, plan, forced](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.importPlan(plan, forced, [this, id, finished](const DbFault &fault, int first) {
                if (!fault) {
                    answer<PlanImportCallback>(id, Answer(), first);
                    m_worker->changed();
                }
                finished(fault);
            });
        },
        refuse<PlanImportCallback>(id), false});
}

void DbStore::importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done)
{
    const quint64 id = hold(std::move(done));
    enqueue(m_worker, Worker::Job {
        [this, id, records](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.importRecords(records, [this, id, finished](const DbFault &fault, int added, int present) {
                if (!fault) {
                    answer<AuditImportCallback>(id, Answer(), added, present);
                    m_worker->changed();
                }
                finished(fault);
            });
        },
        refuse<AuditImportCallback>(id), false});
}

void DbStore::exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done)
{
    const quint64 take = hold(std::function<bool(const QByteArray &)>(std::move(line)));
    const quint64 id = hold(ExportCallback([this, take, done](const Answer &answer) {
        m_held.remove(take);
        done(answer);
    }));
    enqueue(m_worker, Worker::Job {
        [this, id, take](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.readAudit(forward<QByteArray>(take), [this, id, finished](const DbFault &fault) {
                if (!fault)
                    answer<ExportCallback>(id, Answer());
                finished(fault);
            });
        },
        refuse<ExportCallback>(id), false, false});
}

void DbStore::verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                          std::function<void(const Answer &, const AuditCheck &)> done)
{
    const quint64 take = visit ? hold(std::function<bool(const CheckedRecord &)>([visit](const CheckedRecord &checked) {
                                     visit(checked.record, checked.line);
                                     return true;
                                 }))
                               : 0;
    const quint64 id = hold(VerifyCallback([this, take, done](const Answer &answer, const AuditCheck &check) {
        m_held.remove(take);
        done(answer, check);
    }));
    enqueue(m_worker, Worker::Job {
        [this, id, take, lastHash](PlanDatabase &db, bool, const Worker::Finished &finished) {
            const auto batch = take > 0 ? forward<CheckedRecord>(take) : PlanDatabase::Batch<CheckedRecord>();
            db.verifyAudit(lastHash, batch, [this, id, finished](const DbFault &fault, const AuditCheck &check) {
                if (!fault)
                    answer<VerifyCallback>(id, Answer(), check);
                finished(fault);
            });
        },
        refuse<VerifyCallback>(id), false, false});
}

void DbStore::verifyRow(int row, const AuditVisitor &visit, std::function<void(const Answer &, const AuditCheck &)> done)
{
    const quint64 id = hold(RowCallback([visit, done](const Answer &answer, const AuditCheck &check,
                                                      const QList<CheckedRecord> &records) {
        for (const CheckedRecord &checked : records) {
            if (visit)
                visit(checked.record, checked.line);
        }
        done(answer, check);
    }));
    enqueue(m_worker, Worker::Job {
        [this, id, row](PlanDatabase &db, bool, const Worker::Finished &finished) {
            db.verifyRow(row, [this, id, finished](const DbFault &fault, const AuditCheck &check,
                                                   const QList<CheckedRecord> &records) {
                if (!fault)
                    answer<RowCallback>(id, Answer(), check, records);
                finished(fault);
            });
        },
        refuse<RowCallback>(id), false});
}
