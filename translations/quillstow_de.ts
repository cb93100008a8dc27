<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Autostart</name>
    <message>
        <source>Could not remove “%1”: %2</source>
        <translation>„%1“ konnte nicht entfernt werden: %2</translation>
    </message>
    <message>
        <source>The program’s location “%1” cannot be started from an autostart entry.</source>
        <translation>Der Ort des Programms, „%1“, kann nicht aus einem Autostart-Eintrag gestartet werden.</translation>
    </message>
    <message>
        <source>Could not create the folder “%1”.</source>
        <translation>Der Ordner „%1“ konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Could not write “%1”: %2</source>
        <translation>„%1“ konnte nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>Backends</name>
    <message>
        <source>On this Wayland desktop Quillstow sees copies made in other programs only while one of its own windows has the focus.</source>
        <translation>Auf diesem Wayland-Desktop sieht Quillstow Kopien aus anderen Programmen nur, solange eines seiner eigenen Fenster den Fokus hat.</translation>
    </message>
    <message>
        <source>Quillstow lost its connection to the compositor and no longer follows the clipboard: %1</source>
        <translation>Quillstow hat die Verbindung zum Compositor verloren und verfolgt die Zwischenablage nicht mehr: %1</translation>
    </message>
</context>
<context>
    <name>ClearQuestion</name>
    <message numerus="yes">
        <source>Clear %n item(s) from the clipboard history?</source>
        <translation>
            <numerusform>Einen Eintrag aus dem Zwischenablage-Verlauf löschen?</numerusform>
            <numerusform>%n Einträge aus dem Zwischenablage-Verlauf löschen?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Clear all %n item(s) from the clipboard history?</source>
        <translation>
            <numerusform>Den einzigen Eintrag aus dem Zwischenablage-Verlauf löschen?</numerusform>
            <numerusform>Alle %n Einträge aus dem Zwischenablage-Verlauf löschen?</numerusform>
        </translation>
    </message>
    <message>
        <source>No item is pinned.</source>
        <translation>Kein Eintrag ist angeheftet.</translation>
    </message>
    <message numerus="yes">
        <source>The %n pinned item(s) stay.</source>
        <translation>
            <numerusform>Der angeheftete Eintrag bleibt.</numerusform>
            <numerusform>Die %n angehefteten Einträge bleiben.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The %n pinned item(s) go too.</source>
        <translation>
            <numerusform>Der angeheftete Eintrag wird ebenfalls gelöscht.</numerusform>
            <numerusform>Die %n angehefteten Einträge werden ebenfalls gelöscht.</numerusform>
        </translation>
    </message>
    <message>
        <source>This cannot be undone.</source>
        <translation>Das lässt sich nicht rückgängig machen.</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>ClipRowView</name>
    <message>
        <source>Just now</source>
        <translation>Gerade eben</translation>
    </message>
    <message numerus="yes">
        <source>%nm ago</source>
        <translation>
            <numerusform>vor %n Min.</numerusform>
            <numerusform>vor %n Min.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%nh ago</source>
        <translation>
            <numerusform>vor %n Std.</numerusform>
            <numerusform>vor %n Std.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%nd ago</source>
        <translation>
            <numerusform>vor %n Tag</numerusform>
            <numerusform>vor %n Tagen</numerusform>
        </translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation>Lösen</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>Anheften</translation>
    </message>
    <message>
        <source>Save to Obsidian</source>
        <translation>In Obsidian speichern</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Obsidian</source>
        <translation>Obsidian</translation>
    </message>
</context>
<context>
    <name>Clipboard</name>
    <message>
        <source>Quillstow cannot follow the clipboard</source>
        <translation>Quillstow kann der Zwischenablage nicht folgen</translation>
    </message>
    <message>
        <source>Copies made in other programs may not reach the history: %1.</source>
        <translation>Was in anderen Programmen kopiert wird, kommt womöglich nicht in den Verlauf: %1.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Clipboard history: every copied text is kept, and a picker opened
by the hot key (Super+Shift+V unless changed in the settings), the
tray icon or the options below pastes it again.
Without an option, Quillstow starts; if it is already running, its
picker opens. --quit exits with 1 when none is running.</source>
        <translation>Zwischenablage-Verlauf: Jeder kopierte Text wird aufbewahrt, und eine
