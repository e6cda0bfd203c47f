// SPDX-License-Identifier: MIT
#include "storebench.h"

#include "largerun.h"
#include "postgresserver.h"
#include "store/dbstore.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

extern char **environ;

namespace {

constexpr int auditLines = 1000000;
constexpr int importRows = 1000000;
// A run that takes longer than this is given up (ms): the slowest figure
// measured before the store was made to scale took about 45 s.
constexpr int longRunMs = 180000;

// A database of the bench's server holding writeLargeAudit's audit of
// lines, with a plan of the rows it is about that follows it; its URI, or
// empty with *error.
QString largeAuditDatabase(PostgresServer &server, const QTemporaryDir &dir, const QString &name, int lines,
                           QString *error)
{
    const QString plan = dir.filePath(name + QStringLiteral(".csv"));
    const QString uri = server.createDatabase(name);
    if (uri.isEmpty() || !writeLargePlan(plan, largeAuditRows(lines))
        || timedRun(QStringLiteral(VEV_CLI_PATH), {"plan", "import", "--db", uri, plan}, longRunMs) < 0) {
        *error = QStringLiteral("cannot import the plan: ") + server.error();
        return {};
    }
    QFile::remove(plan);
    *error = loadLargeAudit(server, name, lines, dir.path());
    return error->isEmpty() ? uri : QString();
}

// One run of a program: its wall time in ms (negative when it failed or
// took longer than longRunMs) and its peak resident memory in MiB.
std::pair<double, double> peakRun(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> texts {program.toLocal8Bit()};
    for (const QString &argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const qint64 start = monotonicUs();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {-1, -1};
    int status = 0;
    rusage usage {};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (monotonicUs() - start > qint64(longRunMs) * 1000) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            return {-1, -1};
        }
        ::usleep(2000);
    }
    const double ms = (monotonicUs() - start) / 1000.0;
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {ok ? ms : -1, usage.ru_maxrss / 1024.0};
}

// vev-cli audit export into a reader that takes nothing for pauseS seconds,
// then all of it: whether every line came, and the run's wall time in ms.
double slowReaderExport(const QString &uri, int pauseS, int lines)
{
    QProcess shell;
    const qint64 start = monotonicUs();
    shell.start(QStringLiteral("bash"), {"-c", QStringLiteral("set -o pipefail; '%1' audit export --db '%2' "
                                                             "| { sleep %3; wc -l; }").arg(QStringLiteral(VEV_CLI_PATH), uri)
                                               .arg(pauseS)});
    if (!shell.waitForFinished(longRunMs) || shell.exitCode() != 0)
        return -1;
    const bool whole = shell.readAllStandardOutput().trimmed().toInt() == lines;
    return whole ? (monotonicUs() - start) / 1000.0 : -1;
}

void measureLargeAudit(PostgresServer &server, const QTemporaryDir &dir, Figures &figures, int runs, QTextStream &err)
{
    Series &verify = figures.add("db_audit_verify_1m_lines", "s", "vev-cli audit-verify --db, an audit of 1,000,000 "
                                 "lines and its plan");
    Series &label = figures.add("db_label_row_1m_lines", "s", "vev-cli label --db --row to a PDF, the same audit");
    Series &exported = figures.add("db_audit_export_slow_reader", "s", "vev-cli audit export --db of the same audit "
                                   "into a reader that takes nothing for 30 s, every line through");
    QString error;
    const QString uri = largeAuditDatabase(server, dir, QStringLiteral("large_audit"), auditLines, &error);
    if (uri.isEmpty()) {
        err << "vev-bench: no database with a large audit: " << error << Qt::endl;
        return;
    }
    const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
    for (int i = 0; i < std::min(runs, 3); ++i) {
        verify.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"audit-verify", "--db", uri}, longRunMs) / 1000;
        // A row near the audit's end (its last passed module is near 322,000).
        label.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"label", "--db", uri, "--row", "320001", "--pdf", pdf},
                                 longRunMs) / 1000;
    }
    exported.values << slowReaderExport(uri, 30, auditLines) / 1000;
}

