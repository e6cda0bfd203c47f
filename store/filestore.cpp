// SPDX-License-Identifier: MIT
#include "store/filestore.h"

#include <QFileInfo>
#include <QSet>
#include <QSysInfo>

namespace {

// A record as the database store knows it too: its time (to the
// millisecond), station, kind and row.
QString recordKey(const AuditRecord &record)
{
    return QStringList {record.time, record.station, kindName(record.body), QString::number(recordRow(record.body))}
        .join(QLatin1Char('\n'));
}

} // namespace

FileStore::FileStore(Options options, QObject *parent)
    : ProvisionStore(parent)
    , m_options(std::move(options))
    , m_kept(m_options.station.isEmpty() ? QSysInfo::machineHostName() : m_options.station,
             {QFileInfo(m_options.auditPath).absolutePath()})
{
    if (m_options.station.isEmpty())
        m_options.station = QSysInfo::machineHostName();
    m_watch.setInterval(watchInterval);
    connect(&m_watch, &QTimer::timeout, this, &FileStore::sound);
}

FileStore::~FileStore() = default;

QString FileStore::description() const
{
    return printable(m_options.auditPath);
}

QString FileStore::lockHolder(const QString &path)
{
    return FileHold::holder(path);
}

bool FileStore::hold(FileHold &file, const QString &path, bool audit, Opened *opened)
{
    const QString what = audit ? QStringLiteral("audit") : QStringLiteral("plan");
    QString why;
    switch (file.take(path, audit, &why)) {
    case FileHold::Taken::Yes:
        return true;
    case FileHold::Taken::Held:
        *opened = {false,
                   QStringLiteral("the %1 %2 is held by another run%3; nothing was sent")
                       .arg(what, printable(path), why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)),
                   ExitCode::Held};
        return false;
    case FileHold::Taken::CannotLock:
        *opened = {false,
                   QStringLiteral("cannot lock the %1 %2: %3; its file system keeps no locks, so a second run could "
                                  "not be kept off it; keep the plan and the audit on a local disk")
                       .arg(what, printable(path), why),
                   ExitCode::Failure};
        return false;
    case FileHold::Taken::CannotOpen:
        break;
    }
    // A plan that cannot be read is the plan's fault, as readPlan says it.
    *opened = audit ? Opened {false, QStringLiteral("cannot open the audit %1: %2").arg(printable(path), why),
                              ExitCode::Failure}
                    : Opened {false, QStringLiteral("cannot read %1: %2").arg(printable(path), why), ExitCode::Usage};
    return false;
}

bool FileStore::openAudit(const AuditVisitor &replay, Opened *opened)
{
    QString error;
    bool broken = false;
    if (!m_audit.open(m_options.auditPath, replay, &error, &broken)) {
        *opened = {false, error, broken ? ExitCode::AuditBroken : ExitCode::Failure};
        return false;
    }
    // Opened by name after the lock was taken: the name must still lead to
    // the file locked.
    if (!m_auditFile.holds(m_audit.handle())) {
        *opened = {false, QStringLiteral("the audit %1 was replaced while it was being opened; nothing was sent")
                              .arg(printable(m_options.auditPath)), ExitCode::FilesChanged};
        return false;
    }
    return true;
}

void FileStore::open(std::function<void(const Opened &)> done)
{
    Opened opened;
    const auto fail = [&](const Opened &why) {
        m_planFile.release();
        m_auditFile.discard();
        done(why);
    };
    if (m_options.lock) {
        if (!hold(m_planFile, m_options.planPath, false, &opened))
            return fail(opened);
        // Else held twice by this very run, and refused as held by another.
        if (m_planFile.isReachedBy(m_options.auditPath)) {
            return fail({false, QStringLiteral("the audit %1 is the plan's own file; nothing was sent")
                                    .arg(printable(m_options.auditPath)), ExitCode::Usage});
        }
        if (!hold(m_auditFile, m_options.auditPath, true, &opened))
            return fail(opened);
    }

    QString error;
    const auto rows = readPlan(m_options.planPath, &error, m_options.force);
    if (!rows)
        return fail({false, error, ExitCode::Usage});
    m_book.setPlan(*rows);

    const AuditVisitor replay = [this](const AuditRecord &record, int line) {
        m_book.apply(record, line);
        remember(record);
    };
    if (m_options.lock) {
        if (!openAudit(replay, &opened))
            return fail(opened);
    } else if (QFileInfo::exists(m_options.auditPath) || !notAnAuditFile(m_options.auditPath).isEmpty()) {
        const AuditCheck check = ::verifyAudit(m_options.auditPath, replay);
        if (check.unreadable)
            return fail({false, check.why, ExitCode::Failure});
        if (check.firstBad > 0) {
            return fail({false, QStringLiteral("the audit %1 is broken at line %2: %3")
                                    .arg(printable(m_options.auditPath)).arg(check.firstBad).arg(check.why),
                         ExitCode::AuditBroken});
        }
    }
    if (const auto conflict = m_book.conflict(QStringLiteral("the plan's"), QStringLiteral("the audit's")))
        return fail({false, *conflict + QStringLiteral("; nothing was sent"), ExitCode::Usage});
    if (m_options.lock) {
        // The plan was read by its name: still the file held?
        if (const QString changed = changeText(); !changed.isEmpty())
            return fail({false, changed + QStringLiteral("; nothing was sent"), ExitCode::FilesChanged});
        m_watch.start();
    }
    m_open = true;
    done(Opened {true, {}, ExitCode::Ok});
}

