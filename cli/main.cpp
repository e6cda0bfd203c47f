// SPDX-License-Identifier: MIT
// vev-cli: read, write and find VeV-Idire gateway modules from scripts, and
// provision them on a production line.

#include "dbcommands.h"
#include "host/hostenvironment.h"
#include "labelcommands.h"
#include "modulecommands.h"
#include "provisioncommands.h"
#include "protocol/values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>
#include <QSysInfo>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <utility>

using namespace cli;

namespace {

const char *const description = R"text(Reads and writes the Ethernet settings of VeV-Idire gateway modules over a serial line (9600 8N1).

Commands:
  read      Print the module's IP address, gateway, TCP port and MAC address
            as soon as all four have come. Settings the module leaves out are
            shown as "(not reported)", or as null with --json.
  write     Send the settings given (--ip, --gateway, --tcp-port, --mac, --auto
            or --from) in the order IP, gateway, port, MAC, each once the one
            before is acknowledged (at most one second apart), then read the
            four settings back and compare. One line per setting: acknowledged
            or not, and verified or what reads back instead.
  list      List the serial ports that no program holds open.
  find      Ask each free port (and each --port) at once for its IP address and
            list those where a module answers.
  provision A production line: --plan PLAN.csv --audit AUDIT.jsonl --port P
            [--port P2 ...] [--once] [--station NAME] [--operator NAME]
            [--force]. Each --port is a lane, and the lanes run at once: a lane
            waits until a module answers, reads it, and gives it the next open
            row of the plan; before the first byte goes to the module it
            records a claim (the row, the port, the module's settings before)
            in the audit; then it writes the row, reads it back, records the
            outcome, prints PASS or FAIL, and waits until the module is taken
            off (no answer for --timeout) or another module answers. A
            module's identity is its MAC address. A module whose IP or MAC
            address is that of a row the audit records as passed gets nothing
            (take it off; with --once, exit 11). A row claimed without an
            outcome (a run that died) or that failed is in doubt: it goes to
            no other module; the module that carries it (its IP or MAC is the
            row's) gets it finished when it is put on a lane again, or the
            operator hands it back with plan release. A row counts as done
            when the audit records its IP and MAC as passed, whatever its line
            in the plan. The plan is a CSV file with the header
            ip,gateway,tcp_port,mac (any order and case; ";" separators
            taken), checked whole before anything is sent, by the rules of
            write (--force as for write). One run holds the plan and the audit
            (lock files beside them; a second run is refused, exit 12). The
            audit gets one JSON line per claim, outcome and release, chained
            by SHA-256; a re-run resumes. --once handles one module per lane.
            Ctrl-C, SIGTERM and SIGHUP finish the modules in hand, then stop.
            With --labels DIR, --label-zpl HOST:PORT or --label-printer NAME
            (and --label-size, --dpi) each module that passes gets a label,
            printed while the lanes go on; a failed module gets none. The
            audit gets a label line after the module's outcome: printed, or
            why not. A label that is not printed leaves the module's result
            as it is: its lane says so, the run ends with exit 13, and
            vev-cli label --audit reprints it. The run's end waits up to 30 s
            for labels still printing. The label's size and the folder or
            printer are checked before anything is sent.
  plan status --plan PLAN.csv --audit AUDIT.jsonl [--json]
            Rows by state (open, claimed, passed, failed), the rows in doubt
            with the module's settings before, and who holds the lock.
  plan release --plan PLAN.csv --audit AUDIT.jsonl --row N [--operator NAME]
            Hand a row in doubt back to the plan once its module has been
            dealt with; recorded in the audit.
  label     Print a module's label to one of --pdf FILE, --labels DIR (the
            file named after the MAC address, 020000001001.pdf, replaced by a
            reprint), --zpl HOST:PORT (ZPL II to a label printer's raw port)
            or --printer NAME (CUPS), at --label-size WxH mm (default 62x29)
            for a printer of --dpi 203 or 300. The label shows the MAC and IP
            address, gateway, TCP port, plan row and today's date, and a QR
            code holding the MAC address alone. From values: --ip, --gateway,
            --tcp-port and --mac (checked as write checks them; --row adds
            the row). Reprinted from an audit: --audit AUDIT.jsonl (or --db
            URI) with --row N or --mac M, from the module's last passed
            outcome (exit 14 if there is none; exit 10 if the audit does not
            check out). Labels are drawn by a helper on Qt's offscreen
            platform: no display is needed, and the other commands load no
            GUI library.
  audit-verify AUDIT.jsonl [--last HASH]
            Check every record and the audit's chain and print the count and
            the hash of the last line, or name the first line that was
            changed, removed, inserted or is malformed. With --last, also
            check that the audit ends at that hash (a copy kept elsewhere
            catches a rewritten chain).

Several benches share one plan through a PostgreSQL database: --db URI takes
the place of --plan and --audit (URI: postgresql://[user@][host][:port]/dbname
[?host=/socket/dir&port=N]; give the password in PGPASSWORD or ~/.pgpass).
  plan import --db URI PLAN.csv [--force]
            Check the plan whole, and against every row already in the
            database (no IP or MAC address twice), and add it in one
            transaction after those rows, or nothing.
  provision --db URI --station NAME --port P [--port P2 ...]
            As with files; the rows come from the database, claimed by one
            lane at a time whatever the number of stations. Two running
            stations with one name are refused (exit 12). While the database
            cannot be reached, the lanes claim nothing new and keep retrying
            the outcome in hand; a run stopped meanwhile keeps it in a file it
            names, for audit import.
  plan status --db URI [--json], plan release --db URI --row N
            As with files, and rows by station and passed per hour.
  audit export --db URI
            The audit as JSON lines on stdout, as a file would hold it.
  audit import --db URI FILE
            Add the records a stopped run kept in FILE.
  audit-verify --db URI [--last HASH]
            Check the audit in place, as audit-verify checks a file.

Before anything is sent, write refuses values no device can use: malformed
values, addresses in 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4 or 240.0.0.0/4, an IP
address equal to the gateway, MAC addresses that are all zeros, all ones or
have the group bit set; and an IP address ending in .0 or .255 unless --force.

Exit codes:
)text";

// Settings files are a few hundred bytes; anything larger is not one.
constexpr qint64 largestSettingsFile = 64 * 1024;

struct Options {
    QCommandLineOption port {QStringLiteral("port"),
        QStringLiteral("Serial port: a name the system lists (ttyUSB0) or a device path. With find, extra ports to "
                       "ask; with provision, one lane each."), QStringLiteral("PATH")};
    QCommandLineOption timeout {QStringLiteral("timeout"),
        QStringLiteral("How long to wait for the module's answer (default 3000); an answer under way is let finish. "
                       "provision: also how long a silent line means the module was taken off."),
        QStringLiteral("MS"), QStringLiteral("3000")};
    QCommandLineOption json {QStringLiteral("json"),
        QStringLiteral("read: print the settings as JSON, in the form write --from takes; plan status: as JSON.")};
    QCommandLineOption ip {QStringLiteral("ip"), QStringLiteral("write, label: the IP address."), QStringLiteral("A")};
    QCommandLineOption gateway {QStringLiteral("gateway"), QStringLiteral("write, label: the gateway address."),
                                QStringLiteral("G")};
    QCommandLineOption tcpPort {QStringLiteral("tcp-port"), QStringLiteral("write, label: the TCP port, 0-65535."),
                                QStringLiteral("N")};
    QCommandLineOption mac {QStringLiteral("mac"),
        QStringLiteral("write, label: the MAC address, 12 hex digits, bare or in pairs joined by : or -."),
        QStringLiteral("M")};
    QCommandLineOption autoValues {QStringLiteral("auto"),
        QStringLiteral("write: IP and gateway from this computer's routed address (last number + 1, and its router).")};
    QCommandLineOption from {QStringLiteral("from"),
        QStringLiteral("write: take the settings from a JSON file as read --json prints it; options given as well win."),
        QStringLiteral("FILE")};
    QCommandLineOption force {QStringLiteral("force"),
        QStringLiteral("write, provision, label: allow an IP address ending in .0 or .255 (on a network larger than "
                       "a /24).")};
    QCommandLineOption noVerify {QStringLiteral("no-verify"),
                                 QStringLiteral("write: do not read the settings back after writing them.")};
    QCommandLineOption plan {QStringLiteral("plan"), QStringLiteral("provision, plan: the plan, a CSV file."),
                             QStringLiteral("PLAN.csv")};
    QCommandLineOption audit {QStringLiteral("audit"),
        QStringLiteral("provision, plan: the audit trail, appended to (JSON lines); label: reprint from it."),
        QStringLiteral("AUDIT.jsonl")};
    QCommandLineOption once {QStringLiteral("once"),
        QStringLiteral("provision: one module per lane, then exit (3 if a lane saw none within --timeout).")};
    QCommandLineOption station {QStringLiteral("station"),
        QStringLiteral("provision, plan release: the station's name in the audit (default: the host name)."),
        QStringLiteral("NAME")};
    QCommandLineOption operatorName {QStringLiteral("operator"),
        QStringLiteral("provision, plan release: the operator's name, recorded on every audit line."),
        QStringLiteral("NAME")};
    QCommandLineOption row {QStringLiteral("row"),
        QStringLiteral("plan release: the plan row to hand back; label: the row on the label, or to reprint."),
        QStringLiteral("N")};
    QCommandLineOption last {QStringLiteral("last"),
        QStringLiteral("audit-verify: the hash the audit must end at (as audit-verify printed it)."),
        QStringLiteral("HASH")};
    QCommandLineOption db {QStringLiteral("db"),
        QStringLiteral("provision, plan, audit, audit-verify: the plan and audit in a PostgreSQL database that "
                       "several stations share, in place of --plan and --audit."), QStringLiteral("URI")};

    QCommandLineOption pdf {QStringLiteral("pdf"),
        QStringLiteral("label: a PDF of the label's size (replaced only once whole)."), QStringLiteral("FILE")};
    QCommandLineOption zpl {QStringLiteral("zpl"),
        QStringLiteral("label: ZPL II to a label printer's raw TCP port (usually 9100)."), QStringLiteral("HOST:PORT")};
    QCommandLineOption printer {QStringLiteral("printer"),
        QStringLiteral("label: a CUPS printer (lpstat -p lists them)."), QStringLiteral("NAME")};
    QCommandLineOption labels {QStringLiteral("labels"),
        QStringLiteral("provision, label: a PDF a module in this folder, named after its MAC address."),
        QStringLiteral("DIR")};
    QCommandLineOption labelZpl {QStringLiteral("label-zpl"),
        QStringLiteral("provision: a label for each module that passes, as ZPL II to this printer."),
        QStringLiteral("HOST:PORT")};
    QCommandLineOption labelPrinter {QStringLiteral("label-printer"),
        QStringLiteral("provision: a label for each module that passes, on this CUPS printer."), QStringLiteral("NAME")};
    QCommandLineOption labelSize {QStringLiteral("label-size"),
        QStringLiteral("label, provision: width x height in millimetres (default 62x29); a size too small for the "
                       "code and text is refused."), QStringLiteral("WxH"), QStringLiteral("62x29")};
    QCommandLineOption dpi {QStringLiteral("dpi"),
        QStringLiteral("label, provision: the label printer's resolution, 203 or 300 (default 203)."),
        QStringLiteral("DPI"), QString::number(defaultLabelDpi)};

    QList<QCommandLineOption> all() const
    {
        return {port, timeout, json, ip, gateway, tcpPort, mac, autoValues, from, force, noVerify, plan, audit,
                once, station, operatorName, row, last, pdf, zpl, printer, labels, labelZpl, labelPrinter,
                labelSize, dpi, db};
    }
};

// The settings write is to send, from --from, --auto and the value options.
std::optional<SettingValues> writeValues(const QCommandLineParser &parser, const Options &options, ExitCode *code)
{
    SettingValues values;
    if (parser.isSet(options.from)) {
        QString error;
        const auto fromFile = readSettingsFile(parser.value(options.from), &error, largestSettingsFile);
        if (!fromFile) {
            *code = fail(ExitCode::Failure, error);
            return std::nullopt;
        }
        values = *fromFile;
    }
    if (parser.isSet(options.autoValues)) {
        if (parser.isSet(options.ip) || parser.isSet(options.gateway)) {
            *code = fail(ExitCode::Usage, QStringLiteral("--auto derives --ip and --gateway; give one or the other"));
            return std::nullopt;
        }
        // Like the window: the address of the interface the computer routes
        // by, and that route's gateway.
        const HostEnvironment host = HostEnvironment::system();
        const auto source = chooseAutoSource(host, localIpv4Addresses(host, host.localHostName()));
        const AutoAddress derived = source ? deriveAutoAddress(source->ip, source->gateway)
                                           : deriveAutoAddress(QString(), QString());
        if (!derived.error.isEmpty()) {
            *code = fail(ExitCode::Usage, QStringLiteral("--auto: ") + derived.error);
            return std::nullopt;
        }
        valueOf(values, Setting::IpAddress) = derived.ip;
        valueOf(values, Setting::Gateway) = derived.gateway;
    }
    const std::pair<const QCommandLineOption &, Setting> given[] = {
        {options.ip, Setting::IpAddress}, {options.gateway, Setting::Gateway},
        {options.tcpPort, Setting::Port}, {options.mac, Setting::MacAddress}};
    for (const auto &[option, setting] : given) {
        if (parser.isSet(option))
            valueOf(values, setting) = parser.value(option);
    }
    if (std::none_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); })) {
        *code = fail(ExitCode::Usage,
                     QStringLiteral("write needs at least one of --ip, --gateway, --tcp-port, --mac, --auto, --from"));
        return std::nullopt;
    }
    if (const auto refusal = refuseToWrite(values, parser.isSet(options.force))) {
        *code = fail(ExitCode::Usage, *refusal + QStringLiteral("; nothing was sent"));
        return std::nullopt;
    }
    return values;
}

