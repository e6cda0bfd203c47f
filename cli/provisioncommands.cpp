// SPDX-License-Identifier: MIT
#include "provisioncommands.h"

#include "host/signalwatch.h"
#include "stationtext/lanetext.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <memory>

#ifdef Q_OS_UNIX
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

constexpr int defaultWidth = 80;

// Each lane's status on a line of its own: redrawn in place on a terminal,
// each line cut to the terminal's width so none wraps and the redraw stays
// in step; printed as it changes otherwise.
class StatusBoard
{
public:
    StatusBoard()
        : m_terminal(isTerminal())
    {
        m_width = terminalWidth();
        m_ellipsis = utf8Terminal() ? QString(QChar(0x2026)) : QStringLiteral("...");
    }

    void setLanes(const QList<Lane *> &lanes)
    {
        m_lanes = lanes;
        if (m_terminal)
            redraw();
    }

    void laneChanged(Lane *lane)
    {
        if (!m_terminal) {
            out() << lane->port() << ": " << laneText(lane->status()) << '\n';
            out().flush();
            return;
        }
        redraw();
    }

    // A line above the board, kept in the terminal's history; a warning
    // goes to stderr, which shares the terminal.
    void print(const QString &line) { above(out(), line); }
    void warn(const QString &line) { above(err(), QStringLiteral("vev-cli: ") + line); }

    void resized()
    {
        m_width = terminalWidth();
        if (m_terminal)
            redraw();
    }

    // The board gives way to each lane's final status, once; elsewhere each
    // was printed as it came.
    void finish()
    {
        if (!m_terminal)
            return;
        clear();
        for (Lane *lane : std::as_const(m_lanes))
            out() << fit(lane->port() + QStringLiteral(": ") + laneText(lane->status())) << '\n';
        out().flush();
    }

private:
    static bool isTerminal()
    {
#ifdef Q_OS_UNIX
        return ::isatty(STDOUT_FILENO) == 1;
#else
        return false;
#endif
    }

    static bool utf8Terminal()
    {
#ifdef Q_OS_UNIX
        return qstrcmp(::nl_langinfo(CODESET), "UTF-8") == 0;
#else
        return false;
#endif
    }

    static int terminalWidth()
    {
#ifdef Q_OS_UNIX
        winsize size {};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
#endif
        return defaultWidth;
    }

    QString fit(const QString &line) const
    {
        // The last column stays free: a line that fills it makes some
        // terminals wrap, and the board would no longer know its height.
        const int room = std::max(m_width - 1, int(m_ellipsis.size()) + 1);
        return line.size() <= room ? line : line.left(room - m_ellipsis.size()) + m_ellipsis;
    }

    void above(QTextStream &stream, const QString &line)
    {
        clear();
        out().flush();
        stream << line << '\n';
        stream.flush();
        if (m_terminal)
            redraw();
    }

    void clear()
    {
        if (m_terminal && m_drawn > 0)
            out() << "\x1b[" << m_drawn << "A\r\x1b[J";
        m_drawn = 0;
    }

    void redraw()
    {
        clear();
        for (Lane *lane : std::as_const(m_lanes))
            out() << fit(lane->port() + QStringLiteral(": ") + laneText(lane->status())) << '\n';
        m_drawn = int(m_lanes.size());
        out().flush();
    }

    QList<Lane *> m_lanes;
    bool m_terminal;
    int m_width = defaultWidth;
    QString m_ellipsis;
    int m_drawn = 0;
};

QString recordLine(const OutcomeRecord &record)
{
    const bool passed = record.result == Result::Pass;
    const QString result = passed ? QString()
                                  : QStringLiteral(" (%1%2)").arg(resultText(record.result),
                                                                  record.reason.isEmpty() ? QString()
                                                                                          : QStringLiteral(": ") + record.reason);
    return QStringLiteral("%1 row %2 on %3%4: %5")
        .arg(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
        .arg(record.row)
        .arg(printable(record.port), result, valuesText(record.written));
}

QJsonObject doubtJson(const RowEntry &entry)
{
    return {
        {QStringLiteral("row"), entry.row},
        {QStringLiteral("state"), rowStateText(entry.state)},
        {QStringLiteral("values"), settingsToJson(entry.values)},
        {QStringLiteral("before"), settingsToJson(entry.before)},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("station"), entry.station},
        {QStringLiteral("time"), entry.time},
        {QStringLiteral("audit_line"), entry.auditLine},
    };
}

