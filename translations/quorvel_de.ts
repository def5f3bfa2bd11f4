<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CheckSummary</name>
    <message>
        <source>Checked %1 links: %2</source>
        <extracomment>%1 is the number of checked links, %2 the list of &quot;count word&quot; parts.</extracomment>
        <translation>Links geprüft: %1 (%2)</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorieren</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>No to All</source>
        <translation>Nein, keine</translation>
    </message>
    <message>
        <source>Yes to All</source>
        <translation>Ja, alle</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>TAppForm</name>
    <message>
        <source>URL:</source>
        <translation>URL:</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Prüfen</translation>
    </message>
    <message>
        <source>Show Options</source>
        <translation>Optionen anzeigen</translation>
    </message>
    <message>
        <source>URL Base:</source>
        <translation>URL-Basis:</translation>
    </message>
    <message>
        <source>Outside of URL base will be regarded as external</source>
        <translation>Alles außerhalb der URL-Basis gilt als extern</translation>
    </message>
    <message>
        <source>Domain Name</source>
        <translation>Domainname</translation>
    </message>
    <message>
        <source>Subdomain Name</source>
        <translation>Subdomainname</translation>
    </message>
    <message>
        <source>Connection Timeout (ms):</source>
        <translation>Verbindungs-Zeitlimit (ms):</translation>
    </message>
    <message>
        <source>Response Timeout (ms):</source>
        <translation>Antwort-Zeitlimit (ms):</translation>
    </message>
    <message>
        <source>Parallel checks:</source>
        <translation>Parallele Prüfungen:</translation>
    </message>
    <message>
        <source>Per host:</source>
        <translation>Pro Host:</translation>
    </message>
    <message>
        <source>Requests in flight to one host at once</source>
        <translation>Höchstzahl gleichzeitiger Anfragen an einen Host</translation>
    </message>
    <message>
        <source>Agent:</source>
        <translation>User-Agent:</translation>
    </message>
    <message>
        <source>Ignore Extensions:</source>
        <translation>Dateiendungen ignorieren:</translation>
    </message>
    <message>
        <source>Remove # Anchors</source>
        <translation>#-Anker entfernen</translation>
    </message>
    <message>
        <source>Only Use HTTP HEAD for Broken Link Check (Faster)</source>
        <translation>Defekte Links nur mit HTTP HEAD prüfen (schneller)</translation>
    </message>
    <message>
        <source>Ignore URLs:</source>
        <translation>URLs ignorieren:</translation>
    </message>
    <message>
        <source>Problems only</source>
        <translation>Nur Probleme</translation>
    </message>
    <message>
        <source>Show only the links whose check found a problem: broken, blocked, rate-limited, timed out, unreachable or a missing fragment</source>
        <translation>Nur die Links zeigen, bei deren Prüfung ein Problem auftrat: defekt, blockiert, gedrosselt, Zeitüberschreitung, nicht erreichbar oder fehlender Anker</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Export to File</source>
        <translation>In Datei exportieren</translation>
    </message>
    <message>
        <source>Check Broken Links</source>
        <translation>Defekte Links prüfen</translation>
    </message>
    <message>
        <source>Send Feedback...</source>
        <translation>Feedback senden...</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
</context>
<context>
    <name>TSiteForm</name>
    <message>
        <source>Crawl Site</source>
        <translation>Website crawlen</translation>
    </message>
    <message>
        <source>Start:</source>
        <translation>Start:</translation>
    </message>
    <message>
        <source>Depth:</source>
        <translation>Tiefe:</translation>
    </message>
    <message>
        <source>Max pages:</source>
        <translation>Max. Seiten:</translation>
    </message>
    <message>
        <source>Respect robots.txt</source>
        <translation>robots.txt beachten</translation>
    </message>
    <message>
        <source>Use the sitemap</source>
        <translation>Sitemap verwenden</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Problems</source>
        <translation>Probleme</translation>
    </message>
    <message>
        <source>Verdict:</source>
        <translation>Befund:</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>Suchen:</translation>
    </message>
    <message>
        <source>Page, link, anchor text or error</source>
        <translation>Seite, Link, Ankertext oder Fehler</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>Links by verdict</source>
        <translation>Links nach Befund</translation>
    </message>
    <message>
        <source>Pages by depth</source>
        <translation>Seiten nach Tiefe</translation>
    </message>
    <message>
        <source>Hosts with most problems</source>
        <translation>Hosts mit den meisten Problemen</translation>
    </message>
    <message>
        <source>Changes since the last crawl</source>
        <translation>Änderungen seit dem letzten Crawl</translation>
    </message>
</context>
<context>
    <name>Verdict</name>
    <message>
        <source>ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>redirected</source>
        <translation>umgeleitet</translation>
    </message>
    <message>
        <source>broken</source>
        <translation>defekt</translation>
    </message>
    <message>
        <source>blocked</source>
        <translation>blockiert</translation>
    </message>
    <message>
        <source>rate-limited</source>
        <translation>gedrosselt</translation>
    </message>
    <message>
        <source>timeout</source>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <source>unreachable</source>
        <translation>nicht erreichbar</translation>
    </message>
    <message>
        <source>fragment-missing</source>
        <translation>Anker fehlt</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>übersprungen</translation>
    </message>
</context>
<context>
    <name>WebTools</name>
    <message>
        <source>Check Index</source>
        <translation>Index prüfen</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Domain IP List</source>
        <translation>Domains auf derselben IP</translation>
    </message>
    <message>
        <source>Check HTML with W3C Validator</source>
        <translation>HTML mit dem W3C-Validator prüfen</translation>
    </message>
</context>
<context>
    <name>quorvel::ExportFileDialog</name>
    <message>
        <source>CSV File (*.csv)</source>
        <translation>CSV-Datei (*.csv)</translation>
    </message>
    <message>
        <source>Text File (*.txt)</source>
        <translation>Textdatei (*.txt)</translation>
    </message>
</context>
<context>
    <name>quorvel::TAboutBox</name>
    <message>
        <source>About %s</source>
        <translation>Über %s</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Acknowledgements...</source>
        <translation>Danksagungen...</translation>
    </message>
    <message>
        <source>How to uninstall...</source>
        <translation>Deinstallation...</translation>
    </message>
    <message>
        <source>License...</source>
        <translation>Lizenz...</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Lizenz</translation>
    </message>
    <message>
        <source>File not found!</source>
        <translation>Datei nicht gefunden!</translation>
    </message>
</context>
<context>
    <name>quorvel::TAnalyzeForm</name>
    <message>
        <source>Analyze URL</source>
        <translation>URL analysieren</translation>
    </message>
    <message>
        <source>Analyze</source>
        <translation>Analyse</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Bilder</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelltext</translation>
    </message>
    <message>
        <source>URL:</source>
        <translation>URL:</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Description:</source>
        <translation>Beschreibung:</translation>
    </message>
    <message>
        <source>H1:</source>
        <translation>H1:</translation>
    </message>
    <message>
        <source>H2:</source>
        <translation>H2:</translation>
    </message>
    <message>
        <source>H3:</source>
        <translation>H3:</translation>
    </message>
    <message>
        <source>   Contents:</source>
        <translation>   Inhalt:</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
</context>
<context>
    <name>quorvel::TNewVer</name>
    <message>
        <source>UPDATE AVAILABLE</source>
        <translation>UPDATE VERFÜGBAR</translation>
    </message>
    <message>
        <source>Click to download</source>
        <translation>Herunterladen:</translation>
    </message>
</context>
</TS>
