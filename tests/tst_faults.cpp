// SPDX-License-Identifier: MIT
// The production line under random fault schedules. From a seed the test
// builds a schedule over several lanes: modules put on and taken off at
// random moments (between the writes of a row too), swapped mid-write,
// sharing one factory MAC, coming with an IP address of the plan's, going
// back to their factory settings a moment after a verified write, one
// module wired to two lanes (a Y cable, its output reaching the second
// late); a second run on links to the plan and the audit, or on the same
// paths once their lock files are deleted; the audit renamed over or cut
// short during a run; SIGINT, SIGTERM, SIGHUP and SIGKILL, each followed by
// a restart. Real vev-cli provision runs work through it while the test
// plays every module itself, so that it knows each module's settings and
// lanes at every moment; then the line's invariants (invariants/invariants.h)
// are checked over what was left behind.
//
//   tst_faults                          the CI seeds (ciSeeds below), a test row each
//   tst_faults --seed N [--runs M]      plays seeds N to N+M-1 (M: 1) and says what each broke
//                                       (--trace: what happened, even when nothing broke)
//   tst_faults --seed N --schedule      prints seed N's schedule without playing it
//   tst_faults --kinds N [--runs M]     the fault kinds each seed's schedule holds
//   ... --database                      the same line on a database, with the database's faults
//                                       (its server restarted, sessions stopped, the plan locked,
//                                       connections reset or silent, releases, imports)
//
// A seed that breaks an invariant prints the seed, its whole schedule and
// what happened, so `tst_faults --seed N` plays it again: the schedule is
// the same each time; how the processes interleave with it is the
// machine's.

#include "invariants/invariants.h"
#include "plan/plan.h"
#include "postgresserver.h"
#include "protocol/values.h"
#include "socketproxy.h"
#include "sim/modulesimulator.h"
#include "sim/simline.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using invariants::Ms;

