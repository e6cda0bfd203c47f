// SPDX-License-Identifier: MIT
#pragma once

// What a provisioning station writes into its audit trail, one JSON object
// a line: a claim before the first byte goes to a module, the outcome once
// the module has been written and read back, a release that hands a row in
// doubt back to the plan, a label printed for a module that passed, and a
// passed module seen on its lane without its row.
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
    int partOf = 0;       // a row whose IP the module carried when it was found, written over now
    QString serial = {};  // the unit's own serial number as scanned; empty: none
};

struct OutcomeRecord {
    int row = 0;
    QString port;
    SettingValues before;
    SettingValues written;
    SettingValues readBack;
    Result result = Result::Fail;
    QString reason; // for people: which setting, and what came back; empty on a pass
    // The settings the module acknowledged; none known for outcomes written
    // before this was recorded.
    std::optional<QList<Setting>> acknowledged;
    // Why it did not pass, as a stable word (see failurecodes.h); empty for
    // a pass, and as read from an outcome written before codes.
    QString code = {};
    QString serial = {}; // the unit's serial number, as its claim has it
    // How many outcomes the same unit had before, plus one: by its serial,
    // else by the row it finishes; 0 in an outcome written before attempts.
    int attempt = 0;
};

struct ReleaseRecord {
    int row = 0;
    SettingValues values;
    QString reason; // "released by the operator", "nothing was written"
    // Who allowed it, where a roster names supervisors; empty otherwise.
    QString supervisorId = {};
    QString supervisor = {};
};

struct LabelRecord {
    int row = 0;
    SettingValues values;
    bool printed = false;
    QString target; // where it went: a file, a printer
    QString reason; // why it was not printed
    bool sent = false; // not printed as far as anyone knows, nor refused: the printer did not say
    bool voided = false; // the label printed before for this row no longer tells the truth
    QString serial = {}; // the unit's serial number, printed on it
};

// A module that passed with its row was seen on its lane without it: its
// settings went back, or a twin sharing its factory MAC took its place, and
// the station cannot tell which. The row is in doubt again.
struct LostRecord {
    int row = 0;
    QString port;
    SettingValues values; // the row's
    SettingValues seen;   // what the module on the lane holds now
};

// A station of a shared audit that no longer holds the last line the
// station stored (the audit was restored from a backup) was told to go on
// from the line the audit ends at now. About no row.
struct AcceptRecord {
    int row = 0;
    qint64 seq = 0;            // the line it goes on from; 0: an empty audit
    QString hash;              // ... and that line's hash
    qint64 rememberedSeq = 0;  // the last line it had stored; 0: none known
    QString rememberedHash;
};

// A unit that failed went to rework: its next outcome counts as an attempt
// after this. About a unit (by serial, else by the MAC it carries), not a
// row.
struct ReworkRecord {
    int row = 0;
    QString serial;
    QString mac;
    QString code;  // the failure code the unit was reworked for
    QString note;  // free text; may be empty
};

// A shift starts: reports count a shift from its line on. About no row.
struct ShiftRecord {
    int row = 0;
    QString name; // the shift's name as given; may be empty
};

using AuditBody = std::variant<ClaimRecord, OutcomeRecord, ReleaseRecord, LabelRecord, LostRecord, AcceptRecord,
                               ReworkRecord, ShiftRecord>;

// The time an audit line carries: now, ISO 8601 in UTC with milliseconds.
QString auditTimeNow();

// A station's or an operator's name as records carry it: at most
// longestName characters, no control characters, in Unicode's composed
// form (NFC), so that names that look the same compare the same. Nothing,
// with *why naming what (e.g. "--operator"), when it cannot be one.
inline constexpr int longestName = 100;
std::optional<QString> recordName(const QString &given, const QString &what, QString *why);

struct AuditRecord {
    QString time;         // ISO 8601, UTC, with milliseconds
    QString station;
    QString operatorName; // empty: none given
    QString version;      // the tool that wrote it
    AuditBody body;
    QString operatorId = {}; // the operator's short id from a roster; empty: none
};

