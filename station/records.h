// SPDX-License-Identifier: MIT
#pragma once

// What a provisioning station writes into its audit trail, one JSON object
// a line: a claim before the first byte goes to a module, the outcome once
// the module has been written and read back, a release that hands a row in
// doubt back to the plan, and a label printed for a module that passed.
// Each kind is a type of its own, with one writer (auditLine) and one
// reader (readAuditLine) that checks every field it knows and ignores the
// fields it does not. QtCore only.

#include "protocol/settingsjson.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <optional>
#include <variant>

// How writing a row to a module ended.
enum class Result {
    Pass,            // written, acknowledged and read back the same
    Fail,            // a setting reads back different, or not at all
    NoAnswer,        // the module answered none of the writes nor the read-back
    NotAcknowledged, // a setting was not acknowledged
    Aborted,         // the port was lost with the module in hand
};

// The one text form of each result, as the audit and the operator see it.
QString resultText(Result result);
std::optional<Result> resultFromText(const QString &text);

struct ClaimRecord {
    int row = 0;          // 1-based plan row
    QString port;         // the lane's serial port
    SettingValues before; // the module's settings when it was found
    SettingValues values; // the row, about to be written
    bool forced = false;  // the plan was accepted with --force
};

struct OutcomeRecord {
    int row = 0;
    QString port;
    SettingValues before;
    SettingValues written;
    SettingValues readBack;
    Result result = Result::Fail;
    QString reason; // for people: which setting, and what came back; empty on a pass
};

struct ReleaseRecord {
    int row = 0;
    SettingValues values;
    QString reason; // "released by the operator", "nothing was written"
};

struct LabelRecord {
    int row = 0;
    SettingValues values;
    bool printed = false;
    QString target; // where it went: a file, a printer
    QString reason; // why it was not printed
};

using AuditBody = std::variant<ClaimRecord, OutcomeRecord, ReleaseRecord, LabelRecord>;

struct AuditRecord {
    QString time;         // ISO 8601, UTC, with milliseconds
    QString station;
    QString operatorName; // empty: none given
    QString version;      // the tool that wrote it
    AuditBody body;
};

// The kind's name as the audit writes it: claim, outcome, release, label.
QString kindName(const AuditBody &body);

// The line for a record, without its line end. An empty time or version is
// filled in with now and this tool's version.
QByteArray auditLine(const AuditRecord &record, const QByteArray &prevHash);

// The record a line holds, its prev, or nothing with *why saying what is
// wrong: not JSON, a field missing or of the wrong type, an unknown kind.
// A line without "kind" is an outcome as the first version wrote it.
struct AuditLine {
    AuditRecord record;
    QByteArray prev;
};
std::optional<AuditLine> readAuditLine(const QByteArray &line, QString *why);

// The hash a line gives the next one: SHA-256 of its bytes, without the
// line end, in hex; 64 zeros before the first line.
QByteArray chainHash(const QByteArray &line);
inline const QByteArray firstPrev = QByteArray(64, '0');

Q_DECLARE_METATYPE(OutcomeRecord)
Q_DECLARE_METATYPE(AuditRecord)
Q_DECLARE_METATYPE(LabelRecord)
