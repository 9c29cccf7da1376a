<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AboutBox</name>
    <message>
        <location filename="../src/ui/main/about_box.cpp" line="+20"/>
        <source>About Kestrium</source>
        <translation>Über Kestrium</translation>
    </message>
    <message>
        <location filename="../src/ui/main/about_box.h" line="+11"/>
        <source>Kestrium Version 1.06 (023)</source>
        <translation>Kestrium Version 1.06 (023)</translation>
    </message>
</context>
<context>
    <name>AddressBookPage</name>
    <message>
        <location filename="../src/ui/setup/address_book_page.cpp" line="+29"/>
        <source>The contacts are kept in step with this CardDAV address book (shared with colleagues) at start-up and every few minutes; changes made while the server cannot be reached are sent later. The server&apos;s address, the user&apos;s principal or the address book itself will do. Leave the address empty for no shared address book.</source>
        <translation>Die Kontakte werden beim Start und alle paar Minuten mit diesem CardDAV-Adressbuch (das Sie mit Kollegen teilen) abgeglichen; Änderungen, die gemacht werden, während der Server nicht erreichbar ist, werden später gesendet. Die Adresse des Servers, das Prinzipal des Benutzers oder das Adressbuch selbst genügen. Lassen Sie die Adresse leer, um kein gemeinsames Adressbuch zu verwenden.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Server &amp;URL:</source>
        <translation>Server-&amp;URL:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;User:</source>
        <translation>&amp;Benutzer:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>The address book was not changed: &quot;%1&quot; is no http:// or https:// address.</source>
        <translation>Das Adressbuch wurde nicht geändert: „%1“ ist keine http://- oder https://-Adresse.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>The address book password could not be kept: %1.</source>
        <translation>Das Passwort des Adressbuchs konnte nicht gespeichert werden: %1.</translation>
    </message>
</context>
<context>
    <name>AddressBookSync</name>
    <message>
        <location filename="../src/links/address_book_sync.cpp" line="+209"/>
        <source>No address book found at %1: %2</source>
        <translation>Kein Adressbuch unter %1 gefunden: %2</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+32"/>
        <source>The address book could not be read: %1</source>
        <translation>Das Adressbuch konnte nicht gelesen werden: %1</translation>
    </message>
    <message>
        <location line="+71"/>
        <source>&quot;%1&quot; was removed on the server and changed here: it is kept and sent again.</source>
        <translation>„%1“ wurde auf dem Server gelöscht und hier geändert: Der Kontakt bleibt erhalten und wird erneut gesendet.</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>&quot;%1&quot; was changed on the server and here: both versions are kept.</source>
        <translation>„%1“ wurde auf dem Server und hier geändert: Beide Fassungen bleiben erhalten.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>&quot;%1&quot; was removed here but changed on the server: it is kept.</source>
        <translation>„%1“ wurde hier gelöscht, aber auf dem Server geändert: Der Kontakt bleibt erhalten.</translation>
    </message>
    <message>
        <location line="+57"/>
        <source>The card %1 on the server could not be read.</source>
        <translation>Die Karte %1 auf dem Server konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>A card could not be removed from the server: %1</source>
        <translation>Eine Karte konnte nicht vom Server gelöscht werden: %1</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>A card could not be read from the server: %1</source>
        <translation>Eine Karte konnte nicht vom Server gelesen werden: %1</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>&quot;%1&quot; could not be sent: %2</source>
        <translation>„%1“ konnte nicht gesendet werden: %2</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>1 change waiting</source>
        <translation>1 Änderung wartet</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 changes waiting</source>
        <translation>%1 Änderungen warten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Address book offline</source>
        <translation>Adressbuch nicht erreichbar</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Address book offline: %1</source>
        <translation>Adressbuch nicht erreichbar: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Address book synchronised: %1 received, %2 sent</source>
        <translation>Adressbuch abgeglichen: %1 empfangen, %2 gesendet</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>1 conflict kept both ways</source>
        <translation>1 Konflikt, beide Fassungen behalten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 conflicts kept both ways</source>
        <translation>%1 Konflikte, beide Fassungen behalten</translation>
    </message>
    <message>
        <location line="+189"/>
        <source>The contacts could not be saved in %1.</source>
        <translation>Die Kontakte konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <location filename="../src/app/application.cpp" line="+59"/>
        <source>Kestrium could not read all of &quot;%1&quot;. What it could read is loaded; the whole file was kept as:
%2</source>
        <translation>Kestrium konnte „%1“ nicht vollständig lesen. Was lesbar war, ist geladen; die ganze Datei wurde aufbewahrt als:
%2</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Kestrium did not read these data files, as they are not regular files (a pipe, a device or a folder); it neither reads nor replaces them, so their data is not kept until they are moved away:</source>
        <translation>Kestrium hat diese Datendateien nicht gelesen, da sie keine gewöhnlichen Dateien sind (eine Pipe, ein Gerät oder ein Ordner); es liest und ersetzt sie nicht, daher werden ihre Daten erst gespeichert, wenn sie entfernt wurden:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Kestrium could not read its settings file and started with the default settings. The unreadable file was kept as:
%1</source>
        <translation>Kestrium konnte seine Einstellungsdatei nicht lesen und wurde mit den Standardeinstellungen gestartet. Die unlesbare Datei wurde aufbewahrt als:
%1</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>

Kestrium runs with the settings it could read; settings changed now are not kept.</source>
        <translation>

Kestrium läuft mit den Einstellungen, die es lesen konnte; jetzt geänderte Einstellungen werden nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>AudioFormatBox</name>
    <message>
        <location filename="../src/ui/setup/audio_format_box.cpp" line="+21"/>
        <source>Audio format:</source>
        <translation>Audioformat:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Compress recorded audio to save disk space</source>
        <translation>Aufnahmen komprimieren, um Speicherplatz zu sparen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Audio format</source>
        <translation>Audioformat</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Select...</source>
        <translation>Auswählen...</translation>
    </message>
</context>
<context>
    <name>CallDetailsDialog</name>
    <message>
        <location filename="../src/ui/panels/call_details_dialog.cpp" line="+29"/>
        <location line="+41"/>
        <source>Outgoing call to:</source>
        <translation>Ausgehender Anruf an:</translation>
    </message>
    <message>
        <location line="-18"/>
        <source>Call details:</source>
        <translation>Anrufdetails:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Missed call from:</source>
        <translation>Verpasster Anruf von:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Incoming call from:</source>
        <translation>Eingehender Anruf von:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Conference call with:</source>
        <translation>Konferenz mit:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Voicemail from:</source>
        <translation>Sprachnachricht von:</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>On:</source>
        <translation>Am:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Time:</source>
        <translation>Uhrzeit:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Len:</source>
        <translation>Dauer:</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Notes:</source>
        <translation>Notizen:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Call</source>
        <translation>Anrufen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Save...</source>
        <translation>Speichern...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <location line="+74"/>
        <source>The note could not be stored: no new file could be made in &quot;%1&quot;.</source>
        <translation>Die Notiz konnte nicht gespeichert werden: In „%1“ konnte keine neue Datei angelegt werden.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The note could not be written to &quot;%1&quot;.</source>
        <translation>Die Notiz konnte nicht in „%1“ geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>CallLogContext</name>
    <message>
        <location filename="../src/ui/panels/call_log_context.cpp" line="+24"/>
        <source>The call log could not be saved to &quot;%1&quot;. Your changes are kept while Kestrium runs; it tries again at the next change.</source>
        <translation>Die Anrufliste konnte nicht in „%1“ gespeichert werden. Ihre Änderungen bleiben erhalten, solange Kestrium läuft; bei der nächsten Änderung wird es erneut versucht.</translation>
    </message>
