<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>DoubtModel</name>
    <message>
        <source>Row %1 was written to a module that held before: %2</source>
        <translation>Zeile %1 wurde auf ein Modul geschrieben, das vorher enthielt: %2</translation>
    </message>
    <message>
        <source>nothing read</source>
        <translation>nichts gelesen</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>Zeile</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
</context>
<context>
    <name>GlancePanel</name>
    <message>
        <source>under a minute</source>
        <translation>unter einer Minute</translation>
    </message>
    <message numerus="yes">
        <source>%n min</source>
        <translation>
            <numerusform>%n Min.</numerusform>
            <numerusform>%n Min.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 Std. %2 Min.</translation>
    </message>
    <message>
        <source>This shift: not counted yet</source>
        <translation>Diese Schicht: noch nicht gezählt</translation>
    </message>
    <message>
        <source>The shift&apos;s figures are not counted: %1</source>
        <translation>Die Zahlen der Schicht sind nicht gezählt: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n units, first-pass yield %1, final yield %2</source>
        <translation>
            <numerusform>%n Gerät, Erstausbeute %1, Endausbeute %2</numerusform>
            <numerusform>%n Geräte, Erstausbeute %1, Endausbeute %2</numerusform>
        </translation>
    </message>
    <message>
        <source>no units yet</source>
        <translation>noch keine Geräte</translation>
    </message>
    <message>
        <source>The whole audit: %1; %2 PASS, %3 FAIL</source>
        <translation>Das ganze Protokoll: %1; %2 BESTANDEN, %3 FEHLER</translation>
    </message>
    <message>
        <source>This shift (%1): %2; %3 PASS, %4 FAIL</source>
        <translation>Diese Schicht (%1): %2; %3 BESTANDEN, %4 FEHLER</translation>
    </message>
    <message>
        <source>%1: %2 PASS, %3 FAIL</source>
        <translation>%1: %2 BESTANDEN, %3 FEHLER</translation>
    </message>
    <message>
        <source>, %1 s a module</source>
        <translation>, %1 s je Modul</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1. %2</translation>
    </message>
    <message>
        <source>Lanes: no module yet</source>
        <translation>Spuren: noch kein Modul</translation>
    </message>
    <message>
        <source>Lanes: %1</source>
        <translation>Spuren: %1</translation>
    </message>
    <message>
        <source>No failures</source>
        <translation>Keine Fehler</translation>
    </message>
    <message>
        <source>Commonest failures: %1</source>
        <translation>Häufigste Fehler: %1</translation>
    </message>
    <message>
        <source>%1 modules an hour</source>
        <translation>%1 Module pro Stunde</translation>
    </message>
    <message>
        <source>– modules an hour (none passed yet)</source>
        <translation>– Module pro Stunde (noch keines bestanden)</translation>
    </message>
    <message numerus="yes">
        <source>%n rows left, %1 of them in doubt</source>
        <translation>
            <numerusform>%n Zeile offen, davon %1 ungewiss</numerusform>
            <numerusform>%n Zeilen offen, davon %1 ungewiss</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n rows left</source>
        <translation>
            <numerusform>%n Zeile offen</numerusform>
            <numerusform>%n Zeilen offen</numerusform>
        </translation>
    </message>
    <message>
        <source>the plan is done</source>
        <translation>der Plan ist erledigt</translation>
    </message>
    <message>
        <source>about %1 to finish</source>
        <translation>noch etwa %1 bis zum Ende</translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message>
        <source>%1 · %2 · %3</source>
        <translation>%1 · %2 · %3</translation>
    </message>
