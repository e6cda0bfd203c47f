// SPDX-License-Identifier: MIT
#include "labelcommand.h"

#include "client/gatewayclient.h"
#include "label/labelprinter.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstring>
#include <utility>

std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv)
{
    // Any argument spelled "label" counts: an option value of that name
    // costs only a heavier start, while the command is never missed.
    const bool label = std::any_of(argv + 1, argv + argc, [](const char *arg) { return std::strcmp(arg, "label") == 0; });
    if (!label)
        return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

void runLabel(const QCommandLineParser &parser, const Done &done)
{
    const auto option = [&parser](const char *name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    const auto usage = [&done](const QString &message) { done(fail(Usage, message + QStringLiteral("; nothing was printed"))); };

    SettingValues values;
    const std::pair<const char *, Setting> given[] = {{"ip", Setting::IpAddress}, {"gateway", Setting::Gateway},
                                                      {"tcp-port", Setting::Port}, {"mac", Setting::MacAddress}};
    for (const auto &[name, setting] : given) {
        if (!isSet(name))
            return usage(QStringLiteral("label needs --ip, --gateway, --tcp-port and --mac"));
        valueOf(values, setting) = option(name);
    }
    if (const auto refusal = refuseToWrite(values, isSet("force")))
        return usage(*refusal);

    std::optional<int> row;
    if (isSet("row")) {
        bool ok = false;
        row = option("row").toInt(&ok);
        if (!ok || *row < 1)
            return usage(QStringLiteral("--row needs a plan row, 1 or more, not \"%1\"").arg(option("row")));
    }

    LabelTarget target;
    const int outputs = int(isSet("pdf")) + int(isSet("zpl")) + int(isSet("printer"));
    if (outputs != 1)
        return usage(QStringLiteral("label needs one of --pdf, --zpl and --printer"));
    QString error;
    if (isSet("pdf")) {
        target.kind = LabelTarget::Kind::Pdf;
        target.name = option("pdf");
    } else if (isSet("zpl")) {
        const auto address = parsePrinterAddress(option("zpl"), &error);
        if (!address)
            return usage(error);
        target.kind = LabelTarget::Kind::Zpl;
        std::tie(target.name, target.port) = *address;
    } else {
        target.kind = LabelTarget::Kind::Printer;
        target.name = option("printer");
    }
    const auto size = parseLabelSize(option("label-size"), &error);
    if (!size)
        return usage(error);
    target.size = *size;
    bool dpiOk = false;
    target.dpi = option("dpi").toInt(&dpiOk);
    if (!dpiOk || !isLabelDpi(target.dpi))
        return usage(QStringLiteral("--dpi is 203 or 300, not \"%1\"").arg(option("dpi")));

    const LabelData label = labelFor(values, row, QDate::currentDate());
    // A size too small, found before anything is sent.
    if (!layOutLabel(label, target.size, target.dpi, &error))
        return usage(error);

    auto *printer = new LabelPrinter(QCoreApplication::instance());
    QObject::connect(printer, &LabelPrinter::finished, printer, [printer, target, done](int, const LabelOutcome &outcome) {
        printer->deleteLater();
        if (!outcome.printed)
            return done(fail(LabelNotPrinted, QStringLiteral("the label was not printed: ") + outcome.reason));
        out() << "Label for " << outcome.label.mac << " printed to " << target.describe() << '\n';
        done(Ok);
    });
    printer->print(label, target);
}
