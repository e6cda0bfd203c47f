// SPDX-License-Identifier: MIT
// vev-cli: read, write and find VeV-Idire gateway modules from scripts.

#include "client/gatewayclient.h"
#include "commands.h"
#include "labelcommand.h"
#include "host/hostenvironment.h"
#include "serial/portlist.h"
#include "protocol/values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <memory>
#include <utility>

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
            [--port P2 ...] [--once]. Each --port is a lane, and the lanes run
            at once: a lane waits until a module answers, reads it, claims the
            next plan row that no lane has claimed and the audit does not
            record as passed, writes it, reads it back, records the outcome in
            the audit, prints PASS or FAIL, and waits until the module is taken
            off. The plan is a CSV file with the header ip,gateway,tcp_port,mac
            (any order), checked whole before anything is sent. The audit gets
            one JSON line per module, chained by SHA-256; a re-run resumes.
            --once handles one module per lane. Ctrl-C finishes the modules in
            hand, then stops.
  audit-verify AUDIT.jsonl
            Check every line of an audit's chain and print the count, or name
            the first line that was changed, removed or inserted.
  label     Print a module's label from --ip, --gateway, --tcp-port and --mac
            (all four, checked as write checks them; --row adds the plan row)
            to one of --pdf FILE, --zpl HOST:PORT or --printer NAME (CUPS).
            The label shows the four settings, the row and today's date, and
            a QR code that holds the MAC address alone. It needs no display.

Before anything is sent, write refuses values no device can use: malformed
values, addresses in 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4 or 240.0.0.0/4, an IP
address equal to the gateway, MAC addresses that are all zeros, all ones or
have the group bit set; and an IP address ending in .0 or .255 unless --force.

Exit codes:
  0  success
  1  other error (a settings file that cannot be read, output that cannot be written, ...)
  2  bad command line, or a value that fails its check (nothing was sent)
  3  the module sent no setting within --timeout (read), or no module found (find)
  4  a setting was not acknowledged (write)
  5  the port does not exist
  6  the port is in use by another program
  7  permission to open the port was refused
  8  the port could not be opened for another reason, or was lost
  9  a setting reads back different from what was written, or not at all
     (write); provision: a module failed its read-back
  10 audit-verify: the audit's chain is broken
  13 label: the label could not be printed (a file that cannot be written,
     a printer that does not answer, drops the connection or refuses the job))text";

