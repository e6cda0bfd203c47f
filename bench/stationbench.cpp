// SPDX-License-Identifier: MIT
#include "stationbench.h"

#include "postgresserver.h"
#include "pseudoterminal.h"
#include "simprocess.h"
#include "store/dbstore.h"
#include "store/filestore.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

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
    int serials = 0; // outcomes that carry a serial
};
// scanner: one lane with --serial optional and a scanner on a serial line,
// each module's serial scanned as the one before has left (its outcome and
// the line's 100 ms to take it off), before it is plugged in.
ProvisionRun provisionRun(int lanes, int modulesPerLine, int planRows, PseudoTerminal *scanner = nullptr)
{
    std::vector<std::unique_ptr<SimProcess>> lines;
    QStringList arguments {"provision"};
    for (int l = 0; l < lanes; ++l) {
        lines.push_back(std::make_unique<SimProcess>(QStringList {
            "--line", QString::number(modulesPerLine), "--off-after", "100", "--plug-gap", "100"}));
        arguments << "--port" << lines.back()->devicePath();
    }
    if (scanner)
        arguments << "--serial" << "optional" << "--scanner" << lines.front()->devicePath() + '=' + scanner->devicePath();
    int scanned = 0;
    qint64 scanAt = 0;
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
    while (!child.waitForFinished(scanner ? 10 : 50)) {
        if (scanner) {
            QFile file(audit);
            const int outcomes = file.open(QIODevice::ReadOnly) ? int(file.readAll().count("\"kind\":\"outcome\"")) : 0;
            if (outcomes == scanned && outcomes < modulesPerLine && scanAt == 0)
                scanAt = monotonicUs() + (outcomes == 0 ? 0 : 130000);
            if (scanAt > 0 && monotonicUs() >= scanAt) {
                scanner->send(QStringLiteral("SN-%1\r\n").arg(++scanned).toLatin1());
                scanAt = 0;
            }
        }
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
            run.serials += outcome->serial.isEmpty() ? 0 : 1;
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

// The store's cost per module: a claim and its end (handed back as nothing
// written, so the same row serves every round: as an outcome, one line and
// one transaction), median over rounds, in microseconds; fsync included, as
// in a run.
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
            store.unclaim(row, [&](const QString &) { done(); });
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

bool measureCommandLine(Figures &figures, int runs, QTextStream &err)
{
    Series &openRef = figures.add("open_and_exit_reference", "ms", "a process that only opens the port and exits");
    Series &cliRead = figures.add("cli_read", "ms", "vev-cli read, module answering at once");
    Series &cliRead9600 = figures.add("cli_read_9600", "ms", "vev-cli read, module paced at 9600 baud");
    Series &cliWrite = figures.add("cli_write_verified", "ms", "vev-cli write of all four settings, read back and compared");
    SimProcess fast;
    SimProcess paced({"--line-rate", "9600"});
    if (!fast.isRunning() || !paced.isRunning()) {
        err << "vev-bench: vev-sim did not start: " << fast.error() << paced.error() << Qt::endl;
        return false;
    }
    // Side by side in each round.
    for (int i = 0; i < runs; ++i) {
        openRef.values << timedRun(QStringLiteral(VEV_OPEN_PROBE_PATH), {fast.devicePath()});
        cliRead.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"--port", fast.devicePath(), "read"});
        cliRead9600.values << timedRun(QStringLiteral(VEV_CLI_PATH), {"--port", paced.devicePath(), "read"});
        cliWrite.values << timedRun(QStringLiteral(VEV_CLI_PATH),
                                    {"--port", fast.devicePath(), "write", "--ip", QStringLiteral("10.0.0.%1").arg(2 + i % 200),
                                     "--gateway", "10.0.0.1", "--tcp-port", "502", "--mac", "02:00:00:00:00:01"});
    }
    return true;
}

void measureStation(Figures &figures, int runs, QTextStream &err)
{
    Series &station1 = figures.add("provision_1_lane", "/min", "modules provisioned per minute, one lane of vev-sim modules");
    Series &station4 = figures.add("provision_4_lanes", "/min", "the same with four lanes at once");
    Series &perModule = figures.add("provision_ms_per_module", "ms", "one lane: wall time per module (the line takes "
                                    "each off 100 ms after its read-back and plugs the next in 100 ms later)");
    Series &cycle = figures.add("provision_cycle_ms", "ms", "one lane: one module's outcome to the next's, from the audit");
    Series &cycleScanned = figures.add("provision_cycle_ms_serial", "ms", "the same with --serial optional, each "
                                       "module's serial scanned from a scanner on a serial line before it comes");
    Series &serialsTaken = figures.add("provision_serials_recorded", "", "of those modules, how many outcomes carry "
                                       "their serial");
    Series &laneWrite = figures.add("provision_lane_write_ms", "ms", "one lane: a module's claim to its outcome (its "
                                    "verified write)");
    Series &cycleLarge = figures.add("provision_cycle_ms_100k_rows", "ms", "the same with a plan of 100,000 rows");
    Series &planRead = figures.add("plan_100k_read_ms", "ms", "vev-cli plan status: 100,000 rows read and checked");
    Series &storeSmall = figures.add("store_claim_record_10_rows_us", "us", "the store: a claim and its outcome, median "
                                     "of 1,000, plan of 10 rows");
    Series &storeLarge = figures.add("store_claim_record_100k_rows_us", "us", "the same with a plan of 100,000 rows");
    Series &stationDb = figures.add("provision_2x2_lanes_db", "/min", "two stations of two lanes each sharing one "
                                    "PostgreSQL database (the server on a Unix socket, syncing as files do)");
    Series &storeDb = figures.add("db_claim_record_ms", "ms", "the database store: a claim and its outcome through its "
                                  "thread, median of 200, plan of 10 rows");

    // Lines of modules played by vev-sim, one lane and four; a plan of
    // 100,000 rows against one of 10; the store on its own.
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
        PseudoTerminal scanner;
        const ProvisionRun scannedRun = provisionRun(1, modulesPerLine, modulesPerLine, &scanner);
        cycleScanned.values << scannedRun.cycleMs;
        serialsTaken.values << scannedRun.serials;
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
        return;
    }
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