// Each station's share, its clock, and the figures per hour of a plan
// several stations share.
void printStations(const StoreStatus &status)
{
    out() << "Stations:\n";
    for (const StationStatus &station : status.stations) {
        out() << QStringLiteral("  %1: %2 passed, %3 failed, %4 in hand, %5 claimed; %6\n")
                     .arg(printable(station.name)).arg(station.passed).arg(station.failed).arg(station.inHand)
                     .arg(station.claimed)
                     .arg(station.holder.isEmpty() ? QStringLiteral("not running")
                                                   : QStringLiteral("running (%1)").arg(station.holder));
    }
    for (const StationStatus &station : status.stations) {
        constexpr qint64 clockSlack = 60; // s
        if (station.clockAhead && std::abs(*station.clockAhead) > clockSlack) {
            err() << QStringLiteral("vev-cli: warning: the clock of %1 was %2 s %3 the server's at its last line; the audit's "
                                    "times are the bench's, the figures per hour the server's\n")
                         .arg(printable(station.name))
                         .arg(std::abs(*station.clockAhead))
                         .arg(*station.clockAhead > 0 ? QStringLiteral("ahead of") : QStringLiteral("behind"));
        }
    }
    if (!status.passedPerHour.isEmpty()) {
        out() << "Passed per hour (UTC, the server's clock):\n";
        for (const auto &[hour, count] : status.passedPerHour)
            out() << QStringLiteral("  %1  %2\n").arg(hour).arg(count);
    }
}

ExitCode printPlanStatus(const ProvisionStore::Place &place, const StoreStatus &status, bool json)
{
    if (json) {
        QJsonArray doubt;
        for (const RowEntry &entry : status.inDoubt)
            doubt.append(doubtJson(entry));
        QJsonObject object = place.fields;
        const QJsonObject counts {
            {QStringLiteral("rows"), status.rows},
            {QStringLiteral("open"), status.open},
            {QStringLiteral("in_hand"), status.inHand},
            {QStringLiteral("claimed"), status.claimed},
            {QStringLiteral("passed"), status.passed},
            {QStringLiteral("failed"), status.failed},
            {QStringLiteral("in_doubt"), doubt},
            {QStringLiteral("held_by"), status.holder.isEmpty() ? QJsonValue() : QJsonValue(status.holder)},
            {QStringLiteral("on_two_modules"), QJsonArray::fromStringList(status.onTwoModules)},
        };
        for (auto it = counts.begin(); it != counts.end(); ++it)
            object.insert(it.key(), it.value());
        if (!status.stations.isEmpty()) {
            QJsonArray stations;
            for (const StationStatus &station : status.stations) {
                stations.append(QJsonObject {
                    {QStringLiteral("name"), station.name},
                    {QStringLiteral("running"), station.holder.isEmpty() ? QJsonValue() : QJsonValue(station.holder)},
                    {QStringLiteral("passed"), station.passed},
                    {QStringLiteral("failed"), station.failed},
                    {QStringLiteral("claimed"), station.claimed},
                    {QStringLiteral("in_hand"), station.inHand},
                    {QStringLiteral("clock_ahead_s"),
                     station.clockAhead ? QJsonValue(double(*station.clockAhead)) : QJsonValue()},
                });
            }
            QJsonObject perHour;
            for (const auto &[hour, count] : status.passedPerHour)
                perHour.insert(hour, count);
            object.insert(QStringLiteral("stations"), stations);
            object.insert(QStringLiteral("passed_per_hour"), perHour);
        }
        out() << QJsonDocument(object).toJson(QJsonDocument::Indented);
        return ExitCode::Ok;
    }
    out() << QStringLiteral("%1: %2 rows\n").arg(place.plan).arg(status.rows);
    out() << QStringLiteral("  passed   %1\n  open     %2\n").arg(status.passed).arg(status.open);
    if (status.inHand > 0)
        out() << QStringLiteral("  in hand  %1 (being written by a running station)\n").arg(status.inHand);
    out() << QStringLiteral("  claimed  %1 (a run ended without their outcome)\n  failed   %2\n")
                 .arg(status.claimed).arg(status.failed);
    if (!status.inDoubt.isEmpty()) {
        out() << "Rows in doubt (given to no other module; put the module back on a lane to finish the row, "
                 "or release it):\n";
        for (const RowEntry &entry : status.inDoubt) {
            out() << QStringLiteral("  row %1: %2, %3 on %4 by %5 at %6 (audit line %7); the module "
                                    "before: %8\n")
                         .arg(entry.row).arg(valuesText(entry.values), rowStateText(entry.state),
                                             printable(entry.port), printable(entry.station), entry.time)
                         .arg(entry.auditLine).arg(valuesText(entry.before));
        }
    }
    if (!status.onTwoModules.isEmpty()) {
        out() << "Rows that may be on two modules (set both modules aside, take the row off both, then release it):\n";
        for (const QString &row : status.onTwoModules)
            out() << QStringLiteral("  %1\n").arg(printable(row));
    }
    if (!status.stations.isEmpty()) {
        printStations(status);
        return ExitCode::Ok;
    }
    out() << (status.holder.isEmpty() ? QStringLiteral("No run holds the plan or the audit.\n")
                                      : QStringLiteral("Held by %1.\n").arg(status.holder));
    return ExitCode::Ok;
}

} // namespace