namespace {

// --- Fault kinds ------------------------------------------------------------

enum class Fault {
    LeaveAtRandom, // a module taken off at a random moment
    LeaveMidWrite, // taken off between the writes of its row
    Swap,          // swapped for the next module between the writes of its row
    SharedMac,     // every module comes with one factory MAC
    FactoryIp,     // every module comes with an IP address the plan gives out
    Revert,        // a module goes back to its factory settings a moment after a verified write
    YCable,        // one module heard on two lanes, its output reaching the second late
    SymlinkRun,    // a second run on symbolic links to the plan and the audit
    HardLinkRun,   // a second run on hard links to them
    LocksDeleted,  // the lock files deleted, then a second run on the same paths
    AuditRenamed,  // a copy of the audit renamed over it during a run
    AuditCut,      // the audit cut short during a run
    Sigint,
    Sigterm,
    Sighup,
    Sigkill,
    // The plan and audit in a database, through a go-between on its socket:
    SecondStation,  // a second station, on a lane of its own
    ServerRestart,  // the server stopped at once, and started again
    SessionStopped, // a station's server session stopped (SIGSTOP), then let go on
    ForeignLock,    // someone's session locks the plan
    ResetClient,    // the station's side of its connection reset, the server's kept a while
    ResetServer,    // the server's side reset, the station's left hanging
    ResetBoth,      // both sides reset
    Silent,         // nothing passes for a while, then both sides go
    Release,        // an operator releases a row no module carries
    Import,         // kept records imported while the line runs
};
constexpr int faultKinds = int(Fault::Import) + 1;

auto qHash(Fault fault, decltype(::qHash(0)) seed = 0)
{
    return ::qHash(int(fault), seed);
}

const char *faultName(Fault fault)
{
    static const char *const names[faultKinds] = {"random-leave", "mid-write-leave", "swap", "shared-mac",
                                                  "factory-ip", "revert", "y-cable", "symlink-run", "hardlink-run",
                                                  "locks-deleted", "audit-renamed", "audit-cut", "sigint", "sigterm",
                                                  "sighup", "sigkill", "second-station", "server-restart",
                                                  "session-stopped", "foreign-lock", "reset-client", "reset-server",
                                                  "reset-both", "silent", "release", "import"};
    return names[int(fault)];
}

QString faultList(const QSet<Fault> &faults)
{
    QStringList names;
    for (int kind = 0; kind < faultKinds; ++kind) {
        if (faults.contains(Fault(kind)))
            names << QLatin1String(faultName(Fault(kind)));
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(' '));
}

// The seeds CI plays, and the fault kinds each is here for (its schedule
// may hold more). The one list: extend it here; ciSeedsCoverEveryFault
// checks that each seed's schedule holds what it is listed for and that
// the list covers every kind.
struct CiSeed {
    quint32 seed;
    QList<Fault> covers;
    bool database = false; // the plan and audit in a database, the schedule of its faults
};
const QList<CiSeed> &ciSeedList()
{
    static const QList<CiSeed> list = {
        {28, {Fault::SharedMac, Fault::YCable, Fault::SymlinkRun, Fault::AuditCut, Fault::Sigkill}},
        {6, {Fault::FactoryIp, Fault::Swap, Fault::Revert}},
        {20, {Fault::LeaveMidWrite, Fault::LeaveAtRandom, Fault::Sighup}},
        {4, {Fault::LocksDeleted, Fault::Swap, Fault::Revert, Fault::Sigint}},
        {16, {Fault::SharedMac, Fault::Revert, Fault::AuditRenamed, Fault::LeaveMidWrite}},
        {3, {Fault::HardLinkRun, Fault::Sigterm}},
        {23, {Fault::FactoryIp, Fault::SymlinkRun, Fault::Sigkill}},
        {9, {Fault::Revert, Fault::Swap, Fault::Sigkill}},
        {10, {Fault::YCable, Fault::SharedMac, Fault::AuditCut, Fault::LeaveAtRandom}},
        {132, {Fault::Swap, Fault::LeaveMidWrite, Fault::LocksDeleted, Fault::Sigterm}},
        {138, {Fault::Swap, Fault::Revert, Fault::LeaveMidWrite, Fault::HardLinkRun}},
        {149, {Fault::SharedMac, Fault::YCable, Fault::LeaveMidWrite}},
        {9, {Fault::ServerRestart, Fault::SessionStopped, Fault::Sigkill}, true},
        {4, {Fault::SecondStation, Fault::ServerRestart, Fault::ResetClient, Fault::Sigint}, true},
        {8, {Fault::ForeignLock, Fault::ResetServer, Fault::ResetBoth, Fault::YCable}, true},
        {13, {Fault::ForeignLock, Fault::ResetClient, Fault::ResetBoth, Fault::Release, Fault::Swap}, true},
        {23, {Fault::Silent, Fault::Import, Fault::SecondStation, Fault::Sigkill}, true},
    };
    return list;
}

// --- Schedules ----------------------------------------------------------------

// The same numbers from a seed on every machine: no distribution whose
// algorithm the library may choose.
class Dice
{
public:
    explicit Dice(quint32 seed)
        : m_engine(seed)
    {
    }
    int between(int low, int high) { return low + int(m_engine() % quint32(high - low + 1)); }
    bool chance(int percent) { return between(1, 100) <= percent; }

private:
    std::mt19937 m_engine;
};

struct ModuleTraits {
    SettingValues factory;
    int delayMs = 0;        // before each answer
    int revertAfterMs = -1; // back to factory settings this long after a verified write; -1 never
};

struct Placement {
    enum Leave { AfterVerdict, AtRandom, MidWrite, Swap };
    int module = 0;
    int lane = 0;
    int legLane = -1;      // a Y cable: heard on this lane too, legDelayMs late
    int legDelayMs = 0;
    int arriveMs = 0;      // from the start; later when its lanes or its module are still taken
    Leave leave = AfterVerdict;
    int holdMs = 0;        // AfterVerdict: after a lane of it says to take it off
    int stayMs = 0;        // AtRandom: after it was put on
    int write = 0;         // MidWrite, Swap: at its n-th write
    bool beforeAnswer = false; // MidWrite, Swap: before its answer to that write goes out
};

struct StopSignal {
    int atMs = 0;
    int number = 0;
    int restartMs = 0; // after the run ended
};

// What happens to a database, its server or the network to it.
struct DbEvent {
    Fault kind = Fault::ServerRestart;
    int atMs = 0;
    int forMs = 0; // how long it lasts
    int row = 0;   // Release
};

struct Schedule {
    quint32 seed = 0;
    int lanes = 2; // the main run's; a second run has a lane of its own after them
    int timeoutMs = 600;
    bool sharedMac = false; // every module comes with one MAC address
    int factoryIpRow = 0;   // every module comes with this row's IP address; 0: none
    QByteArray plan;
    QList<ModuleTraits> modules;
    QList<Placement> placements; // in the order they arrive
    QList<StopSignal> stops;
    enum class Second { None, Symlinks, HardLinks, LocksDeleted, Station } second = Second::None;
    int secondAtMs = 0;
    enum class Tamper { None, RenameOver, Cut } tamper = Tamper::None;
    int tamperAtMs = 0;
    bool cutMidLine = false;
    bool database = false;
    QList<DbEvent> dbEvents;
};

constexpr int planRows = 10;
// However a placement was to end, the operator takes the module off by then.
constexpr int longestStayMs = 2600;
// A schedule that has not ended by then is stopped where it stands.
constexpr int longestScheduleMs = 15000;
// How long the test waits for a signalled run before killing it: more than
// the bound the invariant sets, so that a late end is measured, not cut.
constexpr int stopWaitMs = int(invariants::stopBoundMs) + 2000;

void addDatabaseFaults(Schedule &schedule, Dice &dice);

Schedule makeSchedule(quint32 seed, bool database = false)
{
    Dice dice(seed);
    Schedule schedule;
    schedule.seed = seed;
    schedule.lanes = dice.between(2, 3);
    schedule.plan = "ip,gateway,tcp_port,mac\n";
    for (int row = 1; row <= planRows; ++row)
        schedule.plan += QStringLiteral("10.0.5.%1,10.0.5.1,502,02:00:00:00:10:%2\n")
                             .arg(20 + row).arg(row, 2, 10, QLatin1Char('0')).toLatin1();

    schedule.sharedMac = dice.chance(20);
    schedule.factoryIpRow = dice.chance(20) ? dice.between(1, 4) : 0;
    const int mainModules = dice.between(4, 6);
    const auto addModule = [&](int index) {
        ModuleTraits module;
        module.factory = ModuleSimulator::lineModuleSettings(index);
        if (schedule.sharedMac)
            valueOf(module.factory, Setting::MacAddress) = QStringLiteral("02:56:45:00:AA:01");
        if (schedule.factoryIpRow > 0)
            valueOf(module.factory, Setting::IpAddress) = QStringLiteral("10.0.5.%1").arg(20 + schedule.factoryIpRow);
        module.delayMs = dice.between(0, 30);
        if (dice.chance(15))
            module.revertAfterMs = dice.between(0, 400);
        schedule.modules << module;
    };
    for (int i = 0; i < mainModules; ++i)
        addModule(i);

    // Arrivals lane by lane, then in time order; each takes a module not
    // yet on the line, or now and then one that was (it comes back).
    QList<int> clocks;
    for (int lane = 0; lane < schedule.lanes; ++lane)
        clocks << dice.between(200, 600);
    const int count = dice.between(mainModules, mainModules + 2);
    for (int i = 0; i < count; ++i) {
        Placement placement;
        placement.lane = dice.between(0, schedule.lanes - 1);
        placement.arriveMs = clocks[placement.lane];
        clocks[placement.lane] += dice.between(250, 1200);
        const int how = dice.between(1, 100);
        placement.leave = how <= 55 ? Placement::AfterVerdict
                          : how <= 70 ? Placement::AtRandom
                          : how <= 85 ? Placement::MidWrite
                                      : Placement::Swap;
        // Now and then a slow operator.
        placement.holdMs = dice.chance(25) ? dice.between(1500, 2200) : dice.between(50, 900);
        placement.stayMs = dice.between(100, 2000);
        placement.write = dice.between(1, 4);
        placement.beforeAnswer = dice.chance(50);
        schedule.placements << placement;
    }
    std::stable_sort(schedule.placements.begin(), schedule.placements.end(),
                     [](const Placement &a, const Placement &b) { return a.arriveMs < b.arriveMs; });
    int fresh = 0;
    for (Placement &placement : schedule.placements)
        placement.module = fresh < mainModules && (fresh == 0 || dice.chance(70)) ? fresh++ : dice.between(0, fresh - 1);
    if (dice.chance(25)) {
        Placement &wired = schedule.placements[dice.between(0, int(schedule.placements.size()) - 1)];
        wired.legLane = (wired.lane + 1) % schedule.lanes;
        wired.legDelayMs = dice.between(20, 200);
    }

    if (dice.chance(55)) {
        const int stops = dice.chance(35) ? 2 : 1;
        int at = dice.between(1200, 3500);
        for (int i = 0; i < stops; ++i) {
            static const int numbers[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
            schedule.stops << StopSignal {at, numbers[dice.between(0, 3)], dice.between(100, 600)};
            at += dice.between(1500, 2500);
        }
    }
    if (dice.chance(30)) {
        schedule.second = Schedule::Second(dice.between(1, 3));
        schedule.secondAtMs = dice.between(800, 3000);
        // The second run's lane and modules are its own.
        int at = schedule.secondAtMs + dice.between(100, 400);
        for (int i = 0, n = dice.between(1, 2); i < n; ++i) {
            addModule(int(schedule.modules.size()));
            Placement placement;
            placement.module = int(schedule.modules.size()) - 1;
            placement.lane = schedule.lanes;
            placement.arriveMs = at;
            placement.holdMs = dice.between(50, 600);
            schedule.placements << placement;
            at += dice.between(800, 1500);
        }
        std::stable_sort(schedule.placements.begin(), schedule.placements.end(),
                         [](const Placement &a, const Placement &b) { return a.arriveMs < b.arriveMs; });
    }
    if (dice.chance(25)) {
        schedule.tamper = Schedule::Tamper(dice.between(1, 2));
        schedule.tamperAtMs = dice.between(1500, 4500);
        schedule.cutMidLine = dice.chance(50);
    }
    if (database)
        addDatabaseFaults(schedule, dice);
    return schedule;
}

// A line on a database: a second run is a second station, the files'
// own faults have no place, and the database's come instead.
void addDatabaseFaults(Schedule &schedule, Dice &dice)
{
    schedule.database = true;
    if (schedule.second != Schedule::Second::None)
        schedule.second = Schedule::Second::Station;
    schedule.tamper = Schedule::Tamper::None;
    static const Fault kinds[] = {Fault::ServerRestart, Fault::SessionStopped, Fault::ForeignLock, Fault::ResetClient,
                                  Fault::ResetServer,   Fault::ResetBoth,      Fault::Silent,      Fault::Release,
                                  Fault::Import};
    int at = dice.between(600, 2500);
    for (int i = 0, n = dice.between(2, 4); i < n; ++i) {
        DbEvent event;
        event.kind = kinds[dice.between(0, int(std::size(kinds)) - 1)];
        event.atMs = at;
        event.forMs = dice.between(300, 3000);
        event.row = dice.between(1, planRows);
        schedule.dbEvents << event;
        at += dice.between(700, 2500);
    }
}

QSet<Fault> faultsOf(const Schedule &schedule)
{
    QSet<Fault> faults;
    for (const Placement &placement : schedule.placements) {
        if (placement.leave == Placement::AtRandom)
            faults << Fault::LeaveAtRandom;
        if (placement.leave == Placement::MidWrite)
            faults << Fault::LeaveMidWrite;
        if (placement.leave == Placement::Swap)
            faults << Fault::Swap;
        if (placement.legLane >= 0)
            faults << Fault::YCable;
    }
    for (const ModuleTraits &module : schedule.modules) {
        if (module.revertAfterMs >= 0)
            faults << Fault::Revert;
    }
    if (schedule.sharedMac)
        faults << Fault::SharedMac;
    if (schedule.factoryIpRow > 0)
        faults << Fault::FactoryIp;
    switch (schedule.second) {
    case Schedule::Second::None: break;
    case Schedule::Second::Symlinks: faults << Fault::SymlinkRun; break;
    case Schedule::Second::HardLinks: faults << Fault::HardLinkRun; break;
    case Schedule::Second::LocksDeleted: faults << Fault::LocksDeleted; break;
    case Schedule::Second::Station: faults << Fault::SecondStation; break;
    }
    for (const DbEvent &event : schedule.dbEvents)
        faults << event.kind;
    if (schedule.tamper == Schedule::Tamper::RenameOver)
        faults << Fault::AuditRenamed;
    if (schedule.tamper == Schedule::Tamper::Cut)
        faults << Fault::AuditCut;
    for (const StopSignal &stop : schedule.stops) {
        faults << (stop.number == SIGINT    ? Fault::Sigint
                   : stop.number == SIGTERM ? Fault::Sigterm
                   : stop.number == SIGHUP  ? Fault::Sighup
                                            : Fault::Sigkill);
    }
    return faults;
}

QString signalName(int number)
{
    switch (number) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGHUP: return QStringLiteral("SIGHUP");
    case SIGKILL: return QStringLiteral("SIGKILL");
    }
    return QString::number(number);
}

QString settingsText(const SettingValues &values)
{
    QStringList texts;
    for (Setting setting : allSettings)
        texts << valueOf(values, setting).value_or(QStringLiteral("-"));
    return texts.join(QLatin1Char(' '));
}

QString describe(const Schedule &schedule)
{
    QStringList lines;
    lines << QStringLiteral("seed %1: %2 lanes, --timeout %3, %4 plan rows (10.0.5.21… 02:00:00:00:10:01…); faults: %5")
                 .arg(schedule.seed).arg(schedule.lanes).arg(schedule.timeoutMs).arg(planRows)
                 .arg(faultList(faultsOf(schedule)));
    for (int i = 0; i < schedule.modules.size(); ++i) {
        const ModuleTraits &module = schedule.modules.at(i);
        lines << QStringLiteral("  m%1: factory %2, answers after %3 ms%4").arg(i + 1)
                     .arg(settingsText(module.factory)).arg(module.delayMs)
                     .arg(module.revertAfterMs < 0 ? QString()
                                                   : QStringLiteral(", back to factory settings %1 ms after a verified write")
                                                         .arg(module.revertAfterMs));
    }
    for (int i = 0; i < schedule.placements.size(); ++i) {
        const Placement &p = schedule.placements.at(i);
        QString leave;
        switch (p.leave) {
        case Placement::AfterVerdict: leave = QStringLiteral("off %1 ms after its lane says so").arg(p.holdMs); break;
        case Placement::AtRandom: leave = QStringLiteral("off after %1 ms").arg(p.stayMs); break;
        case Placement::MidWrite:
        case Placement::Swap:
            leave = QStringLiteral("%1 at its write %2, %3 its answer")
                        .arg(p.leave == Placement::Swap ? QStringLiteral("swapped for the next") : QStringLiteral("off"))
                        .arg(p.write).arg(p.beforeAnswer ? QStringLiteral("before") : QStringLiteral("after"));
            break;
        }
        lines << QStringLiteral("  p%1 at %2 ms: m%3 on lane %4%5, %6").arg(i + 1).arg(p.arriveMs).arg(p.module + 1)
                     .arg(p.lane + 1)
                     .arg(p.legLane < 0 ? QString() : QStringLiteral(" and lane %1 (%2 ms late)").arg(p.legLane + 1).arg(p.legDelayMs),
                          leave);
    }
    for (const StopSignal &stop : schedule.stops)
        lines << QStringLiteral("  at %1 ms: %2 to the run, restarted %3 ms after it ended").arg(stop.atMs)
                     .arg(signalName(stop.number)).arg(stop.restartMs);
    static const char *const seconds[] = {"", "through symbolic links", "through hard links",
                                          "on the same paths, their lock files deleted first", "of a second station"};
    if (schedule.second != Schedule::Second::None)
        lines << QStringLiteral("  at %1 ms: a second run on lane %2 %3").arg(schedule.secondAtMs).arg(schedule.lanes + 1)
                     .arg(QLatin1String(seconds[int(schedule.second)]));
    if (schedule.tamper == Schedule::Tamper::RenameOver)
        lines << QStringLiteral("  at %1 ms: a copy of the audit renamed over it").arg(schedule.tamperAtMs);
    if (schedule.tamper == Schedule::Tamper::Cut)
        lines << QStringLiteral("  at %1 ms: the audit cut short, %2").arg(schedule.tamperAtMs)
                     .arg(schedule.cutMidLine ? QStringLiteral("mid-line") : QStringLiteral("at a line end"));
    for (const DbEvent &event : schedule.dbEvents) {
        lines << QStringLiteral("  at %1 ms: %2 for %3 ms%4").arg(event.atMs).arg(QLatin1String(faultName(event.kind)))
                     .arg(event.forMs)
                     .arg(event.kind == Fault::Release ? QStringLiteral(", row %1 (if no module took any of it)").arg(event.row)
                                                       : QString());
    }
    return lines.join(QLatin1Char('\n'));
}

// --- The bench ----------------------------------------------------------------

Ms now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

invariants::FileId fileId(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {quint64(info.st_dev), quint64(info.st_ino)};
}

// Plays a schedule: the lanes' pseudo-terminals, every module on them, the
// runs of vev-cli and what is done to their files, and keeps the evidence.
class Bench : public QObject
{
public:
    Bench(const Schedule &schedule, const QString &folder);
    ~Bench() override;

