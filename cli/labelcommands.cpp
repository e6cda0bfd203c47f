// SPDX-License-Identifier: MIT
#include "labelcommands.h"

#include "provisioncommands.h"

#include "protocol/values.h"
#include "protocol/wireformat.h"
#include "plan/auditfile.h"
#include "label/labelrunner.h"

#include <QCoreApplication>

namespace cli {

namespace {

// The module's last passed outcome in an audit that checks out whole, or
// the exit code and why not: a record after a broken line may be forged.
std::optional<OutcomeRecord> lastPassed(const QString &name, const AuditCheck &check, const ModuleKey &key,
                                        const std::optional<OutcomeRecord> &found, ExitCode *code, QString *why)
{
    if (check.unreadable) {
        *code = ExitCode::Failure;
        *why = check.why;
    } else if (check.firstBad > 0) {
        *code = ExitCode::AuditBroken;
        *why = QStringLiteral("%1 line %2: %3; no label is printed from an audit that does not check out "
                              "(vev-cli audit-verify)").arg(name).arg(check.firstBad).arg(check.why);
    } else if (!found) {
        *code = ExitCode::NotInAudit;
        *why = QStringLiteral("%1 records no passed module %2").arg(name,
            key.row > 0 ? QStringLiteral("for row %1").arg(key.row)
                        : QStringLiteral("with MAC address \"%1\"").arg(printable(key.mac)));
    } else {
        return found;
    }
    return std::nullopt;
}

} // namespace

void runLabel(const LabelJob &job, const Done &done)
{
    if (const auto refusal = refuseToWrite(job.values, job.force))
        return done(fail(ExitCode::Usage, *refusal + QStringLiteral("; nothing was printed")));
    auto *runner = new LabelRunner(QCoreApplication::instance());
    runner->print(job, [runner, done](const LabelRunner::Result &result) {
        runner->deleteLater();
        if (!result.ok())
            return done(fail(result.code, result.reason));
        out() << result.output;
        done(ExitCode::Ok);
    });
}

void runLabelFromAudit(const AuditSource &audit, const ModuleKey &key, const LabelTarget &target, bool qrSerial,
                       const Done &done)
{
    auto found = std::make_shared<std::optional<OutcomeRecord>>();
    const QString mac = key.row > 0 ? QString() : canonicalValue(Setting::MacAddress, key.mac);
    const AuditVisitor visit = [found, key, mac](const AuditRecord &record, int) {
        const auto *outcome = std::get_if<OutcomeRecord>(&record.body);
        if (!outcome || outcome->result != Result::Pass)
            return;
        const auto &written = valueOf(outcome->written, Setting::MacAddress);
        if (key.row > 0 ? outcome->row == key.row : written && canonicalValue(Setting::MacAddress, *written) == mac)
            *found = *outcome;
    };
    const auto print = [found, key, target, qrSerial, done](const QString &name, const AuditCheck &check) {
        ExitCode code = ExitCode::Ok;
        QString why;
        const auto record = lastPassed(name, check, key, *found, &code, &why);
        if (!record)
            return done(fail(code, why));
        LabelJob job;
        job.values = record->written;
        job.row = record->row;
        job.serial = record->serial;
        job.qrSerial = qrSerial;
        job.force = true; // written and read back: the audit vouches for them
        job.target = target;
        runLabel(job, done);
    };
    if (audit.database.isEmpty())
        return print(printable(audit.path), verifyAudit(audit.path, visit));
    StoreSetup setup {audit.database, {}, {}, {}, false, false, {}};
    setup.holdName = false;
    setup.makeTables = false;
    withStore(setup, done, [key, visit, print, done](const std::shared_ptr<ProvisionStore> &store) {
        const auto checked = [store, print, done](const ProvisionStore::Answer &answer, const AuditCheck &check) {
            if (!answer.ok())
                return done(fail(ExitCode::Failure, answer.error));
            print(store->description(), check);
        };
        // A row's lines are found and checked where they stand; a MAC
        // address may be in any line, and the audit is read whole for it.
        if (key.row > 0)
            return store->verifyRow(key.row, visit, checked);
        store->verifyAudit({}, visit, checked);
    });
}

} // namespace cli