</context>
<context>
    <name>Instructions</name>
    <message>
        <source>Put a module on</source>
        <translation>Ein Modul auflegen</translation>
    </message>
    <message>
        <source>Leave the module on</source>
        <translation>Das Modul liegen lassen</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>Die Seriennummer des Geräts scannen</translation>
    </message>
    <message>
        <source>Take it off</source>
        <translation>Abnehmen</translation>
    </message>
    <message>
        <source>Keep this module aside: put it back on a lane to finish row {row}</source>
        <translation>Dieses Modul beiseitelegen: wieder auf eine Spur legen, um Zeile {row} fertigzustellen</translation>
    </message>
    <message>
        <source>Take it off: nothing was written</source>
        <translation>Abnehmen: es wurde nichts geschrieben</translation>
    </message>
    <message>
        <source>Take it off: it already holds row {row}, recorded as passed</source>
        <translation>Abnehmen: es enthält bereits Zeile {row}, als bestanden erfasst</translation>
    </message>
    <message>
        <source>Set it aside and call the supervisor</source>
        <translation>Beiseitelegen und den Schichtleiter rufen</translation>
    </message>
    <message>
        <source>leave it: lane {lane} is writing it, check the wiring</source>
        <translation>liegen lassen: Spur {lane} schreibt es, Verdrahtung prüfen</translation>
    </message>
    <message>
        <source>leave it: another station is writing row {row}, check the wiring</source>
        <translation>liegen lassen: eine andere Station schreibt Zeile {row}, Verdrahtung prüfen</translation>
    </message>
    <message>
        <source>Leave it on to finish row {row}</source>
        <translation>Liegen lassen, um Zeile {row} fertigzustellen</translation>
    </message>
    <message>
        <source>Set it aside for rework</source>
        <translation>Zur Nacharbeit beiseitelegen</translation>
    </message>
    <message>
        <source>Set this module aside with the one before it: row {row} is in doubt again</source>
        <translation>Dieses Modul mit dem vorigen beiseitelegen: Zeile {row} ist wieder ungewiss</translation>
    </message>
    <message>
        <source>Take it off: no open row is left; only modules of rows in doubt are taken</source>
        <translation>Abnehmen: keine offene Zeile mehr; nur Module ungewisser Zeilen werden genommen</translation>
    </message>
    <message>
        <source>Another lane or program talks on this lane&apos;s wires: check the wiring</source>
        <translation>Eine andere Spur oder ein Programm spricht auf den Leitungen dieser Spur: Verdrahtung prüfen</translation>
    </message>
    <message>
        <source>Fixture disconnected: check the cable</source>
        <translation>Prüfadapter getrennt: Kabel prüfen</translation>
    </message>
    <message>
        <source>The lane is stopped: Start begins the next run</source>
        <translation>Die Spur ist gestoppt: Start beginnt den nächsten Lauf</translation>
    </message>
    <message>
        <source>Every row of the plan is done</source>
        <translation>Jede Zeile des Plans ist erledigt</translation>
    </message>
    <message>
        <source>Acknowledge the FAIL of row {row} to go on: click the tile, press Enter or scan ACK</source>
        <translation>Den FEHLER von Zeile {row} quittieren, um weiterzumachen: Kachel anklicken, Enter drücken oder ACK scannen</translation>
    </message>
    <message>
        <source>line %1: no &quot;=&quot; (write kind = text)</source>
        <translation>Zeile %1: kein „=“ (schreiben Sie art = text)</translation>
    </message>
    <message>
        <source>line %1: no kind &quot;%2&quot; (the kinds are %3)</source>
        <translation>Zeile %1: keine Art „%2“ (die Arten sind %3)</translation>
    </message>
    <message>
        <source>line %1: &quot;%2&quot; given again (first on line %3)</source>
        <translation>Zeile %1: „%2“ erneut angegeben (zuerst in Zeile %3)</translation>
    </message>
    <message>
        <source>line %1: no text for &quot;%2&quot;</source>
        <translation>Zeile %1: kein Text für „%2“</translation>
    </message>
    <message>
        <source>line %1: no such place to fill as {%2} (there are {row} and {lane})</source>
        <translation>Zeile %1: keine Stelle {%2} zum Füllen (es gibt {row} und {lane})</translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation>kein UTF-8-Text</translation>
    </message>
    <message>
        <source>larger than %1 KiB: not an instructions file</source>
        <translation>größer als %1 KiB: keine Anweisungsdatei</translation>
    </message>
</context>
<context>
    <name>LaneState</name>
    <message>
        <source>READY</source>
        <translation>BEREIT</translation>
    </message>
    <message>
        <source>WORKING</source>
        <translation>ARBEITET</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>BESTANDEN</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>DONE BEFORE</source>
        <translation>SCHON ERLEDIGT</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>KONFLIKT</translation>
    </message>
    <message>
        <source>IN DOUBT</source>
        <translation>UNGEWISS</translation>
    </message>
    <message>
        <source>WIRING</source>
        <translation>VERDRAHTUNG</translation>
    </message>
    <message>
        <source>PORT LOST</source>
        <translation>PORT WEG</translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation>GESTOPPT</translation>
    </message>
    <message>
        <source>PLAN DONE</source>
        <translation>PLAN FERTIG</translation>
    </message>
    <message>
        <source>HOLD</source>
        <translation>HALT</translation>
    </message>
</context>
<context>
    <name>LaneStep</name>
    <message>
        <source>reading</source>
        <translation>lesen</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>Zeile beanspruchen</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>schreiben</translation>
    </message>
    <message>
        <source>finishing the row</source>
        <translation>Zeile fertigstellen</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>prüfen</translation>
    </message>
    <message>
        <source>recording</source>
        <translation>erfassen</translation>
    </message>