QString FileStore::changeText() const
{
    const std::pair<const FileHold &, qint64> files[] = {{m_planFile, -1}, {m_auditFile, m_audit.size()}};
    for (const auto &[file, size] : files) {
        const FileHold::Change change = file.change(size);
        const bool plan = &file == &m_planFile;
        const QString name = QStringLiteral("the %1 %2").arg(plan ? QStringLiteral("plan") : QStringLiteral("audit"),
                                                            printable(plan ? m_options.planPath : m_options.auditPath));
        switch (change.kind) {
        case FileHold::Change::None:
            continue;
        case FileHold::Change::Gone:
            return name + QStringLiteral(" was removed or renamed away (or can no longer be reached)");
        case FileHold::Change::Replaced:
            return name + QStringLiteral(" was replaced: its name now leads to another file (saved over by an editor "
                                         "or a sync tool?)");
        case FileHold::Change::Truncated:
            return name + QStringLiteral(" was truncated: it has %1 bytes, where this run left %2")
                              .arg(change.size).arg(size);
        case FileHold::Change::Grown:
            return name + QStringLiteral(" was grown by another writer: it has %1 bytes, where this run left %2")
                              .arg(change.size).arg(size);
        }
    }
    return {};
}

bool FileStore::sound()
{
    if (!m_compromise.isEmpty())
        return false;
    if (!m_open || !m_options.lock)
        return true;
    const QString changed = changeText();
    if (changed.isEmpty())
        return true;
    m_compromise = changed;
    m_watch.stop();
    emit compromised(m_compromise, ExitCode::FilesChanged);
    return false;
}

QString FileStore::keep(const AuditRecord &record)
{
    return m_kept.keep(record, m_compromise,
                       {QStringLiteral("--plan"), m_options.planPath, QStringLiteral("--audit"), m_options.auditPath},
                       QStringLiteral("once the audit is sound again"));
}

PlanRow FileStore::rowOf(int entry) const
{
    const RowEntry &row = m_book.entry(entry);
    return PlanRow {row.row, row.planLine, row.values};
}

QString FileStore::append(const AuditBody &body, bool keepIfChanged)
{
    if (!m_open || !m_options.lock)
        return QStringLiteral("the store is not open for writing");
    AuditRecord record;
    record.time = auditTimeNow();
    record.station = m_options.station;
    record.operatorName = m_options.operatorName;
    record.operatorId = m_options.operatorId;
    record.body = body;
    if (!sound())
        return keepIfChanged ? keep(record) : m_compromise;
    QString error;
    if (!m_audit.append(record, &error))
        return error;
    // Changed while the line went out: it may be in a file that is no
    // longer the audit.
    if (!sound())
        return keepIfChanged ? keep(record) : m_compromise;
    m_book.apply(record, m_audit.lines());
    remember(record);
    return {};
}

void FileStore::remember(const AuditRecord &record)
{
    m_units.apply(record);
    if (!std::holds_alternative<OutcomeRecord>(record.body))
        return;
    m_recent.append(record);
    if (m_recent.size() > StoreStatus::recentCount)
        m_recent.removeFirst();
}

