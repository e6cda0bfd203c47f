// SPDX-License-Identifier: MIT
#pragma once

// The line report written out: text for a terminal, JSON and CSV for
// scripts and spreadsheets, and one self-contained HTML page (inline SVG
// charts, no script, no network, no fonts of its own) for a phone or a
// printer.

#include "report/linereport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace report {

QString reportText(const Report &report, const QString &source);
QJsonObject reportJson(const Report &report, const QString &source);
// One table: section,key,label,units,passed_units,first_attempts,first_passed,
// outcomes,failed,first_pass_yield,final_yield,count,median_s,p95_s.
QString reportCsv(const Report &report);

// The page's unit table: the last lastUnits units and, before them, every
// failed or lost one up to failedUnits; the page says what it left out.
struct HtmlLimits {
    int lastUnits = 1000;
    int failedUnits = 3000;
};
QByteArray reportHtml(const Report &report, const QString &source, const HtmlLimits &limits = {});

// A time to finish as the report prints it: "1.5 h", "20 min".
QString hoursText(double hours);

// A share as the report prints it: "97.5%"; "-" with no base.
QString percentText(int part, int whole);

} // namespace report
