// SPDX-License-Identifier: MIT
#include "store/filestore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

namespace {

QString lockPath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// Who holds a lock another run took, as its lock file names it.
QString holderOf(QLockFile &lock)
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!lock.getLockInfo(&pid, &host, &application))
        return QStringLiteral("another run");
    return holderText(application, pid, host);
}

} // namespace

FileStore::FileStore(Options options, QObject *parent)
    : ProvisionStore(parent)
    , m_options(std::move(options))
{
    if (m_options.station.isEmpty())
        m_options.station = QSysInfo::machineHostName();
}

FileStore::~FileStore() = default;

QString FileStore::description() const
{
    return printable(m_options.auditPath);
}

QString FileStore::lockHolder(const QString &path)
{
    QLockFile lock(lockPath(path));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return {};
    }
    if (lock.error() != QLockFile::LockFailedError)
        return {};
    return holderOf(lock);
}

bool FileStore::takeLock(std::unique_ptr<QLockFile> &lock, const QString &path, const char *what, Opened *opened)
{
    lock = std::make_unique<QLockFile>(lockPath(path));
    // A run holds its files for hours: only a holder that has died (on this
    // computer) gives its lock up, never age alone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return true;
    opened->ok = false;
    if (lock->error() == QLockFile::LockFailedError) {
        opened->error = QStringLiteral("the %1 %2 is held by another run (%3); nothing was sent")
                            .arg(QLatin1String(what), printable(path), holderOf(*lock));
        opened->code = ExitCode::Held;
    } else {
        opened->error = QStringLiteral("cannot lock the %1 %2: %3 cannot be created beside it")
                            .arg(QLatin1String(what), printable(path), printable(lockPath(path)));
        opened->code = ExitCode::Failure;
    }
    lock.reset();
    return false;
}

void FileStore::open(std::function<void(const Opened &)> done)
{
    Opened opened;
    if (m_options.lock && (!takeLock(m_planLock, m_options.planPath, "plan", &opened)
                           || !takeLock(m_auditLock, m_options.auditPath, "audit", &opened))) {
        m_planLock.reset();
        return done(opened);
    }
    const auto fail = [&](const QString &error, ExitCode code) {
        m_planLock.reset();
        m_auditLock.reset();
        done(Opened {false, error, code});
    };

    QString error;
    const auto rows = readPlan(m_options.planPath, &error, m_options.force);
    if (!rows)
        return fail(error, ExitCode::Usage);
    m_book.setPlan(*rows);

    const AuditVisitor replay = [this](const AuditRecord &record, int line) {
        m_book.apply(record, line);
        remember(record);
    };
    if (m_options.lock) {
        bool broken = false;
        if (!m_audit.open(m_options.auditPath, replay, &error, &broken))
            return fail(error, broken ? ExitCode::AuditBroken : ExitCode::Failure);
    } else if (QFileInfo::exists(m_options.auditPath) || !notAnAuditFile(m_options.auditPath).isEmpty()) {
        const AuditCheck check = ::verifyAudit(m_options.auditPath, replay);
        if (check.unreadable)
            return fail(check.why, ExitCode::Failure);
        if (check.firstBad > 0) {
            return fail(QStringLiteral("the audit %1 is broken at line %2: %3")
                            .arg(printable(m_options.auditPath)).arg(check.firstBad).arg(check.why),
                        ExitCode::AuditBroken);
        }
    }
    if (const auto conflict = m_book.conflict(QStringLiteral("the plan's"), QStringLiteral("the audit's")))
        return fail(*conflict + QStringLiteral("; nothing was sent"), ExitCode::Usage);
    m_open = true;
    done(Opened {true, {}, ExitCode::Ok});
}

PlanRow FileStore::rowOf(int entry) const
{
    const RowEntry &row = m_book.entry(entry);
    return PlanRow {row.row, row.planLine, row.values};
}

QString FileStore::append(const AuditBody &body)
{
    if (!m_open || !m_options.lock)
        return QStringLiteral("the store is not open for writing");
    AuditRecord record;
    record.time = auditTimeNow();
    record.station = m_options.station;
    record.operatorName = m_options.operatorName;
    record.body = body;
    QString error;
    if (!m_audit.append(record, &error))
        return error;
    m_book.apply(record, m_audit.lines());
    remember(record);
    return {};
}

void FileStore::remember(const AuditRecord &record)
{
    if (!std::holds_alternative<OutcomeRecord>(record.body))
        return;
    m_recent.append(record);
    if (m_recent.size() > StoreStatus::recentCount)
        m_recent.removeFirst();
}

void FileStore::claim(const QString &port, const SettingValues &module, std::function<void(const Claim &)> done)
{
    const PlanBook::Verdict verdict = m_book.classify(module);
    switch (verdict.kind) {
    case PlanBook::Verdict::NothingOpen:
        return done(Claim {Claim::NothingOpen, {}, {}});
    case PlanBook::Verdict::HoldsPassed:
        return done(Claim {Claim::HoldsPassed, rowOf(verdict.entry), {}});
    case PlanBook::Verdict::Conflict:
        return done(Claim {Claim::Conflict, rowOf(verdict.entry), {}, verdict.conflict});
    case PlanBook::Verdict::Fresh:
    case PlanBook::Verdict::Resume:
        break;
    }
    const PlanRow row = rowOf(verdict.entry);
    const QString error = append(ClaimRecord {row.row, port, module, row.values, m_options.force, verdict.partOf});
    if (!error.isEmpty())
        return done(Claim {Claim::Failed, row, error});
    m_book.hold(verdict.entry);
    emit changed();
    done(Claim {verdict.kind == PlanBook::Verdict::Fresh ? Claim::Fresh : Claim::Resume, row, {},
                PlanBook::Conflict::None, verdict.partOf});
}

