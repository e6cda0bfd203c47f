// SPDX-License-Identifier: MIT
#pragma once

// vev-station's window: the set-up, Start and Stop, the plan's progress and
// the shift's figures at a glance, a tile per lane, the last records of the audit and the
// rows in doubt, with Release for the selected one. The run itself is the station library's,
// as vev-cli provision runs it; the window only shows it and steers it.

#include "host/hostenvironment.h"
#include "roster/roster.h"
#include "stationwindow/soundcues.h"
#include "stationwindow/stationsetup.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>

#include <functional>
#include <thread>

class GlancePanel;
class LaneTile;
class ScanRouter;
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QSettings;
class QTimer;
class RecordsPanel;
class SetupPanel;

class StationWindow : public QMainWindow
{
    Q_OBJECT

public:
    // play sounds the tone of each outcome (systemTonePlayer in the program).
    StationWindow(HostEnvironment env, TonePlayer play, QWidget *parent = nullptr);
    ~StationWindow() override;

    // Fills the set-up in (from the command line), over what was remembered;
    // the plan's state is shown once the window is up. An operator's name
    // in it (--operator) is the bench's for every run; without one, Start
    // asks who is at the bench.
    void setSetup(const StationSetup &setup);
    StationSetup setup() const;
    bool isRunning() const { return m_station != nullptr && m_running; }

    // Starts a run with the set-up, or says why not; with a roster, once
    // an operator has signed in, without one once the operator's name is
    // given.
    void start();
    // The lanes finish the modules in hand, record them, and the run ends.
    void stop();
    // Stops without asking, as Stop does, and closes the window once the
    // run has ended (SIGTERM, SIGINT, SIGHUP).
    void stopAndClose();

    // A second's tick: the elapsed time and the pace.
    static constexpr int tickMs = 1000;

signals:
    // A run ended, or a start was refused.
    void runEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *buildSummary();
    QWidget *buildTables();
    void started();
    void ended(const QString &message, bool problem);
    void showMessage(const QString &text, bool problem);
    void showPlan(const StoreStatus &status);
    void showFigures();
    // Shows the plan's state from the files; with messages, also what is
    // wrong with them, or clears the problem shown.
    void lookAtFiles(bool messages = true);
    void askToStop(bool thenClose);
    void askToRelease(const RowEntry &entry);
    void release(int row, const Signer &supervisor);
    void setLocked(bool locked);
    // A run for whoever signed in (none without a roster).
    void begin(const std::optional<Signer> &who);

    // The roster (rostergate.cpp).
    void addRosterButtons(QHBoxLayout *controls);
    void withRoster(const std::function<void(const QString &error, const std::optional<Roster> &roster)> &then);
    QDialog *askBadge(const QString &title, const QString &text, bool askName, bool askBadge,
                  const std::function<void(const QString &code, const QString &name)> &then);
    void signInAndStart();
    void askNameAndStart();
    // then runs once the operator's name is known (at once during a run).
    void withOperatorName(const QString &what, const std::function<void()> &then);
    // then runs once a supervisor's badge allows the right (at once, with
    // none, without a roster); with askName, the shift's name comes too.
    void asSupervisor(SupervisorRight right, bool askName,
                      const std::function<void(const std::optional<Signer> &who, const QString &name)> &then);
    void startShift(const std::optional<Signer> &who, const QString &name);
    // The Report button: the line report as an HTML page, opened in the
    // desktop's browser; where it goes (beside the audit, or the cache
    // folder for a plan in a database).
    void writeReport();
    QString reportPath() const;

    HostEnvironment m_env;
    QSettings *m_settings = nullptr; // null when its file cannot be used
    std::chrono::milliseconds m_timeout {3000};

    SetupPanel *m_setup;
    QPushButton *m_start;
    QPushButton *m_stop;
    QPushButton *m_changeSetup = nullptr;
    QPushButton *m_newShift = nullptr;
    bool m_hasRoster = false;  // as last read: the set-up is then a supervisor's to change
    bool m_setupOpen = false;  // a supervisor opened it, until the next Start
    bool m_signingIn = false;
    QString m_givenOperator; // --operator: nobody is asked
    QString m_benchOperator; // as last asked, for what is recorded between runs
    QPushButton *m_report;
    // A report from files is counted here, off the window's thread: a long
    // audit takes seconds. Joined when the window goes.
    std::thread m_reporting;
    SoundCues *m_sound;
    QLabel *m_message;
    QProgressBar *m_progress;
    QLabel *m_planText;
    GlancePanel *m_glance;
    QLabel *m_elapsedText;
    QWidget *m_tileArea;
    QGridLayout *m_tiles;
    QLabel *m_noTiles;
    RecordsPanel *m_tables;
    QTimer *m_tick;
    QTimer *m_look; // the look at the files once the window is up
    bool m_lookWhenEnded = false; // a run started before it: the look comes after the run

    Station *m_station = nullptr;
    bool m_running = false;
    bool m_closeWhenEnded = false;
    QString m_storeFailure; // why the run had to stop, if it had to
    QString m_storeWarning; // what the store said of its set-up as it opened
    bool m_problemShown = false;
    QHash<Lane *, LaneTile *> m_tileOf;
    ScanRouter *m_scans = nullptr; // the run's: codes scanned to their lanes
    QElapsedTimer m_elapsed;
    qint64 m_lastElapsedMs = 0;
};