    // Plays the schedule to its end; false, with *error, if the bench
    // could not be set up.
    bool play(QString *error);
    const invariants::Evidence &evidence() const { return m_evidence; }
    QString trace() const { return m_trace.join(QLatin1Char('\n')); }
    // The fault kinds that took effect.
    const QSet<Fault> &happened() const { return m_happened; }

private:
    struct Lane {
        std::unique_ptr<SimLine> line;
        QSocketNotifier *reader = nullptr;
        QByteArray input;
        int placement = -1; // on it now
    };
    struct Module {
        SettingValues settings;
        QList<int> legs;     // lanes it is heard on: the first at once, the second late
        int placement = -1;
        int writes = 0;      // in this placement
        QSet<int> readBack;  // settings read since its last write
        bool reverted = false;
    };
    struct Run {
        QProcess *process = nullptr;
        int evidence = 0;    // index in m_evidence.runs
        bool main = true;
        int restartMs = -1;  // after a stop signal: start again this long after it ended
        QByteArray out;
        QByteArray err;
    };
    enum class State { Waiting, On, Done };

    void note(const QString &what);
    Ms at(int fromStartMs) const { return m_start + fromStartMs; }
    QString lanePath(int lane) const { return m_lanes.at(lane).line->devicePath(); }

    // Runs
    void startMain();
    void startRun(const QString &plan, const QString &audit, const QList<int> &lanes, const QString &station, bool main);
    void took(Run *run, bool err);
    void line(Run *run, const QString &text);
    void ended(Run *run, int code, QProcess::ExitStatus status);
    void sendStop(const StopSignal &stop);
    void signal(Run *run, int number);
    Run *liveMain();
    void startSecond();
    void tamper();
    void finish();

