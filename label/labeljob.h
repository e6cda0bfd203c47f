// SPDX-License-Identifier: MIT
#pragma once

// What one label is and where it goes, and the command line of vev-label,
// the helper that draws and prints it. QtCore only: the programs that have
// labels printed (vev-cli, the station) start the helper and so never load
// Qt GUI, Print Support or libcups themselves.

#include "protocol/settingsjson.h"

#include <QStringList>

#include <optional>
#include <utility>

struct LabelSize {
    double widthMm = 62;
    double heightMm = 29;
};

// "62x29", in millimetres; std::nullopt and *error when it is not a size.
std::optional<LabelSize> parseLabelSize(const QString &text, QString *error);

// The resolutions of the label printers in use: 8 and 12 dots a millimetre.
inline constexpr int defaultLabelDpi = 203;
bool isLabelDpi(int dpi);

struct LabelTarget {
    enum class Kind {
        Pdf,     // a PDF file
        Folder,  // a PDF a module, named after its MAC address
        Zpl,     // ZPL II to a printer's raw TCP port
        Printer, // a CUPS printer
    };
    Kind kind = Kind::Pdf;
    QString name;     // the file, the folder, the ZPL printer's host or the CUPS printer
    quint16 port = 0; // ZPL: the printer's raw TCP port
    LabelSize size;
    int dpi = defaultLabelDpi;

    // As messages name it: "label.pdf", "printer 10.0.0.9:9100".
    QString describe() const;
    // Where one module's label goes: in a folder, 020000001001.pdf for
    // 02:00:00:00:10:01, so that a reprint replaces it.
    LabelTarget forModule(const QString &mac) const;
};

// "HOST:PORT" or "[v6 address]:PORT": the host and port of a ZPL printer.
std::optional<std::pair<QString, quint16>> parsePrinterAddress(const QString &text, QString *error);

// The target from its options as given (nullopt: not given): one of pdf,
// folder, zpl and printer, with the size and resolution.
struct LabelTargetOptions {
    std::optional<QString> pdf;
    std::optional<QString> folder;
    std::optional<QString> zpl;
    std::optional<QString> printer;
    QString size = QStringLiteral("62x29");
    QString dpi = QString::number(defaultLabelDpi);
};
std::optional<LabelTarget> labelTarget(const LabelTargetOptions &options, QString *error);

struct LabelJob {
    SettingValues values;
    std::optional<int> row; // the plan row; a label printed from values has none
    bool force = false;     // accept an IP address on the edge of its /24, as write --force
    LabelTarget target;
    QString serial = {};    // the unit's serial number, printed as text; empty: none
    bool qrSerial = false;  // the QR code holds the serial and the MAC address, not the MAC alone
};

// --label-qr: what the QR code holds, "mac" (the default) or "serial+mac";
// nothing, with *error, for anything else.
std::optional<bool> parseLabelQr(const QString &text, QString *error);

// vev-label's command line for a job. check: lay out the widest label the
// plan's rows can give and check that the target can be used, print nothing.
QStringList labelArguments(const LabelJob &job, bool check = false);

// The helper beside a program, installed (/usr/bin and
// /usr/libexec/vev-config) or in the build tree (each program's folder one
// below the build's root, the helper in libexec/vev-config under it).
QString labelHelperPath();
