// SPDX-License-Identifier: MIT
#pragma once

// Where the plan and audit of several stations live: a PostgreSQL database
// named by a URI, postgresql://[user[:password]@][host][:port]/dbname
// [?host=/socket/dir&port=N]. A host starting with "/" is the folder of a
// Unix socket. What the URI leaves out, libpq takes from its environment
// (PGHOST, PGUSER, PGPASSWORD, ~/.pgpass). QtCore only.

#include <QString>
#include <QStringList>

#include <optional>

struct DatabaseUri {
    QString host;     // a name, an address, or a socket folder; empty: libpq's default
    int port = 0;     // 0: libpq's default
    QString database;
    QString user;     // empty: libpq's default
    QString password; // empty: PGPASSWORD or ~/.pgpass
    QStringList options; // further libpq settings given as parameters, "key=value"

    // The URI's parts, or nothing with *error saying what is wrong (without
    // the password).
    static std::optional<DatabaseUri> parse(const QString &text, QString *error);
    // Whether the text means a database (by its scheme), good or not.
    static bool isUri(const QString &text);

    // The URI as messages show it: never with its password.
    QString display() const;
};