// The kind's name as the audit writes it: claim, outcome, release, label,
// lost, accept, rework, shift.
QString kindName(const AuditBody &body);

// The plan row a record is about, and the row's values as it records them
// (an outcome's are those written).
int recordRow(const AuditBody &body);
// The port a claim or an outcome names, and an outcome's result in its text
// form; nothing for the other kinds.
std::optional<QString> recordPort(const AuditBody &body);
std::optional<QString> recordResult(const AuditBody &body);
// The unit's serial number a claim, an outcome, a label or a rework names;
// empty for the other kinds and where none was scanned.
QString recordSerial(const AuditBody &body);
const SettingValues &recordValues(const ClaimRecord &claim);
const SettingValues &recordValues(const OutcomeRecord &outcome);
const SettingValues &recordValues(const ReleaseRecord &release);
const SettingValues &recordValues(const LabelRecord &label);
const SettingValues &recordValues(const LostRecord &lost);
const SettingValues &recordValues(const AcceptRecord &accept); // none
const SettingValues &recordValues(const ReworkRecord &rework);  // none
const SettingValues &recordValues(const ShiftRecord &shift);    // none
const SettingValues &recordValues(const AuditBody &body);

// The longest audit line a reader takes. A record is a few hundred bytes;
// anything far longer is not one (a file of zeros, a binary).
inline constexpr int longestAuditLine = 64 * 1024;

// The line for a record, without its line end. An empty time or version is
// filled in with now and this tool's version. Always within
// longestAuditLine: texts a module or a printer sent that would make it
// longer are cut, with a mark.
QByteArray auditLine(const AuditRecord &record, const QByteArray &prevHash);

// What a line holds: its prev, its kind, and its record when the kind is
// one this version knows; nothing with *why saying what is wrong: not JSON,
// no prev, a field of a known kind missing or of the wrong type. A line of
// a kind this version does not know (written by a later one) still chains:
// readers check its place and skip it. A line without "kind" is an outcome
// as the first version wrote it.
struct AuditLine {
    QByteArray prev;
    QString kind;
    std::optional<AuditRecord> record; // none: a kind this version does not know
};
std::optional<AuditLine> readAuditLine(const QByteArray &line, QString *why);
// The same through Qt's JSON reader, whatever the line's form:
// readAuditLine() reads the form auditLine() writes in place (see
// compactline.h), and must come to what this does.
std::optional<AuditLine> readAuditLineWithQt(const QByteArray &line, QString *why);

// The hash a line gives the next one: SHA-256 of its bytes, without the
// line end, in hex; 64 zeros before the first line.
QByteArray chainHash(const QByteArray &line);
inline const QByteArray firstPrev = QByteArray(64, '0');

// An audit's lines checked one after another, wherever they are kept: each
// record's fields, and that it chains on the line before.
class AuditChain
{
public:
    // What a line (without its line end) holds once it checks out and takes
    // its place in the chain; else nothing, with *why. A line of a kind this
    // version does not know takes its place with no record, and is counted.
    std::optional<AuditLine> take(const QByteArray &line, QString *why);
    // The same for a line read already (readAuditLine()'s answer; *why says
    // why it is none) and hashed (chainHash()), on whichever thread.
    std::optional<AuditLine> take(std::optional<AuditLine> read, const QByteArray &hash, QString *why);
    // Why the lines taken do not end at lastHash (a copy of the last hash
    // kept elsewhere); empty when they do.
    QString endsElsewhere(const QByteArray &lastHash) const;

    int lines() const { return m_lines; }
    // Lines of kinds this version does not know.
    int unknown() const { return m_unknown; }
    const QByteArray &lastHash() const { return m_prev; }

private:
    QByteArray m_prev = firstPrev;
    int m_lines = 0;
    int m_unknown = 0;
};

Q_DECLARE_METATYPE(OutcomeRecord)
Q_DECLARE_METATYPE(AuditRecord)
Q_DECLARE_METATYPE(LabelRecord)
Q_DECLARE_METATYPE(LostRecord)
