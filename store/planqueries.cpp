// SPDX-License-Identifier: MIT
// PlanDatabase's changes: claims, records, releases, and the import of
// records kept elsewhere.

#include "store/plandatabase.h"

#include "store/planstatements.h"

#include "plan/failurecodes.h"

#include <QJsonDocument>
#include <QRegularExpression>

using namespace plansql;

namespace {

QString compactJson(const SettingValues &values)
{
    return QString::fromUtf8(QJsonDocument(settingsToJson(values)).toJson(QJsonDocument::Compact));
}

// The columns a line's text has beside the others, for queries and views:
// its unit's serial, an outcome's attempt and failure code, the operator's
// roster id; null where it has none.
QVariantList lineColumns(const AuditRecord &record)
{
    const auto orNull = [](const QString &text) { return text.isEmpty() ? QVariant() : QVariant(text); };
    const auto *outcome = std::get_if<OutcomeRecord>(&record.body);
    const QString code = outcome ? failureCode(*outcome)
                                 : std::holds_alternative<ReworkRecord>(record.body)
                                       ? std::get<ReworkRecord>(record.body).code : QString();
    return {orNull(recordSerial(record.body)), outcome && outcome->attempt > 0 ? QVariant(outcome->attempt) : QVariant(),
            orNull(code), orNull(record.operatorId)};
}

} // namespace


struct PlanDatabase::ImportState {
    QList<AuditRecord> records;
    int next = 0;
    int added = 0;
    int present = 0;
    QStringList onTwoModules; // records added that leave their row on two modules, each with why
};

void PlanDatabase::claim(const QString &port, const SettingValues &module, const UnitClaim &unit, bool retrying,
                         std::function<void(const DbFault &, const ProvisionStore::Claim &)> done)
{
    auto state = std::make_shared<ClaimState>();
    state->port = port;
    state->unit = unit;
    state->module = module;
    state->mac = canonicalOf(module, Setting::MacAddress);
    state->ip = canonicalOf(module, Setting::IpAddress);
    transaction(QStringLiteral("BEGIN"), [this, state, retrying](Done finish) {
        if (!retrying)
            return claimByValues(state, finish);
        // A lane holds one row at a time: a row this run claimed for this
        // port is the one an attempt stored before its answer was lost.
        run(QStringLiteral("SELECT ") + rowColumns + QStringLiteral(" FROM vev_plan p WHERE p.state = 'claimed' "
                                                                    "AND p.run = $1 AND p.port = $2"),
            {m_run, state->port}, [this, state, finish](const PgResult &result) {
                if (result.rows() == 0)
                    return claimByValues(state, finish);
                const PlanRow row = planRowOf(result, 0);
                const bool carries = canonicalOf(row.values, Setting::MacAddress) == state->mac
                                     || canonicalOf(row.values, Setting::IpAddress) == state->ip;
                const auto kind = carries ? ProvisionStore::Claim::Resume : ProvisionStore::Claim::Fresh;
                // Its attempt, as the claim stored counted it.
                judgeUnitFor(state, carries ? row : PlanRow(), true, [state, kind, row, finish](int attempt) {
                    state->claim = {kind, row, {}};
                    state->claim.attempt = attempt;
                    finish({});
                }, finish);
            }, finish);
    }, [state, done](const DbFault &fault) { done(fault, state->claim); });
}

void PlanDatabase::claimByValues(const std::shared_ptr<ClaimState> &state, Done finish)
{
    // The live rows that hold the module's MAC or IP decide, by the plan
    // book's rule; a claim of a station still running is in hand, not in
    // doubt.
    run(liveRuns + QStringLiteral("SELECT ") + rowColumns
            + QStringLiteral(", p.state, l.name IS NOT NULL, p.before FROM vev_plan p") + joinLive
            + QStringLiteral("WHERE p.state <> 'open' AND (p.mac = $1 OR p.ip = $2)"),
        {state->mac, state->ip}, [this, state, finish](const PgResult &result) {
            for (int i = 0; i < result.rows(); ++i) {
                RowEntry entry;
                const PlanRow row = planRowOf(result, i);
                entry.row = row.row;
                entry.planLine = row.line;
                entry.values = row.values;
                entry.state = stateOf(result.text(i, 6));
                entry.inHand = result.flag(i, 7);
                QString error;
                if (const auto before = settingsFromJson(QJsonDocument::fromJson(result.bytes(i, 8)).object(), &error))
                    entry.before = *before;
                state->candidates << entry;
            }
            failedReadBacks(state, finish);
        }, finish);
}

