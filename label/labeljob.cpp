// SPDX-License-Identifier: MIT
#include "label/labeljob.h"

#include "protocol/values.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace {

// Larger than any label printer takes; keeps the dot counts sane.
constexpr double largestLabelMm = 1000;

} // namespace

std::optional<LabelSize> parseLabelSize(const QString &text, QString *error)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*(\d+(?:\.\d+)?)\s*[xX×]\s*(\d+(?:\.\d+)?)\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    const LabelSize size {match.captured(1).toDouble(), match.captured(2).toDouble()};
    if (!match.hasMatch()) {
        *error = QStringLiteral("label size \"%1\" is not WxH in millimetres, such as 62x29").arg(text);
        return std::nullopt;
    }
    if (size.widthMm <= 0 || size.heightMm <= 0 || size.widthMm > largestLabelMm || size.heightMm > largestLabelMm) {
        *error = QStringLiteral("label size \"%1\" is out of range: each side must be over 0 and at most %2 mm")
                     .arg(text).arg(largestLabelMm);
        return std::nullopt;
    }
    return size;
}

bool isLabelDpi(int dpi)
{
    return dpi == 203 || dpi == 300;
}

QString LabelTarget::describe() const
{
    switch (kind) {
    case Kind::Pdf: return name;
    case Kind::Folder: return QStringLiteral("folder %1").arg(name);
    case Kind::Zpl:
        return QStringLiteral("printer %1:%2")
            .arg(name.contains(QLatin1Char(':')) ? QLatin1Char('[') + name + QLatin1Char(']') : name)
            .arg(port);
    case Kind::Printer: return QStringLiteral("printer \"%1\"").arg(name);
    }
    return name;
}

LabelTarget LabelTarget::forModule(const QString &mac) const
{
    if (kind != Kind::Folder)
        return *this;
    LabelTarget file = *this;
    file.kind = Kind::Pdf;
    file.name = QDir(name).filePath(canonicalValue(Setting::MacAddress, mac).remove(QLatin1Char(':'))
                                    + QStringLiteral(".pdf"));
    return file;
}

std::optional<std::pair<QString, quint16>> parsePrinterAddress(const QString &text, QString *error)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = text.left(colon);
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        host.clear(); // an IPv6 address goes in brackets
    constexpr uint highestPort = 65535;
    if (colon < 0 || host.isEmpty() || !ok || port == 0 || port > highestPort) {
        *error = QStringLiteral("printer \"%1\" is not HOST:PORT (such as 10.0.5.9:9100, or [fd00::9]:9100)").arg(text);
        return std::nullopt;
    }
    return std::make_pair(host, quint16(port));
}

std::optional<LabelTarget> labelTarget(const LabelTargetOptions &options, QString *error)
{
    LabelTarget target;
    const int given = int(bool(options.pdf)) + int(bool(options.folder)) + int(bool(options.zpl))
                      + int(bool(options.printer));
    if (given != 1) {
        *error = QStringLiteral("one place for the label, no more");
        return std::nullopt;
    }
    if (options.pdf || options.folder || options.printer) {
        target.kind = options.pdf ? LabelTarget::Kind::Pdf
                                  : options.folder ? LabelTarget::Kind::Folder : LabelTarget::Kind::Printer;
        target.name = options.pdf.value_or(options.folder.value_or(options.printer.value_or(QString())));
        if (target.name.isEmpty()) {
            *error = QStringLiteral("the label's file, folder or printer is empty");
            return std::nullopt;
        }
    } else {
        const auto address = parsePrinterAddress(*options.zpl, error);
        if (!address)
            return std::nullopt;
        target.kind = LabelTarget::Kind::Zpl;
        std::tie(target.name, target.port) = *address;
    }
    const auto size = parseLabelSize(options.size, error);
    if (!size)
        return std::nullopt;
    target.size = *size;
    bool dpiOk = false;
    target.dpi = options.dpi.toInt(&dpiOk);
    if (!dpiOk || !isLabelDpi(target.dpi)) {
        *error = QStringLiteral("--dpi is 203 or 300, not \"%1\"").arg(options.dpi);
        return std::nullopt;
    }
    return target;
}

QStringList labelArguments(const LabelJob &job, bool check)
{
    QStringList arguments;
    if (check)
        arguments << QStringLiteral("--check");
    const std::pair<const char *, Setting> settings[] = {{"--ip", Setting::IpAddress}, {"--gateway", Setting::Gateway},
                                                         {"--tcp-port", Setting::Port}, {"--mac", Setting::MacAddress}};
    for (const auto &[option, setting] : settings) {
        if (const auto &value = valueOf(job.values, setting))
            arguments << QLatin1String(option) << *value;
    }
    if (job.row)
        arguments << QStringLiteral("--row") << QString::number(*job.row);
    if (job.force)
        arguments << QStringLiteral("--force");
    if (!job.serial.isEmpty())
        arguments << QStringLiteral("--serial") << job.serial;
    if (job.qrSerial)
        arguments << QStringLiteral("--qr") << QStringLiteral("serial+mac");
    const LabelTarget &target = job.target;
    switch (target.kind) {
    case LabelTarget::Kind::Pdf: arguments << QStringLiteral("--pdf") << target.name; break;
    case LabelTarget::Kind::Folder: arguments << QStringLiteral("--folder") << target.name; break;
    case LabelTarget::Kind::Printer: arguments << QStringLiteral("--printer") << target.name; break;
    case LabelTarget::Kind::Zpl:
        arguments << QStringLiteral("--zpl")
                  << (target.name.contains(QLatin1Char(':')) ? QLatin1Char('[') + target.name + QLatin1Char(']')
                                                             : target.name)
                         + QLatin1Char(':') + QString::number(target.port);
        break;
    }
    arguments << QStringLiteral("--label-size")
              << QStringLiteral("%1x%2").arg(target.size.widthMm).arg(target.size.heightMm)
              << QStringLiteral("--dpi") << QString::number(target.dpi);
    return arguments;
}

QString labelHelperPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QStringLiteral("/../libexec/vev-config/vev-label"));
}

std::optional<bool> parseLabelQr(const QString &text, QString *error)
{
    if (text == QLatin1String("mac"))
        return false;
    if (text == QLatin1String("serial+mac"))
        return true;
    *error = QStringLiteral("--label-qr takes mac or serial+mac, not \"%1\"").arg(printable(text));
    return std::nullopt;
}
