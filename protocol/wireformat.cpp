#include "wireformat.h"

namespace {

const std::array<SettingInfo, 4> settingTable = {{
    {'T', "RS:RT#", "RS:WT", "RS:RT", '.', "eth IP address"},
    {'G', "RS:RG#", "RS:WG", "RS:RG", '.', "eth Gateway"},
    {'P', "RS:RP#", "RS:WP", "RS:RP", '.', "eth Port"},
    {'M', "RS:RM#", "RS:WM", "RS:RM", ':', "eth mac address"},
}};

} // namespace

const SettingInfo &settingInfo(Setting setting)
{
    return settingTable.at(static_cast<std::size_t>(setting));
}

QString readCommand(Setting setting)
{
    return QLatin1String(settingInfo(setting).readCommand);
}

QString writeCommand(Setting setting, const QString &formValue)
{
    const SettingInfo &info = settingInfo(setting);
    QString wireValue = formValue;
    wireValue.replace(QLatin1Char(info.formSeparator), QLatin1Char(wireSeparator));
    return QLatin1String(info.writePrefix) + wireValue + QLatin1Char(commandTerminator);
}

std::optional<QString> replyValue(const QString &reply, Setting setting)
{
    const SettingInfo &info = settingInfo(setting);
    const QLatin1String prefix(info.replyPrefix);
    const int start = reply.indexOf(prefix, 0, Qt::CaseSensitive);
    if (start < 0)
        return std::nullopt;

    const int valueStart = start + prefix.size();
    const int end = reply.indexOf(QLatin1Char(commandTerminator), start);
    QString value = end < 0 ? reply.mid(valueStart) : reply.mid(valueStart, end - valueStart);
    value.replace(QLatin1Char(wireSeparator), QLatin1Char(info.formSeparator));
    return value;
}

bool acknowledges(const QString &text, Setting setting)
{
    return text.contains(QLatin1String(settingInfo(setting).ackKeyword), Qt::CaseSensitive);
}

QString frameText(const QByteArray &frame)
{
    const int zero = frame.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? frame : frame.left(zero));
}

QByteArray commandBytes(const QString &command)
{
    return command.toLatin1();
}