void measurePlanImport(PostgresServer &server, const QTemporaryDir &dir, Figures &figures, int runs, QTextStream &err)
{
    Series &time = figures.add("db_plan_import_1m_rows", "s", "vev-cli plan import --db of a plan of 1,000,000 rows");
    Series &memory = figures.add("db_plan_import_1m_rows_rss", "MiB", "its peak resident memory");
    const QString plan = dir.filePath(QStringLiteral("import.csv"));
    if (!writeLargePlan(plan, importRows)) {
        err << "vev-bench: cannot write " << plan << Qt::endl;
        return;
    }
    for (int i = 0; i < std::min(runs, 3); ++i) {
        const QString uri = server.createDatabase(QStringLiteral("import%1").arg(i));
        const auto [ms, mib] = peakRun(QStringLiteral(VEV_CLI_PATH), {"plan", "import", "--db", uri, plan});
        if (ms < 0)
            continue;
        time.values << ms / 1000;
        memory.values << mib;
    }
    QFile::remove(plan);
}

// Many stations' store calls on one server, as their lanes make them: each
// lane claims a row for a module of its own and records its pass, again
// and again, for a while. Every claim and outcome appends to the one chain.
class StationsRun
{
public:
    // paceMs: each lane starts a module about this often, as an operator
    // swaps modules; 0: the next at once, flat out. Operators at a line do
    // not swap in step: each lane starts at its own moment of the first
    // period and then waits from half to one and a half periods (drawn from
    // a fixed seed, so runs compare), the pace on average.
    StationsRun(const QString &uri, int stations, int lanes, const QString &folder, int paceMs = 0)
        : m_paceMs(paceMs), m_random(20261209)
    {
        QString error;
        const DatabaseUri parsed = *DatabaseUri::parse(uri, &error);
        for (int s = 0; s < stations; ++s) {
            m_stores.push_back(std::make_unique<DbStore>(DbStore::Options {
                parsed, QStringLiteral("%1-%2").arg(paceMs > 0 ? QStringLiteral("paced") : QStringLiteral("bench")).arg(s + 1),
                QStringLiteral("Ana"), folder}));
            for (int l = 0; l < lanes; ++l)
                m_lanes.push_back({m_stores.back().get(), QStringLiteral("/dev/ttyUSB%1").arg(l)});
        }
    }

    // Runs for ms once every store is open; false when a store or a call
    // failed (error says why).
    bool run(int ms)
    {
        QEventLoop loop;
        int opened = 0;
        for (const auto &store : m_stores) {
            store->open([&](const ProvisionStore::Opened &result) {
                if (!result.ok)
                    m_error = result.error;
                if (++opened == int(m_stores.size()))
                    loop.quit();
            });
        }
        loop.exec();
        if (!m_error.isEmpty())
            return false;
        m_clock.start();
        m_until = ms;
        m_running = int(m_lanes.size());
        for (Lane &lane : m_lanes) {
            if (m_paceMs <= 0)
                round(lane, &loop);
            else
                QTimer::singleShot(m_random.bounded(m_paceMs), &loop, [this, &lane, &loop] { round(lane, &loop); });
        }
        QTimer::singleShot(ms + 60000, &loop, &QEventLoop::quit); // a store that stopped answering
        loop.exec();
        m_elapsedMs = double(m_clock.elapsed());
        return m_error.isEmpty() && m_running == 0;
    }

    QList<double> roundsMs() const { return m_roundsMs; }
    double perSecond() const { return m_roundsMs.size() * 1000.0 / m_elapsedMs; }
    QString error() const { return m_error; }

private:
    struct Lane {
        DbStore *store;
        QString port;
    };

