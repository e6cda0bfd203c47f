// SPDX-License-Identifier: MIT
#include "windowbench.h"

#include "window/cloudconfigured.h"
#include "processusage.h"
#include "simprocess.h"
#include "windowdriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

// Runs the event loop for ms, or until done() holds. It sleeps between
// events, so the idle measurement sees the window's cost, not ours.
void serveFor(int ms, const std::function<bool()> &done = {})
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QTimer check;
    if (done) {
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        check.start(1);
    }
    loop.exec();
}

// --- child: time to first paint, offscreen --------------------------------

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTextStream(stdout) << "painted " << monotonicUs() << Qt::endl;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }

private:
    bool m_done = false;
};

// Start-up on a real X display: xev watches the root window for the map of
// a new top-level window (one connection, no polling: polling the server
// with short-lived clients gets new connections refused, the window's own
// included), xdotool confirms it is the tool's window and visible, and the
// resident memory is read half a second later.
void measureOnX(const QString &program, const QString &title, int runs, Series &mapped, Series &resident,
                QTextStream &err, const QString &configHome = {})
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        err << "vev-bench: no DISPLAY; skipping the X measurements (scripts/bench starts an Xvfb)" << Qt::endl;
        return;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!configHome.isEmpty())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    const QStringList search {"search", "--onlyvisible", "--name", QLatin1Char('^') + title + QLatin1Char('$')};
    // One run more than counted: the first warms the file cache and the
    // display, as any launch after the first would find them.
    for (int i = -1; i < runs; ++i) {
        QProcess xev;
        xev.start(QStringLiteral("xev"), {"-root", "-event", "substructure"});
        if (!xev.waitForStarted(2000)) {
            err << "vev-bench: cannot run xev (x11-utils): " << xev.errorString() << Qt::endl;
            return;
        }
        QThread::msleep(200); // let it select the root window's events

        QProcess app;
        app.setProcessEnvironment(env);
        app.setWorkingDirectory(QFileInfo(program).absolutePath());
        QElapsedTimer clock;
        clock.start();
        app.start(program, QStringList());
        QByteArray events;
        double mapMs = -1;
        while (mapMs < 0 && clock.elapsed() < 10000) {
            xev.waitForReadyRead(int(10000 - clock.elapsed()));
            events += xev.readAllStandardOutput();
            const int at = events.indexOf("MapNotify");
            if (at >= 0 && events.indexOf("override NO", at) >= 0)
                mapMs = clock.nsecsElapsed() / 1e6;
        }
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), search);
        xdotool.waitForFinished(2000);
        const bool visible = xdotool.exitCode() == 0 && !xdotool.readAllStandardOutput().trimmed().isEmpty();
        if (mapMs < 0 || !visible) {
            app.waitForFinished(100);
            err << "vev-bench: the window did not show on X within 10 s (" << QFileInfo(program).fileName() << " "
                << (app.state() == QProcess::Running ? QStringLiteral("running")
                                                     : QStringLiteral("exited with %1").arg(app.exitCode()))
                << ": " << app.readAllStandardError().trimmed() << ")" << Qt::endl;
        } else if (i >= 0) {
            mapped.values << mapMs;
            QThread::msleep(500);
            resident.values << residentKiB(app.processId()) / 1024.0;
        }
        app.kill();
        app.waitForFinished(2000);
        xev.kill();
        xev.waitForFinished(2000);
    }
}

} // namespace

int probePaint(int argc, char *argv[])
{
    // The same start as vev-config's main(), with a watch on the first paint.
    QApplication app(argc, argv);
    cloudConfigured window;
    FirstPaint watch;
    window.installEventFilter(&watch);
    window.show();
    return app.exec();
}

// --- child: a session against the simulator, offscreen -----------------------

int probeSession(int argc, char *argv[], const QString &fastDevice, const QString &pacedDevice, int runs)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const auto report = [&out](const char *name, double value) { out << name << ' ' << value << Qt::endl; };

    auto window = std::make_unique<cloudConfigured>();
    WindowDriver ui(window.get());
    window->show();
    serveFor(500);
    report("rss_start_kib", residentKiB());

    const auto roundTrip = [&ui]() -> double {
        auto *mac = ui.widget<QLineEdit>("lineEdit_mac");
        mac->setText(QString());
        QElapsedTimer clock;
        clock.start();
        ui.click("pushButton_connect");
        serveFor(5000, [mac] { return !mac->text().isEmpty(); });
        return mac->text().isEmpty() ? -1 : clock.nsecsElapsed() / 1e6;
    };

    if (!ui.openPort(fastDevice))
        return 1;
    for (int i = 0; i < runs; ++i)
        report("connect_ms", roundTrip());

    for (int i = 0; i < 100; ++i)
        roundTrip();
    serveFor(200);
    report("rss_after_100_connects_kib", residentKiB());
    // The log keeps what the module said; with it emptied, another hundred
    // cycles must leave nothing behind.
    ui.click("pushButton_logclear");
    serveFor(200);
    const qint64 settled = residentKiB();
    for (int i = 0; i < 100; ++i)
        roundTrip();
    ui.click("pushButton_logclear");
    serveFor(200);
    report("rss_growth_per_100_connects_kib", residentKiB() - settled);

    // Idle with the port open: nothing should wake the process.
    serveFor(1000);
    const qint64 cpuBefore = cpuTimeMs();
    serveFor(10000);
    report("idle_cpu_ms_per_10s", cpuTimeMs() - cpuBefore);

    ui.enterManually({"10.0.0.2", "10.0.0.1", "502", "AABBCCDDEEFF"});
    for (int i = 0; i < std::max(1, runs / 5); ++i) {
        QElapsedTimer clock;
        clock.start();
        ui.click("pushButton_config");
        report("apply_ms", clock.nsecsElapsed() / 1e6);
        serveFor(1500);
    }

    ui.click("pushButton_Open"); // close
    if (!ui.openPort(pacedDevice))
        return 1;
    for (int i = 0; i < runs; ++i)
        report("connect_9600_ms", roundTrip());
    return 0;
}


