// SPDX-License-Identifier: MIT
#include "stationwindow/glancepanel.h"

#include "protocol/wireformat.h"
#include "stationwindow/setupreport.h"

#include <QDateTime>
#include <QLabel>
#include <QTimer>
#include <QGridLayout>

#include <cmath>

namespace {

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(qRound(share * 100));
}

QString duration(double hours)
{
    const int minutes = int(std::lround(hours * 60));
    if (minutes < 1)
        return GlancePanel::tr("under a minute");
    if (minutes < 60)
        return GlancePanel::tr("%n min", nullptr, minutes);
    return GlancePanel::tr("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

GlancePanel::GlancePanel(QWidget *parent)
    : QWidget(parent)
    , m_shift(new QLabel(this))
    , m_pace(new QLabel(this))
    , m_lanes(new QLabel(this))
{
    setObjectName(QStringLiteral("glance"));
    m_shift->setObjectName(QStringLiteral("label_shift"));
    m_pace->setObjectName(QStringLiteral("label_pace"));
    m_lanes->setObjectName(QStringLiteral("label_lanes"));
    // Three lines' worth, two of them side by side: the window stays short
    // enough for a small screen at large fonts.
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setVerticalSpacing(0);
    layout->addWidget(m_shift, 0, 0);
    layout->addWidget(m_pace, 0, 1);
    layout->addWidget(m_lanes, 1, 0, 1, 2);
    for (QLabel *label : {m_shift, m_pace, m_lanes}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_shift->setText(tr("This shift: not counted yet"));
    // The pace falls while nothing passes: worked out again each minute.
    auto *minute = new QTimer(this);
    minute->setInterval(60 * 1000);
    connect(minute, &QTimer::timeout, this, [this] {
        if (m_report)
            show(report::glanceOf(*m_report, m_station, QDateTime::currentMSecsSinceEpoch()));
    });
    minute->start();
}

GlancePanel::~GlancePanel()
{
    if (m_thread.joinable())
        m_thread.join();
}

void GlancePanel::refresh(const StationSetup &setup)
{
    if (setup.planPath.isEmpty() || (!setup.usesDatabase() && setup.auditPath.isEmpty()))
        return;
    if (m_counting) {
        m_again = setup;
        return;
    }
    count(setup);
}

void GlancePanel::count(const StationSetup &setup)
{
    m_counting = true;
    m_took.start();
    m_last = setup;
    const QString station = setup.stationName();
    countSetupReport(setup, report::glanceOptions(station), true, this, m_thread,
                     [this, station](const QString &error, std::shared_ptr<report::Report> report, const QString &) {
                         countedNow(error, std::move(report), station);
                     });
}

void GlancePanel::countedNow(const QString &error, std::shared_ptr<report::Report> report, const QString &station)
{
    m_counting = false;
    if (!error.isEmpty()) {
        // The figures shown stay; why they are not new is on the panel. A
        // line being written as the audit was read is whole a moment later:
        // tried again once.
        m_lanes->setText(tr("The shift's figures are not counted: %1").arg(printable(error)));
        if (!m_retried && !m_again && m_last) {
            m_retried = true;
            QTimer::singleShot(1000, this, [this, setup = *m_last] { refresh(setup); });
        }
    } else {
        m_retried = false;
        m_report = std::move(report);
        m_station = station;
        show(report::glanceOf(*m_report, m_station, QDateTime::currentMSecsSinceEpoch()));
    }
    emit counted();
    if (!m_again)
        return;
    // Asked again meanwhile: counted again after a pause three times as long
    // as the count took, so that a long audit keeps the count to a quarter
    // of a core beside the lanes, and a short one is counted at once.
    m_counting = true;
    QTimer::singleShot(3 * m_took.elapsed(), this, [this] {
        const StationSetup again = *m_again;
        m_again.reset();
        count(again);
    });
}

void GlancePanel::show(const report::Glance &glance)
{
    m_shown = glance;
    const QString yields = glance.units > 0
                               ? tr("%n units, first-pass yield %1, final yield %2", nullptr, glance.units)
                                     .arg(percent(glance.firstPassYield), percent(glance.finalYield))
                               : tr("no units yet");
    m_shift->setText(glance.since.isEmpty() ? tr("The whole audit: %1; %2 PASS, %3 FAIL").arg(yields).arg(glance.passed).arg(glance.failed)
                                            : tr("This shift (%1): %2; %3 PASS, %4 FAIL")
                                                  .arg(glance.since, yields).arg(glance.passed).arg(glance.failed));
    QStringList lanes;
    for (const report::Glance::Lane &lane : glance.lanes) {
        QString text = tr("%1: %2 PASS, %3 FAIL").arg(lane.port).arg(lane.passed).arg(lane.failed);
        if (lane.medianSeconds)
            text += tr(", %1 s a module").arg(qRound(*lane.medianSeconds));
        lanes << text;
    }
    QStringList failures;
    for (const report::FailureCount &failure : glance.topFailures)
        failures << QStringLiteral("%1 %2").arg(failure.code).arg(failure.count);
    m_lanes->setText(tr("%1. %2").arg(lanes.isEmpty() ? tr("Lanes: no module yet") : tr("Lanes: %1").arg(lanes.join(QStringLiteral(" · "))),
                                      failures.isEmpty() ? tr("No failures") : tr("Commonest failures: %1").arg(failures.join(QStringLiteral(", ")))));
    const QString rate = glance.modulesAnHour ? tr("%1 modules an hour").arg(qRound(*glance.modulesAnHour))
                                              : tr("– modules an hour (none passed yet)");
    const QString left = glance.inDoubt > 0 ? tr("%n rows left, %1 of them in doubt", nullptr, glance.rowsLeft).arg(glance.inDoubt)
                                            : tr("%n rows left", nullptr, glance.rowsLeft);
    QString finish;
    if (glance.rowsLeft == 0)
        finish = tr("the plan is done");
    else if (glance.hoursToFinish)
        finish = tr("about %1 to finish").arg(duration(*glance.hoursToFinish));
    m_pace->setText(finish.isEmpty() ? tr("%1 · %2").arg(rate, left) : tr("%1 · %2 · %3").arg(rate, left, finish));
}