Auswahl, geöffnet mit dem Tastenkürzel (Super+Shift+V, falls in den
Einstellungen nicht geändert), dem Symbol im Systembereich oder den
Optionen unten, fügt ihn wieder ein.
Ohne Option startet Quillstow; läuft es bereits, öffnet sich seine
Auswahl. --quit endet mit 1, wenn keines läuft.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe zeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version zeigen und beenden.</translation>
    </message>
    <message>
        <source>Open the picker at the text caret, as the hot key does. Starts Quillstow if it is not running.</source>
        <translation>Die Auswahl an der Schreibmarke öffnen, wie es das Tastenkürzel tut. Startet Quillstow, falls es nicht läuft.</translation>
    </message>
    <message>
        <source>Open the picker at the text caret, or close it if it is open. Starts Quillstow if it is not running.</source>
        <translation>Die Auswahl an der Schreibmarke öffnen oder, wenn sie offen ist, schließen. Startet Quillstow, falls es nicht läuft.</translation>
    </message>
    <message>
        <source>End the running Quillstow.</source>
        <translation>Das laufende Quillstow beenden.</translation>
    </message>
    <message>
        <source>Try &apos;quillstow --help&apos; for the options.</source>
        <translation>„quillstow --help“ zeigt die Optionen.</translation>
    </message>
    <message>
        <source>quillstow: unexpected argument &apos;%1&apos;.</source>
        <translation>quillstow: unerwartetes Argument „%1“.</translation>
    </message>
    <message>
        <source>Usage: quillstow [option]</source>
        <translation>Aufruf: quillstow [Option]</translation>
    </message>
    <message>
        <source>quillstow: --show, --toggle and --quit go one at a time.</source>
        <translation>quillstow: --show, --toggle und --quit nur einzeln angeben.</translation>
    </message>
</context>
<context>
    <name>Counts</name>
    <message numerus="yes">
        <source>%n word(s)</source>
        <translation>
            <numerusform>%n Wort</numerusform>
            <numerusform>%n Wörter</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation>
            <numerusform>%n Eintrag</numerusform>
            <numerusform>%n Einträge</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n item(s)</source>
        <translation>
            <numerusform>%1 von %n Eintrag</numerusform>
            <numerusform>%1 von %n Einträgen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>HistoryDatabase</name>
    <message>
        <source>the disk is full</source>
        <translation>der Datenträger ist voll</translation>
    </message>
    <message>
        <source>the history file cannot be written</source>
        <translation>die Verlaufsdatei kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>another program holds the history file locked</source>
        <translation>ein anderes Programm hält die Verlaufsdatei gesperrt</translation>
    </message>
    <message>
        <source>the history file is damaged</source>
        <translation>die Verlaufsdatei ist beschädigt</translation>
    </message>
    <message>
        <source>the history file cannot be opened</source>
        <translation>die Verlaufsdatei kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>der Ordner %1 kann nicht angelegt werden</translation>
    </message>
    <message>
        <source>something other than a file is in the history&apos;s place</source>
        <translation>am Ort des Verlaufs liegt etwas anderes als eine Datei</translation>
    </message>
    <message>
        <source>the history file is not a database</source>
        <translation>die Verlaufsdatei ist keine Datenbank</translation>
    </message>
    <message>
        <source>the history file cannot be opened: %1</source>
        <translation>die Verlaufsdatei kann nicht geöffnet werden: %1</translation>
    </message>
    <message>
        <source>the history file was written by a newer Quillstow</source>
        <translation>die Verlaufsdatei stammt von einem neueren Quillstow</translation>
    </message>
    <message>
        <source>the damaged history file cannot be moved aside: %1</source>
        <translation>die beschädigte Verlaufsdatei kann nicht beiseitegelegt werden: %1</translation>
    </message>
    <message>
        <source>the history file is not open</source>
        <translation>die Verlaufsdatei ist nicht geöffnet</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>History is not being saved: %1</source>
        <translation>Der Verlauf wird nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>The history file could not be read. It was moved to %1 and a new history was begun.</source>
        <translation>Die Verlaufsdatei konnte nicht gelesen werden. Sie wurde nach %1 verschoben, und ein neuer Verlauf wurde begonnen.</translation>
    </message>