    // The database
    bool setUpDatabase(QString *error);
    void databaseEvent(const DbEvent &event);
    void stopSessions(int forMs);
    void letGoOn(const QList<pid_t> &sessions);
    void release(int row);
    // Adds the records stopped runs kept in files; wait: until it is done.
    void importKept(bool wait);
    void keepDatabaseAudit();
    std::unique_ptr<QProcess> command(const QStringList &arguments);

    // Modules
    void readLane(int lane);
    void command(int lane, const QByteArray &bytes);
    void reply(int module, int placement, int asking, const QByteArray &bytes, const std::optional<invariants::Exchange> &read);
    void verified(int module);
    void tryPlacing();
    bool canPlace(int index) const;
    void putOn(int index);
    void takeOff(int index, const QString &why);
    void operatorSees(int lane);
    void remember(int module);
    void checkDone();

    Schedule m_schedule;
    QString m_folder;
    QString m_plan;
    QString m_audit;
    std::vector<Lane> m_lanes;
    std::vector<Module> m_modules;
    QList<State> m_states;
    QSet<int> m_atOnce;      // placements that come at once, a swap's next
    QSet<int> m_leaving;     // placements the operator is about to take off
    std::vector<std::unique_ptr<Run>> m_runs;
    struct KeptAudit {
        QString name;
        std::unique_ptr<QFile> file; // open on the file itself, whatever its path now leads to
        bool tampered = false;
    };
    std::vector<KeptAudit> m_kept;
    invariants::Evidence m_evidence;
    QSet<Fault> m_happened;
    QStringList m_trace;
    Ms m_start = 0;
    int m_lastEventMs = 0;
    bool m_stopping = false;
    QEventLoop m_loop;
    // A line on a database: its name, its URIs straight to the server and
    // through the go-between, and what runs beside the line.
    QString m_database;
    QString m_serverUri;
    QString m_lineUri;
    std::unique_ptr<SocketProxy> m_proxy;
    std::vector<std::unique_ptr<QProcess>> m_beside;
    QList<pid_t> m_stoppedSessions; // let go on at the latest when the bench ends: the server outlives it
};

// The server of every database schedule, started the first time one plays.
PostgresServer *lineServer(QString *error)
{
    static std::unique_ptr<PostgresServer> server;
    if (!server)
        server = std::make_unique<PostgresServer>();
    if (!server->isRunning()) {
        *error = server->error();
        return nullptr;
    }
    return server.get();
}

Bench::Bench(const Schedule &schedule, const QString &folder)
    : m_schedule(schedule)
    , m_folder(folder)
    , m_plan(QDir(folder).filePath(QStringLiteral("plan.csv")))
    , m_audit(QDir(folder).filePath(QStringLiteral("audit.jsonl")))
{
}

Bench::~Bench()
{
    letGoOn(QList<pid_t>(m_stoppedSessions));
    for (const auto &process : m_beside) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    for (const auto &run : m_runs) {
        if (run->process->state() != QProcess::NotRunning) {
            run->process->kill();
            run->process->waitForFinished(5000);
        }
    }
}

void Bench::note(const QString &what)
{
    m_trace << QDateTime::fromMSecsSinceEpoch(now(), Qt::UTC).toString(QStringLiteral("HH:mm:ss.zzz ")) + what;
}

bool Bench::play(QString *error)
{
    QFile plan(m_plan);
    QFile audit(m_audit);
    if (!plan.open(QIODevice::WriteOnly) || plan.write(m_schedule.plan) != m_schedule.plan.size()
        || !audit.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write the plan or the audit in %1").arg(m_folder);
        return false;
    }
    plan.close();
    audit.close();
    const auto rows = parsePlan(m_schedule.plan, error);
    if (!rows)
        return false;
    m_evidence.plan = *rows;
    m_evidence.timeout = m_schedule.timeoutMs;
    if (m_schedule.database) {
        if (!setUpDatabase(error))
            return false;
    } else {
        m_kept.push_back({QStringLiteral("the audit"), std::make_unique<QFile>(m_audit), false});
        m_kept.back().file->open(QIODevice::ReadOnly);
    }

    const int lanes = m_schedule.lanes + (m_schedule.second == Schedule::Second::None ? 0 : 1);
    m_lanes.resize(std::size_t(lanes));
    for (int i = 0; i < lanes; ++i) {
        Lane &lane = m_lanes[std::size_t(i)];
        lane.line = std::make_unique<SimLine>();
        if (!lane.line->openPseudoTerminal(error))
            return false;
        lane.reader = new QSocketNotifier(lane.line->fd(), QSocketNotifier::Read, this);
        connect(lane.reader, &QSocketNotifier::activated, this, [this, i] { readLane(i); });
        note(QStringLiteral("lane %1 is %2").arg(i + 1).arg(lanePath(i)));
    }

    m_start = now();
    m_modules.resize(std::size_t(m_schedule.modules.size()));
    for (int i = 0; i < m_schedule.modules.size(); ++i) {
        m_modules[std::size_t(i)].settings = m_schedule.modules.at(i).factory;
        invariants::ModuleHistory history;
        history.name = QStringLiteral("m%1").arg(i + 1);
        history.factory = m_schedule.modules.at(i).factory;
        m_evidence.modules << history;
        remember(i);
    }
    for (int i = 0; i < m_schedule.placements.size(); ++i) {
        m_states << State::Waiting;
        QTimer::singleShot(m_schedule.placements.at(i).arriveMs, this, [this] { tryPlacing(); });
    }
    for (const StopSignal &stop : std::as_const(m_schedule.stops)) {
        QTimer::singleShot(stop.atMs, this, [this, stop] { sendStop(stop); });
        m_lastEventMs = std::max(m_lastEventMs, stop.atMs);
    }
    if (m_schedule.second != Schedule::Second::None) {
        QTimer::singleShot(m_schedule.secondAtMs, this, [this] { startSecond(); });
        m_lastEventMs = std::max(m_lastEventMs, m_schedule.secondAtMs);
    }
    if (m_schedule.tamper != Schedule::Tamper::None) {
        QTimer::singleShot(m_schedule.tamperAtMs, this, [this] { tamper(); });
        m_lastEventMs = std::max(m_lastEventMs, m_schedule.tamperAtMs);
    }
    for (const DbEvent &event : std::as_const(m_schedule.dbEvents)) {
        QTimer::singleShot(event.atMs, this, [this, event] { databaseEvent(event); });
        m_lastEventMs = std::max(m_lastEventMs, event.atMs + event.forMs);
    }
    // Whatever came last has time to show its effect before the end.
    QTimer::singleShot(m_lastEventMs + 1000, this, [this] { checkDone(); });
    QTimer::singleShot(longestScheduleMs, this, [this] {
        if (!m_stopping)
            note(QStringLiteral("the schedule ran out of time; stopping where it stands"));
        finish();
    });
    startMain();
    m_loop.exec();

    for (KeptAudit &kept : m_kept) {
        kept.file->seek(0);
        m_evidence.audits << invariants::AuditCopy {kept.name, kept.file->readAll(), kept.tampered};
    }
    if (m_schedule.database)
        keepDatabaseAudit();
    return true;
}

// --- Runs ---------------------------------------------------------------------

void Bench::startMain()
{
    QList<int> lanes;
    for (int i = 0; i < m_schedule.lanes; ++i)
        lanes << i;
    startRun(m_plan, m_audit, lanes, QStringLiteral("bench-1"), true);
}

void Bench::startRun(const QString &plan, const QString &audit, const QList<int> &lanes, const QString &station, bool main)
{
    auto run = std::make_unique<Run>();
    Run *self = run.get();
    run->main = main;
    run->evidence = int(m_evidence.runs.size());
    invariants::RunEvidence evidence;
    evidence.id = run->evidence + 1;
    // Runs on a database share it by design: what they hold is the
    // database's to keep apart, not a file's.
    QStringList arguments {"provision", "--db", m_lineUri};
    if (!m_schedule.database) {
        evidence.files = {fileId(plan), fileId(audit)};
        arguments = QStringList {"provision", "--plan", plan, "--audit", audit};
    }
    arguments << "--station" << station << "--operator" << "faults" << "--timeout" << QString::number(m_schedule.timeoutMs);
    for (int lane : lanes) {
        evidence.lanes << lanePath(lane);
        arguments << "--port" << lanePath(lane);
    }
    run->process = new QProcess(this);
    run->process->setWorkingDirectory(m_folder); // where a run on a database keeps what it could not store
    connect(run->process, &QProcess::readyReadStandardOutput, this, [this, self] { took(self, false); });
    connect(run->process, &QProcess::readyReadStandardError, this, [this, self] { took(self, true); });
    connect(run->process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, self](int code, QProcess::ExitStatus status) { ended(self, code, status); });
    evidence.started = now();
    m_evidence.runs << evidence;
    m_runs.push_back(std::move(run));
    self->process->start(QStringLiteral(VEV_CLI_PATH), arguments);
    note(QStringLiteral("run %1 started: %2").arg(evidence.id).arg(arguments.join(QLatin1Char(' '))));
}

