<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>DoubtModel</name>
    <message>
        <source>Row %1 was written to a module that held before: %2</source>
        <translation>La fila %1 se escribió en un módulo que antes tenía: %2</translation>
    </message>
    <message>
        <source>nothing read</source>
        <translation>nada leído</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>Fila</translation>
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
        <translation>menos de un minuto</translation>
    </message>
    <message numerus="yes">
        <source>%n min</source>
        <translation>
            <numerusform>%n min</numerusform>
            <numerusform>%n min</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>This shift: not counted yet</source>
        <translation>Este turno: aún sin contar</translation>
    </message>
    <message>
        <source>The shift&apos;s figures are not counted: %1</source>
        <translation>Las cifras del turno no se han contado: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n units, first-pass yield %1, final yield %2</source>
        <translation>
            <numerusform>%n unidad, rendimiento a la primera %1, rendimiento final %2</numerusform>
            <numerusform>%n unidades, rendimiento a la primera %1, rendimiento final %2</numerusform>
        </translation>
    </message>
    <message>
        <source>no units yet</source>
        <translation>aún no hay unidades</translation>
    </message>
    <message>
        <source>The whole audit: %1; %2 PASS, %3 FAIL</source>
        <translation>Toda la auditoría: %1; %2 APTO, %3 FALLO</translation>
    </message>
    <message>
        <source>This shift (%1): %2; %3 PASS, %4 FAIL</source>
        <translation>Este turno (%1): %2; %3 APTO, %4 FALLO</translation>
    </message>
    <message>
        <source>%1: %2 PASS, %3 FAIL</source>
        <translation>%1: %2 APTO, %3 FALLO</translation>
    </message>
    <message>
        <source>, %1 s a module</source>
        <translation>, %1 s por módulo</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1. %2</translation>
    </message>
    <message>
        <source>Lanes: no module yet</source>
        <translation>Carriles: aún ningún módulo</translation>
    </message>
    <message>
        <source>Lanes: %1</source>
        <translation>Carriles: %1</translation>
    </message>
    <message>
        <source>No failures</source>
        <translation>Ningún fallo</translation>
    </message>
    <message>
        <source>Commonest failures: %1</source>
        <translation>Fallos más frecuentes: %1</translation>
    </message>
    <message>
        <source>%1 modules an hour</source>
        <translation>%1 módulos por hora</translation>
    </message>
    <message>
        <source>– modules an hour (none passed yet)</source>
        <translation>– módulos por hora (ninguno apto aún)</translation>
    </message>
    <message numerus="yes">
        <source>%n rows left, %1 of them in doubt</source>
        <translation>
            <numerusform>queda %n fila, %1 de ellas en duda</numerusform>
            <numerusform>quedan %n filas, %1 de ellas en duda</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n rows left</source>
        <translation>
            <numerusform>queda %n fila</numerusform>
            <numerusform>quedan %n filas</numerusform>
        </translation>
    </message>
    <message>
        <source>the plan is done</source>
        <translation>el plan está hecho</translation>
    </message>
    <message>
        <source>about %1 to finish</source>
        <translation>unos %1 para terminar</translation>
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
        <translation>Coloque un módulo</translation>
    </message>
    <message>
        <source>Leave the module on</source>
        <translation>Deje el módulo puesto</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>Escanee el número de serie de la unidad</translation>
    </message>
    <message>
        <source>Take it off</source>
        <translation>Retírelo</translation>
    </message>
    <message>
        <source>Keep this module aside: put it back on a lane to finish row {row}</source>
        <translation>Aparte este módulo: vuelva a ponerlo en un carril para terminar la fila {row}</translation>
    </message>
    <message>
        <source>Take it off: nothing was written</source>
        <translation>Retírelo: no se escribió nada</translation>
    </message>
    <message>
        <source>Take it off: it already holds row {row}, recorded as passed</source>
        <translation>Retírelo: ya tiene la fila {row}, registrada como apta</translation>
    </message>
    <message>
        <source>Set it aside and call the supervisor</source>
        <translation>Apártelo y llame al supervisor</translation>
    </message>
    <message>
        <source>leave it: lane {lane} is writing it, check the wiring</source>
        <translation>déjelo: el carril {lane} lo está escribiendo, revise el cableado</translation>
    </message>
    <message>
        <source>leave it: another station is writing row {row}, check the wiring</source>
        <translation>déjelo: otra estación está escribiendo la fila {row}, revise el cableado</translation>
    </message>
    <message>
        <source>Leave it on to finish row {row}</source>
        <translation>Déjelo puesto para terminar la fila {row}</translation>
    </message>
    <message>
        <source>Set it aside for rework</source>
        <translation>Apártelo para reproceso</translation>
    </message>
    <message>
        <source>Set this module aside with the one before it: row {row} is in doubt again</source>
        <translation>Aparte este módulo junto con el anterior: la fila {row} vuelve a estar en duda</translation>
    </message>
    <message>
        <source>Take it off: no open row is left; only modules of rows in doubt are taken</source>
        <translation>Retírelo: no queda ninguna fila abierta; solo se aceptan módulos de filas en duda</translation>
    </message>
    <message>
        <source>Another lane or program talks on this lane&apos;s wires: check the wiring</source>
        <translation>Otro carril o programa habla por los cables de este carril: revise el cableado</translation>
    </message>
    <message>
        <source>Fixture disconnected: check the cable</source>
        <translation>Utillaje desconectado: revise el cable</translation>
    </message>
    <message>
        <source>The lane is stopped: Start begins the next run</source>
        <translation>El carril está detenido: Iniciar comienza la siguiente tanda</translation>
    </message>
    <message>
        <source>Every row of the plan is done</source>
        <translation>Todas las filas del plan están hechas</translation>
    </message>
    <message>
        <source>Acknowledge the FAIL of row {row} to go on: click the tile, press Enter or scan ACK</source>
        <translation>Confirme el FALLO de la fila {row} para seguir: haga clic en el panel, pulse Intro o escanee ACK</translation>
    </message>
    <message>
        <source>line %1: no &quot;=&quot; (write kind = text)</source>
        <translation>línea %1: falta «=» (escriba tipo = texto)</translation>
    </message>
    <message>
        <source>line %1: no kind &quot;%2&quot; (the kinds are %3)</source>
        <translation>línea %1: no existe el tipo «%2» (los tipos son %3)</translation>
    </message>
    <message>
        <source>line %1: &quot;%2&quot; given again (first on line %3)</source>
        <translation>línea %1: «%2» repetido (primero en la línea %3)</translation>
    </message>
    <message>
        <source>line %1: no text for &quot;%2&quot;</source>
        <translation>línea %1: no hay texto para «%2»</translation>
    </message>
    <message>
        <source>line %1: no such place to fill as {%2} (there are {row} and {lane})</source>
        <translation>línea %1: no existe el hueco {%2} (hay {row} y {lane})</translation>
    </message>
    <message>
        <source>not UTF-8 text</source>
        <translation>no es texto UTF-8</translation>
    </message>
    <message>
        <source>larger than %1 KiB: not an instructions file</source>
        <translation>mayor de %1 KiB: no es un archivo de instrucciones</translation>
    </message>
