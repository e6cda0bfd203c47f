// SPDX-License-Identifier: MIT
#include "label/label.h"

#include "protocol/values.h"

#include <QFontMetricsF>

#include <qrencode.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

constexpr double mmPerInch = 25.4;
// A hand scanner reads 3 dots of a 203 dpi printer; larger modules read
// more easily, but past 5 dots the text needs the room more.
constexpr double smallestModuleMm = 0.375;
constexpr double preferredModuleMm = 0.625;
constexpr int quietZoneModules = 4;
constexpr double smallestCapHeightMm = 2.0;
// Text keeps this far from the label's edges, where printers do not reach,
// and from the code's quiet zone, so that a scanner sees the zone whole.
constexpr double edgeMarginMm = 1.0;
// The printer's own scalable font sets its capitals at about 0.7 of the
// height asked for; assume no more, so they are not smaller than ours.
constexpr double printerFontCapShare = 0.7;
// Fonts are measured at this pixel size and scaled, which keeps rounding out.
constexpr int measuringPixels = 1000;

double exactDots(double mm, int dpi)
{
    return mm * dpi / mmPerInch;
}

// Whole dots: at least a length, within one, or nearest to it. The slack
// keeps floating-point noise from adding or losing a dot.
constexpr double dotSlack = 1e-9;
int dotsAtLeast(double mm, int dpi)
{
    return int(std::ceil(exactDots(mm, dpi) - dotSlack));
}
int dotsWithin(double mm, int dpi)
{
    return int(std::floor(exactDots(mm, dpi) + dotSlack));
}
int dotsNear(double mm, int dpi)
{
    return int(std::lround(exactDots(mm, dpi)));
}

std::optional<QrSymbol> qrSymbol(const QString &text, QString *error)
{
    const QByteArray bytes = text.toLatin1();
    // Level M: a scuffed label still reads, and a MAC address fits version 1.
    const std::unique_ptr<QRcode, void (*)(QRcode *)> code(
        QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), QRcode_free);
    if (!code) {
        *error = QStringLiteral("cannot make the QR code: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    QrSymbol symbol;
    symbol.width = code->width;
    symbol.dark.resize(code->width * code->width);
    for (int i = 0; i < symbol.dark.size(); ++i)
        symbol.dark[i] = code->data[i] & 1;
    return symbol;
}

// The text block's proportions, per dot of font size.
struct TextShape {
    double width = 0;
    double ascent = 0;
    double descent = 0;
    double lineSpacing = 0;
    double capShare = 0;
    int lines = 0;

    int widthAt(int em) const { return int(std::ceil(width * em)); }
    int heightAt(int em) const
    {
        return int(std::ceil(((lines - 1) * lineSpacing + ascent + descent) * em));
    }
};

enum class Arrangement { Beside, Below };

struct Fit {
    Arrangement arrangement;
    int module;
    int em;
};

// Values end up inside printer commands as well: only sound ones pass.
bool checkLabel(const LabelData &label, int dpi, QString *error)
{
    const std::pair<Setting, const QString &> values[] = {
        {Setting::MacAddress, label.mac}, {Setting::IpAddress, label.ip},
        {Setting::Gateway, label.gateway}, {Setting::Port, label.tcpPort}};
    for (const auto &[setting, value] : values) {
        if (!isValidValue(setting, value)) {
            *error = value.isEmpty() ? QStringLiteral("the label needs the %1").arg(QLatin1String(settingInfo(setting).name))
                                     : QStringLiteral("invalid %1 for the label: \"%2\"")
                                           .arg(QLatin1String(settingInfo(setting).name), value);
            return false;
        }
    }
    if ((label.row && *label.row < 1) || !label.date.isValid()) {
        *error = QStringLiteral("the label needs a valid date and a row of 1 or more");
        return false;
    }
    if (!isLabelDpi(dpi)) {
        *error = QStringLiteral("a label printer has 203 or 300 dpi, not %1").arg(dpi);
        return false;
    }
    return true;
}

TextShape measured(const QStringList &texts, const QFont &font)
{
    const QFontMetricsF metrics(font);
    TextShape text;
    for (const QString &line : texts)
        text.width = std::max(text.width, metrics.horizontalAdvance(line) / measuringPixels);
    text.ascent = metrics.ascent() / measuringPixels;
    text.descent = metrics.descent() / measuringPixels;
    text.lineSpacing = metrics.lineSpacing() / measuringPixels;
    text.capShare = std::min(metrics.capHeight() / measuringPixels, printerFontCapShare);
    text.lines = int(texts.size());
    return text;
}

// The label's room in dots, and the code and text that fit it.
struct Room {
    Room(const LabelSize &size, int dpi, int qrWidth)
        : dpi(dpi)
        , width(dotsWithin(size.widthMm, dpi))
        , height(dotsWithin(size.heightMm, dpi))
        , margin(dotsNear(edgeMarginMm, dpi))
        , smallestModule(dotsAtLeast(smallestModuleMm, dpi))
        , preferredModule(std::max(smallestModule, dotsNear(preferredModuleMm, dpi)))
        , modulesAcross(qrWidth + 2 * quietZoneModules)
    {
    }

    int smallestEm(const TextShape &text) const
    {
        return int(std::ceil(dotsAtLeast(smallestCapHeightMm, dpi) / text.capShare));
    }

    bool fits(const TextShape &text, Arrangement arrangement, int module, int em) const
    {
        const int side = modulesAcross * module;
        if (arrangement == Arrangement::Beside) {
            return side <= height && side + text.widthAt(em) + 2 * margin <= width
                   && text.heightAt(em) + 2 * margin <= height;
        }
        return side <= width && side + text.heightAt(em) + 2 * margin <= height
               && text.widthAt(em) + 2 * margin <= width;
    }

    // The largest text, then the code as near its preferred size as fits.
    std::optional<Fit> bestFit(const TextShape &text) const
    {
        std::optional<Fit> best;
        for (const Arrangement arrangement : {Arrangement::Beside, Arrangement::Below}) {
            if (!fits(text, arrangement, smallestModule, smallestEm(text)))
                continue;
            Fit fit {arrangement, smallestModule, smallestEm(text)};
            while (fit.module < preferredModule && fits(text, arrangement, fit.module + 1, fit.em))
                ++fit.module;
            while (fits(text, arrangement, fit.module, fit.em + 1))
                ++fit.em;
            if (!best || fit.em > best->em)
                best = fit;
        }
        return best;
    }

    // Why nothing fits, with the smallest size that would.
    QString tooSmall(const LabelSize &size, const TextShape &text) const
    {
        const int side = modulesAcross * smallestModule;
        const int textWidth = text.widthAt(smallestEm(text));
        const int textHeight = text.heightAt(smallestEm(text));
        const auto mm = [this](int dots) { return QString::number(std::ceil(dots * mmPerInch / dpi * 10) / 10, 'f', 1); };
        return QStringLiteral("label size %1x%2 mm is too small: the QR code (modules of %3 mm, quiet zone of %4) "
                              "and text with capitals of %5 mm need at least %6x%7 mm side by side, "
                              "or %8x%9 mm with the text below the code")
            .arg(size.widthMm).arg(size.heightMm).arg(smallestModuleMm).arg(quietZoneModules).arg(smallestCapHeightMm)
            .arg(mm(side + textWidth + 2 * margin), mm(std::max(side, textHeight + 2 * margin)),
                 mm(std::max(side, textWidth + 2 * margin)), mm(side + textHeight + 2 * margin));
    }

    int dpi;
    int width;
    int height;
    int margin;
    int smallestModule;
    int preferredModule;
    int modulesAcross;
};

void place(LabelLayout &layout, const Room &room, const TextShape &text, const Fit &best, const QStringList &texts)
{
    layout.moduleDots = best.module;
    layout.emDots = best.em;
    const int side = room.modulesAcross * best.module;
    const int textWidth = text.widthAt(best.em);
    const int textHeight = text.heightAt(best.em);
    QPoint block; // the code's top left corner, quiet zone included
    QPoint textTop;
    if (best.arrangement == Arrangement::Beside) {
        block = QPoint(0, (room.height - side) / 2);
        textTop = QPoint(side + room.margin, (room.height - textHeight) / 2);
    } else {
        block = QPoint((room.width - side) / 2, 0);
        textTop = QPoint((room.width - textWidth) / 2,
                         side + room.margin + (room.height - side - 2 * room.margin - textHeight) / 2);
    }
    layout.qrOrigin = block + QPoint(quietZoneModules, quietZoneModules) * best.module;
    for (int i = 0; i < texts.size(); ++i) {
        const int baseline = textTop.y() + int(std::ceil((text.ascent + i * text.lineSpacing) * best.em));
        layout.lines.append({texts.at(i), QPoint(textTop.x(), baseline)});
    }
}

} // namespace