// The plan and audit options every production-line command takes.
std::optional<StoreSetup> storeOptions(const QCommandLineParser &parser, const Options &options, const QString &command,
                                       ExitCode *code)
{
    if (!parser.isSet(options.plan) || !parser.isSet(options.audit)) {
        *code = fail(ExitCode::Usage, command + QStringLiteral(" needs --plan and --audit"));
        return std::nullopt;
    }
    StoreSetup store;
    store.plan = parser.value(options.plan);
    store.audit = parser.value(options.audit);
    store.station = parser.value(options.station); // the store takes the host name when none is given
    store.operatorName = parser.value(options.operatorName);
    store.force = parser.isSet(options.force);
    return store;
}

// Where labels go: label takes --pdf, --labels, --zpl or --printer;
// provision --labels, --label-zpl or --label-printer, or none for no labels.
std::optional<LabelTarget> labelTargetOption(const QCommandLineParser &parser, const Options &options, bool provision,
                                             ExitCode *code)
{
    const auto given = [&parser](const QCommandLineOption &option) {
        return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
    };
    LabelTargetOptions target;
    target.folder = given(options.labels);
    target.zpl = given(provision ? options.labelZpl : options.zpl);
    target.printer = given(provision ? options.labelPrinter : options.printer);
    if (!provision)
        target.pdf = given(options.pdf);
    target.size = parser.value(options.labelSize);
    target.dpi = parser.value(options.dpi);
    const QList<QCommandLineOption> others = provision ? QList<QCommandLineOption> {options.pdf, options.zpl, options.printer}
                                                       : QList<QCommandLineOption> {options.labelZpl, options.labelPrinter};
    const int count = int(bool(target.folder)) + int(bool(target.zpl)) + int(bool(target.printer)) + int(bool(target.pdf));
    const bool stray = std::any_of(others.begin(), others.end(), [&parser](const auto &o) { return parser.isSet(o); });
    if (provision && count == 0 && !stray) {
        if (parser.isSet(options.labelSize) || parser.isSet(options.dpi))
            *code = fail(ExitCode::Usage, QStringLiteral("--label-size and --dpi go with --labels, --label-zpl or "
                                                         "--label-printer"));
        return std::nullopt;
    }
    if (count != 1 || stray) {
        *code = fail(ExitCode::Usage, provision ? QStringLiteral("provision prints labels to one of --labels DIR, "
                                                                 "--label-zpl HOST:PORT and --label-printer NAME")
                                                : QStringLiteral("label needs one of --pdf FILE, --labels DIR, "
                                                                 "--zpl HOST:PORT and --printer NAME"));
        return std::nullopt;
    }
    QString error;
    const auto resolved = labelTarget(target, &error);
    if (!resolved)
        *code = fail(ExitCode::Usage, printable(error) + QStringLiteral("; nothing was sent"));
    return resolved;
}

