<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>Diagnostics</name>
    <message>
        <source>DebugChannelsStart (Laden der Debug-Bibliothek): %1</source>
        <translation>DebugChannelsStart (loading the debug library): %1</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>Datei %1 kann nicht geschrieben werden: %2</source>
        <translation>File %1 cannot be written: %2</translation>
    </message>
    <message>
        <source>ein Ordner dieses Namens ist im Weg</source>
        <translation>a folder of that name is in the way</translation>
    </message>
    <message>
        <source>die Datei ist schreibgeschützt</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>Daten nicht auf die Platte gebracht</source>
        <translation>data not flushed to the disk</translation>
    </message>
    <message>
        <source>Ordner %1 kann nicht angelegt werden</source>
        <translation>Folder %1 cannot be created</translation>
    </message>
</context>
<context>
    <name>TAddressChange</name>
    <message>
        <source>Adressänderung</source>
        <translation>address change</translation>
    </message>
    <message>
        <source>Moduladresse $%1 ist auf IFC(%2) schon vergeben. </source>
        <translation>Module address $%1 is already taken on IFC(%2). </translation>
    </message>
    <message>
        <source>Adressänderung $%1 -&gt; $%2 nicht bestätigt: das Modul steht jetzt auf der neuen Adresse, bitte die Karte prüfen. </source>
        <translation>Address change $%1 -&gt; $%2 not confirmed: the module is now at the new address, please check the card. </translation>
    </message>
    <message>
        <source>&apos;%1&apos; ist keine gültige Moduladresse</source>
        <translation>&apos;%1&apos; is not a valid module address</translation>
    </message>
    <message>
        <source>OK, Adresse geändert. </source>
        <translation>OK, address changed. </translation>
    </message>
</context>
<context>
    <name>TBaseModul</name>
    <message>
        <source>Modul %1: unlesbare Antwort auf &quot;%2&quot;: &quot;%3&quot; </source>
        <translation>Module %1: unreadable answer to &quot;%2&quot;: &quot;%3&quot; </translation>
    </message>
    <message>
        <source>Modul %1: Antwort von $%2 auf &quot;%3&quot; verworfen: &quot;%4&quot; </source>
        <translation>Module %1: answer from $%2 to &quot;%3&quot; dropped: &quot;%4&quot; </translation>
    </message>
</context>
<context>
    <name>TBusMonitorModel</name>
    <message>
        <source>unlesbar</source>
        <translation>unreadable</translation>
    </message>
    <message>
        <source>fremde Karte</source>
        <translation>other card</translation>
    </message>
    <message>
        <source>Poll</source>
        <translation>Poll</translation>
    </message>
    <message>
        <source>einmalig</source>
        <translation>one-shot</translation>
    </message>
    <message>
        <source>mit Resync-Präfix &lt;A7&gt;&lt;0D&gt; gesendet</source>
        <translation>sent with the resync prefix &lt;A7&gt;&lt;0D&gt;</translation>
    </message>
    <message>
        <source>Antwort einer anderen Karte (oft eine verspätete Antwort)</source>
        <translation>answer of another card (often a late answer)</translation>
    </message>
    <message>
        <source>keine Antwortzeile innerhalb der Time Out Zeit</source>
        <translation>no answer line within the time-out</translation>
    </message>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>IFC</source>
        <translation>IFC</translation>
    </message>
    <message>
        <source>Adr.</source>
        <translation>Addr.</translation>
    </message>
    <message>
        <source>Klasse</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>Befehl</source>
        <translation>Command</translation>
    </message>
    <message>
        <source>Antwort</source>
        <translation>Answer</translation>
    </message>
    <message>
        <source>Ergebnis</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>Art</source>
        <translation>Kind</translation>
    </message>
</context>
<context>
    <name>TCardConfigController</name>
    <message>
        <source>Konfiguration: es läuft schon eine. </source>
        <translation>Configuration: one is already running. </translation>
    </message>
    <message>
        <source>%1: keine Sicherungsdatei angegeben. </source>
        <translation>%1: no backup file given. </translation>
    </message>
    <message>
        <source>%1: keine Karten ausgewählt. </source>
        <translation>%1: no cards chosen. </translation>
    </message>
    <message>
        <source>Fortschritt</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Karte %1 von %2: %3</source>
        <translation>Card %1 of %2: %3</translation>
    </message>
    <message>
        <source>Karte %1 von %2</source>
        <translation>Card %1 of %2</translation>
    </message>
    <message>
        <source>%1: Datei nicht nutzbar</source>
        <translation>%1: file not usable</translation>
    </message>
