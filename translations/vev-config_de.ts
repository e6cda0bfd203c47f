<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>cloudConfigured</name>
    <message>
        <source>Invalid IP address: </source>
        <translation>Ungültige IP-Adresse: </translation>
    </message>
    <message>
        <source>Invalid gateway address: </source>
        <translation>Ungültige Gateway-Adresse: </translation>
    </message>
    <message>
        <source>Invalid port: </source>
        <translation>Ungültiger Port: </translation>
    </message>
    <message>
        <source>Invalid MAC address: </source>
        <translation>Ungültige MAC-Adresse: </translation>
    </message>
    <message>
        <source>Cannot open port %1: %2</source>
        <translation>Port %1 lässt sich nicht öffnen: %2</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>IP-Adresse</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Gateway-Adresse</translation>
    </message>
    <message>
        <source>TCP port</source>
        <translation>TCP-Port</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>MAC-Adresse</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>Serielle Schnittstelle</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Settings not used: %1; the last port opened is not remembered.</source>
        <translation>Einstellungen nicht verwendet: %1; der zuletzt geöffnete Port wird nicht gespeichert.</translation>
    </message>
    <message>
        <source>No serial port selected.</source>
        <translation>Keine serielle Schnittstelle ausgewählt.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Port %1 closed: %2</source>
        <translation>Port %1 geschlossen: %2</translation>
    </message>
    <message>
        <source>Computer name:</source>
        <translation>Computername:</translation>
    </message>
    <message>
        <source>Local IP address:</source>
        <translation>Lokale IP-Adresse:</translation>
    </message>
    <message>
        <source>Local Gateway:</source>
        <translation>Lokales Gateway:</translation>
    </message>
    <message>
        <source>Auto uses %1 with gateway %2 (%3).</source>
        <translation>Auto verwendet %1 mit dem Gateway %2 (%3).</translation>
    </message>
    <message>
        <source>Please Open the Port!</source>
        <translation>Bitte zuerst den Port öffnen!</translation>
    </message>
    <message>
        <source>Connect&apos;s read cancelled: Apply writes new values.</source>
        <translation>Lesen durch „Verbinden“ abgebrochen: „Anwenden“ schreibt neue Werte.</translation>
    </message>
    <message>
        <source>No reply from the module.</source>
        <translation>Keine Antwort vom Modul.</translation>
    </message>
    <message>
        <source>Not acknowledged by the module: %1.</source>
        <translation>Vom Modul nicht bestätigt: %1.</translation>
    </message>
    <message>
        <source>Connected!</source>
        <translation>Verbunden!</translation>
    </message>
    <message>
        <source>About VeV-Idire Configuration</source>
        <translation>Über die VeV-Idire-Konfiguration</translation>
    </message>
    <message>
        <source>version:v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
E-mail:support@telvor.example<byte value="xd"/>
Tell:+1 555 0100</source>
        <translation>Version: v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
E-Mail: support@telvor.example<byte value="xd"/>
Tel.: +1 555 0100</translation>
    </message>
    <message>
        <source> ... (%1 more characters not shown)</source>
        <translation> ... (%1 weitere Zeichen nicht angezeigt)</translation>
    </message>
</context>
<context>
    <name>cloudConfiguredClass</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>TELVOR: VeV-Idire Configuration</source>
        <translation>TELVOR: VeV-Idire-Konfiguration</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Port Setting</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Gatway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>TCP-Port</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
</context>
</TS>