</context>
<context>
    <name>LaneText</name>
    <message>
        <source>a row</source>
        <translation>eine Zeile</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, recorded as passed, but not the rest of it: it may be a unit that came back changed; nothing was written to it, set it aside</source>
        <translation>KONFLIKT: das Modul trägt die MAC-Adresse von Zeile %1, als bestanden erfasst, aber nicht den Rest davon: es kann ein verändert zurückgekommenes Gerät sein; nichts wurde darauf geschrieben, beiseitelegen</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, which is in doubt, and is not that row&apos;s module; nothing was written to it, set it aside</source>
        <translation>KONFLIKT: das Modul trägt die MAC-Adresse von Zeile %1, die ungewiss ist, und ist nicht das Modul dieser Zeile; nichts wurde darauf geschrieben, beiseitelegen</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries an address of row %1, being written on another lane; nothing is written to it until that lane is done</source>
        <translation>KONFLIKT: das Modul trägt eine Adresse von Zeile %1, die auf einer anderen Spur geschrieben wird; nichts wird darauf geschrieben, bis diese Spur fertig ist</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries part of row %1, whose other part is on another module (swapped in the middle of its writes); nothing was written to it: set it aside until that module has been given a row of its own</source>
        <translation>KONFLIKT: das Modul trägt einen Teil von Zeile %1, deren anderer Teil auf einem anderen Modul ist (mitten im Schreiben getauscht); nichts wurde darauf geschrieben: beiseitelegen, bis jenes Modul eine eigene Zeile bekommen hat</translation>
    </message>
    <message>
        <source>CONFLICT: the module could be that of row %1 or of another row in doubt; nothing was written to it, set it aside</source>
        <translation>KONFLIKT: das Modul könnte das von Zeile %1 oder einer anderen ungewissen Zeile sein; nichts wurde darauf geschrieben, beiseitelegen</translation>
    </message>
    <message>
        <source>CONFLICT: %1; nothing was written to it: set it aside and call the supervisor</source>
        <translation>KONFLIKT: %1; nichts wurde darauf geschrieben: beiseitelegen und den Schichtleiter rufen</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>KONFLIKT</translation>
    </message>
    <message>
        <source>done</source>
        <translation>fertig</translation>
    </message>
    <message>
        <source>plan used up</source>
        <translation>Plan aufgebraucht</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>gestoppt</translation>
    </message>
    <message>
        <source>stopped: </source>
        <translation>gestoppt: </translation>
    </message>
    <message>
        <source>no module within %1 ms</source>
        <translation>kein Modul innerhalb von %1 ms</translation>
    </message>
    <message>
        <source>port lost: </source>
        <translation>Port verloren: </translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed; nothing was sent</source>
        <translation>das Modul enthält bereits %1, als bestanden erfasst; nichts wurde gesendet</translation>
    </message>
    <message>
        <source>nothing was written: </source>
        <translation>nichts wurde geschrieben: </translation>
    </message>
    <message>
        <source>stopped: answers came that this lane did not ask for; another lane or program talks to the module on the same wires (a Y cable, two lanes wired to one module): check the wiring</source>
        <translation>gestoppt: es kamen Antworten, die diese Spur nicht angefragt hat; eine andere Spur oder ein Programm spricht über dieselben Leitungen mit dem Modul (ein Y-Kabel, zwei Spuren an einem Modul): Verdrahtung prüfen</translation>
    </message>
    <message>
        <source>the claim could not be recorded, nothing was written: </source>
        <translation>die Beanspruchung konnte nicht erfasst werden, nichts wurde geschrieben: </translation>
    </message>
    <message>
        <source>%1 %2 on the module with MAC %3 could not be recorded (%4); the row is in doubt</source>
        <translation>%1 %2 auf dem Modul mit MAC %3 konnte nicht erfasst werden (%4); die Zeile ist ungewiss</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>BESTANDEN</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>Zeile beanspruchen</translation>
    </message>
    <message>
        <source>recording row %1</source>
        <translation>Zeile %1 erfassen</translation>
    </message>
    <message>
        <source>%1: the database has not answered for %2 s (%3); still waiting</source>
        <translation>%1: die Datenbank hat seit %2 s nicht geantwortet (%3); es wird weiter gewartet</translation>
    </message>
    <message>
        <source>waiting for a module</source>
        <translation>wartet auf ein Modul</translation>
    </message>
    <message>
        <source>reading a module</source>
        <translation>liest ein Modul</translation>
    </message>
    <message>
        <source>writing %1 over the IP address of row %2 the module carried</source>
        <translation>schreibt %1 über die IP-Adresse von Zeile %2, die das Modul trug</translation>
    </message>
    <message>
        <source>writing </source>
        <translation>schreibt </translation>
    </message>
    <message>
        <source>finishing %1, which was in doubt</source>
        <translation>stellt %1 fertig, die ungewiss war</translation>
    </message>
    <message>
        <source>verifying row %1</source>
        <translation>prüft Zeile %1</translation>
    </message>
    <message>
        <source>storing the outcome of row %1 while the store is unreachable (%2); retrying</source>
        <translation>speichert das Ergebnis von Zeile %1, während der Speicher nicht erreichbar ist (%2); neuer Versuch</translation>
    </message>
    <message>
        <source>PASS row %1: take the module off</source>
        <translation>BESTANDEN Zeile %1: Modul abnehmen</translation>
    </message>
    <message>
        <source>FAIL row %1 (%2): take the module off</source>
        <translation>FEHLER Zeile %1 (%2): Modul abnehmen</translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed: take it off</source>
        <translation>das Modul enthält bereits %1, als bestanden erfasst: abnehmen</translation>
    </message>
    <message>
        <source>no open row is left for this module: take it off</source>
        <translation>für dieses Modul ist keine offene Zeile mehr übrig: abnehmen</translation>
    </message>
    <message>
        <source>FAIL row %1: the module lost its settings: set this module aside with the one before it</source>
        <translation>FEHLER Zeile %1: das Modul hat seine Einstellungen verloren: dieses Modul mit dem vorigen beiseitelegen</translation>
    </message>
    <message>
        <source>port lost: %1; waiting for the device to come back</source>
        <translation>Port verloren: %1; warte, bis das Gerät zurückkommt</translation>
    </message>
    <message>
        <source>port lost; the device is back but cannot be opened: %1; trying again</source>
        <translation>Port verloren; das Gerät ist zurück, lässt sich aber nicht öffnen: %1; neuer Versuch</translation>
    </message>
    <message>
        <source>held after the FAIL of row %1: acknowledge it to take the next module</source>
        <translation>angehalten nach dem FEHLER von Zeile %1: quittieren, um das nächste Modul zu nehmen</translation>
    </message>
    <message>
        <source>a module is on, held after the FAIL of row %1: acknowledge it to take this module</source>
        <translation>ein Modul liegt auf, angehalten nach dem FEHLER von Zeile %1: quittieren, um dieses Modul zu nehmen</translation>
    </message>
    <message>
        <source>a module is on: scan its serial</source>
        <translation>ein Modul liegt auf: seine Seriennummer scannen</translation>
    </message>
    <message>
        <source>: take it off</source>
        <translation>: abnehmen</translation>
    </message>
    <message>
        <source>row %1 (%2)</source>
        <translation>Zeile %1 (%2)</translation>
    </message>
    <message>
        <source> [serial %1, attempt %2]</source>
        <translation> [Seriennummer %1, Versuch %2]</translation>
    </message>
    <message>
        <source> [serial %1]</source>
        <translation> [Seriennummer %1]</translation>
    </message>
    <message>
        <source>; label printing</source>
        <translation>; Etikett wird gedruckt</translation>
    </message>
    <message>
        <source>; label printed</source>
        <translation>; Etikett gedruckt</translation>
    </message>
    <message>
        <source>; label sent, the printer did not confirm it</source>
        <translation>; Etikett gesendet, der Drucker hat es nicht bestätigt</translation>
    </message>
    <message>
        <source>; label NOT printed (%1), reprint with vev-cli label</source>
        <translation>; Etikett NICHT gedruckt (%1), mit vev-cli label neu drucken</translation>
    </message>
    <message>
        <source>Plan used up</source>
        <translation>Plan aufgebraucht</translation>
    </message>
    <message>
        <source>, %1 in doubt (put their modules back on a lane to finish them, or release them %2)</source>
        <translation>, %1 ungewiss (ihre Module wieder auf eine Spur legen, um sie fertigzustellen, oder sie %2 freigeben)</translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 passed, %3 failed this run; %n rows left</source>
        <translation>
            <numerusform>%1: %2 bestanden, %3 fehlerhaft in diesem Lauf; %n Zeile offen</numerusform>
            <numerusform>%1: %2 bestanden, %3 fehlerhaft in diesem Lauf; %n Zeilen offen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LaneTile</name>
    <message>
        <source>Lane %1: %2</source>
        <translation>Spur %1: %2</translation>
    </message>
    <message>
        <source>Rework done</source>
        <translation>Nacharbeit erledigt</translation>
    </message>
    <message>
        <source>Serial of the unit on lane %1</source>
        <translation>Seriennummer des Geräts auf Spur %1</translation>
    </message>
    <message>
        <source>The failed unit on this lane is back from rework: its attempts count again</source>
        <translation>Das fehlerhafte Gerät dieser Spur ist aus der Nacharbeit zurück: seine Versuche zählen neu</translation>
    </message>
    <message>
        <source>Scan refused: </source>
        <translation>Scan abgelehnt: </translation>
    </message>
    <message>
        <source>Row %1 failed</source>
        <translation>Zeile %1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>Row %1: IP %2, MAC %3</source>
        <translation>Zeile %1: IP %2, MAC %3</translation>
    </message>
    <message>
        <source>Before: </source>
        <translation>Vorher: </translation>
    </message>
    <message>
        <source>Scan %1 or press Enter to acknowledge the FAIL</source>
        <translation>%1 scannen oder Enter drücken, um den FEHLER zu quittieren</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>Die Seriennummer des Geräts scannen</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>Schritt %1 von %2: %3</translation>
    </message>
    <message>
        <source>Lane %1, %2: %3, %4</source>
        <translation>Spur %1, %2: %3, %4</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
