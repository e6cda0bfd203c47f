// SPDX-License-Identifier: MIT
#pragma once

// A plan of any size and the audit a long run on it leaves, for the tests
// and vev-bench figures that show what a station costs at scale.

#include "protocol/settingsjson.h"

#include <QString>

// Row n's values (0-based): each its own IP and MAC address, good for
// 1,000,000 rows and more.
SettingValues largePlanRow(int n);
// A plan of rows such rows, with its header; false when it cannot be written.
bool writeLargePlan(const QString &path, int rows);

// The audit of a run of four lanes on that plan, lines long (about a third
// of them modules), as the station writes it: each module a claim, its
// outcome and its label; one in twenty fails and is finished at once on
// the same lane, and one in a thousand is left failed, in doubt. The
// audit's last hash, or empty when it cannot be written.
QByteArray writeLargeAudit(const QString &path, int lines);

class PostgresServer;
// The rows of writeLargePlan's plan an audit of lines is about, at most.
int largeAuditRows(int lines);
// Loads writeLargeAudit's audit of lines into a database of server whose
// tables a plan import of writeLargePlan's plan made (of largeAuditRows
// rows at least), straight into its table, as fast as the server takes
// rows in; the plan's rows then follow the audit as the stations that
// wrote it would have left them. Files go to folder meanwhile. Empty, or
// what went wrong.
QString loadLargeAudit(PostgresServer &server, const QString &database, int lines, const QString &folder);
// The same for any audit file: its lines, byte for byte, with every column
// the store fills (those of version 4 too), and the plan's rows after them.
QString loadAudit(PostgresServer &server, const QString &database, const QString &audit, const QString &folder);