</context>
<context>
    <name>HotkeyManager</name>
    <message>
        <source>a hot key needs a key besides the modifiers</source>
        <translation>ein Tastenkürzel braucht neben den Umschalttasten eine weitere Taste</translation>
    </message>
    <message>
        <source>keypad keys cannot be a hot key</source>
        <translation>Tasten des Ziffernblocks können kein Tastenkürzel sein</translation>
    </message>
    <message>
        <source>a hot key needs Super, Ctrl or Alt</source>
        <translation>ein Tastenkürzel braucht Super, Strg oder Alt</translation>
    </message>
    <message>
        <source>this session offers no global shortcuts</source>
        <translation>diese Sitzung bietet keine globalen Tastenkürzel</translation>
    </message>
</context>
<context>
    <name>ObsidianService</name>
    <message>
        <source>Could not write “%1”: %2</source>
        <translation>„%1“ konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Nothing was written to “%1”: it is a symbolic link that does not lead to a file inside the Obsidian vault.</source>
        <translation>In „%1“ wurde nichts geschrieben: Es ist eine symbolische Verknüpfung, die nicht zu einer Datei im Obsidian-Vault führt.</translation>
    </message>
    <message>
        <source>No Obsidian vault configured. Open Settings to choose one.</source>
        <translation>Kein Obsidian-Vault eingerichtet. Wählen Sie einen in den Einstellungen.</translation>
    </message>
    <message>
        <source>New Note per Item</source>
        <translation>Neue Notiz je Eintrag</translation>
    </message>
    <message>
        <source>Append to Daily Note</source>
        <translation>An die Tagesnotiz anhängen</translation>
    </message>
    <message>
        <source>Clipboard Log File</source>
        <translation>Protokolldatei der Zwischenablage</translation>
    </message>
    <message>
        <source>The Obsidian vault “%1” is not an absolute folder path. Open Settings to choose the vault again.</source>
        <translation>Der Obsidian-Vault „%1“ ist kein absoluter Ordnerpfad. Wählen Sie den Vault in den Einstellungen neu.</translation>
    </message>
    <message>
        <source>The Obsidian vault folder “%1” is missing. If it is on a drive, connect the drive; otherwise open Settings to choose the vault again.</source>
        <translation>Der Ordner des Obsidian-Vaults, „%1“, fehlt. Liegt er auf einem Laufwerk, schließen Sie das Laufwerk an; sonst wählen Sie den Vault in den Einstellungen neu.</translation>
    </message>
    <message>
        <source>The Obsidian vault “%1” is not a folder. Open Settings to choose the vault again.</source>
        <translation>Der Obsidian-Vault „%1“ ist kein Ordner. Wählen Sie den Vault in den Einstellungen neu.</translation>
    </message>
    <message>
        <source>It is not a regular file.</source>
        <translation>Es ist keine gewöhnliche Datei.</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>the file was not written whole</source>
        <translation>die Datei wurde nicht vollständig geschrieben</translation>
    </message>
    <message>
        <source>The settings file %1 is left as it is because %2. Changes to the settings last until Quillstow quits; move the file away to start afresh.</source>
        <translation>Die Einstellungsdatei %1 bleibt unverändert, denn %2. Änderungen an den Einstellungen gelten, bis Quillstow beendet wird; verschieben Sie die Datei, um neu zu beginnen.</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 ist kein Ordner</translation>
    </message>
    <message>
        <source>it is a link to %1, which cannot be reached</source>
        <translation>sie verweist auf %1, das nicht erreichbar ist</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>sie ist ein Ordner</translation>
    </message>
    <message>
        <source>it is a named pipe</source>
        <translation>sie ist eine benannte Pipe</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>sie ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>it cannot be read (%1)</source>
        <translation>sie kann nicht gelesen werden (%1)</translation>
    </message>
    <message>
        <source>it cannot be read as a settings file</source>
        <translation>sie lässt sich nicht als Einstellungsdatei lesen</translation>
    </message>
    <message>
        <source>%1 could not be written</source>
        <translation>%1 konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>StartupNotice</name>
    <message>
        <source>This desktop has no system tray, so Quillstow shows no icon. It keeps running.</source>
        <translation>Diese Arbeitsfläche hat keinen Systembereich, daher zeigt Quillstow kein Symbol. Es läuft trotzdem weiter.</translation>
    </message>
    <message>
        <source>%1 could not be taken: %2.</source>
        <translation>%1 konnte nicht belegt werden: %2.</translation>
    </message>
    <message>
        <source>Open the picker with %1 or by running &quot;quillstow --show&quot;.</source>
        <translation>Öffnen Sie die Auswahl mit %1 oder mit dem Befehl „quillstow --show“.</translation>
    </message>
    <message>
        <source>Open the picker from the tray icon or by running &quot;quillstow --show&quot;.</source>
        <translation>Öffnen Sie die Auswahl über das Symbol im Systembereich oder mit dem Befehl „quillstow --show“.</translation>
    </message>
    <message>
        <source>Open the picker by running &quot;quillstow --show&quot;, for example from a key binding of your desktop.</source>
        <translation>Öffnen Sie die Auswahl mit dem Befehl „quillstow --show“, zum Beispiel über ein Tastenkürzel Ihrer Arbeitsfläche.</translation>
    </message>
