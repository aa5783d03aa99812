<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>LocatorUdp</name>
    <message>
        <source>&quot;%1&quot; is no address and port such as 127.0.0.1:2237 or 224.0.0.1:2237</source>
        <translation>„%1“ ist keine Adresse mit Port wie 127.0.0.1:2237 oder 224.0.0.1:2237</translation>
    </message>
    <message>
        <source>Port %1 is taken by a program that does not share it.</source>
        <translation>Port %1 ist von einem Programm belegt, das ihn nicht teilt.</translation>
    </message>
    <message>
        <source>Port %1 is taken by another program. Use a multicast address such as 224.0.0.1:%1, here and as WSJT-X&apos;s UDP Server.</source>
        <translation>Port %1 ist von einem anderen Programm belegt. Nehmen Sie eine Multicast-Adresse wie 224.0.0.1:%1, hier und als UDP Server in WSJT-X.</translation>
    </message>
    <message>
        <source>Cannot listen on %1: %2</source>
        <translation>Kann nicht auf %1 empfangen: %2</translation>
    </message>
    <message>
        <source>Cannot join %1 on any network interface: %2</source>
        <translation>Kann %1 auf keiner Netzwerkschnittstelle beitreten: %2</translation>
    </message>
    <message>
        <source>Listening on %1: no WSJT-X or JTDX heard yet</source>
        <translation>Empfange auf %1: noch kein WSJT-X oder JTDX gehört</translation>
    </message>
    <message>
        <source>%1: waiting for a GPS fix</source>
        <translation>%1: wartet auf eine GPS-Position</translation>
    </message>
    <message>
        <source>%1: %2 sent</source>
        <translation>%1: %2 gesendet</translation>
    </message>
    <message>
        <source>%1 keeps %2, not %3: turn on Accept UDP requests and AutoGrid there</source>
        <translation>%1 behält %2, nicht %3: dort Accept UDP requests und AutoGrid einschalten</translation>
    </message>
    <message>
        <source>%1 is not installed (looked in %2)</source>
        <translation>%1 ist nicht installiert (gesucht in %2)</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Cannot read the value &apos;%1&apos;</source>
        <translation>Konnte Daten für &apos;%1&apos; nicht holen</translation>
    </message>
    <message>
        <source>The value &apos;%1&apos; has the wrong type</source>
        <translation>Ungültiger Datentyp für &apos;%1&apos;</translation>
    </message>
    <message>
        <source>Tessaro could not store its settings in %1 (%2). Not stored: %3. The settings stored before are kept</source>
        <translation>Konnte Daten für &apos;%3&apos; nicht setzen (%1: %2). Die zuvor gespeicherten Einstellungen bleiben erhalten</translation>
    </message>
    <message>
        <source>the registry refused the write</source>
        <translation>die Registrierung hat das Schreiben verweigert</translation>
    </message>
    <message>
        <source>the system gave no reason</source>
        <translation>das System nennt keinen Grund</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a plain text</source>
        <translation>Ungültiger Datentyp: &quot;%1&quot; ist kein Text</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a whole number</source>
        <translation>Ungültiger Datentyp: &quot;%1&quot; ist keine ganze Zahl</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is longer than its field (%2 characters)</source>
        <translation>&quot;%1&quot; ist länger als sein Feld (%2 Zeichen)</translation>
    </message>
    <message>
        <source>%1 is not between %2 and %3</source>
        <translation>%1 liegt nicht zwischen %2 und %3</translation>
    </message>
    <message>
        <source>Some settings in %1 could not be used:

%2

These start with their first-start values; all other settings are kept. When Tessaro ends, the values shown are stored.</source>
        <translation>Einige Einstellungen in %1 konnten nicht verwendet werden:

%2

Sie beginnen mit ihren Werten vom ersten Start; alle anderen Einstellungen bleiben erhalten. Beim Beenden speichert Tessaro die angezeigten Werte.</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>&apos;%1&apos; is not a number: the heading stays as it was</source>
        <translation>&apos;%1&apos; ist kein gültiger Gleitkommawert</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>COM%1: not valid or in use; no GPS data is read.<byte value="xd"/>Check the hardware, or choose another port.</source>
        <translation>COM%1: ungültig oder belegt; es werden keine GPS-Daten gelesen.<byte value="xd"/>Hardware prüfen oder einen anderen Anschluss wählen.</translation>
    </message>
</context>
<context>
    <name>TSerial</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
</TS>