</context>
<context>
    <name>CallLogModel</name>
    <message>
        <location filename="../src/ui/panels/call_log_model.cpp" line="+76"/>
        <source>Name/Number</source>
        <translation>Name/Nummer</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Time</source>
        <translation>Uhrzeit</translation>
    </message>
</context>
<context>
    <name>CallLogPanel</name>
    <message>
        <location filename="../src/ui/panels/call_log_panel.cpp" line="+30"/>
        <source>Delete entry</source>
        <translation>Eintrag löschen</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Outgoing</source>
        <translation>Ausgehend</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Missed</source>
        <translation>Verpasst</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Voicemail</source>
        <translation>Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unread Voicemail</source>
        <translation>Ungelesene Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unread voicemail</source>
        <translation>Ungelesene Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Deleted</source>
        <translation>Gelöscht</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>Choose the calls to show</source>
        <translation>Anzuzeigende Anrufe wählen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Calls shown</source>
        <translation>Angezeigte Anrufe</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Voice messages</source>
        <translation>Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+195"/>
        <source>Are you sure ?</source>
        <translation>Sind Sie sicher?</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Are you sure you want to delete permanently ?</source>
        <translation>Wirklich endgültig löschen?</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>&amp;Restore</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delete &amp;permanently</source>
        <translation>&amp;Endgültig löschen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Call</source>
        <translation>&amp;Anrufen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>De&amp;tails...</source>
        <translation>&amp;Details...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Save to contact...</source>
        <translation>Als &amp;Kontakt speichern...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <location line="-256"/>
        <location line="+245"/>
        <source>Calls</source>
        <translation>Anrufe</translation>
    </message>
</context>
<context>
    <name>CallRecording</name>
    <message>
        <location filename="../src/recording/call_recording.cpp" line="+59"/>
        <source>Kestrium could not write a recording: the disk may be full, or its folder is gone. The recording was stopped; what was recorded until then is kept in:
%1</source>
        <translation>Kestrium konnte eine Aufnahme nicht schreiben: Der Datenträger ist vielleicht voll, oder ihr Ordner existiert nicht mehr. Die Aufnahme wurde beendet; was bis dahin aufgenommen wurde, ist gespeichert in:
%1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Kestrium could not write a recording: the disk may be full, or its folder is gone. The call is not recorded. The folder is:
%1</source>
        <translation>Kestrium konnte eine Aufnahme nicht schreiben: Der Datenträger ist vielleicht voll, oder ihr Ordner existiert nicht mehr. Der Anruf wird nicht aufgenommen. Der Ordner ist:
%1</translation>
    </message>
</context>
<context>
    <name>CallRecordingPage</name>
    <message>
        <location filename="../src/ui/setup/call_recording_page.cpp" line="+15"/>
        <source>Select folder for call recordings:</source>
        <translation>Ordner für Anrufaufnahmen wählen:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Calls recordings folder:</source>
        <translation>Ordner für &amp;Anrufaufnahmen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;General recordings folder:</source>
        <translation>Ordner für &amp;sonstige Aufnahmen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Record calls &amp;automatically</source>
        <translation>Anrufe a&amp;utomatisch aufnehmen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>play &amp;warning tone to other party</source>
        <translation>&amp;Warnton für die Gegenseite abspielen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;beep tone</source>
        <translation>&amp;Piepton</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>tone from this sound file:</source>
        <translation>Ton aus dieser Audiodatei:</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>Select folder for general recordings:</source>
        <translation>Ordner für sonstige Aufnahmen wählen:</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Operation:</source>
        <translation>Bedienung:</translation>
    </message>
</context>
<context>
    <name>CallText</name>
    <message>
        <location filename="../src/telephony/call_description.cpp" line="+39"/>
        <source> (Terminated)</source>
        <translation> (Beendet)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Rejected)</source>
        <translation> (Abgewiesen)</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+47"/>
        <source> (Busy)</source>
        <translation> (Besetzt)</translation>
    </message>
    <message>
        <location line="-45"/>
        <source> (No-Answer)</source>
        <translation> (Keine Antwort)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Bad address)</source>
        <translation> (Ungültige Adresse)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (No-Dialtone)</source>
        <translation> (Kein Wählton)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Canceled)</source>
        <translation> (Abgebrochen)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Disconnected)</source>
        <translation> (Getrennt)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source> (Voicemail paused)</source>
        <translation> (Sprachnachricht angehalten)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (Voicemail)</source>
        <translation> (Sprachnachricht)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> (Recording paused)</source>
        <translation> (Aufnahme angehalten)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (Recording)</source>
        <translation> (Aufnahme)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source> (Conference)</source>
        <translation> (Konferenz)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Fax)</source>
        <translation> (Fax)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> (Connected)</source>
        <translation> (Verbunden)</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../src/telephony/line_slot.cpp" line="+510"/>
        <source> (Idle)</source>
        <translation> (Frei)</translation>
    </message>
    <message>
        <location line="+2"/>
        <location filename="../src/telephony/incoming_calls.cpp" line="+18"/>
        <source> (Incoming)</source>
        <translation> (Eingehend)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Accepted)</source>
        <translation> (Angenommen)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Dialtone)</source>
        <translation> (Wählton)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Dialing...)</source>
        <translation> (Wählt...)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Ringing...)</source>
        <translation> (Klingelt...)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source> (Proceeding...)</source>
        <translation> (Verbindungsaufbau...)</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+4"/>
        <source> (On-Hold) </source>
        <translation> (Gehalten) </translation>
    </message>
    <message>
        <location line="+2"/>
        <source> (Conferenced)</source>
        <translation> (In Konferenz)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source> (Unknown)</source>
        <translation> (Unbekannt)</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>[Blocked]</source>
        <translation>[Unterdrückt]</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>[Out Of Area]</source>
        <translation>[Nicht verfügbar]</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>bad address</source>
        <translation>ungültige Adresse</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unreachable</source>
        <translation>nicht erreichbar</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>network congestion</source>
        <translation>Netz überlastet</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>incompatible</source>
        <translation>inkompatibel</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unavailable</source>
        <translation>nicht verfügbar</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no dial tone</source>
        <translation>kein Wählton</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>number changed</source>
        <translation>Nummer geändert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>out of order</source>
        <translation>außer Betrieb</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>canceled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unknown reason</source>
        <translation>unbekannter Grund</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>transferred to %1</source>
        <translation>übergeben an %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>, transferred to %1</source>
        <translation>, übergeben an %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>[No data]</source>
        <translation>[Keine Daten]</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Busy</source>
        <translation>Besetzt</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>No answer</source>
        <translation>Keine Antwort</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Refused</source>
        <translation>Abgewiesen</translation>
    </message>
    <message>
        <location line="+3"/>
        <location filename="../src/telephony/line_slot.cpp" line="+91"/>
        <source>Call failed: %1</source>
        <translation>Anruf fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location filename="../src/telephony/line_slot.cpp" line="-504"/>
        <source>another phone off-hook</source>
        <translation>ein anderes Telefon ist abgehoben</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>phone line not connected</source>
        <translation>Telefonleitung nicht angeschlossen</translation>
    </message>
