// SPDX-License-Identifier: MIT
#pragma once

// A provisioning plan: one row of settings per module to configure, from a
// CSV file with a header naming the columns ip, gateway, tcp_port and mac in
// any order and case, with spaces for underscores (RFC 4180 quoting; a
// header with semicolons and no comma makes ";" the separator).

#include "protocol/settingsjson.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <memory>
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

// The same a chunk of rows at a time, so a plan of any size is checked and
// passed on without being held whole: what it refuses, and its words, are
// parsePlan's. The text's form is checked whole by start(), before any row.
class PlanReader
{
public:
    // device: open for reading, at its start, for as long as this reads.
    PlanReader(QIODevice *device, bool force);
    // The same, keeping the device (openPlan's) for as long as it lives.
    PlanReader(std::unique_ptr<QIODevice> device, bool force);
    ~PlanReader();
    PlanReader(const PlanReader &) = delete;
    PlanReader &operator=(const PlanReader &) = delete;

    // The text's encoding, and the header; false with error().
    bool start();
    // The next rows, at most count; empty once there are no more; nothing
    // with error() saying what is wrong and where.
    std::optional<QList<PlanRow>> next(int count);
    QString error() const { return m_error; }
    // Rows read so far.
    int rows() const { return m_rows; }

private:
    struct State;
    // A record as a row by itself: why not, or its addresses' canonical forms.
    struct ReadRow {
        PlanRow row;
        QString why;
        QString ip;
        QString mac;
    };
    bool readRecords();
    ReadRow rowOf(const struct CsvRecord &record) const;
    QString twice(const ReadRow &read);

    std::unique_ptr<QIODevice> m_owned;
    QIODevice *m_device;
    bool m_force;
    QString m_error;
    int m_rows = 0;
    std::unique_ptr<State> m_state;
};

// A plan file opened for a PlanReader, refused (with *error naming it)
// when it cannot be read or is larger than a plan can be.
std::unique_ptr<QIODevice> openPlan(const QString &path, QString *error);

// Fields of RFC 4180 records, each with the line it starts on.
struct CsvRecord {
    int line = 0;
    QStringList fields;
};
std::optional<QList<CsvRecord>> parseCsv(const QByteArray &csv, QString *error);