void measureStartUp(Figures &figures, int runs, QTextStream &err)
{
    Series &bareMapped = figures.add("startup_mapped_x_bare_window", "ms", "the same for a bare 601 x 351 QMainWindow (reference)");
    Series &bareResident = figures.add("rss_after_start_x_bare_window", "MiB", "its resident memory (reference)");
    Series &formMapped = figures.add("startup_mapped_x_form_window", "ms", "the same for the tool's form alone, built "
                                     "from Qt alone (reference)");
    Series &formResident = figures.add("rss_after_start_x_form_window", "MiB", "its resident memory (reference)");
    Series &mapped = figures.add("startup_mapped_x", "ms", "process start to window mapped on X (xev, confirmed by xdotool)");
    Series &resident = figures.add("rss_after_start_x", "MiB", "resident memory 0.5 s after mapping on X");
    Series &stationMapped = figures.add("startup_mapped_x_station", "ms", "the same for vev-station, the station window "
                                        "(its set-up empty)");
    Series &stationResident = figures.add("rss_after_start_x_station", "MiB", "its resident memory");
    QTemporaryDir stationConfig;
    for (int i = 0; i < runs; ++i) {
        measureOnX(QStringLiteral(VEV_BARE_WINDOW_PATH), QStringLiteral("vev-bench bare window"), 1, bareMapped,
                   bareResident, err);
        measureOnX(QStringLiteral(VEV_FORM_WINDOW_PATH), QStringLiteral("vev-bench form window"), 1, formMapped,
                   formResident, err);
        measureOnX(QStringLiteral(VEV_CONFIG_PATH), QStringLiteral("TELVOR: VeV-Idire Configuration"), 1, mapped,
                   resident, err);
        measureOnX(QStringLiteral(VEV_STATION_PATH), QStringLiteral("VeV-Idire Station"), 1, stationMapped,
                   stationResident, err, stationConfig.path());
    }
}

bool measureWindow(Figures &figures, int runs, QTextStream &err)
{
    Series &painted = figures.add("startup_first_paint_offscreen", "ms", "process start to first paint, offscreen");
    for (int i = 0; i < runs; ++i) {
        const qint64 start = monotonicUs();
        for (const QByteArray &line : runChild({"--probe-paint"}, offscreen(), 10000)) {
            if (line.startsWith("painted "))
                painted.values << (line.mid(8).toLongLong() - start) / 1000.0;
        }
    }
    // The session's lines, by name, into the series; KiB read as MiB where
    // the series says so.
    const std::tuple<const char *, Series *, double> session[] = {
        {"rss_start_kib", &figures.add("rss_after_start_offscreen", "MiB", "resident memory after start, offscreen"), 1024},
        {"rss_after_100_connects_kib", &figures.add("rss_after_100_connects", "MiB", "resident memory after 100 "
                                                    "Connect/reply cycles"), 1024},
        {"rss_growth_per_100_connects_kib", &figures.add("rss_growth_per_100_connects", "KiB", "growth over 100 more "
                                                         "cycles, log emptied before and after"), 1},
        {"connect_ms", &figures.add("connect_round_trip", "ms", "Connect click to four fields filled (floor: 500 ms "
                                    "frame)"), 1},
        {"connect_9600_ms", &figures.add("connect_round_trip_9600", "ms", "the same with the module paced at 9600 baud"), 1},
        {"idle_cpu_ms_per_10s", &figures.add("idle_cpu_per_10s", "ms", "CPU time over 10 s idle with the port open"), 1},
        {"apply_ms", &figures.add("apply_wall_time", "ms", "Apply click to return (three pauses of just over 1 s)"), 1},
    };
    SimProcess fast;
    SimProcess paced({"--line-rate", "9600"});
    if (!fast.isRunning() || !paced.isRunning()) {
        err << "vev-bench: vev-sim did not start: " << fast.error() << paced.error() << Qt::endl;
        return false;
    }
    const auto lines = runChild({"--probe-session", fast.devicePath(), paced.devicePath(), QString::number(runs)},
                                offscreen(), 600000);
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = line.split(' ');
        for (const auto &[key, series, divisor] : session) {
            if (parts.size() == 2 && parts.at(0) == key)
                series->values << parts.at(1).toDouble() / divisor;
        }
    }
    return true;
}
