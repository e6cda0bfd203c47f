// SPDX-License-Identifier: MIT
#include "protocol/values.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

const QString octet = QStringLiteral("(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
const QString hexPair = QStringLiteral("[0-9A-Fa-f]{2}");

constexpr uint highestOctet = 255;

QString firstThreeFields(const QString &address)
{
    return address.section(QLatin1Char('.'), 0, 2);
}

QString macDigits(const QString &mac)
{
    QString digits = mac;
    digits.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    return digits.toUpper();
}

// Dotted decimal without leading zeros, or nothing when the value is not
// four numbers 0-255.
std::optional<QString> addressNumbers(const QString &value)
{
    QStringList fields = value.split(QLatin1Char('.'));
    if (fields.size() != 4)
        return std::nullopt;
    for (QString &field : fields) {
        bool ok = false;
        const uint number = field.toUInt(&ok, 10);
        if (!ok || field.size() > 3 || !field.at(0).isDigit() || number > highestOctet)
            return std::nullopt;
        field = QString::number(number);
    }
    return fields.join(QLatin1Char('.'));
}

QString unusableAddressReason(const QString &value)
{
    const uint first = value.section(QLatin1Char('.'), 0, 0).toUInt();
    if (first == 0)
        return QStringLiteral("in 0.0.0.0/8, which no device can use");
    if (first == 127)
        return QStringLiteral("a loopback address");
    if (first >= 224 && first < 240)
        return QStringLiteral("a multicast address");
    if (first >= 240)
        return QStringLiteral("a reserved or broadcast address");
    return {};
}

QString unusableMacReason(const QString &value)
{
    const QString digits = macDigits(value);
    if (digits == QLatin1String("000000000000"))
        return QStringLiteral("all zeros");
    if (digits == QLatin1String("FFFFFFFFFFFF"))
        return QStringLiteral("the broadcast address");
    if (digits.left(2).toUInt(nullptr, 16) & 1u)
        return QStringLiteral("a group address: its first byte is odd");
    return {};
}

} // namespace

QString valuePattern(Setting setting)
{
    switch (setting) {
    case Setting::IpAddress:
    case Setting::Gateway:
        return QStringLiteral("%1(?:\\.%1){3}").arg(octet);
    case Setting::Port:
        return QStringLiteral(
            "6553[0-5]|655[0-2][0-9]|65[0-4][0-9]{2}|6[0-4][0-9]{3}|[1-5][0-9]{4}|[1-9][0-9]{0,3}|0");
    case Setting::MacAddress:
        return QStringLiteral("(?:%1){6}|%1(?::%1){5}|%1(?:-%1){5}").arg(hexPair);
    }
    return {};
}

bool isValidValue(Setting setting, const QString &value)
{
    // Compiled once: a plan of many thousand rows checks every value.
    static const std::array<QRegularExpression, allSettings.size()> exact = [] {
        std::array<QRegularExpression, allSettings.size()> patterns;
        for (Setting s : allSettings)
            patterns[std::size_t(s)] = QRegularExpression(QRegularExpression::anchoredPattern(valuePattern(s)));
        return patterns;
    }();
    return exact[std::size_t(setting)].match(value).hasMatch();
}

QString unusableReason(Setting setting, const QString &value)
{
    switch (setting) {
    case Setting::IpAddress:
    case Setting::Gateway: return unusableAddressReason(value);
    case Setting::MacAddress: return unusableMacReason(value);
    case Setting::Port: break;
    }
    return {};
}

