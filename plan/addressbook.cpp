// SPDX-License-Identifier: MIT
#include "plan/addressbook.h"

#include <optional>

namespace {

// An IPv4 address in dotted form without leading zeros, as 32 bits; none
// for any other text, which is kept as text.
std::optional<quint64> packedIp(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint64 value = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const uint octet = part.toUInt(&ok, 10);
        if (!ok || octet > 255 || QString::number(octet) != part)
            return std::nullopt;
        value = value << 8 | octet;
    }
    return value;
}

// A MAC address as six pairs of digits and capitals between colons, as 48
// bits; none for any other text.
std::optional<quint64> packedMac(const QString &text)
{
    if (text.size() != 17)
        return std::nullopt;
    quint64 value = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i % 3 == 2) {
            if (c != QLatin1Char(':'))
                return std::nullopt;
            continue;
        }
        const int digit = c >= QLatin1Char('0') && c <= QLatin1Char('9')   ? c.unicode() - '0'
                          : c >= QLatin1Char('A') && c <= QLatin1Char('F') ? c.unicode() - 'A' + 10
                                                                             : -1;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint64(digit);
    }
    return value;
}

} // namespace

int AddressBook::add(Setting setting, const QString &canonical, int line)
{
    // The setting in the top bits keeps an IP and a MAC apart, and no key 0.
    const std::optional<quint64> packed = setting == Setting::MacAddress ? packedMac(canonical) : packedIp(canonical);
    if (!packed) {
        const QString key = QString::number(int(setting)) + QLatin1Char(' ') + canonical;
        const auto found = m_others.constFind(key);
        if (found != m_others.constEnd())
            return *found;
        m_others.insert(key, line);
        return 0;
    }
    const quint64 key = quint64(int(setting) + 1) << 56 | *packed;
    if (2 * (m_used + 1) > m_keys.size())
        grow();
    const int at = place(key);
    if (m_keys[std::size_t(at)] == key)
        return m_lines[std::size_t(at)];
    m_keys[std::size_t(at)] = key;
    m_lines[std::size_t(at)] = line;
    ++m_used;
    return 0;
}

int AddressBook::place(quint64 key) const
{
    // Fibonacci hashing: the product's top bits, as many as the places need.
    const std::size_t mask = m_keys.size() - 1;
    std::size_t at = std::size_t((key * 0x9e3779b97f4a7c15ULL) >> m_shift);
    while (m_keys[at] != 0 && m_keys[at] != key)
        at = (at + 1) & mask;
    return int(at);
}

void AddressBook::grow()
{
    std::vector<quint64> keys = std::move(m_keys);
    std::vector<int> lines = std::move(m_lines);
    const std::size_t size = keys.empty() ? 1024 : 2 * keys.size();
    m_shift = 64;
    for (std::size_t places = size; places > 1; places /= 2)
        --m_shift;
    m_keys.assign(size, 0);
    m_lines.assign(size, 0);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != 0) {
            const int at = place(keys[i]);
            m_keys[std::size_t(at)] = keys[i];
            m_lines[std::size_t(at)] = lines[i];
        }
    }
}
