// SPDX-License-Identifier: MIT
#include "plan/records.h"

#include "plan/compactline.h"

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

// What Fields asks of a member that Qt's reader read: the same as
// CompactValue's settings() and settingKeys().
std::optional<SettingValues> settingsOf(const QJsonValue &value)
{
    QString error;
    return value.isObject() ? settingsFromJson(value.toObject(), &error) : std::nullopt;
}

bool settingKeysOf(const QJsonValue &value, QList<Setting> *list)
{
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array) {
        const auto setting = settingForKey(item.toString());
        if (!setting)
            return false;
        *list << *setting;
    }
    return true;
}

std::optional<SettingValues> settingsOf(const CompactValue &value)
{
    return value.settings();
}

bool settingKeysOf(const CompactValue &value, QList<Setting> *list)
{
    return value.settingKeys(list);
}

// Reading one object, as Qt's reader read it (a QJsonObject) or in place
// (a CompactLine), by the same rules: each accessor notes the first field
// that is missing or of the wrong type, so the reader says exactly what is
// wrong.
template <typename Object>
class Fields
{
public:
    explicit Fields(const Object &object)
        : m_object(object)
    {
    }

    QString text(const char *key, bool required = true)
    {
        const auto value = m_object.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return {};
        if (!value.isString())
            note(key, "a string");
        return value.toString();
    }

    // A plan row, 1 or more; 0 when an optional one is absent.
    int row(const char *key = "row", bool required = true)
    {
        const auto value = m_object.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return 0;
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number < 1 || number > 1e9 || std::floor(number) != number) {
            note(key, "a whole number from 1");
            return 0;
        }
        return int(number);
    }

    bool flag(const char *key)
    {
        const auto value = m_object.value(QLatin1String(key));
        if (value.isUndefined())
            return false;
        if (!value.isBool())
            note(key, "true or false");
        return value.toBool();
    }

    // A list of setting keys ("ip", "mac"), absent or not.
    std::optional<QList<Setting>> settingList(const char *key)
    {
        const auto value = m_object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::nullopt;
        QList<Setting> list;
        if (!settingKeysOf(value, &list)) {
            note(key, "a list of setting names");
            return std::nullopt;
        }
        if (!value.isArray())
            note(key, "a list of setting names");
        return list;
    }

    SettingValues settings(const char *key)
    {
        const auto values = settingsOf(m_object.value(QLatin1String(key)));
        if (!values) {
            note(key, "an object of settings");
            return {};
        }
        return *values;
    }

    Result result()
    {
        const auto result = resultFromText(text("result"));
        if (!result && m_why.isEmpty())
            m_why = QStringLiteral("\"result\" is not one of pass, fail, no-answer, not-acknowledged, aborted");
        return result.value_or(Result::Fail);
    }

    const QString &why() const { return m_why; }

private:
    void note(const char *key, const char *what)
    {
        if (m_why.isEmpty())
            m_why = QStringLiteral("\"%1\" is missing or not %2").arg(QLatin1String(key), QLatin1String(what));
    }

    const Object &m_object;
    QString m_why;
};

QJsonObject bodyObject(const ClaimRecord &claim)
{
    QJsonObject object {
        {QStringLiteral("row"), claim.row},
        {QStringLiteral("port"), claim.port},
        {QStringLiteral("before"), settingsToJson(claim.before)},
        {QStringLiteral("values"), settingsToJson(claim.values)},
    };
    if (claim.partOf > 0)
        object.insert(QStringLiteral("part_of"), claim.partOf);
    if (claim.forced)
        object.insert(QStringLiteral("force"), true);
    return object;
}

QJsonObject bodyObject(const OutcomeRecord &outcome)
{
    QJsonObject object {
        {QStringLiteral("row"), outcome.row},
        {QStringLiteral("port"), outcome.port},
        {QStringLiteral("before"), settingsToJson(outcome.before)},
        {QStringLiteral("written"), settingsToJson(outcome.written)},
        {QStringLiteral("read_back"), settingsToJson(outcome.readBack)},
        {QStringLiteral("result"), resultText(outcome.result)},
    };
    if (!outcome.reason.isEmpty())
        object.insert(QStringLiteral("reason"), outcome.reason);
    if (!outcome.code.isEmpty())
        object.insert(QStringLiteral("code"), outcome.code);
    if (outcome.acknowledged) {
        QJsonArray keys;
        for (Setting setting : *outcome.acknowledged)
            keys.append(QLatin1String(settingInfo(setting).key));
        object.insert(QStringLiteral("acknowledged"), keys);
    }
    return object;
}

