// SPDX-License-Identifier: MIT
#pragma once

// A station's files as a shift leaves them, for the tests that open the
// station window on them.

#include "auditfixture.h"
#include "fakehost.h"
#include "productionline.h"
#include "simulatedline.h"
#include "stationwindow/lanetile.h"
#include "stationwindow/stationwindow.h"

#include <QTest>

#include <algorithm>
#include <memory>

// A plan of four rows whose audit holds a pass and a failure still in
// doubt; the audit is dir's audit.jsonl, and the plan's path is returned.
inline QString planWithAFailure(const QTemporaryDir &dir)
{
    OutcomeRecord failed {2, QStringLiteral("/dev/ttyUSB1"), {}, settings(QStringLiteral("10.0.5.22"), QStringLiteral("02:00:00:00:10:02")),
                          settings(QStringLiteral("192.168.1.20"), QStringLiteral("02:00:00:00:10:02")), Result::Fail,
                          QStringLiteral("IP address reads back \"192.168.1.20\" instead of \"10.0.5.22\""), {}};
    OutcomeRecord passed = failed;
    passed.row = 1;
    passed.written = passed.readBack = settings(QStringLiteral("10.0.5.21"), QStringLiteral("02:00:00:00:10:01"));
    passed.result = Result::Pass;
    passed.reason.clear();
    QByteArray audit;
    QByteArray prev = firstPrev;
    for (const AuditBody &body : {AuditBody(passed), AuditBody(failed)}) {
        const QByteArray line = auditLine({QStringLiteral("2026-12-09T05:00:00.000Z"), QStringLiteral("bench-1"),
                                           QStringLiteral("Ana"), {}, body}, prev);
        audit += line + '\n';
        prev = chainHash(line);
    }
    writeFile(dir, QStringLiteral("audit.jsonl"), audit);
    return writeFile(dir, QStringLiteral("plan.csv"), plan4);
}

// The station window on such a shift's files, two lanes running: one
// module that takes its row (PASS) beside one that ignores what it is
// sent (FAIL, with its reason). Link the test with vev_simulator.
class RunningStation
{
public:
    // The window once both verdicts show; null if they never did.
    StationWindow *open()
    {
        m_window.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_passing = std::make_unique<SimulatedLine>(ModuleSimulator::Options());
        ModuleSimulator::Options lying;
        lying.ignoreWrites = true;
        m_failing = std::make_unique<SimulatedLine>(lying);
        SettingValues other = ModuleSimulator::defaultSettings();
        valueOf(other, Setting::MacAddress) = QStringLiteral("02:00:00:00:99:01");
        m_failing->modules = std::make_unique<ModuleSimulator>(m_failing->line.fd(), lying, other, m_failing->logStream);
        StationSetup setup;
        // Rows enough that the plan is not used up while the verdicts show.
        planWithAFailure(*m_dir);
        setup.planPath = writeFile(*m_dir, QStringLiteral("plan.csv"), plan4 + "10.0.5.25,10.0.5.1,502,02:00:00:00:10:05\n"
                                                                          "10.0.5.26,10.0.5.1,502,02:00:00:00:10:06\n");
        setup.auditPath = m_dir->filePath(QStringLiteral("audit.jsonl"));
        setup.station = QStringLiteral("bench-1");
        setup.operatorName = QStringLiteral("Ana");
        setup.ports = QStringList {m_passing->line.devicePath(), m_failing->line.devicePath()};
        m_window = std::make_unique<StationWindow>(m_host.environment(), TonePlayer());
        StationWindow *station = m_window.get();
        station->setSetup(setup);
        station->show();
        station->start();
        const bool shown = QTest::qWaitFor([station] {
            QList<LaneState> states;
            for (const LaneTile *tile : station->findChildren<LaneTile *>())
                states << tile->state();
            std::sort(states.begin(), states.end());
            return states == QList<LaneState> {LaneState::Pass, LaneState::Fail};
        }, 20000);
        return shown ? station : nullptr;
    }

    // False: the run did not stop.
    bool close()
    {
        StationWindow *station = m_window.get();
        if (station)
            station->stop();
        const bool stopped = !station || QTest::qWaitFor([station] { return !station->isRunning(); }, 20000);
        m_window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The lanes go by their ports' names: the next run's lines get the
        // same ones.
        m_passing.reset();
        m_failing.reset();
        return stopped;
    }

    StationWindow *window() const { return m_window.get(); }

private:
    FakeHost m_host;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedLine> m_passing, m_failing;
    std::unique_ptr<StationWindow> m_window;
};
