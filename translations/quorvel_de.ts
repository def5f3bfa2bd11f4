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
    <name>LayoutStore</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Unreadable file %1</source>
        <translation>Datei %1 ist nicht lesbar</translation>
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
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOPP</translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>Wird angehalten...</translation>
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
    <name>quorvel::CrawlPagesModel</name>
    <message>
        <source>URL</source>
        <translation>URL</translation>
    </message>
    <message>
        <source>Depth</source>
        <translation>Tiefe</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Befund</translation>
    </message>
    <message>
        <source>Links</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Inlinks</source>
        <translation>Eingehende Links</translation>
    </message>
</context>
<context>
    <name>quorvel::CrawlStoreReader</name>
    <message>
        <source>&quot;%1&quot; holds no crawl yet</source>
        <translation>„%1“ enthält noch keinen Crawl</translation>
    </message>
    <message>
        <source>The store could not be opened</source>
        <translation>Der Crawl-Speicher konnte nicht geöffnet werden</translation>
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
    <name>quorvel::ProblemsModel</name>
    <message>
        <source>Page</source>
        <translation>Seite</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Anchor Text</source>
        <translation>Ankertext</translation>
    </message>
    <message>
        <source>HTTP Response</source>
        <translation>HTTP-Antwort</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Befund</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
</context>
<context>
    <name>quorvel::ResultsModel</name>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Anchor Text</source>
        <translation>Ankertext</translation>
    </message>
    <message>
        <source>HTTP Response</source>
        <translation>HTTP-Antwort</translation>
    </message>
    <message>
        <source>Response Time (ms)</source>
        <translation>Antwortzeit (ms)</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>Befund</translation>
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
    <name>quorvel::TAppForm</name>
    <message>
        <source>Show only the links whose address or anchor text holds this text (Esc clears)</source>
        <translation>Nur die Links zeigen, deren Adresse oder Ankertext diesen Text enthält (Esc leert das Feld)</translation>
    </message>
    <message>
        <source>Copy All</source>
        <translation>Alles kopieren</translation>
    </message>
    <message>
        <source>This deletes the saved options, the URL history and the remembered window layout (size and position, column widths, sort order and splitter positions).</source>
        <translation>Dies löscht die gespeicherten Optionen, den URL-Verlauf und das gemerkte Fensterlayout (Größe und Position, Spaltenbreiten, Sortierung und Teilerpositionen).</translation>
    </message>
    <message>
        <source>Go to URL...</source>
        <translation>URL öffnen...</translation>
    </message>
    <message>
        <source>Copy URL</source>
        <translation>URL kopieren</translation>
    </message>
    <message>
        <source>Copy Anchor Text</source>
        <translation>Ankertext kopieren</translation>
    </message>
    <message>
        <source>Analyze URL...</source>
        <translation>URL analysieren...</translation>
    </message>
    <message>
        <source>Crawl Site...</source>
        <translation>Website crawlen...</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Load File...</source>
        <translation>Datei &amp;laden...</translation>
    </message>
    <message>
        <source>Enter &amp;URL</source>
        <translation>&amp;URL eingeben</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Results</source>
        <translation>&amp;Ergebnisse</translation>
    </message>
    <message>
        <source>&amp;Check</source>
        <translation>&amp;Prüfen</translation>
    </message>
    <message>
        <source>&amp;Find...</source>
        <translation>&amp;Suchen...</translation>
    </message>
    <message>
        <source>Find &amp;Next</source>
        <translation>&amp;Weitersuchen</translation>
    </message>
    <message>
        <source>&amp;Export to File...</source>
        <translation>In Datei &amp;exportieren...</translation>
    </message>
    <message>
        <source>Check &amp;Broken Links</source>
        <translation>&amp;Defekte Links prüfen</translation>
    </message>
    <message>
        <source>&amp;Problems only</source>
        <translation>Nur Pro&amp;bleme</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <source>&amp;Crawl Site...</source>
        <translation>Website &amp;crawlen...</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <translation>Ein&amp;stellungen</translation>
    </message>
    <message>
        <source>&amp;Reset to Defaults...</source>
        <translation>Auf &amp;Standardwerte zurücksetzen...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Online &amp;Help</source>
        <translation>Online-&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Update Notifications</source>
        <translation>&amp;Update-Benachrichtigungen</translation>
    </message>
    <message>
        <source>Send &amp;Feedback...</source>
        <translation>&amp;Feedback senden...</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>Ü&amp;ber...</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>HTML File (*.htm*);;Any File (*)</source>
        <translation>HTML-Datei (*.htm*);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Please enter URL!</source>
        <translation>Bitte eine URL eingeben!</translation>
    </message>
    <message>
        <source>Total Links: %1</source>
        <translation>Links gesamt: %1</translation>
    </message>
    <message>
        <source>Loading: %1</source>
        <translation>Lade: %1</translation>
    </message>
    <message>
        <source>Could not load: %1</source>
        <translation>Laden fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Checking Broken Links...</source>
        <translation>Prüfe auf defekte Links...</translation>
    </message>
    <message>
        <source> (showing %1)</source>
        <translation> (%1 angezeigt)</translation>
    </message>
    <message>
        <source>%1/%2 checked</source>
        <translation>%1/%2 geprüft</translation>
    </message>
    <message>
        <source>Restart Application?</source>
        <translation>Anwendung neu starten?</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Bestätigung</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>quorvel::TFeedbackForm</name>
    <message>
        <source>feedback</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>I like it!</source>
        <translation>Gefällt mir!</translation>
    </message>
    <message>
        <source>I dislike it!</source>
        <translation>Gefällt mir nicht!</translation>
    </message>
    <message>
        <source>We would really appreciate your feedback.</source>
        <translation>Wir freuen uns sehr über Ihre Rückmeldung.</translation>
    </message>
    <message>
        <source>What did you like or dislike?</source>
        <translation>Was hat Ihnen gefallen oder nicht gefallen?</translation>
    </message>
    <message>
        <source>Include my e-mail:</source>
        <translation>Meine E-Mail-Adresse mitsenden:</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Failure</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Invalid e-mail address!</source>
        <translation>Ungültige E-Mail-Adresse!</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Erfolg</translation>
    </message>
    <message>
        <source>Your feedback is received.</source>
        <translation>Ihre Rückmeldung ist angekommen.</translation>
    </message>
    <message>
        <source>Thank you!</source>
        <translation>Vielen Dank!</translation>
    </message>
    <message>
        <source>Something went wrong. Your feedback could not be delivered.</source>
        <translation>Etwas ist schiefgegangen. Ihre Rückmeldung konnte nicht übermittelt werden.</translation>
    </message>
    <message>
        <source>Please try again later.</source>
        <translation>Bitte versuchen Sie es später noch einmal.</translation>
    </message>