</context>
<context>
    <name>OperatorDialog</name>
    <message>
        <source>Who is at the bench?</source>
        <translation>Wer ist am Arbeitsplatz?</translation>
    </message>
    <message>
        <source>Operator&apos;s name</source>
        <translation>Name des Bedieners</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>Type your name: nothing is recorded without the name of who is at the bench.</source>
        <translation>Geben Sie Ihren Namen ein: ohne den Namen dessen, der am Arbeitsplatz ist, wird nichts erfasst.</translation>
    </message>
    <message>
        <source>The name</source>
        <translation>Der Name</translation>
    </message>
</context>
<context>
    <name>RecordsModel</name>
    <message>
        <source>PASS</source>
        <translation>BESTANDEN</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>FEHLER: %1</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>Row %1 on %2 at %3: %4</source>
        <translation>Zeile %1 auf %2 um %3: %4</translation>
    </message>
    <message>
        <source>%1 (operator: %2)</source>
        <translation>%1 (Bediener: %2)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Lane</source>
        <translation>Spur</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>Zeile</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
</context>
<context>
    <name>RecordsPanel</name>
    <message>
        <source>Last records, newest first</source>
        <translation>Letzte Einträge, neueste zuerst</translation>
    </message>
    <message>
        <source>Last records of the audit, newest first</source>
        <translation>Letzte Einträge des Protokolls, neueste zuerst</translation>
    </message>
    <message>
        <source>Rows in doubt</source>
        <translation>Ungewisse Zeilen</translation>
    </message>
    <message>
        <source>Rows in doubt: part of each may be on a module</source>
        <translation>Ungewisse Zeilen: ein Teil jeder Zeile kann auf einem Modul sein</translation>
    </message>
    <message>
        <source>Release…</source>
        <translation>Freigeben…</translation>
    </message>
    <message>
        <source>Release the selected row in doubt back to the plan</source>
        <translation>Die ausgewählte ungewisse Zeile an den Plan zurückgeben</translation>
    </message>
    <message>
        <source>Select a record to read it whole.</source>
        <translation>Einen Eintrag auswählen, um ihn ganz zu lesen.</translation>
    </message>
    <message>
        <source>Select a row to release it.</source>
        <translation>Eine Zeile auswählen, um sie freizugeben.</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>Zeile %1 freigeben</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>Freigeben</translation>
    </message>