</context>
<context>
    <name>WaylandClipboard</name>
    <message>
        <source>the Wayland compositor lets no program watch the clipboard (it offers neither ext-data-control nor wlr-data-control)</source>
        <translation>der Wayland-Compositor lässt kein Programm die Zwischenablage beobachten (er bietet weder ext-data-control noch wlr-data-control an)</translation>
    </message>
    <message>
        <source>the Wayland compositor has no seat</source>
        <translation>der Wayland-Compositor hat keinen Arbeitsplatz (Seat)</translation>
    </message>
    <message>
        <source>the Wayland compositor did not show its clipboard in time</source>
        <translation>der Wayland-Compositor hat seine Zwischenablage nicht rechtzeitig gezeigt</translation>
    </message>
</context>
<context>
    <name>WaylandConnection</name>
    <message>
        <source>no connection to the Wayland compositor</source>
        <translation>keine Verbindung zum Wayland-Compositor</translation>
    </message>
    <message>
        <source>the Wayland compositor did not answer within %1 ms</source>
        <translation>der Wayland-Compositor hat nicht innerhalb von %1 ms geantwortet</translation>
    </message>
    <message>
        <source>the Wayland compositor ended the connection over an error</source>
        <translation>der Wayland-Compositor hat die Verbindung wegen eines Fehlers beendet</translation>
    </message>
    <message>
        <source>the connection to the Wayland compositor broke</source>
        <translation>die Verbindung zum Wayland-Compositor ist abgebrochen</translation>
    </message>
</context>
<context>
    <name>X11Clipboard</name>
    <message>
        <source>no connection to the X server</source>
        <translation>keine Verbindung zum X-Server</translation>
    </message>
    <message>
        <source>the X server has no screen %1</source>
        <translation>der X-Server hat keinen Bildschirm %1</translation>
    </message>
    <message>
        <source>the X server lacks the XFixes extension</source>
        <translation>dem X-Server fehlt die XFixes-Erweiterung</translation>
    </message>
    <message>
        <source>the X server&apos;s XFixes extension is too old</source>
        <translation>die XFixes-Erweiterung des X-Servers ist zu alt</translation>
    </message>
    <message>
        <source>the X server did not name the clipboard&apos;s atoms</source>
        <translation>der X-Server hat die Atome der Zwischenablage nicht genannt</translation>
    </message>
    <message>
        <source>the X server refused to report clipboard changes (X error %1)</source>
        <translation>der X-Server meldet Änderungen der Zwischenablage nicht (X-Fehler %1)</translation>
    </message>
    <message>
        <source>the connection to the X server broke</source>
        <translation>die Verbindung zum X-Server ist abgebrochen</translation>
    </message>
</context>
<context>
    <name>X11GlobalHotkey</name>
    <message>
        <source>no key for the combination on this keyboard</source>
        <translation>diese Tastatur hat keine Taste für die Kombination</translation>
    </message>
    <message>
        <source>another program holds the combination</source>
        <translation>ein anderes Programm belegt die Kombination</translation>
    </message>
    <message>
        <source>X error %1</source>
        <translation>X-Fehler %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Quillstow is already running, but did not answer.</source>
        <translation>Quillstow läuft bereits, hat aber nicht geantwortet.</translation>
    </message>
    <message>
        <source>Quillstow was asked to quit but is still running.</source>
        <translation>Quillstow wurde zum Beenden aufgefordert, läuft aber noch.</translation>
    </message>
    <message>
        <source>A copied text was not added to the history: it is larger than %1 MB, the most Quillstow keeps.</source>
        <translation>Ein kopierter Text wurde nicht in den Verlauf aufgenommen: Er ist größer als %1 MB, das Höchstmaß, das Quillstow aufbewahrt.</translation>
    </message>
    <message>
        <source>Quillstow is not running.</source>
        <translation>Quillstow läuft nicht.</translation>
    </message>
    <message>
        <source>Settings are not being saved: %1</source>
        <translation>Die Einstellungen werden nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>New copies are not being saved to the Obsidian vault: %1</source>
        <translation>Neue Kopien werden nicht im Obsidian-Vault gespeichert: %1</translation>
    </message>
    <message>
        <source>Quillstow found no desktop to run on: no Wayland compositor answers at WAYLAND_DISPLAY and DISPLAY names no X server.</source>
        <translation>Quillstow hat keinen Desktop gefunden: unter WAYLAND_DISPLAY antwortet kein Wayland-Compositor, und DISPLAY nennt keinen X-Server.</translation>
    </message>
