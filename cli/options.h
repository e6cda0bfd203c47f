// SPDX-License-Identifier: MIT
#pragma once

// vev-cli's options, each written once with its help, and the program's
// description for --help (and the manual page made from it).

#include "label/labeljob.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

namespace cli {

// The description --help prints above the options, the exit codes last.
QString programDescription();

struct Options {
    // The one set of options; commands take some of them by name.
    QCommandLineOption port {QStringLiteral("port"),
        QStringLiteral("Serial port: a name the system lists (ttyUSB0) or a device path. With find, extra ports to "
                       "ask; with provision, one lane each."), QStringLiteral("PATH")};
    QCommandLineOption timeout {QStringLiteral("timeout"),
        QStringLiteral("How long to wait for the module's answer (default 3000); an answer under way is let finish. "
                       "provision: also how long a silent line means the module was taken off."),
        QStringLiteral("MS"), QStringLiteral("3000")};
    QCommandLineOption json {QStringLiteral("json"),
        QStringLiteral("read: print the settings as JSON, in the form write --from takes; plan status, report: as JSON.")};
    QCommandLineOption ip {QStringLiteral("ip"), QStringLiteral("write, label: the IP address."), QStringLiteral("A")};
    QCommandLineOption gateway {QStringLiteral("gateway"), QStringLiteral("write, label: the gateway address."),
                                QStringLiteral("G")};
    QCommandLineOption tcpPort {QStringLiteral("tcp-port"), QStringLiteral("write, label: the TCP port, 0-65535."),
                                QStringLiteral("N")};
    QCommandLineOption mac {QStringLiteral("mac"),
        QStringLiteral("write, label: the MAC address, 12 hex digits, bare or in pairs joined by : or -."),
        QStringLiteral("M")};
    QCommandLineOption autoValues {QStringLiteral("auto"),
        QStringLiteral("write: IP and gateway from this computer's routed address (last number + 1, and its router).")};
    QCommandLineOption from {QStringLiteral("from"),
        QStringLiteral("write: take the settings from a JSON file as read --json prints it; options given as well win. "
                       "report: count lines from this time on (ISO 8601; UTC when no zone is given)."),
        QStringLiteral("FILE|TIME")};
    QCommandLineOption force {QStringLiteral("force"),
        QStringLiteral("write, provision, label: allow an IP address ending in .0 or .255 (on a network larger than "
                       "a /24).")};
    QCommandLineOption noVerify {QStringLiteral("no-verify"),
                                 QStringLiteral("write: do not read the settings back after writing them.")};
    QCommandLineOption plan {QStringLiteral("plan"), QStringLiteral("provision, plan, report: the plan, a CSV file."),
                             QStringLiteral("PLAN.csv")};
    QCommandLineOption audit {QStringLiteral("audit"),
        QStringLiteral("provision, plan: the audit trail, appended to (JSON lines); label: reprint from it; report: "
                       "read from it."),
        QStringLiteral("AUDIT.jsonl")};
    QCommandLineOption once {QStringLiteral("once"),
        QStringLiteral("provision: one module per lane, then exit (3 if a lane saw none within --timeout).")};
    QCommandLineOption station {QStringLiteral("station"),
        QStringLiteral("provision, plan release: the station's name in the audit (default: the host name); "
                       "report: count only that station's lines."),
        QStringLiteral("NAME")};
    QCommandLineOption operatorName {QStringLiteral("operator"),
        QStringLiteral("provision, plan release: the operator's name, recorded on every audit line."),
        QStringLiteral("NAME")};
    QCommandLineOption row {QStringLiteral("row"),
        QStringLiteral("plan release: the plan row to hand back; label: the row on the label, or to reprint."),
        QStringLiteral("N")};
    QCommandLineOption last {QStringLiteral("last"),
        QStringLiteral("audit-verify: the hash the audit must end at (as audit-verify printed it)."),
        QStringLiteral("HASH")};
    QCommandLineOption stationRole {QStringLiteral("station-role"),
        QStringLiteral("db init: the database role the stations log in as, given only what a station needs."),
        QStringLiteral("NAME")};
    QCommandLineOption acceptAuditFrom {QStringLiteral("accept-audit-from"),
        QStringLiteral("provision --db: after a restore from a backup, go on from the audit's line SEQ with hash HASH "
                       "(as audit-verify --db prints them), though it no longer holds the last line this station "
                       "stored; recorded in the audit."), QStringLiteral("SEQ:HASH")};
    QCommandLineOption db {QStringLiteral("db"),
        QStringLiteral("provision, plan, audit, audit-verify, report: the plan and audit in a PostgreSQL database that "
                       "several stations share, in place of --plan and --audit."), QStringLiteral("URI")};