</context>
<context>
    <name>CardDavClient</name>
    <message>
        <location filename="../src/links/carddav_client.cpp" line="+109"/>
        <source>the server cannot be reached (%1)</source>
        <translation>der Server ist nicht erreichbar (%1)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the server refused the user name or password (%1 %2)</source>
        <translation>der Server hat Benutzername oder Passwort abgelehnt (%1 %2)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the server answered %1 %2</source>
        <translation>der Server antwortete %1 %2</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>the user&apos;s address-book home holds no address book</source>
        <translation>das Adressbuch-Verzeichnis des Benutzers enthält kein Adressbuch</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>&quot;%1&quot; is no http or https address</source>
        <translation>„%1“ ist keine http- oder https-Adresse</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>no address book was found there</source>
        <translation>dort wurde kein Adressbuch gefunden</translation>
    </message>
</context>
<context>
    <name>ContactDialog</name>
    <message>
        <location filename="../src/ui/panels/contact_dialog.cpp" line="+45"/>
        <source>Contact:</source>
        <translation>Kontakt:</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Group:</source>
        <translation>Gruppe:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Name:</source>
        <translation>Vorname:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Middle:</source>
        <translation>Zweiter Vorname:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Last:</source>
        <translation>Nachname:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Company:</source>
        <translation>Firma:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add to speed-dial...</source>
        <translation>Zur Kurzwahl hinzufügen...</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Numbers:</source>
        <translation>Nummern:</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>Street:</source>
        <translation>Straße:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>City:</source>
        <translation>Ort:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>State:</source>
        <translation>Bundesland:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>ZIP:</source>
        <translation>PLZ:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Country:</source>
        <translation>Land:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Note:</source>
        <translation>Notiz:</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>Record has no name, title or company.</source>
        <translation>Der Eintrag hat weder Name noch Titel noch Firma.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Please select a default phone field.</source>
        <translation>Bitte wählen Sie ein Standard-Telefonfeld.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Selected default phone field can not be empty.</source>
        <translation>Das gewählte Standard-Telefonfeld darf nicht leer sein.</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>Record added to speed-dial</source>
        <translation>Eintrag zur Kurzwahl hinzugefügt</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Add to speed-dial %1</source>
        <translation>Zur Kurzwahl %1 hinzufügen</translation>
    </message>
</context>
<context>
    <name>ContactExchange</name>
    <message>
        <location filename="../src/store/contact_exchange.cpp" line="+42"/>
        <source>Card %1 (line %2)</source>
        <translation>Karte %1 (Zeile %2)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Card %1 &quot;%2&quot; (line %3)</source>
        <translation>Karte %1 „%2“ (Zeile %3)</translation>
    </message>
    <message>
        <location line="+73"/>
        <source>the card is broken (BEGIN:VCARD or END:VCARD is missing); it was not imported.</source>
        <translation>die Karte ist beschädigt (BEGIN:VCARD oder END:VCARD fehlt); sie wurde nicht importiert.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>the card has no name and no number; it was not imported.</source>
        <translation>die Karte hat weder Namen noch Nummer; sie wurde nicht importiert.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>a text longer than its contact field holds was shortened.</source>
        <translation>ein Text, der länger war als sein Kontaktfeld, wurde gekürzt.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 number with control characters was left out.</source>
        <translation>%1 Nummer mit Steuerzeichen wurde ausgelassen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 numbers with control characters were left out.</source>
        <translation>%1 Nummern mit Steuerzeichen wurden ausgelassen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>only the first 10 of its %1 numbers were imported (a contact holds 10).</source>
        <translation>nur die ersten 10 ihrer %1 Nummern wurden importiert (ein Kontakt fasst 10).</translation>
    </message>
    <message>
        <location line="+73"/>
        <source>%1 new number did not fit into the contact &quot;%2&quot;, which holds 10 at most.</source>
        <translation>%1 neue Nummer passte nicht mehr in den Kontakt „%2“, der höchstens 10 fasst.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 new numbers did not fit into the contact &quot;%2&quot;, which holds 10 at most.</source>
        <translation>%1 neue Nummern passten nicht mehr in den Kontakt „%2“, der höchstens 10 fasst.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>the group &quot;%1&quot; could not be created (there can be %2 groups at most); its contacts went to &quot;Unfiled&quot;.</source>
        <translation>die Gruppe „%1“ konnte nicht angelegt werden (es gibt höchstens %2 Gruppen); ihre Kontakte kamen nach „Unfiled“.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>The contact list is full (%1 contacts): %2 card was not imported.</source>
        <translation>Die Kontaktliste ist voll (%1 Kontakte): %2 Karte wurde nicht importiert.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The contact list is full (%1 contacts): %2 cards were not imported.</source>
        <translation>Die Kontaktliste ist voll (%1 Kontakte): %2 Karten wurden nicht importiert.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 read: %2 added, %3 merged into existing contacts, %4 already present, %5 not imported.</source>
        <translation>%1 gelesen: %2 hinzugefügt, %3 mit vorhandenen Kontakten zusammengeführt, %4 schon vorhanden, %5 nicht importiert.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 card</source>
        <translation>%1 Karte</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 cards</source>
        <translation>%1 Karten</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+83"/>
        <source>%1 contact</source>
        <translation>%1 Kontakt</translation>
    </message>
    <message>
        <location line="-82"/>
        <location line="+83"/>
        <source>%1 contacts</source>
        <translation>%1 Kontakte</translation>
    </message>
    <message>
        <location line="-55"/>
        <source>The file holds no contact cards (BEGIN:VCARD ... END:VCARD).</source>
        <translation>Die Datei enthält keine Kontaktkarten (BEGIN:VCARD ... END:VCARD).</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>The file &quot;%1&quot; does not exist.</source>
        <translation>Die Datei „%1“ existiert nicht.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The file &quot;%1&quot; could not be read: %2.</source>
        <translation>Die Datei „%1“ konnte nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Import from &quot;%1&quot;: %2</source>
        <translation>Import aus „%1“: %2</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>The file &quot;%1&quot; could not be written.</source>
        <translation>Die Datei „%1“ konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The file &quot;%1&quot; could not be written: %2.</source>
        <translation>Die Datei „%1“ konnte nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 exported to &quot;%2&quot;.</source>
        <translation>%1 nach „%2“ exportiert.</translation>
    </message>
    <message>
        <location filename="../src/store/data_folder.cpp" line="+103"/>
        <source>The contacts could not be saved in %1.</source>
        <translation>Die Kontakte konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>ContactTreeModel</name>
    <message>
        <location filename="../src/ui/panels/contact_tree_model.h" line="+27"/>
        <source>(double-click here to add a new contact...)</source>
        <translation>(hier doppelklicken, um einen neuen Kontakt anzulegen...)</translation>
    </message>