QJsonObject bodyObject(const ReleaseRecord &release)
{
    return {
        {QStringLiteral("row"), release.row},
        {QStringLiteral("values"), settingsToJson(release.values)},
        {QStringLiteral("reason"), release.reason},
    };
}

QJsonObject bodyObject(const LostRecord &lost)
{
    return {
        {QStringLiteral("row"), lost.row},
        {QStringLiteral("port"), lost.port},
        {QStringLiteral("values"), settingsToJson(lost.values)},
        {QStringLiteral("seen"), settingsToJson(lost.seen)},
    };
}

QJsonObject bodyObject(const AcceptRecord &accept)
{
    QJsonObject object {{QStringLiteral("hash"), accept.hash}};
    if (accept.seq > 0) // none: an empty audit
        object.insert(QStringLiteral("seq"), accept.seq);
    if (accept.rememberedSeq > 0) {
        object.insert(QStringLiteral("remembered_seq"), accept.rememberedSeq);
        object.insert(QStringLiteral("remembered_hash"), accept.rememberedHash);
    }
    return object;
}

QJsonObject bodyObject(const LabelRecord &label)
{
    QJsonObject object {
        {QStringLiteral("row"), label.row},
        {QStringLiteral("values"), settingsToJson(label.values)},
        {QStringLiteral("printed"), label.printed},
        {QStringLiteral("target"), label.target},
    };
    if (label.sent)
        object.insert(QStringLiteral("sent"), true);
    if (label.voided)
        object.insert(QStringLiteral("voided"), true);
    if (!label.reason.isEmpty())
        object.insert(QStringLiteral("reason"), label.reason);
    return object;
}

template <typename Object>
std::optional<AuditBody> readBody(const QString &kind, Fields<Object> &fields)
{
    if (kind.isEmpty() || kind == QLatin1String("outcome")) {
        OutcomeRecord outcome;
        outcome.row = fields.row();
        outcome.port = fields.text("port");
        outcome.before = fields.settings("before");
        outcome.written = fields.settings("written");
        outcome.readBack = fields.settings("read_back");
        outcome.result = fields.result();
        outcome.reason = fields.text("reason", false);
        outcome.code = fields.text("code", false);
        outcome.acknowledged = fields.settingList("acknowledged");
        return outcome;
    }
    if (kind == QLatin1String("claim")) {
        ClaimRecord claim;
        claim.row = fields.row();
        claim.port = fields.text("port");
        claim.before = fields.settings("before");
        claim.values = fields.settings("values");
        claim.forced = fields.flag("force");
        claim.partOf = fields.row("part_of", false);
        return claim;
    }
    if (kind == QLatin1String("release")) {
        ReleaseRecord release;
        release.row = fields.row();
        release.values = fields.settings("values");
        release.reason = fields.text("reason");
        return release;
    }
    if (kind == QLatin1String("label")) {
        LabelRecord label;
        label.row = fields.row();
        label.values = fields.settings("values");
        label.printed = fields.flag("printed");
        label.sent = fields.flag("sent");
        label.voided = fields.flag("voided");
        label.target = fields.text("target");
        label.reason = fields.text("reason", false);
        return label;
    }
    if (kind == QLatin1String("lost")) {
        LostRecord lost;
        lost.row = fields.row();
        lost.port = fields.text("port");
        lost.values = fields.settings("values");
        lost.seen = fields.settings("seen");
        return lost;
    }
    if (kind == QLatin1String("accept")) {
        AcceptRecord accept;
        accept.seq = fields.row("seq", false);
        accept.hash = fields.text("hash");
        accept.rememberedSeq = fields.row("remembered_seq", false);
        accept.rememberedHash = fields.text("remembered_hash", accept.rememberedSeq > 0);
        return accept;
    }
    return std::nullopt;
}

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
        QStringLiteral("lost"), QStringLiteral("accept")};
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
const char *const foreignFields[] = {"before", "read_back", "seen", "reason", "target", "port"};

} // namespace

QByteArray auditLine(const AuditRecord &record, const QByteArray &prevHash)
{
    QJsonObject object = std::visit([](const auto &body) { return bodyObject(body); }, record.body);
    object.insert(kindKey, kindName(record.body));
    object.insert(QStringLiteral("time"), record.time.isEmpty() ? auditTimeNow() : record.time);
    object.insert(QStringLiteral("station"), record.station);
    if (!record.operatorName.isEmpty())
        object.insert(QStringLiteral("operator"), record.operatorName);
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
    Fields<Object> fields(object);
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
    record.version = fields.text("version");
    const auto body = readBody(read.kind, fields);
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
