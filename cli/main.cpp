// SPDX-License-Identifier: MIT
// vev-cli: read, write and find VeV-Idire gateway modules from scripts.

#include "gatewayclient.h"
#include "hostenvironment.h"
#include "portlist.h"
#include "values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QSerialPortInfo>
#include <QTextStream>

#include <algorithm>
#include <utility>

namespace {

enum ExitCode {
    Ok = 0,
    Failure = 1,       // anything else: a file that cannot be read, ...
    Usage = 2,         // bad command line or a value that fails its check
    NoAnswer = 3,
    NotAcknowledged = 4,
    PortNotFound = 5,
    PortBusy = 6,
    PortPermission = 7,
    PortError = 8,
};

const char *const description = R"text(Reads and writes the Ethernet settings of VeV-Idire gateway modules over a serial line (9600 8N1).

Commands:
  read      Print the module's IP address, gateway, TCP port and MAC address.
            Settings the module leaves out are shown as "(not reported)",
            or as null with --json.
  write     Send the settings given (--ip, --gateway, --tcp-port, --mac, --auto
            or --from), one second apart in the order IP, gateway, port, MAC,
            and print one line per setting: acknowledged or not.
  list      List the serial ports that no program holds open.
  find      Ask each free port (and each --port) for its IP address and list
            those where a module answers.

Exit codes:
  0  success
  1  other error (a settings file that cannot be read, ...)
  2  bad command line, or a value that fails its check (nothing was sent)
  3  the module did not answer within --timeout (read), or no module found (find)
  4  a setting was not acknowledged (write)
  5  the port does not exist
  6  the port is in use by another program
  7  permission to open the port was refused
  8  the port could not be opened for another reason)text";

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int fail(int code, const QString &message)
{
    err() << "vev-cli: " << message << Qt::endl;
    return code;
}

int openOrFail(GatewayClient &client, const QString &port)
{
    QString reason;
    switch (client.open(port, &reason)) {
    case OpenFailure::None: return Ok;
    case OpenFailure::NotFound: return fail(PortNotFound, QStringLiteral("cannot open %1: %2").arg(port, reason));
    case OpenFailure::Busy: return fail(PortBusy, QStringLiteral("cannot open %1: %2").arg(port, reason));
    case OpenFailure::PermissionDenied:
        return fail(PortPermission, QStringLiteral("cannot open %1: %2").arg(port, reason));
    case OpenFailure::Other: break;
    }
    return fail(PortError, QStringLiteral("cannot open %1: %2").arg(port, reason));
}

int runRead(GatewayClient &client, int timeoutMs, bool json)
{
    const auto values = client.read(timeoutMs);
    if (!values)
        return fail(NoAnswer, QStringLiteral("no answer from the module within %1 ms").arg(timeoutMs));
    if (json) {
        out() << QJsonDocument(settingsToJson(*values)).toJson(QJsonDocument::Indented);
        return Ok;
    }
    for (Setting setting : allSettings) {
        const auto &value = valueOf(*values, setting);
        out() << settingInfo(setting).name << ": " << (value ? *value : QStringLiteral("(not reported)")) << '\n';
    }
    return Ok;
}

int runWrite(GatewayClient &client, const SettingValues &values, int timeoutMs)
{
    const auto acknowledged = client.write(values, timeoutMs);
    bool all = true;
    for (Setting setting : allSettings) {
        const auto &value = valueOf(values, setting);
        if (!value)
            continue;
        const bool ok = acknowledged[static_cast<std::size_t>(setting)];
        all = all && ok;
        out() << settingInfo(setting).name << ' ' << *value << ": "
              << (ok ? "acknowledged" : "not acknowledged") << '\n';
    }
    return all ? Ok : NotAcknowledged;
}