</context>
<context>
    <name>LaneState</name>
    <message>
        <source>READY</source>
        <translation>LISTO</translation>
    </message>
    <message>
        <source>WORKING</source>
        <translation>EN CURSO</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>APTO</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FALLO</translation>
    </message>
    <message>
        <source>DONE BEFORE</source>
        <translation>YA HECHO</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>CONFLICTO</translation>
    </message>
    <message>
        <source>IN DOUBT</source>
        <translation>EN DUDA</translation>
    </message>
    <message>
        <source>WIRING</source>
        <translation>CABLEADO</translation>
    </message>
    <message>
        <source>PORT LOST</source>
        <translation>SIN PUERTO</translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation>DETENIDO</translation>
    </message>
    <message>
        <source>PLAN DONE</source>
        <translation>PLAN HECHO</translation>
    </message>
    <message>
        <source>HOLD</source>
        <translation>ESPERA</translation>
    </message>
</context>
<context>
    <name>LaneStep</name>
    <message>
        <source>reading</source>
        <translation>lectura</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>reserva de fila</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>escritura</translation>
    </message>
    <message>
        <source>finishing the row</source>
        <translation>fin de la fila</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>verificación</translation>
    </message>
    <message>
        <source>recording</source>
        <translation>registro</translation>
    </message>
