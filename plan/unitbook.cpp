// SPDX-License-Identifier: MIT
#include "plan/unitbook.h"

#include "protocol/values.h"

namespace {

QString unitKey(const QString &serial, int row)
{
    return serial.isEmpty() ? QStringLiteral("r:%1").arg(row) : QStringLiteral("s:") + serial;
}

} // namespace

UnitVerdict judgeUnit(const QString &serial, int row, bool writes, const UnitFacts &facts, int maxAttempts)
{
    if (!serial.isEmpty() && facts.serialPassedRow > 0 && facts.serialPassedRow != row) {
        return {UnitVerdict::SerialElsewhere, 0,
                QStringLiteral("serial %1 already passed with row %2: one unit, one row")
                    .arg(printable(serial)).arg(facts.serialPassedRow)};
    }
    if (!serial.isEmpty() && row > 0 && !facts.rowPassedSerial.isEmpty() && facts.rowPassedSerial != serial) {
        return {UnitVerdict::RowElsewhere, 0,
                QStringLiteral("row %1 passed on the unit with serial %2, not %3: one row, one unit")
                    .arg(row).arg(printable(facts.rowPassedSerial), printable(serial))};
    }
    if (writes && maxAttempts > 0 && facts.outcomesBefore >= maxAttempts) {
        return {UnitVerdict::Rework, 0,
                QStringLiteral("send to rework: the unit has had %1 attempts (--max-attempts %2); it is written again "
                               "after vev-cli rework").arg(facts.outcomesBefore).arg(maxAttempts)};
    }
    return {UnitVerdict::Go, facts.outcomesBefore + 1, {}};
}

std::optional<QString> serialOf(const QString &scanned, QString *why)
{
    const QString serial = scanned.trimmed();
    if (serial.isEmpty()) {
        *why = QStringLiteral("the serial is empty");
        return std::nullopt;
    }
    if (serial.size() > longestSerial) {
        *why = QStringLiteral("the serial is %1 characters long; at most %2").arg(serial.size()).arg(longestSerial);
        return std::nullopt;
    }
    // Letters, digits and a few marks: what stickers carry, and nothing a
    // label printer's language or the label's code would read as its own.
    for (const QChar c : serial) {
        const ushort u = c.unicode();
        const bool plain = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
        if (!plain && !QStringLiteral(" -_./:#+()").contains(c)) {
            *why = QStringLiteral("the serial \"%1\" holds \"%2\": a serial is letters, digits, spaces and - _ . / : # "
                                  "+ ( )").arg(printable(serial), printable(QString(c)));
            return std::nullopt;
        }
    }
    return serial;
}

void UnitBook::apply(const AuditRecord &record)
{
    if (const auto *outcome = std::get_if<OutcomeRecord>(&record.body)) {
        ++m_outcomes[unitKey(outcome->serial, outcome->row)];
        m_rowOfMac.insert(canonicalValue(Setting::MacAddress, valueOf(outcome->written, Setting::MacAddress).value_or(QString())),
                          outcome->row);
        if (outcome->result == Result::Pass) {
            m_rowPassed.insert(outcome->row, outcome->serial);
            if (!outcome->serial.isEmpty())
                m_serialPassed.insert(outcome->serial, outcome->row);
        }
        return;
    }
    const auto unpass = [this](int row, bool forget) {
        const QString serial = m_rowPassed.value(row);
        if (!serial.isEmpty() && m_serialPassed.value(serial) == row)
            m_serialPassed.remove(serial);
        if (forget)
            m_rowPassed.remove(row);
    };
    if (const auto *lost = std::get_if<LostRecord>(&record.body))
        return unpass(lost->row, false);
    // Released, the row goes to another unit: whoever it passed on before
    // was dealt with.
    if (const auto *release = std::get_if<ReleaseRecord>(&record.body))
        return unpass(release->row, true);
    if (const auto *rework = std::get_if<ReworkRecord>(&record.body)) {
        if (!rework->serial.isEmpty())
            m_outcomes.remove(unitKey(rework->serial, 0));
        if (!rework->mac.isEmpty()) {
            const auto row = m_rowOfMac.constFind(canonicalValue(Setting::MacAddress, rework->mac));
            if (row != m_rowOfMac.constEnd())
                m_outcomes.remove(unitKey({}, row.value()));
        }
    }
}

UnitFacts UnitBook::facts(const QString &serial, int row) const
{
    UnitFacts facts;
    if (!serial.isEmpty())
        facts.serialPassedRow = m_serialPassed.value(serial);
    if (row > 0)
        facts.rowPassedSerial = m_rowPassed.value(row);
    if (!serial.isEmpty() || row > 0)
        facts.outcomesBefore = m_outcomes.value(unitKey(serial, row));
    return facts;
}
