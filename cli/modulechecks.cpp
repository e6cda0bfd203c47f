// SPDX-License-Identifier: MIT
// The checks of the commands that talk to one module, and of labels: their
// arguments turned into a run, or refused.
#include "modulechecks.h"

#include "host/hostenvironment.h"
#include "labelcommands.h"
#include "modulecommands.h"
#include "plan/unitbook.h"
#include "protocol/values.h"
#include "store/databaseuri.h"

namespace cli {

namespace {

// Shorter, and a silent line would be taken for an empty one between a
// module's answers; longer, and a lane would wait a minute to see it gone.
constexpr std::chrono::milliseconds shortestTimeout {100};
constexpr std::chrono::milliseconds longestTimeout {60000};

// Settings files are a few hundred bytes; anything larger is not one.
constexpr qint64 largestSettingsFile = 64 * 1024;

} // namespace

std::optional<std::chrono::milliseconds> timeoutOf(const Args &args, Refusal *refusal)
{
    bool ok = false;
    const int ms = args.value(options().timeout).toInt(&ok);
    if (ok && ms >= shortestTimeout.count() && ms <= longestTimeout.count())
        return std::chrono::milliseconds(ms);
    return refused<std::chrono::milliseconds>(
        refusal, QStringLiteral("--timeout needs a number of milliseconds from %1 to %2, not \"%3\"")
                     .arg(shortestTimeout.count()).arg(longestTimeout.count())
                     .arg(printable(args.value(options().timeout))));
}

std::optional<QString> onePort(const Args &args, Refusal *refusal)
{
    const QStringList ports = args.ports();
    if (ports.size() != 1)
        return refused<QString>(refusal, QStringLiteral("%1 needs exactly one --port").arg(args.command));
    return ports.first();
}

// A plan row from 1, as --row gives it.
std::optional<int> rowOf(const Args &args, const QString &needs, Refusal *refusal)
{
    bool ok = false;
    const int row = args.value(options().row).toInt(&ok);
    if (ok && row >= 1)
        return row;
    const QString given = printable(args.value(options().row));
    return refused<int>(refusal, needs.contains(QLatin1String("%1")) ? needs.arg(given) : needs);
}

// write's settings from --from, --auto and the value options.
std::optional<SettingValues> writeValues(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    SettingValues values;
    if (const auto from = args.given(o.from)) {
        QString error;
        const auto fromFile = readSettingsFile(*from, &error, largestSettingsFile);
        if (!fromFile)
            return refused<SettingValues>(refusal, error, ExitCode::Failure);
        values = *fromFile;
    }
    if (args.isSet(o.autoValues)) {
        if (args.isSet(o.ip) || args.isSet(o.gateway))
            return refused<SettingValues>(refusal, QStringLiteral("--auto derives --ip and --gateway; give one or the other"));
        // Like the window: the address of the interface the computer routes
        // by, and that route's gateway.
        const HostEnvironment host = HostEnvironment::system();
        const auto source = chooseAutoSource(host, localIpv4Addresses(host, host.localHostName()));
        const AutoAddress derived = source ? deriveAutoAddress(source->ip, source->gateway)
                                           : deriveAutoAddress(QString(), QString());
        if (!derived.error.isEmpty())
            return refused<SettingValues>(refusal, QStringLiteral("--auto: ") + derived.error);
        valueOf(values, Setting::IpAddress) = derived.ip;
        valueOf(values, Setting::Gateway) = derived.gateway;
    }
    const std::pair<const QCommandLineOption &, Setting> given[] = {
        {o.ip, Setting::IpAddress}, {o.gateway, Setting::Gateway}, {o.tcpPort, Setting::Port}, {o.mac, Setting::MacAddress}};
    for (const auto &[option, setting] : given) {
        if (args.isSet(option))
            valueOf(values, setting) = args.value(option);
    }
    if (std::none_of(values.begin(), values.end(), [](const auto &v) { return v.has_value(); })) {
        return refused<SettingValues>(refusal, QStringLiteral("write needs at least one of --ip, --gateway, --tcp-port, "
                                                              "--mac, --auto, --from"));
    }
    if (const auto refusalText = refuseToWrite(values, args.isSet(o.force)))
        return refused<SettingValues>(refusal, *refusalText + QStringLiteral("; nothing was sent"));
    return values;
}

// Where labels go: label takes one of --pdf, --labels, --zpl and --printer;
// provision one of --labels, --label-zpl and --label-printer, or none.
std::optional<LabelTarget> labelTargetOf(const Args &args, bool provision, Refusal *refusal)
{
    const Options &o = options();
    LabelTargetOptions target;
    target.folder = args.given(o.labels);
    target.zpl = args.given(provision ? o.labelZpl : o.zpl);
    target.printer = args.given(provision ? o.labelPrinter : o.printer);
    if (!provision)
        target.pdf = args.given(o.pdf);
    target.size = args.value(o.labelSize);
    target.dpi = args.value(o.dpi);
    const int count = int(bool(target.folder)) + int(bool(target.zpl)) + int(bool(target.printer)) + int(bool(target.pdf));
    if (provision && count == 0) {
        if (args.isSet(o.labelSize) || args.isSet(o.dpi))
            *refusal = {ExitCode::Usage, QStringLiteral("--label-size and --dpi go with --labels, --label-zpl or --label-printer")};
        return std::nullopt;
    }
    if (count != 1) {
        return refused<LabelTarget>(refusal, provision ? QStringLiteral("provision prints labels to one of --labels DIR, "
                                                                        "--label-zpl HOST:PORT and --label-printer NAME")
                                                       : QStringLiteral("label needs one of --pdf FILE, --labels DIR, "
                                                                        "--zpl HOST:PORT and --printer NAME"));
    }
    QString error;
    const auto resolved = labelTarget(target, &error);
    if (!resolved)
        return refused<LabelTarget>(refusal, printable(error) + QStringLiteral("; nothing was sent"));
    return resolved;
}

Run readCheck(const Args &args, Refusal *refusal)
{
    const auto port = onePort(args, refusal);
    const auto timeout = port ? timeoutOf(args, refusal) : std::nullopt;
    if (!timeout)
        return {};
    const bool json = args.isSet(options().json);
    return [port = *port, timeout = *timeout, json](const Done &done) { runRead(port, timeout, json, done); };
}

Run writeCheck(const Args &args, Refusal *refusal)
{
    const auto port = onePort(args, refusal);
    const auto timeout = port ? timeoutOf(args, refusal) : std::nullopt;
    const auto values = timeout ? writeValues(args, refusal) : std::nullopt;
    if (!values)
        return {};
    const bool verify = !args.isSet(options().noVerify);
    return [port = *port, values = *values, timeout = *timeout, verify](const Done &done) {
        runWrite(port, values, timeout, verify, done);
    };
}

Run listCheck(const Args &, Refusal *)
{
    return [](const Done &done) { done(runList()); };
}

Run findCheck(const Args &args, Refusal *refusal)
{
    const auto timeout = timeoutOf(args, refusal);
    if (!timeout)
        return {};
    const QStringList ports = args.ports();
    return [ports, timeout = *timeout](const Done &done) { runFind(ports, timeout, done); };
}

Run labelCheck(const Args &args, Refusal *refusal)
{
    const Options &o = options();
    const auto target = labelTargetOf(args, false, refusal);
    if (!target)
        return {};
    const auto usage = [refusal](const QString &message) {
        return refuse(refusal, message + QStringLiteral("; nothing was printed"));
    };
    std::optional<int> row;
    if (args.isSet(o.row)) {
        row = rowOf(args, QStringLiteral("--row needs a plan row, 1 or more, not \"%1\""), refusal);
        if (!row)
            return usage(refusal->why);
    }
    QString why;
    const auto qrSerial = parseLabelQr(args.value(o.labelQr), &why);
    if (!qrSerial)
        return usage(why);
    if (args.isSet(o.audit) || args.isSet(o.db)) {
        if (args.isSet(o.ip) || args.isSet(o.gateway) || args.isSet(o.tcpPort) || row.has_value() == args.isSet(o.mac)
            || args.isSet(o.audit) == args.isSet(o.db))
            return usage(QStringLiteral("label --audit (or --db) takes --row N or --mac M, and no other values"));
        const ModuleKey key {row.value_or(0), args.value(o.mac)};
        if (!row && !isValidValue(Setting::MacAddress, key.mac))
            return usage(QStringLiteral("--mac \"%1\" is not a MAC address").arg(printable(key.mac)));
        AuditSource audit {args.value(o.audit), {}};
        if (args.isSet(o.db)) {
            QString error;
            if (!DatabaseUri::parse(args.value(o.db), &error))
                return usage(error);
            audit.database = args.value(o.db);
        }
        return [audit, key, target = *target, qrSerial = *qrSerial](const Done &done) {
            runLabelFromAudit(audit, key, target, qrSerial, done);
        };
    }
    LabelJob job;
    const std::pair<const QCommandLineOption &, Setting> given[] = {
        {o.ip, Setting::IpAddress}, {o.gateway, Setting::Gateway}, {o.tcpPort, Setting::Port}, {o.mac, Setting::MacAddress}};
    for (const auto &[option, setting] : given) {
        if (!args.isSet(option))
            return usage(QStringLiteral("label needs --ip, --gateway, --tcp-port and --mac, or --audit"));
        valueOf(job.values, setting) = args.value(option);
    }
    job.row = row;
    job.force = args.isSet(o.force);
    job.qrSerial = *qrSerial;
    if (args.isSet(o.serial)) {
        const auto serial = serialOf(args.value(o.serial), &why);
        if (!serial)
            return usage(QStringLiteral("--serial: ") + why);
        job.serial = *serial;
    }
    job.target = *target;
    return [job](const Done &done) { runLabel(job, done); };
}

} // namespace cli