</context>
<context>
    <name>TCardConfigRun</name>
    <message>
        <source>Konfiguration sichern</source>
        <translation>Back up configuration</translation>
    </message>
    <message>
        <source>Konfiguration vergleichen</source>
        <translation>Compare configuration</translation>
    </message>
    <message>
        <source>Konfiguration wiederherstellen</source>
        <translation>Restore configuration</translation>
    </message>
    <message>
        <source>Konfiguration</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>(fehlt)</source>
        <translation>(missing)</translation>
    </message>
    <message>
        <source>%1: Datei %2 nicht lesbar: %3</source>
        <translation>%1: file %2 not readable: %3</translation>
    </message>
    <message>
        <source>%1: keine Sicherung in %2 gefunden. </source>
        <translation>%1: no backup found in %2. </translation>
    </message>
    <message>
        <source>nicht bearbeitet (abgebrochen)</source>
        <translation>not handled (cancelled)</translation>
    </message>
    <message>
        <source>gelesen, nicht gesichert (abgebrochen, Datei unverändert)</source>
        <translation>read, not backed up (cancelled, file unchanged)</translation>
    </message>
    <message>
        <source>gelesen, aber die Datei konnte nicht geschrieben werden</source>
        <translation>read, but the file could not be written</translation>
    </message>
    <message>
        <source>keine Einstellungen</source>
        <translation>no settings</translation>
    </message>
    <message>
        <source>Interface nicht verbunden</source>
        <translation>interface not connected</translation>
    </message>
    <message>
        <source>kein Abschnitt [%1] in der Datei</source>
        <translation>no section [%1] in the file</translation>
    </message>
    <message>
        <source>abgelehnt: Abschnitt [%1] gehört zu einer %2, die Karte ist eine %3</source>
        <translation>refused: section [%1] belongs to a %2, the card is a %3</translation>
    </message>
    <message>
        <source>abgelehnt: Abschnitt [%1]: %2, nichts geschrieben</source>
        <translation>refused: section [%1]: %2, nothing written</translation>
    </message>
    <message>
        <source>gesichert</source>
        <translation>backed up</translation>
    </message>
    <message>
        <source>gleich (mit [%1])</source>
        <translation>equal (with [%1])</translation>
    </message>
    <message>
        <source>gleich</source>
        <translation>equal</translation>
    </message>
    <message>
        <source>%1 Unterschied (mit [%2])</source>
        <translation>%1 difference (with [%2])</translation>
    </message>
    <message>
        <source>%1 Unterschiede (mit [%2])</source>
        <translation>%1 differences (with [%2])</translation>
    </message>
    <message>
        <source>%1 Unterschied</source>
        <translation>%1 difference</translation>
    </message>
    <message>
        <source>%1 Unterschiede</source>
        <translation>%1 differences</translation>
    </message>
    <message>
        <source>abgebrochen, nichts geschrieben</source>
        <translation>cancelled, nothing written</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Interface nicht mehr verbunden</source>
        <translation>interface no longer connected</translation>
    </message>
    <message>
        <source>ohne Antwort</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>abgelehnt: die Karte meldet sich als &quot;%1&quot;, im Modell steht %2</source>
        <translation>refused: the card reports itself as &quot;%1&quot;, the model has %2</translation>
    </message>
    <message>
        <source>ohne Antwort auf %1 von %2 Abfragen</source>
        <translation>no answer to %1 of %2 queries</translation>
    </message>
    <message>
        <source>wiederhergestellt</source>
        <translation>restored</translation>
    </message>
    <message>
        <source>wiederhergestellt aus [%1]</source>
        <translation>restored from [%1]</translation>
    </message>
    <message>
        <source>%1: schon gleich, nichts geschrieben</source>
        <translation>%1: already equal, nothing written</translation>
    </message>
    <message>
        <source>%1 Einstellung</source>
        <translation>%1 setting</translation>
    </message>
    <message>
        <source>%1 Einstellungen</source>
        <translation>%1 settings</translation>
    </message>
    <message>
        <source>, nicht im EEPROM gespeichert</source>
        <translation>, not stored in the EEPROM</translation>
    </message>
    <message>
        <source>abgebrochen nach dem Senden von %1: nicht geprüft%2</source>
        <translation>cancelled after sending %1: not checked%2</translation>
    </message>
    <message>
        <source>%1 gesendet, Rücklesen ohne Antwort: nicht geprüft%2</source>
        <translation>%1 sent, read-back without answer: not checked%2</translation>
    </message>
    <message>
        <source>%1 gesendet, Rücklesen unmöglich (Interface nicht verbunden): nicht geprüft%2</source>
        <translation>%1 sent, read-back impossible (interface not connected): not checked%2</translation>
    </message>
    <message>
        <source>%1 gesendet, Prüfung fehlgeschlagen: %2 ab%3</source>
        <translation>%1 sent, check failed: %2 off%3</translation>
    </message>
    <message>
        <source>%1 Einstellung weicht</source>
        <translation>%1 setting differs</translation>
    </message>
    <message>
        <source>%1 Einstellungen weichen</source>
        <translation>%1 settings differ</translation>
    </message>
    <message>
        <source>%1: %2 geschrieben</source>
        <translation>%1: %2 written</translation>
    </message>
    <message>
        <source>%1 geschrieben und geprüft, Speichern im EEPROM abgebrochen</source>
        <translation>%1 written and checked, storing in the EEPROM cancelled</translation>
    </message>
    <message>
        <source>%1 geschrieben und geprüft, Speichern im EEPROM nicht bestätigt</source>
        <translation>%1 written and checked, storing in the EEPROM not confirmed</translation>
    </message>
    <message>
        <source>%1: %2 geschrieben, im EEPROM gespeichert</source>
        <translation>%1: %2 written, stored in the EEPROM</translation>
    </message>
    <message>
        <source>%1 gesichert, %2 ohne Antwort</source>
        <translation>%1 backed up, %2 without answer</translation>
    </message>
    <message>
        <source>%1 Karte</source>
        <translation>%1 card</translation>
    </message>
    <message>
        <source>%1 Karten</source>
        <translation>%1 cards</translation>
    </message>
    <message>
        <source>%1 fehlgeschlagen</source>
        <translation>%1 failed</translation>
    </message>
    <message>
        <source>%1 gleich, %2 verschieden, %3 ohne Antwort</source>
        <translation>%1 equal, %2 different, %3 without answer</translation>
    </message>
    <message>
        <source>%1 wiederhergestellt, %2 fehlgeschlagen</source>
        <translation>%1 restored, %2 failed</translation>
    </message>
    <message>
        <source>%1 abgebrochen</source>
        <translation>%1 cancelled</translation>
    </message>
    <message>
        <source>%1 ohne Einstellungen</source>
        <translation>%1 without settings</translation>
    </message>
    <message>
        <source>%1 fehlt</source>
        <translation>%1 is missing</translation>
    </message>
    <message>
        <source>%1=%2 ist kein gültiger Wert</source>
        <translation>%1=%2 is not a valid value</translation>
    </message>
