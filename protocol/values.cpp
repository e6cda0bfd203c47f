#include "values.h"

#include <QRegularExpression>

namespace {

const QString octet = QStringLiteral("(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
const QString hexPair = QStringLiteral("[0-9A-Fa-f]{2}");

constexpr uint highestOctet = 255;

QString firstThreeFields(const QString &address)
{
    return address.section(QLatin1Char('.'), 0, 2);
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
    const QRegularExpression exact(QRegularExpression::anchoredPattern(valuePattern(setting)));
    return exact.match(value).hasMatch();
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
