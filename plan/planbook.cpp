// SPDX-License-Identifier: MIT
#include "plan/planbook.h"

#include "protocol/values.h"

#include <algorithm>

namespace {

bool isLive(RowState state)
{
    return state != RowState::Open;
}

#ifdef VEV_IDENTITY_IP_OR_MAC
// The old rule, built only on request (VEV_IDENTITY_RULE=ip-or-mac) to show
// the fault tests catch it: a module is known by its IP or its MAC alone.
PlanBook::Ruling ipOrMacRule(const QList<const RowEntry *> &candidates)
{
    for (const RowEntry *entry : candidates) {
        if (entry->state == RowState::Passed)
            return {PlanBook::Ruling::HoldsPassed, entry, PlanBook::Conflict::None};
    }
    for (const RowEntry *entry : candidates) {
        if (entry->inDoubt())
            return {PlanBook::Ruling::Resume, entry, PlanBook::Conflict::None};
    }
    return {PlanBook::Ruling::Fresh, nullptr, PlanBook::Conflict::None};
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
        m_entries.push_back(std::move(entry));
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
    // No answer at all is no proof that nothing landed: the first write
    // went out before the module was found gone.
    if (const auto *outcome = std::get_if<OutcomeRecord>(&body))
        return outcome->result == Result::Pass ? RowState::Passed : RowState::Failed;
    if (std::holds_alternative<LostRecord>(body))
        return RowState::Failed;
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
        if constexpr (std::is_same_v<Body, ClaimRecord>)
            entry.tookFrom(body);
        if constexpr (std::is_same_v<Body, OutcomeRecord>) {
            if (body.result != Result::Pass)
                entry.failedWith(body);
        }
    }, record.body);
    entry.auditLine = line;
    entry.station = record.station;
    entry.time = record.time;
    setState(index, *state);
    // A module that carried part of a row in doubt, written over whole.
    if (const auto *outcome = std::get_if<OutcomeRecord>(&record.body); outcome && outcome->result == Result::Pass) {
        for (const int doubt : m_doubt)
            m_entries[std::size_t(doubt)].writtenOver(outcome->before);
    }
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

namespace {

// Whether the module is the module of a row in doubt: each setting the
// row's or the one it had before the claim, and one the claim wrote holding
// the row's value. Its count of written settings that hold the row's, or -1.
int rowModuleScore(const SettingValues &module, const RowEntry &entry)
{
    const bool beforeKnown = std::any_of(entry.before.begin(), entry.before.end(), [](const auto &v) { return v.has_value(); });
    int written = 0;
    for (Setting setting : allSettings) {
        const QString value = canonicalOf(module, setting);
        const QString row = canonicalOf(entry.values, setting);
        const QString before = canonicalOf(entry.before, setting);
        if (entry.taken.contains(setting) && value != row)
            return -1;
        // Without the settings before, only the whole row is its module.
        if (value != row && (!beforeKnown || value != before))
            return -1;
        if (value == row && (!beforeKnown || row != before))
            ++written;
    }
    return written > 0 ? written : -1;
}

} // namespace

bool sameSettings(const SettingValues &a, const SettingValues &b)
{
    return std::all_of(allSettings.begin(), allSettings.end(),
                       [&](Setting setting) { return canonicalOf(a, setting) == canonicalOf(b, setting); });
}

void RowEntry::failedWith(const OutcomeRecord &outcome)
{
    failedReadBacks << outcome.readBack;
    if (!outcome.acknowledged)
        return;
    const QList<Setting> &acknowledged = *outcome.acknowledged;
    const auto changes = [&outcome](Setting s) {
        return canonicalOf(outcome.written, s) != canonicalOf(outcome.before, s);
    };
    const auto readsBack = [&outcome](Setting s) {
        return canonicalOf(outcome.readBack, s) == canonicalOf(outcome.written, s);
    };
    // An acknowledged setting read back at its value before: the read-back
    // is another module's; while it carries part of the row, it is watched.
    const bool foreign = std::any_of(acknowledged.begin(), acknowledged.end(), [&](Setting s) {
        return changes(s) && canonicalOf(outcome.readBack, s) == canonicalOf(outcome.before, s);
    });
    bool carries = false;
    if (foreign) {
        foreignReadBacks << outcome.readBack;
        carries = std::any_of(allSettings.begin(), allSettings.end(), [&](Setting s) { return changes(s) && readsBack(s); });
        if (carries)
            spread << outcome.readBack;
    }
    // What some module took, where that module is not the one watched.
    QList<Setting> took = acknowledged;
    for (Setting setting : allSettings) {
        if (acknowledged.contains(setting) || !valueOf(outcome.written, setting))
            continue;
        if (setting == Setting::IpAddress || setting == Setting::MacAddress)
            took << setting;
        break;
    }
    for (Setting setting : std::as_const(took)) {
        if (!(carries && readsBack(setting)))
            taken.insert(setting);
    }
}

