// SPDX-License-Identifier: MIT
#pragma once

// A module's label: its four settings, its plan row and the day, beside a
// QR code that holds the MAC address alone, laid out in whole printer dots
// on a label of any size. Laying out measures text, so it needs a
// QGuiApplication.

#include "label/labeljob.h"

#include <QDate>
#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVector>

#include <optional>

struct LabelData {
    QString mac; // upper-case pairs joined by ":", as the code holds it
    QString ip;
    QString gateway;
    QString tcpPort;
    std::optional<int> row; // the plan row; a label printed from values has none
    QDate date;             // the local day it was printed
    QString serial = {};    // the unit's serial number; empty: none
    bool qrSerial = false;  // the code holds "SERIAL;MAC" (with a serial), not the MAC alone
};

// The label of a module with these values (each in its canonical spelling).
// A value that is missing stays empty, and layOutLabel refuses it.
LabelData labelFor(const SettingValues &values, std::optional<int> row, const QDate &date);

// The widest label a module of a plan with this many rows can have: the
// one to lay out when checking a size before any module has come.
LabelData widestLabel(int rows, const QDate &date);

// A QR symbol made by libqrencode: width x width modules, row by row.
struct QrSymbol {
    int width = 0;
    QVector<bool> dark;
    bool isDark(int x, int y) const { return dark.at(y * width + x); }
};

struct LabelLayout {
    struct Line {
        QString text;
        QPoint baseline; // dots from the label's top left corner
    };

    int dpi = defaultLabelDpi;
    QSize sizeDots;
    QString qrText;    // what the code holds: the MAC address
    QrSymbol qr;
    QPoint qrOrigin;   // the symbol's top left corner, inside its quiet zone
    int moduleDots = 0;
    QFont font;        // its pixel size is emDots at the label's resolution
    int emDots = 0;
    QVector<Line> lines;
};

// Places the code and the text on a label of this size for a printer of
// this resolution: modules of at least 0.375 mm with a quiet zone of four,
// capitals of at least 2 mm. Refuses, saying why and what size would do, a
// label too small for that, and values that are missing or malformed.
std::optional<LabelLayout> layOutLabel(const LabelData &label, const LabelSize &size, int dpi, QString *error);
