// SPDX-License-Identifier: MIT
#include "labelcommands.h"

#include "protocol/values.h"
#include "protocol/wireformat.h"
#include "plan/auditfile.h"
#include "label/labelrunner.h"
#include "store/plandatabase.h"

#include <QCoreApplication>

namespace cli {

namespace {

// The last passed outcome for the module, or the exit code and why not.
// Nothing is taken from an audit that does not check out whole: a record
// after a broken line may be forged.
std::optional<OutcomeRecord> lastPassedInAudit(const AuditSource &audit, const ModuleKey &key, ExitCode *code,
                                               QString *why)
{
    const QString mac = key.row > 0 ? QString() : canonicalValue(Setting::MacAddress, key.mac);
    const QString name = audit.database ? audit.database->display() : printable(audit.path);
    std::optional<OutcomeRecord> found;
    const AuditVisitor visit = [&](const AuditRecord &record, int) {
        const auto *outcome = std::get_if<OutcomeRecord>(&record.body);
        if (!outcome || outcome->result != Result::Pass)
            return;
        const auto &written = valueOf(outcome->written, Setting::MacAddress);
        if (key.row > 0 ? outcome->row == key.row
                        : written && canonicalValue(Setting::MacAddress, *written) == mac)
            found = *outcome;
    };
    AuditCheck check;
    if (audit.database) {
        PlanDatabase database(*audit.database, {});
        DbFault fault = database.connect(false);
        if (!fault)
            fault = database.verifyAudit({}, &check, visit);
        if (fault) {
            check.unreadable = true;
            check.why = fault.why;
        }
    } else {
        check = verifyAudit(audit.path, visit);
    }
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
    }
    return found;
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

void runLabelFromAudit(const AuditSource &audit, const ModuleKey &key, const LabelTarget &target, const Done &done)
{
    ExitCode code = ExitCode::Ok;
    QString why;
    const auto record = lastPassedInAudit(audit, key, &code, &why);
    if (!record)
        return done(fail(code, why));
    LabelJob job;
    job.values = record->written;
    job.row = record->row;
    job.force = true; // written and read back: the audit vouches for them
    job.target = target;
    runLabel(job, done);
}

} // namespace cli