QString valuesText(const SettingValues &values)
{
    QStringList texts;
    for (Setting setting : allSettings)
        texts << printable(valueOf(values, setting).value_or(QStringLiteral("-")));
    return texts.join(QLatin1Char(' '));
}

namespace {

// What the store says of its troubles, said to the operator.
void sayStoreTroubles(Station *station, const std::shared_ptr<StatusBoard> &board)
{
    // A store on a server that restarts, a network that drops: the lanes
    // wait and retry, and the operator is told.
    QObject::connect(station->store(), &ProvisionStore::reachabilityChanged, station,
                     [board, where = station->store()->description(), was = true](bool reachable,
                                                                                  const QString &why) mutable {
                         if (reachable == was)
                             return;
                         was = reachable;
                         board->warn(reachable ? QStringLiteral("%1 can be reached again").arg(where)
                                               : QStringLiteral("%1 cannot be reached (%2); the lanes keep what they "
                                                                "hold and retry").arg(where, why));
                     });

    // A store held up (a lock someone keeps, a server that does not answer),
    // said when first noticed and every ten seconds after.
    QObject::connect(station->store(), &ProvisionStore::waiting, station,
                     [board, where = station->store()->description(), said = false](int seconds, const QString &why) mutable {
                         constexpr int repeat = 10;
                         if (seconds == 0 && std::exchange(said, false))
                             board->warn(QStringLiteral("%1 answers again").arg(where));
                         else if (seconds > 0 && (!said || seconds % repeat == 0))
                             board->warn(QStringLiteral("%1 has not answered for %2 s (%3); still waiting, Ctrl-C stops the run")
                                             .arg(where)
                                             .arg(seconds)
                                             .arg(why));
                         said = said || seconds > 0;
                     });
    QObject::connect(station->store(), &ProvisionStore::warned, station, [board](const QString &what) { board->warn(what); });
    QObject::connect(station->store(), &ProvisionStore::ownershipLapsed, station, [board](bool lapsed, const QString &why) {
        board->warn(lapsed ? why + QStringLiteral("; nothing more is written to a module until it does")
                           : QStringLiteral("the station's name is confirmed again"));
    });
}

} // namespace

