// SPDX-License-Identifier: MIT
// vev-bench: start-up, memory, Connect round trip, idle cost and Apply time,
// the command line and the production line, each over repeated runs,
// printed as a table and written as JSON, with each goal beside the
// reference it is measured against in the same run.
//
//   vev-bench [--runs N] [--json FILE] [--startup-only | --station-only | --large-only | --store-only |
//              --many-stations-only | --report-only]
//
// X measurements use the real vev-config binary on the display in DISPLAY
// (scripts/bench starts an Xvfb). The rest runs the window offscreen in child
// processes of this program, against vev-sim; the database figures use a
// PostgreSQL server of the bench's own, on a Unix socket.

#include "figures.h"
#include "largebench.h"
#include "stationbench.h"
#include "largerun.h"
#include "reportbench.h"
#include "storebench.h"
#include "windowbench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The answer to a read is 67 bytes; at 9600 baud, 10 bits a byte.
constexpr double answerBytes = 67;
constexpr double lineFloorMs = answerBytes * 10 / 9600 * 1000;
// The line's taking a module off and plugging the next in, in ms.
constexpr double lineSwapMs = 200;

void startUpGoals(const Figures &f, QTextStream &out)
{
    const auto mapped = f.median("startup_mapped_x");
    const auto bare = f.median("startup_mapped_x_bare_window");
    if (mapped && bare) {
        out << QStringLiteral("start-up: the window maps in %1 times the time of a bare window (goal: at most 1.5)\n")
                   .arg(*mapped / *bare, 0, 'f', 2);
        if (const auto form = f.median("startup_mapped_x_form_window")) {
            out << QStringLiteral("start-up: its form alone, from Qt alone, maps in %1 times the bare window; the tool "
                                  "adds %2 ms to its form\n").arg(*form / *bare, 0, 'f', 2).arg(figure(*mapped - *form));
        }
    }
    if (const auto station = f.median("startup_mapped_x_station"); station && mapped) {
        out << QStringLiteral("start-up: the station window maps in %1 times the configuration window's (goal: at most "
                              "1.3)\n").arg(*station / *mapped, 0, 'f', 2);
    }
}

void commandLineGoals(const Figures &f, QTextStream &out)
{
    const auto ref = f.median("open_and_exit_reference");
    if (!ref)
        return;
    out << QStringLiteral("vev-cli read: %1 ms over the open-and-exit reference (goal: at most 30)\n")
               .arg(figure(f.median("cli_read").value_or(0) - *ref));
    out << QStringLiteral("vev-cli read at 9600 baud: %1 ms over the reference, against %2 ms of answer on the line "
                          "(goal: within 10%)\n").arg(figure(f.median("cli_read_9600").value_or(0) - *ref), figure(lineFloorMs));
    out << QStringLiteral("vev-cli verified write: %1 ms (goal: at most 800)\n")
               .arg(figure(f.median("cli_write_verified").value_or(0)));
}