</context>
<context>
    <name>TComPort</name>
    <message>
        <source>kein Treiber</source>
        <translation>no driver</translation>
    </message>
    <message>
        <source>ComPort %1 nicht gefunden, der Adapter %2 ist jetzt %3. </source>
        <translation>ComPort %1 not found, the adapter %2 is now %3. </translation>
    </message>
    <message>
        <source>ComPort %1 nicht gefunden, und Adapter mit der Kennung %2 gibt es mehrere (%3): welcher gemeint ist, lässt sich nicht erkennen. Bitte den Port wählen. </source>
        <translation>ComPort %1 not found, and there are several adapters with the identity %2 (%3): which one is meant cannot be told. Please choose the port. </translation>
    </message>
    <message>
        <source>An ComPort %1 steckt jetzt ein anderer Adapter (%2), der Adapter %3 ist jetzt %4. </source>
        <translation>ComPort %1 is now another adapter (%2), the adapter %3 is now %4. </translation>
    </message>
    <message>
        <source>ohne USB-Kennung</source>
        <translation>without USB identity</translation>
    </message>
    <message>
        <source>An ComPort %1 steckt jetzt ein Adapter derselben Art am USB-Anschluss %2, der Adapter %3 vom USB-Anschluss %4 ist jetzt %5. </source>
        <translation>ComPort %1 is now an adapter of the same kind in USB socket %2; the adapter %3 from USB socket %4 is now %5. </translation>
    </message>
    <message>
        <source>USB-Anschluss %1</source>
        <translation>USB socket %1</translation>
    </message>
    <message>
        <source>An ComPort %1 steckt jetzt ein anderer Adapter (%2) als beim letzten Verbinden (%3), verbunden wird mit ihm. </source>
        <translation>ComPort %1 is now another adapter (%2) than at the last connect (%3), connecting to it. </translation>
    </message>
</context>
<context>
    <name>TIniFile</name>
    <message>
        <source>Datei %1 ist zu groß</source>
        <translation>File %1 is too large</translation>
    </message>
</context>
<context>
    <name>TLumi</name>
    <message>
        <source>an</source>
        <translation>on</translation>
    </message>
    <message>
        <source>aus</source>
        <translation>off</translation>
    </message>
</context>
<context>
    <name>TLumiKette</name>
    <message>
        <source>alle aus</source>
        <translation>all off</translation>
    </message>
    <message>
        <source>an: %1</source>
        <translation>on: %1</translation>
    </message>
</context>
<context>
    <name>TMainThreadExecutor</name>
    <message>
        <source>unbekannter Fehler</source>
        <translation>unknown error</translation>
    </message>
</context>
<context>
    <name>TModulSearch</name>
    <message>
        <source>Modulsuche</source>
        <translation>module search</translation>
    </message>
    <message>
        <source>Suchende nicht innerhalb von %1 ms zurück</source>
        <translation>end of search not back within %1 ms</translation>
    </message>
    <message>
        <source>Interface nicht mehr verbunden</source>
        <translation>interface no longer connected</translation>
    </message>
    <message>
        <source>Modulsuche IFC(%1) abgebrochen: %2, keine Module übernommen. </source>
        <translation>Module search IFC(%1) cancelled: %2, no modules taken over. </translation>
    </message>
    <message>
        <source>Modulsuche IFC(%1): %2 Adressen ohne Antwort</source>
        <translation>Module search IFC(%1): %2 addresses without answer</translation>
    </message>
</context>
<context>
    <name>TModulsList</name>
    <message>
        <source>Das Modell wurde nicht geladen: die Datei %1 konnte nicht gelesen werden (%2).</source>
        <translation>The model was not loaded: the file %1 could not be read (%2).</translation>
    </message>
    <message>
        <source>Das Modell wurde nur teilweise geladen: in %1, Abschnitt [%2], %3%4. Was in der Datei danach folgt, wurde nicht geladen.</source>
        <translation>The model was loaded only in part: in %1, section [%2], %3%4. What follows in the file was not loaded.</translation>
    </message>
    <message>
        <source>kein Dateiname angegeben, nichts gespeichert</source>
        <translation>no file name given, nothing saved</translation>
    </message>
    <message>
        <source>liegt nicht im erlaubten Bereich %1..%2</source>
        <translation>is not in the allowed range %1..%2</translation>
    </message>
    <message>
        <source>%1, [%2] %3=%4 %5; das Laden wurde hier beendet.</source>
        <translation>%1, [%2] %3=%4 %5; loading stopped here.</translation>
    </message>
    <message>
        <source>Moduladresse %1 liegt nicht in 0..255</source>
        <translation>Module address %1 is not in 0..255</translation>
    </message>
