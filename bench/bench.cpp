// SPDX-License-Identifier: MIT
// vev-bench: start-up, memory, Connect round trip, idle cost and Apply time,
// each over repeated runs, printed as a table and written as JSON.
//
//   vev-bench [--runs N] [--json FILE] [--startup-only]
//
// X measurements use the real vev-config binary on the display in DISPLAY
// (scripts/bench starts an Xvfb). The rest runs the window offscreen in child
// processes of this program, against vev-sim; the database figures use a
// PostgreSQL server of the bench's own, on a Unix socket.

#include "store/dbstore.h"
#include "store/filestore.h"
#include "window/cloudconfigured.h"
#include "postgresserver.h"
#include "processusage.h"
#include "simprocess.h"
#include "windowdriver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>
#include <QTextStream>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

namespace {

qint64 monotonicUs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

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

// --- the orchestrator -------------------------------------------------------

struct Series {
    QString name;
    QString unit;
    QString note;
    QList<double> values;
};

QString figure(double v)
{
    return std::abs(v) >= 100 ? QString::number(v, 'f', 0) : QString::number(v, 'f', 1);
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    const auto n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QList<QByteArray> runChild(const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs)
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(timeoutMs);
    return child.readAllStandardOutput().split('\n');
}

// Wall time of one run of a program, in ms; negative when it failed.
double timedRun(const QString &program, const QStringList &arguments)
{
    QProcess child;
    const qint64 start = monotonicUs();
    child.start(program, arguments);
    const bool ok = child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return ok ? (monotonicUs() - start) / 1000.0 : -1;
}

QProcessEnvironment offscreen()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

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

// A plan of rows, each its own IP and MAC address.
QString writePlan(const QTemporaryDir &dir, const QString &name, int rows)
{
    QFile plan(dir.filePath(name));
    plan.open(QIODevice::WriteOnly);
    plan.write("ip,gateway,tcp_port,mac\n");
    for (int row = 0; row < rows; ++row) {
        plan.write(QStringLiteral("10.%1.%2.%3,10.0.0.1,502,02:00:00:%4:%5:%6\n")
                       .arg(1 + row / 62500).arg(row / 250 % 250).arg(1 + row % 250)
                       .arg(row >> 16 & 255, 2, 16, QLatin1Char('0')).arg(row >> 8 & 255, 2, 16, QLatin1Char('0'))
                       .arg(row & 255, 2, 16, QLatin1Char('0')).toLatin1());
    }
    return plan.fileName();
}

// One provisioning run: lanes of vev-sim lines of modules (taken off 100 ms
// after their read-back, the next plugged in 100 ms later) on a plan of
// planRows rows. The wall time (while rows are left after the line's last
// module, up to the end of the line), and from the audit the medians of a
// module's claim to its outcome (its verified write inside the lane) and of
// one outcome to the next on a lane (the time per module, start and end
// aside).
struct ProvisionRun {
    double ms = -1;
    double writeMs = -1;
    double cycleMs = -1;
};
ProvisionRun provisionRun(int lanes, int modulesPerLine, int planRows)
{
    std::vector<std::unique_ptr<SimProcess>> lines;
    QStringList arguments {"provision"};
    for (int l = 0; l < lanes; ++l) {
        lines.push_back(std::make_unique<SimProcess>(QStringList {
            "--line", QString::number(modulesPerLine), "--off-after", "100", "--plug-gap", "100"}));
        arguments << "--port" << lines.back()->devicePath();
    }
    QTemporaryDir dir;
    const QString audit = dir.filePath(QStringLiteral("audit.jsonl"));
    arguments << "--plan" << writePlan(dir, QStringLiteral("plan.csv"), planRows) << "--audit" << audit;
    ProvisionRun run;
    QProcess child;
    const qint64 start = monotonicUs();
    child.start(QStringLiteral(VEV_CLI_PATH), arguments);
    // With rows left after the line's last module, the run goes on: it is
    // ended once every module's outcome is in.
    const auto lineDone = [&] {
        QFile file(audit);
        return file.open(QIODevice::ReadOnly) && file.readAll().count("\"kind\":\"outcome\"") >= lanes * modulesPerLine;
    };
    while (!child.waitForFinished(50)) {
        if (planRows > lanes * modulesPerLine && lineDone()) {
            child.terminate();
            child.waitForFinished(10000);
            break;
        }
    }
    run.ms = (monotonicUs() - start) / 1000.0;
    QList<double> writes;
    QList<double> cycles;
    QHash<QString, QDateTime> claimed;
    QHash<QString, QDateTime> lastOutcome;
    verifyAudit(audit, [&](const AuditRecord &record, int) {
        const QDateTime at = QDateTime::fromString(record.time, Qt::ISODateWithMs);
        if (const auto *claim = std::get_if<ClaimRecord>(&record.body)) {
            claimed.insert(claim->port, at);
        } else if (const auto *outcome = std::get_if<OutcomeRecord>(&record.body)) {
            if (claimed.contains(outcome->port))
                writes << double(claimed.value(outcome->port).msecsTo(at));
            if (lastOutcome.contains(outcome->port))
                cycles << double(lastOutcome.value(outcome->port).msecsTo(at));
            lastOutcome.insert(outcome->port, at);
        }
    });
    if (!writes.isEmpty())
        run.writeMs = median(writes);
    if (!cycles.isEmpty())
        run.cycleMs = median(cycles);
    return run;
}

// Runs call, which calls done once it has its answer, and waits for that
// answer on the event loop if it comes later (a database store's does).
void await(const std::function<void(const std::function<void()> &done)> &call)
{
    bool answered = false;
    QEventLoop loop;
    call([&] {
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
}

// The store's cost per module: a claim and its outcome (no answer, which
// puts the row back, so the same row serves every round), median over
// rounds, in microseconds; fsync included, as in a run.
double storeRoundUs(ProvisionStore &store, int rounds)
{
    bool opened = false;
    await([&](const auto &done) {
        store.open([&](const ProvisionStore::Opened &result) {
            opened = result.ok;
            done();
        });
    });
    if (!opened)
        return -1;
    const SettingValues module {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.1"), QStringLiteral("502"),
                                QStringLiteral("02:56:45:00:00:01")};
    QList<double> us;
    for (int i = 0; i < rounds; ++i) {
        const qint64 start = monotonicUs();
        PlanRow row;
        await([&](const auto &done) {
            store.claim(QStringLiteral("/dev/ttyUSB0"), module, [&](const ProvisionStore::Claim &claim) {
                row = claim.row;
                done();
            });
        });
        await([&](const auto &done) {
            store.record(OutcomeRecord {row.row, QStringLiteral("/dev/ttyUSB0"), module, row.values, {}, Result::NoAnswer, {}},
                         [&](const QString &) { done(); });
        });
        us << double(monotonicUs() - start);
    }
    return median(us);
}

double fileStoreRoundUs(int planRows, int rounds)
{
    QTemporaryDir dir;
    FileStore store({writePlan(dir, QStringLiteral("plan.csv"), planRows), dir.filePath(QStringLiteral("audit.jsonl")),
                     QStringLiteral("bench"), {}, false, true});
    return storeRoundUs(store, rounds);
}

// A database of the bench's server with a plan of planRows imported; its
// URI, or empty.
QString databaseWithPlan(PostgresServer &server, const QString &name, int planRows)
{
    QTemporaryDir dir;
    const QString uri = server.createDatabase(name);
    if (uri.isEmpty() || timedRun(QStringLiteral(VEV_CLI_PATH), {"plan", "import", "--db", uri,
                                                                  writePlan(dir, QStringLiteral("plan.csv"), planRows)}) < 0)
        return {};
    return uri;
}

// Several stations of vev-cli sharing one database, each with lanes of
// vev-sim lines as provisionRun's, on a plan of as many rows as modules:
// the wall time from their start until the last has ended, in ms.
double databaseRun(PostgresServer &server, const QString &name, int stations, int lanesEach, int modulesPerLine)
{
    const QString uri = databaseWithPlan(server, name, stations * lanesEach * modulesPerLine);
    if (uri.isEmpty())
        return -1;
    std::vector<std::unique_ptr<SimProcess>> lines;
    std::vector<QStringList> arguments;
    for (int s = 0; s < stations; ++s) {
        arguments.push_back({"provision", "--db", uri, "--station", QStringLiteral("bench-%1").arg(s + 1)});
        for (int l = 0; l < lanesEach; ++l) {
            lines.push_back(std::make_unique<SimProcess>(QStringList {
                "--line", QString::number(modulesPerLine), "--off-after", "100", "--plug-gap", "100"}));
            arguments.back() << "--port" << lines.back()->devicePath();
        }
    }
    std::vector<std::unique_ptr<QProcess>> children;
    const qint64 start = monotonicUs();
    for (const QStringList &station : arguments) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->start(QStringLiteral(VEV_CLI_PATH), station);
    }
    bool ok = true;
    for (const auto &child : children) {
        ok = child->waitForFinished(120000) && child->exitStatus() == QProcess::NormalExit && child->exitCode() == 0 && ok;
    }
    return ok ? (monotonicUs() - start) / 1000.0 : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && qstrcmp(argv[1], "--probe-paint") == 0)
        return probePaint(argc, argv);
    if (argc >= 5 && qstrcmp(argv[1], "--probe-session") == 0)
        return probeSession(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                            QByteArray(argv[4]).toInt());

    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Repetitions of each measurement (default 10)."),
                      QStringLiteral("N"), QStringLiteral("10")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Also write the figures to FILE."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("startup-only"), QStringLiteral("Measure the start-up on X against the bare window only.")});
    parser.addOption({QStringLiteral("station-only"), QStringLiteral("Measure the provisioning station only.")});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const bool startupOnly = parser.isSet(QStringLiteral("startup-only"));
    const bool stationOnly = parser.isSet(QStringLiteral("station-only"));

    Series mapped {"startup_mapped_x", "ms", "process start to window mapped on X (xev, confirmed by xdotool)", {}};
    Series residentX {"rss_after_start_x", "MiB", "resident memory 0.5 s after mapping on X", {}};
    Series painted {"startup_first_paint_offscreen", "ms", "process start to first paint, offscreen", {}};
    Series rssStart {"rss_after_start_offscreen", "MiB", "resident memory after start, offscreen", {}};
    Series rss100 {"rss_after_100_connects", "MiB", "resident memory after 100 Connect/reply cycles", {}};
    Series rssGrowth {"rss_growth_per_100_connects", "KiB", "growth over 100 more cycles, log emptied before and after", {}};
    Series connect {"connect_round_trip", "ms", "Connect click to four fields filled (floor: 500 ms frame)", {}};
    Series connect9600 {"connect_round_trip_9600", "ms", "the same with the module paced at 9600 baud", {}};
    Series idle {"idle_cpu_per_10s", "ms", "CPU time over 10 s idle with the port open", {}};
    Series apply {"apply_wall_time", "ms", "Apply click to return (three pauses of just over 1 s)", {}};
    Series openRef {"open_and_exit_reference", "ms", "a process that only opens the port and exits", {}};
    Series cliRead {"cli_read", "ms", "vev-cli read, module answering at once", {}};
    Series cliRead9600 {"cli_read_9600", "ms", "vev-cli read, module paced at 9600 baud", {}};
    Series cliWrite {"cli_write_verified", "ms", "vev-cli write of all four settings, read back and compared", {}};
    Series station1 {"provision_1_lane", "/min", "modules provisioned per minute, one lane of vev-sim modules", {}};
    Series station4 {"provision_4_lanes", "/min", "the same with four lanes at once", {}};
    Series perModule {"provision_ms_per_module", "ms", "one lane: wall time per module (the line takes each off "
                       "100 ms after its read-back and plugs the next in 100 ms later)", {}};
    Series cycle {"provision_cycle_ms", "ms", "one lane: one module's outcome to the next's, from the audit", {}};
    Series laneWrite {"provision_lane_write_ms", "ms", "one lane: a module's claim to its outcome (its verified write)", {}};
    Series cycleLarge {"provision_cycle_ms_100k_rows", "ms", "the same with a plan of 100,000 rows", {}};
    Series planRead {"plan_100k_read_ms", "ms", "vev-cli plan status: 100,000 rows read and checked", {}};
    Series storeSmall {"store_claim_record_10_rows_us", "us", "the store: a claim and its outcome, median of 1,000, "
                       "plan of 10 rows", {}};
    Series storeLarge {"store_claim_record_100k_rows_us", "us", "the same with a plan of 100,000 rows", {}};
    Series stationDb {"provision_2x2_lanes_db", "/min", "two stations of two lanes each sharing one PostgreSQL "
                      "database (the server on a Unix socket, syncing as files do)", {}};
    Series storeDb {"db_claim_record_ms", "ms", "the database store: a claim and its outcome through its thread, "
                    "median of 200, plan of 10 rows", {}};

    Series bareMapped {"startup_mapped_x_bare_window", "ms", "the same for a bare 601 x 351 QMainWindow (reference)", {}};
    Series bareResident {"rss_after_start_x_bare_window", "MiB", "its resident memory (reference)", {}};
    Series formMapped {"startup_mapped_x_form_window", "ms", "the same for the tool's form alone, built from Qt alone "
                       "(reference)", {}};
    Series formResident {"rss_after_start_x_form_window", "MiB", "its resident memory (reference)", {}};
    Series stationMapped {"startup_mapped_x_station", "ms", "the same for vev-station, the station window (its set-up "
                          "empty)", {}};
    Series stationResident {"rss_after_start_x_station", "MiB", "its resident memory", {}};
    QTemporaryDir stationConfig;
    // Side by side, round after round, so that all see the same machine.
    for (int i = 0; i < runs && !stationOnly; ++i) {
        measureOnX(QStringLiteral(VEV_BARE_WINDOW_PATH), QStringLiteral("vev-bench bare window"), 1, bareMapped,
                   bareResident, err);
        measureOnX(QStringLiteral(VEV_FORM_WINDOW_PATH), QStringLiteral("vev-bench form window"), 1, formMapped,
                   formResident, err);
        measureOnX(QStringLiteral(VEV_CONFIG_PATH), QStringLiteral("TELVOR: VeV-Idire Configuration"), 1, mapped,
                   residentX, err);
        measureOnX(QStringLiteral(VEV_STATION_PATH), QStringLiteral("VeV-Idire Station"), 1, stationMapped,
                   stationResident, err, stationConfig.path());
    }

    for (int i = 0; i < runs && !startupOnly && !stationOnly; ++i) {
        const qint64 start = monotonicUs();
        for (const QByteArray &line : runChild({"--probe-paint"}, offscreen(), 10000)) {
            if (line.startsWith("painted "))
                painted.values << (line.mid(8).toLongLong() - start) / 1000.0;
        }
    }

    if (!startupOnly && !stationOnly) {
        SimProcess fast;
        SimProcess paced({"--line-rate", "9600"});
        if (!fast.isRunning() || !paced.isRunning()) {
            err << "vev-bench: vev-sim did not start: " << fast.error() << paced.error() << Qt::endl;
            return 1;
        }
        const auto lines = runChild({"--probe-session", fast.devicePath(), paced.devicePath(), QString::number(runs)},
                                    offscreen(), 600000);
        for (const QByteArray &line : lines) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 2)
                continue;
            const double value = parts[1].toDouble();
            const QByteArray key = parts[0];
            if (key == "rss_start_kib") rssStart.values << value / 1024;
            else if (key == "rss_after_100_connects_kib") rss100.values << value / 1024;
            else if (key == "rss_growth_per_100_connects_kib") rssGrowth.values << value;
            else if (key == "connect_ms") connect.values << value;
            else if (key == "connect_9600_ms") connect9600.values << value;
            else if (key == "idle_cpu_ms_per_10s") idle.values << value;
            else if (key == "apply_ms") apply.values << value;
        }