// The label command: its target, and the module from values or an audit.
std::function<void(const Done &)> labelCommand(const QCommandLineParser &parser, const Options &options,
                                               ExitCode *code)
{
    const auto target = labelTargetOption(parser, options, false, code);
    if (!target)
        return {};
    const auto usage = [code](const QString &message) {
        *code = fail(ExitCode::Usage, message + QStringLiteral("; nothing was printed"));
        return std::function<void(const Done &)>();
    };
    std::optional<int> row;
    if (parser.isSet(options.row)) {
        bool ok = false;
        row = parser.value(options.row).toInt(&ok);
        if (!ok || *row < 1)
            return usage(QStringLiteral("--row needs a plan row, 1 or more, not \"%1\"")
                             .arg(printable(parser.value(options.row))));
    }
    if (parser.isSet(options.audit) || parser.isSet(options.db)) {
        if (parser.isSet(options.ip) || parser.isSet(options.gateway) || parser.isSet(options.tcpPort)
            || row.has_value() == parser.isSet(options.mac) || parser.isSet(options.audit) == parser.isSet(options.db))
            return usage(QStringLiteral("label --audit (or --db) takes --row N or --mac M, and no other values"));
        ModuleKey key {row.value_or(0), parser.value(options.mac)};
        if (!row && !isValidValue(Setting::MacAddress, key.mac))
            return usage(QStringLiteral("--mac \"%1\" is not a MAC address").arg(printable(key.mac)));
        AuditSource audit {parser.value(options.audit), {}};
        if (parser.isSet(options.db)) {
            QString error;
            if (!DatabaseUri::parse(parser.value(options.db), &error))
                return usage(error);
            audit.database = parser.value(options.db);
        }
        return [audit, key, target](const Done &done) { runLabelFromAudit(audit, key, *target, done); };
    }
    LabelJob job;
    const std::pair<const QCommandLineOption &, Setting> given[] = {
        {options.ip, Setting::IpAddress}, {options.gateway, Setting::Gateway},
        {options.tcpPort, Setting::Port}, {options.mac, Setting::MacAddress}};
    for (const auto &[option, setting] : given) {
        if (!parser.isSet(option))
            return usage(QStringLiteral("label needs --ip, --gateway, --tcp-port and --mac, or --audit"));
        valueOf(job.values, setting) = parser.value(option);
    }
    job.row = row;
    job.force = parser.isSet(options.force);
    job.target = *target;
    return [job](const Done &done) { runLabel(job, done); };
}