// Settings files are a few hundred bytes; anything larger is not one.
constexpr qint64 largestSettingsFile = 64 * 1024;

} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = createApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    // A closed pipe is a write error to report, not a reason to die silently.
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Serial port: a name the system lists (ttyUSB0) or a device path. With find, extra ports to ask."),
        QStringLiteral("PATH"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
        QStringLiteral("How long to wait for the module's answer (default 3000); an answer under way is let finish."),
        QStringLiteral("MS"), QStringLiteral("3000"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
        QStringLiteral("read: print the settings as JSON, in the form write --from takes."));
    const QCommandLineOption ipOption(QStringLiteral("ip"), QStringLiteral("write, label: the IP address."), QStringLiteral("A"));
    const QCommandLineOption gatewayOption(QStringLiteral("gateway"), QStringLiteral("write, label: the gateway address."), QStringLiteral("G"));
    const QCommandLineOption tcpPortOption(QStringLiteral("tcp-port"), QStringLiteral("write, label: the TCP port, 0-65535."), QStringLiteral("N"));
    const QCommandLineOption macOption(QStringLiteral("mac"),
        QStringLiteral("write, label: the MAC address, 12 hex digits, bare or in pairs joined by : or -."), QStringLiteral("M"));
    const QCommandLineOption autoOption(QStringLiteral("auto"),
        QStringLiteral("write: IP and gateway from this computer's routed address (last number + 1, and its router)."));
    const QCommandLineOption fromOption(QStringLiteral("from"),
        QStringLiteral("write: take the settings from a JSON file as read --json prints it; options given as well win."),
        QStringLiteral("FILE"));
    const QCommandLineOption forceOption(QStringLiteral("force"),
        QStringLiteral("write, label: allow an IP address ending in .0 or .255 (on a network larger than a /24)."));
    const QCommandLineOption noVerifyOption(QStringLiteral("no-verify"),
        QStringLiteral("write: do not read the settings back after writing them."));
    const QCommandLineOption planOption(QStringLiteral("plan"), QStringLiteral("provision: the plan, a CSV file."),
                                        QStringLiteral("PLAN.csv"));
    const QCommandLineOption auditOption(QStringLiteral("audit"),
        QStringLiteral("provision: the audit trail, appended to (JSON lines)."), QStringLiteral("AUDIT.jsonl"));
    const QCommandLineOption onceOption(QStringLiteral("once"),
        QStringLiteral("provision: one module per lane, then exit (3 if a lane saw none within --timeout)."));
    const QCommandLineOption rowOption(QStringLiteral("row"), QStringLiteral("label: the plan row to print."), QStringLiteral("N"));
    const QCommandLineOption pdfOption(QStringLiteral("pdf"),
        QStringLiteral("label: write a PDF of the label's size (replaced only once whole)."), QStringLiteral("FILE"));
    const QCommandLineOption zplOption(QStringLiteral("zpl"),
        QStringLiteral("label: send ZPL II to a label printer's raw TCP port (usually 9100)."), QStringLiteral("HOST:PORT"));
    const QCommandLineOption printerOption(QStringLiteral("printer"),
        QStringLiteral("label: print on this CUPS printer (lpstat -p lists them)."), QStringLiteral("NAME"));
    const QCommandLineOption labelSizeOption(QStringLiteral("label-size"),
        QStringLiteral("label: width x height in millimetres (default 62x29); a size too small for the code and text is refused."),
        QStringLiteral("WxH"), QStringLiteral("62x29"));
    const QCommandLineOption dpiOption(QStringLiteral("dpi"),
        QStringLiteral("label: the printer's resolution, 203 or 300 (default 203); the code's modules are whole dots."),
        QStringLiteral("DPI"), QStringLiteral("203"));
    parser.addOptions({portOption, timeoutOption, jsonOption, ipOption, gatewayOption, tcpPortOption, macOption,
                       autoOption, fromOption, forceOption, noVerifyOption, planOption, auditOption, onceOption,
                       rowOption, pdfOption, zplOption, printerOption, labelSizeOption, dpiOption});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("read, write, list, find, provision, audit-verify or label"));

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(Usage, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return finishOutput(Ok);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out() << "vev-cli " << QCoreApplication::applicationVersion() << '\n';
        return finishOutput(Ok);
    }

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (command == QLatin1String("audit-verify")) {
        if (positional.size() != 2)
            return fail(Usage, QStringLiteral("audit-verify needs the audit file"));
        return finishOutput(runAuditVerify(positional.at(1)));
    }
    if (positional.size() != 1)
        return fail(Usage, QStringLiteral("give one command: read, write, list, find, provision, audit-verify or label (see --help)"));

    bool timeoutOk = false;
    const int timeoutMs = parser.value(timeoutOption).toInt(&timeoutOk);
    if (!timeoutOk || timeoutMs < 0)
        return fail(Usage, QStringLiteral("--timeout needs a number of milliseconds, not \"%1\"").arg(parser.value(timeoutOption)));
    const std::chrono::milliseconds timeout(timeoutMs);

    if (command == QLatin1String("list")) {
        const auto ports = freeSerialPortInfos();
        for (const QSerialPortInfo &info : ports)
            out() << info.systemLocation() << '\t' << printable(info.description()) << '\n';
        return finishOutput(Ok);
    }

    std::function<void(const Done &)> run;
    if (command == QLatin1String("label")) {
        run = [&](const Done &done) { runLabel(parser, done); };
    } else if (command == QLatin1String("provision")) {
        if (!parser.isSet(planOption) || !parser.isSet(auditOption) || !parser.isSet(portOption))
            return fail(Usage, QStringLiteral("provision needs --plan, --audit and at least one --port"));
        const QStringList ports = parser.values(portOption);
        if (QSet<QString>(ports.begin(), ports.end()).size() != ports.size())
            return fail(Usage, QStringLiteral("provision: a --port is given twice"));
        const Station::Options station {parser.value(planOption), parser.value(auditOption), ports, timeout,
                                        parser.isSet(onceOption)};
        run = [station](const Done &done) { runProvision(station, done); };
    } else if (command == QLatin1String("find")) {
        run = [&](const Done &done) { runFind(parser.values(portOption), timeout, done); };
    } else if (command == QLatin1String("read") || command == QLatin1String("write")) {
        const QStringList ports = parser.values(portOption);
        if (ports.size() != 1)
            return fail(Usage, QStringLiteral("%1 needs exactly one --port").arg(command));
        const QString port = ports.first();
        if (command == QLatin1String("read")) {
            run = [&, port](const Done &done) { runRead(port, timeout, parser.isSet(jsonOption), done); };
        } else {
            SettingValues values;
            if (parser.isSet(fromOption)) {
                QString error;
                const auto fromFile = readSettingsFile(parser.value(fromOption), &error, largestSettingsFile);
                if (!fromFile)
                    return fail(Failure, error);
                values = *fromFile;
            }
            if (parser.isSet(autoOption)) {
                if (parser.isSet(ipOption) || parser.isSet(gatewayOption))
                    return fail(Usage, QStringLiteral("--auto derives --ip and --gateway; give one or the other"));
                // Like the window: the address of the interface the computer
                // routes by, and that route's gateway.
                const HostEnvironment host = HostEnvironment::system();
                const auto source = chooseAutoSource(host, localIpv4Addresses(host, host.localHostName()));
                const AutoAddress derived = source ? deriveAutoAddress(source->ip, source->gateway)
                                                   : deriveAutoAddress(QString(), QString());
                if (!derived.error.isEmpty())
                    return fail(Usage, QStringLiteral("--auto: ") + derived.error);
                valueOf(values, Setting::IpAddress) = derived.ip;
                valueOf(values, Setting::Gateway) = derived.gateway;
            }
            const std::pair<const QCommandLineOption &, Setting> given[] = {
                {ipOption, Setting::IpAddress}, {gatewayOption, Setting::Gateway},
                {tcpPortOption, Setting::Port}, {macOption, Setting::MacAddress}};
            for (const auto &[option, setting] : given) {
                if (parser.isSet(option))
                    valueOf(values, setting) = parser.value(option);
            }
            if (std::none_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); }))
                return fail(Usage, QStringLiteral("write needs at least one of --ip, --gateway, --tcp-port, --mac, --auto, --from"));
            if (const auto refusal = refuseToWrite(values, parser.isSet(forceOption)))
                return fail(Usage, *refusal + QStringLiteral("; nothing was sent"));
            const bool verify = !parser.isSet(noVerifyOption);
            run = [&, port, values, verify](const Done &done) { runWrite(port, values, timeout, verify, done); };
        }
    } else {
        return fail(Usage, QStringLiteral("unknown command \"%1\" (read, write, list, find, provision, audit-verify or label)")
                               .arg(command));
    }

    QTimer::singleShot(0, app.get(), [&] { run([](int code) { QCoreApplication::exit(code); }); });
    return finishOutput(QCoreApplication::exec());
}
