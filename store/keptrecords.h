// SPDX-License-Identifier: MIT
#pragma once

// Records a store could not store, kept in a chained file of their own
// (vev-unstored-STATION-TIME.jsonl, an audit of its own) until vev-cli audit
// import adds them: in the first folder that takes the file, else in the
// system's temporary folder.

#include "plan/auditfile.h"

#include <QStringList>

#include <memory>

class KeptRecords
{
public:
    KeptRecords(const QString &station, const QStringList &folders);
    ~KeptRecords();

    // Keeps the record; the message begins with why it was not stored and
    // says where it is kept and how to add it (importFrom: the options
    // that name the store, {"--db", URI}; when: what to wait for first), or,
    // when it cannot be kept, gives the record itself.
    QString keep(const AuditRecord &record, const QString &why, const QStringList &importFrom,
                 const QString &when = QString());
    void close();

private:
    QString m_station;
    QStringList m_folders;
    std::unique_ptr<AuditFile> m_file;
};
