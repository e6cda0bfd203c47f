// SPDX-License-Identifier: MIT
#include "label/labeloutput.h"

#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <cmath>

namespace {

// Fine enough that text sizes and module edges land within 0.03 mm.
constexpr int pdfDpi = 1200;

QPageSize pageSizeOf(const LabelSize &size)
{
    return QPageSize(QSizeF(size.widthMm, size.heightMm), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

} // namespace

void paintLabel(QPainter &painter, const LabelLayout &layout, double deviceDpi)
{
    const double scale = deviceDpi / layout.dpi;
    // One path for all modules: filled at once, neighbours show no seams.
    QPainterPath modules;
    for (int y = 0; y < layout.qr.width; ++y) {
        for (int x = 0; x < layout.qr.width;) {
            if (!layout.qr.isDark(x, y)) {
                ++x;
                continue;
            }
            int run = 1;
            while (x + run < layout.qr.width && layout.qr.isDark(x + run, y))
                ++run;
            const QPointF corner = QPointF(layout.qrOrigin + QPoint(x, y) * layout.moduleDots) * scale;
            modules.addRect(QRectF(corner, QSizeF(run, 1) * layout.moduleDots * scale));
            x += run;
        }
    }
    painter.fillPath(modules, Qt::black);

    QFont font = layout.font;
    font.setPixelSize(int(std::ceil(layout.emDots * scale)));
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (const LabelLayout::Line &line : layout.lines)
        painter.drawText(QPointF(line.baseline) * scale, line.text);
}

bool writeLabelPdf(const LabelLayout &layout, const LabelSize &size, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(pdfDpi);
        writer.setPageLayout(QPageLayout(pageSizeOf(size), QPageLayout::Portrait, QMarginsF()));
        writer.setCreator(QStringLiteral("vev-config"));
        writer.setTitle(QStringLiteral("Label %1").arg(layout.qrText));
        QPainter painter;
        if (!painter.begin(&writer)) {
            *error = QStringLiteral("cannot draw the label into %1").arg(path);
            return false;
        }
        paintLabel(painter, layout, writer.resolution());
    }
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

namespace {

QString noPrinter(const QString &printer)
{
    return QStringLiteral("no printer named \"%1\" (lpstat -p lists them)").arg(printer);
}

} // namespace

std::optional<QString> unusableTarget(const LabelTarget &target)
{
    if (target.kind == LabelTarget::Kind::Printer && QPrinterInfo::printerInfo(target.name).isNull())
        return noPrinter(target.name);
    if (target.kind == LabelTarget::Kind::Folder) {
        // Writing a file is the only sure test of a folder (read-only
        // mounts, ACLs, another user's folder).
        QTemporaryFile probe(QDir(target.name).filePath(QStringLiteral(".vev-label-XXXXXX")));
        if (!QFileInfo(target.name).isDir())
            return QStringLiteral("%1 is not a folder").arg(target.name);
        if (!probe.open())
            return QStringLiteral("cannot write into folder %1: %2").arg(target.name, probe.errorString());
    }
    return std::nullopt;
}

bool printLabelToCups(const LabelLayout &layout, const LabelSize &size, const QString &printer, QString *error)
{
    // Qt quietly turns an unknown printer into PDF output with no file, so
    // the name is checked first.
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull()) {
        *error = noPrinter(printer);
        return false;
    }
    QPrinter device(info, QPrinter::HighResolution);
    device.setFullPage(true);
    device.setPageLayout(QPageLayout(pageSizeOf(size), QPageLayout::Portrait, QMarginsF()));
    device.setDocName(QStringLiteral("Label %1").arg(layout.qrText));
    QPainter painter;
    if (device.outputFormat() != QPrinter::NativeFormat || !painter.begin(&device)) {
        *error = QStringLiteral("printer \"%1\" cannot start a job").arg(printer);
        return false;
    }
    paintLabel(painter, layout, device.resolution());
    painter.end();
    // Qt hands the job to CUPS and ignores the answer; libcups keeps it for
    // this thread.
    if (cupsLastError() >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
        *error = QStringLiteral("printer \"%1\" refused the label: %2")
                     .arg(printer, QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    return true;
}

QByteArray labelZpl(const LabelLayout &layout)
{
    QByteArray zpl = "^XA\n";
    zpl += "^PW" + QByteArray::number(layout.sizeDots.width()) + '\n';
    zpl += "^LL" + QByteArray::number(layout.sizeDots.height()) + '\n';
    zpl += "^LH0,0\n";
    // Model 2, the module size in dots; M and A: error correction level M
    // as ours, and the input mode picked by the printer.
    zpl += "^FO" + QByteArray::number(layout.qrOrigin.x()) + ',' + QByteArray::number(layout.qrOrigin.y())
           + "^BQN,2," + QByteArray::number(layout.moduleDots) + "^FDMA," + layout.qrText.toLatin1() + "^FS\n";
    const QByteArray font = "^A0N," + QByteArray::number(layout.emDots) + ',' + QByteArray::number(layout.emDots);
    for (const LabelLayout::Line &line : layout.lines) {
        // ^FT places a field by its baseline, as our layout does.
        zpl += "^FT" + QByteArray::number(line.baseline.x()) + ',' + QByteArray::number(line.baseline.y()) + font
               + "^FD" + line.text.toLatin1() + "^FS\n";
    }
    zpl += "^XZ\n";
    return zpl;
}