void Bench::took(Run *run, bool err)
{
    QByteArray &buffer = err ? run->err : run->out;
    buffer += err ? run->process->readAllStandardError() : run->process->readAllStandardOutput();
    int end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        const QString text = QString::fromUtf8(buffer.left(end));
        buffer.remove(0, end + 1);
        if (err)
            note(QStringLiteral("run %1 said: %2").arg(m_evidence.runs.at(run->evidence).id).arg(text));
        else
            line(run, text);
    }
}

void Bench::line(Run *run, const QString &text)
{
    const int id = m_evidence.runs.at(run->evidence).id;
    m_evidence.screen << invariants::ScreenLine {now(), id, text};
    note(QStringLiteral("run %1: %2").arg(id).arg(text));
    QStringList paths;
    for (int i = 0; i < int(m_lanes.size()); ++i)
        paths << lanePath(i);
    const auto status = invariants::statusLine(text, paths);
    if (status && (status->second.contains(QLatin1String("take the module off"))
                   || status->second.endsWith(QLatin1String(": take it off"))))
        operatorSees(int(paths.indexOf(status->first)));
}

void Bench::ended(Run *run, int code, QProcess::ExitStatus status)
{
    took(run, false);
    took(run, true);
    invariants::RunEvidence &evidence = m_evidence.runs[run->evidence];
    evidence.ended = now();
    evidence.exitCode = status == QProcess::NormalExit ? code : -1;
    note(QStringLiteral("run %1 ended: %2").arg(evidence.id)
             .arg(status == QProcess::NormalExit ? QStringLiteral("exit %1").arg(code) : QStringLiteral("killed")));
    if (m_stopping) {
        finish();
        return;
    }
    if (run->restartMs >= 0) {
        QTimer::singleShot(run->restartMs, this, [this] {
            if (!m_stopping)
                startMain();
        });
    }
    checkDone();
}

Bench::Run *Bench::liveMain()
{
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
        if ((*it)->main && !m_evidence.runs.at((*it)->evidence).ended)
            return it->get();
    }
    return nullptr;
}

void Bench::signal(Run *run, int number)
{
    invariants::RunEvidence &evidence = m_evidence.runs[run->evidence];
    evidence.signalsSent << invariants::RunEvidence::Signal {now(), number};
    note(QStringLiteral("%1 to run %2").arg(signalName(number)).arg(evidence.id));
    ::kill(pid_t(run->process->processId()), number);
    if (number == SIGKILL)
        return;
    QPointer<QProcess> process(run->process);
    QTimer::singleShot(stopWaitMs, this, [this, process, id = evidence.id] {
        if (process && process->state() != QProcess::NotRunning) {
            note(QStringLiteral("run %1 has not ended; killed").arg(id));
            process->kill();
        }
    });
}

void Bench::sendStop(const StopSignal &stop)
{
    if (m_stopping)
        return;
    Run *run = liveMain();
    if (!run) {
        note(QStringLiteral("no run to send %1 to").arg(signalName(stop.number)));
        return;
    }
    m_happened << (stop.number == SIGINT    ? Fault::Sigint
                   : stop.number == SIGTERM ? Fault::Sigterm
                   : stop.number == SIGHUP  ? Fault::Sighup
                                            : Fault::Sigkill);
    run->restartMs = stop.restartMs;
    signal(run, stop.number);
}

void Bench::startSecond()
{
    if (m_stopping)
        return;
    const QDir folder(m_folder);
    QString plan = m_plan;
    QString audit = m_audit;
    switch (m_schedule.second) {
    case Schedule::Second::None:
        return;
    case Schedule::Second::Station:
        m_happened << Fault::SecondStation;
        break;
    case Schedule::Second::Symlinks:
        plan = folder.filePath(QStringLiteral("plan-link.csv"));
        audit = folder.filePath(QStringLiteral("audit-link.jsonl"));
        QFile::link(m_plan, plan);
        QFile::link(m_audit, audit);
        m_happened << Fault::SymlinkRun;
        note(QStringLiteral("symbolic links %1 and %2 made").arg(plan, audit));
        break;
    case Schedule::Second::HardLinks:
        plan = folder.filePath(QStringLiteral("plan-hard.csv"));
        audit = folder.filePath(QStringLiteral("audit-hard.jsonl"));
        ::link(QFile::encodeName(m_plan).constData(), QFile::encodeName(plan).constData());
        ::link(QFile::encodeName(m_audit).constData(), QFile::encodeName(audit).constData());
        m_happened << Fault::HardLinkRun;
        note(QStringLiteral("hard links %1 and %2 made").arg(plan, audit));
        break;
    case Schedule::Second::LocksDeleted:
        for (const QString &path : {m_plan, m_audit}) {
            const bool removed = QFile::remove(path + QStringLiteral(".lock"));
            note(QStringLiteral("%1.lock %2").arg(path, removed ? QStringLiteral("deleted") : QStringLiteral("was not there")));
        }
        m_evidence.fileFaults << invariants::FileFault {now(), QStringLiteral("the lock files deleted"), fileId(m_audit), false};
        m_happened << Fault::LocksDeleted;
        break;
    }
    startRun(plan, audit, {m_schedule.lanes}, QStringLiteral("bench-2"), false);
}