</context>
<context>
    <name>ContactsPanel</name>
    <message>
        <source>&amp;Pick up</source>
        <translation>&amp;Heranholen</translation>
    </message>
    <message>
        <location filename="../src/ui/panels/contacts_panel.cpp" line="+30"/>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+1"/>
        <source>Groups</source>
        <translation>Gruppen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Choose the group of contacts to show</source>
        <translation>Anzuzeigende Kontaktgruppe wählen</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+81"/>
        <source>Total: %1</source>
        <translation>Gesamt: %1</translation>
    </message>
    <message>
        <location line="-72"/>
        <source>Speed Dial</source>
        <translation>Kurzwahl</translation>
    </message>
    <message>
        <location line="+139"/>
        <source>No phone number to call</source>
        <translation>Keine Telefonnummer zum Anrufen</translation>
    </message>
    <message>
        <location line="+77"/>
        <location line="+59"/>
        <source>Are you sure ?</source>
        <translation>Sind Sie sicher?</translation>
    </message>
    <message>
        <location line="-59"/>
        <source>Delete contact</source>
        <translation>Kontakt löschen</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>Delete entry</source>
        <translation>Eintrag löschen</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Edit groups...</source>
        <translation>Gruppen bearbeiten...</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>&amp;Groups</source>
        <translation>&amp;Gruppen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;New contact...</source>
        <translation>&amp;Neuer Kontakt...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Edit contact...</source>
        <translation>Kontakt &amp;bearbeiten...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Add to &amp;speed-dial</source>
        <translation>Zur &amp;Kurzwahl hinzufügen</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>&amp;Edit entry...</source>
        <translation>Eintrag &amp;bearbeiten...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Clear entry</source>
        <translation>Eintrag &amp;leeren</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>Add to speed-dial %1</source>
        <translation>Zur Kurzwahl %1 hinzufügen</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>Speed dial %1, empty</source>
        <translation>Kurzwahl %1, leer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Speed dial %1: %2</source>
        <translation>Kurzwahl %1: %2</translation>
    </message>
</context>
<context>
    <name>DataFolderLock</name>
    <message>
        <location filename="../src/store/data_folder.cpp" line="-32"/>
        <source>Kestrium is already running with the data folder
%1

Only one Kestrium can use a data folder at a time.</source>
        <translation>Kestrium läuft bereits mit dem Datenordner
%1

Ein Datenordner kann nur von einem Kestrium zugleich verwendet werden.</translation>
    </message>
</context>
<context>
    <name>DesktopNotifications</name>
    <message>
        <location filename="../src/ui/desktop/notifications.cpp" line="+51"/>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
</context>
<context>
    <name>DesktopPresence</name>
    <message>
        <location filename="../src/ui/desktop/desktop_presence.cpp" line="+54"/>
        <source>Show Kestrium</source>
        <translation>Kestrium anzeigen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Kestrium
Missed calls: %1
New voice messages: %2</source>
        <translation>Kestrium
Verpasste Anrufe: %1
Neue Sprachnachrichten: %2</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>New voice message</source>
        <translation>Neue Sprachnachricht</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Missed call</source>
        <translation>Verpasster Anruf</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>From %1</source>
        <translation>Von %1</translation>
    </message>
</context>
<context>
    <name>DialPadPanel</name>
    <message>
        <location filename="../src/ui/panels/dial_pad_panel.cpp" line="+143"/>
        <source>Lines and calls</source>
        <translation>Leitungen und Anrufe</translation>
    </message>
    <message>
        <location line="+49"/>
        <source>Macro %1</source>
        <translation>Makro %1</translation>
    </message>
    <message>
        <location line="+157"/>
        <source>Are you sure ?</source>
        <translation>Sind Sie sicher?</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Clear macro</source>
        <translation>Makro leeren</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>&amp;Edit entry...</source>
        <translation>Eintrag &amp;bearbeiten...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Clear entry</source>
        <translation>Eintrag &amp;leeren</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>&amp;Drop all calls</source>
        <translation>&amp;Alle Anrufe beenden</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>&amp;Answer</source>
        <translation>&amp;Annehmen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Drop call</source>
        <translation>Anruf &amp;beenden</translation>
    </message>
</context>
<context>
    <name>EditEntryDialog</name>
    <message>
        <location filename="../src/ui/panels/edit_entry_dialog.cpp" line="+21"/>
        <source>Edit entry:</source>
        <translation>Eintrag bearbeiten:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Display name:</source>
        <translation>Anzeigename:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Number:</source>
        <translation>Nummer:</translation>
    </message>
</context>
<context>
    <name>EditGroupsDialog</name>
    <message>
        <location filename="../src/ui/panels/edit_groups_dialog.cpp" line="+14"/>
        <source>Edit groups</source>
        <translation>Gruppen bearbeiten</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Edit groups:</source>
        <translation>Gruppen bearbeiten:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Can not change &quot;Unfiled&quot; group name.</source>
        <translation>Der Name der Gruppe „Unfiled“ kann nicht geändert werden.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Can not delete &quot;Unfiled&quot; group.</source>
        <translation>Die Gruppe „Unfiled“ kann nicht gelöscht werden.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Are you sure ?</source>
        <translation>Sind Sie sicher?</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Delete group</source>
        <translation>Gruppe löschen</translation>
    </message>
</context>
<context>
    <name>EnterNameDialog</name>
    <message>
        <location filename="../src/ui/panels/enter_name_dialog.cpp" line="+12"/>
        <source>Enter name:</source>
        <translation>Name eingeben:</translation>
    </message>
</context>
<context>
    <name>FolderField</name>
    <message>
        <location filename="../src/ui/setup/folder_field.cpp" line="+17"/>
        <source>Browse ...</source>
        <translation>Durchsuchen ...</translation>
    </message>
</context>
<context>
    <name>FormatChooserDialog</name>
    <message>
        <location filename="../src/ui/setup/format_chooser_dialog.cpp" line="+19"/>
        <source>Select Audio Format</source>
        <translation>Audioformat auswählen</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Attributes:</source>
        <translation>Attribute:</translation>
    </message>
</context>
<context>
    <name>GeneralPage</name>
    <message>
        <location filename="../src/ui/setup/general_page.cpp" line="+12"/>
        <source>Contacts</source>
        <translation>Kontakte</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Calls/Dialpad</source>
        <translation>Anrufe/Wähltastatur</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Calls Log</source>
        <translation>Anrufliste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Voice Mail</source>
        <translation>Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Last open tab</source>
        <translation>Zuletzt geöffneter Reiter</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Start &amp;in:</source>
        <translation>Starten &amp;in:</translation>
    </message>
