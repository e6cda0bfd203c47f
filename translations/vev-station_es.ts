<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>DoubtModel</name>
    <message>
        <source>Row %1 was written to a module that held before: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MAC</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GlancePanel</name>
    <message>
        <source>under a minute</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n min</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This shift: not counted yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The shift&apos;s figures are not counted: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n units, first-pass yield %1, final yield %2</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>no units yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The whole audit: %1; %2 PASS, %3 FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This shift (%1): %2; %3 PASS, %4 FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 PASS, %3 FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 s a module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lanes: no module yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lanes: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No failures</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Commonest failures: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 modules an hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>– modules an hour (none passed yet)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n rows left, %1 of them in doubt</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n rows left</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>the plan is done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>about %1 to finish</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · %2 · %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Instructions</name>
    <message>
        <source>Put a module on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leave the module on</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Take it off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep this module aside: put it back on a lane to finish row {row}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Take it off: nothing was written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Take it off: it already holds row {row}, recorded as passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set it aside and call the supervisor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>leave it: lane {lane} is writing it, check the wiring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>leave it: another station is writing row {row}, check the wiring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leave it on to finish row {row}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set it aside for rework</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set this module aside with the one before it: row {row} is in doubt again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Take it off: no open row is left; only modules of rows in doubt are taken</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another lane or program talks on this lane&apos;s wires: check the wiring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fixture disconnected: check the cable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The lane is stopped: Start begins the next run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every row of the plan is done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Acknowledge the FAIL of row {row} to go on: click the tile, press Enter or scan ACK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: no &quot;=&quot; (write kind = text)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: no kind &quot;%2&quot; (the kinds are %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: &quot;%2&quot; given again (first on line %3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: no text for &quot;%2&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>line %1: no such place to fill as {%2} (there are {row} and {lane})</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>larger than %1 KiB: not an instructions file</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LaneState</name>
    <message>
        <source>READY</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WORKING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DONE BEFORE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IN DOUBT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WIRING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PORT LOST</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PLAN DONE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HOLD</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LaneStep</name>
    <message>
        <source>reading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>writing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>finishing the row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>verifying</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>recording</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LaneText</name>
    <message>
        <source>a row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, recorded as passed, but not the rest of it: it may be a unit that came back changed; nothing was written to it, set it aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, which is in doubt, and is not that row&apos;s module; nothing was written to it, set it aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: the module carries an address of row %1, being written on another lane; nothing is written to it until that lane is done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: the module carries part of row %1, whose other part is on another module (swapped in the middle of its writes); nothing was written to it: set it aside until that module has been given a row of its own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: the module could be that of row %1 or of another row in doubt; nothing was written to it, set it aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT: %1; nothing was written to it: set it aside and call the supervisor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>plan used up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stopped: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no module within %1 ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port lost: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed; nothing was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing was written: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stopped: answers came that this lane did not ask for; another lane or program talks to the module on the same wires (a Y cable, two lanes wired to one module): check the wiring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the claim could not be recorded, nothing was written: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %2 on the module with MAC %3 could not be recorded (%4); the row is in doubt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>recording row %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: the database has not answered for %2 s (%3); still waiting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>waiting for a module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>reading a module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>writing %1 over the IP address of row %2 the module carried</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>writing </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>finishing %1, which was in doubt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>verifying row %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>storing the outcome of row %1 while the store is unreachable (%2); retrying</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS row %1: take the module off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL row %1 (%2): take the module off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed: take it off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no open row is left for this module: take it off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL row %1: the module lost its settings: set this module aside with the one before it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port lost: %1; waiting for the device to come back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>port lost; the device is back but cannot be opened: %1; trying again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>held after the FAIL of row %1: acknowledge it to take the next module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a module is on, held after the FAIL of row %1: acknowledge it to take this module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a module is on: scan its serial</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: take it off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>row %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> [serial %1, attempt %2]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> [serial %1]</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; label printing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; label printed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; label sent, the printer did not confirm it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; label NOT printed (%1), reprint with vev-cli label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 passed, %3 failed this run; %4 rows left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan used up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 in doubt (put their modules back on a lane to finish them, or release them %2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LaneTile</name>
    <message>
        <source>Lane %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rework done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial of the unit on lane %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The failed unit on this lane is back from rework: its attempts count again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan refused: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1: IP %2, MAC %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Before: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan %1 or press Enter to acknowledge the FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lane %1, %2: %3, %4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OperatorDialog</name>
    <message>
        <source>Who is at the bench?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Operator&apos;s name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type your name: nothing is recorded without the name of who is at the bench.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The name</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecordsModel</name>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1 on %2 at %3: %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (operator: %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Result</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RecordsPanel</name>
    <message>
        <source>Last records, newest first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last records of the audit, newest first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows in doubt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows in doubt: part of each may be on a module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release the selected row in doubt back to the plan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a record to read it whole.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a row to release it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScanRouter</name>
    <message>
        <source>Several lanes hold a FAIL: click the tile of the one you have dealt with.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lanes %1 each wait for a serial: click the scan field of the lane the unit is on, then scan.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lane %1: scan refused: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>with MAC </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>with serial </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The rework of the unit %1 was not recorded: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The unit %1 is back from rework: its next attempt is its first again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SetupPanel</name>
    <message>
        <source>No labels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PDF files in a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ZPL printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CUPS printer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HOST:PORT, such as 10.0.0.9:9100</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a printer&apos;s name (lpstat -p)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set-up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audit file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Labels for the modules that pass</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where the labels go</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The units&apos; serial numbers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No serials</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial when scanned</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial required</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pattern a serial must match</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pattern, e.g. SN-[0-9]{6}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial ports: tick one for each lane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port to add, by device path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the plan file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the audit file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instructions file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: the tiles say what to do in their own words</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A text file, one line per kind of outcome: kind = text (see the manual)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A FAIL holds its lane until acknowledged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The lane takes no next module until the operator clicks its tile, presses Enter or scans %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Roster file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: the operator types a name; with one, operators sign in with their badge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a CSV file, or postgresql://… for a plan several benches share</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in the database, with the plan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Plan:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Audit:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Roste&amp;r:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;tation:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La&amp;bels:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Se&amp;rials:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Lanes:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I&amp;nstructions:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audit (*.jsonl);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SignInDialog</name>
    <message>
        <source>The shift&apos;s name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>may be left empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shift:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Badge code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Badge:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SoundCues</name>
    <message>
        <source>Sound on PASS</source>
        <translation>Sonido si APTO</translation>
    </message>
    <message>
        <source>Sound on FAIL</source>
        <translation>Sonido si FALLO</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>Choose the plan: a CSV file, or the postgresql:// URI of a plan several benches share.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the audit file (JSON lines; a new file is created).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Operator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tick or type at least one serial port: each is a lane.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 and %2 are the same port (%3); give each port once.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Labels: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial pattern &quot;%1&quot;: %2 at character %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instructions %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>The plan or audit is held by %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No report: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>choose the plan and its audit first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The report is in %1; no program opened it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The report is in %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Making the report…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Releasing a row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changing the set-up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starting a new shift</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change set-up…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>With a roster, the set-up is changed with a supervisor&apos;s badge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New shift…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record the start of a shift in the audit (a supervisor&apos;s badge, with a roster)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set-up opened by %1 (%2) until the next Start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not started: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan your badge, or type your code, to start the run.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not started: sign-in refused: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is recorded under the name of who is at the bench: type your name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type your name to start the run: every line of the audit carries it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: the roster cannot be read: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a supervisor&apos;s badge: scan it, or type the code.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The shift&apos;s name, as reports show it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refused: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1 released: it goes back to the plan.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1 was not released: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The shift&apos;s name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No shift started: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A new shift starts: recorded in the audit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shift %1 starts: recorded in the audit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No shift started: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VeV-Idire Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start the run (Space or Enter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finish and record the modules in hand, then stop (Escape asks first)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The line report of the plan as a page in the browser: yield, failures by code, output by station and every unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tick a port for each lane and press Start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings not used: %1; the set-up is not remembered.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%v of %m passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100000 of 100000 passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; the run stops.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; nothing more is sent to any module, and the run stops.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>below</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opening the plan, the audit and the ports…</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes, but %1.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes. Escape stops once the modules in hand are finished.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Stopping: the lanes finish and record the modules in hand…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plan: %1 of %2 passed, %3 left, %4 in doubt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop the run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop the run? Each lane first finishes and records the module in hand.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop and close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A supervisor&apos;s badge is asked next: the release is recorded in the audit under the supervisor&apos;s name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The release is recorded in the audit under the operator&apos;s name, %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(none given)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release row %1 (IP %2, MAC %3) back to the plan?

The row is in doubt: part of it may be on the module it was written to (before: %4). Release it only once that module has been dealt with:
• it was put back on a lane and finished the row (the row then leaves this list by itself), or
• it was wiped back to its settings before, or scrapped.

Once released, the next module may be given the row. %5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Release</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