// A row's failed outcomes tell what of it other modules may carry: what
// modules read back (the second module of a swap mid-write, not a unit that
// came back changed) and which settings some module took. Asked for every
// row that holds the module's MAC or IP.
void PlanDatabase::failedReadBacks(const std::shared_ptr<ClaimState> &state, Done finish)
{
    if (state->candidates.isEmpty())
        return decide(state, finish);
    QVariantList rows;
    QStringList alternatives;
    for (const RowEntry &entry : std::as_const(state->candidates)) {
        rows << entry.row;
        alternatives << QStringLiteral("row = $%1").arg(rows.size());
    }
    run(QStringLiteral("SELECT row, line FROM vev_audit WHERE kind = 'outcome' AND result <> 'pass' AND (%1) ORDER BY seq")
            .arg(alternatives.join(QStringLiteral(" OR "))),
        rows, [this, state, finish](const PgResult &result) {
            for (int i = 0; i < result.rows(); ++i) {
                QString why;
                const auto read = readAuditLine(result.bytes(i, 1), &why);
                const auto *outcome = read && read->record ? std::get_if<OutcomeRecord>(&read->record->body) : nullptr;
                for (RowEntry &entry : state->candidates) {
                    if (outcome && entry.row == result.text(i, 0).toInt())
                        entry.failedWith(*outcome);
                }
            }
            writtenOver(state, 0, finish);
        }, finish);
}

// A module that still carried part of a row when it was read back keeps
// the row from being finished, until it has passed with another row.
void PlanDatabase::writtenOver(const std::shared_ptr<ClaimState> &state, int index, Done finish)
{
    if (index >= state->candidates.size())
        return decide(state, finish);
    const QList<SettingValues> spread = state->candidates[index].spread;
    if (spread.isEmpty())
        return writtenOver(state, index + 1, finish);
    QVariantList befores;
    QStringList alternatives;
    for (const SettingValues &module : spread) {
        befores << compactJson(module);
        alternatives << QStringLiteral("CAST(line AS jsonb) -> 'before' = CAST($%1 AS jsonb)").arg(befores.size());
    }
    run(QStringLiteral("SELECT line FROM vev_audit WHERE kind = 'outcome' AND result = 'pass' AND (%1)")
            .arg(alternatives.join(QStringLiteral(" OR "))),
        befores, [this, state, index, finish](const PgResult &result) {
            for (int i = 0; i < result.rows(); ++i) {
                QString why;
                const auto read = readAuditLine(result.bytes(i, 0), &why);
                if (const auto *outcome = read && read->record ? std::get_if<OutcomeRecord>(&read->record->body) : nullptr)
                    state->candidates[index].writtenOver(outcome->before);
            }
            writtenOver(state, index + 1, finish);
        }, finish);
}

void PlanDatabase::decide(const std::shared_ptr<ClaimState> &state, Done finish)
{
    QList<const RowEntry *> candidates;
    for (const RowEntry &entry : std::as_const(state->candidates))
        candidates << &entry;
    const PlanBook::Ruling ruling = PlanBook::rule(state->module, candidates);
    const PlanRow row = ruling.row ? PlanRow {ruling.row->row, ruling.row->planLine, ruling.row->values} : PlanRow();
    switch (ruling.kind) {
    case PlanBook::Ruling::HoldsPassed:
        return judgeUnitFor(state, row, false, [state, row, finish](int) {
            state->claim = {ProvisionStore::Claim::HoldsPassed, row, {}};
            finish({});
        }, finish);
    case PlanBook::Ruling::Conflict:
        state->claim = {ProvisionStore::Claim::Conflict, row, {}, ruling.conflict};
        return finish({});
    case PlanBook::Ruling::Resume:
        return judgeUnitFor(state, row, true, [this, state, row, finish](int attempt) {
            state->attempt = attempt;
            resumeRow(state, row, finish);
        }, finish);
    case PlanBook::Ruling::Fresh:
        break;
    }
    state->partOf = row.row;
    judgeUnitFor(state, PlanRow(), true, [this, state, finish](int attempt) {
        state->attempt = attempt;
        nextOpenRow(state, finish);
    }, finish);
}