</context>
<context>
    <name>IncomingCallDialog</name>
    <message>
        <location filename="../src/ui/telephony_widgets/incoming_call_dialog.cpp" line="+13"/>
        <source>Incoming call:</source>
        <translation>Eingehender Anruf:</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Answer</source>
        <translation>Annehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Send to voicemail</source>
        <translation>An Sprachbox senden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Ignore</source>
        <translation>Ignorieren</translation>
    </message>
</context>
<context>
    <name>IncomingCalls</name>
    <message>
        <location filename="../src/telephony/incoming_calls.cpp" line="+59"/>
        <source>Incoming call on %1</source>
        <translation>Eingehender Anruf auf %1</translation>
    </message>
</context>
<context>
    <name>LineManager</name>
    <message>
        <source>No open SIP line watches colleagues&apos; lines.</source>
        <translation>Keine geöffnete SIP-Leitung beobachtet die Leitungen der Kollegen.</translation>
    </message>
    <message>
        <location filename="../src/telephony/line_manager.cpp" line="+33"/>
        <source>Drop call</source>
        <translation>Anruf beenden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Answer</source>
        <translation>Annehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Record call</source>
        <translation>Anruf aufnehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Pause recording</source>
        <translation>Aufnahme anhalten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Add note to call</source>
        <translation>Notiz zum Anruf hinzufügen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Hold / take back</source>
        <translation>Halten / zurückholen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Transfer</source>
        <translation>Übergeben</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Conference</source>
        <translation>Konferenz</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Transfer after consulting</source>
        <translation>Nach Rückfrage übergeben</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknown action</source>
        <translation>Unbekannte Aktion</translation>
    </message>
    <message>
        <location line="+266"/>
        <source>Kestrium could not load its telephony service, so no telephone line can be used.

It looked for &quot;%1&quot; beside the program and on the system&apos;s library path:
%2</source>
        <translation>Kestrium konnte seinen Telefoniedienst nicht laden, daher kann keine Telefonleitung verwendet werden.

Gesucht wurde „%1“ neben dem Programm und im Bibliothekspfad des Systems:
%2</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>No lines: the telephony service (%1) could not be loaded</source>
        <translation>Keine Leitungen: Der Telefoniedienst (%1) konnte nicht geladen werden</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The telephony service could not be started, so no telephone line can be used.</source>
        <translation>Der Telefoniedienst konnte nicht gestartet werden, daher kann keine Telefonleitung verwendet werden.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No lines: the telephony service could not be started</source>
        <translation>Keine Leitungen: Der Telefoniedienst konnte nicht gestartet werden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No telephone line could be opened. The telephony service offers %1 line devices; choose Kestrium&apos;s lines on the Telephony page of Setup.</source>
        <translation>Es konnte keine Telefonleitung geöffnet werden. Der Telefoniedienst bietet %1 Leitungsgeräte an; wählen Sie die Leitungen für Kestrium auf der Seite „Telefonie“ der Einrichtung.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>No telephone line is open</source>
        <translation>Keine Telefonleitung ist geöffnet</translation>
    </message>
    <message>
        <location line="+104"/>
        <source>GetTargetCallForAction: Unknown action</source>
        <translation>GetTargetCallForAction: Unbekannte Aktion</translation>
    </message>
    <message>
        <location line="+53"/>
        <source>No call can be transferred now: only a connected call on a line that offers transfer can be.</source>
        <translation>Jetzt kann kein Anruf übergeben werden: nur ein verbundener Anruf auf einer Leitung, die Übergeben anbietet.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Type the number to transfer the call to in the search/dial box, then choose Transfer.</source>
        <translation>Geben Sie die Nummer, an die der Anruf übergeben werden soll, in das Such-/Wählfeld ein und wählen Sie dann Übergeben.</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>The transfer can be completed once the called party&apos;s phone rings or they answer.</source>
        <translation>Die Übergabe kann abgeschlossen werden, sobald das Telefon des Angerufenen klingelt oder er sich meldet.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>No conference can be made now: a conference starts from a connected call on a line that offers conferences, and the party you consulted can join once they answer.</source>
        <translation>Jetzt ist keine Konferenz möglich: Eine Konferenz beginnt mit einem verbundenen Anruf auf einer Leitung, die Konferenzen anbietet, und der Rückfrageteilnehmer kann hinzukommen, sobald er sich meldet.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>The number typed cannot be dialled on this line.</source>
        <translation>Die eingegebene Nummer kann auf dieser Leitung nicht gewählt werden.</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Type the number to transfer the call to in the search/dial box, then choose Transfer after consulting.</source>
        <translation>Geben Sie die Nummer, an die der Anruf übergeben werden soll, in das Such-/Wählfeld ein und wählen Sie dann Nach Rückfrage übergeben.</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Type the number of the party to add in the search/dial box, or hold a call, then choose Conference.</source>
        <translation>Geben Sie die Nummer des hinzuzufügenden Teilnehmers in das Such-/Wählfeld ein oder halten Sie einen Anruf, und wählen Sie dann Konferenz.</translation>
    </message>
</context>
<context>
    <name>LineSlot</name>
    <message>
        <source>The call ringing at %1 could not be picked up: it was answered or ended meanwhile, or the caller&apos;s phone does not hand calls over.</source>
        <translation>Der Anruf, der bei %1 klingelt, konnte nicht herangeholt werden: Er wurde inzwischen angenommen oder beendet, oder das Telefon des Anrufers gibt Anrufe nicht ab.</translation>
    </message>
    <message>
        <source>Nothing is ringing at %1 now.</source>
        <translation>Bei %1 klingelt gerade nichts.</translation>
    </message>
    <message>
        <source>The call ringing at %1 cannot be picked up: the telephone server does not tell which call rings there, or this line does not watch that number.</source>
        <translation>Der Anruf, der bei %1 klingelt, kann nicht herangeholt werden: Die Telefonanlage teilt nicht mit, welcher Anruf dort klingelt, oder diese Leitung beobachtet die Nummer nicht.</translation>
    </message>
    <message>
        <source>The call ringing at %1 cannot be picked up while this line has a call.</source>
        <translation>Der Anruf, der bei %1 klingelt, kann nicht herangeholt werden, solange diese Leitung einen Anruf hat.</translation>
    </message>
    <message>
        <source>The call ringing at %1 could not be picked up.</source>
        <translation>Der Anruf, der bei %1 klingelt, konnte nicht herangeholt werden.</translation>
    </message>
    <message>
        <location filename="../src/telephony/line_slot.cpp" line="-74"/>
        <source>No room for another call...</source>
        <translation>Kein Platz für einen weiteren Anruf...</translation>
    </message>
    <message>
        <location line="+669"/>
        <source>The call could not be put on hold.</source>
        <translation>Der Anruf konnte nicht gehalten werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The call could not be taken off hold.</source>
        <translation>Der gehaltene Anruf konnte nicht zurückgeholt werden.</translation>
    </message>
    <message>
        <location line="-164"/>
        <source> Sent: %1</source>
        <translation> Gesendet: %1</translation>
    </message>
    <message>
        <location line="+73"/>
        <source>Call failed</source>
        <translation>Anruf fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../src/telephony/line_slot_consult.cpp" line="+227"/>
        <source>The conference could not be set up.</source>
        <translation>Die Konferenz konnte nicht eingerichtet werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The call could not be transferred.</source>
        <translation>Der Anruf konnte nicht übergeben werden.</translation>
    </message>