void FileStore::claim(const QString &port, const SettingValues &module, const QString &serial,
                      std::function<void(const Claim &)> done)
{
    if (!sound())
        return done(Claim {Claim::Failed, {}, m_compromise});
    const PlanBook::Verdict verdict = m_book.classify(module);
    switch (verdict.kind) {
    case PlanBook::Verdict::NothingOpen:
        return done(Claim {Claim::NothingOpen, {}, {}});
    case PlanBook::Verdict::Conflict:
        return done(Claim {Claim::Conflict, rowOf(verdict.entry), {}, verdict.conflict});
    case PlanBook::Verdict::HoldsPassed:
    case PlanBook::Verdict::Fresh:
    case PlanBook::Verdict::Resume:
        break;
    }
    const PlanRow row = rowOf(verdict.entry);
    // A fresh row is the unit's first: no row of its own yet.
    const int unitRow = verdict.kind == PlanBook::Verdict::Fresh ? 0 : row.row;
    const bool writes = verdict.kind != PlanBook::Verdict::HoldsPassed;
    const UnitVerdict unit = judgeUnit(serial, unitRow, writes, m_units.facts(serial, unitRow), m_options.maxAttempts);
    if (auto refused = unitRefusal(unit, row))
        return done(*refused);
    if (!writes)
        return done(Claim {Claim::HoldsPassed, row, {}});
    // A claim is never kept aside: refused, nothing is written.
    const QString error = append(ClaimRecord {row.row, port, module, row.values, m_options.force, verdict.partOf, serial},
                                 false);
    if (!error.isEmpty())
        return done(Claim {Claim::Failed, row, error});
    m_book.hold(verdict.entry);
    emit changed();
    done(Claim {verdict.kind == PlanBook::Verdict::Fresh ? Claim::Fresh : Claim::Resume, row, {},
                PlanBook::Conflict::None, verdict.partOf, m_book.entry(verdict.entry).macsBefore, unit.attempt});
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

void FileStore::release(int row, const Signer &supervisor, std::function<void(const Answer &, const SettingValues &)> done)
{
    if (!sound())
        return done({m_compromise, ExitCode::FilesChanged}, {});
    const int entry = m_book.entryOfRow(row);
    if (entry < 0)
        return done({noSuchRowText(row, QString::number(m_book.rows())), ExitCode::Usage}, {});
    const RowEntry &held = m_book.entry(entry);
    if (!held.inDoubt()) {
        return done({notInDoubtText(row, held.inHand ? QStringLiteral("being written") : rowStateText(held.state)),
                     ExitCode::Usage}, {});
    }
    const SettingValues values = held.values;
    const QString error = append(ReleaseRecord {row, values, QStringLiteral("released by the operator"), supervisor.id,
                                                supervisor.name}, false);
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
        status.holder = FileHold::holder(m_options.auditPath);
        if (status.holder.isEmpty())
            status.holder = FileHold::holder(m_options.planPath);
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

void FileStore::importPlan(const std::shared_ptr<PlanReader> &, bool, std::function<void(const Answer &, int)> done)
{
    done({QStringLiteral("plan import works on a database several stations share: give --db URI"), ExitCode::Usage}, 0);
}

std::optional<QString> FileStore::unsettled(const PlanBook &book, const AuditRecord &record) const
{
    if (!PlanBook::stateAfter(record.body))
        return std::nullopt; // a label changes no row
    const int entry = book.find(recordValues(record.body));
    const RowEntry *row = entry >= 0 ? &book.entry(entry) : nullptr;
    if (row && row->state == RowState::Claimed && row->station == record.station && row->time <= record.time)
        return std::nullopt;
    const QString where = !row || row->auditLine == 0
                              ? QStringLiteral("the audit has nothing of it")
                              : QStringLiteral("the audit has it %1 by %2 at %3 (line %4)")
                                    .arg(rowStateText(row->state), printable(row->station), row->time)
                                    .arg(row->auditLine);
    return QStringLiteral("the %1 of row %2 (%3) at %4 by %5 does not follow the audit, which does not show the row "
                          "claimed by that station before it: %6")
        .arg(kindName(record.body)).arg(recordRow(record.body))
        .arg(quotedValues(recordValues(record.body)), record.time, printable(record.station), where);
}

void FileStore::importAudit(const QList<AuditRecord> &records, std::function<void(const Answer &, int, int)> done)
{
    if (!m_open || !m_options.lock)
        return done({QStringLiteral("the store is not open for writing"), ExitCode::Failure}, 0, 0);
    if (!sound())
        return done({m_compromise, ExitCode::FilesChanged}, 0, 0);
    QSet<QString> present;
    const AuditCheck check = ::verifyAudit(m_options.auditPath, [&present](const AuditRecord &record, int) {
        present.insert(recordKey(record));
    });
    if (check.unreadable || check.firstBad > 0)
        return done({check.why, ExitCode::Failure}, 0, 0);
    // All or none: each record is tried on a copy of the book first.
    PlanBook trial = m_book;
    QList<AuditRecord> adding;
    int already = 0;
    for (int i = 0; i < records.size(); ++i) {
        const AuditRecord &record = records.at(i);
        if (present.contains(recordKey(record))) {
            ++already;
            continue;
        }
        if (const auto why = unsettled(trial, record)) {
            return done({QStringLiteral("record %1: %2; nothing was imported").arg(i + 1).arg(*why), ExitCode::Usage},
                        0, 0);
        }
        trial.apply(record, -1);
        present.insert(recordKey(record));
        adding << record;
    }
    int added = 0;
    for (const AuditRecord &record : std::as_const(adding)) {
        QString error;
        if (!m_audit.append(record, &error)) {
            if (added > 0)
                emit changed();
            return done({QStringLiteral("%1; %2 of the %3 records to add were added before it")
                             .arg(error).arg(added).arg(adding.size()), ExitCode::Failure},
                        added, already);
        }
        m_book.apply(record, m_audit.lines());
        remember(record);
        ++added;
    }
    settled({});
    done({}, added, already);
}

void FileStore::lastPassed(const QString &port, std::function<void(const std::optional<RowEntry> &)> done)
{
    std::optional<RowEntry> last;
    for (int i = 0; i < m_book.entries(); ++i) {
        const RowEntry &entry = m_book.entry(i);
        if (entry.state == RowState::Passed && entry.port == port && entry.station == m_options.station
            && (!last || entry.auditLine > last->auditLine))
            last = entry;
    }
    done(last);
}
