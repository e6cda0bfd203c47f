// SPDX-License-Identifier: MIT
// vev-station: the production line's window over the station that vev-cli
// provision runs.

#include "desktop/desktopstart.h"
#include "desktop/language.h"
#include "host/signalwatch.h"
#include "stationwindow/stationwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <optional>

namespace {

const QString catalog = QStringLiteral("vev-station");

// What the command line gives over the remembered set-up.
struct Given {
    std::optional<QString> plan;
    std::optional<QString> audit;
    std::optional<QString> station;
    std::optional<QString> operatorName;
    std::optional<QString> roster;
    StationSetup::Labels labels = StationSetup::Labels::None;
    QString labelDestination;
    QStringList ports;
    bool start = false;
    bool fullScreen = false;
    std::optional<Lane::SerialMode> serial;
    std::optional<QString> serialPattern;
    std::optional<int> maxAttempts;
    QString language; // empty: the system's
    std::optional<QString> instructions;
    bool ackFail = false;
};

// vev-station's options, named as vev-cli provision names them.
struct Options {
    QCommandLineOption plan {QStringLiteral("plan"), QStringLiteral("The plan, a CSV file."), QStringLiteral("PLAN.csv")};
    QCommandLineOption db {QStringLiteral("db"),
                           QStringLiteral("The plan and the audit in a PostgreSQL database several benches share, as "
                                          "vev-cli --db takes it (instead of --plan and --audit)."),
                           QStringLiteral("URI")};
    QCommandLineOption audit {QStringLiteral("audit"), QStringLiteral("The audit trail (JSON lines), appended to."),
                              QStringLiteral("AUDIT.jsonl")};
    QCommandLineOption port {QStringLiteral("port"), QStringLiteral("A serial port, one lane each; give it once per lane."),
                             QStringLiteral("PATH")};
    QCommandLineOption station {QStringLiteral("station"),
                                QStringLiteral("The station's name in the audit (default: the host name)."),
                                QStringLiteral("NAME")};
    QCommandLineOption operatorName {QStringLiteral("operator"),
                                     QStringLiteral("The operator's name, recorded on every audit line (otherwise "
                                                    "each Start asks who is at the bench)."),
                                     QStringLiteral("NAME")};
    QCommandLineOption start {QStringLiteral("start"), QStringLiteral("Start the run at once.")};
    QCommandLineOption fullScreen {QStringLiteral("fullscreen"),
                                   QStringLiteral("Fill the whole screen, as a kiosk does (otherwise the window opens "
                                                  "maximised).")};
    QCommandLineOption serial {QStringLiteral("serial"),
                               QStringLiteral("The units' serial numbers: off, optional or required (scanned into each "
                                              "lane's field)."), QStringLiteral("MODE")};
    QCommandLineOption serialPattern {QStringLiteral("serial-pattern"),
                                      QStringLiteral("A regular expression a serial must match whole."),
                                      QStringLiteral("REGEX")};
    QCommandLineOption maxAttempts {QStringLiteral("max-attempts"),
                                    QStringLiteral("A unit's attempts before it goes to rework (default 3 with serials; "
                                                   "0: no limit)."), QStringLiteral("N")};
    QCommandLineOption roster {QStringLiteral("roster"),
                               QStringLiteral("The roster (a CSV file of id, name, role and badge): operators sign in "
                                              "with their badge, and supervisors' badges release rows, change the "
                                              "set-up and start shifts."),
                               QStringLiteral("FILE")};
    QCommandLineOption language = languageOption();
    QCommandLineOption instructions {QStringLiteral("instructions"),
                                     QStringLiteral("What the tiles say to do next, in the operator's language: a text "
                                                    "file of lines \"kind = text\", one per kind of outcome (fail, "
                                                    "fail-nothing-written, pass, conflict, ...)."),
                                     QStringLiteral("FILE")};
    QCommandLineOption ackFail {QStringLiteral("ack-fail"),
                                QStringLiteral("A FAIL holds its lane until the operator acknowledges it (a click on "
                                               "the tile, Enter, or the code ACK scanned).")};
    const std::pair<QCommandLineOption, StationSetup::Labels> labels[3] = {
        {{QStringLiteral("labels"), QStringLiteral("A label for each module that passes, as a PDF in this folder."),
          QStringLiteral("DIR")}, StationSetup::Labels::Folder},
        {{QStringLiteral("label-zpl"), QStringLiteral("A label for each module that passes, as ZPL II to this printer."),
          QStringLiteral("HOST:PORT")}, StationSetup::Labels::Zpl},
        {{QStringLiteral("label-printer"), QStringLiteral("A label for each module that passes, on this CUPS printer."),
          QStringLiteral("NAME")}, StationSetup::Labels::Printer},
    };
};

// What the parsed command line gives, or nothing with *why.
std::optional<Given> givenBy(const QCommandLineParser &parser, const Options &o, QString *why)
{
    const auto value = [&parser](const QCommandLineOption &option) {
        return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
    };
    // Absolute: remembered for the next start, which may be from elsewhere.
    const auto path = [&](const QCommandLineOption &option) {
        return parser.isSet(option) ? std::optional<QString>(QFileInfo(parser.value(option)).absoluteFilePath())
                                    : std::nullopt;
    };
    if (parser.isSet(o.db) && (parser.isSet(o.plan) || parser.isSet(o.audit))) {
        *why = QStringLiteral("give --db, or --plan and --audit");
        return std::nullopt;
    }
    Given given;
    given.plan = parser.isSet(o.db) ? value(o.db) : path(o.plan);
    given.audit = path(o.audit);
    given.station = value(o.station);
    given.operatorName = value(o.operatorName);
    given.roster = path(o.roster);
    for (const auto &[name, option] : {std::pair(given.station, &o.station), std::pair(given.operatorName, &o.operatorName)}) {
        if (name && !recordName(*name, QLatin1String("--") + option->names().first(), why))
            return std::nullopt;
    }
    given.ports = parser.values(o.port);
    for (const auto &[option, kind] : o.labels) {
        if (!parser.isSet(option))
            continue;
        if (given.labels != StationSetup::Labels::None) {
            *why = QStringLiteral("labels go to one of --labels, --label-zpl and --label-printer");
            return std::nullopt;
        }
        given.labels = kind;
        given.labelDestination = kind == StationSetup::Labels::Folder ? *path(option) : parser.value(option);
    }
    given.start = parser.isSet(o.start);
    given.fullScreen = parser.isSet(o.fullScreen);
    given.language = parser.value(o.language);
    if (!languageAvailable(catalog, given.language, why))
        return std::nullopt;
    if (const auto mode = value(o.serial); mode && !(given.serial = Lane::serialModeOf(*mode, why)))
        return std::nullopt;
    given.serialPattern = value(o.serialPattern);
    if (const auto attempts = value(o.maxAttempts); attempts && !(given.maxAttempts = Lane::attemptsOf(*attempts, why)))
        return std::nullopt;
    // A bad instructions file is refused here, before any window opens.
    given.instructions = path(o.instructions);
    if (given.instructions && !Instructions::fromFile(*given.instructions, why)) {
        *why = QStringLiteral("--instructions %1: %2").arg(parser.value(o.instructions), *why);
        return std::nullopt;
    }
    given.ackFail = parser.isSet(o.ackFail);
    return given;
}

// The command line, or the exit code when it was --help, --version or bad.
std::optional<Given> readCommandLine(int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A production line's station window: a tile per serial port (lane) with PASS or FAIL in large type, the "
        "plan's progress, the last audit records and the rows in doubt. The options fill the set-up in; without "
        "them it shows the last set-up."));
    parser.addHelpOption();
    parser.addVersionOption();
    const Options options;
    parser.addOptions({options.plan, options.audit, options.db, options.port, options.station, options.operatorName,
                       options.start, options.fullScreen, options.serial, options.serialPattern, options.maxAttempts, options.roster,
                       options.language, options.instructions, options.ackFail});
    for (const auto &[option, kind] : options.labels)
        parser.addOption(option);

    QTextStream err(stderr);
    // A bad command line is a usage error, exit 2, as with vev-cli.
    *exitCode = 2;
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "vev-station: " << parser.errorText() << Qt::endl;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "vev-station: unexpected argument \"" << parser.positionalArguments().first() << "\"" << Qt::endl;
        return std::nullopt;
    }
    *exitCode = 0;
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QTextStream(stdout) << "vev-station " << QCoreApplication::applicationVersion() << Qt::endl;
        return std::nullopt;
    }
    QString why;
    const auto given = givenBy(parser, options, &why);
    if (!given) {
        err << "vev-station: " << why << Qt::endl;
        *exitCode = 2;
    }
    return given;
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before any display is reached, so that
    // --help, --version and a mistake are answered without one.
    std::optional<Given> given;
    {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vev-station"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
        int exitCode = 0;
        given = readCommandLine(&exitCode);
        if (!given)
            return exitCode;
    }

    prepareDesktopStart();
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.telvor.VevStation"));
    installTranslations(catalog, given->language);

    StationWindow window(HostEnvironment::system(), systemTonePlayer(&app));
    StationSetup setup = window.setup();
    setup.planPath = given->plan.value_or(setup.planPath);
    setup.auditPath = given->audit.value_or(setup.auditPath);
    setup.station = given->station.value_or(setup.station);
    setup.operatorName = given->operatorName.value_or(QString());
    setup.rosterPath = given->roster.value_or(setup.rosterPath);
    if (!given->ports.isEmpty())
        setup.ports = given->ports;
    setup.serial = given->serial.value_or(setup.serial);
    setup.serialPattern = given->serialPattern.value_or(setup.serialPattern);
    setup.maxAttempts = given->maxAttempts.value_or(setup.maxAttempts);
    setup.instructionsPath = given->instructions.value_or(setup.instructionsPath);
    setup.ackFail = setup.ackFail || given->ackFail;
    if (given->labels != StationSetup::Labels::None) {
        setup.labels = given->labels;
        setup.labelDestination = given->labelDestination;
    }
    window.setSetup(setup);

    // SIGTERM and SIGINT stop as Stop does, and the program ends once the
    // modules in hand are recorded; so does SIGHUP, the terminal it was
    // started from closing.
    SignalWatch stopSignals({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&stopSignals, &SignalWatch::caught, &window, &StationWindow::stopAndClose);

    if (given->fullScreen)
        window.showFullScreen();
    else
        window.showMaximized();
    if (given->start)
        QTimer::singleShot(0, &window, &StationWindow::start);
    return app.exec();
}
