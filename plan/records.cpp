// SPDX-License-Identifier: MIT
#include "plan/records.h"

#include "plan/recordfields.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The plain SHA-256 routines are marked as deprecated since OpenSSL 3 in
// favour of the digest objects; see chainHash for why they are used.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <array>
#include <cmath>
#include <utility>

namespace {

constexpr std::array<std::pair<Result, const char *>, 5> resultTexts = {{
    {Result::Pass, "pass"},
    {Result::Fail, "fail"},
    {Result::NoAnswer, "no-answer"},
    {Result::NotAcknowledged, "not-acknowledged"},
    {Result::Aborted, "aborted"},
}};

const QString kindKey = QStringLiteral("kind");

bool isHash(const QString &text)
{
    if (text.size() != firstPrev.size())
        return false;
    for (const QChar c : text) {
        // Any decimal digit, as QChar knows them; ASCII ones at once.
        const ushort u = c.unicode();
        const bool ascii = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f');
        if (!ascii && (u < 128 || !c.isDigit()))
            return false;
    }
    return true;
}

} // namespace

QString resultText(Result result)
{
    for (const auto &[value, text] : resultTexts) {
        if (value == result)
            return QLatin1String(text);
    }
    return {};
}

std::optional<Result> resultFromText(const QString &text)
{
    for (const auto &[value, name] : resultTexts) {
        if (text == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

QString kindName(const AuditBody &body)
{
    static const std::array<QString, std::variant_size_v<AuditBody>> names = {
        QStringLiteral("claim"), QStringLiteral("outcome"), QStringLiteral("release"), QStringLiteral("label"),
        QStringLiteral("lost"), QStringLiteral("accept"), QStringLiteral("rework"), QStringLiteral("shift")};
    return names[body.index()];
}

int recordRow(const AuditBody &body)
{
    return std::visit([](const auto &record) { return record.row; }, body);
}

std::optional<QString> recordPort(const AuditBody &body)
{
    if (const auto *claim = std::get_if<ClaimRecord>(&body))
        return claim->port;
    if (const auto *outcome = std::get_if<OutcomeRecord>(&body))
        return outcome->port;
    if (const auto *lost = std::get_if<LostRecord>(&body))
        return lost->port;
    return std::nullopt;
}

std::optional<QString> recordResult(const AuditBody &body)
{
    if (const auto *outcome = std::get_if<OutcomeRecord>(&body))
        return resultText(outcome->result);
    return std::nullopt;
}

const SettingValues &recordValues(const ClaimRecord &claim)
{
    return claim.values;
}

const SettingValues &recordValues(const OutcomeRecord &outcome)
{
    return outcome.written;
}

const SettingValues &recordValues(const ReleaseRecord &release)
{
    return release.values;
}

const SettingValues &recordValues(const LabelRecord &label)
{
    return label.values;
}

const SettingValues &recordValues(const LostRecord &lost)
{
    return lost.values;
}

const SettingValues &recordValues(const AcceptRecord &)
{
    static const SettingValues none;
    return none;
}

const SettingValues &recordValues(const ReworkRecord &)
{
    return recordValues(AcceptRecord {});
}

const SettingValues &recordValues(const ShiftRecord &)
{
    return recordValues(AcceptRecord {});
}

QString recordSerial(const AuditBody &body)
{
    if (const auto *claim = std::get_if<ClaimRecord>(&body))
        return claim->serial;
    if (const auto *outcome = std::get_if<OutcomeRecord>(&body))
        return outcome->serial;
    if (const auto *label = std::get_if<LabelRecord>(&body))
        return label->serial;
    if (const auto *rework = std::get_if<ReworkRecord>(&body))
        return rework->serial;
    return {};
}

const SettingValues &recordValues(const AuditBody &body)
{
    return std::visit([](const auto &record) -> const SettingValues & { return recordValues(record); }, body);
}

std::optional<QString> recordName(const QString &given, const QString &what, QString *why)
{
    const QString name = given.normalized(QString::NormalizationForm_C);
    if (name.size() > longestName) {
        *why = QStringLiteral("%1 is %2 characters long; a name has at most %3").arg(what).arg(name.size()).arg(longestName);
        return std::nullopt;
    }
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph) {
            *why = QStringLiteral("%1 \"%2\" holds a control character; a name is one line of text")
                       .arg(what, printable(name));
            return std::nullopt;
        }
    }
    return name;
}

QString auditTimeNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

namespace {

// A value with every text longer than longest cut to it, marked.
QJsonValue cutTexts(const QJsonValue &value, int longest)
{
    if (value.isString() && value.toString().size() > longest)
        return QJsonValue(value.toString().left(longest) + QStringLiteral("…[cut]"));
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = cutTexts(it.value(), longest);
        return object;
    }
    return value;
}

// The fields that hold what others sent: a module's settings and answers,
// a printer's name and error, a port's path.
const char *const foreignFields[] = {"before", "read_back", "seen", "reason", "target", "port", "serial", "note"};

} // namespace

