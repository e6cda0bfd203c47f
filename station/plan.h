// SPDX-License-Identifier: MIT
#pragma once

// A provisioning plan: one row of settings per module to configure, from a
// CSV file with a header naming the columns ip, gateway, tcp_port and mac in
// any order (RFC 4180 quoting).

#include "protocol/settingsjson.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct PlanRow {
    int row = 0;  // 1-based, as the audit names it
    int line = 0; // where it stands in the file, for messages
    SettingValues values;
};

// The rows, or nothing with *error naming the line: a missing or unknown
// column, a row of the wrong width, a value that fails the value rules, an
// IP or MAC address that stands in the plan twice.
std::optional<QList<PlanRow>> parsePlan(const QByteArray &csv, QString *error);
std::optional<QList<PlanRow>> readPlan(const QString &path, QString *error);

// Fields of RFC 4180 records, each with the line it starts on.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
std::optional<QList<CsvRecord>> parseCsv(const QByteArray &csv, QString *error);