</context>
<context>
    <name>TQtSerialLine</name>
    <message>
        <source>Verbindung zum Gerät abgebrochen</source>
        <translation>connection to the device broken off</translation>
    </message>
    <message>
        <source>Keine Berechtigung für %1. Abhilfe: das Benutzerkonto in die Gruppe &quot;%2&quot; aufnehmen, der das Gerät gehört: sudo usermod -aG %2 $USER, danach ab- und wieder anmelden.</source>
        <translation>No permission for %1. Remedy: add the user account to the group &quot;%2&quot; that owns the device: sudo usermod -aG %2 $USER, then log out and in again.</translation>
    </message>
    <message>
        <source>Keine Berechtigung für %1. Abhilfe: das Benutzerkonto in die Gruppe der seriellen Schnittstellen aufnehmen (unter Debian und Ubuntu &quot;dialout&quot;): sudo usermod -aG %2 $USER, danach ab- und wieder anmelden.</source>
        <translation>No permission for %1. Remedy: add the user account to the group of the serial ports (&quot;dialout&quot; on Debian and Ubuntu): sudo usermod -aG %2 $USER, then log out and in again.</translation>
    </message>
    <message>
        <source>ComPort %1 ist belegt: ein anderes Programm hat ihn geöffnet (etwa ein Terminalprogramm oder ein zweites KavorConfig). Erst dort schließen, dann erneut verbinden.</source>
        <translation>ComPort %1 is busy: another program has opened it (a terminal program, say, or a second KavorConfig). Close it there first, then connect again.</translation>
    </message>
    <message>
        <source>ComPort %1: der USB-Adapter sammelt Zeichen %2 ms lang, jede Antwort kommt entsprechend später. Dauerhaft abhelfen mit einer udev-Regel, etwa /etc/udev/rules.d/99-ftdi-latency.rules mit der Zeile ACTION==&quot;add&quot;, SUBSYSTEM==&quot;usb-serial&quot;, DRIVER==&quot;ftdi_sio&quot;, ATTR{latency_timer}=&quot;1&quot; (wirkt ab dem nächsten Einstecken); bis dahin: echo 1 | sudo tee %3</source>
        <translation>ComPort %1: the USB adapter collects characters for %2 ms, every answer comes that much later. A lasting remedy is a udev rule, say /etc/udev/rules.d/99-ftdi-latency.rules with the line ACTION==&quot;add&quot;, SUBSYSTEM==&quot;usb-serial&quot;, DRIVER==&quot;ftdi_sio&quot;, ATTR{latency_timer}=&quot;1&quot; (takes effect from the next plug-in); until then: echo 1 | sudo tee %3</translation>
    </message>
    <message>
        <source>keine Baudrate eingestellt (0): 9600 oder 19200 wählen</source>
        <translation>no baud rate set (0): choose 9600 or 19200</translation>
    </message>
</context>
<context>
    <name>TSer485BusMaster</name>
    <message>
        <source>TimeOut, Modul antwortet nicht! &quot;%1&quot; </source>
        <translation>TimeOut, module does not answer! &quot;%1&quot; </translation>
    </message>
    <message>
        <source>%1 Zeichen vor dem Senden verworfen: %2</source>
        <translation>%1 characters dropped before sending: %2</translation>
    </message>
    <message>
        <source>1 weitere Zeile nach der Antwort auf &quot;%1&quot; verworfen: %2</source>
        <translation>1 further line after the answer to &quot;%1&quot; dropped: %2</translation>
    </message>
    <message>
        <source>%3 weitere Zeilen nach der Antwort auf &quot;%1&quot; verworfen: %2</source>
        <translation>%3 further lines after the answer to &quot;%1&quot; dropped: %2</translation>
    </message>
    <message>
        <source>ComPort %1 ist nicht mehr verfügbar, die Verbindung wurde getrennt. </source>
        <translation>ComPort %1 is no longer available, the connection was closed. </translation>
    </message>
    <message>
        <source>ComPort %1 ist nicht mehr verfügbar (%2), die Verbindung wurde getrennt. </source>
        <translation>ComPort %1 is no longer available (%2), the connection was closed. </translation>
    </message>
    <message>
        <source>ComPort konnte nicht geöffnet werden! </source>
        <translation>ComPort could not be opened! </translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>error</translation>
    </message>
    <message>
        <source>ComPort %1 ist wieder verfügbar, die Verbindung wurde wiederhergestellt. </source>
        <translation>ComPort %1 is available again, the connection was restored. </translation>
    </message>
</context>
<context>
    <name>TSpeedi</name>
    <message>
        <source>Fahrtrichtung</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Rückwärts</source>
        <translation>Reverse</translation>
    </message>
    <message>
        <source>Halt</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Vorwärts</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>Fahrstufe</source>
        <translation>Speed step</translation>
    </message>
</context>
<context>
    <name>TTextCommandRouter</name>
    <message>
        <source>Textkommando &quot;%1&quot;: die Busnachricht &quot;%2&quot; nennt keine Moduladresse</source>
        <translation>Text command &quot;%1&quot;: the bus message &quot;%2&quot; names no module address</translation>
    </message>
    <message>
        <source>Textkommando &quot;%1&quot;: Interface %2 gibt es nicht</source>
        <translation>Text command &quot;%1&quot;: there is no interface %2</translation>
    </message>
    <message>
        <source>Textkommando &quot;%1&quot;: Modul %2 gibt es auf Interface %3 nicht</source>
        <translation>Text command &quot;%1&quot;: there is no module %2 on interface %3</translation>
    </message>
    <message>
        <source>(leer)</source>
        <translation>(empty)</translation>
    </message>
</context>
<context>
    <name>TWorkflowGuard</name>
    <message>
        <source>IFC(%1) ist beschäftigt: %2 läuft noch. </source>
        <translation>IFC(%1) is busy: %2 is still running. </translation>
    </message>
