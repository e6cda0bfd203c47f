// SPDX-License-Identifier: MIT
#pragma once

// Units, as the audit knows them: a unit is known by the serial number
// scanned for it, or, where none was, by the row it carries. One unit, one
// row: a serial that passed with one row gets no other, and a row that
// passed on one serial is no other unit's. A unit that failed the station's
// limit of times goes to rework and is not written again until a rework
// line says it is back; its attempts count from that line. Factory MACs
// play no part: a batch may share one.

#include "plan/records.h"

#include <QHash>
#include <QString>

#include <optional>

// What a store knows of a unit and of the row it is about to get.
struct UnitFacts {
    int serialPassedRow = 0;   // the row the serial last passed with, still passed; 0: none
    QString rowPassedSerial;   // the serial the row last passed with; empty: none, or no serial
    int outcomesBefore = 0;    // the unit's outcomes since its last rework
};

struct UnitVerdict {
    enum Kind { Go, SerialElsewhere, RowElsewhere, Rework } kind = Go;
    int attempt = 1;  // Go: the attempt the outcome will carry
    QString why;      // the others: for the operator and the output
};

// Whether the unit with this serial (empty: none scanned) may be given row
// (0: a fresh one, not chosen yet), to be written (writes) or only seen
// holding it passed. maxAttempts 0: no limit.
UnitVerdict judgeUnit(const QString &serial, int row, bool writes, const UnitFacts &facts, int maxAttempts);

// A serial as scanned, or why it is refused: surrounding blanks go, and
// what is left is letters, digits, spaces and - _ . / : # + ( ), at most
// longestSerial long.
inline constexpr int longestSerial = 64;
std::optional<QString> serialOf(const QString &scanned, QString *why);

// The facts, worked out from an audit's records in order (the file store's
// way; a database asks its tables).
class UnitBook
{
public:
    void apply(const AuditRecord &record);
    // row: the row about to be given; 0 for a fresh one.
    UnitFacts facts(const QString &serial, int row) const;

private:
    QHash<QString, int> m_serialPassed;   // serial -> row, while that row stays passed with it
    QHash<int, QString> m_rowPassed;      // row -> serial it last passed with
    QHash<QString, int> m_outcomes;       // "s:serial" or "r:row" -> outcomes since its rework
    QHash<QString, int> m_rowOfMac;       // a written MAC, canonical -> its row
};
