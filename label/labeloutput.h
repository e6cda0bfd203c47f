// SPDX-License-Identifier: MIT
#pragma once

// A laid-out label as drawing, PDF, a CUPS print job and ZPL II. The PDF and
// CUPS calls block on files and the print server: LabelPrinter runs them off
// the caller's thread.

#include "label/label.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QPainter;

// Draws the label at the painter's origin on a device of deviceDpi.
void paintLabel(QPainter &painter, const LabelLayout &layout, double deviceDpi);

// A one-page PDF of the label's own size. An existing file is replaced only
// once the new one is whole.
bool writeLabelPdf(const LabelLayout &layout, const LabelSize &size, const QString &path, QString *error);

// Prints the label through Qt Print Support on the named CUPS printer and
// says whether the print server took the job.
bool printLabelToCups(const LabelLayout &layout, const LabelSize &size, const QString &printer, QString *error);

// Why a target cannot take labels, found before any module is printed: a
// folder that cannot be written, a CUPS printer the print server does not
// know. A ZPL printer is only tried when a label goes (it may be switched
// on later).
std::optional<QString> unusableTarget(const LabelTarget &target);

// The label as ZPL II: the text in the printer's scalable font, and the code
// as a QR field the printer draws, module for module where ours would be.
QByteArray labelZpl(const LabelLayout &layout);
