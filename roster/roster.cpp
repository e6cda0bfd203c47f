// SPDX-License-Identifier: MIT
#include "roster/roster.h"

#include "plan/plan.h"
#include "plan/records.h"
#include "protocol/values.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr int longestId = 16;
const QStringList rosterColumns = {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("role"),
                                   QStringLiteral("badge")};

template<typename T>
std::optional<T> refused(QString *error, const QString &why)
{
    *error = why;
    return std::nullopt;
}

// A roster's column order, from its header: each known column once.
std::optional<QHash<QString, int>> columnsOf(const CsvRecord &header, const QString &name, QString *error)
{
    QHash<QString, int> columns;
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString column = header.fields.at(i).trimmed().toLower();
        if (rosterColumns.contains(column) && columns.contains(column))
            return refused<QHash<QString, int>>(error, QStringLiteral("%1: the column %2 is named twice").arg(name, column));
        columns.insert(column, i);
    }
    for (const QString &column : rosterColumns) {
        if (!columns.contains(column)) {
            return refused<QHash<QString, int>>(
                error, QStringLiteral("%1 needs the header id,name,role,badge (any order); %2 is missing").arg(name, column));
        }
    }
    return columns;
}

// One person of a roster file; the badge field is a code in clear or a
// hash as BadgeHash::text() writes it. *clear says which.
std::optional<RosterEntry> entryOf(const CsvRecord &record, const QHash<QString, int> &columns, bool *clear,
                                   QString *error)
{
    const auto field = [&](const char *column) { return record.fields.value(columns.value(QLatin1String(column))).trimmed(); };
    const QString where = QStringLiteral("line %1").arg(record.line);
    RosterEntry entry;
    entry.id = field("id");
    if (const QString problem = rosterIdProblem(entry.id); !problem.isEmpty())
        return refused<RosterEntry>(error, where + QStringLiteral(": ") + problem);
    QString why;
    const auto name = recordName(field("name"), QStringLiteral("the name"), &why);
    if (!name || name->isEmpty())
        return refused<RosterEntry>(error, where + QStringLiteral(": ") + (name ? QStringLiteral("the name is empty") : why));
    entry.name = *name;
    const auto role = roleOf(field("role"));
    if (!role) {
        return refused<RosterEntry>(error, where + QStringLiteral(": the role is operator or supervisor, not \"%1\"")
                                                   .arg(printable(field("role"))));
    }
    entry.role = *role;
    // The field as it is: a code may hold spaces a scanner sends.
    const QString badge = record.fields.value(columns.value(QStringLiteral("badge")));
    if (const auto hashed = BadgeHash::fromText(badge)) {
        entry.badge = *hashed;
        *clear = false;
        return entry;
    }
    if (const QString problem = badgeProblem(badge); !problem.isEmpty())
        return refused<RosterEntry>(error, where + QStringLiteral(" (%1): ").arg(entry.id) + problem);
    const auto hashed = hashBadge(badge);
    if (!hashed)
        return refused<RosterEntry>(error, QStringLiteral("the system gave no random bytes to hash badge codes with"));
    entry.badge = *hashed;
    *clear = true;
    return entry;
}

// Whose badge the code is: every entry is tried, so that the time taken
// does not tell how far down the roster a code's owner is.
QList<RosterEntry> holders(const QList<RosterEntry> &entries, const QString &code)
{
    QList<RosterEntry> found;
    for (const RosterEntry &entry : entries) {
        if (badgeMatches(entry.badge, code))
            found << entry;
    }
    return found;
}

} // namespace

QString roleText(RosterRole role)
{
    return role == RosterRole::Supervisor ? QStringLiteral("supervisor") : QStringLiteral("operator");
}

std::optional<RosterRole> roleOf(const QString &text)
{
    const QString role = text.trimmed().toLower();
    if (role == QLatin1String("operator"))
        return RosterRole::Operator;
    if (role == QLatin1String("supervisor"))
        return RosterRole::Supervisor;
    return std::nullopt;
}

QString rosterIdProblem(const QString &id)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9._-]{1,%1}$").arg(longestId));
    if (valid.match(id).hasMatch())
        return {};
    return QStringLiteral("the id \"%1\" is not 1 to %2 letters, digits, '.', '_' or '-'").arg(printable(id)).arg(longestId);
}

QString rightText(SupervisorRight right)
{
    switch (right) {
    case SupervisorRight::Release: return QStringLiteral("releasing a row");
    case SupervisorRight::ChangeSetup: return QStringLiteral("changing the set-up");
    case SupervisorRight::NewShift: return QStringLiteral("starting a new shift");
    }
    return {};
}

