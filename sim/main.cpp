// SPDX-License-Identifier: MIT
// vev-sim: a stand-in for the VeV-Idire gateway module on a serial line, for
// demonstrations and tests.

#include "host/signalwatch.h"
#include "sim/modulesimulator.h"
#include "sim/simline.h"
#include "protocol/values.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>
#include <optional>

namespace {

bool intOption(const QCommandLineParser &parser, const QString &name, int minimum, int *out, QTextStream &err)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum) {
        err << "vev-sim: --" << name << " needs a whole number of at least " << minimum << ", not \""
            << parser.value(name) << "\"" << Qt::endl;
        return false;
    }
    *out = value;
    return true;
}

// The fault and line options, or nothing after saying what is wrong.
std::optional<ModuleSimulator::Options> simulatorOptions(const QCommandLineParser &parser, QTextStream &err)
{
    ModuleSimulator::Options options;
    if (!intOption(parser, QStringLiteral("delay"), 0, &options.delayMs, err)
        || !intOption(parser, QStringLiteral("line-rate"), 1, &options.lineRate, err)
        || !intOption(parser, QStringLiteral("split"), 1, &options.split, err)
        || !intOption(parser, QStringLiteral("split-gap"), 0, &options.splitGapMs, err)
        || !intOption(parser, QStringLiteral("hangup-after"), 1, &options.hangupAfter, err)
        || !intOption(parser, QStringLiteral("line"), 1, &options.lineModules, err)
        || !intOption(parser, QStringLiteral("off-after"), 0, &options.offAfterMs, err)
        || !intOption(parser, QStringLiteral("plug-gap"), 0, &options.plugGapMs, err)
        || !intOption(parser, QStringLiteral("swap-after-writes"), 1, &options.swapAfterWrites, err)
        || !intOption(parser, QStringLiteral("revert-after"), 0, &options.revertAfterMs, err))
        return std::nullopt;
    // What a module comes with goes on the wire: only sound values.
    const std::pair<const char *, Setting> factory[] = {{"shared-mac", Setting::MacAddress},
                                                        {"factory-ip", Setting::IpAddress}};
    for (const auto &[name, setting] : factory) {
        const QString value = parser.value(QLatin1String(name));
        if (parser.isSet(QLatin1String(name)) && !isValidValue(setting, value)) {
            err << "vev-sim: --" << name << " needs a " << settingInfo(setting).name << ", not \"" << value << "\""
                << Qt::endl;
            return std::nullopt;
        }
    }
    options.sharedMac = parser.value(QStringLiteral("shared-mac"));
    options.factoryIp = parser.value(QStringLiteral("factory-ip"));
    options.silent = parser.isSet(QStringLiteral("silent"));
    options.noise = parser.isSet(QStringLiteral("noise"));
    options.ignoreWrites = parser.isSet(QStringLiteral("ignore-writes"));
    options.statePath = parser.value(QStringLiteral("state"));
    return options;
}

// The module's settings at start: the defaults, or what the state file
// holds; nothing after saying what is wrong.
std::optional<SettingValues> startingSettings(const QString &statePath, QTextStream &err)
{
    SettingValues settings = ModuleSimulator::defaultSettings();
    if (!statePath.isEmpty() && QFileInfo::exists(statePath)) {
        QString error;
        const auto stored = readSettingsFile(statePath, &error);
        if (!stored) {
            err << "vev-sim: " << error << Qt::endl;
            return std::nullopt;
        }
        for (Setting setting : allSettings) {
            const auto &value = valueOf(*stored, setting);
            if (!value)
                continue;
            // What the state holds goes on the wire: "hello#RS" would forge
            // replies.
            if (!isValidValue(setting, *value)) {
                err << "vev-sim: " << statePath << ": invalid " << settingInfo(setting).name << " \""
                    << *value << "\"" << Qt::endl;
                return std::nullopt;
            }
            valueOf(settings, setting) = value;
        }
    }
    return settings;
}