</context>
<context>
    <name>LineState</name>
    <message>
        <location filename="../src/ui/telephony_widgets/line_state_text.cpp" line="+13"/>
        <source>In service: %1</source>
        <translation>In Betrieb: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Out of service: %1</source>
        <translation>Außer Betrieb: %1</translation>
    </message>
</context>
<context>
    <name>LineStateLook</name>
    <message>
        <location filename="../src/ui/panels/line_state_look.cpp" line="+47"/>
        <source>Idle</source>
        <translation>Frei</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ringing</source>
        <translation>Klingelt</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>In a call</source>
        <translation>Im Gespräch</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../src/ui/main/main_window_commands.cpp" line="+52"/>
        <source>&amp;Do not disturb</source>
        <translation>&amp;Nicht stören</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Do Not Disturb: Mute incoming calls alerts</source>
        <translation>Nicht stören: Signal für eingehende Anrufe stummschalten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>N/A: Do not disturb</source>
        <translation>Nicht verfügbar: Nicht stören</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Queue call</source>
        <translation>Anruf in &amp;Warteschlange</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Create / Manage Queue call</source>
        <translation>Anruf in Warteschlange anlegen / verwalten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>N/A: Calls Queue</source>
        <translation>Nicht verfügbar: Anrufwarteschlange</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Con&amp;ference</source>
        <translation>&amp;Konferenz</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;PBX control...</source>
        <translation>&amp;TK-Anlage steuern...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PBX Control</source>
        <translation>TK-Anlage steuern</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Setup...</source>
        <translation>Ein&amp;richtung...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Setup ...</source>
        <translation>Einrichtung ...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Record</source>
        <translation>A&amp;ufnehmen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Start/stop call recording</source>
        <translation>Anrufaufnahme starten/beenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add &amp;notes</source>
        <translation>N&amp;otizen hinzufügen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Add Notes to call recording</source>
        <translation>Notizen zur Anrufaufnahme hinzufügen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Mute</source>
        <translation>S&amp;tummschalten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Mute Telephone&apos;s / Headset&apos;s Microphone</source>
        <translation>Mikrofon des Telefons / Headsets stummschalten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>N/A: Mute</source>
        <translation>Nicht verfügbar: Stummschalten</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Hold</source>
        <translation>&amp;Halten</translation>
    </message>
    <message>
        <location line="-16"/>
        <source>Conference: add the number typed in the search/dial box (or a held call) to the selected call, join the party you called, or take the selected party out of its conference</source>
        <translation>Konferenz: die im Such-/Wählfeld eingegebene Nummer (oder einen gehaltenen Anruf) zum ausgewählten Anruf hinzufügen, den Rückfrageteilnehmer zuschalten oder den ausgewählten Teilnehmer aus seiner Konferenz nehmen</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Hold the selected call, or take it back</source>
        <translation>Den ausgewählten Anruf halten oder zurückholen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>&amp;Transfer</source>
        <translation>&amp;Übergeben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Transfer the selected call to the number typed in the search/dial box, or complete the transfer after consulting</source>
        <translation>Den ausgewählten Anruf an die im Such-/Wählfeld eingegebene Nummer übergeben oder die Übergabe nach Rückfrage abschließen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Transfer after &amp;consulting</source>
        <translation>Nach &amp;Rückfrage übergeben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Hold the selected call and call the number typed in the search/dial box; then Transfer hands the call over, and End on the new call takes the first one back</source>
        <translation>Den ausgewählten Anruf halten und die im Such-/Wählfeld eingegebene Nummer anrufen; danach übergibt Übergeben den Anruf, und Beenden des neuen Anrufs holt den ersten zurück</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>&amp;Instant message</source>
        <translation>&amp;Direktnachricht</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Send Analog phone instant short message</source>
        <translation>Kurznachricht an ein analoges Telefon senden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>N/A: Instant Message</source>
        <translation>Nicht verfügbar: Direktnachricht</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Call the selected contact or the number typed, or answer a ringing call</source>
        <translation>Den gewählten Kontakt oder die eingegebene Nummer anrufen oder einen klingelnden Anruf annehmen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;End call</source>
        <translation>Anruf &amp;beenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>End the selected call</source>
        <translation>Den gewählten Anruf beenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Search contacts/dial number</source>
        <translation>Kontakte &amp;suchen/Nummer wählen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Import ...</source>
        <translation>&amp;Importieren ...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Import contacts from a vCard file</source>
        <translation>Kontakte aus einer vCard-Datei importieren</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Export ...</source>
        <translation>&amp;Exportieren ...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Export the contacts to a vCard file</source>
        <translation>Die Kontakte in eine vCard-Datei exportieren</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>S&amp;ynchronise address book now</source>
        <translation>&amp;Adressbuch jetzt abgleichen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Send this seat&apos;s contact changes to the shared address book and take in its changes now</source>
        <translation>Die Kontaktänderungen dieses Arbeitsplatzes jetzt an das gemeinsame Adressbuch senden und dessen Änderungen übernehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Exit Kestrium</source>
        <translation>Kestrium beenden</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Toggle handset/headset</source>
        <translation>Zwischen Hörer und Headset umschalten</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location line="+206"/>
        <source>Are you sure ?</source>
        <translation>Sind Sie sicher?</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Clear redial list</source>
        <translation>Wahlwiederholungsliste leeren</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>View call &amp;log</source>
        <translation>Anruf&amp;liste anzeigen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Clear redial list</source>
        <translation>&amp;Wahlwiederholungsliste leeren</translation>
    </message>
    <message>
        <location line="+224"/>
        <source>A call is in progress</source>
        <translation>Ein Anruf ist im Gange</translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%n calls are in progress</source>
        <translation>
            <numerusform>%n Anruf ist im Gange</numerusform>
            <numerusform>%n Anrufe sind im Gange</numerusform>
        </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>, and a call or message is being recorded</source>
        <translation>, und ein Anruf oder eine Nachricht wird aufgenommen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>. Exiting Kestrium ends it.</source>
        <translation>. Wenn Sie Kestrium beenden, wird er beendet.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>. Exiting Kestrium ends them.</source>
        <translation>. Wenn Sie Kestrium beenden, werden sie beendet.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>

Exit anyway?</source>
        <translation>

Trotzdem beenden?</translation>
    </message>
    <message numerus="yes">
        <location line="+32"/>
        <source>
... and %n more.</source>
        <translation>
            <numerusform>
... und %n weiterer Hinweis.</numerusform>
            <numerusform>