QByteArray auditLine(const AuditRecord &record, const QByteArray &prevHash)
{
    QJsonObject object = recordfields::bodyObject(record.body);
    object.insert(kindKey, kindName(record.body));
    object.insert(QStringLiteral("time"), record.time.isEmpty() ? auditTimeNow() : record.time);
    object.insert(QStringLiteral("station"), record.station);
    if (!record.operatorName.isEmpty())
        object.insert(QStringLiteral("operator"), record.operatorName);
    if (!record.operatorId.isEmpty())
        object.insert(QStringLiteral("operator_id"), record.operatorId);
    object.insert(QStringLiteral("version"), record.version.isEmpty() ? QStringLiteral(VEV_VERSION) : record.version);
    object.insert(QStringLiteral("prev"), QString::fromLatin1(prevHash));
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    // Only a hostile module's or printer's texts get this long: the reader
    // must still take the line, or the audit would end there.
    for (int longest = 1024; line.size() > longestAuditLine && longest >= 64; longest /= 4) {
        for (const char *field : foreignFields) {
            if (object.contains(QLatin1String(field)))
                object.insert(QLatin1String(field), cutTexts(object.value(QLatin1String(field)), longest));
        }
        line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    }
    return line;
}

namespace {

template <typename Object>
std::optional<AuditLine> readObject(const Object &object, QString *why)
{
    recordfields::Fields<Object> fields(object);
    AuditLine read;
    const QString prev = fields.text("prev");
    if (fields.why().isEmpty() && !isHash(prev)) {
        *why = QStringLiteral("\"prev\" is not a SHA-256 hash in hex");
        return std::nullopt;
    }
    read.prev = prev.toLatin1();
    read.kind = fields.text("kind", false);
    AuditRecord record;
    record.time = fields.text("time");
    record.station = fields.text("station");
    record.operatorName = fields.text("operator", false);
    record.operatorId = fields.text("operator_id", false);
    record.version = fields.text("version");
    const auto body = recordfields::readBody(read.kind, fields);
    if (!fields.why().isEmpty()) {
        *why = fields.why();
        return std::nullopt;
    }
    if (body) {
        record.body = std::move(*body);
        read.record = std::move(record);
    }
    return read;
}

} // namespace

std::optional<AuditLine> readAuditLine(const QByteArray &line, QString *why)
{
    // The form this program writes is read in place; any other is Qt's to judge.
    CompactLine compact;
    if (compact.read(line))
        return readObject(compact, why);
    return readAuditLineWithQt(line, why);
}

std::optional<AuditLine> readAuditLineWithQt(const QByteArray &line, QString *why)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (!document.isObject()) {
        *why = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    return readObject(document.object(), why);
}

QByteArray chainHash(const QByteArray &line)
{
    // OpenSSL's plain SHA-256 routines: they use the processor's SHA
    // instructions where there are some and hash a line in a tenth of the
    // time Qt's own does, which an audit of a million lines feels. Unlike
    // its digest objects they keep no state of their own in the library or
    // in the thread (that state outlives the database's worker thread and
    // meets the library's clean-up at exit), so any thread may call this.
    SHA256_CTX context;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    if (SHA256_Init(&context) != 1 || SHA256_Update(&context, line.constData(), size_t(line.size())) != 1
        || SHA256_Final(digest, &context) != 1)
        return QCryptographicHash::hash(line, QCryptographicHash::Sha256).toHex();
    static const char hex[] = "0123456789abcdef";
    QByteArray text(2 * int(sizeof digest), Qt::Uninitialized);
    char *out = text.data();
    for (const unsigned char byte : digest) {
        *out++ = hex[byte >> 4];
        *out++ = hex[byte & 15];
    }
    return text;
}

std::optional<AuditLine> AuditChain::take(const QByteArray &line, QString *why)
{
    auto read = readAuditLine(line, why);
    if (!read)
        return std::nullopt;
    const QByteArray hash = chainHash(line);
    return take(std::move(read), hash, why);
}

std::optional<AuditLine> AuditChain::take(std::optional<AuditLine> read, const QByteArray &hash, QString *why)
{
    if (!read)
        return std::nullopt;
    if (read->prev != m_prev) {
        *why = m_lines == 0 ? QStringLiteral("the first line's prev is not 64 zeros")
                            : QStringLiteral("prev does not match line %1: a line was changed, removed or inserted")
                                  .arg(m_lines);
        return std::nullopt;
    }
    m_prev = hash;
    ++m_lines;
    if (!read->record)
        ++m_unknown;
    return read;
}

QString AuditChain::endsElsewhere(const QByteArray &lastHash) const
{
    if (lastHash.toLower() == m_prev)
        return {};
    return QStringLiteral("the audit does not end at %1: it ends at %2 (lines were added since, or the chain was "
                          "rewritten)").arg(printable(QString::fromLatin1(lastHash)), QString::fromLatin1(m_prev));
}