        // The command line against its reference, side by side in each round.
        for (int i = 0; i < runs; ++i) {
            openRef.values << timedRun(QStringLiteral(VEV_OPEN_PROBE_PATH), {fast.devicePath()});
            cliRead.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"--port", fast.devicePath(), "read"});
            cliRead9600.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"--port", paced.devicePath(), "read"});
            cliWrite.values << timedRun(QStringLiteral(VEV_CLI_PATH),
                                        {"--port", fast.devicePath(), "write", "--ip", QStringLiteral("10.0.0.%1").arg(2 + i % 200),
                                         "--gateway", "10.0.0.1", "--tcp-port", "502", "--mac", "02:00:00:00:00:01"});
        }
    }

    // The station: lines of modules played by vev-sim, one lane and four; a
    // plan of 100,000 rows against one of 10; the store on its own.
    if (!startupOnly) {
        constexpr int modulesPerLine = 10;
        constexpr int largePlan = 100000;
        QTemporaryDir dir;
        const QString large = writePlan(dir, QStringLiteral("large.csv"), largePlan);
        for (int i = 0; i < std::min(runs, 3); ++i) {
            for (const int lanes : {1, 4}) {
                const ProvisionRun run = provisionRun(lanes, modulesPerLine, lanes * modulesPerLine);
                if (run.ms <= 0)
                    continue;
                (lanes == 1 ? station1 : station4).values << lanes * modulesPerLine * 60000.0 / run.ms;
                if (lanes == 1) {
                    perModule.values << run.ms / modulesPerLine;
                    cycle.values << run.cycleMs;
                    laneWrite.values << run.writeMs;
                }
            }
            cycleLarge.values << provisionRun(1, modulesPerLine, largePlan).cycleMs;
            planRead.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"plan", "status", "--plan", large, "--audit",
                                                                       dir.filePath(QStringLiteral("none.jsonl"))});
        }
        storeSmall.values << fileStoreRoundUs(modulesPerLine, 1000);
        storeLarge.values << fileStoreRoundUs(largePlan, 1000);

        // Several benches: two stations of two lanes each on one database,
        // against the four lanes on files above; and the database's cost.
        PostgresServer server(true);
        if (!server.isRunning()) {
            err << "vev-bench: no PostgreSQL server for the database figures: " << server.error() << Qt::endl;
        } else {
            for (int i = 0; i < std::min(runs, 3); ++i) {
                const double ms = databaseRun(server, QStringLiteral("run%1").arg(i), 2, 2, modulesPerLine);
                if (ms > 0)
                    stationDb.values << 4 * modulesPerLine * 60000.0 / ms;
            }
            const QString uri = databaseWithPlan(server, QStringLiteral("rounds"), modulesPerLine);
            if (!uri.isEmpty()) {
                QString error;
                DbStore store({*DatabaseUri::parse(uri, &error), QStringLiteral("bench"), {}, {}});
                storeDb.values << storeRoundUs(store, 200) / 1000;
            }
        }
    }

    const QList<Series *> all {&bareMapped, &bareResident, &formMapped, &formResident, &mapped, &residentX,
                               &stationMapped, &stationResident, &painted, &rssStart, &rss100, &rssGrowth, &connect, &connect9600,
                               &idle, &apply, &openRef, &cliRead, &cliRead9600, &cliWrite, &station1, &station4, &perModule,
                               &cycle, &laneWrite, &cycleLarge, &planRead, &storeSmall, &storeLarge,
                               &stationDb, &storeDb};
    out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
               .arg(QStringLiteral("measure"), -32).arg(QStringLiteral("median"), 9).arg(QStringLiteral("min"), 9)
               .arg(QStringLiteral("max"), 9).arg(QStringLiteral("runs"), 5).arg(QStringLiteral("what"));
    QJsonArray json;
    for (const Series *s : all) {
        if (s->values.isEmpty())
            continue;
        const auto [lo, hi] = std::minmax_element(s->values.begin(), s->values.end());
        out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
                   .arg(s->name + QStringLiteral(" (") + s->unit + QLatin1Char(')'), -32)
                   .arg(figure(median(s->values)), 9).arg(figure(*lo), 9).arg(figure(*hi), 9)
                   .arg(s->values.size(), 5).arg(s->note);
        QJsonArray values;
        for (double v : s->values)
            values.append(v);
        json.append(QJsonObject {{"name", s->name}, {"unit", s->unit}, {"what", s->note},
                                 {"median", median(s->values)}, {"min", *lo}, {"max", *hi}, {"values", values}});
    }
    // The answer to a read is 67 bytes; at 9600 baud, 10 bits a byte.
    constexpr double answerBytes = 67;
    const double lineFloorMs = answerBytes * 10 / 9600 * 1000;
    if (!mapped.values.isEmpty() && !bareMapped.values.isEmpty()) {
        out << QStringLiteral("\nstart-up: the window maps in %1 times the time of a bare window (goal: at most 1.5)\n")
                   .arg(median(mapped.values) / median(bareMapped.values), 0, 'f', 2);
        if (!formMapped.values.isEmpty()) {
            out << QStringLiteral("start-up: its form alone, from Qt alone, maps in %1 times the bare window; the tool "
                                  "adds %2 ms to its form\n")
                       .arg(median(formMapped.values) / median(bareMapped.values), 0, 'f', 2)
                       .arg(figure(median(mapped.values) - median(formMapped.values)));
        }
    }
    if (!mapped.values.isEmpty() && !stationMapped.values.isEmpty()) {
        out << QStringLiteral("start-up: the station window maps in %1 times the configuration window's (goal: at most "
                              "1.3)\n").arg(median(stationMapped.values) / median(mapped.values), 0, 'f', 2);
    }
    if (!openRef.values.isEmpty()) {
        const double ref = median(openRef.values);
        out << QStringLiteral("vev-cli read: %1 ms over the open-and-exit reference (goal: at most 30)\n")
                   .arg(figure(median(cliRead.values) - ref));
        out << QStringLiteral("vev-cli read at 9600 baud: %1 ms over the reference, against %2 ms of answer on the line "
                              "(goal: within 10%)\n")
                   .arg(figure(median(cliRead9600.values) - ref), figure(lineFloorMs));
        out << QStringLiteral("vev-cli verified write: %1 ms (goal: at most 800)\n").arg(figure(median(cliWrite.values)));
    }
    if (!station1.values.isEmpty() && !station4.values.isEmpty()) {
        // The floor: the line's taking off and plugging in, and the write.
        const double floor = 200 + median(laneWrite.values);
        out << QStringLiteral("provision: four lanes give %1 times one lane (goal: at least 3.5)\n")
                   .arg(figure(median(station4.values) / median(station1.values)));
        out << QStringLiteral("provision: %1 ms a module on one lane; the floor is %2 ms (the line's 200 ms to swap "
                              "modules and the verified write's %3 ms); goal at most 1.5 times the floor, %4 ms, and "
                              "never above 629 ms\n")
                   .arg(figure(median(cycle.values)), figure(floor), figure(median(laneWrite.values)),
                        figure(1.5 * floor));
    }
    if (!cycleLarge.values.isEmpty() && !storeSmall.values.isEmpty()) {
        out << QStringLiteral("provision: %1 ms a module with a plan of 100,000 rows, %2 ms with 10\n")
                   .arg(figure(median(cycleLarge.values)), figure(median(cycle.values)));
        out << QStringLiteral("plan: 100,000 rows read and checked in %1 ms (goal: under 1000)\n")
                   .arg(figure(median(planRead.values)));
        out << QStringLiteral("store: a claim and its outcome take %1 us with 10 rows, %2 us with 100,000 (goal: within "
                              "20%)\n").arg(figure(median(storeSmall.values)), figure(median(storeLarge.values)));
    }
    if (!stationDb.values.isEmpty() && !station4.values.isEmpty()) {
        out << QStringLiteral("several benches: two stations of two lanes on one database give %1 modules a minute, %2 "
                              "times four lanes on files (goal: at least 0.9)\n")
                   .arg(figure(median(stationDb.values)))
                   .arg(median(stationDb.values) / median(station4.values), 0, 'f', 2);
    }
    if (!storeDb.values.isEmpty() && !storeSmall.values.isEmpty()) {
        out << QStringLiteral("database: a claim and its outcome cost %1 ms a module (files: %2 ms)\n")
                   .arg(figure(median(storeDb.values)), figure(median(storeSmall.values) / 1000));
    }
    out.flush();
    if (parser.isSet(QStringLiteral("json"))) {
        QFile file(parser.value(QStringLiteral("json")));
        if (!file.open(QIODevice::WriteOnly)) {
            err << "vev-bench: cannot write " << file.fileName() << Qt::endl;
            return 1;
        }
        file.write(QJsonDocument(QJsonObject {{"measures", json}}).toJson());
    }
    return 0;
}