void stationGoals(const Figures &f, QTextStream &out)
{
    const auto one = f.median("provision_1_lane");
    const auto four = f.median("provision_4_lanes");
    const auto write = f.median("provision_lane_write_ms");
    const auto cycle = f.median("provision_cycle_ms");
    if (one && four && write && cycle) {
        // The floor: the line's taking off and plugging in, and the write.
        const double floor = lineSwapMs + *write;
        out << QStringLiteral("provision: four lanes give %1 times one lane (goal: at least 3.5)\n").arg(figure(*four / *one));
        out << QStringLiteral("provision: %1 ms a module on one lane; the floor is %2 ms (the line's 200 ms to swap "
                              "modules and the verified write's %3 ms); goal at most 1.5 times the floor, %4 ms, and "
                              "never above 629 ms\n")
                   .arg(figure(*cycle), figure(floor), figure(*write), figure(1.5 * floor));
    }
    if (const auto scanned = f.median("provision_cycle_ms_serial"); scanned && cycle) {
        out << QStringLiteral("provision: %1 ms a module with each module's serial scanned (--serial optional), %2 ms "
                              "without; %3 of 10 outcomes carry their serial\n")
                   .arg(figure(*scanned), figure(*cycle), figure(f.median("provision_serials_recorded").value_or(0)));
    }
    const auto large = f.median("provision_cycle_ms_100k_rows");
    const auto small = f.median("store_claim_record_10_rows_us");
    if (large && small && cycle) {
        out << QStringLiteral("provision: %1 ms a module with a plan of 100,000 rows, %2 ms with 10\n")
                   .arg(figure(*large), figure(*cycle));
        out << QStringLiteral("plan: 100,000 rows read and checked in %1 ms (goal: under 1000)\n")
                   .arg(figure(f.median("plan_100k_read_ms").value_or(0)));
        out << QStringLiteral("store: a claim and its outcome take %1 us with 10 rows, %2 us with 100,000 (goal: within "
                              "20%)\n").arg(figure(*small), figure(f.median("store_claim_record_100k_rows_us").value_or(0)));
    }
    if (const auto db = f.median("provision_2x2_lanes_db"); db && four) {
        out << QStringLiteral("several benches: two stations of two lanes on one database give %1 modules a minute, %2 "
                              "times four lanes on files (goal: at least 0.9)\n")
                   .arg(figure(*db)).arg(*db / *four, 0, 'f', 2);
    }
    if (const auto db = f.median("db_claim_record_ms"); db && small) {
        out << QStringLiteral("database: a claim and its outcome cost %1 ms a module (files: %2 ms)\n")
                   .arg(figure(*db), figure(*small / 1000));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && qstrcmp(argv[1], "--probe-paint") == 0)
        return probePaint(argc, argv);
    // The plan and audit of the large figures, kept, for a look by hand:
    // vev-bench --write-large PLAN.csv AUDIT.jsonl LINES
    if (argc >= 5 && qstrcmp(argv[1], "--write-large") == 0) {
        const int lines = QByteArray(argv[4]).toInt();
        return writeLargePlan(QString::fromLocal8Bit(argv[2]), largeAuditRows(lines))
                       && !writeLargeAudit(QString::fromLocal8Bit(argv[3]), lines).isEmpty() ? 0 : 1;
    }
    if (argc >= 5 && qstrcmp(argv[1], "--probe-station") == 0)
        return probeStation(argc, argv);
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
    parser.addOption({QStringLiteral("large-only"), QStringLiteral("Measure audit-verify and the start at scale only.")});
    parser.addOption({QStringLiteral("store-only"), QStringLiteral("Measure the database store at scale only.")});
    parser.addOption({QStringLiteral("many-stations-only"),
                      QStringLiteral("Measure many stations' claims on one database server only.")});
    parser.addOption({QStringLiteral("report-only"),
                      QStringLiteral("Measure the line report at scale, from files and a database, only.")});
    parser.process(app);
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const bool startupOnly = parser.isSet(QStringLiteral("startup-only"));
    const bool stationOnly = parser.isSet(QStringLiteral("station-only"));
    const bool largeOnly = parser.isSet(QStringLiteral("large-only"));
    const bool manyStationsOnly = parser.isSet(QStringLiteral("many-stations-only"));
    const bool storeOnly = parser.isSet(QStringLiteral("store-only")) || manyStationsOnly;
    const bool reportOnly = parser.isSet(QStringLiteral("report-only"));

    Figures figures;
    const bool all = !startupOnly && !stationOnly && !largeOnly && !storeOnly && !reportOnly;
    if (all || startupOnly)
        measureStartUp(figures, runs, err);
    if (all && (!measureWindow(figures, runs, err) || !measureCommandLine(figures, runs, err)))
        return 1;
    if (all || stationOnly)
        measureStation(figures, runs, err);
    if (all || largeOnly)
        measureLarge(figures, runs, err);
    if (all || storeOnly)
        measureStore(figures, runs, err, manyStationsOnly);
    if (all || reportOnly)
        measureReport(figures, runs, err);

    figures.print(out);
    out << '\n';
    startUpGoals(figures, out);
    commandLineGoals(figures, out);
    stationGoals(figures, out);
    largeGoals(figures, out);
    storeGoals(figures, out);
    reportGoals(figures, out);
    out.flush();
    if (parser.isSet(QStringLiteral("json"))) {
        QFile file(parser.value(QStringLiteral("json")));
        if (!file.open(QIODevice::WriteOnly)) {
            err << "vev-bench: cannot write " << file.fileName() << Qt::endl;
            return 1;
        }
        file.write(QJsonDocument(QJsonObject {{"measures", figures.json()}}).toJson());
    }
    return 0;
}