std::optional<Roster> Roster::readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused<Roster>(error, QStringLiteral("cannot read the roster %1: %2").arg(printable(path), file.errorString()));
    if (file.size() > largestRosterFile) {
        return refused<Roster>(error, QStringLiteral("the roster %1 is larger than %2 bytes: not a roster")
                                          .arg(printable(path)).arg(largestRosterFile));
    }
    const QByteArray text = file.read(largestRosterFile + 1);
    QString why;
    auto roster = parse(text, printable(path), &why);
    if (!roster)
        return refused<Roster>(error, why);
    // Codes in clear are as good as keys: like a private key, such a file
    // is its owner's alone. Hashes alone may be shown to others, but a
    // roster anyone may change lets anyone make themselves a supervisor.
#ifndef Q_OS_WIN
    const QFileDevice::Permissions permissions = QFileInfo(path).permissions();
    if (permissions & (QFileDevice::WriteGroup | QFileDevice::WriteOther)) {
        return refused<Roster>(error, QStringLiteral("others than its owner may change the roster %1, and so make "
                                                     "themselves supervisors: chmod go-w %1")
                                          .arg(printable(path)));
    }
    if ((permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) && roster->m_clear) {
        return refused<Roster>(error, QStringLiteral("the roster %1 holds badge codes in clear and others than its owner may "
                                                     "read it: chmod 600 %1, or keep only hashed codes in it")
                                          .arg(printable(path)));
    }
#endif
    return roster;
}

std::optional<Roster> Roster::parse(const QByteArray &csv, const QString &name, QString *error)
{
    QString why;
    const auto records = parseCsv(csv, &why);
    if (!records)
        return refused<Roster>(error, QStringLiteral("%1: %2").arg(name, why));
    if (records->isEmpty())
        return refused<Roster>(error, QStringLiteral("%1 is empty: a roster names at least one person").arg(name));
    const auto columns = columnsOf(records->first(), name, error);
    if (!columns)
        return std::nullopt;
    Roster roster;
    QSet<QString> ids;
    QHash<QString, QString> clearCodes; // code -> id, while the file is read
    for (int i = 1; i < records->size(); ++i) {
        const CsvRecord &record = records->at(i);
        if (record.fields.size() == 1 && record.fields.first().trimmed().isEmpty())
            continue;
        bool clear = false;
        auto entry = entryOf(record, *columns, &clear, &why);
        if (!entry)
            return refused<Roster>(error, QStringLiteral("%1: %2").arg(name, why));
        if (ids.contains(entry->id.toLower()))
            return refused<Roster>(error, QStringLiteral("%1: line %2: the id %3 is given twice").arg(name).arg(record.line).arg(entry->id));
        ids.insert(entry->id.toLower());
        if (clear) {
            const QString code = record.fields.value(columns->value(QStringLiteral("badge")));
            if (clearCodes.contains(code)) {
                return refused<Roster>(error, QStringLiteral("%1: %2 and %3 have the same badge code: each person needs "
                                                             "a code of their own")
                                                  .arg(name, clearCodes.value(code), entry->id));
            }
            clearCodes.insert(code, entry->id);
            roster.m_clear = true;
        }
        roster.m_entries << *entry;
    }
    if (roster.m_entries.isEmpty())
        return refused<Roster>(error, QStringLiteral("%1 names no one: a roster names at least one person").arg(name));
    return roster;
}

SignIn Roster::signIn(const QString &code) const
{
    if (const QString problem = badgeProblem(code); !problem.isEmpty())
        return {std::nullopt, QStringLiteral("not a badge code: ") + problem};
    const QList<RosterEntry> found = holders(m_entries, code);
    if (found.isEmpty())
        return {std::nullopt, QStringLiteral("the badge code is not on the roster")};
    if (found.size() > 1) {
        return {std::nullopt, QStringLiteral("the badge code is that of %1 and %2: the roster must give each person a code "
                                             "of their own").arg(found.at(0).id, found.at(1).id)};
    }
    return {found.first(), {}};
}

SignIn Roster::authorise(const QString &code, SupervisorRight right) const
{
    SignIn signedIn = signIn(code);
    if (signedIn.who && signedIn.who->role != RosterRole::Supervisor) {
        signedIn.why = QStringLiteral("%1 (%2) is an operator; %3 needs a supervisor's badge")
                           .arg(printable(signedIn.who->name), signedIn.who->id, rightText(right));
        signedIn.who.reset();
    }
    return signedIn;
}
