// SPDX-License-Identifier: MIT
// PlanDatabase's units: what the audit holds of a unit about to be given a
// row, by its serial or by the row (see plan/unitbook.h).

#include "store/plandatabase.h"

#include "store/planstatements.h"

using namespace plansql;

namespace {

// The row the serial last passed with, if that row is passed still; the
// serial the row last passed with; and the unit's outcomes since its last
// rework (by its serial, else by the row, whose rework names its MAC).
const QString unitFacts = QStringLiteral(
    "SELECT (SELECT a.row FROM vev_audit a JOIN vev_plan p ON p.row = a.row AND p.state = 'passed' "
    "WHERE a.serial = $1 AND a.kind = 'outcome' AND a.result = 'pass' AND a.seq = (SELECT max(b.seq) FROM vev_audit b "
    "WHERE b.row = a.row AND b.kind = 'outcome' AND b.result = 'pass') ORDER BY a.seq DESC LIMIT 1), "
    "(SELECT coalesce(a.serial, '') FROM vev_audit a WHERE a.row = $2 AND a.kind = 'outcome' AND a.result = 'pass' "
    "AND NOT EXISTS (SELECT 1 FROM vev_audit r WHERE r.row = a.row AND r.kind = 'release' AND r.seq > a.seq) "
    "ORDER BY a.seq DESC LIMIT 1), "
    "CASE WHEN $1 <> '' THEN (SELECT count(*) FROM vev_audit a WHERE a.serial = $1 AND a.kind = 'outcome' AND a.seq > "
    "coalesce((SELECT max(r.seq) FROM vev_audit r WHERE r.serial = $1 AND r.kind = 'rework'), 0)) "
    "ELSE (SELECT count(*) FROM vev_audit a WHERE a.row = $2 AND a.kind = 'outcome' AND a.serial IS NULL AND a.seq > "
    "coalesce((SELECT max(r.seq) FROM vev_audit r WHERE r.kind = 'rework' AND r.row = 0 "
    "AND CAST(r.line AS jsonb) ->> 'mac' = (SELECT p.mac FROM vev_plan p WHERE p.row = $2)), 0)) END");

} // namespace

void PlanDatabase::judgeUnitFor(const std::shared_ptr<ClaimState> &state, const PlanRow &row, bool writes,
                                std::function<void(int attempt)> go, Done finish)
{
    const QString &serial = state->unit.serial;
    // A fresh row for a unit without a serial: its first attempt, nothing to ask.
    if (serial.isEmpty() && row.row == 0)
        return go(1);
    run(unitFacts, {serial, row.row}, [state, row, writes, go, finish](const PgResult &result) {
        UnitFacts facts;
        facts.serialPassedRow = result.isNull(0, 0) ? 0 : int(result.number(0, 0));
        facts.rowPassedSerial = result.text(0, 1);
        facts.outcomesBefore = int(result.number(0, 2));
        const UnitVerdict unit = judgeUnit(state->unit.serial, row.row, writes, facts, state->unit.maxAttempts);
        if (const auto refused = ProvisionStore::unitRefusal(unit, row)) {
            state->claim = *refused;
            return finish({});
        }
        go(unit.attempt);
    }, finish);
}
