// SPDX-License-Identifier: MIT
#pragma once

// A provisioning station: a plan of rows, an audit trail, and one lane per
// serial port, all on one thread. Lanes claim rows in plan order; a row the
// trail already records as passed is skipped (a re-run resumes), and a row
// that failed is not claimed again in the same run.

#include "station/auditlog.h"
#include "station/lane.h"
#include "station/plan.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <chrono>
#include <memory>

class Station : public QObject
{
    Q_OBJECT

public:
    struct Options {
        QString planPath;
        QString auditPath;
        QStringList ports;
        std::chrono::milliseconds timeout {3000};
        bool once = false;
    };

    explicit Station(Options options, QObject *parent = nullptr);
    ~Station() override;

    // Reads the plan and the trail and opens every port; on failure *error
    // says why and *code is the exit code. Nothing is sent before this.
    bool prepare(QString *error, int *code);
    void start();
    // Lanes finish the module in hand, then the run ends.
    void stop();

    const QList<Lane *> &lanes() const { return m_lanes; }
    int rowsLeft() const;
    int passed() const { return m_passedThisRun; }
    int failed() const { return m_failed.size(); }
    bool planUsedUp() const { return m_usedUp; }

    // The exit code the run ends with: 0 every module passed (or the plan
    // was used up with every row passed), 9 a read-back differed or a row
    // failed, 4 a setting was not acknowledged, 3 a lane saw no module
    // (--once), 8 a port was lost, 1 the audit could not be written.
    int exitCode() const;

signals:
    void laneStatus(Lane *lane, const QString &status);
    void recorded(const AuditRecord &record);
    void finished(int code);

private:
    std::optional<PlanRow> claim();
    bool record(const AuditRecord &record);
    void laneFinished();

    Options m_options;
    QList<PlanRow> m_plan;
    AuditLog m_audit;
    QList<Lane *> m_lanes;
    QSet<int> m_claimed;
    QSet<int> m_failed;
    int m_passedThisRun = 0;
    bool m_usedUp = false;
    bool m_auditFailed = false;
};
