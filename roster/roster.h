// SPDX-License-Identifier: MIT
#pragma once

// The people who may work at a station: each with a short id (what the
// audit names them by, beside their name), a role, and a badge code kept
// as a salted hash. Read from a CSV file or from a database's table; a code
// held in clear in a file is hashed as it is read and never kept.

#include "roster/badge.h"

#include <QList>
#include <QString>

#include <optional>

enum class RosterRole { Operator, Supervisor };
QString roleText(RosterRole role);
std::optional<RosterRole> roleOf(const QString &text);

struct RosterEntry {
    QString id;   // 1 to 16 of A-Z a-z 0-9 . _ -
    QString name;
    RosterRole role = RosterRole::Operator;
    BadgeHash badge;
};

// Why an id cannot be one; empty when it can.
QString rosterIdProblem(const QString &id);

// What a supervisor's badge allows, for the words of a refusal.
enum class SupervisorRight { Release, ChangeSetup, NewShift };
QString rightText(SupervisorRight right);

// Who a code signed in, or why no one.
struct SignIn {
    std::optional<RosterEntry> who;
    QString why;
};

class Roster
{
public:
    Roster() = default;
    // Entries checked already (the database's): ids unique.
    explicit Roster(QList<RosterEntry> entries) : m_entries(std::move(entries)) {}

    // A roster file: refused when anyone but its owner may read it and it
    // holds a code in clear, or when a line does not hold a person.
    static std::optional<Roster> readFile(const QString &path, QString *error);
    // The file's text; name says where it came from in errors.
    static std::optional<Roster> parse(const QByteArray &csv, const QString &name, QString *error);

    const QList<RosterEntry> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }

    // An operator's sign-in at Start: anyone on the roster.
    SignIn signIn(const QString &code) const;
    // A supervisor's badge for a right: an operator's is refused.
    SignIn authorise(const QString &code, SupervisorRight right) const;

private:
    QList<RosterEntry> m_entries;
    bool m_clear = false; // read from codes in clear
};

// The largest roster file read: a few hundred people at most.
inline constexpr qint64 largestRosterFile = 1024 * 1024;