</context>
<context>
    <name>TfrmBusMonitor</name>
    <message>
        <source>vor %1 s</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>vor %1 min</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>vor %1 h</source>
        <translation>%1 h ago</translation>
    </message>
    <message>
        <source>Busmonitor</source>
        <translation>Bus monitor</translation>
    </message>
    <message>
        <source>Interface-Filter</source>
        <translation>Interface filter</translation>
    </message>
    <message>
        <source>Modul-Filter</source>
        <translation>Module filter</translation>
    </message>
    <message>
        <source>&amp;Polls ausblenden</source>
        <translation>&amp;Hide polls</translation>
    </message>
    <message>
        <source>Polls ausblenden</source>
        <translation>Hide polls</translation>
    </message>
    <message>
        <source>nur &amp;Fehler</source>
        <translation>&amp;Errors only</translation>
    </message>
    <message>
        <source>nur Fehler</source>
        <translation>Errors only</translation>
    </message>
    <message>
        <source>Suchtext</source>
        <translation>Search text</translation>
    </message>
    <message>
        <source>Adresse, Klasse, Befehl, Antwort</source>
        <translation>Address, class, command, answer</translation>
    </message>
    <message>
        <source>&amp;Interface:</source>
        <translation>&amp;Interface:</translation>
    </message>
    <message>
        <source>&amp;Modul:</source>
        <translation>&amp;Module:</translation>
    </message>
    <message>
        <source>Such&amp;text:</source>
        <translation>Search &amp;text:</translation>
    </message>
    <message>
        <source>&amp;Anhalten</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>Anzeige anhalten</source>
        <translation>Pause the display</translation>
    </message>
    <message>
        <source>Hält die Anzeige an; die Aufzeichnung läuft weiter.</source>
        <translation>Pauses the display; the recording goes on.</translation>
    </message>
    <message>
        <source>&amp;Leeren</source>
        <translation>&amp;Clear</translation>
    </message>
    <message>
        <source>Aufzeichnung leeren</source>
        <translation>Clear the recording</translation>
    </message>
    <message>
        <source>Verwirft die aufgezeichneten Austausche.</source>
        <translation>Drops the recorded exchanges.</translation>
    </message>
    <message>
        <source>Als &amp;CSV speichern...</source>
        <translation>Save as C&amp;SV...</translation>
    </message>
    <message>
        <source>Als CSV speichern</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>Speichert die angezeigten Zeilen als CSV-Datei: eine Kopfzeile, Felder durch Semikolon getrennt,
Antwortzeiten in ganzen Mikrosekunden (answer_us).</source>
        <translation>Saves the rows shown as a CSV file: one header line, fields separated by semicolons,
answer times in whole microseconds (answer_us).</translation>
    </message>
    <message>
        <source>Statistik &amp;zurücksetzen</source>
        <translation>&amp;Reset statistics</translation>
    </message>
    <message>
        <source>Statistik zurücksetzen</source>
        <translation>Reset statistics</translation>
    </message>
    <message>
        <source>Interfaces</source>
        <translation>Interfaces</translation>
    </message>
    <message>
        <source>Statistik und Verkehr</source>
        <translation>Statistics and traffic</translation>
    </message>
    <message>
        <source>Statistik je Modul</source>
        <translation>Statistics per module</translation>
    </message>
    <message>
        <source>IFC</source>
        <translation>IFC</translation>
    </message>
    <message>
        <source>Adr.</source>
        <translation>Addr.</translation>
    </message>
    <message>
        <source>Klasse</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>Bezeichnung</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Austausche</source>
        <translation>Exchanges</translation>
    </message>
    <message>
        <source>Antworten</source>
        <translation>Answers</translation>
    </message>
    <message>
        <source>TimeOuts</source>
        <translation>TimeOuts</translation>
    </message>
    <message>
        <source>unlesbar</source>
        <translation>unreadable</translation>
    </message>
    <message>
        <source>fremd</source>
        <translation>foreign</translation>
    </message>
    <message>
        <source>min ms</source>
        <translation>min ms</translation>
    </message>
    <message>
        <source>Ø ms</source>
        <translation>mean ms</translation>
    </message>
    <message>
        <source>p95 ms</source>
        <translation>p95 ms</translation>
    </message>
    <message>
        <source>max ms</source>
        <translation>max ms</translation>
    </message>
    <message>
        <source>letzte Antwort</source>
        <translation>last answer</translation>
    </message>
    <message>
        <source>Doppelklick: nur den Verkehr dieses Moduls zeigen</source>
        <translation>Double-click: show only this module&apos;s traffic</translation>
    </message>
    <message>
        <source>Busverkehr</source>
        <translation>Bus traffic</translation>
    </message>
    <message>
        <source>alle</source>
        <translation>all</translation>
    </message>
    <message>
        <source>IFC(%1): %2 Austausche/s, Buslast %3 % bei %4 Baud, %5 Fehler</source>
        <translation>IFC(%1): %2 exchanges/s, bus load %3 % at %4 baud, %5 errors</translation>
    </message>
    <message>
        <source>Statistik seit %1</source>
        <translation>Statistics since %1</translation>
    </message>
    <message>
        <source>%1 Austausche aufgezeichnet (höchstens %2), %3 angezeigt</source>
        <translation>%1 exchanges recorded (at most %2), %3 shown</translation>
    </message>
    <message>
        <source> - angehalten, %1 neue</source>
        <translation> - paused, %1 new</translation>
    </message>
    <message>
        <source>&amp;Weiter</source>
        <translation>Res&amp;ume</translation>
    </message>
    <message>
        <source>Speichern fehlgeschlagen: %1</source>
        <translation>Saving failed: %1</translation>
    </message>
    <message>
        <source>%1 Zeilen gespeichert: %2</source>
        <translation>%1 rows saved: %2</translation>
    </message>
    <message>
        <source>Busverkehr als CSV speichern (Semikolon-getrennt)</source>
        <translation>Save the bus traffic as CSV (semicolon-separated)</translation>
    </message>
    <message>
        <source>CSV, Semikolon-getrennt (*.csv);;Alle Files (*.*)</source>
        <translation>CSV, semicolon-separated (*.csv);;All files (*.*)</translation>
    </message>