std::optional<ValueProblem> checkValues(const std::array<std::optional<QString>, allSettings.size()> &values)
{
    for (Setting setting : allSettings) {
        const auto &value = values[static_cast<std::size_t>(setting)];
        if (!value)
            continue;
        if (!isValidValue(setting, *value))
            return ValueProblem {setting, *value, QString()};
        const QString reason = unusableReason(setting, *value);
        if (!reason.isEmpty())
            return ValueProblem {setting, *value, reason};
    }
    const auto &ip = values[static_cast<std::size_t>(Setting::IpAddress)];
    const auto &gateway = values[static_cast<std::size_t>(Setting::Gateway)];
    if (ip && gateway && *ip == *gateway)
        return ValueProblem {Setting::IpAddress, *ip, QStringLiteral("the same as the gateway")};
    return std::nullopt;
}

QString canonicalValue(Setting setting, const QString &value)
{
    switch (setting) {
    case Setting::IpAddress:
    case Setting::Gateway: return addressNumbers(value).value_or(value);
    case Setting::Port: {
        bool ok = false;
        const uint port = value.toUInt(&ok, 10);
        constexpr uint highestPort = 65535;
        return ok && value.at(0).isDigit() && port <= highestPort ? QString::number(port) : value;
    }
    case Setting::MacAddress: break;
    }
    if (!isValidValue(setting, value))
        return value;
    const QString digits = macDigits(value);
    QString canonical;
    for (int i = 0; i < digits.size(); i += 2) {
        if (i > 0)
            canonical += QLatin1Char(':');
        canonical += digits.mid(i, 2);
    }
    return canonical;
}

QString slash24EdgeReason(const QString &ip)
{
    const QString network = firstThreeFields(ip) + QStringLiteral(".0/24");
    const QString last = ip.section(QLatin1Char('.'), 3, 3);
    if (last == QLatin1String("0"))
        return QStringLiteral("the network address of %1").arg(network);
    if (last == QString::number(highestOctet))
        return QStringLiteral("the broadcast address of %1").arg(network);
    return {};
}

std::optional<QString> refuseToWrite(const std::array<std::optional<QString>, allSettings.size()> &values, bool force)
{
    if (const auto problem = checkValues(values)) {
        const QString why = problem->reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem->reason);
        return QStringLiteral("invalid value for %1: \"%2\"%3")
            .arg(QString::fromLatin1(settingInfo(problem->setting).name), printable(problem->value), why);
    }
    const auto &ip = values[std::size_t(Setting::IpAddress)];
    if (!force && ip) {
        const QString edge = slash24EdgeReason(canonicalValue(Setting::IpAddress, *ip));
        if (!edge.isEmpty()) {
            return QStringLiteral("IP address %1 is %2; give --force if the module's network is larger")
                .arg(*ip, edge);
        }
    }
    return std::nullopt;
}

QString gatewayFor(const QString &hostIp)
{
    return firstThreeFields(hostIp) + QStringLiteral(".1");
}

QString nextAddress(const QString &hostIp)
{
    bool isNumber = false;
    const uint last = hostIp.section(QLatin1Char('.'), 3, 3).toUInt(&isNumber, 10);
    const uint base = isNumber ? last : 0;
    const uint next = base >= highestOctet ? highestOctet : base + 1;
    return firstThreeFields(hostIp) + QLatin1Char('.') + QString::number(next);
}

AutoAddress deriveAutoAddress(const QString &hostIp, const QString &hostGateway)
{
    AutoAddress result;
    if (!isValidValue(Setting::IpAddress, hostIp)) {
        result.error = QStringLiteral("Auto mode has no address to derive from: "
                                      "this computer has no IPv4 address on a network.");
        return result;
    }
    result.ip = nextAddress(hostIp);
    result.gateway = hostGateway;
    QString why = slash24EdgeReason(result.ip);
    if (why.isEmpty() && result.ip == hostIp)
        why = QStringLiteral("this computer's own address");
    else if (why.isEmpty() && result.ip == hostGateway)
        why = QStringLiteral("the gateway's address");
    if (!why.isEmpty()) {
        result.error = QStringLiteral("Auto mode would give the module %1, %2. Nothing was sent; "
                                      "use Manual mode to choose an address.").arg(result.ip, why);
    }
    return result;
}
