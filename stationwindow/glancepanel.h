// SPDX-License-Identifier: MIT
#pragma once

// The line at a glance, above the lanes: this station's shift in figures
// (yield, passes and failures per lane, the commonest failures, the pace,
// the rows left and the time to finish). Counted by the report from the
// audit, off the window's thread, whenever asked (a module recorded, the
// plan looked at again); one count at a time, the last ask counted after
// a pause three times the count's length. The pace is worked out again each minute from the last count.

#include "report/glance.h"
#include "stationwindow/stationsetup.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>
#include <thread>

class QLabel;

class GlancePanel : public QWidget
{
    Q_OBJECT

public:
    explicit GlancePanel(QWidget *parent = nullptr);
    ~GlancePanel() override;

    // Counts the set-up's plan and audit again for its station.
    void refresh(const StationSetup &setup);
    // Shows figures (the count's, or a test's) as of now.
    void show(const report::Glance &glance);
    // The figures shown, as last counted; none before the first count.
    const std::optional<report::Glance> &shown() const { return m_shown; }

signals:
    void counted();

private:
    void count(const StationSetup &setup);
    void countedNow(const QString &error, std::shared_ptr<report::Report> report, const QString &station);

    QLabel *m_shift;    // the shift's units and yield
    QLabel *m_pace;     // the pace, the rows left, the time to finish
    QLabel *m_lanes;    // each lane's passes and failures, the commonest failures
    std::optional<report::Glance> m_shown;
    std::shared_ptr<report::Report> m_report; // the last count, for the pace as time goes on
    QString m_station;
    bool m_counting = false;
    QElapsedTimer m_took; // since the count began
    std::optional<StationSetup> m_again; // asked while counting
    std::optional<StationSetup> m_last;  // the set-up last counted
    bool m_retried = false;              // a failed count was tried again once
    std::thread m_thread;                 // a count from files; joined before the next and at the end
};
