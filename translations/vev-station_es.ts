<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
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
</TS>
