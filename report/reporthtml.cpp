// SPDX-License-Identifier: MIT
// The line report as one page: inline SVG drawn here, CSS in the page, no
// script, no network, no fonts but the reader's own. Every text that comes
// from the audit (stations, operators, serial numbers, codes) is escaped.

#include "reportwriters.h"

#include "protocol/wireformat.h"

#include <algorithm>
#include <set>

namespace report {

namespace {

// Beyond these a chart or table shows the last (or largest) ones and says so.
constexpr int chartedPeriods = 48;
constexpr int chartedStations = 40;
constexpr int chartedCodes = 15;
constexpr int tableGroups = 200;

QString esc(const QString &text)
{
    QString escaped = printable(text).toHtmlEscaped();
    return escaped.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QString num(double value)
{
    return QString::number(value, 'f', 1);
}

QString pct(double share, int base)
{
    return base > 0 ? QString::number(share * 100, 'f', 1) + QLatin1Char('%') : QStringLiteral("-");
}

const char *style = R"(
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;margin:0 auto;max-width:960px;padding:12px;color:#1b1b1b;background:#fff}
h1{font-size:1.4em;margin:.2em 0}h2{font-size:1.1em;margin:1.4em 0 .4em;border-bottom:1px solid #ccc}
.figures{display:flex;flex-wrap:wrap;gap:8px}.figure{flex:1 1 140px;border:1px solid #ccc;border-radius:6px;padding:8px}
.figure b{display:block;font-size:1.4em}
.scroll{overflow-x:auto}table{border-collapse:collapse;width:100%;font-size:.9em}
th,td{border-bottom:1px solid #ddd;padding:3px 6px;text-align:left;white-space:nowrap}td.n,th.n{text-align:right}
tr.failed td{background:#fdecea}tr.lost td{background:#fff4d6}
svg{width:100%;height:auto;max-width:100%}svg text{font-size:13px;fill:#1b1b1b}
.note{color:#555;font-size:.9em}
@media (max-width:600px){body{padding:6px}th,td{padding:2px 4px;font-size:.85em}}
@media print{body{max-width:none;padding:0}.figure{break-inside:avoid}svg,table{break-inside:avoid}tr{break-inside:avoid}a{color:inherit}}
)";

QString figure(const QString &label, const QString &value, const QString &detail = {})
{
    return QStringLiteral("<div class=\"figure\">%1<b>%2</b>%3</div>").arg(label, value, detail);
}

// First-pass and final yield of each period, side by side, 0 to 100%.
QString yieldChart(const QList<Group> &periods)
{
    const QList<Group> shown = periods.mid(std::max(0, int(periods.size()) - chartedPeriods));
    if (shown.isEmpty())
        return QStringLiteral("<p>No outcomes.</p>");
    const int left = 40, top = 10, height = 160, bottom = 70, width = 640;
    const double slot = double(width - left - 10) / shown.size();
    QString svg = QStringLiteral("<svg viewBox=\"0 0 %1 %2\" role=\"img\" aria-label=\"yield over time\">")
                      .arg(width).arg(top + height + bottom);
    for (int p = 0; p <= 100; p += 25) {
        const double y = top + height - height * p / 100.0;
        svg += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#ddd\"/>"
                              "<text x=\"%4\" y=\"%5\" text-anchor=\"end\">%6%</text>")
                   .arg(left).arg(num(y)).arg(width - 10).arg(left - 4).arg(num(y + 4)).arg(p);
    }
    for (int i = 0; i < shown.size(); ++i) {
        const Group &g = shown.at(i);
        const double x = left + i * slot;
        const double bar = std::max(1.0, slot * 0.4);
        const double first = g.firstAttempts > 0 ? g.firstPassYield() : 0;
        const double final = g.units > 0 ? g.finalYield() : 0;
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#6a9bd1\"><title>%5 first-pass %6</title></rect>")
                   .arg(num(x + slot * 0.1)).arg(num(top + height - height * first)).arg(num(bar))
                   .arg(num(height * first)).arg(esc(g.label), pct(first, g.firstAttempts));
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#2e7d32\"><title>%5 final %6</title></rect>")
                   .arg(num(x + slot * 0.5)).arg(num(top + height - height * final)).arg(num(bar))
                   .arg(num(height * final)).arg(esc(g.label), pct(final, g.units));
        if (shown.size() <= 24 || i % ((shown.size() + 23) / 24) == 0) {
            const double cx = x + slot / 2, cy = top + height + 8;
            svg += QStringLiteral("<text x=\"%1\" y=\"%2\" transform=\"rotate(45 %1 %2)\">%3</text>")
                       .arg(num(cx)).arg(num(cy)).arg(esc(g.label.left(22)));
        }
    }
    svg += QStringLiteral("</svg><p class=\"note\"><span style=\"color:#6a9bd1\">&#9632;</span> first-pass yield "
                          "<span style=\"color:#2e7d32\">&#9632;</span> final yield");
    if (shown.size() < periods.size())
        svg += QStringLiteral("; the last %1 of %2 periods").arg(shown.size()).arg(periods.size());
    return svg + QStringLiteral("</p>");
}

// Horizontal bars, largest first as given; cumulative share for a Pareto.
QString barChart(const QList<QPair<QString, int>> &bars, const QString &label, bool cumulative, const QString &colour)
{
    if (bars.isEmpty())
        return QStringLiteral("<p>None.</p>");
    int most = 1, total = 0;
    for (const auto &bar : bars) {
        most = std::max(most, bar.second);
        total += bar.second;
    }
    const int row = 22, left = 200, width = 640;
    QString svg = QStringLiteral("<svg viewBox=\"0 0 %1 %2\" role=\"img\" aria-label=\"%3\">")
                      .arg(width).arg(bars.size() * row + 8).arg(esc(label));
    int running = 0;
    for (int i = 0; i < bars.size(); ++i) {
        const auto &[name, count] = bars.at(i);
        running += count;
        const double length = double(width - left - 130) * count / most;
        const int y = 4 + i * row;
        svg += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"end\">%3</text>"
                              "<rect x=\"%4\" y=\"%5\" width=\"%6\" height=\"16\" fill=\"%7\"/>"
                              "<text x=\"%8\" y=\"%2\">%9</text>")
                   .arg(left - 6).arg(y + 12).arg(esc(name.left(30))).arg(left).arg(y).arg(num(std::max(length, 1.0)))
                   .arg(colour).arg(num(left + length + 6))
                   .arg(cumulative ? QStringLiteral("%1 (cum. %2)").arg(count).arg(percentText(running, total))
                                   : QString::number(count));
    }
    return svg + QStringLiteral("</svg>");
}

QString groupTable(const QString &title, const QList<Group> &groups)
{
    QString html = QStringLiteral("<div class=\"scroll\"><table><tr><th>%1</th><th class=\"n\">units</th>"
                                  "<th class=\"n\">first-pass</th><th class=\"n\">final</th><th class=\"n\">outcomes</th>"
                                  "<th class=\"n\">failed</th></tr>").arg(title);
    for (const Group &g : groups.mid(0, tableGroups)) {
        html += QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td class=\"n\">%3</td><td class=\"n\">%4</td>"
                               "<td class=\"n\">%5</td><td class=\"n\">%6</td></tr>")
                    .arg(esc(g.label)).arg(g.units).arg(pct(g.firstPassYield(), g.firstAttempts))
                    .arg(pct(g.finalYield(), g.units)).arg(g.outcomes).arg(g.failed);
    }
    html += QStringLiteral("</table></div>");
    if (groups.size() > tableGroups)
        html += QStringLiteral("<p class=\"note\">The first %1 of %2.</p>").arg(tableGroups).arg(groups.size());
    return html;
}

QString unitTable(const QList<Unit> &units, const HtmlLimits &limits, QString *note)
{
    // Every failed or lost unit (the latest up to the limit), and the last units.
    std::set<int> shown;
    int failedShown = 0, failedAll = 0;
    for (int i = int(units.size()) - 1; i >= 0; --i) {
        if (units.at(i).passed && !units.at(i).lost)
            continue;
        ++failedAll;
        if (failedShown < limits.failedUnits) {
            shown.insert(i);
            ++failedShown;
        }
    }
    for (int i = std::max(0, int(units.size()) - limits.lastUnits); i < units.size(); ++i)
        shown.insert(i);
    if (int(shown.size()) < units.size()) {
        *note = QStringLiteral("The table shows %1 of %2 units: the last %3 and %4 failed or lost (of %5); "
                               "vev-cli report --csv or --json has the figures, the audit every unit.")
                    .arg(shown.size()).arg(units.size()).arg(std::min<int>(limits.lastUnits, units.size()))
                    .arg(failedShown).arg(failedAll);
    }
    QString html = QStringLiteral("<div class=\"scroll\"><table><tr><th>unit</th><th>row</th><th>MAC</th><th>IP</th>"
                                  "<th class=\"n\">attempts</th><th>result</th><th>station</th><th>operator</th>"
                                  "<th>time (UTC)</th></tr>");
    for (const int i : shown) {
        const Unit &u = units.at(i);
        const QString result = u.result();
        html += QStringLiteral("<tr class=\"%1\"><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td class=\"n\">%6</td>"
                               "<td>%7</td><td>%8</td><td>%9</td><td>%10</td></tr>")
                    .arg(result, esc(u.key)).arg(u.row).arg(esc(u.mac), esc(u.ip)).arg(u.attempts)
                    .arg(u.passed && !u.lost ? result : result + QStringLiteral(" (") + esc(u.lastCode) + QLatin1Char(')'),
                         esc(u.station), esc(u.operatorName), u.time > 0 ? timeText(u.time) : QString());
    }
    return html + QStringLiteral("</table></div>");
}

} // namespace

QByteArray reportHtml(const Report &r, const QString &source, const HtmlLimits &limits)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                                  "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                                  "style-src 'unsafe-inline'; img-src data:\">"
                                  "<title>Line report: %1</title><style>%2</style></head><body>")
                       .arg(esc(source), QString::fromLatin1(style));
    html += QStringLiteral("<h1>Line report</h1><p class=\"note\">%1: %2 lines, %3 counted, %4 (UTC)</p>")
                .arg(esc(source)).arg(r.lines).arg(r.counted)
                .arg(r.first ? timeText(*r.first) + QStringLiteral(" to ") + timeText(*r.last) : QStringLiteral("no lines"));
    const auto hours = r.hoursToFinish();
    html += QStringLiteral("<div class=\"figures\">");
    html += figure(QStringLiteral("Units"), QString::number(r.total.units));
    html += figure(QStringLiteral("First-pass yield"), percentText(r.total.firstPassed, r.total.firstAttempts),
                   QStringLiteral("%1 of %2").arg(r.total.firstPassed).arg(r.total.firstAttempts));
    html += figure(QStringLiteral("Final yield"), percentText(r.total.passedUnits, r.total.units),
                   QStringLiteral("%1 of %2").arg(r.total.passedUnits).arg(r.total.units));
    html += figure(QStringLiteral("Failed"), QString::number(r.total.failed), QStringLiteral("outcome and lost lines"));
    html += figure(QStringLiteral("Rows left"), QString::number(r.rowsLeft()),
                   QStringLiteral("%1 in doubt, of %2").arg(r.plan.inDoubt).arg(r.plan.rows));
    html += figure(QStringLiteral("Time to finish"),
                   !hours ? QStringLiteral("unknown") : *hours == 0 ? QStringLiteral("done") : hoursText(*hours),
                   QStringLiteral("at %1 passed in the last hour").arg(r.lastHourPassed));
    html += figure(QStringLiteral("Conflicts"), QString::number(r.plan.onTwoModules.size()),
                   QStringLiteral("rows that may be on two modules"));
    html += QStringLiteral("</div>");
    if (!r.plan.onTwoModules.isEmpty()) {
        html += QStringLiteral("<ul>");
        for (const QString &row : r.plan.onTwoModules.mid(0, tableGroups))
            html += QStringLiteral("<li>") + esc(row) + QStringLiteral("</li>");
        html += QStringLiteral("</ul>");
    }

    html += QStringLiteral("<h2>Yield by %1</h2>").arg(r.byShift ? QStringLiteral("shift") : QStringLiteral("hour"));
    html += yieldChart(r.periods);

    html += QStringLiteral("<h2>Failures by code</h2>");
    QList<QPair<QString, int>> codes;
    for (const FailureCount &failure : r.failures.mid(0, chartedCodes))
        codes << qMakePair(failure.code, failure.count);
    html += barChart(codes, QStringLiteral("failures by code"), true, QStringLiteral("#c62828"));
    if (!r.failures.isEmpty()) {
        html += QStringLiteral("<div class=\"scroll\"><table><tr><th>code</th><th class=\"n\">count</th><th>meaning</th></tr>");
        for (const FailureCount &failure : r.failures) {
            html += QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td>%3</td></tr>")
                        .arg(esc(failure.code)).arg(failure.count).arg(esc(failure.meaning));
        }
        html += QStringLiteral("</table></div>");
    }

    html += QStringLiteral("<h2>Output by station</h2>");
    QList<Group> stations = r.stations;
    std::stable_sort(stations.begin(), stations.end(), [](const Group &a, const Group &b) { return a.passedUnits > b.passedUnits; });
    QList<QPair<QString, int>> output;
    for (const Group &g : stations.mid(0, chartedStations))
        output << qMakePair(g.label, g.passedUnits);
    html += barChart(output, QStringLiteral("units passed by station"), false, QStringLiteral("#2e7d32"));
    html += groupTable(QStringLiteral("station"), r.stations);

    html += QStringLiteral("<h2>By lane</h2>") + groupTable(QStringLiteral("lane"), r.lanes);
    if (!r.laneTimes.isEmpty()) {
        html += QStringLiteral("<div class=\"scroll\"><table><tr><th>lane</th><th class=\"n\">modules</th>"
                               "<th class=\"n\">median s</th><th class=\"n\">95th percentile s</th></tr>");
        for (const LaneTime &lane : r.laneTimes.mid(0, tableGroups)) {
            html += QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td class=\"n\">%3</td><td class=\"n\">%4</td></tr>")
                        .arg(esc(lane.lane)).arg(lane.modules).arg(num(lane.median), num(lane.p95));
        }
        html += QStringLiteral("</table></div>");
    }
    html += QStringLiteral("<h2>By operator</h2>") + groupTable(QStringLiteral("operator"), r.operators);
    html += QStringLiteral("<h2>By %1</h2>").arg(r.byShift ? QStringLiteral("shift") : QStringLiteral("hour"))
            + groupTable(r.byShift ? QStringLiteral("shift") : QStringLiteral("hour"), r.periods.mid(
                  std::max(0, int(r.periods.size()) - tableGroups)));

    html += QStringLiteral("<h2>Units</h2>");
    QString note;
    const QString table = unitTable(r.units, limits, &note);
    if (!note.isEmpty())
        html += QStringLiteral("<p class=\"note\" id=\"capped\">") + note + QStringLiteral("</p>");
    html += table;
    html += QStringLiteral("<p class=\"note\">Made by vev-cli report %1. Times are UTC.</p></body></html>\n")
                .arg(QStringLiteral(VEV_VERSION));
    return html.toUtf8();
}

} // namespace report