int runFind(const QStringList &extraPorts, int timeoutMs)
{
    QStringList candidates;
    const auto ports = freeSerialPortInfos();
    for (const QSerialPortInfo &info : ports)
        candidates << info.systemLocation();
    for (const QString &port : extraPorts) {
        if (!candidates.contains(port))
            candidates << port;
    }

    int found = 0;
    for (const QString &port : std::as_const(candidates)) {
        GatewayClient client;
        QString reason;
        if (client.open(port, &reason) != OpenFailure::None) {
            err() << "vev-cli: skipping " << port << ": " << reason << Qt::endl;
            continue;
        }
        const auto values = client.read(timeoutMs);
        const auto ip = values ? valueOf(*values, Setting::IpAddress) : std::nullopt;
        if (ip) {
            out() << port << '\t' << *ip << Qt::endl;
            ++found;
        }
    }
    return found > 0 ? Ok : fail(NoAnswer, QStringLiteral("no module answered"));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Serial port: a name the system lists (ttyUSB0) or a device path. With find, extra ports to ask."),
        QStringLiteral("PATH"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
        QStringLiteral("How long to wait for the module's answer (default 3000)."), QStringLiteral("MS"), QStringLiteral("3000"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
        QStringLiteral("read: print the settings as JSON, in the form write --from takes."));
    const QCommandLineOption ipOption(QStringLiteral("ip"), QStringLiteral("write: the IP address."), QStringLiteral("A"));
    const QCommandLineOption gatewayOption(QStringLiteral("gateway"), QStringLiteral("write: the gateway address."), QStringLiteral("G"));
    const QCommandLineOption tcpPortOption(QStringLiteral("tcp-port"), QStringLiteral("write: the TCP port, 0-65535."), QStringLiteral("N"));
    const QCommandLineOption macOption(QStringLiteral("mac"),
        QStringLiteral("write: the MAC address, 12 hex digits, bare or in pairs joined by : or -."), QStringLiteral("M"));
    const QCommandLineOption autoOption(QStringLiteral("auto"),
        QStringLiteral("write: IP and gateway from this computer's address (last number + 1, and .1)."));
    const QCommandLineOption fromOption(QStringLiteral("from"),
        QStringLiteral("write: take the settings from a JSON file as read --json prints it; options given as well win."),
        QStringLiteral("FILE"));
    parser.addOptions({portOption, timeoutOption, jsonOption, ipOption, gatewayOption, tcpPortOption, macOption,
                       autoOption, fromOption});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read, write, list or find"));

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(Usage, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return Ok;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out() << "vev-cli " << QCoreApplication::applicationVersion() << '\n';
        out().flush();
        return Ok;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return fail(Usage, QStringLiteral("give one command: read, write, list or find (see --help)"));
    const QString command = positional.first();

    bool timeoutOk = false;
    const int timeoutMs = parser.value(timeoutOption).toInt(&timeoutOk);
    if (!timeoutOk || timeoutMs < 0)
        return fail(Usage, QStringLiteral("--timeout needs a number of milliseconds, not \"%1\"").arg(parser.value(timeoutOption)));

    if (command == QLatin1String("list")) {
        const auto ports = freeSerialPortInfos();
        for (const QSerialPortInfo &info : ports)
            out() << info.systemLocation() << '\t' << info.description() << '\n';
        return Ok;
    }
    if (command == QLatin1String("find"))
        return runFind(parser.values(portOption), timeoutMs);
    if (command != QLatin1String("read") && command != QLatin1String("write"))
        return fail(Usage, QStringLiteral("unknown command \"%1\" (read, write, list or find)").arg(command));

    const QStringList ports = parser.values(portOption);
    if (ports.size() != 1)
        return fail(Usage, QStringLiteral("%1 needs exactly one --port").arg(command));

    SettingValues values;
    if (command == QLatin1String("write")) {
        if (parser.isSet(fromOption)) {
            QString error;
            const auto fromFile = readSettingsFile(parser.value(fromOption), &error);
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
        const bool any = std::any_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); });
        if (const auto problem = checkValues(values)) {
            const QString why = problem->reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problem->reason);
            return fail(Usage, QStringLiteral("invalid value for %1: \"%2\"%3; nothing was sent")
                                   .arg(QString::fromLatin1(settingInfo(problem->setting).name), problem->value, why));
        }
        if (!any)
            return fail(Usage, QStringLiteral("write needs at least one of --ip, --gateway, --tcp-port, --mac, --auto, --from"));
    }

    GatewayClient client;
    if (const int code = openOrFail(client, ports.first()); code != Ok)
        return code;
    const int code = command == QLatin1String("read") ? runRead(client, timeoutMs, parser.isSet(jsonOption))
                                                       : runWrite(client, values, timeoutMs);
    out().flush();
    return code;
}