void runProvision(const StoreSetup &given, const Station::Options &options, const Done &done)
{
    StoreSetup setup = given;
    setup.maxAttempts = options.maxAttempts;
    QString error;
    auto store = makeStore(setup, &error);
    if (!store)
        return done(fail(ExitCode::Usage, error));
    auto *station = new Station(std::move(store), options, QCoreApplication::instance());
    auto board = std::make_shared<StatusBoard>();
    sayStoreTroubles(station, board);

    // Ctrl-C, kill, a closed terminal or a dropped SSH session: the modules
    // in hand are finished and recorded first.
    auto *watch = new SignalWatch({SIGINT, SIGTERM, SIGHUP, SIGWINCH}, station);
    QObject::connect(watch, &SignalWatch::caught, station, [station, board](int number) {
        if (number == SIGWINCH) {
            board->resized();
            return;
        }
        if (!station->isRunning()) {
            station->stop(); // still starting: it ends there
            return;
        }
        board->warn(QStringLiteral("stopping; the modules in hand are finished and recorded first"));
        station->stop();
    });
    QObject::connect(station, &Station::refused, station, [station, done](const QString &error, ExitCode code) {
        station->deleteLater();
        done(fail(code, error));
    });
    QObject::connect(station, &Station::started, station, [station, board] { board->setLanes(station->lanes()); });
    QObject::connect(station, &Station::laneChanged, station, [board](Lane *lane) { board->laneChanged(lane); });
    // A scan refused is said where the operator looks; one taken shows on its lane.
    QObject::connect(station, &Station::scanned, station, [board](Lane *lane, const QString &code, const QString &why) {
        if (!why.isEmpty()) {
            board->warn(code.isEmpty() ? QStringLiteral("%1: %2").arg(lane->port(), why)
                                       : QStringLiteral("%1: scan \"%2\" refused: %3").arg(lane->port(), printable(code), why));
        }
    });
    QObject::connect(station, &Station::recorded, station,
                     [board](const OutcomeRecord &record) { board->print(recordLine(record)); });
    // Where a reprint reads the passed module from: the audit file, or the database.
    const QString audit = (setup.usesDatabase() ? QStringLiteral("--db ") : QStringLiteral("--audit "))
                          + station->store()->description();
    QObject::connect(station, &Station::labelRecorded, station, [board, audit](const LabelRecord &label) {
        if (label.voided) {
            board->warn(QStringLiteral("the label of row %1 (%2) is void: its module lost its settings; take the label "
                                       "off it").arg(label.row).arg(printable(label.target)));
            return;
        }
        if (label.printed || label.sent) {
            board->print(QStringLiteral("LABEL row %1 %2 to %3").arg(label.row)
                             .arg(label.printed ? QStringLiteral("printed") : QStringLiteral("sent, not confirmed by the printer,"),
                                  printable(label.target)));
            return;
        }
        board->warn(QStringLiteral("the label of row %1 was not printed to %2: %3; the module keeps its result; "
                                   "reprint it with vev-cli label %4 --row %1 and a place for it")
                        .arg(label.row).arg(printable(label.target), printable(label.reason), audit));
    });
    QObject::connect(station, &Station::storeFailed, station, [board](const QString &error) {
        board->warn(QStringLiteral("%1; the run stops").arg(error));
    });
    QObject::connect(station, &Station::halted, station, [board](const QString &why) {
        board->warn(QStringLiteral("%1; nothing more is sent to any module, and the run stops").arg(why));
    });
    QObject::connect(station, &Station::finished, station, [station, board, done](ExitCode code) {
        board->finish();
        out() << runSummary(*station, QStringLiteral("Done"), QStringLiteral("with vev-cli plan release")) << '\n';
        station->deleteLater();
        done(code);
    });
    station->start();
}