    QCommandLineOption pdf {QStringLiteral("pdf"),
        QStringLiteral("label: a PDF of the label's size (replaced only once whole)."), QStringLiteral("FILE")};
    QCommandLineOption zpl {QStringLiteral("zpl"),
        QStringLiteral("label: ZPL II to a label printer's raw TCP port (usually 9100)."), QStringLiteral("HOST:PORT")};
    QCommandLineOption printer {QStringLiteral("printer"),
        QStringLiteral("label: a CUPS printer (lpstat -p lists them)."), QStringLiteral("NAME")};
    QCommandLineOption labels {QStringLiteral("labels"),
        QStringLiteral("provision, label: a PDF a module in this folder, named after its MAC address."),
        QStringLiteral("DIR")};
    QCommandLineOption labelZpl {QStringLiteral("label-zpl"),
        QStringLiteral("provision: a label for each module that passes, as ZPL II to this printer."),
        QStringLiteral("HOST:PORT")};
    QCommandLineOption labelPrinter {QStringLiteral("label-printer"),
        QStringLiteral("provision: a label for each module that passes, on this CUPS printer."), QStringLiteral("NAME")};
    QCommandLineOption labelSize {QStringLiteral("label-size"),
        QStringLiteral("label, provision: width x height in millimetres (default 62x29); a size too small for the "
                       "code and text is refused."), QStringLiteral("WxH"), QStringLiteral("62x29")};
    QCommandLineOption dpi {QStringLiteral("dpi"),
        QStringLiteral("label, provision: the label printer's resolution, 203 or 300 (default 203)."),
        QStringLiteral("DPI"), QString::number(defaultLabelDpi)};

    QCommandLineOption serial {QStringLiteral("serial"),
        QStringLiteral("provision: the units' serial numbers: off (the default), optional (recorded when one is "
                       "scanned) or required (nothing is written to a unit before its serial is scanned); rework: the "
                       "unit's serial."), QStringLiteral("MODE")};
    QCommandLineOption serialPattern {QStringLiteral("serial-pattern"),
        QStringLiteral("provision: a regular expression a serial must match whole; one that does not is refused."),
        QStringLiteral("REGEX")};
    QCommandLineOption scanner {QStringLiteral("scanner"),
        QStringLiteral("provision: a barcode scanner on a serial port (one code a line) for the lane of LANE_PORT; "
                       "once per lane."), QStringLiteral("LANE_PORT=DEVICE")};
    QCommandLineOption maxAttempts {QStringLiteral("max-attempts"),
        QStringLiteral("provision: a unit that has had N attempts goes to rework and is not written again until "
                       "vev-cli rework (default 3 with serials, none without; 0: no limit)."), QStringLiteral("N")};
    QCommandLineOption labelQr {QStringLiteral("label-qr"),
        QStringLiteral("provision, label: what the label's QR code holds: mac (the default) or serial+mac "
                       "(SERIAL;MAC)."), QStringLiteral("WHAT"), QStringLiteral("mac")};
    QCommandLineOption code {QStringLiteral("code"),
        QStringLiteral("rework: the failure code the unit is reworked for (see Failure codes)."), QStringLiteral("CODE")};
    QCommandLineOption note {QStringLiteral("note"), QStringLiteral("rework: a note, recorded with it."),
                             QStringLiteral("TEXT")};
    // The roster, sign-in and shifts.
    QCommandLineOption roster {QStringLiteral("roster"),
        QStringLiteral("provision, plan release, shift start, operator list: the roster, a CSV file of id, name, role "
                       "and badge; with it the operator signs in with their badge, and a supervisor's badge is needed "
                       "to release a row or start a shift. With --db, the database's roster when this is not given."),
        QStringLiteral("FILE")};
    QCommandLineOption badgeFile {QStringLiteral("badge-file"),
        QStringLiteral("provision, plan release, shift start, operator add: read the badge code from the first line of "
                       "this file (readable by its owner alone) instead of the terminal or stdin."),
        QStringLiteral("FILE")};
    QCommandLineOption name {QStringLiteral("name"),
        QStringLiteral("shift start: the shift's name (may be left out); operator add: the person's name."),
        QStringLiteral("NAME")};
    QCommandLineOption personId {QStringLiteral("id"),
        QStringLiteral("operator add, operator remove: the person's short id, 1 to 16 letters, digits, '.', '_' or '-'."),
        QStringLiteral("ID")};
    QCommandLineOption role {QStringLiteral("role"),
        QStringLiteral("operator add: operator or supervisor (default operator)."), QStringLiteral("ROLE"),
        QStringLiteral("operator")};
    QCommandLineOption toTime {QStringLiteral("to"),
        QStringLiteral("report: count lines before this time (ISO 8601; UTC when no zone is given)."),
        QStringLiteral("TIME")};
    QCommandLineOption shift {QStringLiteral("shift"),
        QStringLiteral("report: shifts by clock time in UTC, HH:MM-HH:MM separated by commas; one may cross "
                       "midnight."), QStringLiteral("SHIFTS")};
    QCommandLineOption csv {QStringLiteral("csv"), QStringLiteral("report: as CSV, one table.")};
    QCommandLineOption html {QStringLiteral("html"),
        QStringLiteral("report: one self-contained HTML page with charts, to FILE."), QStringLiteral("FILE")};

    QList<QCommandLineOption> all() const
    {
        return {port, timeout, json, ip, gateway, tcpPort, mac, autoValues, from, force, noVerify, plan, audit,
                once, station, operatorName, row, last, pdf, zpl, printer, labels, labelZpl, labelPrinter,
                labelSize, dpi, db, stationRole, acceptAuditFrom, serial, serialPattern, scanner, maxAttempts, labelQr,
                code, note, roster, badgeFile, name, personId, role, toTime, shift, csv, html};
    }
};

// The options every command may be given with, found by their long name.
const Options &options();

} // namespace cli