// The lanes of provision: the ports, each once.
std::optional<QStringList> lanePorts(const QCommandLineParser &parser, const Options &options, ExitCode *code)
{
    const QStringList ports = parser.values(options.port);
    if (ports.isEmpty())
        *code = fail(ExitCode::Usage, QStringLiteral("provision needs at least one --port"));
    else if (QSet<QString>(ports.begin(), ports.end()).size() != ports.size())
        *code = fail(ExitCode::Usage, QStringLiteral("provision: a --port is given twice"));
    else
        return ports;
    return std::nullopt;
}

std::optional<std::chrono::milliseconds> timeoutOption(const QCommandLineParser &parser, const Options &options,
                                                       ExitCode *code)
{
    bool ok = false;
    const int ms = parser.value(options.timeout).toInt(&ok);
    if (ok && ms >= 0)
        return std::chrono::milliseconds(ms);
    *code = fail(ExitCode::Usage, QStringLiteral("--timeout needs a number of milliseconds, not \"%1\"")
                                      .arg(printable(parser.value(options.timeout))));
    return std::nullopt;
}

// provision's lanes: their ports, the reply time, --once, where labels go.
std::optional<Station::Options> laneOptions(const QCommandLineParser &parser, const Options &options, ExitCode *code)
{
    const auto ports = lanePorts(parser, options, code);
    const auto timeout = ports ? timeoutOption(parser, options, code) : std::nullopt;
    if (!timeout)
        return std::nullopt;
    const auto label = labelTargetOption(parser, options, true, code);
    if (!label && *code != ExitCode::Ok)
        return std::nullopt;
    return Station::Options {*ports, *timeout, parser.isSet(options.once), label};
}