void PlanDatabase::resumeRow(const std::shared_ptr<ClaimState> &state, const PlanRow &row, Done finish)
{
    run(QStringLiteral("SELECT forced FROM vev_plan WHERE row = $1 AND state IN ('claimed', 'failed') "
                       "FOR UPDATE SKIP LOCKED"),
        {row.row}, [this, state, row, finish](const PgResult &result) {
            if (result.rows() == 0)
                return finish({DbFault::Busy, QStringLiteral("row %1 is being changed by another station").arg(row.row)});
            const bool forced = result.flag(0, 0);
            // The MACs its module had before, from each claim of the row.
            run(QStringLiteral("SELECT line FROM vev_audit WHERE kind = 'claim' AND row = $1 ORDER BY seq"), {row.row},
                [this, state, row, forced, finish](const PgResult &claims) {
                    RowEntry entry;
                    entry.values = row.values;
                    for (int i = 0; i < claims.rows(); ++i) {
                        QString why;
                        const auto read = readAuditLine(claims.bytes(i, 0), &why);
                        if (const auto *claim = read && read->record ? std::get_if<ClaimRecord>(&read->record->body) : nullptr)
                            entry.tookFrom(*claim);
                    }
                    state->macsBefore = entry.macsBefore;
                    claimRow(state, row, forced, ProvisionStore::Claim::Resume, finish);
                }, finish);
        }, finish);
}

void PlanDatabase::nextOpenRow(const std::shared_ptr<ClaimState> &state, Done finish)
{
    // A row that may be on two modules waits for its release.
    const QString free = QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM vev_conflict c WHERE c.row = p.row "
                                        "AND c.resolved_seq IS NULL)");
    run(QStringLiteral("SELECT ") + rowColumns + QStringLiteral(", p.forced FROM vev_plan p WHERE p.state = 'open'") + free
            + QStringLiteral(" ORDER BY p.row LIMIT 1 FOR UPDATE SKIP LOCKED"),
        {}, [this, state, free, finish](const PgResult &result) {
            if (result.rows() > 0)
                return claimRow(state, planRowOf(result, 0), result.flag(0, 6), ProvisionStore::Claim::Fresh, finish);
            // Open rows that other stations are claiming this moment are
            // skipped: whether any stay open shows once they are done.
            run(QStringLiteral("SELECT EXISTS (SELECT 1 FROM vev_plan p WHERE p.state = 'open'") + free + QStringLiteral(")"), {},
                [state, finish](const PgResult &open) {
                    if (open.flag(0, 0))
                        return finish({DbFault::Busy, QStringLiteral("other stations are claiming the last open rows")});
                    state->claim = {ProvisionStore::Claim::NothingOpen, {}, {}};
                    finish({});
                }, finish);
        }, finish);
}

void PlanDatabase::claimRow(const std::shared_ptr<ClaimState> &state, const PlanRow &row, bool forced,
                            ProvisionStore::Claim::Kind kind, Done finish)
{
    const AuditRecord record = ownRecord(ClaimRecord {row.row, state->port, state->module, row.values, forced,
                                                      kind == ProvisionStore::Claim::Fresh ? state->partOf : 0,
                                                      state->unit.serial});
    const PlanChange claimed {QStringLiteral("state = 'claimed', station = $1, port = $2, run = $3, "
                                             "claimed_at = CAST($4 AS timestamptz), done_at = NULL, "
                                             "before = CAST($5 AS jsonb)"),
                              {m_identity.station, state->port, m_run, record.time, compactJson(state->module)}, row.row};
    appendLine(record, claimed, [state, row, kind, finish](qint64) {
        state->claim = {kind, row, {}, PlanBook::Conflict::None,
                        kind == ProvisionStore::Claim::Fresh ? state->partOf : 0, state->macsBefore, state->attempt};
        finish({});
    }, finish);
}

