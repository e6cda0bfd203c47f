// SPDX-License-Identifier: MIT
#pragma once

// A provisioning plan: one row of settings per module to configure, from a
// CSV file with a header naming the columns ip, gateway, tcp_port and mac in
// any order and case, with spaces for underscores (RFC 4180 quoting; a
// header with semicolons and no comma makes ";" the separator).

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

// The rows, or nothing with *error naming the line: text that is not UTF-8
// (UTF-16, NUL bytes, CR-only line ends), a missing or unknown column, a row
// of the wrong width, a value write would refuse (an IP address on the edge
// of its /24 only without force), an IP or MAC address that stands in the
// plan twice. Text from the plan in *error is quoted and escaped.
std::optional<QList<PlanRow>> parsePlan(const QByteArray &csv, QString *error, bool force = false);
std::optional<QList<PlanRow>> readPlan(const QString &path, QString *error, bool force = false);

// Fields of RFC 4180 records, each with the line it starts on.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
std::optional<QList<CsvRecord>> parseCsv(const QByteArray &csv, QString *error);
