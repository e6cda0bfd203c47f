// SPDX-License-Identifier: MIT
// vev-label: draws and prints one module's label for vev-cli and the
// station, which start it so that they need not load Qt GUI themselves.
// Success: a line on stdout, exit 0. Failure: the reason, one line on
// stderr, for the caller to quote; exit 2 for a label that cannot be laid
// out (nothing printed), 13 for one that was not printed.

#include "base/exitcodes.h"
#include "label/labeloutput.h"
#include "label/labelprinter.h"
#include "label/labelrunner.h"
#include "protocol/values.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

ExitCode failed(ExitCode code, const QString &reason)
{
    QTextStream(stderr) << reason << '\n';
    return code;
}

int run(const QCommandLineParser &parser)
{
    const auto given = [&parser](const char *name) {
        const QString option = QLatin1String(name);
        return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
    };
    QString error;
    const auto target = labelTarget({given("pdf"), given("folder"), given("zpl"), given("printer"),
                                     parser.value(QStringLiteral("label-size")), parser.value(QStringLiteral("dpi"))},
                                    &error);
    if (!target)
        return toInt(failed(ExitCode::Usage, error));
    std::optional<int> row;
    if (const auto text = given("row")) {
        bool ok = false;
        row = text->toInt(&ok);
        if (!ok || *row < 1)
            return toInt(failed(ExitCode::Usage, QStringLiteral("--row needs a plan row, 1 or more")));
    }

    if (parser.isSet(QStringLiteral("check"))) {
        LabelData widest = widestLabel(row.value_or(1), QDate::currentDate());
        // A unit's serial, when the run takes them: one of a usual length.
        if (const auto serial = given("serial"))
            widest.serial = *serial;
        widest.qrSerial = given("qr") == QStringLiteral("serial+mac");
        if (!layOutLabel(widest, target->size, target->dpi, &error))
            return toInt(failed(ExitCode::Usage, error));
        if (const auto problem = unusableTarget(*target))
            return toInt(failed(ExitCode::LabelNotPrinted, *problem));
        return toInt(ExitCode::Ok);
    }

    SettingValues values;
    const std::pair<const char *, Setting> settings[] = {{"ip", Setting::IpAddress}, {"gateway", Setting::Gateway},
                                                         {"tcp-port", Setting::Port}, {"mac", Setting::MacAddress}};
    for (const auto &[name, setting] : settings) {
        valueOf(values, setting) = given(name);
        if (!valueOf(values, setting))
            return toInt(failed(ExitCode::Usage, QStringLiteral("a label needs --ip, --gateway, --tcp-port and --mac")));
    }
    if (const auto refusal = refuseToWrite(values, parser.isSet(QStringLiteral("force"))))
        return toInt(failed(ExitCode::Usage, *refusal));
    LabelData label = labelFor(values, row, QDate::currentDate());
    label.serial = given("serial").value_or(QString());
    label.qrSerial = given("qr") == QStringLiteral("serial+mac");
    // A size too small is no printing failure: it is found before anything is sent.
    if (!layOutLabel(label, target->size, target->dpi, &error))
        return toInt(failed(ExitCode::Usage, error));

    LabelPrinter printer;
    QObject::connect(&printer, &LabelPrinter::finished, &printer, [target](int, const LabelOutcome &outcome) {
        const QString where = target->forModule(outcome.label.mac).describe();
        if (outcome.sent) {
            QTextStream(stdout) << labelSentWord() << " for " << outcome.label.mac << " to " << where
                                << "; the printer did not report its status" << '\n';
            return QCoreApplication::exit(toInt(ExitCode::Ok));
        }
        if (!outcome.printed)
            return QCoreApplication::exit(toInt(failed(ExitCode::LabelNotPrinted, outcome.reason)));
        QTextStream(stdout) << "Label for " << outcome.label.mac << " printed to " << where << '\n';
        QCoreApplication::exit(toInt(ExitCode::Ok));
    });
    printer.print(label, *target);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Labels are drawn with no display, over SSH too.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vev-label"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VEV_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws and prints one module's label (started by vev-cli and "
                                                    "the station; see vev-cli --help)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const char *const valued[][2] = {{"ip", "A"}, {"gateway", "G"}, {"tcp-port", "N"}, {"mac", "M"}, {"row", "N"},
                                     {"serial", "S"}, {"qr", "WHAT"}, {"pdf", "FILE"}, {"folder", "DIR"}, {"zpl", "HOST:PORT"}, {"printer", "NAME"}};
    for (const auto &[name, value] : valued)
        parser.addOption({QLatin1String(name), QString(), QLatin1String(value)});
    parser.addOption({QStringLiteral("label-size"), QString(), QStringLiteral("WxH"), QStringLiteral("62x29")});
    parser.addOption({QStringLiteral("dpi"), QString(), QStringLiteral("DPI"), QString::number(defaultLabelDpi)});
    parser.addOption({QStringLiteral("force"), QString()});
    parser.addOption({QStringLiteral("check"), QStringLiteral("Lay out the widest label of a plan of --row rows "
                                                              "and check the target; print nothing.")});
    parser.process(app);
    return run(parser);
}
