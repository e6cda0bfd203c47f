// SPDX-License-Identifier: MIT
#include "storereport.h"

#include "protocol/wireformat.h"

#include <memory>

namespace report {

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
            if (check.unreadable)
                return done(Answer {check.why, ExitCode::Failure}, {});
            if (check.firstBad > 0) {
                return done(Answer {QStringLiteral("%1 line %2: %3 (%4 lines before it check out); no report is made "
                                                   "from an audit that does not check out (vev-cli audit-verify)")
                                        .arg(printable(name)).arg(check.firstBad).arg(check.why).arg(check.lines),
                                    ExitCode::AuditBroken}, {});
            }
            if (check.disagrees)
                return done(Answer {QStringLiteral("%1: %2").arg(printable(name), check.why), ExitCode::AuditBroken}, {});
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
