// SPDX-License-Identifier: MIT
#include "storereport.h"

#include "plan/plan.h"
#include "protocol/wireformat.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace report {

namespace {

// Why a checked audit gives no figures, as audit-verify says it; Ok when it checks out.
ProvisionStore::Answer refusal(const QString &name, const AuditCheck &check)
{
    using Answer = ProvisionStore::Answer;
    if (check.unreadable)
        return Answer {check.why, ExitCode::Failure};
    if (check.firstBad > 0) {
        return Answer {QStringLiteral("%1 line %2: %3 (%4 lines before it check out); no report is made from an audit "
                                      "that does not check out (vev-cli audit-verify)")
                           .arg(printable(name)).arg(check.firstBad).arg(check.why).arg(check.lines),
                       ExitCode::AuditBroken};
    }
    if (check.disagrees)
        return Answer {QStringLiteral("%1: %2").arg(printable(name), check.why), ExitCode::AuditBroken};
    return {};
}

// The plan's rows: its lines with a value, less the header.
std::optional<int> planRows(const QString &path, QString *why)
{
    QString error;
    const auto device = openPlan(path, &error);
    if (!device) {
        *why = error;
        return std::nullopt;
    }
    int lines = 0;
    while (!device->atEnd()) {
        const QByteArray line = device->readLine(longestAuditLine);
        lines += !line.trimmed().isEmpty();
    }
    return std::max(0, lines - 1);
}

} // namespace

ProvisionStore::Answer reportFromFiles(const QString &plan, const QString &audit, const Options &options, Report *report,
                                       bool noAuditYet)
{
    QString why;
    const auto rows = planRows(plan, &why);
    if (!rows)
        return {why, ExitCode::Failure};
    ReportBuilder builder(options);
    if (!QFileInfo::exists(audit)) {
        if (!noAuditYet)
            return {QStringLiteral("%1: no such audit").arg(printable(audit)), ExitCode::Failure};
        *report = builder.finish(builder.replayedPlan(*rows));
        return {};
    }
    const AuditCheck check = verifyAudit(audit, [&builder](const AuditRecord &record, int) { builder.take(record); });
    const ProvisionStore::Answer refused = refusal(QFileInfo(audit).fileName(), check);
    if (!refused.ok())
        return refused;
    PlanState state = builder.replayedPlan(*rows);
    state.onTwoModules = check.onTwoModules;
    *report = builder.finish(state);
    return {};
}

void reportFromStore(ProvisionStore &store, const Options &options,
                     std::function<void(const ProvisionStore::Answer &answer, const Report &report)> done)
{
    using Answer = ProvisionStore::Answer;
    const QString name = store.place().audit;
    store.planStatus([&store, options, name, done](const Answer &answer, const StoreStatus &status) {
        if (!answer.ok())
            return done(answer, {});
        PlanState plan {status.rows, status.open, status.inDoubtCount(), status.onTwoModules};
        auto builder = std::make_shared<ReportBuilder>(options);
        const AuditVisitor visit = [builder](const AuditRecord &record, int) { builder->take(record); };
        store.verifyAudit({}, visit, [builder, plan, name, done](const Answer &answer, const AuditCheck &check) {
            if (!answer.ok())
                return done(answer, {});
            // As audit-verify says it: no figures from lines that may be forged.
            const Answer refused = refusal(name, check);
            if (!refused.ok())
                return done(refused, {});
            PlanState known = plan;
            for (const QString &row : check.onTwoModules) {
                if (!known.onTwoModules.contains(row))
                    known.onTwoModules << row;
            }
            done(Answer {}, builder->finish(known));
        });
    });
}

} // namespace report