</context>
<context>
    <name>ScanRouter</name>
    <message>
        <source>Several lanes hold a FAIL: click the tile of the one you have dealt with.</source>
        <translation>Mehrere Spuren halten einen FEHLER: klicken Sie auf die Kachel derjenigen, die Sie erledigt haben.</translation>
    </message>
    <message>
        <source>Lanes %1 each wait for a serial: click the scan field of the lane the unit is on, then scan.</source>
        <translation>Die Spuren %1 warten je auf eine Seriennummer: klicken Sie in das Scanfeld der Spur, auf der das Gerät liegt, und scannen Sie dann.</translation>
    </message>
    <message>
        <source>Lane %1: scan refused: %2</source>
        <translation>Spur %1: Scan abgelehnt: %2</translation>
    </message>
    <message>
        <source>with MAC </source>
        <translation>mit MAC </translation>
    </message>
    <message>
        <source>with serial </source>
        <translation>mit Seriennummer </translation>
    </message>
    <message>
        <source>The rework of the unit %1 was not recorded: %2</source>
        <translation>Die Nacharbeit des Geräts %1 wurde nicht erfasst: %2</translation>
    </message>
    <message>
        <source>The unit %1 is back from rework: its next attempt is its first again.</source>
        <translation>Das Gerät %1 ist aus der Nacharbeit zurück: sein nächster Versuch ist wieder sein erster.</translation>
    </message>
