// SPDX-License-Identifier: MIT
#include "station/planbook.h"

#include "protocol/values.h"

namespace {

QString canonical(const SettingValues &values, Setting setting)
{
    const auto &value = valueOf(values, setting);
    return value ? canonicalValue(setting, *value) : QString();
}

bool isLive(RowState state)
{
    return state != RowState::Open;
}

QString quotedValues(const SettingValues &values)
{
    return QStringLiteral("IP \"%1\", MAC \"%2\"")
        .arg(printable(canonical(values, Setting::IpAddress)), printable(canonical(values, Setting::MacAddress)));
}

} // namespace

QString rowStateText(RowState state)
{
    switch (state) {
    case RowState::Open: return QStringLiteral("open");
    case RowState::Claimed: return QStringLiteral("claimed");
    case RowState::Passed: return QStringLiteral("passed");
    case RowState::Failed: break;
    }
    return QStringLiteral("failed");
}

QString PlanBook::keyOf(const SettingValues &values)
{
    return canonical(values, Setting::IpAddress) + QLatin1Char(' ') + canonical(values, Setting::MacAddress);
}

void PlanBook::setPlan(const QList<PlanRow> &rows)
{
    *this = PlanBook();
    m_entries.reserve(std::size_t(rows.size()));
    m_byKey.reserve(int(rows.size()));
    for (const PlanRow &planRow : rows) {
        RowEntry entry;
        entry.planIndex = int(m_entries.size());
        entry.row = planRow.row;
        entry.planLine = planRow.line;
        entry.values = planRow.values;
        m_byKey.insert(keyOf(planRow.values), entry.planIndex);
        m_open.insert(m_open.end(), entry.planIndex);
        m_entries.push_back(entry);
    }
    m_planRows = int(rows.size());
    m_counts[std::size_t(RowState::Open)] = m_planRows;
}

int PlanBook::findOrAdd(const SettingValues &values, int row)
{
    const QString key = keyOf(values);
    const auto found = m_byKey.constFind(key);
    if (found != m_byKey.constEnd())
        return found.value();
    RowEntry entry;
    entry.row = row;
    entry.values = values;
    m_entries.push_back(entry);
    const int index = int(m_entries.size()) - 1;
    m_byKey.insert(key, index);
    return index;
}

void PlanBook::apply(const AuditRecord &record, int line)
{
    int index = -1;
    RowState state = RowState::Open;
    std::visit([&](const auto &body) {
        using Body = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<Body, ClaimRecord>) {
            index = findOrAdd(body.values, body.row);
            state = RowState::Claimed;
            m_entries[std::size_t(index)].before = body.before;
            m_entries[std::size_t(index)].port = body.port;
            m_entries[std::size_t(index)].recorded = body.values;
        } else if constexpr (std::is_same_v<Body, OutcomeRecord>) {
            index = findOrAdd(body.written, body.row);
            // No answer at all: nothing reached the module, so nothing of
            // the row is on it.
            state = body.result == Result::Pass       ? RowState::Passed
                    : body.result == Result::NoAnswer ? RowState::Open
                                                      : RowState::Failed;
            m_entries[std::size_t(index)].before = body.before;
            m_entries[std::size_t(index)].port = body.port;
            m_entries[std::size_t(index)].recorded = body.written;
        } else if constexpr (std::is_same_v<Body, ReleaseRecord>) {
            index = findOrAdd(body.values, body.row);
            state = RowState::Open;
        }
    }, record.body);
    if (index < 0)
        return; // a label changes nothing
    RowEntry &entry = m_entries[std::size_t(index)];
    entry.auditLine = line;
    entry.station = record.station;
    entry.time = record.time;
    setState(index, state);
}

