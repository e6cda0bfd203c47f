// SPDX-License-Identifier: MIT
// Each kind's own fields as the audit writes them.

#include "plan/recordfields.h"

namespace recordfields {

namespace {

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
    if (!claim.serial.isEmpty())
        object.insert(QStringLiteral("serial"), claim.serial);
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
    if (!outcome.serial.isEmpty())
        object.insert(QStringLiteral("serial"), outcome.serial);
    if (outcome.attempt > 0)
        object.insert(QStringLiteral("attempt"), outcome.attempt);
    return object;
}

QJsonObject bodyObject(const ReleaseRecord &release)
{
    QJsonObject object {
        {QStringLiteral("row"), release.row},
        {QStringLiteral("values"), settingsToJson(release.values)},
        {QStringLiteral("reason"), release.reason},
    };
    if (!release.supervisorId.isEmpty())
        object.insert(QStringLiteral("supervisor_id"), release.supervisorId);
    if (!release.supervisor.isEmpty())
        object.insert(QStringLiteral("supervisor"), release.supervisor);
    return object;
}

QJsonObject bodyObject(const ReworkRecord &rework)
{
    QJsonObject object {{QStringLiteral("code"), rework.code}};
    if (!rework.serial.isEmpty())
        object.insert(QStringLiteral("serial"), rework.serial);
    if (!rework.mac.isEmpty())
        object.insert(QStringLiteral("mac"), rework.mac);
    if (!rework.note.isEmpty())
        object.insert(QStringLiteral("note"), rework.note);
    return object;
}

QJsonObject bodyObject(const ShiftRecord &shift)
{
    QJsonObject object;
    if (!shift.name.isEmpty())
        object.insert(QStringLiteral("name"), shift.name);
    return object;
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
    if (!label.serial.isEmpty())
        object.insert(QStringLiteral("serial"), label.serial);
    return object;
}

} // namespace

QJsonObject bodyObject(const AuditBody &body)
{
    return std::visit([](const auto &record) { return bodyObject(record); }, body);
}

} // namespace recordfields