void Bench::tamper()
{
    if (m_stopping)
        return;
    const invariants::FileId id = fileId(m_audit);
    QFile file(m_audit);
    if (!file.open(QIODevice::ReadWrite)) {
        note(QStringLiteral("cannot open the audit to tamper with it: ") + file.errorString());
        return;
    }
    const QByteArray content = file.readAll();
    if (m_schedule.tamper == Schedule::Tamper::RenameOver) {
        const QString copy = QDir(m_folder).filePath(QStringLiteral("audit.new"));
        QFile replacement(copy);
        if (!replacement.open(QIODevice::WriteOnly) || replacement.write(content) != content.size()) {
            note(QStringLiteral("cannot write %1").arg(copy));
            return;
        }
        replacement.close();
        if (::rename(QFile::encodeName(copy).constData(), QFile::encodeName(m_audit).constData()) != 0) {
            note(QStringLiteral("cannot rename %1 over the audit").arg(copy));
            return;
        }
        m_kept.push_back({QStringLiteral("the audit renamed over the first"), std::make_unique<QFile>(m_audit), false});
        m_kept.back().file->open(QIODevice::ReadOnly);
        m_evidence.fileFaults << invariants::FileFault {now(), QStringLiteral("a copy of the audit was renamed over it"), id, true};
        m_happened << Fault::AuditRenamed;
        note(QStringLiteral("a copy of the audit (%1 bytes) renamed over it").arg(content.size()));
        return;
    }
    // Cut mid-line, or at a line end with its last lines gone: a chain
    // that still checks out, a record short.
    qint64 cut = content.size() / 2;
    if (!m_schedule.cutMidLine) {
        cut = content.size();
        for (int lines = 0; lines < 2 && cut > 0; ++lines)
            cut = content.lastIndexOf('\n', int(cut) - 2) + 1;
    }
    if (!file.resize(cut)) {
        note(QStringLiteral("cannot cut the audit: ") + file.errorString());
        return;
    }
    m_evidence.audits << invariants::AuditCopy {QStringLiteral("the audit before it was cut"), content, false};
    for (KeptAudit &kept : m_kept) {
        if (fileId(kept.file->fileName()) == id)
            kept.tampered = true;
    }
    m_evidence.fileFaults << invariants::FileFault {now(), QStringLiteral("the audit was cut short"), id, true};
    m_happened << Fault::AuditCut;
    note(QStringLiteral("the audit cut from %1 to %2 bytes").arg(content.size()).arg(cut));
}

void Bench::checkDone()
{
    if (m_stopping || now() < at(m_lastEventMs + 1000))
        return;
    if (std::all_of(m_states.begin(), m_states.end(), [](State state) { return state == State::Done; }))
        finish();
}

// Every run still going is stopped as an operator stops it, and must end
// within the bound; then the loop ends.
void Bench::finish()
{
    if (!m_stopping) {
        m_stopping = true;
        note(QStringLiteral("end of the schedule"));
        for (const auto &run : m_runs) {
            if (run->process->state() != QProcess::NotRunning)
                signal(run.get(), SIGTERM);
        }
    }
    if (std::all_of(m_runs.begin(), m_runs.end(), [](const auto &run) { return run->process->state() == QProcess::NotRunning; }))
        m_loop.quit();
}

// --- The database ---------------------------------------------------------------

bool Bench::setUpDatabase(QString *error)
{
    PostgresServer *server = lineServer(error);
    if (!server)
        return false;
    static int made = 0;
    m_database = QStringLiteral("line_%1_%2").arg(m_schedule.seed).arg(++made);
    m_serverUri = server->createDatabase(m_database);
    if (m_serverUri.isEmpty()) {
        *error = server->error();
        return false;
    }
    // The runs reach the server through the go-between, the operators'
    // commands straight.
    const QString near = QDir(m_folder).filePath(QStringLiteral("pg"));
    QDir().mkpath(near);
    m_proxy = std::make_unique<SocketProxy>(near + QStringLiteral("/.s.PGSQL.5432"),
                                            server->socketFolder() + QStringLiteral("/.s.PGSQL.5432"));
    if (!m_proxy->isListening()) {
        *error = m_proxy->error();
        return false;
    }
    m_lineUri = QStringLiteral("postgresql://vev@/%1?host=%2").arg(m_database, near);
    const auto import = command({"plan", "import", "--db", m_serverUri, m_plan});
    if (!import->waitForFinished(60000) || import->exitCode() != 0) {
        *error = QStringLiteral("the plan could not be imported: ") + QString::fromUtf8(import->readAll());
        return false;
    }
    return true;
}

std::unique_ptr<QProcess> Bench::command(const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setWorkingDirectory(m_folder);
    process->start(QStringLiteral(VEV_CLI_PATH), arguments);
    return process;
}

void Bench::databaseEvent(const DbEvent &event)
{
    if (m_stopping)
        return;
    QString error;
    PostgresServer *server = lineServer(&error);
    m_happened << event.kind;
    note(QStringLiteral("%1 for %2 ms").arg(QLatin1String(faultName(event.kind))).arg(event.forMs));
    switch (event.kind) {
    case Fault::ServerRestart:
        m_beside.push_back(server->restartInBackground(event.forMs));
        break;
    case Fault::SessionStopped:
        stopSessions(event.forMs);
        break;
    case Fault::ForeignLock:
        m_beside.push_back(server->sqlInBackground(m_database, QStringLiteral("BEGIN; LOCK TABLE vev_plan IN ACCESS EXCLUSIVE "
                                                                              "MODE; SELECT pg_sleep(%1); COMMIT")
                                                                   .arg(double(event.forMs) / 1000)));
        break;
    case Fault::ResetClient: m_proxy->resetClientSide(event.forMs); break;
    case Fault::ResetServer: m_proxy->resetServerSide(); break;
    case Fault::ResetBoth: m_proxy->resetBoth(); break;
    case Fault::Silent: m_proxy->goSilent(event.forMs); break;
    case Fault::Release: release(event.row); break;
    case Fault::Import: importKept(false); break;
    default: break;
    }
}

void Bench::stopSessions(int forMs)
{
    QString error;
    QString pids;
    lineServer(&error)->sql(m_database, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = '%1' AND "
                                                       "application_name = 'vev-cli'").arg(m_database), &pids);
    QList<pid_t> stopped;
    for (const QString &pid : pids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (::kill(pid_t(pid.toInt()), SIGSTOP) == 0)
            stopped << pid_t(pid.toInt());
    }
    m_stoppedSessions += stopped;
    note(QStringLiteral("sessions stopped: %1").arg(pids.simplified()));
    QTimer::singleShot(forMs, this, [this, stopped] { letGoOn(stopped); });
}

void Bench::letGoOn(const QList<pid_t> &sessions)
{
    for (pid_t pid : sessions) {
        if (m_stoppedSessions.removeAll(pid) > 0)
            ::kill(pid, SIGCONT);
    }
}

void Bench::release(int row)
{
    // An operator releases a row in doubt only once no module carries any
    // of it: one that took any of its values is never released here.
    const PlanRow &values = m_evidence.plan.at(row - 1);
    for (const invariants::ModuleHistory &module : std::as_const(m_evidence.modules)) {
        for (const invariants::Exchange &exchange : module.exchanges) {
            if (exchange.write && canonicalValue(exchange.setting, exchange.value) == canonicalOf(values.values, exchange.setting)) {
                note(QStringLiteral("row %1 is not released: %2 took its %3").arg(row).arg(module.name)
                         .arg(QLatin1String(settingInfo(exchange.setting).key)));
                return;
            }
        }
    }
    note(QStringLiteral("plan release --row %1").arg(row));
    m_beside.push_back(command({"plan", "release", "--db", m_serverUri, "--row", QString::number(row), "--station", "ops"}));
}

void Bench::importKept(bool wait)
{
    const QStringList kept = QDir(m_folder).entryList({QStringLiteral("vev-unstored-*.jsonl")}, QDir::Files, QDir::Name);
    for (const QString &name : kept) {
        note(QStringLiteral("audit import %1").arg(name));
        auto import = command({"audit", "import", "--db", m_serverUri, QDir(m_folder).filePath(name)});
        if (wait) {
            import->waitForFinished(60000);
            note(QStringLiteral("audit import %1: %2").arg(name, QString::fromUtf8(import->readAll()).trimmed()));
        }
        m_beside.push_back(std::move(import));
    }
}