</context>
<context>
    <name>quorvel::TFindDialog</name>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Find what:</source>
        <translation>Suchen nach:</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>Weitersuchen</translation>
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
<context>
    <name>quorvel::TSiteForm</name>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOPP</translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>Wird angehalten...</translation>
    </message>
    <message>
        <source>Crawl Site - %1</source>
        <translation>Website crawlen - %1</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Please enter URL!</source>
        <translation>Bitte eine URL eingeben!</translation>
    </message>
    <message>
        <source>Crawl Site</source>
        <translation>Website crawlen</translation>
    </message>
    <message>
        <source>A crawl takes an http or https address: &quot;%1&quot;</source>
        <translation>Ein Crawl braucht eine http- oder https-Adresse: „%1“</translation>
    </message>
    <message>
        <source>Opening %1</source>
        <translation>Öffne %1</translation>
    </message>
    <message>
        <source>Starting...</source>
        <translation>Wird gestartet...</translation>
    </message>
    <message>
        <source>Crawling %1</source>
        <translation>Crawle %1</translation>
    </message>
    <message>
        <source>Pages %1 / %2 found, links %3 checked / %4 distinct, %5 links/s, %6 elapsed</source>
        <translation>Seiten %1 / %2 gefunden, Links %3 geprüft / %4 verschieden, %5 Links/s, %6 vergangen</translation>
    </message>
    <message>
        <source>Stopped: the %1 pages finished are kept</source>
        <translation>Angehalten: die %1 fertigen Seiten bleiben erhalten</translation>
    </message>
    <message>
        <source>Crawled %1 pages; %2 orphans</source>
        <translation>%1 Seiten gecrawlt; %2 verwaiste</translation>
    </message>
    <message>
        <source>The crawl was not recorded whole: %1</source>
        <translation>Der Crawl wurde nicht vollständig gespeichert: %1</translation>
    </message>
    <message>
        <source>HTML (*.html);;JUnit XML (*.xml);;SARIF (*.sarif);;Markdown (*.md);;CSV (*.csv)</source>
        <translation>HTML (*.html);;JUnit-XML (*.xml);;SARIF (*.sarif);;Markdown (*.md);;CSV (*.csv)</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Recent Crawls</source>
        <translation>Letzte Crawls</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Ergebnisse</translation>
    </message>
    <message>
        <source>Go to URL...</source>
        <translation>URL öffnen...</translation>
    </message>
    <message>
        <source>Copy URL</source>
        <translation>URL kopieren</translation>
    </message>
    <message>
        <source>Copy Anchor Text</source>
        <translation>Ankertext kopieren</translation>
    </message>
    <message>
        <source>Analyze URL...</source>
        <translation>URL analysieren...</translation>
    </message>
    <message>
        <source>%1  %2  (%3 pages)</source>
        <translation>%1  %2  (%3 Seiten)</translation>
    </message>
    <message>
        <source>, stopped</source>
        <translation>, angehalten</translation>
    </message>
    <message>
        <source>, not ended</source>
        <translation>, nicht beendet</translation>
    </message>
    <message>
        <source>No crawls yet</source>
        <translation>Noch keine Crawls</translation>
    </message>
    <message>
        <source>The store holds no such crawl</source>
        <translation>Der Crawl-Speicher enthält diesen Crawl nicht</translation>
    </message>
    <message>
        <source> (stopped)</source>
        <translation> (angehalten)</translation>
    </message>
    <message>
        <source> (never ended)</source>
        <translation> (nie beendet)</translation>
    </message>
    <message>
        <source>%1 pages recorded. %2</source>
        <translation>%1 Seiten gespeichert. %2</translation>
    </message>
    <message>
        <source>A crawl is under way</source>
        <translation>Ein Crawl läuft gerade</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a file</source>
        <translation>„%1“ ist keine Datei</translation>
    </message>
    <message>
        <source>Open Crawl</source>
        <translation>Crawl öffnen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds no crawl yet; a crawl started now is recorded there</source>
        <translation>„%1“ enthält noch keinen Crawl; ein jetzt gestarteter Crawl wird dort gespeichert</translation>
    </message>
    <message>
        <source>Crawl store (*.sqlite *.db);;Any File (*)</source>
        <translation>Crawl-Speicher (*.sqlite *.db);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Save Report</source>
        <translation>Bericht speichern</translation>
    </message>
    <message>
        <source>There is no recorded crawl to report yet</source>
        <translation>Es gibt noch keinen gespeicherten Crawl für einen Bericht</translation>
    </message>
    <message>
        <source>A report is being saved already</source>
        <translation>Ein Bericht wird bereits gespeichert</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names no report format: end it in .html, .xml, .sarif, .md or .csv</source>
        <translation>„%1“ nennt kein Berichtsformat: Endung .html, .xml, .sarif, .md oder .csv verwenden</translation>
    </message>
    <message>
        <source>Saving %1</source>
        <translation>Speichere %1</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 gespeichert</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>All problems</source>
        <translation>Alle Probleme</translation>
    </message>
    <message>
        <source>%1 of %2 problems shown</source>
        <translation>%1 von %2 Problemen angezeigt</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Seiten</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>Zeilen</translation>
    </message>
    <message>
        <source>Distinct links</source>
        <translation>Verschiedene Links</translation>
    </message>
    <message>
        <source>Links</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Of</source>
        <translation>Art</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>Anzahl</translation>
    </message>
    <message>
        <source>No earlier crawl of this start address to compare with</source>
        <translation>Kein früherer Crawl dieser Startadresse zum Vergleich</translation>
    </message>
    <message>
        <source>Since the crawl of %1: %2 newly broken, %3 fixed</source>
        <translation>Seit dem Crawl vom %1: %2 neu defekt, %3 behoben</translation>
    </message>
    <message>
        <source>new broken</source>
        <translation>neu defekt</translation>
    </message>
    <message>
        <source>fixed</source>
        <translation>behoben</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Änderung</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Depth</source>
        <translation>Tiefe</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Problems</source>
        <translation>Probleme</translation>
    </message>
    <message>
        <source>Copy All</source>
        <translation>Alles kopieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
</TS>