</context>
<context>
    <name>LaneText</name>
    <message>
        <source>a row</source>
        <translation>una fila</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, recorded as passed, but not the rest of it: it may be a unit that came back changed; nothing was written to it, set it aside</source>
        <translation>CONFLICTO: el módulo lleva la dirección MAC de la fila %1, registrada como apta, pero no el resto: puede ser una unidad que volvió cambiada; no se le escribió nada, apártelo</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries the MAC address of row %1, which is in doubt, and is not that row&apos;s module; nothing was written to it, set it aside</source>
        <translation>CONFLICTO: el módulo lleva la dirección MAC de la fila %1, que está en duda, y no es el módulo de esa fila; no se le escribió nada, apártelo</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries an address of row %1, being written on another lane; nothing is written to it until that lane is done</source>
        <translation>CONFLICTO: el módulo lleva una dirección de la fila %1, que se está escribiendo en otro carril; no se le escribe nada hasta que ese carril termine</translation>
    </message>
    <message>
        <source>CONFLICT: the module carries part of row %1, whose other part is on another module (swapped in the middle of its writes); nothing was written to it: set it aside until that module has been given a row of its own</source>
        <translation>CONFLICTO: el módulo lleva parte de la fila %1, cuya otra parte está en otro módulo (cambiado a mitad de la escritura); no se le escribió nada: apártelo hasta que ese módulo reciba una fila propia</translation>
    </message>
    <message>
        <source>CONFLICT: the module could be that of row %1 or of another row in doubt; nothing was written to it, set it aside</source>
        <translation>CONFLICTO: el módulo podría ser el de la fila %1 o el de otra fila en duda; no se le escribió nada, apártelo</translation>
    </message>
    <message>
        <source>CONFLICT: %1; nothing was written to it: set it aside and call the supervisor</source>
        <translation>CONFLICTO: %1; no se le escribió nada: apártelo y llame al supervisor</translation>
    </message>
    <message>
        <source>CONFLICT</source>
        <translation>CONFLICTO</translation>
    </message>
    <message>
        <source>done</source>
        <translation>hecho</translation>
    </message>
    <message>
        <source>plan used up</source>
        <translation>plan agotado</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>detenido</translation>
    </message>
    <message>
        <source>stopped: </source>
        <translation>detenido: </translation>
    </message>
    <message>
        <source>no module within %1 ms</source>
        <translation>ningún módulo en %1 ms</translation>
    </message>
    <message>
        <source>port lost: </source>
        <translation>puerto perdido: </translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed; nothing was sent</source>
        <translation>el módulo ya tiene la %1, registrada como apta; no se envió nada</translation>
    </message>
    <message>
        <source>nothing was written: </source>
        <translation>no se escribió nada: </translation>
    </message>
    <message>
        <source>stopped: answers came that this lane did not ask for; another lane or program talks to the module on the same wires (a Y cable, two lanes wired to one module): check the wiring</source>
        <translation>detenido: llegaron respuestas que este carril no pidió; otro carril u otro programa habla con el módulo por los mismos cables (un cable en Y, dos carriles conectados a un módulo): revise el cableado</translation>
    </message>
    <message>
        <source>the claim could not be recorded, nothing was written: </source>
        <translation>no se pudo registrar la reserva, no se escribió nada: </translation>
    </message>
    <message>
        <source>%1 %2 on the module with MAC %3 could not be recorded (%4); the row is in doubt</source>
        <translation>No se pudo registrar %1 %2 en el módulo con MAC %3 (%4); la fila está en duda</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>APTO</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FALLO</translation>
    </message>
    <message>
        <source>claiming a row</source>
        <translation>reservando una fila</translation>
    </message>
    <message>
        <source>recording row %1</source>
        <translation>registrando la fila %1</translation>
    </message>
    <message>
        <source>%1: the database has not answered for %2 s (%3); still waiting</source>
        <translation>%1: la base de datos no responde desde hace %2 s (%3); se sigue esperando</translation>
    </message>
    <message>
        <source>waiting for a module</source>
        <translation>esperando un módulo</translation>
    </message>
    <message>
        <source>reading a module</source>
        <translation>leyendo un módulo</translation>
    </message>
    <message>
        <source>writing %1 over the IP address of row %2 the module carried</source>
        <translation>escribiendo la %1 sobre la dirección IP de la fila %2 que llevaba el módulo</translation>
    </message>
    <message>
        <source>writing </source>
        <translation>escribiendo la </translation>
    </message>
    <message>
        <source>finishing %1, which was in doubt</source>
        <translation>terminando la %1, que estaba en duda</translation>
    </message>
    <message>
        <source>verifying row %1</source>
        <translation>verificando la fila %1</translation>
    </message>
    <message>
        <source>storing the outcome of row %1 while the store is unreachable (%2); retrying</source>
        <translation>guardando el resultado de la fila %1 mientras el almacén no responde (%2); reintentando</translation>
    </message>
    <message>
        <source>PASS row %1: take the module off</source>
        <translation>APTO fila %1: retire el módulo</translation>
    </message>
    <message>
        <source>FAIL row %1 (%2): take the module off</source>
        <translation>FALLO fila %1 (%2): retire el módulo</translation>
    </message>
    <message>
        <source>the module already holds %1, recorded as passed: take it off</source>
        <translation>el módulo ya tiene la %1, registrada como apta: retírelo</translation>
    </message>
    <message>
        <source>no open row is left for this module: take it off</source>
        <translation>no queda ninguna fila abierta para este módulo: retírelo</translation>
    </message>
    <message>
        <source>FAIL row %1: the module lost its settings: set this module aside with the one before it</source>
        <translation>FALLO fila %1: el módulo perdió sus ajustes: aparte este módulo junto con el anterior</translation>
    </message>
    <message>
        <source>port lost: %1; waiting for the device to come back</source>
        <translation>puerto perdido: %1; esperando a que vuelva el dispositivo</translation>
    </message>
    <message>
        <source>port lost; the device is back but cannot be opened: %1; trying again</source>
        <translation>puerto perdido; el dispositivo ha vuelto pero no se puede abrir: %1; reintentando</translation>
    </message>
    <message>
        <source>held after the FAIL of row %1: acknowledge it to take the next module</source>
        <translation>en espera tras el FALLO de la fila %1: confírmelo para aceptar el siguiente módulo</translation>
    </message>
    <message>
        <source>a module is on, held after the FAIL of row %1: acknowledge it to take this module</source>
        <translation>hay un módulo puesto, en espera tras el FALLO de la fila %1: confírmelo para aceptar este módulo</translation>
    </message>
    <message>
        <source>a module is on: scan its serial</source>
        <translation>hay un módulo puesto: escanee su número de serie</translation>
    </message>
    <message>
        <source>: take it off</source>
        <translation>: retírelo</translation>
    </message>
    <message>
        <source>row %1 (%2)</source>
        <translation>fila %1 (%2)</translation>
    </message>
    <message>
        <source> [serial %1, attempt %2]</source>
        <translation> [número de serie %1, intento %2]</translation>
    </message>
    <message>
        <source> [serial %1]</source>
        <translation> [número de serie %1]</translation>
    </message>
    <message>
        <source>; label printing</source>
        <translation>; imprimiendo la etiqueta</translation>
    </message>
    <message>
        <source>; label printed</source>
        <translation>; etiqueta impresa</translation>
    </message>
    <message>
        <source>; label sent, the printer did not confirm it</source>
        <translation>; etiqueta enviada, la impresora no la confirmó</translation>
    </message>
    <message>
        <source>; label NOT printed (%1), reprint with vev-cli label</source>
        <translation>; etiqueta NO impresa (%1), reimprímala con vev-cli label</translation>
    </message>
    <message>
        <source>Plan used up</source>
        <translation>Plan agotado</translation>
    </message>
    <message>
        <source>, %1 in doubt (put their modules back on a lane to finish them, or release them %2)</source>
        <translation>, %1 en duda (vuelva a poner sus módulos en un carril para terminarlas, o libérelas %2)</translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 passed, %3 failed this run; %n rows left</source>
        <translation>
            <numerusform>%1: %2 aptos, %3 fallidos en esta tanda; queda %n fila</numerusform>
            <numerusform>%1: %2 aptos, %3 fallidos en esta tanda; quedan %n filas</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>LaneTile</name>
    <message>
        <source>Lane %1: %2</source>
        <translation>Carril %1: %2</translation>
    </message>
    <message>
        <source>Rework done</source>
        <translation>Reproceso hecho</translation>
    </message>
    <message>
        <source>Serial of the unit on lane %1</source>
        <translation>Número de serie de la unidad del carril %1</translation>
    </message>
    <message>
        <source>The failed unit on this lane is back from rework: its attempts count again</source>
        <translation>La unidad fallida de este carril vuelve del reproceso: sus intentos cuentan de nuevo</translation>
    </message>
    <message>
        <source>Scan refused: </source>
        <translation>Escaneo rechazado: </translation>
    </message>
    <message>
        <source>Row %1 failed</source>
        <translation>La fila %1 falló</translation>
    </message>
    <message>
        <source>Row %1: IP %2, MAC %3</source>
        <translation>Fila %1: IP %2, MAC %3</translation>
    </message>
    <message>
        <source>Before: </source>
        <translation>Antes: </translation>
    </message>
    <message>
        <source>Scan %1 or press Enter to acknowledge the FAIL</source>
        <translation>Escanee %1 o pulse Intro para confirmar el FALLO</translation>
    </message>
    <message>
        <source>Scan the unit&apos;s serial</source>
        <translation>Escanee el número de serie de la unidad</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>Paso %1 de %2: %3</translation>
    </message>
    <message>
        <source>Lane %1, %2: %3, %4</source>
        <translation>Carril %1, %2: %3, %4</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>gateway</source>
        <translation>puerta de enlace</translation>
    </message>
    <message>
        <source>port</source>
        <translation>puerto</translation>
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
        <translation>¿Quién está en el puesto?</translation>
    </message>
    <message>
        <source>Operator&apos;s name</source>
        <translation>Nombre del operario</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Nombre:</translation>
    </message>
    <message>
        <source>Type your name: nothing is recorded without the name of who is at the bench.</source>
        <translation>Escriba su nombre: no se registra nada sin el nombre de quien está en el puesto.</translation>
    </message>
    <message>
        <source>The name</source>
        <translation>El nombre</translation>
    </message>