</context>
<context>
    <name>SetupPanel</name>
    <message>
        <source>No labels</source>
        <translation>Keine Etiketten</translation>
    </message>
    <message>
        <source>PDF files in a folder</source>
        <translation>PDF-Dateien in einem Ordner</translation>
    </message>
    <message>
        <source>ZPL printer</source>
        <translation>ZPL-Drucker</translation>
    </message>
    <message>
        <source>CUPS printer</source>
        <translation>CUPS-Drucker</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>ein Ordner</translation>
    </message>
    <message>
        <source>HOST:PORT, such as 10.0.0.9:9100</source>
        <translation>HOST:PORT, etwa 10.0.0.9:9100</translation>
    </message>
    <message>
        <source>a printer&apos;s name (lpstat -p)</source>
        <translation>der Name eines Druckers (lpstat -p)</translation>
    </message>
    <message>
        <source>Set-up</source>
        <translation>Einrichtung</translation>
    </message>
    <message>
        <source>Plan file</source>
        <translation>Plandatei</translation>
    </message>
    <message>
        <source>Audit file</source>
        <translation>Protokolldatei</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Name der Station</translation>
    </message>
    <message>
        <source>Labels for the modules that pass</source>
        <translation>Etiketten für die bestandenen Module</translation>
    </message>
    <message>
        <source>Where the labels go</source>
        <translation>Wohin die Etiketten gehen</translation>
    </message>
    <message>
        <source>The units&apos; serial numbers</source>
        <translation>Die Seriennummern der Geräte</translation>
    </message>
    <message>
        <source>No serials</source>
        <translation>Ohne Seriennummern</translation>
    </message>
    <message>
        <source>Serial when scanned</source>
        <translation>Seriennummer, wenn gescannt</translation>
    </message>
    <message>
        <source>Serial required</source>
        <translation>Seriennummer Pflicht</translation>
    </message>
    <message>
        <source>Pattern a serial must match</source>
        <translation>Muster, dem eine Seriennummer entsprechen muss</translation>
    </message>
    <message>
        <source>pattern, e.g. SN-[0-9]{6}</source>
        <translation>Muster, z. B. SN-[0-9]{6}</translation>
    </message>
    <message>
        <source>Serial ports: tick one for each lane</source>
        <translation>Serielle Ports: für jede Spur einen ankreuzen</translation>
    </message>
    <message>
        <source>Port to add, by device path</source>
        <translation>Hinzuzufügender Port, als Gerätepfad</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Durchsuchen…</translation>
    </message>
    <message>
        <source>Choose the plan file</source>
        <translation>Die Plandatei wählen</translation>
    </message>
    <message>
        <source>Choose the audit file</source>
        <translation>Die Protokolldatei wählen</translation>
    </message>
    <message>
        <source>Add port</source>
        <translation>Port hinzufügen</translation>
    </message>
    <message>
        <source>Instructions file</source>
        <translation>Anweisungsdatei</translation>
    </message>
    <message>
        <source>none: the tiles say what to do in their own words</source>
        <translation>keine: die Kacheln sagen in eigenen Worten, was zu tun ist</translation>
    </message>
    <message>
        <source>A text file, one line per kind of outcome: kind = text (see the manual)</source>
        <translation>Eine Textdatei, eine Zeile je Ergebnisart: art = text (siehe Handbuch)</translation>
    </message>
    <message>
        <source>A FAIL holds its lane until acknowledged</source>
        <translation>FEHLER hält Spur bis zur Quittung</translation>
    </message>
    <message>
        <source>The lane takes no next module until the operator clicks its tile, presses Enter or scans %1</source>
        <translation>Die Spur nimmt kein weiteres Modul, bis der Bediener ihre Kachel anklickt, Enter drückt oder %1 scannt</translation>
    </message>
    <message>
        <source>Roster file</source>
        <translation>Personallistendatei</translation>
    </message>
    <message>
        <source>none: the operator types a name; with one, operators sign in with their badge</source>
        <translation>keine: der Bediener tippt einen Namen; mit einer melden sich Bediener mit ihrem Ausweis an</translation>
    </message>
    <message>
        <source>a CSV file, or postgresql://… for a plan several benches share</source>
        <translation>eine CSV-Datei, oder postgresql://… für einen Plan mehrerer Arbeitsplätze</translation>
    </message>
    <message>
        <source>in the database, with the plan</source>
        <translation>in der Datenbank, beim Plan</translation>
    </message>
    <message>
        <source>&amp;Plan:</source>
        <translation>&amp;Plan:</translation>
    </message>
    <message>
        <source>&amp;Audit:</source>
        <translation>&amp;Protokoll:</translation>
    </message>
    <message>
        <source>Roste&amp;r:</source>
        <translation>Pe&amp;rsonal:</translation>
    </message>
    <message>
        <source>S&amp;tation:</source>
        <translation>S&amp;tation:</translation>
    </message>
    <message>
        <source>La&amp;bels:</source>
        <translation>Eti&amp;ketten:</translation>
    </message>
    <message>
        <source>Se&amp;rials:</source>
        <translation>Se&amp;riennr.:</translation>
    </message>
    <message>
        <source>&amp;Lanes:</source>
        <translation>&amp;Spuren:</translation>
    </message>
    <message>
        <source>I&amp;nstructions:</source>
        <translation>A&amp;nweisungen:</translation>
    </message>
    <message>
        <source>Audit (*.jsonl);;All files (*)</source>
        <translation>Protokoll (*.jsonl);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>Plan</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>Pläne (*.csv);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>SignInDialog</name>
    <message>
        <source>The shift&apos;s name</source>
        <translation>Name der Schicht</translation>
    </message>
    <message>
        <source>may be left empty</source>
        <translation>darf leer bleiben</translation>
    </message>
    <message>
        <source>Shift:</source>
        <translation>Schicht:</translation>
    </message>
    <message>
        <source>Badge code</source>
        <translation>Ausweiscode</translation>
    </message>
    <message>
        <source>Badge:</source>
        <translation>Ausweis:</translation>
    </message>
