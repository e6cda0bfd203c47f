// SPDX-License-Identifier: MIT
#pragma once

// The audit trail of a provisioning station: one JSON object per line for
// every module handled, each line carrying the SHA-256 of the line before
// it, so that a later edit, removal or insertion breaks the chain. QtCore
// only: it can be written and checked without any serial line.

#include "protocol/settingsjson.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

struct AuditRecord {
    QString station; // host name
    QString port;
    int row = 0;     // 1-based plan row
    SettingValues before;
    SettingValues written;
    SettingValues readBack;
    QString result;  // pass, fail, no-answer, not-acknowledged, aborted
};

class AuditLog
{
public:
    // Opens the trail for appending, creating it if need be, and reads what
    // it holds: the hash to chain to and the rows already passed.
    bool open(const QString &path, QString *error);

    // Appends one line, flushed and synced to the disk before it returns.
    bool append(const AuditRecord &record, QString *error);

    // Whether the trail records the row as passed with these values.
    bool passed(int row, const SettingValues &values) const;

    // What a line holds: the record, the time, the tool's version and prev.
    static QByteArray line(const AuditRecord &record, const QByteArray &prevHash);

private:
    QFile m_file;
    QByteArray m_lastHash;
    QHash<int, QByteArray> m_passed; // row -> the written values, as JSON
};

// The hash a line gives the next one: SHA-256 of its bytes, without the
// line end, in hex; 64 zeros before the first line.
QByteArray chainHash(const QByteArray &line);
inline const QByteArray firstPrev = QByteArray(64, '0');

struct AuditCheck {
    int lines = 0;    // lines that check out
    int firstBad = 0; // 1-based; 0 when the chain is whole
    QString why;
};
// Checks every line's prev; an unreadable file is a bad line 0 with why.
AuditCheck verifyAudit(const QString &path);