</context>
<context>
    <name>RecordsModel</name>
    <message>
        <source>PASS</source>
        <translation>APTO</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>FALLO: %1</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>FALLO</translation>
    </message>
    <message>
        <source>Row %1 on %2 at %3: %4</source>
        <translation>Fila %1 en %2 a las %3: %4</translation>
    </message>
    <message>
        <source>%1 (operator: %2)</source>
        <translation>%1 (operario: %2)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Hora</translation>
    </message>
    <message>
        <source>Lane</source>
        <translation>Carril</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>Fila</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Resultado</translation>
    </message>
</context>
<context>
    <name>RecordsPanel</name>
    <message>
        <source>Last records, newest first</source>
        <translation>Últimos registros, el más reciente primero</translation>
    </message>
    <message>
        <source>Last records of the audit, newest first</source>
        <translation>Últimos registros de la auditoría, el más reciente primero</translation>
    </message>
    <message>
        <source>Rows in doubt</source>
        <translation>Filas en duda</translation>
    </message>
    <message>
        <source>Rows in doubt: part of each may be on a module</source>
        <translation>Filas en duda: parte de cada una puede estar en un módulo</translation>
    </message>
    <message>
        <source>Release…</source>
        <translation>Liberar…</translation>
    </message>
    <message>
        <source>Release the selected row in doubt back to the plan</source>
        <translation>Devolver al plan la fila en duda seleccionada</translation>
    </message>
    <message>
        <source>Select a record to read it whole.</source>
        <translation>Seleccione un registro para leerlo entero.</translation>
    </message>
    <message>
        <source>Select a row to release it.</source>
        <translation>Seleccione una fila para liberarla.</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>Liberar la fila %1</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>Liberar</translation>
    </message>
