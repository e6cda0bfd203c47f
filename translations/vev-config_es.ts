<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>cloudConfigured</name>
    <message>
        <source>Invalid IP address: </source>
        <translation>Dirección IP no válida: </translation>
    </message>
    <message>
        <source>Invalid gateway address: </source>
        <translation>Puerta de enlace no válida: </translation>
    </message>
    <message>
        <source>Invalid port: </source>
        <translation>Puerto no válido: </translation>
    </message>
    <message>
        <source>Invalid MAC address: </source>
        <translation>Dirección MAC no válida: </translation>
    </message>
    <message>
        <source>Cannot open port %1: %2</source>
        <translation>No se puede abrir el puerto %1: %2</translation>
    </message>
    <message>
        <source>IP address</source>
        <translation>Dirección IP</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Puerta de enlace</translation>
    </message>
    <message>
        <source>TCP port</source>
        <translation>Puerto TCP</translation>
    </message>
    <message>
        <source>MAC address</source>
        <translation>Dirección MAC</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>Puerto serie</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Settings not used: %1; the last port opened is not remembered.</source>
        <translation>Configuración no utilizada: %1; no se recordará el último puerto abierto.</translation>
    </message>
    <message>
        <source>No serial port selected.</source>
        <translation>No se ha seleccionado ningún puerto serie.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Port %1 closed: %2</source>
        <translation>Puerto %1 cerrado: %2</translation>
    </message>
    <message>
        <source>Computer name:</source>
        <translation>Nombre del equipo:</translation>
    </message>
    <message>
        <source>Local IP address:</source>
        <translation>Dirección IP local:</translation>
    </message>
    <message>
        <source>Local Gateway:</source>
        <translation>Puerta de enlace local:</translation>
    </message>
    <message>
        <source>Auto uses %1 with gateway %2 (%3).</source>
        <translation>Auto usa %1 con la puerta de enlace %2 (%3).</translation>
    </message>
    <message>
        <source>Please Open the Port!</source>
        <translation>¡Abra primero el puerto!</translation>
    </message>
    <message>
        <source>Connect&apos;s read cancelled: Apply writes new values.</source>
        <translation>Lectura de «Conectar» cancelada: «Aplicar» escribe valores nuevos.</translation>
    </message>
    <message>
        <source>No reply from the module.</source>
        <translation>El módulo no responde.</translation>
    </message>
    <message>
        <source>Not acknowledged by the module: %1.</source>
        <translation>No confirmado por el módulo: %1.</translation>
    </message>
    <message>
        <source>Connected!</source>
        <translation>¡Conectado!</translation>
    </message>
    <message>
        <source>About VeV-Idire Configuration</source>
        <translation>Acerca de la configuración de VeV-Idire</translation>
    </message>
    <message>
        <source>version:v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
E-mail:support@telvor.example<byte value="xd"/>
Tell:+1 555 0100</source>
        <translation>Versión: v%1<byte value="xd"/>
Copyright 2026 TELVOR<byte value="xd"/>
Correo: support@telvor.example<byte value="xd"/>
Tel.: +1 555 0100</translation>
    </message>
    <message>
        <source> ... (%1 more characters not shown)</source>
        <translation> ... (%1 caracteres más sin mostrar)</translation>
    </message>
</context>
<context>
    <name>cloudConfiguredClass</name>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>TELVOR: VeV-Idire Configuration</source>
        <translation>TELVOR: configuración de VeV-Idire</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Port Setting</source>
        <translation>Puerto serie</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Configuración</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Gatway</source>
        <translation>Pasarela</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Conectar</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Puerto</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>Dir. IP</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Aplicar</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Borrar</translation>
    </message>
</context>
</TS>
