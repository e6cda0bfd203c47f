// SPDX-License-Identifier: MIT
#pragma once

// What a running station remembers of a shared audit between its runs:
// the place and hash of the last line it stored there, kept in a small
// file of its own in the user's data folder, one for each station name and
// set of tables (known by the id they were made with, whatever URI, host
// or port reaches them). At its next start the station checks that the audit still
// holds that line unchanged: an audit cut short or rewritten since (by
// anyone) is caught by the next start of any station that wrote after it.

#include "store/databaseuri.h"
#include "store/store.h"

#include <optional>

class LastLineMemory
{
public:
    // folder: where the files are kept; the data folder's when empty.
    // tablesId: the id the tables were made with; uri: for people reading the file.
    LastLineMemory(const QString &folder, const QString &tablesId, const DatabaseUri &uri, const QString &station);

    // The line remembered; none when nothing was stored by this station
    // yet. *error says why a file that is there cannot be read.
    std::optional<AuditMark> read(QString *error) const;
    // Replaces what is remembered, whole or not at all.
    bool write(const AuditMark &mark, QString *error) const;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    QString m_id;
    QString m_uri;
    QString m_station;
};