void PlanDatabase::appendLine(AuditRecord record, const std::optional<PlanChange> &change,
                              std::function<void(qint64 seq)> then, Done failed)
{
    if (record.time.isEmpty())
        record.time = auditTimeNow();
    // One chain through every station's lines: appends go one at a time,
    // each holding the lock until its commit. It is taken last, once
    // everything else the transaction does is done, and what is left under
    // it is the last line read and one statement that adds the next with the
    // row's change: every station waits for as little as can be.
    run(QStringLiteral("SELECT pg_advisory_xact_lock(CAST($1 AS integer), 0)"), {appendSpace},
        [this, record, change, then, failed](const PgResult &) {
            run(QStringLiteral("SELECT seq, hash FROM vev_audit ORDER BY seq DESC LIMIT 1"), {},
                [this, record, change, then, failed](const PgResult &last) {
                    const qint64 seq = last.rows() > 0 ? last.number(0, 0) + 1 : 1;
                    const QByteArray prev = last.rows() > 0 ? last.bytes(0, 1) : firstPrev;
                    const QByteArray line = auditLine(record, prev);
                    const auto port = recordPort(record.body);
                    const auto result = recordResult(record.body);
                    QString sql = QStringLiteral("INSERT INTO vev_audit (seq, line, prev, hash, kind, row, station, operator, "
                                                 "port, result, time, serial, attempt, code, operator_id) VALUES ($1, $2, "
                                                 "$3, $4, $5, $6, $7, $8, $9, $10, CAST($11 AS timestamptz), $12, "
                                                 "CAST($13 AS integer), $14, $15)");
                    QVariantList values {seq, line, prev, chainHash(line), kindName(record.body), recordRow(record.body),
                                         record.station,
                                         record.operatorName.isEmpty() ? QVariant() : QVariant(record.operatorName),
                                         port ? QVariant(*port) : QVariant(), result ? QVariant(*result) : QVariant(),
                                         record.time};
                    values << lineColumns(record);
                    if (change)
                        sql = change->joinedTo(sql, &values);
                    run(sql, values, [this, then, seq, hash = chainHash(line)](const PgResult &) {
                        m_appended = AuditMark {seq, hash};
                        then(seq);
                    }, failed);
                }, failed);
        }, failed);
}

QString PlanDatabase::PlanChange::joinedTo(const QString &insert, QVariantList *values) const
{
    // The change's own $1, $2, … come after the line's values.
    const int before = int(values->size());
    static const QRegularExpression placeholder(QStringLiteral("\\$(\\d+)"));
    QString shifted;
    int from = 0;
    for (auto match = placeholder.globalMatch(set); match.hasNext();) {
        const auto found = match.next();
        shifted += QStringView(set).mid(from, found.capturedStart() - from) + QStringLiteral("$")
                   + QString::number(found.captured(1).toInt() + before);
        from = found.capturedEnd();
    }
    shifted += QStringView(set).mid(from);
    *values << this->values << row;
    return QStringLiteral("WITH line AS (%1 RETURNING seq) UPDATE vev_plan SET %2, audit_seq = (SELECT seq FROM line) "
                          "WHERE row = $%3").arg(insert, shifted).arg(values->size());
}

void PlanDatabase::isStored(const AuditRecord &record, std::function<void(bool stored)> then, Done failed)
{
    // A record is known by its time (to the millisecond), station, kind and row.
    run(QStringLiteral("SELECT EXISTS (SELECT 1 FROM vev_audit WHERE time = CAST($1 AS timestamptz) "
                       "AND station = $2 AND kind = $3 AND row = $4)"),
        {record.time, record.station, kindName(record.body), recordRow(record.body)},
        [then](const PgResult &result) { then(result.flag(0, 0)); }, failed);
}

PlanDatabase::PlanChange PlanDatabase::settling(int row, RowState state, const QString &time)
{
    return {QStringLiteral("state = $1, done_at = CAST($2 AS timestamptz)"), {rowStateText(state), time}, row};
}

void PlanDatabase::append(const AuditRecord &record, bool retrying, Done done)
{
    AuditRecord stamped = record;
    if (stamped.time.isEmpty())
        stamped.time = auditTimeNow();
    m_conflict.clear();
    transaction(QStringLiteral("BEGIN"), [this, stamped, retrying](Done finish) {
        if (!retrying)
            return appendRecord(stamped, finish);
        isStored(stamped, [this, stamped, finish](bool stored) {
            if (stored)
                return finish({});
            appendRecord(stamped, finish);
        }, finish);
    }, done);
}

