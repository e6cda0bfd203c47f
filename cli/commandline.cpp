// SPDX-License-Identifier: MIT
#include "commandline.h"

#include "commandargs.h"
#include "modulechecks.h"
#include "rosterchecks.h"

#include "dbcommands.h"
#include "host/hostenvironment.h"
#include "labelcommands.h"
#include "modulecommands.h"
#include "options.h"
#include "provisioncommands.h"
#include "unitcommands.h"
#include "rostercommands.h"
#include "reportcommands.h"
#include "protocol/values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <algorithm>

namespace cli {

namespace {

// --station and --operator as the records will carry them.
std::optional<QString> nameOf(const Args &args, const QCommandLineOption &option, Refusal *refusal)
{
    QString why;
    const auto name = recordName(args.value(option), QLatin1String("--") + option.names().first(), &why);
    if (!name)
        *refusal = {ExitCode::Usage, why};
    return name;
}

// provision's lanes: their ports (each once), the reply time, --once, labels.
std::optional<Station::Options> laneOptions(const Args &args, Refusal *refusal)
{
    const QStringList ports = args.ports();
    if (ports.isEmpty())
        return refused<Station::Options>(refusal, QStringLiteral("provision needs at least one --port"));
    if (QSet<QString>(ports.begin(), ports.end()).size() != ports.size())
        return refused<Station::Options>(refusal, QStringLiteral("provision: a --port is given twice"));
    const auto timeout = timeoutOf(args, refusal);
    if (!timeout)
        return std::nullopt;
    const auto label = labelTargetOf(args, true, refusal);
    if (!label && refusal->code != ExitCode::Ok)
        return std::nullopt;
    Station::Options lanes {ports, *timeout, args.isSet(options().once), label};
    if (!unitOptions(args, &lanes, refusal))
        return std::nullopt;
    return lanes;
}

// The plan and audit files every production-line command on files takes.
std::optional<StoreSetup> fileStore(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    if (!args.isSet(o.plan) || !args.isSet(o.audit))
        return refused<StoreSetup>(refusal, args.command + QStringLiteral(" needs --plan and --audit"));
    const auto station = nameOf(args, o.station, refusal);
    const auto operatorName = station ? nameOf(args, o.operatorName, refusal) : std::nullopt;
    if (!operatorName)
        return std::nullopt;
    // The store takes the host name when no station is given.
    return StoreSetup {args.value(o.plan), args.value(o.audit), *station, *operatorName, args.isSet(o.force), true, {}};
}

// --db: the same commands on a database several stations share.
Run databaseRun(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    QString error;
    const auto uri = DatabaseUri::parse(args.value(o.db), &error);
    if (!uri)
        return refuse(refusal, error);
    if (args.isSet(o.plan) || args.isSet(o.audit))
        return refuse(refusal, QStringLiteral("--db takes the place of --plan and --audit"));
    DatabaseRequest request;
    request.uri = *uri;
    request.text = args.value(o.db);
    request.command = args.command;
    request.file = args.files.value(0);
    if (args.command == QLatin1String("rework"))
        request.rework = reworkOf(args, refusal).value_or(ReworkRecord());
    const auto station = nameOf(args, o.station, refusal);
    const auto operatorName = station ? nameOf(args, o.operatorName, refusal) : std::nullopt;
    if (!operatorName)
        return {};
    request.station = args.isSet(o.station) ? *station : QSysInfo::machineHostName();
    request.operatorName = *operatorName;
    request.force = args.isSet(o.force);
    request.json = args.isSet(o.json);
    request.lastHash = args.value(o.last);
    request.stationRole = args.value(o.stationRole);
    if (request.command == QLatin1String("plan release")) {
        const auto row = rowOf(args, QStringLiteral("plan release needs --row N, a plan row from 1"), refusal);
        if (!row)
            return {};
        request.row = *row;
    }
    if (request.command == QLatin1String("provision")) {
        if (request.force)
            return refuse(refusal, QStringLiteral("with --db, --force belongs to plan import, where the plan is checked"));
        const auto lanes = laneOptions(args, refusal);
        if (!lanes)
            return {};
        request.lanes = *lanes;
        if (args.isSet(o.acceptAuditFrom)) {
            const auto match = QRegularExpression(QStringLiteral("^(0|[1-9][0-9]{0,17}):([0-9a-f]{64})$"))
                                   .match(args.value(o.acceptAuditFrom));
            if (!match.hasMatch()) {
                return refuse(refusal, QStringLiteral("--accept-audit-from takes SEQ:HASH, a line's number and its hash "
                                                      "as audit-verify --db prints them, not \"%1\"")
                                           .arg(printable(args.value(o.acceptAuditFrom))));
            }
            request.acceptFrom = AuditMark {match.captured(1).toLongLong(), match.captured(2).toLatin1()};
        }
    }
    if (request.command == QLatin1String("shift start"))
        request.shiftName = args.value(o.name);
    if (request.command == QLatin1String("provision") || rightOf(request.command))
        return signedDatabaseRun(args, request, refusal);
    return databaseCommand(request);
}

// --- The commands ---------------------------------------------------------------

Run provisionCheck(const Args &args, Refusal *refusal)
{
    if (args.isSet(options().db))
        return databaseRun(args, refusal);
    if (args.isSet(options().acceptAuditFrom))
        return refuse(refusal, QStringLiteral("--accept-audit-from is for a station on a database (--db)"));
    const auto store = fileStore(args, refusal);
    const auto lanes = store ? laneOptions(args, refusal) : std::nullopt;
    const auto signing = lanes ? signInOf(args, std::nullopt, refusal) : std::nullopt;
    if (!signing)
        return {};
    return [store = *store, lanes = *lanes, signing = *signing](const Done &done) {
        signIn(signing, done, [store, lanes, done](const std::optional<Signer> &who) {
            runProvision(signedSetup(store, who), lanes, done);
        });
    };
}

Run planStatusCheck(const Args &args, Refusal *refusal)
{
    if (args.isSet(options().db))
        return databaseRun(args, refusal);
    const auto store = fileStore(args, refusal);
    if (!store)
        return {};
    const bool json = args.isSet(options().json);
    return [store = *store, json](const Done &done) { runPlanStatus(store, json, done); };
}

Run planReleaseCheck(const Args &args, Refusal *refusal)
{
    if (args.isSet(options().db))
        return databaseRun(args, refusal);
    const auto store = fileStore(args, refusal);
    const auto row = store ? rowOf(args, QStringLiteral("plan release needs --row N, a plan row from 1"), refusal)
                           : std::nullopt;
    const auto signing = row ? signInOf(args, SupervisorRight::Release, refusal) : std::nullopt;
    if (!signing)
        return {};
    return [store = *store, row = *row, signing = *signing](const Done &done) {
        signIn(signing, done, [store, row, done](const std::optional<Signer> &who) {
            runPlanRelease(signedSetup(store, who), row, who.value_or(Signer {}), done);
        });
    };
}

// A shift line in the audit; with a roster, a supervisor's badge.
Run shiftStartCheck(const Args &args, Refusal *refusal)
{
    QString why;
    if (!recordName(args.value(options().name), QStringLiteral("--name"), &why))
        return refuse(refusal, why);
    if (args.isSet(options().db))
        return databaseRun(args, refusal);
    const auto store = fileStore(args, refusal);
    const auto signing = store ? signInOf(args, SupervisorRight::NewShift, refusal) : std::nullopt;
    if (!signing)
        return {};
    const QString name = *recordName(args.value(options().name), {}, &why);
    return [store = *store, name, signing = *signing](const Done &done) {
        signIn(signing, done, [store, name, done](const std::optional<Signer> &who) {
            runShiftStart(signedSetup(store, who), name, done);
        });
    };
}


// Commands that work on a database alone.
Run databaseOnlyCheck(const Args &args, Refusal *refusal)
{
    if (!args.isSet(options().db)) {
        return refuse(refusal, QStringLiteral("%1 works on a database several stations share: give --db URI")
                                   .arg(args.command));
    }
    return databaseRun(args, refusal);
}

Run reworkCheck(const Args &args, Refusal *refusal)
{
    const auto rework = reworkOf(args, refusal);
    if (!rework)
        return {};
    if (args.isSet(options().db))
        return databaseRun(args, refusal);
    const auto store = fileStore(args, refusal);
    if (!store)
        return {};
    return [store = *store, rework = *rework](const Done &done) { runRework(store, rework, done); };
}

Run databaseInitCheck(const Args &args, Refusal *refusal)
{
    if (!args.isSet(options().stationRole) || args.value(options().stationRole).isEmpty())
        return refuse(refusal, QStringLiteral("db init needs --station-role, the role the stations log in as"));
    return databaseOnlyCheck(args, refusal);
}

Run auditImportCheck(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    if (args.isSet(o.db))
        return databaseRun(args, refusal);
    if (!args.isSet(o.plan) || !args.isSet(o.audit))
        return refuse(refusal, QStringLiteral("audit import needs --plan and --audit, or --db URI"));
    // The records carry their own station and operator.
    const StoreSetup store {args.value(o.plan), args.value(o.audit), {}, {}, false, true, {}};
    return [store, file = args.files.first()](const Done &done) { runAuditImport(store, file, done); };
}

Run auditVerifyCheck(const Args &args, Refusal *refusal)
{
    if (args.isSet(options().db)) {
        if (!args.files.isEmpty())
            return refuse(refusal, QStringLiteral("audit-verify takes the audit file or --db, not both"));
        return databaseRun(args, refusal);
    }
    if (args.files.size() != 1)
        return refuse(refusal, QStringLiteral("audit-verify needs the audit file"));
    const QString path = args.files.first();
    const QString last = args.value(options().last);
    return [path, last](const Done &done) { done(runAuditVerify(path, last)); };
}

Run reportCheck(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    ReportRequest request;
    if (args.isSet(o.db)) {
        if (args.isSet(o.plan) || args.isSet(o.audit))
            return refuse(refusal, QStringLiteral("--db takes the place of --plan and --audit"));
        QString error;
        if (!DatabaseUri::parse(args.value(o.db), &error))
            return refuse(refusal, error);
        request.store = StoreSetup {args.value(o.db), {}, QSysInfo::machineHostName(), {}, false, false, QDir::currentPath()};
    } else {
        if (!args.isSet(o.plan) || !args.isSet(o.audit))
            return refuse(refusal, QStringLiteral("report needs --plan and --audit, or --db URI"));
        request.store = StoreSetup {args.value(o.plan), args.value(o.audit), {}, {}, false, false, {}};
    }
    const std::pair<const QCommandLineOption &, std::optional<qint64> &> times[] = {
        {o.from, request.options.from}, {o.toTime, request.options.to}};
    for (const auto &[option, time] : times) {
        if (!args.isSet(option))
            continue;
        time = report::parseTime(args.value(option));
        if (!time) {
            return refuse(refusal, QStringLiteral("--%1 takes a time as ISO 8601 (2026-12-08T06:00:00Z, or a date), "
                                                  "not \"%2\"").arg(option.names().first(), printable(args.value(option))));
        }
    }
    if (request.options.from && request.options.to && *request.options.to <= *request.options.from)
        return refuse(refusal, QStringLiteral("--to must come after --from"));
    if (args.isSet(o.station))
        request.options.station = args.value(o.station);
    if (args.isSet(o.shift)) {
        QString why;
        const auto shifts = report::parseShifts(args.value(o.shift), &why);
        if (!shifts)
            return refuse(refusal, why);
        request.options.shifts = *shifts;
    }
    const int formats = int(args.isSet(o.json)) + int(args.isSet(o.csv)) + int(args.isSet(o.html));
    if (formats > 1)
        return refuse(refusal, QStringLiteral("report takes one of --json, --csv and --html FILE"));
    if (args.isSet(o.json))
        request.format = ReportRequest::Json;
    if (args.isSet(o.csv))
        request.format = ReportRequest::Csv;
    if (args.isSet(o.html)) {
        request.format = ReportRequest::Html;
        request.htmlFile = args.value(o.html);
        if (request.htmlFile.isEmpty())
            return refuse(refusal, QStringLiteral("--html needs a file"));
    }
    return [request](const Done &done) { runReport(request, done); };
}

using Check = Run (*)(const Args &args, Refusal *refusal);

struct Command {
    QString name;
    QList<QCommandLineOption> options;
    int files; // the files it names after its name: 0, 1, or -1 for at most one
    Check check;
};

const QList<Command> &commandTable()
{
    const Options &o = options();
    const QList<QCommandLineOption> labelOut {o.labelSize, o.dpi};
    static const QList<Command> table = {
        {QStringLiteral("read"), {o.port, o.timeout, o.json}, 0, readCheck},
        {QStringLiteral("write"), {o.port, o.timeout, o.ip, o.gateway, o.tcpPort, o.mac, o.autoValues, o.from, o.force,
                                   o.noVerify}, 0, writeCheck},
        {QStringLiteral("list"), {}, 0, listCheck},
        {QStringLiteral("find"), {o.port, o.timeout}, 0, findCheck},
        {QStringLiteral("provision"), QList<QCommandLineOption> {o.plan, o.audit, o.db, o.port, o.timeout, o.once,
                                                                 o.station, o.operatorName, o.force, o.labels, o.labelZpl,
                                                                 o.labelPrinter, o.acceptAuditFrom, o.serial,
                                                                 o.serialPattern, o.scanner, o.maxAttempts, o.labelQr,
                                                                 o.roster, o.badgeFile}
                                          + labelOut, 0, provisionCheck},
        {QStringLiteral("plan status"), {o.plan, o.audit, o.db, o.json}, 0, planStatusCheck},
        {QStringLiteral("plan release"), {o.plan, o.audit, o.db, o.row, o.station, o.operatorName, o.roster, o.badgeFile}, 0,
         planReleaseCheck},
        {QStringLiteral("plan import"), {o.db, o.force}, 1, databaseOnlyCheck},
        {QStringLiteral("label"), QList<QCommandLineOption> {o.pdf, o.labels, o.zpl, o.printer, o.ip, o.gateway, o.tcpPort,
                                                             o.mac, o.row, o.force, o.audit, o.db, o.serial, o.labelQr}
                                      + labelOut, 0, labelCheck},
        {QStringLiteral("audit export"), {o.db}, 0, databaseOnlyCheck},
        {QStringLiteral("audit import"), {o.plan, o.audit, o.db}, 1, auditImportCheck},
        {QStringLiteral("audit-verify"), {o.db, o.last}, -1, auditVerifyCheck},
        {QStringLiteral("db init"), {o.db, o.stationRole}, 0, databaseInitCheck},
        {QStringLiteral("rework"), {o.plan, o.audit, o.db, o.serial, o.mac, o.code, o.note, o.station, o.operatorName}, 0,
         reworkCheck},
        // The roster and shifts.
        {QStringLiteral("shift start"), {o.plan, o.audit, o.db, o.station, o.operatorName, o.name, o.roster, o.badgeFile},
         0, shiftStartCheck},
        {QStringLiteral("operator add"), {o.db, o.personId, o.name, o.role, o.badgeFile}, 0, operatorCheck},
        {QStringLiteral("operator remove"), {o.db, o.personId}, 0, operatorCheck},
        {QStringLiteral("operator list"), {o.db, o.roster}, 0, operatorCheck},
        {QStringLiteral("report"), {o.plan, o.audit, o.db, o.from, o.toTime, o.shift, o.station, o.json, o.csv, o.html}, 0,
                                   reportCheck},
    };
    return table;
}

const Command *findCommand(const QStringList &words, int *used)
{
    for (const int count : {2, 1}) {
        const QString name = words.mid(0, count).join(QLatin1Char(' '));
        for (const Command &command : commandTable()) {
            if (words.size() >= count && command.name == name) {
                *used = count;
                return &command;
            }
        }
    }
    return nullptr;
}

QString commandList()
{
    QStringList names = commandNames();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// The second stage: the command's own options, its files, its check.
Parsed parseCommand(const QStringList &arguments, const Command &command, int words)
{
    Parsed parsed;
    parsed.command = command.name;
    const auto refusal = [&parsed](const QString &why) {
        parsed.code = ExitCode::Usage;
        parsed.error = why;
        return parsed;
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("vev-cli %1: the options it takes (vev-cli --help describes every "
                                                    "command).").arg(command.name));
    parser.addHelpOption();
    parser.addOptions(command.options);
    if (!parser.parse(arguments)) {
        // An option of another command, or of none.
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString dashes = unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
            return refusal(QStringLiteral("%1 does not take %2%3 (see vev-cli %1 --help)")
                               .arg(command.name, dashes, printable(unknown.first())));
        }
        return refusal(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parsed.printed = parser.helpText();
        return parsed;
    }
    const QStringList files = parser.positionalArguments().mid(words);
    const int allowed = command.files < 0 ? 1 : command.files;
    if (files.size() > allowed || (command.files > 0 && files.size() < command.files)) {
        return refusal(command.files > 0 ? QStringLiteral("%1 needs one file").arg(command.name)
                                         : QStringLiteral("%1 takes no further argument \"%2\" (see vev-cli %1 --help)")
                                               .arg(command.name, printable(files.value(allowed))));
    }
    Refusal refused;
    parsed.run = command.check(Args {command.name, parser, files, command.options}, &refused);
    if (!parsed.run) {
        parsed.code = refused.code == ExitCode::Ok ? ExitCode::Usage : refused.code;
        parsed.error = refused.why;
    }
    return parsed;
}

} // namespace

QStringList commandNames()
{
    QStringList names;
    for (const Command &command : commandTable())
        names << command.name;
    return names;
}

Parsed parseCommandLine(const QStringList &arguments)
{
    // The first stage knows every option, so that their values are not
    // taken for the command's name.
    QCommandLineParser all;
    all.setApplicationDescription(programDescription());
    const QCommandLineOption help = all.addHelpOption();
    const QCommandLineOption version = all.addVersionOption();
    all.addOptions(options().all());
    all.addPositionalArgument(QStringLiteral("command"), commandList());
    const bool understood = all.parse(arguments);

    int words = 0;
    const QStringList positional = all.positionalArguments();
    if (const Command *command = findCommand(positional, &words))
        return parseCommand(arguments, *command, words);

    Parsed parsed;
    if (all.isSet(help) && positional.isEmpty()) {
        parsed.printed = all.helpText();
        return parsed;
    }
    if (all.isSet(version) && positional.isEmpty()) {
        parsed.printed = QStringLiteral("vev-cli %1\n").arg(QCoreApplication::applicationVersion());
        return parsed;
    }
    parsed.code = ExitCode::Usage;
    if (!understood)
        parsed.error = all.errorText();
    else if (positional.isEmpty())
        parsed.error = QStringLiteral("give one command: %1 (see --help)").arg(commandList());
    else
        parsed.error = QStringLiteral("unknown command \"%1\" (%2)").arg(printable(positional.join(QLatin1Char(' '))),
                                                                         commandList());
    return parsed;
}

} // namespace cli