    void round(Lane &lane, QEventLoop *loop)
    {
        if (m_clock.elapsed() >= m_until || !m_error.isEmpty()) {
            if (--m_running == 0)
                loop->quit();
            return;
        }
        const int n = m_modules++;
        const SettingValues module {QStringLiteral("192.168.1.20"), QStringLiteral("192.168.1.1"), QStringLiteral("502"),
                                    QStringLiteral("02:56:46:%1:%2:%3").arg(n >> 16 & 255, 2, 16, QLatin1Char('0'))
                                        .arg(n >> 8 & 255, 2, 16, QLatin1Char('0')).arg(n & 255, 2, 16, QLatin1Char('0'))};
        const qint64 start = monotonicUs();
        lane.store->claim(lane.port, module, [this, &lane, loop, module, start](const ProvisionStore::Claim &claim) {
            if (claim.kind != ProvisionStore::Claim::Fresh) {
                m_error = QStringLiteral("a claim came back %1: %2").arg(int(claim.kind)).arg(claim.error);
                return round(lane, loop);
            }
            const QList<Setting> all(allSettings.begin(), allSettings.end());
            const OutcomeRecord outcome {claim.row.row, lane.port, module, claim.row.values, claim.row.values,
                                         Result::Pass, {}, all};
            lane.store->record(outcome, [this, &lane, loop, start](const QString &error) {
                if (!error.isEmpty())
                    m_error = error;
                const double took = (monotonicUs() - start) / 1000.0;
                m_roundsMs << took;
                if (m_paceMs <= 0)
                    return round(lane, loop);
                const int wait = m_paceMs / 2 + int(m_random.bounded(m_paceMs));
                QTimer::singleShot(std::max(0, wait - int(took)), loop, [this, &lane, loop] { round(lane, loop); });
            });
        });
    }

    int m_paceMs = 0;
    QRandomGenerator m_random;
    std::vector<std::unique_ptr<DbStore>> m_stores;
    std::vector<Lane> m_lanes;
    QElapsedTimer m_clock;
    qint64 m_until = 0;
    int m_running = 0;
    int m_modules = 0;
    QList<double> m_roundsMs;
    double m_elapsedMs = 1;
    QString m_error;
};

// The time the machine's cores have spent busy and in all, in ticks.
std::pair<qint64, qint64> coreTicks()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    qint64 all = 0;
    for (int i = 1; i < fields.size(); ++i)
        all += fields.at(i).toLongLong();
    // idle and iowait
    const qint64 idle = fields.value(4).toLongLong() + fields.value(5).toLongLong();
    return {all - idle, all};
}

double percentile(QList<double> values, double part)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(std::min(int(values.size()) - 1, int(part * values.size())));
}

// How long one commit of one row takes on the server (ms): its sync to the
// disk, which every claim and outcome waits for.
double commitMs(PostgresServer &server, const QString &database)
{
    constexpr int commits = 200;
    if (!server.sql(database, QStringLiteral("CREATE TABLE vev_bench_sync (n integer)")).isEmpty())
        return -1;
    const qint64 start = monotonicUs();
    const QString failed = server.sql(database, QStringLiteral(
        "DO $$ BEGIN FOR i IN 1..%1 LOOP INSERT INTO vev_bench_sync VALUES (i); COMMIT; END LOOP; END $$").arg(commits));
    return failed.isEmpty() ? (monotonicUs() - start) / 1000.0 / commits : -1;
}