void RowEntry::tookFrom(const ClaimRecord &claim)
{
    const QString mac = canonicalOf(claim.before, Setting::MacAddress);
    if (!mac.isEmpty() && mac != canonicalOf(values, Setting::MacAddress) && !macsBefore.contains(mac))
        macsBefore << mac;
}

void RowEntry::writtenOver(const SettingValues &before)
{
    spread.erase(std::remove_if(spread.begin(), spread.end(),
                                [&before](const SettingValues &module) { return sameSettings(module, before); }),
                 spread.end());
}

PlanBook::Ruling PlanBook::rule(const SettingValues &module, const QList<const RowEntry *> &candidates)
{
#ifdef VEV_IDENTITY_IP_OR_MAC
    return ipOrMacRule(candidates);
#endif
    const QString mac = canonicalOf(module, Setting::MacAddress);
    const QString ip = canonicalOf(module, Setting::IpAddress);
    // A row being written elsewhere: nothing for this module until it is done.
    for (const RowEntry *entry : candidates) {
        if (entry->inHand)
            return {Ruling::Conflict, entry, Conflict::InHand};
    }
    for (const RowEntry *entry : candidates) {
        if (entry->state == RowState::Passed && sameSettings(module, entry->values))
            return {Ruling::HoldsPassed, entry, Conflict::None};
    }
    const RowEntry *resume = nullptr;
    int best = -1;
    bool tie = false;
    const auto foreign = [&module](const RowEntry *entry) {
        return std::any_of(entry->foreignReadBacks.begin(), entry->foreignReadBacks.end(),
                           [&module](const SettingValues &back) { return sameSettings(module, back); });
    };
    for (const RowEntry *entry : candidates) {
        const int score = entry->inDoubt() && !foreign(entry) ? rowModuleScore(module, *entry) : -1;
        tie = score >= 0 && score == best;
        if (score > best) {
            best = score;
            resume = entry;
        }
    }
    if (tie)
        return {Ruling::Conflict, resume, Conflict::TwoRows};
    if (resume && !resume->spread.isEmpty())
        return {Ruling::Conflict, resume, Conflict::Spread};
    if (resume)
        return {Ruling::Resume, resume, Conflict::None};
    const RowEntry *partOf = nullptr;
    for (const RowEntry *entry : candidates) {
        if (canonicalOf(entry->values, Setting::MacAddress) == mac) {
            const bool swapped = std::any_of(entry->failedReadBacks.begin(), entry->failedReadBacks.end(),
                                             [&module](const SettingValues &back) { return sameSettings(module, back); });
            if (!swapped) {
                return {Ruling::Conflict, entry,
                        entry->state == RowState::Passed ? Conflict::PassedMac : Conflict::DoubtMac};
            }
        } else if (canonicalOf(entry->values, Setting::IpAddress) == ip) {
            partOf = entry;
        }
    }
    return {Ruling::Fresh, partOf, Conflict::None};
}

PlanBook::Verdict PlanBook::classify(const SettingValues &module) const
{
    QList<const RowEntry *> candidates;
    const auto add = [&](int index) {
        if (index >= 0 && !candidates.contains(&m_entries[std::size_t(index)]))
            candidates << &m_entries[std::size_t(index)];
    };
    add(m_byMac.value(canonicalOf(module, Setting::MacAddress), -1));
    add(m_byIp.value(canonicalOf(module, Setting::IpAddress), -1));
    const Ruling ruling = rule(module, candidates);
    const auto indexOf = [this](const RowEntry *entry) { return entry ? int(entry - m_entries.data()) : -1; };
    switch (ruling.kind) {
    case Ruling::HoldsPassed: return {Verdict::HoldsPassed, indexOf(ruling.row), 0, Conflict::None};
    case Ruling::Resume: return {Verdict::Resume, indexOf(ruling.row), 0, Conflict::None};
    case Ruling::Conflict: return {Verdict::Conflict, indexOf(ruling.row), 0, ruling.conflict};
    case Ruling::Fresh: break;
    }
    if (m_open.empty())
        return {Verdict::NothingOpen, -1, 0, Conflict::None};
    return {Verdict::Fresh, *m_open.begin(), ruling.row ? ruling.row->row : 0, Conflict::None};
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