</context>
<context>
    <name>TfrmCardConfig</name>
    <message>
        <source>Sichern</source>
        <translation>Back up</translation>
    </message>
    <message>
        <source>Vergleichen</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>Wiederherstellen</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Konfiguration sichern</source>
        <translation>Back up configuration</translation>
    </message>
    <message>
        <source>Konfiguration vergleichen</source>
        <translation>Compare configuration</translation>
    </message>
    <message>
        <source>Konfiguration wiederherstellen</source>
        <translation>Restore configuration</translation>
    </message>
    <message>
        <source>Konfiguration</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source> Karten </source>
        <translation> Cards </translation>
    </message>
    <message>
        <source>Karten</source>
        <translation>Cards</translation>
    </message>
    <message>
        <source>Ausgewählte Karte (keine gewählt)</source>
        <translation>Selected card (none selected)</translation>
    </message>
    <message>
        <source>Ausgewählte Karte: %1</source>
        <translation>Selected card: %1</translation>
    </message>
    <message>
        <source>Ausgewählte Karte</source>
        <translation>Selected card</translation>
    </message>
    <message>
        <source>Alle Karten des Interfaces (keines gewählt)</source>
        <translation>All cards of the interface (none selected)</translation>
    </message>
    <message>
        <source>Alle Karten von %1</source>
        <translation>All cards of %1</translation>
    </message>
    <message>
        <source>Alle Karten des Interfaces</source>
        <translation>All cards of the interface</translation>
    </message>
    <message>
        <source>Alle Karten des Modells</source>
        <translation>All cards of the model</translation>
    </message>
    <message>
        <source> Sicherungsdatei </source>
        <translation> Backup file </translation>
    </message>
    <message>
        <source>Sicherungsdatei</source>
        <translation>Backup file</translation>
    </message>
    <message>
        <source>Sicherungsdatei wählen</source>
        <translation>Choose backup file</translation>
    </message>
    <message>
        <source> Vergleichen mit </source>
        <translation> Compare with </translation>
    </message>
    <message>
        <source>Vergleichen mit</source>
        <translation>Compare with</translation>
    </message>
    <message>
        <source>der Sicherungsdatei</source>
        <translation>the backup file</translation>
    </message>
    <message>
        <source>Mit der Sicherungsdatei vergleichen</source>
        <translation>Compare with the backup file</translation>
    </message>
    <message>
        <source>dem Stand im Programm (wie die Kartenfenster ihn zeigen)</source>
        <translation>the state in the program (as the card windows show it)</translation>
    </message>
    <message>
        <source>Mit dem Stand im Programm vergleichen</source>
        <translation>Compare with the state in the program</translation>
    </message>
    <message>
        <source>Abschnitt für die Karte:</source>
        <translation>Section for the card:</translation>
    </message>
    <message>
        <source>Abschnitt</source>
        <translation>Section</translation>
    </message>
    <message>
        <source>Abschnitt für die Karte</source>
        <translation>Section for the card</translation>
    </message>
    <message>
        <source>Schaltflächen</source>
        <translation>Buttons</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>(gelesen %1)</source>
        <translation>(read %1)</translation>
    </message>
    <message>
        <source>Karten-Sicherung (*.ini);;Alle Dateien (*)</source>
        <translation>Card backup (*.ini);;All files (*)</translation>
    </message>
</context>
<context>
    <name>TfrmConfigTable</name>
    <message>
        <source>Konfiguration der Karten</source>
        <translation>Configuration of the cards</translation>
    </message>
    <message>
        <source>Karten und Einstellungen</source>
        <translation>Cards and settings</translation>
    </message>
    <message>
        <source>Zusammenfassung</source>
        <translation>Summary</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Verglichen mit dem Stand im Programm</source>
        <translation>Compared with the state in the program</translation>
    </message>
    <message>
        <source>Sicherungsdatei: %1</source>
        <translation>Backup file: %1</translation>
    </message>
    <message>
        <source>Karte</source>
        <translation>Card</translation>
    </message>
    <message>
        <source>Einstellung</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>im Programm</source>
        <translation>in the program</translation>
    </message>
    <message>
        <source>in der Datei</source>
        <translation>in the file</translation>
    </message>
    <message>
        <source>auf der Karte</source>
        <translation>on the card</translation>
    </message>
</context>
<context>
    <name>TfrmDummy</name>
    <message>
        <source>Dummy Slave</source>
        <translation>Dummy Slave</translation>
    </message>
</context>
<context>
    <name>TfrmHDX01</name>
    <message>
        <source>Gruppe</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Alle Regler gemeinsam als Gruppe</source>
        <translation>All throttles together as a group</translation>
    </message>
    <message>
        <source>Sensoren (1..8): </source>
        <translation>Sensors (1..8): </translation>
    </message>
    <message>
        <source>GBM (Gleis Besetzt Melder)</source>
        <translation>GBM (track occupancy detector)</translation>
    </message>
    <message>
        <source> Zuordnung LS-FR </source>
        <translation> Assignment LS-FR </translation>
    </message>
    <message>
        <source>1. Fahrregler</source>
        <translation>Throttle 1</translation>
    </message>
    <message>
        <source>2. Fahrregler</source>
        <translation>Throttle 2</translation>
    </message>
    <message>
        <source>3. Fahrregler</source>
        <translation>Throttle 3</translation>
    </message>
    <message>
        <source>4. Fahrregler</source>
        <translation>Throttle 4</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>Load File</translation>
    </message>
    <message>
        <source>Save File</source>
        <translation>Save File</translation>
    </message>
    <message>
        <source>Load EEPROM</source>
        <translation>Load EEPROM</translation>
    </message>
    <message>
        <source>SaveEEPROM</source>
        <translation>SaveEEPROM</translation>
    </message>
    <message>
        <source>Datei %1 kann nicht gelesen werden: %2</source>
        <translation>File %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>Can not Open File: %1</source>
        <translation>Can not Open File: %1</translation>
    </message>
    <message>
        <source>Can not Open File: %1: %2</source>
        <translation>Can not Open File: %1: %2</translation>
    </message>
    <message>
        <source>Sensor %1</source>
        <translation>Sensor %1</translation>
    </message>