</context>
<context>
    <name>quillstow::AppDelegate</name>
    <message>
        <source>Quillstow needs Accessibility to paste items.

This display does not accept synthetic key presses (the X server&apos;s XTEST extension is off), so Quillstow cannot press Ctrl+V for you: a chosen item is copied and you paste it yourself. For automatic paste, run Quillstow in an X11 session whose server has XTEST enabled (the default; a server started with &quot;-extension XTEST&quot; has it off) and start this program again:

</source>
        <translation>Quillstow braucht Barrierefreiheit, um Einträge einzufügen.

Diese Anzeige nimmt keine künstlichen Tastendrücke an (die XTEST-Erweiterung des X-Servers ist aus), daher kann Quillstow nicht für Sie Strg+V drücken: Ein gewählter Eintrag wird kopiert, und Sie fügen ihn selbst ein. Für automatisches Einfügen starten Sie Quillstow in einer X11-Sitzung, deren Server XTEST eingeschaltet hat (die Vorgabe; ein mit „-extension XTEST“ gestarteter Server hat es aus), und starten Sie dieses Programm erneut:

</translation>
    </message>
    <message>
        <source>Accessibility Permission Required</source>
        <translation>Berechtigung für Barrierefreiheit nötig</translation>
    </message>
    <message>
        <source>Open Help</source>
        <translation>Hilfe öffnen</translation>
    </message>
    <message>
        <source>Later</source>
        <translation>Später</translation>
    </message>
    <message>
        <source>This desktop&apos;s compositor offers Quillstow no virtual keyboard, so it cannot press Ctrl+V for you: a chosen item is put on the clipboard and you paste it yourself. Compositors of the wlroots family (sway, Hyprland, river, labwc, Wayfire) offer one; with such a compositor, start this program again:

</source>
        <translation>Der Compositor dieses Desktops bietet Quillstow keine virtuelle Tastatur, daher kann es nicht für Sie Strg+V drücken: Ein gewählter Eintrag wird in die Zwischenablage gelegt, und Sie fügen ihn selbst ein. Compositoren der wlroots-Familie (sway, Hyprland, river, labwc, Wayfire) bieten eine; starten Sie dieses Programm mit einem solchen Compositor erneut:

</translation>
    </message>
    <message>
        <source>Automatic Paste Is Not Available</source>
        <translation>Automatisches Einfügen ist nicht verfügbar</translation>
    </message>
</context>
<context>
    <name>quillstow::GeneralSettingsTab</name>
    <message>
        <source>Clear All History Now</source>
        <translation>Gesamten Verlauf jetzt löschen</translation>
    </message>
    <message>
        <source>Launch at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Keep the clipboard when the program that copied quits</source>
        <translation>Zwischenablage behalten, wenn das kopierende Programm endet</translation>
    </message>
    <message>
        <source>Also keep text selected with the mouse</source>
        <translation>Auch mit der Maus markierten Text aufbewahren</translation>
    </message>
    <message>
        <source>Keep %1 items</source>
        <translation>%1 Einträge behalten</translation>
    </message>
    <message>
        <source>Open Quillstow</source>
        <translation>Quillstow öffnen</translation>
    </message>
    <message>
        <source>Open Quillstow:</source>
        <translation>Quillstow öffnen:</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Startup</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Hotkey</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Quillstow could not be set to launch at login.</source>
        <translation>Quillstow konnte nicht für den Start bei der Anmeldung eingerichtet werden.</translation>
    </message>
    <message>
        <source>Quillstow could not stop launching at login.</source>
        <translation>Der Start von Quillstow bei der Anmeldung konnte nicht abgeschaltet werden.</translation>
    </message>
    <message>
        <source>%1 cannot be used: %2.</source>
        <translation>%1 ist nicht verwendbar: %2.</translation>
    </message>
    <message>
        <source>%1 could not be taken: %2.</source>
        <translation>%1 konnte nicht belegt werden: %2.</translation>
    </message>
    <message>
        <source>%1 opens the picker in any program.</source>
        <translation>%1 öffnet die Auswahl in jedem Programm.</translation>
    </message>
