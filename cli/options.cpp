// SPDX-License-Identifier: MIT
#include "options.h"

#include "base/exitcodes.h"
#include "plan/failurecodes.h"

namespace cli {

namespace {

const char *const description = R"text(Reads and writes the Ethernet settings of VeV-Idire gateway modules over a serial line (9600 8N1).

Commands:
  read      Print the module's IP address, gateway, TCP port and MAC address
            as soon as all four have come. Settings the module leaves out are
            shown as "(not reported)", or as null with --json.
  write     Send the settings given (--ip, --gateway, --tcp-port, --mac, --auto
            or --from) in the order IP, gateway, port, MAC, each once the one
            before is acknowledged (at most one second apart), then read the
            four settings back and compare. One line per setting: acknowledged
            or not, and verified or what reads back instead.
  list      List the serial ports that no program holds open.
  find      Ask each free port (and each --port) at once for its IP address and
            list those where a module answers.
  provision A production line: --plan PLAN.csv --audit AUDIT.jsonl --port P
            [--port P2 ...] [--once] [--station NAME] [--operator NAME]
            [--force]. Each --port is a lane, and the lanes run at once: a lane
            waits until a module answers, reads it, and gives it the next open
            row of the plan; before the first byte goes to the module it
            records a claim (the row, the port, the module's settings before)
            in the audit; then it writes the row (a setting left
            unacknowledged ends the writes), reads it back, records the
            outcome, prints PASS or FAIL, and waits until the module is taken
            off (no answer for --timeout) or another module answers; a
            module that passed is read whole each second while it stays, and
            one seen without its row puts the row in doubt again (a "lost"
            line; set both aside). A module is known by all four settings: it
            holds a passed row only with all four (nothing for it; with
            --once, exit 11); it is a row in doubt's module only when each
            setting is the row's or its own before and a written one holds
            the row's, and it lacks nothing a module took in a failed attempt
            (the row is finished on it); one that carries a passed
            or in-doubt row's MAC otherwise is a conflict (nothing written;
            with --once, exit 15), unless it is that row's failed read-back
            (a swap mid-write), and one that carries only such a row's IP
            gets a fresh row over all four. A row claimed without an outcome
            (a run that died), or whose outcome is not a pass, is in doubt:
            it goes to no other module, or the operator hands it back with
            plan release. A lane that hears answers it did not ask for (a Y
            cable) stops and says the wiring is wrong. A row counts as done
            when the audit records its IP and MAC as passed, whatever its line
            in the plan. The plan is a CSV file with the header
            ip,gateway,tcp_port,mac (any order and case; ";" separators
            taken), checked whole before anything is sent, by the rules of
            write (--force as for write). One run holds the plan and the audit:
            the files themselves are locked, by whatever path or link they
            are reached, and a second run is refused (exit 12; a note beside
            each, NAME.lock, names the holder). The audit gets one JSON line
            per claim, outcome and release, chained by SHA-256; a re-run
            resumes. If the audit is replaced, truncated or written by another
            program during the run, or the plan is replaced, nothing more is
            sent to any module: the outcome of each module in hand is kept in
            a file beside the audit (vev-unstored-...jsonl, for audit import)
            and the run ends with exit 16. --once handles one module per lane.
            Ctrl-C, SIGTERM and SIGHUP finish the modules in hand, then stop.
            With --labels DIR, --label-zpl HOST:PORT or --label-printer NAME
            (and --label-size, --dpi) each module that passes gets a label,
            printed while the lanes go on; a failed module gets none. The
            audit gets a label line after the module's outcome: printed, or
            why not. A label that is not printed leaves the module's result
            as it is: its lane says so, the run ends with exit 13, and
            vev-cli label --audit reprints it. The run's end waits up to 30 s
            for labels still printing. The label's size and the folder or
            printer are checked before anything is sent.
            Units' serial numbers: with --serial optional or required, a
            code scanned for a lane (--scanner LANE_PORT=DEVICE, a scanner on
            a serial port, one code a line) goes with the next module on it,
            or the one on it; one scanned while a verdict is shown means a new
            module is on. With required, nothing is written to a module until
            its serial is in. A serial is letters, digits, spaces and
            - _ . / : # + ( ), and must match --serial-pattern whole. It is
            recorded in the claim, the outcome and the label line and printed
            on the label (in its QR code too with --label-qr serial+mac). One
            unit, one row: a serial that passed with another row, or a row
            that passed on another serial, is a conflict (exit 15 with
            --once). Each outcome carries its attempt (by serial, else by
            row); a unit that has had --max-attempts attempts goes to rework
            (nothing written; exit 18 with --once) until vev-cli rework.
  rework --plan PLAN.csv --audit AUDIT.jsonl (--serial S | --mac M)
            --code CODE [--note TEXT]
            A unit is back from rework: recorded in the audit; its attempts
            count again from this line.
  plan status --plan PLAN.csv --audit AUDIT.jsonl [--json]
            Rows by state (open, claimed, passed, failed), the rows in doubt
            with the module's settings before, and which run holds the files.
  plan release --plan PLAN.csv --audit AUDIT.jsonl --row N [--operator NAME]
            Hand a row in doubt back to the plan once its module has been
            dealt with; recorded in the audit.
  label     Print a module's label to one of --pdf FILE, --labels DIR (the
            file named after the MAC address, 020000001001.pdf, replaced by a
            reprint), --zpl HOST:PORT (ZPL II to a label printer's raw port)
            or --printer NAME (CUPS), at --label-size WxH mm (default 62x29)
            for a printer of --dpi 203 or 300. The label shows the MAC and IP
            address, gateway, TCP port, plan row and today's date, and a QR
            code holding the MAC address alone. From values: --ip, --gateway,
            --tcp-port and --mac (checked as write checks them; --row adds
            the row). Reprinted from an audit: --audit AUDIT.jsonl (or --db
            URI) with --row N or --mac M, from the module's last passed
            outcome (exit 14 if there is none; exit 10 if the audit does not
            check out). Labels are drawn by a helper on Qt's offscreen
            platform: no display is needed, and the other commands load no
            GUI library.
  audit import --plan PLAN.csv --audit AUDIT.jsonl FILE
            Add the records a stopped run kept in FILE to the audit once it is
            sound again, those not there already, re-chained; the rows follow.
  audit-verify AUDIT.jsonl [--last HASH]
            Check every record and the audit's chain and print the count and
            the hash of the last line, or name the first line that was
            changed, removed, inserted or is malformed. With --last, also
            check that the audit ends at that hash (a copy kept elsewhere
            catches a rewritten chain).
  report --plan PLAN.csv --audit AUDIT.jsonl (or --db URI) [--from TIME]
         [--to TIME] [--shift HH:MM-HH:MM,...] [--station NAME]
         [--json | --csv | --html FILE]
            The line report: units (by serial number, else by plan row),
            first-pass and final yield by station, lane, operator and hour
            (by shift with --shift, clock times in UTC, or where the audit
            has shift lines), failures by code (most first), the time a
            lane takes a module (median and 95th percentile), passed per
            hour, rows left and in doubt, the time to finish at the last
            hour's rate, and rows that may be on two modules. --from and
            --to (ISO 8601, UTC when no zone is given) bound the lines
            counted; --station NAME counts that station's lines only (the
            rows left are the plan's). --html FILE writes one self-contained page with charts
            and the unit table. The audit must check out (exit 10 if not).

Several benches share one plan through a PostgreSQL database: --db URI takes
the place of --plan and --audit (URI: postgresql://[user@][host][:port]/dbname
[?host=/socket/dir&port=N]; give the password in PGPASSWORD or ~/.pgpass).
  db init --db URI --station-role ROLE
            Run as the login that is to own the tables: make them, or bring
            them up to this version (taking over tables a station's login
            made), and give ROLE, the stations' login, only what a station
            needs: it cannot change a plan row's values, an audit line or
            the tables, nor a row's state without its audit line.
  plan import --db URI PLAN.csv [--force]
            Check the plan whole, and against every row already in the
            database (no IP or MAC address twice), and add it in one
            transaction after those rows, or nothing.
  provision --db URI --station NAME --port P [--port P2 ...]
            As with files; the rows come from the database, claimed by one
            lane at a time whatever the number of stations. Two running
            stations with one name are refused (exit 12). While the database
            cannot be reached, the lanes claim nothing new and keep retrying
            the outcome in hand; a run stopped meanwhile keeps it in a file it
            names, for audit import. A station refuses to start (exit 10)
            when the audit no longer holds the last line it stored; after a
            restore from a backup, --accept-audit-from SEQ:HASH (the line
            the audit ends at now) lets it go on, and is recorded.
  plan status --db URI [--json], plan release --db URI --row N
            As with files, and rows by station and passed per hour.
  audit export --db URI
            The audit as JSON lines on stdout, as a file would hold it.
  audit import --db URI FILE
            Add the records a stopped run kept in FILE.
  audit-verify --db URI [--last HASH]
            Check the audit in place, as audit-verify checks a file.
  report --db URI [...]
            As with files; the database's views vev_units, vev_yield_hourly
            and vev_failures_by_code give a dashboard the same figures.

Operators, supervisors and shifts: with a roster (--roster FILE, a CSV file of
id,name,role,badge; or, with --db, the roster the database keeps) people sign
in with their badge. A badge code is read from the terminal without echo, from
stdin when it is not a terminal (a badge scanner types it), or from the first
line of --badge-file FILE (readable by its owner alone); never from the command
line. A roster file that holds codes in clear must be its owner's alone (chmod
600); one of hashes only may be read by others.
  provision ... --roster FILE [--badge-file FILE]
            The operator signs in before anything starts; an unknown code
            starts nothing (exit 2). Every line of the run carries the
            operator's id and name (operator_id, operator). --operator NAME
            is for a bench without a roster.
  plan release ... --roster FILE [--badge-file FILE]
            Needs a supervisor's badge; an operator's is refused. The release
            line names the supervisor (supervisor_id, supervisor).
  shift start (--plan PLAN.csv --audit AUDIT.jsonl | --db URI) [--name NAME]
            [--roster FILE] [--badge-file FILE]
            Append a shift line to the audit, from which reports count a
            shift; with a roster, a supervisor's badge.
  operator add --db URI --id ID --name NAME [--role operator|supervisor]
            [--badge-file FILE]
            Run as the login that owns the tables: add a person to the
            database's roster, the badge code kept only as a salted hash
            (PBKDF2-HMAC-SHA256). An id or a code someone has is refused.
  operator remove --db URI --id ID
            Take a person off the roster: their badge signs in no more.
  operator list (--db URI | --roster FILE)
            Who is on a roster (checking a roster file), never their codes.

Before anything is sent, write refuses values no device can use: malformed
values, addresses in 0.0.0.0/8, 127.0.0.0/8, 224.0.0.0/4 or 240.0.0.0/4, an IP
address equal to the gateway, MAC addresses that are all zeros, all ones or
have the group bit set; and an IP address ending in .0 or .255 unless --force.

Exit codes:
)text";

} // namespace

QString programDescription()
{
    return QString::fromLatin1(description) + exitCodeHelp()
           + QStringLiteral("\nFailure codes, on each outcome that is not a pass (\"code\" in the audit):\n")
           + failureCodeHelp();
}

const Options &options()
{
    static const Options all;
    return all;
}

} // namespace cli