</context>
<context>
    <name>TfrmHilfe</name>
    <message>
        <source>KavorConfig - Hilfe</source>
        <translation>KavorConfig - Help</translation>
    </message>
    <message>
        <source>Hilfe</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Anleitung</source>
        <translation>Guide</translation>
    </message>
    <message>
        <source>die Anleitung ist nicht eingebaut</source>
        <translation>the guide is not built in</translation>
    </message>
    <message>
        <source>Schließen</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>TfrmIFC485</name>
    <message>
        <source>Direkt</source>
        <translation>Direct</translation>
    </message>
</context>
<context>
    <name>TfrmMXB01</name>
    <message>
        <source>Direkt</source>
        <translation>Direct</translation>
    </message>
    <message>
        <source>Impuls</source>
        <translation>Pulse</translation>
    </message>
    <message>
        <source>Impulsdauer (msec) </source>
        <translation>Pulse length (msec) </translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Impulsdauer %1 ist nicht erlaubt: erlaubt sind 0 bis %2 msec.</source>
        <translation>Pulse length %1 is not allowed: 0 to %2 msec are allowed.</translation>
    </message>
</context>
<context>
    <name>TfrmMXB02</name>
    <message>
        <source>Aktiv </source>
        <translation>Active </translation>
    </message>
    <message>
        <source>Direkt</source>
        <translation>Direct</translation>
    </message>
    <message>
        <source>Impuls</source>
        <translation>Pulse</translation>
    </message>
    <message>
        <source>Laden AVR</source>
        <translation>Load AVR</translation>
    </message>
    <message>
        <source>Speichern AVR</source>
        <translation>Save AVR</translation>
    </message>
    <message>
        <source>Restore AVR</source>
        <translation>Restore AVR</translation>
    </message>
    <message>
        <source>Ports</source>
        <translation>Ports</translation>
    </message>
</context>
<context>
    <name>TfrmModulBase</name>
    <message>
        <source>Adresse: </source>
        <translation>Address: </translation>
    </message>
    <message>
        <source>Aktiv</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Polling </source>
        <translation>Polling </translation>
    </message>
    <message>
        <source>Aktion</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Einstellung</source>
        <translation>Setting</translation>
    </message>
