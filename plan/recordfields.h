// SPDX-License-Identifier: MIT
#pragma once

// Inside the records: each kind's fields as the audit writes them and as a
// reader takes them back, from Qt's JSON reader's object or in place (see
// compactline.h). Only records.cpp and recordbodies.cpp include this.

#include "plan/compactline.h"
#include "plan/records.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace recordfields {

// What Fields asks of a member that Qt's reader read: the same as
// CompactValue's settings() and settingKeys().
inline std::optional<SettingValues> settingsOf(const QJsonValue &value)
{
    QString error;
    return value.isObject() ? settingsFromJson(value.toObject(), &error) : std::nullopt;
}

inline bool settingKeysOf(const QJsonValue &value, QList<Setting> *list)
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

inline std::optional<SettingValues> settingsOf(const CompactValue &value)
{
    return value.settings();
}

inline bool settingKeysOf(const CompactValue &value, QList<Setting> *list)
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

// A record's own fields as a JSON object, without those every line has.
QJsonObject bodyObject(const AuditBody &body);

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
        outcome.serial = fields.text("serial", false);
        outcome.attempt = fields.row("attempt", false);
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
        claim.serial = fields.text("serial", false);
        return claim;
    }
    if (kind == QLatin1String("release")) {
        ReleaseRecord release;
        release.row = fields.row();
        release.values = fields.settings("values");
        release.reason = fields.text("reason");
        release.supervisorId = fields.text("supervisor_id", false);
        release.supervisor = fields.text("supervisor", false);
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
        label.serial = fields.text("serial", false);
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
    if (kind == QLatin1String("rework")) {
        ReworkRecord rework;
        rework.serial = fields.text("serial", false);
        rework.mac = fields.text("mac", false);
        rework.code = fields.text("code");
        rework.note = fields.text("note", false);
        return rework;
    }
    if (kind == QLatin1String("shift"))
        return ShiftRecord {0, fields.text("name", false)};
    return std::nullopt;
}

} // namespace recordfields
