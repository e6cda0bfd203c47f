// SPDX-License-Identifier: MIT
#include "invariants/invariants.h"
#include "invariants/timeline.h"

#include "protocol/values.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <csignal>
#include <limits>

namespace invariants {


bool holdsRow(const SettingValues &values, const SettingValues &row)
{
    for (Setting setting : allSettings) {
        const QString wanted = canonical(row, setting);
        if (wanted.isEmpty() || canonical(values, setting) != wanted)
            return false;
    }
    return true;
}

std::optional<std::pair<QString, QString>> statusLine(const QString &line, const QStringList &lanes)
{
    for (const QString &lane : lanes) {
        const QString prefix = lane + QStringLiteral(": ");
        if (line.startsWith(prefix))
            return std::pair {lane, line.mid(prefix.size())};
    }
    return std::nullopt;
}

std::optional<Verdict> verdictOf(const QString &status)
{
    static const QRegularExpression pass(QStringLiteral("^PASS row (\\d+)\\b"));
    static const QRegularExpression fail(QStringLiteral("^FAIL row (\\d+)\\b"));
    // A module that already holds a passed row is a PASS shown again.
    static const QRegularExpression holds(QStringLiteral("already holds row (\\d+)\\b"));
    if (const auto match = pass.match(status); match.hasMatch())
        return Verdict {Verdict::Pass, match.captured(1).toInt()};
    if (const auto match = fail.match(status); match.hasMatch())
        return Verdict {Verdict::Fail, match.captured(1).toInt()};
    if (const auto match = holds.match(status); match.hasMatch())
        return Verdict {Verdict::Pass, match.captured(1).toInt()};
    return std::nullopt;
}

std::optional<std::pair<int, QString>> passLine(const QString &line)
{
    static const QRegularExpression pass(QStringLiteral("^PASS row (\\d+) on (\\S+): "));
    const auto match = pass.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair {match.captured(1).toInt(), match.captured(2)};
}

QList<AuditEntry> auditEntries(const QList<AuditCopy> &copies)
{
    QList<AuditEntry> entries;
    QSet<QByteArray> seen;
    for (const AuditCopy &copy : copies) {
        for (const QByteArray &line : copy.content.split('\n')) {
            if (line.isEmpty() || seen.contains(line))
                continue;
            seen.insert(line);
            QString why;
            const auto read = readAuditLine(line, &why);
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            AuditEntry entry;
            entry.copy = copy.name;
            entry.at = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                           .toMSecsSinceEpoch();
            if (!read || !read->record) {
                // A kind this version does not read (a later one's "lost"),
                // or a line cut short: what it says of its row is enough.
                if (!object.contains(QStringLiteral("row")))
                    continue;
                entry.kind = object.value(QStringLiteral("kind")).toString();
                entry.row = object.value(QStringLiteral("row")).toInt();
                entry.port = object.value(QStringLiteral("port")).toString();
                entries << entry;
                continue;
            }
            const AuditBody &body = read->record->body;
            entry.kind = kindName(body);
            entry.after = PlanBook::stateAfter(body);
            entry.row = recordRow(body);
            entry.port = recordPort(body).value_or(QString());
            entry.values = recordValues(body);
            if (const auto *outcome = std::get_if<OutcomeRecord>(&body)) {
                entry.result = outcome->result;
                entry.reason = outcome->reason;
                entry.readBack = outcome->readBack;
            } else if (const auto *release = std::get_if<ReleaseRecord>(&body)) {
                entry.reason = release->reason;
            }
            entries << entry;
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const AuditEntry &a, const AuditEntry &b) { return a.at < b.at; });
    return entries;
}

// I1 ------------------------------------------------------------------------

QList<Violation> checkAddresses(const Evidence &evidence)
{
    QList<Violation> found;
    for (Setting setting : {Setting::IpAddress, Setting::MacAddress}) {
        QHash<QString, int> rowOf;
        for (const PlanRow &row : evidence.plan)
            rowOf.insert(canonical(row.values, setting), row.row);
        QHash<QString, QStringList> holders;
        QStringList values; // in the order first met, for stable messages
        for (const ModuleHistory &module : evidence.modules) {
            if (module.states.isEmpty())
                continue;
            const QString value = canonical(module.states.last().settings, setting);
            if (!rowOf.contains(value))
                continue;
            const bool written = std::any_of(module.exchanges.begin(), module.exchanges.end(), [&](const Exchange &e) {
                return e.write && e.setting == setting && canonicalValue(setting, e.value) == value;
            });
            // What it came with, or went back to, and nobody wrote it: the
            // plan gave out a factory value.
            if (!written && value == canonical(module.factory, setting))
                continue;
            if (!holders.contains(value))
                values << value;
            holders[value] << module.name;
        }
        for (const QString &value : std::as_const(values)) {
            const QStringList &modules = holders.value(value);
            if (modules.size() < 2)
                continue;
            found << Violation {QStringLiteral("I1"), QStringLiteral("%1 %2 of row %3 is on %4 modules: %5")
                                                          .arg(settingName(setting), value)
                                                          .arg(rowOf.value(value))
                                                          .arg(modules.size())
                                                          .arg(modules.join(QStringLiteral(", ")))};
        }
    }
    return found;
}

// I2 ------------------------------------------------------------------------

QList<Violation> checkPasses(const Evidence &evidence)
{
    QList<Violation> found;
    const Ms bound = evidence.timeout + reactionMs;
    const QStringList lanes = allLanes(evidence);
    const auto noHolder = [&](const QString &where, int row, const QString &lane, Ms at) {
        found << Violation {QStringLiteral("I2"), QStringLiteral("%1 at %2 says row %3 passed on %4, but the module "
                                                                 "the lane last read did not hold row %3 there in the %5 ms before")
                                                      .arg(where, clock(at)).arg(row).arg(lane).arg(slackMs)};
    };

    for (const RunEvidence &run : evidence.runs) {
        struct Shown {
            Ms at;
            QString text;
        };
        QHash<QString, QList<Shown>> byLane;
        for (const ScreenLine &line : evidence.screen) {
            if (line.run != run.id)
                continue;
            if (const auto status = statusLine(line.text, lanes)) {
                byLane[status->first].append({line.at, status->second});
            } else if (const auto pass = passLine(line.text)) {
                const auto row = rowValues(evidence, pass->first);
                if (!row || !holderOn(evidence, pass->second, *row, line.at))
                    noHolder(QStringLiteral("run %1's line \"%2\"").arg(run.id).arg(line.text.left(40)), pass->first,
                             pass->second, line.at);
            }
        }
        for (auto it = byLane.cbegin(); it != byLane.cend(); ++it) {
            const QString &lane = it.key();
            const QList<Shown> &shown = it.value();
            for (int i = 0; i < shown.size(); ++i) {
                const auto verdict = verdictOf(shown.at(i).text);
                if (!verdict)
                    continue;
                const Ms from = shown.at(i).at;
                const Ms to = i + 1 < shown.size() ? shown.at(i + 1).at : endOf(run);
                const auto row = rowValues(evidence, verdict->row);
                const ModuleHistory *module = nullptr;
                QList<Span> gone;
                if (verdict->kind == Verdict::Pass) {
                    module = row ? holderOn(evidence, lane, *row, from) : nullptr;
                    if (!module) {
                        noHolder(QStringLiteral("run %1's status \"%2\"").arg(run.id).arg(shown.at(i).text.left(60)),
                                 verdict->row, lane, from);
                        continue;
                    }
                    gone = complement(*module, [&](const ModuleState &state) {
                        return state.lanes.contains(lane) && holdsRow(state.settings, *row);
                    });
                } else {
                    module = presentOn(evidence, lane, from);
                    if (!module)
                        continue;
                    QList<std::pair<Ms, QString>> texts;
                    for (const Shown &entry : shown)
                        texts << std::make_pair(entry.at, entry.text);
                    QList<const ModuleHistory *> involved = attemptModules(evidence, texts, lane, from);
                    if (!involved.contains(module))
                        involved << module;
                    gone = noneOn(involved, lane, from);
                }
                for (const Span &span : std::as_const(gone)) {
                    const Ms due = std::max(span.from + bound, from);
                    if (verdict->kind == Verdict::Fail && twinTookPlace(evidence, *module, lane, span.from))
                        continue;
                    if (due < std::min(span.to, to)) {
                        found << Violation {QStringLiteral("I2"),
                                            QStringLiteral("%1 still showed \"%2\" (run %3) at %4, %5 ms after %6 %7 at %8")
                                                .arg(lane, shown.at(i).text.left(60)).arg(run.id).arg(clock(due)).arg(bound)
                                                .arg(module->name,
                                                     verdict->kind == Verdict::Pass ? QStringLiteral("left it or lost the row")
                                                                                    : QStringLiteral("left it"),
                                                     clock(span.from))};
                        break;
                    }
                }
            }
        }
    }

    for (const AuditEntry &entry : auditEntries(evidence.audits)) {
        if (entry.kind != QLatin1String("outcome") || entry.result != Result::Pass)
            continue;
        const auto row = rowValues(evidence, entry.row);
        if (!row || !holderOn(evidence, entry.port, *row, entry.at + 1))
            noHolder(QStringLiteral("the audit (%1)").arg(entry.copy), entry.row, entry.port, entry.at);
    }
    return found;
}

// I3 ------------------------------------------------------------------------

QList<Violation> checkPassedRows(const Evidence &evidence)
{
    QList<Violation> found;
    const QList<AuditEntry> entries = auditEntries(evidence.audits);
    const Ms bound = evidence.timeout + reactionMs;
    for (const AuditEntry &pass : entries) {
        if (pass.kind != QLatin1String("outcome") || pass.result != Result::Pass)
            continue;
        const auto row = rowValues(evidence, pass.row);
        if (!row)
            continue;
        const QString where = QStringLiteral("row %1, recorded as passed on %2 at %3").arg(pass.row).arg(pass.port, clock(pass.at));
        if (!holdsRow(pass.readBack, *row)) {
            found << Violation {QStringLiteral("I3"), where + QStringLiteral(", records a read-back that is not the row")};
            continue;
        }
        const AuditEntry *claim = claimBefore(entries, pass.row, pass.port, pass.at);
        const Ms since = claim ? claim->at - tickMs : pass.at - 60000;

        // The module that answered all four of the row's values on that
        // lane between the claim and the record; the latest to do so. An
        // answer is heard wherever its module is: on a Y cable, one asked
        // for by the other lane reaches this one too.
        const ModuleHistory *reader = nullptr;
        Ms readAt = 0;
        for (const ModuleHistory &module : evidence.modules) {
            Ms last = 0;
            int settings = 0;
            for (Setting setting : allSettings) {
                Ms latest = -1;
                for (const Exchange &exchange : module.exchanges) {
                    if (!exchange.write && heardOn(module, pass.port, exchange) && exchange.setting == setting
                        && exchange.at >= since && exchange.at <= pass.at + tickMs
                        && canonicalValue(setting, exchange.value) == canonical(*row, setting))
                        latest = exchange.at;
                }
                if (latest >= 0) {
                    ++settings;
                    last = std::max(last, latest);
                }
            }
            if (settings == int(allSettings.size()) && (!reader || last > readAt)) {
                reader = &module;
                readAt = last;
            }
        }
        if (!reader) {
            found << Violation {QStringLiteral("I3"), where + QStringLiteral(", but no module on that lane answered all "
                                                                              "four of its values since its claim")};
            continue;
        }

        // Still on that lane since it was read back, and read there
        // without the row: the audit must say so.
        Ms stayEnd = never;
        for (const ModuleState &state : reader->states) {
            if (state.at > readAt && !state.lanes.contains(pass.port)) {
                stayEnd = state.at;
                break;
            }
        }
        for (const Exchange &exchange : reader->exchanges) {
            if (exchange.write || exchange.lane != pass.port || exchange.at <= pass.at || exchange.at >= stayEnd
                || canonicalValue(exchange.setting, exchange.value) == canonical(*row, exchange.setting))
                continue;
            const RunEvidence *run = runOn(evidence, pass.port, exchange.at);
            if (!run || endOf(*run) < exchange.at + bound)
                break; // the run that read it ended before it could say so
            // Another record of the row, made once the answer was in.
            const bool said = std::any_of(entries.begin(), entries.end(), [&](const AuditEntry &entry) {
                return &entry != &pass && entry.row == pass.row && entry.kind != QLatin1String("label")
                       && entry.at >= exchange.at - roundingMs;
            });
            if (!said) {
                found << Violation {QStringLiteral("I3"),
                                    where + QStringLiteral(" with %1; still on that lane, %1 answered %2 \"%3\" there at "
                                                           "%4 and the audit says nothing of row %5 after")
                                                .arg(reader->name, settingName(exchange.setting), exchange.value,
                                                     clock(exchange.at))
                                                .arg(pass.row)};
            }
            break;
        }
    }
    return found;
}

// I4 ------------------------------------------------------------------------

QList<Violation> checkOwnership(const Evidence &evidence)
{
    QList<Violation> found;
    const Ms bound = evidence.timeout + reactionMs;
    const auto shares = [](const RunEvidence &a, const RunEvidence &b) {
        return std::any_of(a.files.begin(), a.files.end(), [&b](const FileId &file) { return b.files.contains(file); });
    };
    for (int i = 0; i < evidence.runs.size(); ++i) {
        const RunEvidence &a = evidence.runs.at(i);
        for (int j = i + 1; j < evidence.runs.size(); ++j) {
            const RunEvidence &b = evidence.runs.at(j);
            if (a.sent.isEmpty() || b.sent.isEmpty() || !shares(a, b))
                continue;
            const Ms from = std::max(a.sent.first(), b.sent.first());
            const Ms to = std::min(endOf(a), endOf(b));
            if (from < to) {
                found << Violation {QStringLiteral("I4"), QStringLiteral("runs %1 and %2 held the same plan or audit at "
                                                                         "once, from %3 to %4")
                                                              .arg(a.id).arg(b.id).arg(clock(from), to == never ? QStringLiteral("the end") : clock(to))};
            }
        }
    }
    for (const FileFault &fault : evidence.fileFaults) {
        if (!fault.takesHold)
            continue;
        for (const RunEvidence &run : evidence.runs) {
            if (!run.files.contains(fault.file) || run.started > fault.at || endOf(run) <= fault.at)
                continue;
            const auto late = std::find_if(run.sent.begin(), run.sent.end(), [&](Ms at) { return at > fault.at + bound; });
            if (late != run.sent.end()) {
                found << Violation {QStringLiteral("I4"), QStringLiteral("run %1 still sent to its lanes at %2, %3 ms "
                                                                         "after %4 at %5")
                                                              .arg(run.id).arg(clock(*late)).arg(*late - fault.at)
                                                              .arg(fault.what, clock(fault.at))};
            }
        }
    }
    for (const AuditCopy &copy : evidence.audits) {
        if (copy.tampered)
            continue;
        AuditChain chain;
        int line = 0;
        for (const QByteArray &text : copy.content.split('\n')) {
            ++line;
            QString why;
            if (!text.isEmpty() && !chain.take(text, &why)) {
                found << Violation {QStringLiteral("I4"), QStringLiteral("%1, which nobody cut or replaced, is broken at "
                                                                         "line %2: %3")
                                                              .arg(copy.name).arg(line).arg(why)};
                break;
            }
        }
    }
    return found;
}

// I5 ------------------------------------------------------------------------

QList<Violation> checkStops(const Evidence &evidence)
{
    QList<Violation> found;
    for (const RunEvidence &run : evidence.runs) {
        for (const RunEvidence::Signal &sent : run.signalsSent) {
            if (sent.number != SIGINT && sent.number != SIGTERM && sent.number != SIGHUP)
                continue;
            if (!run.ended || *run.ended - sent.at > stopBoundMs) {
                found << Violation {QStringLiteral("I5"),
                                    QStringLiteral("run %1 got signal %2 at %3 and %4")
                                        .arg(run.id).arg(sent.number).arg(clock(sent.at),
                                                                          run.ended ? QStringLiteral("ended %1 ms later").arg(*run.ended - sent.at)
                                                                                    : QStringLiteral("had to be killed"))};
            }
            break;
        }
    }
    const QList<AuditEntry> entries = auditEntries(evidence.audits);
    for (const AuditEntry &entry : entries) {
        if (entry.after != RowState::Open)
            continue; // the row is not handed back
        const AuditEntry *claim = claimBefore(entries, entry.row, entry.port, entry.at);
        const auto row = rowValues(evidence, entry.row);
        if (!claim || !row)
            continue;
        for (const ModuleHistory &module : evidence.modules) {
            const auto took = std::find_if(module.exchanges.begin(), module.exchanges.end(), [&](const Exchange &exchange) {
                return exchange.write && exchange.lane == claim->port && exchange.at >= claim->at - tickMs
                       && exchange.at <= entry.at + tickMs
                       && canonicalValue(exchange.setting, exchange.value) == canonical(*row, exchange.setting);
            });
            if (took != module.exchanges.end()) {
                found << Violation {QStringLiteral("I5"),
                                    QStringLiteral("row %1 went back to the plan at %2 (%3), but %4 took its %5 on %6 at %7")
                                        .arg(entry.row).arg(clock(entry.at),
                                                            entry.kind == QLatin1String("release") ? entry.reason : QStringLiteral("no-answer"),
                                                            module.name, settingName(took->setting), claim->port, clock(took->at))};
                break;
            }
        }
    }
    return found;
}

QList<Violation> checkAll(const Evidence &evidence)
{
    return checkAddresses(evidence) + checkPasses(evidence) + checkPassedRows(evidence) + checkOwnership(evidence)
           + checkStops(evidence);
}

} // namespace invariants