void Bench::keepDatabaseAudit()
{
    // Whatever was still going beside the line ends first.
    for (const auto &process : m_beside)
        process->waitForFinished(60000);
    importKept(true);
    const auto exported = command({"audit", "export", "--db", m_serverUri});
    exported->setProcessChannelMode(QProcess::SeparateChannels);
    exported->waitForFinished(60000);
    m_evidence.audits << invariants::AuditCopy {QStringLiteral("the database's audit"), exported->readAllStandardOutput(),
                                               false};
    note(QStringLiteral("audit export: exit %1 %2").arg(exported->exitCode())
             .arg(QString::fromUtf8(exported->readAllStandardError()).trimmed()));
}

// --- Modules ------------------------------------------------------------------

void Bench::remember(int module)
{
    const Module &live = m_modules[std::size_t(module)];
    QStringList lanes;
    for (int lane : live.legs)
        lanes << lanePath(lane);
    m_evidence.modules[module].states << invariants::ModuleState {now(), lanes, live.settings};
}

void Bench::readLane(int lane)
{
    Lane &line = m_lanes[std::size_t(lane)];
    char buffer[4096];
    const ssize_t n = ::read(line.line->fd(), buffer, sizeof buffer);
    if (n <= 0)
        return;
    // Whichever run has the lane now sent it.
    const QString path = lanePath(lane);
    for (auto it = m_evidence.runs.rbegin(); it != m_evidence.runs.rend(); ++it) {
        if (it->lanes.contains(path)) {
            it->sent << now();
            break;
        }
    }
    line.input.append(buffer, int(n));
    int end;
    while ((end = line.input.indexOf('#')) >= 0) {
        const QByteArray bytes = line.input.left(end + 1);
        line.input.remove(0, end + 1);
        command(lane, bytes);
    }
    if (line.input.size() > 256)
        line.input.clear(); // no command is this long
}

void Bench::command(int lane, const QByteArray &bytes)
{
    const int placement = m_lanes[std::size_t(lane)].placement;
    if (placement < 0)
        return; // nobody on the lane to hear it
    const int index = m_schedule.placements.at(placement).module;
    Module &module = m_modules[std::size_t(index)];
    const ModuleTraits &traits = m_schedule.modules.at(index);
    const SettingValues before = module.settings;
    const QByteArray answer = ModuleSimulator::answer(bytes, module.settings);
    const auto parsed = parseCommand(QString::fromLatin1(bytes));
    // A write is taken when it comes, answered or not; a read counts once
    // its answer has reached the lane that asked.
    std::optional<invariants::Exchange> exchange;
    if (parsed) {
        exchange = invariants::Exchange {now() + traits.delayMs, lanePath(lane), parsed->write, parsed->setting,
                                         parsed->write ? parsed->formValue
                                                       : valueOf(module.settings, parsed->setting).value_or(QString())};
        if (parsed->write)
            m_evidence.modules[index].exchanges << *exchange;
    }
    if (module.settings != before)
        remember(index);
    reply(index, placement, lane, answer, parsed && !parsed->write ? exchange : std::nullopt);
    if (!parsed)
        return;

    const Placement &where = m_schedule.placements.at(placement);
    if (parsed->write) {
        ++module.writes;
        module.readBack.clear();
        if ((where.leave == Placement::MidWrite || where.leave == Placement::Swap) && module.writes == where.write) {
            m_happened << (where.leave == Placement::Swap ? Fault::Swap : Fault::LeaveMidWrite);
            const QString why = QStringLiteral("at its write %1, %2 its answer").arg(module.writes)
                                    .arg(where.beforeAnswer ? QStringLiteral("before") : QStringLiteral("after"));
            if (where.beforeAnswer)
                takeOff(placement, why);
            else
                QTimer::singleShot(traits.delayMs + 1, Qt::PreciseTimer, this, [this, placement, why] { takeOff(placement, why); });
        }
        return;
    }
    if (module.writes > 0) {
        module.readBack << int(parsed->setting);
        if (module.readBack.size() == int(allSettings.size()))
            verified(index);
    }
}

// Its answer goes out on each lane it is heard on, the second leg late;
// a module taken off before then answers nothing.
void Bench::reply(int module, int placement, int asking, const QByteArray &bytes,
                  const std::optional<invariants::Exchange> &read)
{
    const Module &live = m_modules[std::size_t(module)];
    const int delay = m_schedule.modules.at(module).delayMs;
    for (int leg = 0; leg < live.legs.size(); ++leg) {
        const int lane = live.legs.at(leg);
        const int late = leg == 0 ? delay : delay + m_schedule.placements.at(placement).legDelayMs;
        QTimer::singleShot(late, Qt::PreciseTimer, this, [this, module, placement, lane, asking, bytes, read] {
            const Module &live = m_modules[std::size_t(module)];
            if (live.placement != placement || !live.legs.contains(lane))
                return;
            [[maybe_unused]] const ssize_t n = ::write(m_lanes[std::size_t(lane)].line->fd(), bytes.constData(), size_t(bytes.size()));
            if (read && lane == asking) {
                invariants::Exchange answered = *read;
                answered.at = now();
                m_evidence.modules[module].exchanges << answered;
            }
        });
    }
}

// A module that does not keep what it was given: a moment after its row
// was read back it has its factory settings again, on the line or off it.
void Bench::verified(int index)
{
    Module &module = m_modules[std::size_t(index)];
    const int after = m_schedule.modules.at(index).revertAfterMs;
    if (after < 0 || module.reverted)
        return;
    module.reverted = true;
    QTimer::singleShot(after, this, [this, index] {
        m_modules[std::size_t(index)].settings = m_schedule.modules.at(index).factory;
        remember(index);
        m_happened << Fault::Revert;
        note(QStringLiteral("m%1 went back to its factory settings").arg(index + 1));
    });
}

bool Bench::canPlace(int index) const
{
    const Placement &placement = m_schedule.placements.at(index);
    if (m_states.at(index) != State::Waiting || m_modules[std::size_t(placement.module)].placement >= 0)
        return false;
    if (!m_atOnce.contains(index) && now() < at(placement.arriveMs))
        return false;
    // Its lanes are free, and no placement before it still waits for them.
    for (int lane : {placement.lane, placement.legLane}) {
        if (lane < 0)
            continue;
        if (m_lanes[std::size_t(lane)].placement >= 0)
            return false;
        for (int before = 0; before < index; ++before) {
            const Placement &earlier = m_schedule.placements.at(before);
            if (m_states.at(before) == State::Waiting && (earlier.lane == lane || earlier.legLane == lane))
                return false;
        }
    }
    return true;
}

void Bench::tryPlacing()
{
    if (m_stopping)
        return;
    for (int i = 0; i < m_schedule.placements.size(); ++i) {
        if (canPlace(i))
            putOn(i);
    }
}