// What vev-sim can be told: where it plays, and the faults it plays.
QList<QCommandLineOption> optionList()
{
    return {
        {QStringLiteral("link"), QStringLiteral("Also make a symbolic link PATH to the device."), QStringLiteral("PATH")},
        {QStringLiteral("device"), QStringLiteral("Use this serial device (null-modem cable) instead of a pseudo-terminal."), QStringLiteral("PATH")},
        {QStringLiteral("state"), QStringLiteral("Keep the settings in this JSON file across runs."), QStringLiteral("FILE")},
        {QStringLiteral("delay"), QStringLiteral("Wait MS milliseconds before each answer."), QStringLiteral("MS")},
        {QStringLiteral("line-rate"), QStringLiteral("Pace answers as a line at BAUD would (9600: about 1.04 ms a byte)."), QStringLiteral("BAUD")},
        {QStringLiteral("split"), QStringLiteral("Send each answer in N pieces."), QStringLiteral("N")},
        {QStringLiteral("split-gap"), QStringLiteral("Milliseconds between the pieces of an answer (default 50)."), QStringLiteral("MS")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("noise"), QStringLiteral("Send bursts of random bytes, zero bytes and bytes above 0x7F included.")},
        {QStringLiteral("hangup-after"), QStringLiteral("Hang up the line after N commands."), QStringLiteral("N")},
        {QStringLiteral("ignore-writes"), QStringLiteral("Acknowledge writes but keep the old values (a module that lies).")},
        {QStringLiteral("line"), QStringLiteral("Play a production line of N modules, one after another, each with a MAC address "
                                                "of its own; nothing answers after the last."), QStringLiteral("N")},
        {QStringLiteral("off-after"), QStringLiteral("With --line: take a module off MS milliseconds after it has been written "
                                                     "and read back (default 300)."), QStringLiteral("MS")},
        {QStringLiteral("plug-gap"), QStringLiteral("With --line: plug the next module in MS milliseconds after one is taken "
                                                    "off (default 500)."), QStringLiteral("MS")},
        {QStringLiteral("swap-after-writes"), QStringLiteral("With --line: swap the first module for the next at once after N "
                                                             "writes, in the middle of its row."), QStringLiteral("N")},
        {QStringLiteral("revert-after"), QStringLiteral("A module goes back to its factory settings MS milliseconds after "
                                                        "its last write."), QStringLiteral("MS")},
        {QStringLiteral("shared-mac"), QStringLiteral("With --line: every module comes with this MAC address (a batch "
                                                      "that shares one)."), QStringLiteral("MAC")},
        {QStringLiteral("factory-ip"), QStringLiteral("With --line: every module comes with this IP address."),
         QStringLiteral("IP")},
        {QStringLiteral("second-leg"), QStringLiteral("Also answer on a second pseudo-terminal, as a Y cable would: "
                                                      "commands from either are heard, and everything sent reaches the "
                                                      "second MS milliseconds late."), QStringLiteral("MS")},
    };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a VeV-Idire gateway module on a serial line. By default it creates a pseudo-terminal "
        "and prints the device path for the configuration tool to open."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(optionList());
    // A bad command line is a usage error, exit 2, like a bad value.
    if (!parser.parse(QCoreApplication::arguments())) {
        err << "vev-sim: " << parser.errorText() << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        err << "vev-sim: unexpected argument \"" << parser.positionalArguments().first() << "\"" << Qt::endl;
        return 2;
    }

    const auto options = simulatorOptions(parser, err);
    if (!options)
        return 2;
    const auto settings = startingSettings(options->statePath, err);
    if (!settings)
        return 2;

    SimLine line;
    QString error;
    const bool opened = parser.isSet(QStringLiteral("device"))
                            ? line.openDevice(parser.value(QStringLiteral("device")), &error)
                            : line.openPseudoTerminal(&error);
    if (!opened || (parser.isSet(QStringLiteral("link")) && !line.makeLink(parser.value(QStringLiteral("link")), &error))) {
        err << "vev-sim: " << error << Qt::endl;
        return 1;
    }
    int legDelay = -1;
    SimLine leg;
    if (!intOption(parser, QStringLiteral("second-leg"), 0, &legDelay, err))
        return 2;
    if (legDelay >= 0 && !leg.openPseudoTerminal(&error)) {
        err << "vev-sim: " << error << Qt::endl;
        return 1;
    }

    // Ctrl-C and kill end the run cleanly, so the link is removed; a reader
    // of our log that goes away (vev-sim | head) is no reason to stop.
    std::signal(SIGPIPE, SIG_IGN);
    SignalWatch stopSignals({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&stopSignals, &SignalWatch::caught, &app, &QCoreApplication::quit);

    out << "Simulated module on " << line.devicePath();
    if (parser.isSet(QStringLiteral("link")))
        out << " (link " << parser.value(QStringLiteral("link")) << ")";
    if (legDelay >= 0)
        out << " (second leg on " << leg.devicePath() << ")";
    out << Qt::endl;

    ModuleSimulator simulator(line.fd(), *options, *settings, out);
    if (legDelay >= 0)
        simulator.addLeg(leg.fd(), legDelay);
    QObject::connect(&simulator, &ModuleSimulator::hungUp, &app, [&line] {
        line.close();
        QCoreApplication::quit();
    });
    const int code = app.exec();
    line.close();
    leg.close();
    return code;
}