void PlanDatabase::appendRecord(const AuditRecord &record, Done finish)
{
    // The row's state follows while this run still holds its claim; a row
    // released meanwhile by the operator keeps the state given to it.
    const int row = recordRow(record.body);
    const auto state = PlanBook::stateAfter(record.body);
    const auto write = [this, record, row, state, finish](bool holds, const QString &conflict = {}) {
        const auto change = holds ? std::optional(settling(row, *state, record.time)) : std::nullopt;
        appendLine(record, change, [this, record, row, conflict, finish](qint64 seq) {
            if (!conflict.isEmpty())
                return recordConflict(row, seq, record.station, conflict, finish);
            finish({});
        }, finish);
    };
    if (!state)
        return write(false);
    // A passed module seen without its row puts the row back in doubt,
    // whoever passed it.
    if (std::holds_alternative<LostRecord>(record.body)) {
        return run(QStringLiteral("SELECT state = 'passed' FROM vev_plan WHERE row = $1 FOR UPDATE"), {row},
                   [write](const PgResult &result) { write(result.rows() > 0 && result.flag(0, 0)); }, finish);
    }
    run(QStringLiteral("SELECT state = 'claimed' AND run = $1 FROM vev_plan WHERE row = $2 FOR UPDATE"), {m_run, row},
        [this, record, write, finish](const PgResult &result) {
            if (result.flag(0, 0) || !std::holds_alternative<OutcomeRecord>(record.body))
                return write(result.flag(0, 0));
            // An outcome that comes after its claim was released, or the row
            // claimed again: the line is the truth and goes in; a pass on a
            // row another module may carry now stops the run.
            judgeLate(record, [this, write, finish](LateRuling ruling, const QString &why) {
                if (ruling == LateRuling::TwoModules) {
                    m_conflict = why;
                    return write(false, why);
                }
                write(ruling == LateRuling::Settle);
            }, finish);
        }, finish);
}

void PlanDatabase::judgeLate(const AuditRecord &record, std::function<void(LateRuling, const QString &)> then, Done failed)
{
    const int row = recordRow(record.body);
    run(QStringLiteral("SELECT p.state, coalesce(p.station, ''), p.before, (SELECT a.station FROM vev_audit a WHERE "
                       "a.row = p.row AND a.kind = 'claim' ORDER BY a.seq DESC LIMIT 1) FROM vev_plan p WHERE p.row = $1 "
                       "FOR UPDATE OF p"),
        {row}, [record, row, then](const PgResult &result) {
            const auto &outcome = std::get<OutcomeRecord>(record.body);
            const RowState now = stateOf(result.text(0, 0));
            const QString lastClaimBy = result.text(0, 3);
            // Still claimed by the record's station on the record's module
            // (a kept record), or released and claimed by no one since: the
            // module the record names is the one that carries the row.
            if ((now == RowState::Claimed && result.text(0, 1) == record.station && sameModule(outcome, result.bytes(0, 2)))
                || (now == RowState::Open && !lastClaimBy.isEmpty() && lastClaimBy == record.station))
                return then(LateRuling::Settle, {});
            if (outcome.result != Result::Pass)
                return then(LateRuling::Add, {});
            const auto twice = [&](const QString &since) {
                then(LateRuling::TwoModules,
                     QStringLiteral("row %1 passed on the module of %2 at %3, but %4: the row may be on two modules "
                                    "(MAC %5); set both aside, take the row off both, then release it")
                         .arg(row).arg(printable(record.station), record.time, since,
                                       canonicalOf(outcome.written, Setting::MacAddress)));
            };
            if (now == RowState::Open) {
                return twice(lastClaimBy.isEmpty() ? QStringLiteral("the database has no claim of it")
                                                   : QStringLiteral("the row was claimed by %1 since, then given back")
                                                         .arg(printable(lastClaimBy)));
            }
            // Claimed again since on the module that passed (put back on a
            // lane, its row resumed): one module still.
            if (sameModule(outcome, result.bytes(0, 2)))
                return then(LateRuling::Add, {});
            twice(QStringLiteral("the database has it %1 by %2 since").arg(rowStateText(now), printable(result.text(0, 1))));
        }, failed);
}