void Bench::putOn(int index)
{
    const Placement &placement = m_schedule.placements.at(index);
    Module &module = m_modules[std::size_t(placement.module)];
    m_states[index] = State::On;
    module.placement = index;
    module.legs = {placement.lane};
    m_lanes[std::size_t(placement.lane)].placement = index;
    if (placement.legLane >= 0) {
        module.legs << placement.legLane;
        m_lanes[std::size_t(placement.legLane)].placement = index;
        m_happened << Fault::YCable;
    }
    module.writes = 0;
    module.readBack.clear();
    module.reverted = false;
    remember(placement.module);
    if (m_schedule.factoryIpRow > 0)
        m_happened << Fault::FactoryIp;
    if (m_schedule.sharedMac)
        m_happened << Fault::SharedMac;
    note(QStringLiteral("p%1: m%2 (%3) put on lane %4%5").arg(index + 1).arg(placement.module + 1)
             .arg(settingsText(module.settings)).arg(placement.lane + 1)
             .arg(placement.legLane < 0 ? QString() : QStringLiteral(" and lane %1").arg(placement.legLane + 1)));
    if (placement.leave == Placement::AtRandom) {
        QTimer::singleShot(placement.stayMs, this, [this, index] {
            if (m_states.at(index) == State::On)
                m_happened << Fault::LeaveAtRandom;
            takeOff(index, QStringLiteral("at random"));
        });
    }
    QTimer::singleShot(longestStayMs, this, [this, index] { takeOff(index, QStringLiteral("after the longest stay")); });
}

void Bench::takeOff(int index, const QString &why)
{
    if (m_states.at(index) != State::On)
        return;
    const Placement &placement = m_schedule.placements.at(index);
    Module &module = m_modules[std::size_t(placement.module)];
    m_states[index] = State::Done;
    module.placement = -1;
    module.legs.clear();
    for (Lane &lane : m_lanes) {
        if (lane.placement == index)
            lane.placement = -1;
    }
    remember(placement.module);
    note(QStringLiteral("p%1: m%2 (%3) taken off, %4").arg(index + 1).arg(placement.module + 1)
             .arg(settingsText(module.settings), why));
    if (placement.leave == Placement::Swap) {
        // The next module for that lane goes on at once.
        for (int next = index + 1; next < m_schedule.placements.size(); ++next) {
            if (m_states.at(next) == State::Waiting && m_schedule.placements.at(next).lane == placement.lane) {
                m_atOnce << next;
                break;
            }
        }
    }
    tryPlacing();
    checkDone();
}

void Bench::operatorSees(int lane)
{
    if (lane < 0)
        return;
    const int index = m_lanes[std::size_t(lane)].placement;
    if (index < 0 || m_leaving.contains(index) || m_schedule.placements.at(index).leave != Placement::AfterVerdict)
        return;
    m_leaving << index;
    QTimer::singleShot(m_schedule.placements.at(index).holdMs, this,
                       [this, index] { takeOff(index, QStringLiteral("as its lane said")); });
}

// --- Playing seeds --------------------------------------------------------------

struct Played {
    bool ok = false;
    QString report;
    QSet<Fault> happened;
};

Played playSeed(quint32 seed, bool traced = false, bool database = false)
{
    Played played;
    const Schedule schedule = makeSchedule(seed, database);
    QTemporaryDir folder;
    QElapsedTimer clock;
    clock.start();
    Bench bench(schedule, folder.path());
    QString error;
    if (!folder.isValid() || !bench.play(&error)) {
        played.report = QStringLiteral("seed %1: the bench could not be set up: %2").arg(seed).arg(error);
        return played;
    }
    played.happened = bench.happened();
    const QList<invariants::Violation> violations = invariants::checkAll(bench.evidence());
    played.ok = violations.isEmpty();
    QStringList report {QStringLiteral("seed %1 (%2 s): %3; faults that took effect: %4")
                            .arg(seed).arg(double(clock.elapsed()) / 1000, 0, 'f', 1)
                            .arg(violations.isEmpty() ? QStringLiteral("every invariant holds")
                                                      : QStringLiteral("%1 invariants broken").arg(violations.size()))
                            .arg(faultList(played.happened))};
    for (const invariants::Violation &violation : violations)
        report << QStringLiteral("  %1: %2").arg(violation.invariant, violation.what);
    if (!violations.isEmpty() || traced) {
        report << QStringLiteral("The schedule (tst_faults --seed %1 plays it again):").arg(seed) << describe(schedule)
               << QStringLiteral("What happened:") << bench.trace();
    }
    played.report = report.join(QLatin1Char('\n'));
    return played;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void ciSeedsCoverEveryFault();
    void ciSeeds_data();
    void ciSeeds();
    void ciDatabaseSeeds_data();
    void ciDatabaseSeeds();
};

void TestFaults::ciSeedsCoverEveryFault()
{
    QSet<Fault> covered;
    for (const CiSeed &ci : ciSeedList()) {
        const QSet<Fault> scheduled = faultsOf(makeSchedule(ci.seed, ci.database));
        for (Fault fault : ci.covers) {
            QVERIFY2(scheduled.contains(fault), qPrintable(QStringLiteral("seed %1 is listed for %2, which its schedule "
                                                                          "does not hold").arg(ci.seed).arg(faultName(fault))));
            covered << fault;
        }
    }
    QSet<Fault> missing;
    for (int kind = 0; kind < faultKinds; ++kind) {
        if (!covered.contains(Fault(kind)))
            missing << Fault(kind);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no CI seed is listed for: ") + faultList(missing)));
}

static void addSeedRows(bool database)
{
    QTest::addColumn<quint32>("seed");
    for (const CiSeed &ci : ciSeedList()) {
        if (ci.database == database)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(ci.seed))) << ci.seed;
    }
}

static void playCiSeed(quint32 seed, bool database)
{
    const Played played = playSeed(seed, false, database);
    qInfo().noquote() << played.report.section(QLatin1Char('\n'), 0, 0);
    if (!played.ok) {
        // Whole: a test's failure message is cut short, the schedule and what
        // happened with it.
        QTextStream(stdout) << played.report << Qt::endl;
        QFAIL(qPrintable(QStringLiteral("seed %1 broke an invariant; replay it with tst_faults --seed %1%2")
                             .arg(seed).arg(database ? QStringLiteral(" --database") : QString())));
    }
}

void TestFaults::ciSeeds_data()
{
    addSeedRows(false);
}

void TestFaults::ciSeeds()
{
    QFETCH(quint32, seed);
    playCiSeed(seed, false);
}

// The same line on a database its stations share, through a go-between
// that breaks connections, with the server and its sessions stopped and
// the plan locked under them.
void TestFaults::ciDatabaseSeeds_data()
{
    addSeedRows(true);
}

void TestFaults::ciDatabaseSeeds()
{
    QFETCH(quint32, seed);
    playCiSeed(seed, true);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // What stations on a database remember of its audit stays with the test.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QStringList arguments = QCoreApplication::arguments();
    const auto number = [&arguments](const QString &name, qint64 otherwise) {
        const int at = int(arguments.indexOf(name));
        return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toLongLong() : otherwise;
    };
    const qint64 seed = number(QStringLiteral("--seed"), -1);
    const qint64 kinds = number(QStringLiteral("--kinds"), -1);
    const qint64 runs = std::max<qint64>(1, number(QStringLiteral("--runs"), 1));
    const bool database = arguments.contains(QStringLiteral("--database"));
    QTextStream out(stdout);
    if (kinds >= 0) {
        for (qint64 i = 0; i < runs; ++i)
            out << "seed " << kinds + i << ": " << faultList(faultsOf(makeSchedule(quint32(kinds + i), database))) << Qt::endl;
        return 0;
    }
    if (seed >= 0 && arguments.contains(QStringLiteral("--schedule"))) {
        out << describe(makeSchedule(quint32(seed), database)) << Qt::endl;
        return 0;
    }
    if (seed >= 0) {
        int failed = 0;
        for (qint64 i = 0; i < runs; ++i) {
            const Played played = playSeed(quint32(seed + i), arguments.contains(QStringLiteral("--trace")), database);
            out << played.report << Qt::endl;
            failed += played.ok ? 0 : 1;
        }
        out << failed << " of " << runs << " seeds broke an invariant" << Qt::endl;
        return failed > 0 ? 1 : 0;
    }
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