</context>
<context>
    <name>quillstow::ObsidianSettings</name>
    <message>
        <source>Select Vault</source>
        <translation>Vault wählen</translation>
    </message>
</context>
<context>
    <name>quillstow::ObsidianSettingsTab</name>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Wählen…</translation>
    </message>
    <message>
        <source>Save every new copy to the vault</source>
        <translation>Jede neue Kopie im Vault speichern</translation>
    </message>
    <message>
        <source>Stop saving to this vault. Nothing in the vault is changed.</source>
        <translation>Nicht mehr in diesem Vault speichern. Im Vault wird nichts verändert.</translation>
    </message>
    <message>
        <source>Use iCloud Obsidian Vault</source>
        <translation>iCloud-Obsidian-Vault verwenden</translation>
    </message>
    <message>
        <source>When saving to Obsidian:</source>
        <translation>Beim Speichern in Obsidian:</translation>
    </message>
    <message>
        <source>When off, only items saved with “Save to Obsidian” go into the vault.</source>
        <translation>Wenn aus, kommen nur mit „In Obsidian speichern“ gesicherte Einträge in den Vault.</translation>
    </message>
    <message>
        <source>Items saved as new notes go into a “Quillstow” folder inside your vault.</source>
        <translation>Als neue Notizen gespeicherte Einträge landen in einem Ordner „Quillstow“ in Ihrem Vault.</translation>
    </message>
    <message>
        <source>Vault Location</source>
        <translation>Ort des Vaults</translation>
    </message>
    <message>
        <source>Save Mode</source>
        <translation>Speicherart</translation>
    </message>
    <message>
        <source>Notes Folder</source>
        <translation>Notizordner</translation>
    </message>
    <message>
        <source>Not configured</source>
        <translation>Nicht eingerichtet</translation>
    </message>
</context>
<context>
    <name>quillstow::PasteSequence</name>
    <message>
        <source>Content copied — press Ctrl+V to paste. (Grant Accessibility for auto-paste)</source>
        <translation>Inhalt kopiert – zum Einfügen Strg+V drücken. (Für automatisches Einfügen Barrierefreiheit erlauben)</translation>
    </message>
    <message>
        <source>Content copied — press Ctrl+V to paste. (This desktop offers Quillstow no virtual keyboard to paste for you.)</source>
        <translation>Inhalt kopiert – zum Einfügen Strg+V drücken. (Dieser Desktop bietet Quillstow keine virtuelle Tastatur zum automatischen Einfügen.)</translation>
    </message>
</context>
<context>
    <name>quillstow::PopupView</name>
    <message>
        <source>Clipboard history</source>
        <translation>Zwischenablage-Verlauf</translation>
    </message>
    <message>
        <source>Search clipboard history…</source>
        <translation>Zwischenablage-Verlauf durchsuchen…</translation>
    </message>
    <message>
        <source>Search clipboard history</source>
        <translation>Zwischenablage-Verlauf durchsuchen</translation>
    </message>
    <message>
        <source>Clear search</source>
        <translation>Suche leeren</translation>
    </message>
    <message>
        <source>History size</source>
        <translation>Größe des Verlaufs</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Clear history</source>
        <translation>Verlauf leeren</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Open settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Quit Quillstow</source>
        <translation>Quillstow beenden</translation>
    </message>
    <message>
        <source>Save Failed</source>
        <translation>Speichern fehlgeschlagen</translation>
    </message>
    <message>
        <source>No clipboard history yet</source>
        <translation>Noch kein Zwischenablage-Verlauf</translation>
    </message>
    <message>
        <source>No results for &quot;%1&quot;</source>
        <translation>Keine Treffer für „%1“</translation>
    </message>
</context>
<context>
    <name>quillstow::SettingsView</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
</context>
<context>
    <name>quillstow::StatusBarController</name>
    <message>
        <source>Open Quillstow</source>
        <translation>Quillstow öffnen</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Quillstow Settings</source>
        <translation>Quillstow – Einstellungen</translation>
    </message>
</context>
</TS>