// Whether the module a claim found (its settings before, as the plan keeps
// them) is the one an outcome is about: its MAC is the row's, or the one it
// had before.
bool PlanDatabase::sameModule(const OutcomeRecord &outcome, const QByteArray &before)
{
    QString error;
    const auto found = settingsFromJson(QJsonDocument::fromJson(before).object(), &error);
    if (!found)
        return false;
    const QString mac = canonicalOf(*found, Setting::MacAddress);
    return !mac.isEmpty()
           && (mac == canonicalOf(outcome.written, Setting::MacAddress) || mac == canonicalOf(outcome.before, Setting::MacAddress));
}

void PlanDatabase::release(int row, const Signer &supervisor, std::function<void(const DbFault &, const SettingValues &)> done)
{
    auto values = std::make_shared<SettingValues>();
    transaction(QStringLiteral("BEGIN"), [this, row, supervisor, values](Done finish) {
        run(lockedRow, {row}, [this, row, supervisor, values, finish](const PgResult &locked) {
            releaseRow(row, supervisor, locked, values, finish);
        }, finish);
    }, [values, done](const DbFault &fault) { done(fault, *values); });
}

void PlanDatabase::releaseRow(int row, const Signer &supervisor, const PgResult &locked, const std::shared_ptr<SettingValues> &values, Done finish)
{
    if (locked.rows() == 0) {
        return run(QStringLiteral("SELECT count(*) FROM vev_plan"), {}, [row, finish](const PgResult &result) {
            finish(DbFault::refused(noSuchRowText(row, result.text(0, 0)), ExitCode::Usage));
        }, finish);
    }
    const PlanRow planRow = planRowOf(locked, 0);
    const RowState state = stateOf(locked.text(0, 6));
    const bool live = locked.flag(0, 7);
    if ((state == RowState::Passed || state == RowState::Open) && !live) {
        // A row that may be on two modules (passed, or open again) is
        // released once both have been set aside and the row taken off them.
        return run(QStringLiteral("SELECT EXISTS (SELECT 1 FROM vev_conflict WHERE row = $1 AND resolved_seq IS NULL)"),
                   {row}, [this, row, supervisor, state, planRow, values, finish](const PgResult &result) {
                       if (!result.flag(0, 0))
                           return finish(DbFault::refused(notInDoubtText(row, rowStateText(state)), ExitCode::Usage));
                       appendRelease(planRow, supervisor, values, finish);
                   }, finish);
    }
    if (state == RowState::Open || state == RowState::Passed || live) {
        const QString what = live ? QStringLiteral("being written by the station %1").arg(printable(locked.text(0, 8)))
                                  : rowStateText(state);
        return finish(DbFault::refused(notInDoubtText(row, what), ExitCode::Usage));
    }
    appendRelease(planRow, supervisor, values, finish);
}

void PlanDatabase::appendRelease(const PlanRow &planRow, const Signer &supervisor, const std::shared_ptr<SettingValues> &values,
                                 Done finish)
{
    const int row = planRow.row;
    const AuditRecord record = ownRecord(ReleaseRecord {row, planRow.values, QStringLiteral("released by the operator"),
                                                        supervisor.id, supervisor.name});
    appendLine(record, settling(row, RowState::Open, record.time), [this, row, planRow, values, finish](qint64 seq) {
        *values = planRow.values;
        run(QStringLiteral("UPDATE vev_conflict SET resolved_seq = $1 WHERE row = $2 AND resolved_seq IS NULL"), {seq, row},
            [finish](const PgResult &) { finish({}); }, finish);
    }, finish);
}

void PlanDatabase::recordConflict(int row, qint64 seq, const QString &station, const QString &why, Done done)
{
    run(QStringLiteral("INSERT INTO vev_conflict (row, seq, station, why) VALUES ($1, $2, $3, $4)"), {row, seq, station, why},
        [done](const PgResult &) { done({}); }, done);
}