</context>
<context>
    <name>ScanRouter</name>
    <message>
        <source>Several lanes hold a FAIL: click the tile of the one you have dealt with.</source>
        <translation>Varios carriles retienen un FALLO: haga clic en el panel del que ya ha atendido.</translation>
    </message>
    <message>
        <source>Lanes %1 each wait for a serial: click the scan field of the lane the unit is on, then scan.</source>
        <translation>Los carriles %1 esperan cada uno un número de serie: haga clic en el campo de escaneo del carril donde está la unidad y luego escanee.</translation>
    </message>
    <message>
        <source>Lane %1: scan refused: %2</source>
        <translation>Carril %1: escaneo rechazado: %2</translation>
    </message>
    <message>
        <source>with MAC </source>
        <translation>con MAC </translation>
    </message>
    <message>
        <source>with serial </source>
        <translation>con número de serie </translation>
    </message>
    <message>
        <source>The rework of the unit %1 was not recorded: %2</source>
        <translation>El reproceso de la unidad %1 no se registró: %2</translation>
    </message>
    <message>
        <source>The unit %1 is back from rework: its next attempt is its first again.</source>
        <translation>La unidad %1 vuelve del reproceso: su próximo intento vuelve a ser el primero.</translation>
    </message>
</context>
<context>
    <name>SetupPanel</name>
    <message>
        <source>No labels</source>
        <translation>Sin etiquetas</translation>
    </message>
    <message>
        <source>PDF files in a folder</source>
        <translation>Archivos PDF en una carpeta</translation>
    </message>
    <message>
        <source>ZPL printer</source>
        <translation>Impresora ZPL</translation>
    </message>
    <message>
        <source>CUPS printer</source>
        <translation>Impresora CUPS</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>una carpeta</translation>
    </message>
    <message>
        <source>HOST:PORT, such as 10.0.0.9:9100</source>
        <translation>HOST:PUERTO, por ejemplo 10.0.0.9:9100</translation>
    </message>
    <message>
        <source>a printer&apos;s name (lpstat -p)</source>
        <translation>el nombre de una impresora (lpstat -p)</translation>
    </message>
    <message>
        <source>Set-up</source>
        <translation>Configuración</translation>
    </message>
    <message>
        <source>Plan file</source>
        <translation>Archivo del plan</translation>
    </message>
    <message>
        <source>Audit file</source>
        <translation>Archivo de auditoría</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Nombre de la estación</translation>
    </message>
    <message>
        <source>Labels for the modules that pass</source>
        <translation>Etiquetas para los módulos aptos</translation>
    </message>
    <message>
        <source>Where the labels go</source>
        <translation>Adónde van las etiquetas</translation>
    </message>
    <message>
        <source>The units&apos; serial numbers</source>
        <translation>Los números de serie de las unidades</translation>
    </message>
    <message>
        <source>No serials</source>
        <translation>Sin números de serie</translation>
    </message>
    <message>
        <source>Serial when scanned</source>
        <translation>Número de serie si se escanea</translation>
    </message>
    <message>
        <source>Serial required</source>
        <translation>Número de serie obligatorio</translation>
    </message>
    <message>
        <source>Pattern a serial must match</source>
        <translation>Patrón que debe cumplir un número de serie</translation>
    </message>
    <message>
        <source>pattern, e.g. SN-[0-9]{6}</source>
        <translation>patrón, p. ej. SN-[0-9]{6}</translation>
    </message>
    <message>
        <source>Serial ports: tick one for each lane</source>
        <translation>Puertos serie: marque uno por carril</translation>
    </message>
    <message>
        <source>Port to add, by device path</source>
        <translation>Puerto que añadir, por ruta de dispositivo</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Examinar…</translation>
    </message>
    <message>
        <source>Choose the plan file</source>
        <translation>Elegir el archivo del plan</translation>
    </message>
    <message>
        <source>Choose the audit file</source>
        <translation>Elegir el archivo de auditoría</translation>
    </message>
    <message>
        <source>Add port</source>
        <translation>Añadir puerto</translation>
    </message>
    <message>
        <source>Instructions file</source>
        <translation>Archivo de instrucciones</translation>
    </message>
    <message>
        <source>none: the tiles say what to do in their own words</source>
        <translation>ninguno: los paneles dicen qué hacer con sus propias palabras</translation>
    </message>
    <message>
        <source>A text file, one line per kind of outcome: kind = text (see the manual)</source>
        <translation>Un archivo de texto, una línea por tipo de resultado: tipo = texto (vea el manual)</translation>
    </message>
    <message>
        <source>A FAIL holds its lane until acknowledged</source>
        <translation>Un FALLO retiene el carril hasta confirmarlo</translation>
    </message>
    <message>
        <source>The lane takes no next module until the operator clicks its tile, presses Enter or scans %1</source>
        <translation>El carril no acepta el siguiente módulo hasta que el operario haga clic en su panel, pulse Intro o escanee %1</translation>
    </message>
    <message>
        <source>Roster file</source>
        <translation>Archivo de la lista de personal</translation>
    </message>
    <message>
        <source>none: the operator types a name; with one, operators sign in with their badge</source>
        <translation>ninguna: el operario escribe un nombre; con una, los operarios entran con su credencial</translation>
    </message>
    <message>
        <source>a CSV file, or postgresql://… for a plan several benches share</source>
        <translation>un archivo CSV, o postgresql://… para un plan que comparten varios puestos</translation>
    </message>
    <message>
        <source>in the database, with the plan</source>
        <translation>en la base de datos, con el plan</translation>
    </message>
    <message>
        <source>&amp;Plan:</source>
        <translation>&amp;Plan:</translation>
    </message>
    <message>
        <source>&amp;Audit:</source>
        <translation>&amp;Auditoría:</translation>
    </message>
    <message>
        <source>Roste&amp;r:</source>
        <translation>Pe&amp;rsonal:</translation>
    </message>
    <message>
        <source>S&amp;tation:</source>
        <translation>Es&amp;tación:</translation>
    </message>
    <message>
        <source>La&amp;bels:</source>
        <translation>Eti&amp;quetas:</translation>
    </message>
    <message>
        <source>Se&amp;rials:</source>
        <translation>N.º de se&amp;rie:</translation>
    </message>
    <message>
        <source>&amp;Lanes:</source>
        <translation>&amp;Carriles:</translation>
    </message>
    <message>
        <source>I&amp;nstructions:</source>
        <translation>I&amp;nstrucciones:</translation>
    </message>
    <message>
        <source>Audit (*.jsonl);;All files (*)</source>
        <translation>Auditoría (*.jsonl);;Todos los archivos (*)</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>Plan</translation>
    </message>
    <message>
        <source>Plans (*.csv);;All files (*)</source>
        <translation>Planes (*.csv);;Todos los archivos (*)</translation>
    </message>
