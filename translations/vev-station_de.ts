<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
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
</TS>