// The row plan release hands back.
std::optional<int> releaseRow(const QCommandLineParser &parser, const Options &options, ExitCode *code)
{
    bool ok = false;
    const int row = parser.value(options.row).toInt(&ok);
    if (ok && row >= 1)
        return row;
    *code = fail(ExitCode::Usage, QStringLiteral("plan release needs --row N, a plan row from 1"));
    return std::nullopt;
}

// --db: the production line on a database several stations share.
std::function<void(const Done &)> databaseRun(const QCommandLineParser &parser, const Options &options, ExitCode *code)
{
    const auto refuse = [code](const QString &why) {
        *code = fail(ExitCode::Usage, why);
        return std::function<void(const Done &)>();
    };
    QString error;
    const auto uri = DatabaseUri::parse(parser.value(options.db), &error);
    if (!uri)
        return refuse(error);
    if (parser.isSet(options.plan) || parser.isSet(options.audit))
        return refuse(QStringLiteral("--db takes the place of --plan and --audit"));
    const QStringList positional = parser.positionalArguments();
    DatabaseRequest request;
    request.uri = *uri;
    request.text = parser.value(options.db);
    request.command = positional.value(0);
    int words = 1;
    if ((request.command == QLatin1String("plan") || request.command == QLatin1String("audit")) && positional.size() > 1) {
        request.command += QLatin1Char(' ') + positional.at(1);
        words = 2;
    }
    const bool takesFile = request.command == QLatin1String("plan import") || request.command == QLatin1String("audit import");
    if (positional.size() != words + (takesFile ? 1 : 0)) {
        return refuse(takesFile ? QStringLiteral("%1 needs one file").arg(request.command)
                                : QStringLiteral("with --db, give one of: provision, plan import PLAN.csv, plan status, "
                                                 "plan release, audit export, audit import FILE, audit-verify"));
    }
    request.file = positional.value(words);
    request.station = parser.isSet(options.station) ? parser.value(options.station) : QSysInfo::machineHostName();
    request.operatorName = parser.value(options.operatorName);
    request.force = parser.isSet(options.force);
    request.json = parser.isSet(options.json);
    request.lastHash = parser.value(options.last);
    if (request.command == QLatin1String("plan release")) {
        const auto row = releaseRow(parser, options, code);
        if (!row)
            return {};
        request.row = *row;
    }
    if (request.command == QLatin1String("provision")) {
        if (request.force)
            return refuse(QStringLiteral("with --db, --force belongs to plan import, where the plan is checked"));
        const auto lanes = laneOptions(parser, options, code);
        if (!lanes)
            return {};
        request.lanes = *lanes;
    }
    auto run = databaseCommand(request);
    if (!run)
        return refuse(QStringLiteral("unknown command \"%1\" with --db").arg(printable(request.command)));
    return run;
}