... und %n weitere Hinweise.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Import contacts</source>
        <translation>Kontakte importieren</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>vCard files (*.vcf *.vcard *.VCF);;All files (*)</source>
        <translation>vCard-Dateien (*.vcf *.vcard *.VCF);;Alle Dateien (*)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Export contacts</source>
        <translation>Kontakte exportieren</translation>
    </message>
    <message>
        <location filename="../src/ui/main/main_window.cpp" line="+83"/>
        <source>Con&amp;tacts</source>
        <translation>Kon&amp;takte</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Call a contact/speed dial</source>
        <translation>Einen Kontakt oder eine Kurzwahl anrufen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Active Calls</source>
        <translation>A&amp;ktive Anrufe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manage active calls / Dialing keypad and PBX control</source>
        <translation>Aktive Anrufe verwalten / Wähltastatur und Steuerung der TK-Anlage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Call L&amp;og</source>
        <translation>Anruf&amp;liste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Calls log</source>
        <translation>Anrufliste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Voice Mail</source>
        <translation>&amp;Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Manage voicemail messages</source>
        <translation>Sprachnachrichten verwalten</translation>
    </message>
    <message>
        <location line="+207"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../src/ui/main/main_window_commands.cpp" line="-546"/>
        <source>&amp;Call</source>
        <translation>&amp;Anrufen</translation>
    </message>
    <message>
        <location filename="../src/ui/main/main_window.cpp" line="+6"/>
        <source>&amp;Call</source>
        <comment>menu</comment>
        <translation>&amp;Anruf</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;About  Kestrium...</source>
        <translation>&amp;Über Kestrium...</translation>
    </message>
    <message>
        <location line="+48"/>
        <location filename="../src/ui/main/main_window_commands.cpp" line="+8"/>
        <source>Enter text to search contacts, or a number to dial manually</source>
        <translation>Text eingeben, um Kontakte zu suchen, oder eine Nummer, um sie von Hand zu wählen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Search contacts/dial number:</source>
        <translation>Kontakte suchen/Nummer wählen:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Search contacts or dial number</source>
        <translation>Kontakte suchen oder Nummer wählen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Click to clear search field</source>
        <translation>Klicken, um das Suchfeld zu leeren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Redial</source>
        <translation>Wahlwiederholung</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Popup REDIAL list</source>
        <translation>Wahlwiederholungsliste öffnen</translation>
    </message>
    <message>
        <location line="+95"/>
        <source>New missed calls</source>
        <translation>Neue verpasste Anrufe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>New voice mail messages</source>
        <translation>Neue Sprachnachrichten</translation>
    </message>
    <message>
        <location line="+279"/>
        <source>Headset, line %1</source>
        <translation>Headset, Leitung %1</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../src/ui/main/main_window_commands.cpp" line="+21"/>
        <source>Handset, line %1</source>
        <translation>Hörer, Leitung %1</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Line %1, the default line</source>
        <translation>Leitung %1, die Standardleitung</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Line %1</source>
        <translation>Leitung %1</translation>
    </message>
    <message>
        <location line="+92"/>
        <source>New missed calls: %1</source>
        <translation>Neue verpasste Anrufe: %1</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>New voice mail messages: %1</source>
        <translation>Neue Sprachnachrichten: %1</translation>
    </message>
    <message>
        <source>Transfer or conference number</source>
        <translation>Nummer für Übergabe/Konferenz</translation>
    </message>
</context>
<context>
    <name>NotesDialog</name>
    <message>
        <location filename="../src/ui/panels/notes_dialog.cpp" line="+72"/>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <location filename="../src/ui/panels/notes_dialog.h" line="+28"/>
        <source>Are you sure you want to clear this note ?</source>
        <translation>Möchten Sie diese Notiz wirklich leeren?</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Are you sure you want to delete this note ?</source>
        <translation>Möchten Sie diese Notiz wirklich löschen?</translation>
    </message>
</context>
<context>
    <name>PbxSetupDialog</name>
    <message>
        <location filename="../src/ui/setup/pbx_setup_dialog.cpp" line="+17"/>
        <source>Kestrium PBX Setup</source>
        <translation>Kestrium – Einrichtung der TK-Anlage</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;New</source>
        <translation>&amp;Neu</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Open...</source>
        <translation>Ö&amp;ffnen...</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>PBX system name:</source>
        <translation>Name der TK-Anlage:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Preset script:</source>
        <translation>Skript der Vorgabe:</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Presets:</source>
        <translation>Vorgaben:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Preset %1</source>
        <translation>Vorgabe %1</translation>
    </message>
</context>
<context>
    <name>PlaybackControls</name>
    <message>
        <location filename="../src/ui/panels/playback_controls.cpp" line="+46"/>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Play/Pause</source>
        <translation>Wiedergabe/Pause</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Back to start</source>
        <translation>Zurück zum Anfang</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delete recording</source>
        <translation>Aufnahme löschen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Play to:</source>
        <translation>Wiedergabe auf:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Volume:</source>
        <translation>Lautstärke:</translation>
    </message>
    <message>
        <location line="+164"/>
        <source>The recording could not be copied into the folder for deleted recordings (&quot;%1&quot;), so it was kept.</source>
        <translation>Die Aufnahme konnte nicht in den Ordner für gelöschte Aufnahmen („%1“) kopiert werden und wurde daher behalten.</translation>
    </message>
</context>
<context>
    <name>PlayerParts</name>
    <message>
        <location filename="../src/ui/panels/player_parts.h" line="+23"/>
        <source>Are you sure you want to delete the recording ?</source>
        <translation>Möchten Sie die Aufnahme wirklich löschen?</translation>
    </message>
</context>
<context>
    <name>QtSelectCallDialog</name>
    <message>
        <location filename="../src/ui/telephony_widgets/qt_select_call_dialog.cpp" line="+11"/>
        <source>Select call:</source>
        <translation>Anruf wählen:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Selected call</source>
        <translation>Gewählter Anruf</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Drop ALL calls</source>
        <translation>ALLE Anrufe beenden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>SetupDialog</name>
    <message>
        <location filename="../src/ui/setup/setup_dialog.cpp" line="+31"/>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Call recording</source>
        <translation>Anrufaufnahme</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Voice mail</source>
        <translation>Sprachbox</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Address book</source>
        <translation>Adressbuch</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Telephony</source>
        <translation>Telefonie</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>This page is not available.</source>
        <translation>Diese Seite ist nicht verfügbar.</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Kestrium Setup</source>
        <translation>Kestrium-Einrichtung</translation>
    </message>
    <message>
        <location line="+63"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../src/ui/setup/setup_dialog.h" line="+28"/>
        <source>Seems you changed the telephony lines configuration.

Will have to close, then reopen all lines.
Existing calls will be dropped !

Are you sure you want to do this ?</source>
        <translation>Sie haben offenbar die Konfiguration der Telefonleitungen geändert.

Dazu müssen alle Leitungen geschlossen und wieder geöffnet werden.
Bestehende Anrufe werden beendet!

Möchten Sie das wirklich tun?</translation>
    </message>