// The same stations as a line works them: each lane a module a second,
// ten times the pace of a line whose operators swap a module every 10 s.
// Flat out, every lane waits its turn on the one chain, and a claim's time
// is the lanes in flight over the rate; at a line's pace it is the store's.
void measurePaced(const QString &uri, int stations, int lanes, const QTemporaryDir &dir, Figures &figures, QTextStream &err)
{
    constexpr int paceMs = 1000;
    constexpr int runMs = 10000;
    Series &median = figures.add(QStringLiteral("db_stations_%1_paced_median_ms").arg(stations), "ms",
                                 QStringLiteral("%1 station(s) of 4 lanes, each lane a module about a second for 10 s: one "
                                                "claim and its outcome, median").arg(stations));
    Series &p99 = figures.add(QStringLiteral("db_stations_%1_paced_p99_ms").arg(stations), "ms",
                              QStringLiteral("the same: 99th percentile"));
    StationsRun run(uri, stations, lanes, dir.path(), paceMs);
    if (!run.run(runMs)) {
        err << "vev-bench: " << stations << " stations at a line's pace: " << run.error() << Qt::endl;
        return;
    }
    median.values << ::median(run.roundsMs());
    p99.values << percentile(run.roundsMs(), 0.99);
}

void measureStations(PostgresServer &server, const QTemporaryDir &dir, Figures &figures, QTextStream &err)
{
    constexpr int lanes = 4;
    constexpr int runMs = 5000;
    Series &sync = figures.add("db_commit_ms", "ms", "one commit of one row on the bench's server (its sync to the disk)");
    for (const int stations : {1, 4, 16}) {
        Series &rate = figures.add(QStringLiteral("db_stations_%1_per_s").arg(stations), "/s",
                                   QStringLiteral("%1 station(s) of 4 lanes on one server: claims with their outcomes a "
                                                  "second, store calls only, for 5 s").arg(stations));
        Series &median = figures.add(QStringLiteral("db_stations_%1_median_ms").arg(stations), "ms",
                                     QStringLiteral("the same: one claim and its outcome, median"));
        Series &p99 = figures.add(QStringLiteral("db_stations_%1_p99_ms").arg(stations), "ms",
                                  QStringLiteral("the same: one claim and its outcome, 99th percentile"));
        Series &busy = figures.add(QStringLiteral("db_stations_%1_busy").arg(stations), "%",
                                   QStringLiteral("the same: how busy the machine's cores were meanwhile"));
        const QString name = QStringLiteral("stations%1").arg(stations);
        const QString uri = server.createDatabase(name);
        const QString plan = dir.filePath(name + QStringLiteral(".csv"));
        if (uri.isEmpty() || !writeLargePlan(plan, 50000)
            || timedRun(QStringLiteral(VEV_CLI_PATH), {"plan", "import", "--db", uri, plan}, longRunMs) < 0) {
            err << "vev-bench: no database for " << stations << " stations: " << server.error() << Qt::endl;
            continue;
        }
        StationsRun run(uri, stations, lanes, dir.path());
        const auto [busyBefore, allBefore] = coreTicks();
        const bool ran = run.run(runMs);
        const auto [busyAfter, allAfter] = coreTicks();
        if (!ran) {
            err << "vev-bench: " << stations << " stations: " << run.error() << Qt::endl;
            continue;
        }
        rate.values << run.perSecond();
        median.values << ::median(run.roundsMs());
        p99.values << percentile(run.roundsMs(), 0.99);
        busy.values << 100.0 * double(busyAfter - busyBefore) / double(std::max<qint64>(1, allAfter - allBefore));
        if (stations == 1)
            sync.values << commitMs(server, name);
        measurePaced(uri, stations, lanes, dir, figures, err);
    }
}

} // namespace

void measureStore(Figures &figures, int runs, QTextStream &err, bool stationsOnly)
{
    PostgresServer server(true);
    if (!server.isRunning()) {
        err << "vev-bench: no PostgreSQL server for the store figures: " << server.error() << Qt::endl;
        return;
    }
    QTemporaryDir dir;
    measureStations(server, dir, figures, err);
    if (stationsOnly)
        return;
    measureLargeAudit(server, dir, figures, runs, err);
    measurePlanImport(server, dir, figures, runs, err);
}