</context>
<context>
    <name>TfrmVelmoraConfig</name>
    <message>
        <source>Herunterfahren ................</source>
        <translation>Shutting down ................</translation>
    </message>
    <message>
        <source>Erstellt mit Qt %1</source>
        <translation>Built with Qt %1</translation>
    </message>
    <message>
        <source>, läuft mit Qt %1</source>
        <translation>, running with Qt %1</translation>
    </message>
    <message>
        <source>KavorConfig - Konfiguration und Test des Velmora RS485-Modulbusses</source>
        <translation>KavorConfig - configuration and test of the Velmora RS485 module bus</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Modell laden nicht möglich: eine Modulsuche oder Adressänderung läuft noch. </source>
        <translation>Cannot load the model: a module search or address change is still running. </translation>
    </message>
    <message>
        <source>kein Dateiname angegeben, nichts gespeichert</source>
        <translation>no file name given, nothing saved</translation>
    </message>
    <message>
        <source>Nicht gespeichert: die Datei wurde nur teilweise geladen.</source>
        <translation>Not saved: the file was loaded only in part.</translation>
    </message>
    <message>
        <source>Die Datei %1 gibt es schon. Das Modell darin ersetzen?</source>
        <translation>The file %1 already exists. Replace the model in it?</translation>
    </message>
    <message>
        <source>Modell öffnen</source>
        <translation>Open model</translation>
    </message>
    <message>
        <source>Layoutfiles (*.ini);;Alle Files (*.*)</source>
        <translation>Layout files (*.ini);;All files (*.*)</translation>
    </message>
    <message>
        <source>Modell speichern</source>
        <translation>Save model</translation>
    </message>
    <message>
        <source>Änderungen am Modell speichern?</source>
        <translation>Save the changes to the model?</translation>
    </message>
    <message>
        <source>Die Datei wurde nur teilweise geladen. Beim Speichern gehen die nicht geladenen Teile verloren. Trotzdem speichern?</source>
        <translation>The file was loaded only in part. Saving loses the parts that were not loaded. Save anyway?</translation>
    </message>
    <message>
        <source>Öffnen</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Speichern</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Beenden</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Modul Eigenschaften</source>
        <translation>Module properties</translation>
    </message>
    <message>
        <source>Module suchen</source>
        <translation>Search modules</translation>
    </message>
    <message>
        <source>Modul Entfernen</source>
        <translation>Remove module</translation>
    </message>
    <message>
        <source>(Modul hinzufügen)</source>
        <translation>(Add module)</translation>
    </message>
    <message>
        <source>Hilfe</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Über...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Konfiguration sichern…</source>
        <translation>Back up configuration…</translation>
    </message>
    <message>
        <source>Konfiguration vergleichen…</source>
        <translation>Compare configuration…</translation>
    </message>
    <message>
        <source>Konfiguration wiederherstellen…</source>
        <translation>Restore configuration…</translation>
    </message>
    <message>
        <source>Datei</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Module</source>
        <translation>Modules</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Modell Öffnen</source>
        <translation>Open model</translation>
    </message>
    <message>
        <source>Modell Speichern</source>
        <translation>Save model</translation>
    </message>
    <message>
        <source>Neues Interface</source>
        <translation>New interface</translation>
    </message>
    <message>
        <source>Module zum Interrface ermitteln</source>
        <translation>Find the modules of the interface</translation>
    </message>
    <message>
        <source>Interrface/Modul entfernen</source>
        <translation>Remove interface/module</translation>
    </message>
    <message>
        <source>(Test, Add div. Module)</source>
        <translation>(Test, add various modules)</translation>
    </message>
    <message>
        <source>Modul Adresse ändern</source>
        <translation>Change module address</translation>
    </message>
    <message>
        <source>Modell: </source>
        <translation>Model: </translation>
    </message>
    <message>
        <source>Beschr.: </source>
        <translation>Descr.: </translation>
    </message>
    <message>
        <source>IFC/Modul</source>
        <translation>IFC/Module</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Adr.</source>
        <translation>Addr.</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Bezeichnung</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Hinweis</source>
        <translation>Note</translation>
    </message>
    <message>
        <source> Interface </source>
        <translation> Interface </translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>verfügbar</source>
        <translation>available</translation>
    </message>
    <message>
        <source>COM</source>
        <translation>COM</translation>
    </message>
    <message>
        <source>Baud</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>Time Out</source>
        <translation>Time Out</translation>
    </message>
    <message>
        <source>Poll. Priority</source>
        <translation>Poll. Priority</translation>
    </message>
    <message>
        <source> Test </source>
        <translation> Test </translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>mal</source>
        <translation>times</translation>
    </message>
    <message>
        <source>kein Serielles Port vorhanden!</source>
        <translation>no serial port present!</translation>
    </message>
    <message>
        <source>Ja</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Nein</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Suche Module.......</source>
        <translation>Searching modules.......</translation>
    </message>
    <message>
        <source>Zum Ändern der Moduladresse muß das Interface und das Modul aktiviert sein.</source>
        <translation>To change the module address, the interface and the module must be active.</translation>
    </message>
    <message>
        <source>Moduladresse ändern</source>
        <translation>Change module address</translation>
    </message>
    <message>
        <source>Moduladresse = %1 neue ModulAdresse:</source>
        <translation>Module address = %1 new module address:</translation>
    </message>
    <message>
        <source>Neues Modul</source>
        <translation>New module</translation>
    </message>
    <message>
        <source>ClassName,Adresse (THDX01,TMXB01,TMXB02,TIFCPorts,TDummy)</source>
        <translation>ClassName,address (THDX01,TMXB01,TMXB02,TIFCPorts,TDummy)</translation>
    </message>
    <message>
        <source>Busmonitor…</source>
        <translation>Bus monitor…</translation>
    </message>
    <message>
        <source>Busmonitor</source>
        <translation>Bus monitor</translation>
    </message>
    <message>
        <source>Antw. ms</source>
        <translation>Answ. ms</translation>
    </message>
    <message>
        <source>Fehler</source>
        <translation>error</translation>
    </message>
    <message>
        <source>zuletzt</source>
        <translation>last</translation>
    </message>
    <message>
        <source>Antwortzeit in ms: Mittelwert/95-%-Wert</source>
        <translation>Answer time in ms: mean/95th percentile</translation>
    </message>
    <message>
        <source>TimeOuts, unlesbare und fremde Antworten</source>
        <translation>TimeOuts, unreadable and foreign answers</translation>
    </message>
    <message>
        <source>Zeit seit der letzten Antwort</source>
        <translation>Time since the last answer</translation>
    </message>
    <message>
        <source>Modul antwortet nicht mehr</source>
        <translation>Module no longer answers</translation>
    </message>
    <message>
        <source>Fehler in der letzten Minute (TimeOut, unlesbare oder fremde Antwort)</source>
        <translation>Errors in the last minute (TimeOut, unreadable or foreign answer)</translation>
    </message>
    <message>
        <source>Schnellsuche</source>
        <translation>Quick search</translation>
    </message>
    <message>
        <source>Fortschritt der Modulsuche</source>
        <translation>Progress of the module search</translation>
    </message>
    <message>
        <source>Modulsuche abbrechen</source>
        <translation>Cancel the module search</translation>
    </message>
    <message>
        <source>getrennt, warte auf Gerät</source>
        <translation>disconnected, waiting for the device</translation>
    </message>
    <message>
        <source>Modulsuche IFC(%1) abgebrochen, keine Module übernommen. </source>
        <translation>Module search IFC(%1) cancelled, no modules taken over. </translation>
    </message>
    <message>
        <source>Interfaces und Module</source>
        <translation>Interfaces and modules</translation>
    </message>
    <message>
        <source>Wiederholungen</source>
        <translation>Repetitions</translation>
    </message>
    <message>
        <source>Testzeile</source>
        <translation>Test line</translation>
    </message>
    <message>
        <source>Protokoll</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Busverkehr</source>
        <translation>Bus traffic</translation>
    </message>
    <message>
        <source>Protokoll und Busverkehr leeren</source>
        <translation>Clear log and bus traffic</translation>
    </message>
</context>
<context>
    <name>kavorconfig</name>
    <message>
        <source>Simulierter Bus (5 Karten)</source>
        <translation>Simulated bus (5 cards)</translation>
    </message>
</context>
</TS>