const QString commandList = QStringLiteral("read, write, list, find, provision, plan status, plan release, plan "
                                           "import, label, audit export, audit import or audit-verify");

// Runs a command on the event loop and ends with its code.
int execute(QCoreApplication &app, const std::function<void(const Done &)> &run)
{
    QTimer::singleShot(0, &app, [&] { run([](ExitCode result) { QCoreApplication::exit(toInt(result)); }); });
    return toInt(finishOutput(ExitCode(app.exec())));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    // A closed pipe is a write error to report, not a reason to die silently.
    std::signal(SIGPIPE, SIG_IGN);

    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description) + exitCodeHelp());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(options.all());
    parser.addPositionalArgument(QStringLiteral("command"), commandList);

    if (!parser.parse(QCoreApplication::arguments()))
        return toInt(fail(ExitCode::Usage, parser.errorText()));
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return toInt(finishOutput(ExitCode::Ok));
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out() << "vev-cli " << QCoreApplication::applicationVersion() << '\n';
        return toInt(finishOutput(ExitCode::Ok));
    }

    // A label reprinted from the database reads it as it reads an audit file.
    if (parser.isSet(options.db) && parser.positionalArguments().value(0) != QLatin1String("label")) {
        ExitCode code = ExitCode::Ok;
        const auto run = databaseRun(parser, options, &code);
        return run ? execute(app, run) : toInt(code);
    }

    const QStringList positional = parser.positionalArguments();
    QString command = positional.value(0);
    if (command == QLatin1String("audit") || (command == QLatin1String("plan") && positional.value(1) == QLatin1String("import"))) {
        return toInt(fail(ExitCode::Usage, QStringLiteral("%1 works on a database several stations share: give --db URI")
                                               .arg(positional.mid(0, 2).join(QLatin1Char(' ')))));
    }
    if (command == QLatin1String("audit-verify")) {
        if (positional.size() != 2)
            return toInt(fail(ExitCode::Usage, QStringLiteral("audit-verify needs the audit file")));
        return toInt(finishOutput(runAuditVerify(positional.at(1), parser.value(options.last))));
    }
    if (command == QLatin1String("plan") && positional.size() == 2)
        command += QLatin1Char(' ') + positional.at(1);
    else if (positional.size() != 1)
        return toInt(fail(ExitCode::Usage, QStringLiteral("give one command: %1 (see --help)").arg(commandList)));

    ExitCode code = ExitCode::Ok;
    const auto timeoutGiven = timeoutOption(parser, options, &code);
    if (!timeoutGiven)
        return toInt(code);
    const std::chrono::milliseconds timeout = *timeoutGiven;

    if (command == QLatin1String("list"))
        return toInt(finishOutput(runList()));

    std::function<void(const Done &)> run;
    if (command == QLatin1String("provision") || command.startsWith(QLatin1String("plan "))) {
        const auto store = storeOptions(parser, options, command, &code);
        if (!store)
            return toInt(code);
        const StoreSetup setup = *store;
        if (command == QLatin1String("provision")) {
            const auto lanes = laneOptions(parser, options, &code);
            if (!lanes)
                return toInt(code);
            const Station::Options station = *lanes;
            run = [setup, station](const Done &done) { runProvision(setup, station, done); };
        } else if (command == QLatin1String("plan status")) {
            const bool json = parser.isSet(options.json);
            run = [setup, json](const Done &done) { runPlanStatus(setup, json, done); };
        } else if (command == QLatin1String("plan release")) {
            const auto row = releaseRow(parser, options, &code);
            if (!row)
                return toInt(code);
            run = [setup, row = *row](const Done &done) { runPlanRelease(setup, row, done); };
        } else {
            return toInt(fail(ExitCode::Usage, QStringLiteral("plan takes status or release, not \"%1\"")
                                                   .arg(printable(positional.at(1)))));
        }
    } else if (command == QLatin1String("label")) {
        run = labelCommand(parser, options, &code);
        if (!run)
            return toInt(code);
    } else if (command == QLatin1String("find")) {
        const QStringList ports = parser.values(options.port);
        run = [ports, timeout](const Done &done) { runFind(ports, timeout, done); };
    } else if (command == QLatin1String("read") || command == QLatin1String("write")) {
        const QStringList ports = parser.values(options.port);
        if (ports.size() != 1)
            return toInt(fail(ExitCode::Usage, QStringLiteral("%1 needs exactly one --port").arg(command)));
        const QString port = ports.first();
        if (command == QLatin1String("read")) {
            const bool json = parser.isSet(options.json);
            run = [port, timeout, json](const Done &done) { runRead(port, timeout, json, done); };
        } else {
            const auto values = writeValues(parser, options, &code);
            if (!values)
                return toInt(code);
            const bool verify = !parser.isSet(options.noVerify);
            run = [port, values, timeout, verify](const Done &done) { runWrite(port, *values, timeout, verify, done); };
        }
    } else {
        return toInt(fail(ExitCode::Usage, QStringLiteral("unknown command \"%1\" (%2)")
                                               .arg(printable(command), commandList)));
    }

    return execute(app, run);
}
