// SPDX-License-Identifier: MIT
#include "plan/planbook.h"

#include "protocol/values.h"

namespace {

bool isLive(RowState state)
{
    return state != RowState::Open;
}

#ifdef VEV_IDENTITY_IP_OR_MAC
// The old rule, built only on request (VEV_IDENTITY_RULE=ip-or-mac) to show
// the fault tests catch it: a module is known by its IP or its MAC alone.
PlanBook::Verdict::Kind ipOrMacRuling(const RowEntry *byMac, const RowEntry *byIp, const RowEntry **decisive)
{
    for (const RowEntry *entry : {byMac, byIp}) {
        if (entry && entry->state == RowState::Passed) {
            *decisive = entry;
            return PlanBook::Verdict::HoldsPassed;
        }
    }
    for (const RowEntry *entry : {byMac, byIp}) {
        if (entry && entry->inDoubt()) {
            *decisive = entry;
            return PlanBook::Verdict::Resume;
        }
    }
    *decisive = nullptr;
    return PlanBook::Verdict::Fresh;
}
#endif

} // namespace

QString canonicalOf(const SettingValues &values, Setting setting)
{
    const auto &value = valueOf(values, setting);
    return value ? canonicalValue(setting, *value) : QString();
}

QString quotedValues(const SettingValues &values)
{
    return QStringLiteral("IP \"%1\", MAC \"%2\"")
        .arg(printable(canonicalOf(values, Setting::IpAddress)), printable(canonicalOf(values, Setting::MacAddress)));
}

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
    return canonicalOf(values, Setting::IpAddress) + QLatin1Char(' ') + canonicalOf(values, Setting::MacAddress);
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

std::optional<RowState> PlanBook::stateAfter(const AuditBody &body)
{
    if (const auto *outcome = std::get_if<OutcomeRecord>(&body)) {
        // No answer at all: nothing reached the module, so nothing of the
        // row is on it.
        return outcome->result == Result::Pass       ? RowState::Passed
               : outcome->result == Result::NoAnswer ? RowState::Open
                                                     : RowState::Failed;
    }
    if (std::holds_alternative<ClaimRecord>(body))
        return RowState::Claimed;
    if (std::holds_alternative<ReleaseRecord>(body))
        return RowState::Open;
    return std::nullopt; // a label changes nothing
}

void PlanBook::apply(const AuditRecord &record, int line)
{
    const auto state = stateAfter(record.body);
    if (!state)
        return;
    const int index = findOrAdd(recordValues(record.body), recordRow(record.body));
    RowEntry &entry = m_entries[std::size_t(index)];
    std::visit([&entry](const auto &body) {
        using Body = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<Body, ClaimRecord> || std::is_same_v<Body, OutcomeRecord>) {
            entry.before = body.before;
            entry.port = body.port;
            entry.recorded = recordValues(body);
        }
    }, record.body);
    entry.auditLine = line;
    entry.station = record.station;
    entry.time = record.time;
    setState(index, *state);
}

std::optional<QString> PlanBook::conflict(const QString &planName, const QString &auditName) const
{
    if (m_byIp.isEmpty() && m_byMac.isEmpty())
        return std::nullopt; // nothing recorded holds an address
    for (int i = 0; i < m_planRows; ++i) {
        const RowEntry &entry = m_entries[std::size_t(i)];
        const auto holder = [&](Setting setting, const QHash<QString, int> &live) {
            const int owner = live.value(canonicalOf(entry.values, setting), -1);
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
                if (canonicalOf(entry.values, setting) != canonicalOf(entry.recorded, setting)) {
                    return QStringLiteral("%1 line %2 (%3) has %4 \"%5\", but %6 line %7 records the row %8 with "
                                          "\"%9\"")
                        .arg(planName).arg(entry.planLine).arg(quotedValues(entry.values))
                        .arg(QLatin1String(settingInfo(setting).name), printable(canonicalOf(entry.values, setting)),
                             auditName).arg(entry.auditLine)
                        .arg(entry.state == RowState::Passed ? QStringLiteral("passed") : QStringLiteral("in doubt"),
                             printable(canonicalOf(entry.recorded, setting)));
                }
            }
        }
    }
    return std::nullopt;
}

PlanBook::Verdict::Kind PlanBook::ruling(const RowEntry *byMac, const RowEntry *byIp, const RowEntry **decisive)
{
#ifdef VEV_IDENTITY_IP_OR_MAC
    return ipOrMacRuling(byMac, byIp, decisive);
#endif
    // Its MAC is the module's identity; its IP alone also ties it to a row.
    for (const RowEntry *entry : {byMac, byIp}) {
        if (entry && entry->state == RowState::Passed) {
            *decisive = entry;
            return Verdict::HoldsPassed;
        }
    }
    for (const RowEntry *entry : {byMac, byIp}) {
        if (entry && entry->inDoubt()) {
            *decisive = entry;
            return Verdict::Resume;
        }
    }
    *decisive = nullptr;
    return Verdict::Fresh;
}

PlanBook::Verdict PlanBook::classify(const SettingValues &module) const
{
    const int byMac = m_byMac.value(canonicalOf(module, Setting::MacAddress), -1);
    const int byIp = m_byIp.value(canonicalOf(module, Setting::IpAddress), -1);
    const auto entryAt = [this](int index) { return index >= 0 ? &m_entries[std::size_t(index)] : nullptr; };
    const RowEntry *decisive = nullptr;
    const Verdict::Kind kind = ruling(entryAt(byMac), entryAt(byIp), &decisive);
    if (kind != Verdict::Fresh)
        return {kind, decisive == entryAt(byMac) ? byMac : byIp};
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

void PlanBook::setState(int index, RowState state)
{
    RowEntry &entry = m_entries[std::size_t(index)];
    if (entry.planIndex >= 0) {
        --m_counts[std::size_t(entry.state)];
        ++m_counts[std::size_t(state)];
    }
    entry.state = state;
    const QString ip = canonicalOf(entry.values, Setting::IpAddress);
    const QString mac = canonicalOf(entry.values, Setting::MacAddress);
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