</context>
<context>
    <name>SoundCues</name>
    <message>
        <source>Sound on PASS</source>
        <translation>Ton bei BESTANDEN</translation>
    </message>
    <message>
        <source>Sound on FAIL</source>
        <translation>Ton bei FEHLER</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>Choose the plan: a CSV file, or the postgresql:// URI of a plan several benches share.</source>
        <translation>Den Plan wählen: eine CSV-Datei oder die postgresql://-URI eines Plans mehrerer Arbeitsplätze.</translation>
    </message>
    <message>
        <source>Plan: %1.</source>
        <translation>Plan: %1.</translation>
    </message>
    <message>
        <source>Choose the audit file (JSON lines; a new file is created).</source>
        <translation>Die Protokolldatei wählen (JSON-Zeilen; eine neue Datei wird angelegt).</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Bediener</translation>
    </message>
    <message>
        <source>Tick or type at least one serial port: each is a lane.</source>
        <translation>Mindestens einen seriellen Port ankreuzen oder eintippen: jeder ist eine Spur.</translation>
    </message>
    <message>
        <source>%1 and %2 are the same port (%3); give each port once.</source>
        <translation>%1 und %2 sind derselbe Port (%3); jeden Port nur einmal angeben.</translation>
    </message>
    <message>
        <source>Labels: %1.</source>
        <translation>Etiketten: %1.</translation>
    </message>
    <message>
        <source>Serial pattern &quot;%1&quot;: %2 at character %3.</source>
        <translation>Seriennummernmuster „%1“: %2 bei Zeichen %3.</translation>
    </message>
    <message>
        <source>Instructions %1: %2.</source>
        <translation>Anweisungen %1: %2.</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>The plan or audit is held by %1.</source>
        <translation>Plan oder Protokoll sind belegt von %1.</translation>
    </message>
    <message>
        <source>No report: %1</source>
        <translation>Kein Bericht: %1</translation>
    </message>
    <message>
        <source>choose the plan and its audit first.</source>
        <translation>zuerst den Plan und sein Protokoll wählen.</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The report is in %1; no program opened it.</source>
        <translation>Der Bericht liegt in %1; kein Programm hat ihn geöffnet.</translation>
    </message>
    <message>
        <source>The report is in %1.</source>
        <translation>Der Bericht liegt in %1.</translation>
    </message>
    <message>
        <source>Making the report…</source>
        <translation>Bericht wird erstellt…</translation>
    </message>
    <message>
        <source>Releasing a row</source>
        <translation>Eine Zeile freigeben</translation>
    </message>
    <message>
        <source>Changing the set-up</source>
        <translation>Die Einrichtung ändern</translation>
    </message>
    <message>
        <source>Starting a new shift</source>
        <translation>Eine neue Schicht beginnen</translation>
    </message>
    <message>
        <source>Change set-up…</source>
        <translation>Einrichtung ändern…</translation>
    </message>
    <message>
        <source>With a roster, the set-up is changed with a supervisor&apos;s badge</source>
        <translation>Mit einer Personalliste wird die Einrichtung mit dem Ausweis eines Schichtleiters geändert</translation>
    </message>
    <message>
        <source>New shift…</source>
        <translation>Neue Schicht…</translation>
    </message>
    <message>
        <source>Record the start of a shift in the audit (a supervisor&apos;s badge, with a roster)</source>
        <translation>Den Beginn einer Schicht im Protokoll erfassen (mit Personalliste der Ausweis eines Schichtleiters)</translation>
    </message>
    <message>
        <source>Set-up opened by %1 (%2) until the next Start.</source>
        <translation>Einrichtung von %1 (%2) bis zum nächsten Start geöffnet.</translation>
    </message>
    <message>
        <source>Not started: </source>
        <translation>Nicht gestartet: </translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Scan your badge, or type your code, to start the run.</source>
        <translation>Scannen Sie Ihren Ausweis oder tippen Sie Ihren Code, um den Lauf zu starten.</translation>
    </message>
    <message>
        <source>Not started: sign-in refused: </source>
        <translation>Nicht gestartet: Anmeldung abgelehnt: </translation>
    </message>
    <message>
        <source>%1 is recorded under the name of who is at the bench: type your name.</source>
        <translation>%1 wird unter dem Namen dessen erfasst, der am Arbeitsplatz ist: geben Sie Ihren Namen ein.</translation>
    </message>
    <message>
        <source>Type your name to start the run: every line of the audit carries it.</source>
        <translation>Geben Sie Ihren Namen ein, um den Lauf zu starten: jede Zeile des Protokolls trägt ihn.</translation>
    </message>
    <message>
        <source>%1: the roster cannot be read: %2</source>
        <translation>%1: die Personalliste kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1 needs a supervisor&apos;s badge: scan it, or type the code.</source>
        <translation>%1 braucht den Ausweis eines Schichtleiters: scannen oder den Code eintippen.</translation>
    </message>
    <message>
        <source>The shift&apos;s name, as reports show it.</source>
        <translation>Der Name der Schicht, wie Berichte ihn zeigen.</translation>
    </message>
    <message>
        <source>Refused: </source>
        <translation>Abgelehnt: </translation>
    </message>
    <message>
        <source>Row %1 released: it goes back to the plan.</source>
        <translation>Zeile %1 freigegeben: sie geht an den Plan zurück.</translation>
    </message>
    <message>
        <source>Row %1 was not released: %2</source>
        <translation>Zeile %1 wurde nicht freigegeben: %2</translation>
    </message>
    <message>
        <source>The shift&apos;s name</source>
        <translation>Der Name der Schicht</translation>
    </message>
    <message>
        <source>No shift started: %1.</source>
        <translation>Keine Schicht begonnen: %1.</translation>
    </message>
    <message>
        <source>A new shift starts: recorded in the audit.</source>
        <translation>Eine neue Schicht beginnt: im Protokoll erfasst.</translation>
    </message>
    <message>
        <source>Shift %1 starts: recorded in the audit.</source>
        <translation>Schicht %1 beginnt: im Protokoll erfasst.</translation>
    </message>
    <message>
        <source>No shift started: %1</source>
        <translation>Keine Schicht begonnen: %1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>VeV-Idire Station</source>
        <translation>VeV-Idire-Station</translation>
    </message>
    <message>
        <source>Start the run (Space or Enter)</source>
        <translation>Den Lauf starten (Leertaste oder Enter)</translation>
    </message>
    <message>
        <source>Finish and record the modules in hand, then stop (Escape asks first)</source>
        <translation>Die Module in Arbeit fertigstellen und erfassen, dann stoppen (Escape fragt zuerst)</translation>
    </message>
    <message>
        <source>The line report of the plan as a page in the browser: yield, failures by code, output by station and every unit</source>
        <translation>Der Linienbericht des Plans als Seite im Browser: Ausbeute, Fehler nach Code, Ausstoß je Station und jedes Gerät</translation>
    </message>
    <message>
        <source>Tick a port for each lane and press Start.</source>
        <translation>Für jede Spur einen Port ankreuzen und Start drücken.</translation>
    </message>
    <message>
        <source>Settings not used: %1; the set-up is not remembered.</source>
        <translation>Einstellungen nicht verwendet: %1; die Einrichtung wird nicht gespeichert.</translation>
    </message>
    <message>
        <source>Plan progress</source>
        <translation>Fortschritt des Plans</translation>
    </message>
    <message>
        <source>%v of %m passed</source>
        <translation>%v von %m bestanden</translation>
    </message>
    <message>
        <source>100000 of 100000 passed</source>
        <translation>100000 von 100000 bestanden</translation>
    </message>
    <message>
        <source>; the run stops.</source>
        <translation>; der Lauf stoppt.</translation>
    </message>
    <message>
        <source>; nothing more is sent to any module, and the run stops.</source>
        <translation>; an kein Modul wird mehr etwas gesendet, und der Lauf stoppt.</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Gestoppt</translation>
    </message>
    <message>
        <source>below</source>
        <translation>unten</translation>
    </message>
    <message>
        <source>Opening the plan, the audit and the ports…</source>
        <translation>Plan, Protokoll und Ports werden geöffnet…</translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes, but %1.</source>
        <translation>
            <numerusform>Läuft auf %n Spur, aber %1.</numerusform>
            <numerusform>Läuft auf %n Spuren, aber %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes. Escape stops once the modules in hand are finished.</source>
        <translation>
            <numerusform>Läuft auf %n Spur. Escape stoppt, sobald die Module in Arbeit fertig sind.</numerusform>
            <numerusform>Läuft auf %n Spuren. Escape stoppt, sobald die Module in Arbeit fertig sind.</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopping: the lanes finish and record the modules in hand…</source>
        <translation>Stoppen: die Spuren stellen die Module in Arbeit fertig und erfassen sie…</translation>
    </message>
    <message>
        <source>Plan: %1 of %2 passed, %3 left, %4 in doubt</source>
        <translation>Plan: %1 von %2 bestanden, %3 offen, %4 ungewiss</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>Verstrichen %1</translation>
    </message>
    <message>
        <source>Stop the run</source>
        <translation>Den Lauf stoppen</translation>
    </message>
    <message>
        <source>Stop the run? Each lane first finishes and records the module in hand.</source>
        <translation>Den Lauf stoppen? Jede Spur stellt zuerst das Modul in Arbeit fertig und erfasst es.</translation>
    </message>
    <message>
        <source>Stop and close</source>
        <translation>Stoppen und schließen</translation>
    </message>
    <message>
        <source>A supervisor&apos;s badge is asked next: the release is recorded in the audit under the supervisor&apos;s name.</source>
        <translation>Als Nächstes wird der Ausweis eines Schichtleiters verlangt: die Freigabe wird im Protokoll unter dem Namen des Schichtleiters erfasst.</translation>
    </message>
    <message>
        <source>The release is recorded in the audit under the operator&apos;s name, %1.</source>
        <translation>Die Freigabe wird im Protokoll unter dem Namen des Bedieners erfasst, %1.</translation>
    </message>
    <message>
        <source>(none given)</source>
        <translation>(keiner angegeben)</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>Zeile %1 freigeben</translation>
    </message>
    <message>
        <source>Release row %1 (IP %2, MAC %3) back to the plan?

The row is in doubt: part of it may be on the module it was written to (before: %4). Release it only once that module has been dealt with:
• it was put back on a lane and finished the row (the row then leaves this list by itself), or
• it was wiped back to its settings before, or scrapped.

Once released, the next module may be given the row. %5</source>
        <translation>Zeile %1 (IP %2, MAC %3) an den Plan zurückgeben?

Die Zeile ist ungewiss: ein Teil davon kann auf dem Modul sein, auf das sie geschrieben wurde (vorher: %4). Geben Sie sie erst frei, wenn mit diesem Modul verfahren wurde:
• es wurde wieder auf eine Spur gelegt und hat die Zeile fertiggestellt (die Zeile verlässt diese Liste dann von selbst), oder
• es wurde auf seine vorherigen Einstellungen zurückgesetzt oder verschrottet.

Nach der Freigabe kann das nächste Modul die Zeile bekommen. %5</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>Freigeben</translation>
    </message>
</context>
</TS>