void FileStore::record(const OutcomeRecord &outcome, std::function<void(const QString &)> done)
{
    const int entry = m_book.find(outcome.written);
    const QString error = append(outcome);
    // Stored or not, the lane is done with it; unstored, its claim keeps it
    // in doubt.
    if (entry >= 0)
        m_book.letGo(entry);
    settled(error);
    done(error);
}

void FileStore::unclaim(const PlanRow &row, std::function<void(const QString &)> done)
{
    const int entry = m_book.find(row.values);
    const QString error = append(ReleaseRecord {row.row, row.values, QStringLiteral("nothing was written")});
    if (entry >= 0)
        m_book.letGo(entry);
    settled(error);
    done(error);
}

void FileStore::release(int row, std::function<void(const Answer &, const SettingValues &)> done)
{
    const int entry = m_book.entryOfRow(row);
    if (entry < 0)
        return done({noSuchRowText(row, QString::number(m_book.rows())), ExitCode::Usage}, {});
    const RowEntry &held = m_book.entry(entry);
    if (!held.inDoubt()) {
        return done({notInDoubtText(row, held.inHand ? QStringLiteral("being written") : rowStateText(held.state)),
                     ExitCode::Usage}, {});
    }
    const SettingValues values = held.values;
    const QString error = append(ReleaseRecord {row, values, QStringLiteral("released by the operator")});
    settled(error);
    done({error, error.isEmpty() ? ExitCode::Ok : ExitCode::Failure}, values);
}

void FileStore::note(const AuditBody &body, std::function<void(const QString &)> done)
{
    const QString error = append(body);
    settled(error);
    done(error);
}

void FileStore::settled(const QString &error)
{
    // Once the book agrees with the audit: a claim or an outcome is never
    // seen half applied.
    if (error.isEmpty())
        emit changed();
}

void FileStore::status(std::function<void(const StoreStatus &)> done)
{
    StoreStatus status;
    status.rows = m_book.rows();
    status.open = m_book.count(RowState::Open);
    status.passed = m_book.count(RowState::Passed);
    status.failed = m_book.count(RowState::Failed);
    status.inHand = m_book.inHand();
    status.claimed = m_book.claimedNotInHand();
    for (const int entry : m_book.inDoubt())
        status.inDoubt << m_book.entry(entry);
    for (auto it = m_recent.crbegin(); it != m_recent.crend(); ++it)
        status.recent << *it;
    if (!m_options.lock) {
        status.holder = lockHolder(m_options.auditPath);
        if (status.holder.isEmpty())
            status.holder = lockHolder(m_options.planPath);
    }
    done(status);
}

ProvisionStore::Place FileStore::place() const
{
    return {QStringLiteral("Plan %1, audit %2").arg(printable(m_options.planPath), printable(m_options.auditPath)),
            {{QStringLiteral("plan"), m_options.planPath}, {QStringLiteral("audit"), m_options.auditPath}},
            printable(m_options.auditPath)};
}

void FileStore::planStatus(std::function<void(const Answer &, const StoreStatus &)> done)
{
    status([done](const StoreStatus &status) { done({}, status); });
}

void FileStore::exportAudit(std::function<bool(const QByteArray &)> line, std::function<void(const Answer &)> done)
{
    const QString refusal = notAnAuditFile(m_options.auditPath);
    if (!refusal.isEmpty())
        return done({refusal, ExitCode::Failure});
    QFile file(m_options.auditPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return done({QStringLiteral("cannot read the audit %1: %2").arg(printable(m_options.auditPath), file.errorString()),
                     ExitCode::Failure});
    }
    while (!file.atEnd()) {
        QByteArray text = file.readLine();
        if (text.endsWith('\n'))
            text.chop(1);
        if (!line(text))
            break;
    }
    done({});
}

void FileStore::verifyAudit(const QByteArray &lastHash, const AuditVisitor &visit,
                            std::function<void(const Answer &, const AuditCheck &)> done)
{
    const AuditCheck check = ::verifyAudit(m_options.auditPath, visit, lastHash);
    done(check.unreadable ? Answer {check.why, ExitCode::Failure} : Answer {}, check);
}

void FileStore::importPlan(const QList<PlanRow> &, bool, std::function<void(const Answer &, int)> done)
{
    done({QStringLiteral("plan import works on a database several stations share: give --db URI"), ExitCode::Usage}, 0);
}

void FileStore::importAudit(const QList<AuditRecord> &, std::function<void(const Answer &, int, int)> done)
{
    done({QStringLiteral("audit import works on a database several stations share: give --db URI"), ExitCode::Usage}, 0, 0);
}