void withStore(const StoreSetup &setup, const Done &done,
               const std::function<void(const std::shared_ptr<ProvisionStore> &store)> &then)
{
    QString error;
    std::shared_ptr<ProvisionStore> store = makeStore(setup, &error);
    if (!store)
        return done(fail(ExitCode::Usage, error));
    store->open([store, done, then](const ProvisionStore::Opened &opened) {
        if (!opened.ok)
            return done(fail(opened.code, opened.error));
        then(store);
    });
}

void runPlanStatus(const StoreSetup &setup, bool json, const Done &done)
{
    StoreSetup looking = setup;
    looking.take = false;
    withStore(looking, done, [json, done](const std::shared_ptr<ProvisionStore> &store) {
        store->planStatus([store, json, done](const ProvisionStore::Answer &answer, const StoreStatus &status) {
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            done(printPlanStatus(store->place(), status, json));
        });
    });
}

void runPlanRelease(const StoreSetup &setup, int row, const Signer &supervisor, const Done &done)
{
    withStore(setup, done, [row, supervisor, done](const std::shared_ptr<ProvisionStore> &store) {
        store->release(row, supervisor, [store, row, done](const ProvisionStore::Answer &answer, const SettingValues &values) {
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            out() << QStringLiteral("Row %1 (%2) released: it goes back to the plan.\n").arg(row).arg(valuesText(values));
            done(ExitCode::Ok);
        });
    });
}

void runAuditImport(const StoreSetup &setup, const QString &file, const Done &done)
{
    QList<AuditRecord> records;
    const AuditCheck check = verifyAudit(file, [&records](const AuditRecord &record, int) { records << record; });
    if (check.unreadable)
        return done(fail(ExitCode::Failure, check.why));
    if (check.firstBad > 0) {
        return done(fail(ExitCode::AuditBroken, QStringLiteral("%1 line %2: %3; nothing was imported")
                                                    .arg(printable(file)).arg(check.firstBad).arg(check.why)));
    }
    withStore(setup, done, [file, records, done](const std::shared_ptr<ProvisionStore> &store) {
        store->importAudit(records, [store, file, done](const ProvisionStore::Answer &answer, int added, int present) {
            if (!answer.ok())
                return done(fail(answer.code, answer.error));
            out() << QStringLiteral("%1 records of %2 added to %3").arg(added).arg(printable(file), store->description());
            if (present > 0)
                out() << QStringLiteral("; %1 were there already").arg(present);
            out() << ".\n";
            done(ExitCode::Ok);
        });
    });
}

ExitCode runAuditVerify(const QString &path, const QString &lastHash)
{
    return reportAuditCheck(printable(path), verifyAudit(path, {}, lastHash.toLatin1()));
}

ExitCode reportAuditCheck(const QString &name, const AuditCheck &check)
{
    if (check.unreadable)
        return fail(ExitCode::Failure, check.why);
    if (check.firstBad > 0) {
        return fail(ExitCode::AuditBroken, QStringLiteral("%1 line %2: %3 (%4 lines before it check out)")
                                               .arg(name).arg(check.firstBad).arg(check.why).arg(check.lines));
    }
    if (check.disagrees)
        return fail(ExitCode::AuditBroken, QStringLiteral("%1: %2").arg(name, check.why));
    if (check.endsElsewhere)
        return fail(ExitCode::AuditBroken, QStringLiteral("%1: %2").arg(name, check.why));
    out() << name << ": " << check.lines << " lines, chain intact, last hash " << QString::fromLatin1(check.lastHash);
    // Lines a later version wrote: chained like the rest, their fields not read.
    if (check.unknown > 0)
        out() << QStringLiteral("; %1 of kinds this version does not know, skipped").arg(check.unknown);
    out() << '\n';
    if (!check.onTwoModules.isEmpty()) {
        return fail(ExitCode::RowOnTwoModules,
                    QStringLiteral("%1: rows that may be on two modules, to resolve: %2")
                        .arg(name, check.onTwoModules.join(QStringLiteral("; "))));
    }
    return ExitCode::Ok;
}

} // namespace cli
