// SPDX-License-Identifier: MIT
#include "protocol/replygatherer.h"

#include <algorithm>

namespace {

constexpr qsizetype prefixLength = 5; // "RS:R" and the letter

std::size_t indexOf(Setting setting)
{
    return static_cast<std::size_t>(setting);
}

} // namespace

QList<Setting> SettingSet::toList() const
{
    QList<Setting> list;
    for (Setting setting : allSettings) {
        if (contains(setting))
            list.append(setting);
    }
    return list;
}

// --- Read answers -------------------------------------------------------------

SettingSet ReadGatherer::feed(const QString &text)
{
    m_answered = true;
    m_text += text;
    const SettingSet before = m_complete;
    for (Setting setting : allSettings)
        scan(setting);
    trim();
    return m_complete - before;
}

void ReadGatherer::scan(Setting setting)
{
    if (m_complete.contains(setting))
        return;
    Search &search = m_search[indexOf(setting)];
    const QLatin1String prefix(settingInfo(setting).replyPrefix);
    const qsizetype end = m_offset + m_text.size();
    for (;;) {
        qsizetype start = 0;
        if (search.open) {
            start = *search.open;
        } else {
            const int found = m_text.indexOf(prefix, int(search.from - m_offset), Qt::CaseSensitive);
            if (found < 0) {
                // The prefix may stand cut at the end of what has come.
                search.from = std::max(search.from, end - (prefixLength - 1));
                return;
            }
            start = m_offset + found;
        }
        const qsizetype valueStart = start + prefixLength;
        const int hash = m_text.indexOf(QLatin1Char(commandTerminator), int(valueStart - m_offset));
        // Judged the same whether or not the "#" has come yet, so that the
        // answer does not depend on where the line cut it.
        const qsizetype valueEnd = hash < 0 ? end : m_offset + hash;
        if (valueEnd - valueStart > longestValue) {
            search.open.reset();
            search.from = valueStart;
            continue;
        }
        if (hash < 0) {
            search.open = start;
            return;
        }
        search.open.reset();
        search.from = m_offset + hash + 1;
        const QString raw = m_text.mid(int(valueStart - m_offset), int(m_offset + hash - valueStart));
        if (raw.isEmpty()) {
            search.sawEmpty = true;
            continue;
        }
        search.value = toFormValue(setting, raw);
        m_complete.insert(setting);
        return;
    }
}

SettingSet ReadGatherer::finish()
{
    const SettingSet before = m_complete;
    for (Setting setting : allSettings) {
        if (m_complete.contains(setting))
            continue;
        Search &search = m_search[indexOf(setting)];
        if (search.open) {
            search.value = toFormValue(setting, m_text.mid(int(*search.open + prefixLength - m_offset)));
        } else if (search.sawEmpty) {
            search.value = QString();
        } else {
            continue;
        }
        m_complete.insert(setting);
    }
    m_text.clear();
    return m_complete - before;
}

std::optional<QString> ReadGatherer::value(Setting setting) const
{
    return m_complete.contains(setting) ? m_search[indexOf(setting)].value : std::nullopt;
}

void ReadGatherer::trim()
{
    // Only text from the earliest place a value may still start is kept.
    qsizetype needed = m_offset + m_text.size();
    for (Setting setting : allSettings) {
        if (m_complete.contains(setting))
            continue;
        const Search &search = m_search[indexOf(setting)];
        needed = std::min(needed, search.open ? *search.open : search.from);
    }
    m_text.remove(0, int(needed - m_offset));
    m_offset = needed;
}

// --- Write acknowledgements -------------------------------------------------

void WriteTally::sent(Setting setting)
{
    m_sent.insert(setting);
    m_from[indexOf(setting)] = m_offset + m_text.size();
}

SettingSet WriteTally::feed(const QString &text)
{
    m_answered = true;
    m_text += text;
    const qsizetype end = m_offset + m_text.size();
    SettingSet now;
    qsizetype needed = end;
    for (Setting setting : missing().toList()) {
        const QLatin1String keyword(settingInfo(setting).ackKeyword);
        qsizetype &from = m_from[indexOf(setting)];
        if (m_text.indexOf(keyword, int(from - m_offset), Qt::CaseSensitive) >= 0) {
            now.insert(setting);
            continue;
        }
        // A keyword may stand cut at the end of what has come.
        from = std::max(from, end - (keyword.size() - 1));
        needed = std::min(needed, from);
    }
    m_acknowledged = m_acknowledged | now;
    m_text.remove(0, int(needed - m_offset));
    m_offset = needed;
    return now;
}
