// SPDX-License-Identifier: MIT
#include "store/rosterload.h"

#include "store/plandatabase.h"

#include <QCoreApplication>

void loadRoster(const QString &file, const std::optional<DatabaseUri> &database,
                const std::function<void(const QString &, const std::optional<Roster> &)> &then)
{
    if (!file.isEmpty()) {
        QString error;
        const auto roster = Roster::readFile(file, &error);
        return then(error, roster);
    }
    if (!database)
        return then({}, std::nullopt);
    // On this thread, before any store: the sign-in comes first. Let go of
    // once its answer has returned into it, or with the program.
    auto *db = new PlanDatabase(*database, {});
    auto *holder = new QObject(QCoreApplication::instance());
    QObject::connect(holder, &QObject::destroyed, [db] { delete db; });
    db->connect(false, [db, holder, then](const DbFault &fault) {
        if (fault) {
            holder->deleteLater();
            return then(fault.why, std::nullopt);
        }
        db->operators([holder, then](const DbFault &fault, const QList<RosterEntry> &entries) {
            holder->deleteLater();
            if (fault)
                return then(fault.why, std::nullopt);
            then({}, entries.isEmpty() ? std::nullopt : std::optional<Roster>(Roster(entries)));
        });
    });
}