void PlanDatabase::importRecords(const QList<AuditRecord> &records,
                                 std::function<void(const DbFault &, int added, int present)> done)
{
    auto state = std::make_shared<ImportState>();
    state->records = records;
    transaction(QStringLiteral("BEGIN"), [this, state](Done finish) { importRecord(state, finish); },
                [state, done](DbFault fault) {
                    // Imported, and said as the conflict it is.
                    if (!fault && !state->onTwoModules.isEmpty()) {
                        fault = DbFault::refused(QStringLiteral("%1 records imported, but %2; plan status and "
                                                                "audit-verify --db show it until the row is released")
                                                     .arg(state->added)
                                                     .arg(state->onTwoModules.join(QStringLiteral("; "))),
                                                 ExitCode::RowOnTwoModules);
                    }
                    done(fault, state->added, state->present);
                });
}

void PlanDatabase::importRecord(const std::shared_ptr<ImportState> &state, Done finish)
{
    if (state->next == state->records.size())
        return finish({});
    const AuditRecord &record = state->records.at(state->next);
    isStored(record, [this, state, finish, row = recordRow(record.body)](bool stored) {
        if (stored) {
            ++state->present;
            ++state->next;
            return importRecord(state, finish);
        }
        // A line about no row (a rework, a shift) changes none: it goes in as it is.
        if (row == 0)
            return addLine(state, false, finish);
        run(lockedRow, {row}, [this, state, finish](const PgResult &locked) { addRecord(state, locked, finish); }, finish);
    }, finish);
}

void PlanDatabase::addRecord(const std::shared_ptr<ImportState> &state, const PgResult &locked, Done finish)
{
    const int number = state->next + 1;
    const AuditRecord record = state->records.at(state->next);
    const int row = recordRow(record.body);
    if (locked.rows() == 0) {
        return finish(DbFault::refused(QStringLiteral("record %1 is about row %2, which the database does not have; "
                                                      "nothing was imported").arg(number).arg(row), ExitCode::Usage));
    }
    const PlanRow planRow = planRowOf(locked, 0);
    const SettingValues &values = recordValues(record.body);
    if (canonicalOf(values, Setting::IpAddress) != canonicalOf(planRow.values, Setting::IpAddress)
        || canonicalOf(values, Setting::MacAddress) != canonicalOf(planRow.values, Setting::MacAddress)) {
        return finish(DbFault::refused(QStringLiteral("record %1 is about row %2 with %3, but the database's row %2 "
                                                      "has %4: it comes from another plan; nothing was imported")
                                           .arg(number).arg(row).arg(quotedValues(values), quotedValues(planRow.values)),
                                       ExitCode::Usage));
    }
    if (locked.flag(0, 7)) {
        return finish(DbFault::refused(QStringLiteral("row %1 is being written by the station %2 now; import the "
                                                      "file once it is done; nothing was imported")
                                           .arg(row).arg(printable(locked.text(0, 8))), ExitCode::Held));
    }
    // An outcome is judged as one that comes late to a live run is. Any
    // other record's state follows while the row still waits for it: its
    // station's claim, left by the run that kept it.
    if (std::holds_alternative<OutcomeRecord>(record.body)) {
        return judgeLate(record, [this, state, number, finish](LateRuling ruling, const QString &why) {
            if (ruling != LateRuling::TwoModules)
                return addLine(state, ruling == LateRuling::Settle, finish);
            // The record is the truth and goes in, with the conflict it makes.
            state->onTwoModules << QStringLiteral("record %1: %2").arg(number).arg(why);
            addLine(state, false, finish, why);
        }, finish);
    }
    addLine(state, PlanBook::stateAfter(record.body) && stateOf(locked.text(0, 6)) == RowState::Claimed
                       && locked.text(0, 8) == record.station, finish);
}

void PlanDatabase::addLine(const std::shared_ptr<ImportState> &state, bool settles, Done finish, const QString &conflict)
{
    const AuditRecord record = state->records.at(state->next);
    const int row = recordRow(record.body);
    const auto after = PlanBook::stateAfter(record.body);
    const auto change = settles ? std::optional(settling(row, *after, record.time)) : std::nullopt;
    appendLine(record, change, [this, state, record, row, conflict, finish](qint64 seq) {
        const Done added = [this, state, finish](const DbFault &fault) {
            if (fault)
                return finish(fault);
            ++state->added;
            ++state->next;
            importRecord(state, finish);
        };
        if (!conflict.isEmpty())
            return recordConflict(row, seq, record.station, conflict, added);
        added({});
    }, finish);
}
