// SPDX-License-Identifier: MIT
#include "stationwindow/stationwindow.h"

#include "desktop/desktopsettings.h"
#include "protocol/wireformat.h"
#include "stationtext/lanetext.h"
#include "stationwindow/glancepanel.h"
#include "stationwindow/lanetile.h"
#include "stationwindow/recordspanel.h"
#include "stationwindow/scanrouter.h"
#include "stationwindow/setuppanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <memory>

namespace {

const char *const problemStyle = "color:#b71c1c; font-weight:bold;";
// Lanes side by side before a second row of tiles begins.
constexpr int tilesInOneRow = 3;

QString value(const SettingValues &values, Setting setting)
{
    return printable(valueOf(values, setting).value_or(QString()));
}

QString clock(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// A box that asks and answers through its signal, without a nested event
// loop: the lanes go on while it is up.
void ask(QWidget *parent, const char *name, const QString &title, const QString &text, const QString &yes,
         const std::function<void()> &then)
{
    auto *box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box->setObjectName(QLatin1String(name));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *confirm = box->addButton(yes, QMessageBox::AcceptRole);
    confirm->setObjectName(QStringLiteral("confirm"));
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    QObject::connect(box, &QMessageBox::buttonClicked, parent, [confirm, then](QAbstractButton *button) {
        if (button == confirm)
            then();
    });
    box->open();
}

} // namespace

StationWindow::StationWindow(HostEnvironment env, TonePlayer play, QWidget *parent)
    : QMainWindow(parent)
    , m_env(std::move(env))
    , m_setup(new SetupPanel(m_env, this))
    , m_start(new QPushButton(tr("Start"), this))
    , m_stop(new QPushButton(tr("Stop"), this))
    , m_report(new QPushButton(tr("Report"), this))
    , m_sound(new SoundCues(std::move(play), this))
    , m_message(new QLabel(this))
    , m_tick(new QTimer(this))
{
    setWindowTitle(tr("VeV-Idire Station"));
    setWindowIcon(QIcon(QStringLiteral(":/cloudConfigured/icon.png")));
    m_start->setObjectName(QStringLiteral("pushButton_start"));
    m_start->setToolTip(tr("Start the run (Space or Enter)"));
    m_stop->setObjectName(QStringLiteral("pushButton_stop"));
    m_stop->setToolTip(tr("Finish and record the modules in hand, then stop (Escape asks first)"));
    m_stop->setEnabled(false);
    m_report->setObjectName(QStringLiteral("pushButton_report"));
    m_report->setToolTip(tr("The line report of the plan as a page in the browser: yield, failures by code, "
                                        "output by station and every unit"));
    m_message->setObjectName(QStringLiteral("label_message"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_start);
    controls->addWidget(m_stop);
    controls->addWidget(m_report);
    controls->addWidget(m_sound);
    addRosterButtons(controls);
    controls->addStretch(1);

    m_tileArea = new QWidget(this);
    m_tileArea->setObjectName(QStringLiteral("tiles"));
    m_tiles = new QGridLayout(m_tileArea);
    m_tiles->setContentsMargins(0, 0, 0, 0);
    m_noTiles = new QLabel(tr("Tick a port for each lane and press Start."), m_tileArea);
    m_noTiles->setAlignment(Qt::AlignCenter);
    m_tiles->addWidget(m_noTiles, 0, 0);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_setup);
    layout->addLayout(controls);
    // A line of its own, the window's width: beside the buttons, a long
    // message would wrap into a column as tall as a tile.
    layout->addWidget(m_message);
    m_message->hide();
    layout->addWidget(buildSummary());
    layout->addWidget(m_tileArea, 4);
    layout->addWidget(buildTables(), 1);
    setCentralWidget(central);
    showPlan(StoreStatus());
    showFigures();

    // Named like its desktop entry, beside the configuration window's.
    QString why;
    m_settings = openDesktopSettings(QStringLiteral("VevStation"), this, &why);
    StationSetup remembered;
    if (m_settings)
        remembered.load(*m_settings);
    else
        showMessage(tr("Settings not used: %1; the set-up is not remembered.").arg(why), true);
    m_setup->setSetup(remembered);
    m_sound->setTones(remembered.passTone, remembered.bell);

    connect(m_start, &QPushButton::clicked, this, &StationWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &StationWindow::stop);
    connect(m_report, &QPushButton::clicked, this, &StationWindow::writeReport);
    connect(m_setup, &SetupPanel::filesChanged, this, [this] { lookAtFiles(); });
    // Space and Enter start: the keyboard begins on Start, not in a field
    // where they would be typed.
    m_start->setFocus();
    m_tick->setInterval(tickMs);
    connect(m_tick, &QTimer::timeout, this, &StationWindow::showFigures);
    // The plan's state once the window is up, not before it shows.
    m_look = new QTimer(this);
    m_look->setSingleShot(true);
    m_look->setInterval(0);
    connect(m_look, &QTimer::timeout, this, [this] { lookAtFiles(); });
    m_look->start();
}

StationWindow::~StationWindow()
{
    if (m_reporting.joinable())
        m_reporting.join();
    // A run still going when the window goes (the program quitting) ends
    // here: the lanes close their ports and the store its files.
    delete m_station;
}

QWidget *StationWindow::buildSummary()
{
    auto *summary = new QWidget(this);
    // Two lines, so that the window stays narrow enough at large fonts.
    auto *grid = new QGridLayout(summary);
    grid->setContentsMargins(0, 0, 0, 0);
    m_progress = new QProgressBar(summary);
    m_progress->setObjectName(QStringLiteral("progress_plan"));
    m_progress->setAccessibleName(tr("Plan progress"));
    m_progress->setFormat(tr("%v of %m passed"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setMinimumWidth(m_progress->fontMetrics().horizontalAdvance(tr("100000 of 100000 passed"))
                                + 2 * m_progress->fontMetrics().averageCharWidth());
    m_planText = new QLabel(summary);
    m_planText->setObjectName(QStringLiteral("label_plan"));
    m_glance = new GlancePanel(summary);
    m_elapsedText = new QLabel(summary);
    m_elapsedText->setObjectName(QStringLiteral("label_elapsed"));
    grid->addWidget(m_progress, 0, 0);
    grid->addWidget(m_planText, 0, 1);
    grid->addWidget(m_elapsedText, 0, 2);
    grid->addWidget(m_glance, 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    return summary;
}

QWidget *StationWindow::buildTables()
{
    m_tables = new RecordsPanel(this);
    connect(m_tables, &RecordsPanel::releaseAsked, this, &StationWindow::askToRelease);
    return m_tables;
}

void StationWindow::setSetup(const StationSetup &setup)
{
    m_setup->setSetup(setup);
    m_sound->setTones(setup.passTone, setup.bell);
    m_timeout = setup.timeout;
    m_givenOperator = setup.operatorName;
}

StationSetup StationWindow::setup() const
{
    StationSetup setup = m_setup->setup();
    setup.passTone = m_sound->toneOnPass();
    setup.bell = m_sound->toneOnFail();
    setup.timeout = m_timeout;
    setup.operatorName = m_givenOperator.isEmpty() ? m_benchOperator : m_givenOperator;
    return setup;
}

// --- The run ------------------------------------------------------------------

void StationWindow::start()
{
    if (!m_station && !m_signingIn)
        signInAndStart();
}

void StationWindow::begin(const std::optional<Signer> &who)
{
    if (m_station)
        return;
    // A run reads the plan and the audit itself, and shows their state once
    // it has started: a look not yet taken would read them twice over (a
    // plan of 100,000 rows takes a good part of a second). It comes after a
    // run that never started, and leaves the reason in view.
    if (m_look->isActive()) {
        m_look->stop();
        m_lookWhenEnded = true;
    }
    StationSetup setup = this->setup();
    if (const QString problem = setup.problem(); !problem.isEmpty()) {
        ended(tr("Not started: ") + problem, true);
        return;
    }
    if (m_settings)
        setup.save(*m_settings);
    if (who) {
        setup.operatorName = who->name;
        setup.operatorId = who->id;
    }
    m_setupOpen = false;

    QString error;
    m_station = setup.makeStation(&error).release();
    if (!m_station) {
        ended(tr("Not started: ") + printable(error), true);
        return;
    }
    m_station->setParent(this);
    m_scans = new ScanRouter(m_station, m_station);
    connect(m_scans, &ScanRouter::said, this, &StationWindow::showMessage);
    connect(m_station, &Station::refused, this, [this](const QString &error) {
        ended(tr("Not started: ") + printable(error), true);
    });
    connect(m_station, &Station::started, this, &StationWindow::started);
    connect(m_station, &Station::laneChanged, this, [this](Lane *lane) {
        if (LaneTile *tile = m_tileOf.value(lane))
            tile->setStatus(lane->status(), lane->status().row ? m_station->laneWriting(lane->status().row->row) : 0);
    });
    connect(m_station, &Station::recorded, this, [this](const OutcomeRecord &record) {
        // The shift's figures, counted again from the audit.
        m_glance->refresh(this->setup());
        m_sound->sound(record.result);
        showFigures();
    });
    connect(m_station, &Station::planStatusChanged, this, [this] { showPlan(m_station->planStatus()); });
    connect(m_station, &Station::storeFailed, this, [this](const QString &error) {
        // After the reason the run stopped: where each lane's record went.
        m_storeFailure += (m_storeFailure.isEmpty() ? QString() : QStringLiteral(" "))
                          + printable(error) + tr("; the run stops.");
        showMessage(m_storeFailure, true);
    });
    connect(m_station, &Station::halted, this, [this](const QString &why) {
        m_storeFailure = printable(why) + tr("; nothing more is sent to any module, and the run stops.");
        showMessage(m_storeFailure, true);
    });
    connect(m_station, &Station::finished, this, [this] {
        QString text = runSummary(*m_station, tr("Stopped"), tr("below"));
        if (m_station->planStatus().inDoubtCount() > 0)
            text += QLatin1Char('.');
        // A store failure stays in view: it is why the run ended.
        ended(m_storeFailure.isEmpty() ? text : m_storeFailure + QLatin1Char(' ') + text, !m_storeFailure.isEmpty());
    });
    m_storeFailure.clear();
    m_storeWarning.clear();
    connect(m_station->store(), &ProvisionStore::warned, this, [this](const QString &what) { m_storeWarning = what; });
    setLocked(true);
    m_stop->setEnabled(false);
    showMessage(tr("Opening the plan, the audit and the ports…"), false);
    m_station->start();
}

void StationWindow::started()
{
    m_running = true;
    m_lookWhenEnded = false; // the run shows the plan's state below
    m_stop->setEnabled(true);
    m_glance->refresh(setup());
    // The last run's tiles give way.
    while (QLayoutItem *item = m_tiles->takeAt(0)) {
        if (item->widget() != m_noTiles)
            delete item->widget();
        delete item;
    }
    m_noTiles->hide();
    const QList<Lane *> &lanes = m_station->lanes();
    const Instructions instructions = setup().instructions();
    const int columns = lanes.size() <= tilesInOneRow ? int(lanes.size())
                                                      : int(std::ceil(std::sqrt(double(lanes.size()))));
    // Every lane's tile as large as the next, whatever its texts ask for.
    for (int column = 0; column < std::max(columns, m_tiles->columnCount()); ++column)
        m_tiles->setColumnStretch(column, column < columns ? 1 : 0);
    for (int i = 0; i < lanes.size(); ++i) {
        auto *tile = new LaneTile(lanes.at(i)->port(), i + 1, m_tileArea);
        tile->setObjectName(QStringLiteral("tile_%1").arg(i + 1));
        tile->setInstructions(instructions);
        tile->setStatus(lanes.at(i)->status());
        m_tiles->addWidget(tile, i / columns, i % columns);
        m_tileOf.insert(lanes.at(i), tile);
        m_scans->add(lanes.at(i), tile);
    }
    m_elapsed.start();
    m_tick->start();
    showFigures();
    showPlan(m_station->planStatus());
    if (!m_storeWarning.isEmpty()) // a set-up the station's people should hear of outranks the routine line
        showMessage(tr("Running on %n lanes, but %1.", nullptr, int(lanes.size())).arg(printable(m_storeWarning)), true);
    else
        showMessage(tr("Running on %n lanes. Escape stops once the modules in hand are finished.", nullptr,
                           int(lanes.size())), false);
    if (m_closeWhenEnded)
        stop(); // told to go while the run was starting
}

void StationWindow::stop()
{
    if (!isRunning())
        return;
    m_stop->setEnabled(false);
    showMessage(tr("Stopping: the lanes finish and record the modules in hand…"), false);
    m_station->stop();
}

void StationWindow::stopAndClose()
{
    m_closeWhenEnded = true;
    if (m_station)
        stop();
    else
        close();
}

void StationWindow::ended(const QString &message, bool problem)
{
    if (m_elapsed.isValid())
        m_lastElapsedMs = m_elapsed.elapsed();
    m_elapsed.invalidate();
    m_running = false;
    m_tick->stop();
    showFigures();
    if (m_station) {
        m_station->disconnect(this);
        // Its lanes close their ports and its store lets the files go.
        m_station->deleteLater();
        m_station = nullptr;
    }
    m_tileOf.clear();
    if (std::exchange(m_lookWhenEnded, false) && !m_closeWhenEnded)
        lookAtFiles(false);
    setLocked(false);
    m_start->setFocus();
    showMessage(message, problem);
    emit runEnded();
    if (m_closeWhenEnded)
        close();
}

void StationWindow::setLocked(bool locked)
{
    m_setup->setEnabled(!locked && (!m_hasRoster || m_setupOpen));
    // A run's set-up cannot change: its room goes to the tiles, so that a
    // FAIL's lines fit a small screen in any language.
    m_setup->setVisible(!locked);
    m_changeSetup->setEnabled(!locked && m_hasRoster && !m_setupOpen);
    m_newShift->setEnabled(!locked);
    m_start->setEnabled(!locked);
    m_stop->setEnabled(locked);
    if (!locked)
        m_setup->scanPorts();
}

// --- What the window shows -------------------------------------------------------

void StationWindow::showMessage(const QString &text, bool problem)
{
    m_message->setText(text);
    m_message->setHidden(text.isEmpty());
    m_message->setStyleSheet(problem ? QLatin1String(problemStyle) : QString());
    m_problemShown = problem;
}

void StationWindow::showPlan(const StoreStatus &status)
{
    m_progress->setRange(0, std::max(1, status.rows));
    m_progress->setValue(status.passed);
    m_planText->setText(tr("Plan: %1 of %2 passed, %3 left, %4 in doubt")
                            .arg(status.passed).arg(status.rows).arg(status.open).arg(status.inDoubtCount()));

    m_tables->showStatus(status);
}

void StationWindow::showFigures()
{
    const qint64 ms = m_elapsed.isValid() ? m_elapsed.elapsed() : m_lastElapsedMs;
    m_elapsedText->setText(tr("Elapsed %1").arg(clock(ms)));
}

// --- Asking ------------------------------------------------------------------------

void StationWindow::askToStop(bool thenClose)
{
    ask(this, "box_stop", tr("Stop the run"),
        tr("Stop the run? Each lane first finishes and records the module in hand."),
        thenClose ? tr("Stop and close") : tr("Stop"), [this, thenClose] {
            if (thenClose)
                m_closeWhenEnded = true;
            stop();
        });
}

void StationWindow::askToRelease(const RowEntry &entry)
{
    // Who releases it: with a roster, a supervisor's badge is asked next.
    const QString who = m_hasRoster ? tr("A supervisor's badge is asked next: the release is recorded in the audit "
                                         "under the supervisor's name.")
                                    : tr("The release is recorded in the audit under the operator's name, %1.")
                                          .arg(setup().operatorName.isEmpty() ? tr("(none given)")
                                                                              : printable(setup().operatorName));
    ask(this, "box_release", tr("Release row %1").arg(entry.row),
        tr("Release row %1 (IP %2, MAC %3) back to the plan?\n\nThe row is in doubt: part of it may be on the module "
           "it was written to (before: %4). Release it only once that module has been dealt with:\n"
           "\u2022 it was put back on a lane and finished the row (the row then leaves this list by itself), or\n"
           "\u2022 it was wiped back to its settings before, or scrapped.\n\n"
           "Once released, the next module may be given the row. %5")
            .arg(entry.row).arg(value(entry.values, Setting::IpAddress), value(entry.values, Setting::MacAddress),
                                settingsText(entry.before), who),
        tr("Release"), [this, row = entry.row] {
            asSupervisor(SupervisorRight::Release, false, [this, row](const std::optional<Signer> &who, const QString &) {
                release(row, who.value_or(Signer {}));
            });
        });
}

// --- Keyboard and closing ------------------------------------------------------------

void StationWindow::keyPressEvent(QKeyEvent *event)
{
    // Keys no field took: Space or Enter starts, Enter acknowledges a held
    // FAIL, Escape asks to stop. In a text field Enter ends the entry, and
    // starts nothing.
    const bool inField = qobject_cast<QLineEdit *>(focusWidget()) != nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (inField)
            break;
        // A FAIL held on one lane: Enter acknowledges it.
        if (m_scans && isRunning() && m_scans->acknowledgeTheOne())
            return;
        Q_FALLTHROUGH();
    case Qt::Key_Space:
        if (!m_station) {
            start();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (isRunning()) {
            askToStop(false);
            return;
        }
        break;
    default:
        break;
    }
    QMainWindow::keyPressEvent(event);
}

void StationWindow::closeEvent(QCloseEvent *event)
{
    if (m_station) {
        // The window goes once the modules in hand are recorded.
        if (!m_closeWhenEnded)
            askToStop(true);
        event->ignore();
        return;
    }
    if (m_settings)
        setup().save(*m_settings);
    event->accept();
}
