// SPDX-License-Identifier: MIT
#include "protocol/values.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

const QString octet = QStringLiteral("(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
const QString hexPair = QStringLiteral("[0-9A-Fa-f]{2}");

constexpr uint highestOctet = 255;

QString firstThreeFields(const QString &address)
{
    return address.section(QLatin1Char('.'), 0, 2);
}

// Dotted decimal without leading zeros, or nothing when the value is not
// four numbers 0-255. A value already in that form is handed back as it is:
// plans of many thousand rows are put in canonical form more than once.
std::optional<QString> addressNumbers(const QString &value)
{
    std::array<uint, 4> fields {};
    int field = 0;
    int digits = 0;
    bool canonical = true;
    for (const QChar c : value) {
        if (c == QLatin1Char('.')) {
            if (digits == 0 || field == 3)
                return std::nullopt;
            ++field;
            digits = 0;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || digits == 3)
            return std::nullopt;
        if (digits == 1 && fields[std::size_t(field)] == 0)
            canonical = false; // a leading zero
        fields[std::size_t(field)] = fields[std::size_t(field)] * 10 + uint(c.unicode() - '0');
        ++digits;
    }
    if (digits == 0 || field != 3 || *std::max_element(fields.begin(), fields.end()) > highestOctet)
        return std::nullopt;
    if (canonical)
        return value;
    return QStringLiteral("%1.%2.%3.%4").arg(fields[0]).arg(fields[1]).arg(fields[2]).arg(fields[3]);
}

bool isCanonicalMac(const QString &value)
{
    constexpr int length = 17;
    if (value.size() != length)
        return false;
    for (int i = 0; i < length; ++i) {
        const QChar c = value.at(i);
        const bool ok = i % 3 == 2 ? c == QLatin1Char(':')
                                   : (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                                         || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!ok)
            return false;
    }
    return true;
}

QString unusableAddressReason(const QString &value)
{
    uint first = 0;
    for (int i = 0; i < value.size() && value.at(i).isDigit(); ++i)
        first = std::min(first * 10 + uint(value.at(i).digitValue()), highestOctet + 1);
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

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QString unusableMacReason(const QString &value)
{
    bool zeros = true;
    bool ones = true;
    int digits = 0;
    int lowNibbleOfFirstByte = 0; // the group bit is its lowest bit
    for (const QChar c : value) {
        const int digit = hexValue(c);
        if (digit < 0)
            continue; // a separator
        zeros = zeros && digit == 0;
        ones = ones && digit == 15;
        if (digits++ == 1)
            lowNibbleOfFirstByte = digit;
    }
    if (zeros)
        return QStringLiteral("all zeros");
    if (ones)
        return QStringLiteral("the broadcast address");
    if (lowNibbleOfFirstByte & 1)
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
    // The same rules as valuePattern, by hand: a plan checks every value of
    // many thousand rows, and a regular expression match costs ten times as
    // much. The tests hold the two to the same answers.
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const auto isHex = [&isDigit](QChar c) {
        const QChar upper = c.toUpper();
        return isDigit(c) || (upper >= QLatin1Char('A') && upper <= QLatin1Char('F'));
    };
    switch (setting) {
    case Setting::IpAddress:
    case Setting::Gateway: {
        const auto numbers = addressNumbers(value);
        return numbers && *numbers == value;
    }
    case Setting::Port: {
        constexpr int longestPort = 5;
        if (value.isEmpty() || value.size() > longestPort || (value.size() > 1 && value.at(0) == QLatin1Char('0'))
            || !std::all_of(value.begin(), value.end(), isDigit))
            return false;
        return value.toUInt() <= 65535;
    }
    case Setting::MacAddress: break;
    }
    constexpr int bare = 12;
    constexpr int paired = 17;
    if (value.size() == bare)
        return std::all_of(value.begin(), value.end(), isHex);
    if (value.size() != paired || (value.at(2) != QLatin1Char(':') && value.at(2) != QLatin1Char('-')))
        return false;
    for (int i = 0; i < paired; ++i) {
        if (i % 3 == 2 ? value.at(i) != value.at(2) : !isHex(value.at(i)))
            return false;
    }
    return true;
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
    if (isCanonicalMac(value))
        return value;
    if (!isValidValue(setting, value))
        return value;
    QString canonical;
    canonical.reserve(17);
    for (const QChar c : value) {
        if (hexValue(c) < 0)
            continue;
        if (!canonical.isEmpty() && canonical.size() % 3 == 2)
            canonical += QLatin1Char(':');
        canonical += c.toUpper();
    }
    return canonical;
}

QString slash24EdgeReason(const QString &ip)
{
    const bool network = ip.endsWith(QLatin1String(".0"));
    if (!network && !ip.endsWith(QLatin1String(".255")))
        return {};
    return QStringLiteral("the %1 address of %2.0/24")
        .arg(network ? QStringLiteral("network") : QStringLiteral("broadcast"), firstThreeFields(ip));
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
