// SPDX-License-Identifier: MIT
#include "protocol/wireformat.h"

namespace {

const std::array<SettingInfo, 4> settingTable = {{
    {"ip", "IP address", 'T', "RS:RT#", "RS:WT", "RS:RT", '.', "eth IP address"},
    {"gateway", "Gateway", 'G', "RS:RG#", "RS:WG", "RS:RG", '.', "eth Gateway"},
    {"port", "Port", 'P', "RS:RP#", "RS:WP", "RS:RP", '.', "eth Port"},
    {"mac", "MAC address", 'M', "RS:RM#", "RS:WM", "RS:RM", ':', "eth mac address"},
}};

} // namespace

const SettingInfo &settingInfo(Setting setting)
{
    return settingTable.at(static_cast<std::size_t>(setting));
}

std::optional<Setting> settingForLetter(QChar letter)
{
    for (Setting setting : allSettings) {
        if (letter == QLatin1Char(settingInfo(setting).letter))
            return setting;
    }
    return std::nullopt;
}

std::optional<Setting> settingForKey(const QString &key)
{
    for (Setting setting : allSettings) {
        if (key == QLatin1String(settingInfo(setting).key))
            return setting;
    }
    return std::nullopt;
}

QString toWireValue(Setting setting, const QString &formValue)
{
    QString wire = formValue;
    wire.replace(QLatin1Char(settingInfo(setting).formSeparator), QLatin1Char(wireSeparator));
    return wire;
}

QString toFormValue(Setting setting, const QString &wireValue)
{
    QString form = wireValue;
    form.replace(QLatin1Char(wireSeparator), QLatin1Char(settingInfo(setting).formSeparator));
    return form;
}

QString readCommand(Setting setting)
{
    return QLatin1String(settingInfo(setting).readCommand);
}

QString writeCommand(Setting setting, const QString &formValue)
{
    return QLatin1String(settingInfo(setting).writePrefix) + toWireValue(setting, formValue)
           + QLatin1Char(commandTerminator);
}

std::optional<QString> replyValue(const QString &reply, Setting setting)
{
    const QLatin1String prefix(settingInfo(setting).replyPrefix);
    const int start = reply.indexOf(prefix, 0, Qt::CaseSensitive);
    if (start < 0)
        return std::nullopt;

    const int valueStart = start + prefix.size();
    const int end = reply.indexOf(QLatin1Char(commandTerminator), start);
    return toFormValue(setting, end < 0 ? reply.mid(valueStart) : reply.mid(valueStart, end - valueStart));
}

QString replyText(Setting setting, const QString &formValue)
{
    return QLatin1String(settingInfo(setting).replyPrefix) + toWireValue(setting, formValue)
           + QLatin1Char(commandTerminator);
}

std::optional<Command> parseCommand(const QString &text)
{
    // "RS:" + direction + letter + value + "#"
    static const QLatin1String lead("RS:");
    constexpr int valueStart = 5;
    if (!text.startsWith(lead) || text.size() < valueStart + 1 || !text.endsWith(QLatin1Char(commandTerminator)))
        return std::nullopt;
    const QChar direction = text.at(3);
    const auto setting = settingForLetter(text.at(4));
    if (!setting || (direction != QLatin1Char('R') && direction != QLatin1Char('W')))
        return std::nullopt;

    const QString wire = text.mid(valueStart, text.size() - valueStart - 1);
    if (wire.contains(QLatin1Char(commandTerminator)))
        return std::nullopt;
    Command command;
    command.setting = *setting;
    command.write = direction == QLatin1Char('W');
    if (!command.write && !wire.isEmpty())
        return std::nullopt;
    command.formValue = toFormValue(*setting, wire);
    return command;
}

bool acknowledges(const QString &text, Setting setting)
{
    return text.contains(QLatin1String(settingInfo(setting).ackKeyword), Qt::CaseSensitive);
}

QString frameText(const QByteArray &frame)
{
    // A zero byte is line noise (adapters send one as they power up), not
    // the end of the answer: it is dropped and the rest is read.
    QByteArray bytes = frame;
    bytes.replace('\0', QByteArray());
    return QString::fromLatin1(bytes);
}

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\')
            shown += QStringLiteral("\\\\");
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QByteArray commandBytes(const QString &command)
{
    return command.toLatin1();
}