</context>
<context>
    <name>SignInDialog</name>
    <message>
        <source>The shift&apos;s name</source>
        <translation>Nombre del turno</translation>
    </message>
    <message>
        <source>may be left empty</source>
        <translation>puede quedar vacío</translation>
    </message>
    <message>
        <source>Shift:</source>
        <translation>Turno:</translation>
    </message>
    <message>
        <source>Badge code</source>
        <translation>Código de credencial</translation>
    </message>
    <message>
        <source>Badge:</source>
        <translation>Credencial:</translation>
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
        <translation>Elija el plan: un archivo CSV, o la URI postgresql:// de un plan que comparten varios puestos.</translation>
    </message>
    <message>
        <source>Plan: %1.</source>
        <translation>Plan: %1.</translation>
    </message>
    <message>
        <source>Choose the audit file (JSON lines; a new file is created).</source>
        <translation>Elija el archivo de auditoría (líneas JSON; se crea un archivo nuevo).</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Estación</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operario</translation>
    </message>
    <message>
        <source>Tick or type at least one serial port: each is a lane.</source>
        <translation>Marque o escriba al menos un puerto serie: cada uno es un carril.</translation>
    </message>
    <message>
        <source>%1 and %2 are the same port (%3); give each port once.</source>
        <translation>%1 y %2 son el mismo puerto (%3); indique cada puerto una sola vez.</translation>
    </message>
    <message>
        <source>Labels: %1.</source>
        <translation>Etiquetas: %1.</translation>
    </message>
    <message>
        <source>Serial pattern &quot;%1&quot;: %2 at character %3.</source>
        <translation>Patrón de número de serie «%1»: %2 en el carácter %3.</translation>
    </message>
    <message>
        <source>Instructions %1: %2.</source>
        <translation>Instrucciones %1: %2.</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>The plan or audit is held by %1.</source>
        <translation>El plan o la auditoría los tiene %1.</translation>
    </message>
    <message>
        <source>No report: %1</source>
        <translation>Sin informe: %1</translation>
    </message>
    <message>
        <source>choose the plan and its audit first.</source>
        <translation>elija primero el plan y su auditoría.</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>no se puede escribir %1: %2</translation>
    </message>
    <message>
        <source>The report is in %1; no program opened it.</source>
        <translation>El informe está en %1; ningún programa lo abrió.</translation>
    </message>
    <message>
        <source>The report is in %1.</source>
        <translation>El informe está en %1.</translation>
    </message>
    <message>
        <source>Making the report…</source>
        <translation>Generando el informe…</translation>
    </message>
    <message>
        <source>Releasing a row</source>
        <translation>Liberar una fila</translation>
    </message>
    <message>
        <source>Changing the set-up</source>
        <translation>Cambiar la configuración</translation>
    </message>
    <message>
        <source>Starting a new shift</source>
        <translation>Empezar un turno nuevo</translation>
    </message>
    <message>
        <source>Change set-up…</source>
        <translation>Cambiar configuración…</translation>
    </message>
    <message>
        <source>With a roster, the set-up is changed with a supervisor&apos;s badge</source>
        <translation>Con una lista de personal, la configuración se cambia con la credencial de un supervisor</translation>
    </message>
    <message>
        <source>New shift…</source>
        <translation>Turno nuevo…</translation>
    </message>
    <message>
        <source>Record the start of a shift in the audit (a supervisor&apos;s badge, with a roster)</source>
        <translation>Registrar el inicio de un turno en la auditoría (con lista de personal, la credencial de un supervisor)</translation>
    </message>
    <message>
        <source>Set-up opened by %1 (%2) until the next Start.</source>
        <translation>Configuración abierta por %1 (%2) hasta el próximo inicio.</translation>
    </message>
    <message>
        <source>Not started: </source>
        <translation>No iniciado: </translation>
    </message>
    <message>
        <source>Sign in</source>
        <translation>Iniciar sesión</translation>
    </message>
    <message>
        <source>Scan your badge, or type your code, to start the run.</source>
        <translation>Escanee su credencial o escriba su código para iniciar la tanda.</translation>
    </message>
    <message>
        <source>Not started: sign-in refused: </source>
        <translation>No iniciado: inicio de sesión rechazado: </translation>
    </message>
    <message>
        <source>%1 is recorded under the name of who is at the bench: type your name.</source>
        <translation>%1 se registra con el nombre de quien está en el puesto: escriba su nombre.</translation>
    </message>
    <message>
        <source>Type your name to start the run: every line of the audit carries it.</source>
        <translation>Escriba su nombre para iniciar la tanda: cada línea de la auditoría lo lleva.</translation>
    </message>
    <message>
        <source>%1: the roster cannot be read: %2</source>
        <translation>%1: no se puede leer la lista de personal: %2</translation>
    </message>
    <message>
        <source>%1 needs a supervisor&apos;s badge: scan it, or type the code.</source>
        <translation>%1 requiere la credencial de un supervisor: escanéela o escriba el código.</translation>
    </message>
    <message>
        <source>The shift&apos;s name, as reports show it.</source>
        <translation>El nombre del turno, tal como lo muestran los informes.</translation>
    </message>
    <message>
        <source>Refused: </source>
        <translation>Rechazado: </translation>
    </message>
    <message>
        <source>Row %1 released: it goes back to the plan.</source>
        <translation>Fila %1 liberada: vuelve al plan.</translation>
    </message>
    <message>
        <source>Row %1 was not released: %2</source>
        <translation>La fila %1 no se liberó: %2</translation>
    </message>
    <message>
        <source>The shift&apos;s name</source>
        <translation>El nombre del turno</translation>
    </message>
    <message>
        <source>No shift started: %1.</source>
        <translation>No se empezó ningún turno: %1.</translation>
    </message>
    <message>
        <source>A new shift starts: recorded in the audit.</source>
        <translation>Empieza un turno nuevo: registrado en la auditoría.</translation>
    </message>
    <message>
        <source>Shift %1 starts: recorded in the audit.</source>
        <translation>Empieza el turno %1: registrado en la auditoría.</translation>
    </message>
    <message>
        <source>No shift started: %1</source>
        <translation>No se empezó ningún turno: %1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Iniciar</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Detener</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Informe</translation>
    </message>
    <message>
        <source>VeV-Idire Station</source>
        <translation>Estación VeV-Idire</translation>
    </message>
    <message>
        <source>Start the run (Space or Enter)</source>
        <translation>Iniciar la tanda (Espacio o Intro)</translation>
    </message>
    <message>
        <source>Finish and record the modules in hand, then stop (Escape asks first)</source>
        <translation>Terminar y registrar los módulos en curso y luego detener (Escape pregunta antes)</translation>
    </message>
    <message>
        <source>The line report of the plan as a page in the browser: yield, failures by code, output by station and every unit</source>
        <translation>El informe de línea del plan como página en el navegador: rendimiento, fallos por código, producción por estación y cada unidad</translation>
    </message>
    <message>
        <source>Tick a port for each lane and press Start.</source>
        <translation>Marque un puerto por carril y pulse Iniciar.</translation>
    </message>
    <message>
        <source>Settings not used: %1; the set-up is not remembered.</source>
        <translation>Ajustes no usados: %1; la configuración no se recuerda.</translation>
    </message>
    <message>
        <source>Plan progress</source>
        <translation>Progreso del plan</translation>
    </message>
    <message>
        <source>%v of %m passed</source>
        <translation>%v de %m aptos</translation>
    </message>
    <message>
        <source>100000 of 100000 passed</source>
        <translation>100000 de 100000 aptos</translation>
    </message>
    <message>
        <source>; the run stops.</source>
        <translation>; la tanda se detiene.</translation>
    </message>
    <message>
        <source>; nothing more is sent to any module, and the run stops.</source>
        <translation>; no se envía nada más a ningún módulo y la tanda se detiene.</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Detenido</translation>
    </message>
    <message>
        <source>below</source>
        <translation>abajo</translation>
    </message>
    <message>
        <source>Opening the plan, the audit and the ports…</source>
        <translation>Abriendo el plan, la auditoría y los puertos…</translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes, but %1.</source>
        <translation>
            <numerusform>En marcha en %n carril, pero %1.</numerusform>
            <numerusform>En marcha en %n carriles, pero %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Running on %n lanes. Escape stops once the modules in hand are finished.</source>
        <translation>
            <numerusform>En marcha en %n carril. Escape detiene en cuanto se terminen los módulos en curso.</numerusform>
            <numerusform>En marcha en %n carriles. Escape detiene en cuanto se terminen los módulos en curso.</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopping: the lanes finish and record the modules in hand…</source>
        <translation>Deteniendo: los carriles terminan y registran los módulos en curso…</translation>
    </message>
    <message>
        <source>Plan: %1 of %2 passed, %3 left, %4 in doubt</source>
        <translation>Plan: %1 de %2 aptos, quedan %3, %4 en duda</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>Transcurrido %1</translation>
    </message>
    <message>
        <source>Stop the run</source>
        <translation>Detener la tanda</translation>
    </message>
    <message>
        <source>Stop the run? Each lane first finishes and records the module in hand.</source>
        <translation>¿Detener la tanda? Cada carril termina y registra antes el módulo en curso.</translation>
    </message>
    <message>
        <source>Stop and close</source>
        <translation>Detener y cerrar</translation>
    </message>
    <message>
        <source>A supervisor&apos;s badge is asked next: the release is recorded in the audit under the supervisor&apos;s name.</source>
        <translation>A continuación se pide la credencial de un supervisor: la liberación se registra en la auditoría con el nombre del supervisor.</translation>
    </message>
    <message>
        <source>The release is recorded in the audit under the operator&apos;s name, %1.</source>
        <translation>La liberación se registra en la auditoría con el nombre del operario, %1.</translation>
    </message>
    <message>
        <source>(none given)</source>
        <translation>(no indicado)</translation>
    </message>
    <message>
        <source>Release row %1</source>
        <translation>Liberar la fila %1</translation>
    </message>
    <message>
        <source>Release row %1 (IP %2, MAC %3) back to the plan?

The row is in doubt: part of it may be on the module it was written to (before: %4). Release it only once that module has been dealt with:
• it was put back on a lane and finished the row (the row then leaves this list by itself), or
• it was wiped back to its settings before, or scrapped.

Once released, the next module may be given the row. %5</source>
        <translation>¿Devolver la fila %1 (IP %2, MAC %3) al plan?

La fila está en duda: parte de ella puede estar en el módulo en que se escribió (antes: %4). Libérela solo cuando ese módulo se haya atendido:
• se volvió a poner en un carril y terminó la fila (la fila sale entonces sola de esta lista), o
• se devolvió a sus ajustes anteriores, o se desechó.

Una vez liberada, el siguiente módulo puede recibir la fila. %5</translation>
    </message>
    <message>
        <source>Release</source>
        <translation>Liberar</translation>
    </message>
</context>
</TS>
