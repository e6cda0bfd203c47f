// SPDX-License-Identifier: MIT
#pragma once

// The audit trail in a file: one record a line (see records.h), each line
// carrying the SHA-256 of the line before it, so that a later edit, removal
// or insertion breaks the chain. Read a line at a time, so a file of any
// size is read whole without being held whole.

#include "plan/records.h"

#include <QFile>
#include <QString>

#include <functional>
#include <memory>

// Each record as it is read, with its 1-based line.
using AuditVisitor = std::function<void(const AuditRecord &record, int line)>;

struct AuditCheck {
    int lines = 0;         // lines that check out
    int unknown = 0;       // of those, lines of kinds this version does not know: chained, not read
    int firstBad = 0;      // 1-based; 0 when every line checks out
    QString why;           // what is wrong with the first bad line, or why the file cannot be read
    bool unreadable = false; // the file could not be read at all
    bool endsElsewhere = false; // every line checks out, but the file does not end at the hash asked for
    bool disagrees = false; // every line checks out, but the plan kept beside the audit does not follow it (why: which row)
    QStringList onTwoModules; // a shared audit: rows recorded as maybe on two modules, not yet released ("row N: why")
    QByteArray lastHash;   // the hash the next line would chain to
};

// Checks every line's fields and its place in the chain; with lastHash,
// also that the file ends at that hash. Only a regular file is read.
AuditCheck verifyAudit(const QString &path, const AuditVisitor &visit = {}, const QByteArray &lastHash = {});

class AuditFile
{
public:
    // Opens the trail for appending, creating it if need be, and reads it
    // through verifyAudit: a file that is not a regular file or whose chain
    // is broken is refused (broken says which), since a record appended to
    // it would vouch for lines nobody can trust.
    bool open(const QString &path, const AuditVisitor &visit, QString *error, bool *broken);

    // Appends one line, flushed and synced to the disk before it returns.
    // A write that fails (a full disk) is cut back to the last whole line;
    // *error has the system's reason. A file whose size is not what this
    // left it (cut short or written to by another program) gets nothing.
    bool append(const AuditRecord &record, QString *error);

    QString path() const { return m_file.fileName(); }
    int lines() const { return m_lines; }
    // The size this has left the file at.
    qint64 size() const { return m_size; }
    int handle() const { return m_file.handle(); }
    QByteArray lastHash() const { return m_lastHash; }

private:
    QFile m_file;
    qint64 m_size = 0;
    int m_lines = 0;
    QByteArray m_lastHash;
};

// Runs work over items 0 to count, the first half on a thread of its own
// where there is a second core: reading and hashing lines, which each line
// needs by itself before the chain is checked in order. work must be safe
// to run on two threads at once over disjoint ranges.
void inHalves(int count, const std::function<void(int begin, int end)> &work);

// The same for batch after batch of a long read, on one second thread kept
// for them all: a thread started for each batch costs its start, and its
// memory cache starts cold each time. Used from one thread.
class Halves
{
public:
    Halves();
    ~Halves();
    Halves(const Halves &) = delete;
    Halves &operator=(const Halves &) = delete;

    void run(int count, const std::function<void(int begin, int end)> &work);

private:
    struct Helper;
    std::unique_ptr<Helper> m_helper; // none: no second core, or no thread to be had
};

// Why a path cannot be an audit: it exists and is not a regular file (a
// device, a FIFO, a folder would never end, never answer, or take records
// into nothing). Empty when it can be.
QString notAnAuditFile(const QString &path);
