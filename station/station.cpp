// SPDX-License-Identifier: MIT
#include "station/station.h"

#include "client/exitcodes.h"

#include <algorithm>

Station::Station(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
{
}

Station::~Station() = default;

bool Station::prepare(QString *error, int *code)
{
    *code = Usage;
    const auto plan = readPlan(m_options.planPath, error);
    if (!plan)
        return false;
    m_plan = *plan;
    *code = Failure;
    if (!m_audit.open(m_options.auditPath, error))
        return false;

    for (const QString &port : std::as_const(m_options.ports)) {
        Lane::Hooks hooks {[this] { return claim(); }, [this](const AuditRecord &r) { return record(r); }};
        auto *lane = new Lane(port, hooks, m_options.timeout, m_options.once, this);
        m_lanes << lane;
        QString reason;
        const OpenFailure failure = lane->open(&reason);
        if (failure != OpenFailure::None) {
            *error = QStringLiteral("cannot open %1: %2").arg(port, reason);
            *code = exitCodeFor(failure);
            return false;
        }
        connect(lane, &Lane::statusChanged, this, [this, lane](const QString &status) { emit laneStatus(lane, status); });
        connect(lane, &Lane::recorded, this, &Station::recorded);
        connect(lane, &Lane::finished, this, &Station::laneFinished);
    }
    *code = Ok;
    return true;
}

void Station::start()
{
    for (Lane *lane : std::as_const(m_lanes))
        lane->start();
    // A re-run of a finished plan: nothing to wait for a module for.
    if (rowsLeft() == 0) {
        m_usedUp = true;
        for (Lane *lane : std::as_const(m_lanes))
            lane->stop(Lane::Ending::PlanUsedUp);
    }
}

void Station::stop()
{
    for (Lane *lane : std::as_const(m_lanes))
        lane->stop();
}

int Station::rowsLeft() const
{
    return int(std::count_if(m_plan.begin(), m_plan.end(), [this](const PlanRow &row) {
        return !m_claimed.contains(row.row) && !m_audit.passed(row.row, row.values);
    }));
}

std::optional<PlanRow> Station::claim()
{
    for (const PlanRow &row : std::as_const(m_plan)) {
        if (m_claimed.contains(row.row) || m_audit.passed(row.row, row.values))
            continue;
        m_claimed.insert(row.row);
        return row;
    }
    m_usedUp = true;
    return std::nullopt;
}

bool Station::record(const AuditRecord &record)
{
    QString error;
    if (!m_audit.append(record, &error)) {
        m_auditFailed = true;
        // Without a trail the station must not go on writing modules.
        stop();
        return false;
    }
    if (record.result == QLatin1String("pass"))
        ++m_passedThisRun;
    else
        m_failed.insert(record.row);
    // Nothing left to give a module: each lane ends, once the module it
    // may hold has been finished.
    if (rowsLeft() == 0) {
        m_usedUp = true;
        for (Lane *lane : std::as_const(m_lanes))
            lane->stop(Lane::Ending::PlanUsedUp);
    }
    return true;
}

void Station::laneFinished()
{
    if (std::all_of(m_lanes.begin(), m_lanes.end(), [](Lane *lane) { return lane->state() == Lane::State::Done; }))
        emit finished(exitCode());
}

int Station::exitCode() const
{
    if (m_auditFailed)
        return Failure;
    bool lost = false;
    bool noModule = false;
    bool differs = false;
    bool unacknowledged = false;
    for (const Lane *lane : m_lanes) {
        lost = lost || lane->ending() == Lane::Ending::Lost;
        noModule = noModule || lane->ending() == Lane::Ending::NoModule;
        for (const QString &result : lane->results()) {
            unacknowledged = unacknowledged || result == QLatin1String("not-acknowledged")
                             || result == QLatin1String("no-answer");
            differs = differs || result == QLatin1String("fail") || result == QLatin1String("aborted");
        }
    }
    if (lost)
        return PortError;
    if (differs)
        return ReadBackDiffers;
    if (unacknowledged)
        return NotAcknowledged;
    if (noModule)
        return NoAnswer;
    return Ok;
}