</context>
<context>
    <name>SharedAddressBook</name>
    <message>
        <location filename="../src/ui/main/shared_address_book.cpp" line="+52"/>
        <source>Address book: synchronising ...</source>
        <translation>Adressbuch: wird abgeglichen ...</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>Contacts changed on the address book server and here at the same time:</source>
        <translation>Kontakte, die gleichzeitig auf dem Adressbuch-Server und hier geändert wurden:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The address book could not be synchronised: %1</source>
        <translation>Das Adressbuch konnte nicht abgeglichen werden: %1</translation>
    </message>
</context>
<context>
    <name>SipAccountDialog</name>
    <message>
        <location filename="../src/ui/setup/sip_account_dialog.cpp" line="+24"/>
        <source>UDP</source>
        <translation>UDP</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TCP</source>
        <translation>TCP</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TLS (encrypted, the server&apos;s certificate checked)</source>
        <translation>TLS (verschlüsselt, Zertifikat des Servers geprüft)</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>%1: SIP Account</source>
        <translation>%1: SIP-Konto</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>&amp;No-answer time-out...</source>
        <translation>&amp;Zeitlimit ohne Antwort...</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>%1 has no line &quot;%2&quot;; Kestrium must be started again first.</source>
        <translation>%1 enthält keine Leitung „%2“; Kestrium muss zuerst neu gestartet werden.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The exchange configuration cannot be changed here until it is corrected:
%1</source>
        <translation>Die Konfiguration der Vermittlung kann hier erst geändert werden, wenn sie berichtigt ist:
%1</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>&amp;Use this line for a SIP account</source>
        <translation>Diese Leitung für ein SIP-Konto &amp;verwenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+6"/>
        <location line="+50"/>
        <source>none</source>
        <translation>keine Angabe</translation>
    </message>
    <message>
        <location line="-55"/>
        <source>user@sip.example.com</source>
        <translation>benutzer@sip.example.com</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the user of the SIP address</source>
        <translation>der Benutzer der SIP-Adresse</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>sip:&lt;domain of the address&gt;</source>
        <translation>sip:&lt;Domain der Adresse&gt;</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>none; used when the outbound proxy stops answering</source>
        <translation>keine Angabe; wird benutzt, wenn der ausgehende Proxy nicht mehr antwortet</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>the address of the default route</source>
        <translation>die Adresse der Standardroute</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>any free port</source>
        <translation>beliebiger freier Port</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Register with the registrar (needed to receive calls)</source>
        <translation>Beim Registrar an&amp;melden (nötig, um Anrufe zu empfangen)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Present the line as a telephone-&amp;network (analog) line</source>
        <translation>Leitung als &amp;Festnetzleitung (analog) ausgeben</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>SIP &amp;address:</source>
        <translation>SIP-&amp;Adresse:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Display name:</source>
        <translation>A&amp;nzeigename:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Authentication &amp;user:</source>
        <translation>&amp;Benutzer für die Anmeldung:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Re&amp;gistrar:</source>
        <translation>Re&amp;gistrar:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Outbound proxy:</source>
        <translation>Ausgehender P&amp;roxy:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Fallback outbound proxy:</source>
        <translation>&amp;Ersatz-Proxy:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Transport:</source>
        <translation>&amp;Transport:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Local address:</source>
        <translation>&amp;Lokale Adresse:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Local p&amp;ort:</source>
        <translation>Lokaler P&amp;ort:</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>stored; type to change it</source>
        <translation>gespeichert; zum Ändern neu eingeben</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Enter the SIP address as user@domain, for example 4921512345@sip.provider.example.</source>
        <translation>Geben Sie die SIP-Adresse als benutzer@domain ein, zum Beispiel 4921512345@sip.provider.example.</translation>
    </message>
    <message>
        <location line="+28"/>
        <location line="+9"/>
        <source>The account cannot be saved: %1</source>
        <translation>Das Konto kann nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>The password cannot be saved: %1</source>
        <translation>Das Passwort kann nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>The account was saved in %1, but the telephony service cannot use it now: %2.</source>
        <translation>Das Konto wurde in %1 gespeichert, aber der Telefoniedienst kann es jetzt nicht verwenden: %2.</translation>
    </message>
</context>
<context>
    <name>SoundFileBox</name>
    <message>
        <location filename="../src/ui/setup/sound_file_box.cpp" line="+130"/>
        <source>Browse...</source>
        <translation>Durchsuchen...</translation>
    </message>
    <message>
        <location line="-78"/>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delete the file</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Back to the start</source>
        <translation>Zurück zum Anfang</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <location line="+66"/>
        <source>Sound file</source>
        <translation>Audiodatei</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>&amp;Volume:</source>
        <translation>&amp;Lautstärke:</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>&amp;Play to:</source>
        <translation>Wieder&amp;gabe auf:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Reco&amp;rd from:</source>
        <translation>Auf&amp;nahme von:</translation>
    </message>
    <message>
        <location line="+100"/>
        <source>No line uses this device</source>
        <translation>Keine Leitung verwendet dieses Gerät</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Headset</source>
        <translation>Headset</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Handset</source>
        <translation>Hörer</translation>
    </message>
    <message>
        <location line="+159"/>
        <source>Wave (*.WAV *.wav)</source>
        <translation>Wave (*.WAV *.wav)</translation>
    </message>
</context>
<context>
    <name>TelephonyPage</name>
    <message>
        <location filename="../src/ui/setup/telephony_page.cpp" line="+71"/>
        <source>Line &amp;name</source>
        <translation>Leitungs&amp;name</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Device</source>
        <translation>&amp;Gerät</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Line %1 name</source>
        <translation>Name der Leitung %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Line %1 device</source>
        <translation>Gerät der Leitung %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Config...</source>
        <translation>Konfigurieren...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Configure line %1 device</source>
        <translation>Gerät der Leitung %1 einrichten</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Macro buttons:</source>
        <translation>Makrotasten:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Rejecting incoming calls:</source>
        <translation>Eingehende Anrufe abweisen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Ignore until caller gives up</source>
        <translation>Ignorieren, bis der Anrufer aufgibt</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Open line, beep, hangup</source>
        <translation>Abheben, Piepton, auflegen</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>System:</source>
        <translation>System:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Use this application to handle dialing from other applications.</source>
        <translation>Dieses Programm zum Wählen aus anderen Programmen verwenden.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>System dialing rules...</source>
        <translation>Wählregeln des Systems...</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Macro %1, empty</source>
        <translation>Makro %1, leer</translation>
    </message>
</context>
<context>
    <name>VoiceMailPage</name>
    <message>
        <location filename="../src/ui/setup/voice_mail_page.cpp" line="+30"/>
        <source>Recorded audio location:</source>
        <translation>Speicherort der Aufnahmen:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Select folder for voicemail recordings:</source>
        <translation>Ordner für Sprachnachrichten wählen:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Answer automatically after</source>
        <translation>Automatisch annehmen nach</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Rings before the answer</source>
        <translation>Klingeltöne bis zur Annahme</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Operation:</source>
        <translation>Bedienung:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>rings</source>
        <translation>Klingeltönen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Greeting message:</source>
        <translation>Ansage:</translation>
    </message>
</context>
</TS>