LabelData labelFor(const SettingValues &values, std::optional<int> row, const QDate &date)
{
    const auto value = [&values](Setting setting) {
        const auto &v = valueOf(values, setting);
        return v ? canonicalValue(setting, *v) : QString();
    };
    return {value(Setting::MacAddress), value(Setting::IpAddress), value(Setting::Gateway), value(Setting::Port),
            row, date};
}

LabelData widestLabel(int rows, const QDate &date)
{
    // Every digit is as wide as any other in the label's font; of the MAC
    // address's letters D is the widest, and DC: has no group bit.
    return {QStringLiteral("DC:DD:DD:DD:DD:DD"), QStringLiteral("200.200.200.200"),
            QStringLiteral("200.200.200.201"), QStringLiteral("65535"), std::max(rows, 1), date};
}

std::optional<LabelLayout> layOutLabel(const LabelData &label, const LabelSize &size, int dpi, QString *error)
{
    if (!checkLabel(label, dpi, error))
        return std::nullopt;
    LabelLayout layout;
    layout.dpi = dpi;
    const QString mac = canonicalValue(Setting::MacAddress, label.mac);
    layout.qrText = label.qrSerial && !label.serial.isEmpty() ? label.serial + QLatin1Char(';') + mac : mac;
    const auto symbol = qrSymbol(layout.qrText, error);
    if (!symbol)
        return std::nullopt;
    layout.qr = *symbol;
    const QString date = label.date.toString(Qt::ISODate);
    QStringList texts = {
        QStringLiteral("MAC ") + mac,
        QStringLiteral("IP ") + label.ip,
        QStringLiteral("Gateway ") + label.gateway,
        QStringLiteral("TCP port ") + label.tcpPort,
        label.row ? QStringLiteral("Row %1  %2").arg(*label.row).arg(date) : date,
    };
    if (!label.serial.isEmpty())
        texts.prepend(QStringLiteral("S/N ") + label.serial);
    layout.font = QFont(QStringLiteral("DejaVu Sans"));
    layout.font.setStyleHint(QFont::SansSerif);
    layout.font.setHintingPreference(QFont::PreferNoHinting);
    layout.font.setPixelSize(measuringPixels);
    const TextShape text = measured(texts, layout.font);

    const Room room(size, dpi, layout.qr.width);
    layout.sizeDots = QSize(room.width, room.height);
    const auto best = room.bestFit(text);
    if (!best) {
        *error = room.tooSmall(size, text);
        return std::nullopt;
    }
    place(layout, room, text, *best, texts);
    return layout;
}