namespace {

// What holds many stations' figure down. With every lane waiting its turn,
// a claim and its outcome take as long as the lanes in flight over the
// claims made a second; those are bound by the cores when they are all
// busy, else by the one chain: appends go one transaction at a time under
// its lock, each holding it through its commit.
QString stationsBound(const Figures &f)
{
    const double busy = f.median("db_stations_16_busy").value_or(0);
    const QString commit = figure(f.median("db_commit_ms").value_or(-1));
    if (busy >= 90) {
        return QStringLiteral("Bound by the machine's cores, %1% busy meanwhile (the server, 16 stations' threads and "
                              "whatever else runs): the median is the 64 lanes in flight over the claims made a second; "
                              "the chain's lock is held through each commit, whose sync takes %2 ms here")
            .arg(figure(busy), commit);
    }
    return QStringLiteral("Bound by the one chain through every station's lines: appends go one transaction at a time "
                          "under its lock, held through each commit (its sync %1 ms here); the cores were %2% busy")
        .arg(commit, figure(busy));
}

} // namespace

void storeGoals(const Figures &f, QTextStream &out)
{
    const auto one = f.median("db_stations_1_median_ms");
    const auto many = f.median("db_stations_16_median_ms");
    const auto rate = f.median("db_stations_16_per_s");
    if (one && many && rate) {
        out << QStringLiteral("database: 16 stations of 4 lanes on one server make %1 claims with outcomes a second (1 "
                              "station: %2, 4: %3; goal: at least 100); flat out, every lane waiting its turn, one claim "
                              "and its outcome takes %4 ms at the median with 16 stations, %5 times one station's %6 ms "
                              "(the lanes in flight over the rate), 99th percentile %7 ms. %8\n")
                   .arg(figure(*rate), figure(f.median("db_stations_1_per_s").value_or(0)),
                        figure(f.median("db_stations_4_per_s").value_or(0)), figure(*many))
                   .arg(*many / *one, 0, 'f', 2)
                   .arg(figure(*one), figure(f.median("db_stations_16_p99_ms").value_or(0)), stationsBound(f));
    }
    const auto pacedOne = f.median("db_stations_1_paced_median_ms");
    const auto pacedMany = f.median("db_stations_16_paced_median_ms");
    if (pacedOne && pacedMany) {
        out << QStringLiteral("database: at a line's pace (each lane a module about a second, the lanes out of step), "
                              "one claim and its outcome takes "
                              "%1 ms at the median with 16 stations, %2 times one station's %3 ms (goal: at most 2); "
                              "99th percentile %4 ms\n")
                   .arg(figure(*pacedMany)).arg(*pacedMany / *pacedOne, 0, 'f', 2).arg(figure(*pacedOne))
                   .arg(figure(f.median("db_stations_16_paced_p99_ms").value_or(0)));
    }
    if (const auto verify = f.median("db_audit_verify_1m_lines")) {
        out << QStringLiteral("database: audit-verify of 1,000,000 lines in %1 s (goal: at most 6)\n").arg(*verify, 0, 'f', 2);
    }
    if (const auto label = f.median("db_label_row_1m_lines")) {
        out << QStringLiteral("database: a row's label reprinted from an audit of 1,000,000 lines in %1 s (goal: at "
                              "most 1)\n").arg(*label, 0, 'f', 2);
    }
    if (const auto exported = f.median("db_audit_export_slow_reader")) {
        out << QStringLiteral("database: the audit exported whole into a reader stalled 30 s: %1\n")
                   .arg(*exported > 0 ? QStringLiteral("yes, in %1 s").arg(*exported, 0, 'f', 1)
                                      : QStringLiteral("no, the export failed or lost lines"));
    }
    if (const auto import = f.median("db_plan_import_1m_rows")) {
        out << QStringLiteral("database: a plan of 1,000,000 rows imported in %1 s, at most %2 MiB resident (goals: at "
                              "most 15 s and 300 MB)\n")
                   .arg(*import, 0, 'f', 2).arg(figure(f.median("db_plan_import_1m_rows_rss").value_or(0)));
    }
}