std::optional<QString> PlanBook::conflict(const QString &planName, const QString &auditName) const
{
    if (m_byIp.isEmpty() && m_byMac.isEmpty())
        return std::nullopt; // nothing recorded holds an address
    for (int i = 0; i < m_planRows; ++i) {
        const RowEntry &entry = m_entries[std::size_t(i)];
        const auto holder = [&](Setting setting, const QHash<QString, int> &live) {
            const int owner = live.value(canonical(entry.values, setting), -1);
            return owner == i ? -1 : owner;
        };
        int other = holder(Setting::MacAddress, m_byMac);
        if (other < 0)
            other = holder(Setting::IpAddress, m_byIp);
        if (other >= 0) {
            const RowEntry &held = m_entries[std::size_t(other)];
            return QStringLiteral("%1 line %2 (%3) conflicts with %4 line %5, which records %6 as %7; "
                                  "one address would go to two modules")
                .arg(planName).arg(entry.planLine).arg(quotedValues(entry.values), auditName).arg(held.auditLine)
                .arg(quotedValues(held.values), held.state == RowState::Passed ? QStringLiteral("passed")
                                                                                : QStringLiteral("in doubt"));
        }
        if (isLive(entry.state)) {
            for (Setting setting : {Setting::Gateway, Setting::Port}) {
                if (canonical(entry.values, setting) != canonical(entry.recorded, setting)) {
                    return QStringLiteral("%1 line %2 (%3) has %4 \"%5\", but %6 line %7 records the row %8 with "
                                          "\"%9\"")
                        .arg(planName).arg(entry.planLine).arg(quotedValues(entry.values))
                        .arg(QLatin1String(settingInfo(setting).name), printable(canonical(entry.values, setting)),
                             auditName).arg(entry.auditLine)
                        .arg(entry.state == RowState::Passed ? QStringLiteral("passed") : QStringLiteral("in doubt"),
                             printable(canonical(entry.recorded, setting)));
                }
            }
        }
    }
    return std::nullopt;
}

PlanBook::Verdict PlanBook::classify(const SettingValues &module) const
{
    const auto live = [this](const QHash<QString, int> &byValue, const QString &value) {
        const int index = byValue.value(value, -1);
        return index >= 0 && !m_entries[std::size_t(index)].inHand ? index : -1;
    };
    // Its MAC is the module's identity; its IP alone also ties it to a row.
    const int byMac = live(m_byMac, canonical(module, Setting::MacAddress));
    const int byIp = live(m_byIp, canonical(module, Setting::IpAddress));
    for (const int index : {byMac, byIp}) {
        if (index >= 0 && m_entries[std::size_t(index)].state == RowState::Passed)
            return {Verdict::HoldsPassed, index};
    }
    for (const int index : {byMac, byIp}) {
        if (index >= 0 && m_entries[std::size_t(index)].inDoubt())
            return {Verdict::Resume, index};
    }
    if (!m_open.empty())
        return {Verdict::Fresh, *m_open.begin()};
    return {Verdict::NothingOpen, -1};
}

void PlanBook::hold(int index)
{
    RowEntry &entry = m_entries[std::size_t(index)];
    if (!entry.inHand) {
        entry.inHand = true;
        ++m_inHand;
        m_planInHand += entry.planIndex >= 0 ? 1 : 0;
        refresh(index);
    }
}

void PlanBook::letGo(int index)
{
    RowEntry &entry = m_entries[std::size_t(index)];
    if (entry.inHand) {
        entry.inHand = false;
        --m_inHand;
        m_planInHand -= entry.planIndex >= 0 ? 1 : 0;
        refresh(index);
    }
}

int PlanBook::entryOfRow(int row) const
{
    return row >= 1 && row <= m_planRows ? row - 1 : -1;
}

QList<int> PlanBook::inDoubt() const
{
    return QList<int>(m_doubt.begin(), m_doubt.end());
}

int PlanBook::doubtCount() const
{
    return int(m_doubt.size());
}

void PlanBook::setState(int index, RowState state)
{
    RowEntry &entry = m_entries[std::size_t(index)];
    if (entry.planIndex >= 0) {
        --m_counts[std::size_t(entry.state)];
        ++m_counts[std::size_t(state)];
    }
    entry.state = state;
    const QString ip = canonical(entry.values, Setting::IpAddress);
    const QString mac = canonical(entry.values, Setting::MacAddress);
    if (isLive(state)) {
        m_byIp.insert(ip, index);
        m_byMac.insert(mac, index);
    } else {
        if (m_byIp.value(ip, -1) == index)
            m_byIp.remove(ip);
        if (m_byMac.value(mac, -1) == index)
            m_byMac.remove(mac);
    }
    refresh(index);
}

void PlanBook::refresh(int index)
{
    const RowEntry &entry = m_entries[std::size_t(index)];
    if (entry.planIndex >= 0 && entry.state == RowState::Open && !entry.inHand)
        m_open.insert(index);
    else
        m_open.erase(index);
    if (entry.inDoubt())
        m_doubt.insert(index);
    else
        m_doubt.erase(index);
}
