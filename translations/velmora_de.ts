<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AboutBox</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>English Version 2.00.720b</source>
        <translation>Deutsche Version 2.00.720b</translation>
    </message>
    <message>
        <source>Velmora poster printer</source>
        <translation>Velmora Posterdruck</translation>
    </message>
    <message>
        <source>GPL-3.0-or-later; no warranty</source>
        <translation>GPL-3.0-or-later; ohne Gewähr</translation>
    </message>
    <message>
        <source>Release (dd.mm.yyyy) : 14.01.1999</source>
        <translation>Ausgabe (tt.mm.jjjj) : 14.01.1999</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ColourProfile</name>
    <message>
        <source>grey</source>
        <translation>grau</translation>
    </message>
    <message>
        <source>RGB</source>
        <translation>RGB</translation>
    </message>
    <message>
        <source>CMYK</source>
        <translation>CMYK</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
</context>
<context>
    <name>CupsJob</name>
    <message>
        <source>no answer</source>
        <translation>keine Antwort</translation>
    </message>
    <message>
        <source>the print scheduler (%1) cannot be reached: %2</source>
        <translation>der Druckdienst (%1) ist nicht erreichbar: %2</translation>
    </message>
    <message>
        <source>The print job was interrupted.</source>
        <translation>Der Druckauftrag wurde abgebrochen.</translation>
    </message>
    <message>
        <source>the print scheduler (%1) did not answer for %2 s</source>
        <translation>der Druckdienst (%1) hat %2 s lang nicht geantwortet</translation>
    </message>
    <message>
        <source>the print scheduler (%1) did not answer: %2</source>
        <translation>der Druckdienst (%1) hat nicht geantwortet: %2</translation>
    </message>
    <message>
        <source>The printer did not accept the job.</source>
        <translation>Der Drucker hat den Auftrag nicht angenommen.</translation>
    </message>
    <message>
        <source>The printer did not take the document.</source>
        <translation>Der Drucker hat das Dokument nicht übernommen.</translation>
    </message>
    <message>
        <source>The document could not be read back: %1</source>
        <translation>Das Dokument konnte nicht zurückgelesen werden: %1</translation>
    </message>
    <message>
        <source>The document could not be sent to the printer.</source>
        <translation>Das Dokument konnte nicht an den Drucker gesendet werden.</translation>
    </message>
    <message>
        <source>The printer did not accept the document.</source>
        <translation>Der Drucker hat das Dokument nicht angenommen.</translation>
    </message>
    <message>
        <source>The print scheduler did not tell the job&apos;s state.</source>
        <translation>Der Druckdienst hat den Zustand des Auftrags nicht mitgeteilt.</translation>
    </message>
    <message>
        <source>queued</source>
        <translation>eingereiht</translation>
    </message>
    <message>
        <source>completed</source>
        <translation>abgeschlossen</translation>
    </message>
    <message>
        <source>aborted</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>storniert</translation>
    </message>
</context>
<context>
    <name>CurrentPrinter</name>
    <message>
        <source>No printer available</source>
        <translation>Kein Drucker verfügbar</translation>
    </message>
    <message>
        <source>PDF file: </source>
        <translation>PDF-Datei: </translation>
    </message>
    <message>
        <source>Printer: </source>
        <translation>Drucker: </translation>
    </message>
</context>
<context>
    <name>DrawingRender</name>
    <message>
        <source>The renderer sent data this program can&apos;t read.</source>
        <translation>Der Renderer hat Daten gesendet, die dieses Programm nicht lesen kann.</translation>
    </message>
    <message>
        <source>The drawing took longer than %1 %2 and was given up.</source>
        <translation>Die Zeichnung brauchte länger als %1 %2 und wurde aufgegeben.</translation>
    </message>
    <message>
        <source>second</source>
        <translation>Sekunde</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>The drawing could not be handed to the renderer (%1).</source>
        <translation>Die Zeichnung konnte dem Renderer nicht übergeben werden (%1).</translation>
    </message>
    <message>
        <source>The drawing renderer %1 is missing.</source>
        <translation>Der Zeichnungsrenderer %1 fehlt.</translation>
    </message>
    <message>
        <source>The drawing renderer could not be started (%1).</source>
        <translation>Der Zeichnungsrenderer konnte nicht gestartet werden (%1).</translation>
    </message>
    <message>
        <source>The renderer could not be heard (%1).</source>
        <translation>Der Renderer war nicht zu hören (%1).</translation>
    </message>
    <message>
        <source>The renderer stopped unexpectedly (it ended without an answer).</source>
        <translation>Der Renderer wurde unerwartet beendet (er endete ohne Antwort).</translation>
    </message>
    <message>
        <source>The renderer stopped unexpectedly (it took no request).</source>
        <translation>Der Renderer wurde unerwartet beendet (er nahm keine Anfrage an).</translation>
    </message>
    <message>
        <source>A rendering of %1 x %2 pixels is larger than a picture may be.</source>
        <translation>Eine Darstellung von %1 x %2 Pixeln ist größer, als ein Bild sein darf.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>The file is larger than %1 MB.</source>
        <translation>Die Datei ist größer als %1 MB.</translation>
    </message>
    <message>
        <source>There is not enough memory for the drawing.</source>
        <translation>Für die Zeichnung ist nicht genug Speicher da.</translation>
    </message>
    <message>
        <source>The part to render lies outside the page.</source>
        <translation>Der darzustellende Teil liegt außerhalb der Seite.</translation>
    </message>
    <message>
        <source>A rendering of %1 x %2 pixels needs %3 MB of memory, and %4 MB are available.</source>
        <translation>Eine Darstellung von %1 x %2 Pixeln braucht %3 MB Speicher, und %4 MB sind verfügbar.</translation>
    </message>
    <message>
        <source>renderer</source>
        <translation>Renderer</translation>
    </message>
</context>
<context>
    <name>DrawingSource</name>
    <message>
        <source>the page has no size</source>
        <translation>die Seite hat keine Größe</translation>
    </message>
    <message>
        <source>too large: a drawing may have at most %1 MB</source>
        <translation>zu groß: eine Zeichnung darf höchstens %1 MB haben</translation>
    </message>
    <message>
        <source>has no page %1; a drawing has one</source>
        <translation>hat keine Seite %1; eine Zeichnung hat eine</translation>
    </message>
    <message>
        <source>The part to render lies outside the picture.</source>
        <translation>Der darzustellende Teil liegt außerhalb des Bildes.</translation>
    </message>
    <message>
        <source>Not enough memory to turn the rendering.</source>
        <translation>Nicht genug Speicher, um die Darstellung zu drehen.</translation>
    </message>
</context>
<context>
    <name>FinishedSize</name>
    <message>
        <source>%1 x %2 cm (%3 x %4 in)</source>
        <translation>%1 x %2 cm (%3 x %4 in)</translation>
    </message>
    <message>
        <source>vectors, sharp at any size; its images from %1 ppi</source>
        <translation>Vektoren, scharf in jeder Größe; ihre Bilder ab %1 ppi</translation>
    </message>
    <message>
        <source>under 1</source>
        <translation>unter 1</translation>
    </message>
    <message>
        <source>vectors, sharp at any size</source>
        <translation>Vektoren, scharf in jeder Größe</translation>
    </message>
    <message>
        <source>the print will look very coarse</source>
        <translation>der Druck wird sehr grob</translation>
    </message>
    <message>
        <source>the print will look coarse</source>
        <translation>der Druck wird grob</translation>
    </message>
    <message>
        <source>printed as a dot screen</source>
        <translation>als Punktraster gedruckt</translation>
    </message>
    <message>
        <source>printed smooth</source>
        <translation>glatt gedruckt</translation>
    </message>
    <message>
        <source>the print will look very coarse: try Smooth enlargement</source>
        <translation>der Druck wird sehr grob: Glatte Vergrößerung hilft</translation>
    </message>
    <message>
        <source>the print will look coarse: try Smooth enlargement</source>
        <translation>der Druck wird grob: Glatte Vergrößerung hilft</translation>
    </message>
</context>
<context>
    <name>HKForm</name>
    <message>
        <source>Brightness and Contrast</source>
        <translation>Helligkeit und Kontrast</translation>
    </message>
    <message>
        <source>Brightness:</source>
        <translation>Helligkeit:</translation>
    </message>
    <message>
        <source>Contrast:</source>
        <translation>Kontrast:</translation>
    </message>
    <message>
        <source>&amp;Preview</source>
        <translation>&amp;Vorschau</translation>
    </message>
    <message>
        <source>&amp;Set back</source>
        <translation>&amp;Zurücksetzen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>HelperProcess</name>
    <message>
        <source>The %1 stopped unexpectedly (%2).</source>
        <translation>Der %1 wurde unerwartet beendet (%2).</translation>
    </message>
    <message>
        <source>The %1 stopped unexpectedly (exit status %2).</source>
        <translation>Der %1 wurde unerwartet beendet (Exit-Status %2).</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Load picture</source>
        <translation>Bild laden</translation>
    </message>
    <message>
        <source>Choose the directory.</source>
        <translation>Den Ordner wählen.</translation>
    </message>
    <message>
        <source>Choose the drive.</source>
        <translation>Das Laufwerk wählen.</translation>
    </message>
    <message>
        <source>Choose the picture file.</source>
        <translation>Die Bilddatei wählen.</translation>
    </message>
    <message>
        <source>Choose the type of the file.</source>
        <translation>Den Dateityp wählen.</translation>
    </message>
    <message>
        <source>Preview:</source>
        <translation>Vorschau:</translation>
    </message>
    <message>
        <source>Page of the PDF file to print.</source>
        <translation>Die zu druckende Seite der PDF-Datei.</translation>
    </message>
    <message>
        <source>Page </source>
        <translation>Seite </translation>
    </message>
    <message>
        <source>Preview of the picture.</source>
        <translation>Vorschau des Bildes.</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>Breite:</translation>
    </message>
    <message>
        <source>Width of the picture (Pixels).</source>
        <translation>Breite des Bildes (Pixel).</translation>
    </message>
    <message>
        <source>Height:</source>
        <translation>Höhe:</translation>
    </message>
    <message>
        <source>Height of the picture (pixels).</source>
        <translation>Höhe des Bildes (Pixel).</translation>
    </message>
    <message>
        <source>Colors:</source>
        <translation>Farben:</translation>
    </message>
    <message>
        <source>Number of colors in the picture.</source>
        <translation>Anzahl der Farben im Bild.</translation>
    </message>
    <message>
        <source>Scan picture</source>
        <translation>Bild scannen</translation>
    </message>
    <message>
        <source>You can scan the picture direct in this program.</source>
        <translation>Sie können das Bild direkt in diesem Programm scannen.</translation>
    </message>
    <message>
        <source>&amp;Select TWAIN-Source</source>
        <translation>TWAIN-&amp;Quelle wählen</translation>
    </message>
    <message>
        <source>Scan &amp;picture now!</source>
        <translation>Bild &amp;jetzt scannen!</translation>
    </message>
    <message>
        <source>Modify picture</source>
        <translation>Bild bearbeiten</translation>
    </message>
    <message>
        <source>Bightness and &amp;Contrast</source>
        <translation>Helligkeit und &amp;Kontrast</translation>
    </message>
    <message>
        <source>Rotate &amp;90° left</source>
        <translation>&amp;90° nach links drehen</translation>
    </message>
    <message>
        <source>Rotate 9&amp;0° right</source>
        <translation>9&amp;0° nach rechts drehen</translation>
    </message>
    <message>
        <source>&amp;Mirror</source>
        <translation>&amp;Spiegeln</translation>
    </message>
    <message>
        <source>&amp;Filp</source>
        <translation>K&amp;ippen</translation>
    </message>
    <message>
        <source>&amp;Cut to selection</source>
        <translation>Auf Auswahl &amp;zuschneiden</translation>
    </message>
    <message>
        <source>&amp;Save picture as...</source>
        <translation>Bild speichern &amp;unter...</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Papierformat</source>
        <translation>Papierformat</translation>
    </message>
    <message>
        <source>Paper size:</source>
        <translation>Papiergröße:</translation>
    </message>
    <message>
        <source>Top edge:</source>
        <translation>Rand oben:</translation>
    </message>
    <message>
        <source>Left edge:</source>
        <translation>Rand links:</translation>
    </message>
    <message>
        <source>Right edge:</source>
        <translation>Rand rechts:</translation>
    </message>
    <message>
        <source>Bottom edge:</source>
        <translation>Rand unten:</translation>
    </message>
    <message>
        <source>One sheet with a 10 cm and a 4 inch ruler: measure them to see that the printer prints at 100 %</source>
        <translation>Ein Blatt mit einem Lineal von 10 cm und einem von 4 Zoll: Nachmessen zeigt, ob der Drucker mit 100 % druckt</translation>
    </message>
    <message>
        <source>Print a &amp;test
page</source>
        <translation>&amp;Testseite
drucken</translation>
    </message>
    <message>
        <source>Printer &amp;setup...</source>
        <translation>Drucker &amp;einrichten...</translation>
    </message>
    <message>
        <source>Helplines</source>
        <translation>Hilfslinien</translation>
    </message>
    <message>
        <source>Cut help lines</source>
        <translation>Schnittlinien</translation>
    </message>
    <message>
        <source>Clue lines</source>
        <translation>Klebelinien</translation>
    </message>
    <message>
        <source>No lines on the poster edge</source>
        <translation>Keine Linien am Posterrand</translation>
    </message>
    <message>
        <source>Print options</source>
        <translation>Druckoptionen</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Zentrieren</translation>
    </message>
    <message>
        <source>Use full pages</source>
        <translation>Ganze Seiten</translation>
    </message>
    <message>
        <source>Aspect ratio</source>
        <translation>Seitenverhältnis</translation>
    </message>
    <message>
        <source>Maintain aspect ratio</source>
        <translation>Seitenverhältnis beibehalten</translation>
    </message>
    <message>
        <source>Edge for glue</source>
        <translation>Kleberand</translation>
    </message>
    <message>
        <source>Edge for glue, right in %:</source>
        <translation>Kleberand rechts in %:</translation>
    </message>
    <message>
        <source>Edge for glue at the bottom %:</source>
        <translation>Kleberand unten in %:</translation>
    </message>
    <message>
        <source>Print on the edge for glue</source>
        <translation>Auf den Kleberand drucken</translation>
    </message>
    <message>
        <source>No edge for glue on the poster edge</source>
        <translation>Kein Kleberand am Posterrand</translation>
    </message>
    <message>
        <source>Print size</source>
        <translation>Druckgröße</translation>
    </message>
    <message>
        <source>Poster si&amp;ze in:</source>
        <translation>Postergröße &amp;in:</translation>
    </message>
    <message>
        <source>inches</source>
        <translation>Zoll</translation>
    </message>
    <message>
        <source>The finished poster&apos;s width</source>
        <translation>Die Breite des fertigen Posters</translation>
    </message>
    <message>
        <source>The finished poster&apos;s height</source>
        <translation>Die Höhe des fertigen Posters</translation>
    </message>
    <message>
        <source>Width in pages:</source>
        <translation>Breite in Seiten:</translation>
    </message>
    <message>
        <source>Height in pages:</source>
        <translation>Höhe in Seiten:</translation>
    </message>
    <message>
        <source>Increment:</source>
        <translation>Schrittweite:</translation>
    </message>
    <message>
        <source>Show edge for glue</source>
        <translation>Kleberand zeigen</translation>
    </message>
    <message>
        <source>Shows preview; without helplines;  click-&gt;page on/off</source>
        <translation>Zeigt die Vorschau; ohne Hilfslinien;  Klick-&gt;Seite an/aus</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>How to print</source>
        <translation>Reihenfolge</translation>
    </message>
    <message>
        <source>Row per row from the top to the bottom</source>
        <translation>Zeile für Zeile von oben nach unten</translation>
    </message>
    <message>
        <source>Column per column from left to the right</source>
        <translation>Spalte für Spalte von links nach rechts</translation>
    </message>
    <message>
        <source>What to print</source>
        <translation>Umfang</translation>
    </message>
    <message>
        <source>All pages</source>
        <translation>Alle Seiten</translation>
    </message>
    <message>
        <source>Not the pages which are clicked off</source>
        <translation>Ohne die abgewählten Seiten</translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation>&amp;Drucken</translation>
    </message>
    <message>
        <source>Send data:</source>
        <translation>Daten senden:</translation>
    </message>
    <message>
        <source>Each sheet carries its place (A1 is top left), page N of M and the poster&apos;s size, where the glued poster hides it</source>
        <translation>Jedes Blatt trägt seinen Platz (A1 ist oben links), Seite N von M und die Postergröße, wo das geklebte Poster es verdeckt</translation>
    </message>
    <message>
        <source>Page &amp;labels</source>
        <translation>Beschri&amp;ftung</translation>
    </message>
    <message>
        <source>One sheet before the poster&apos;s pages: the grid of pages over the picture, the pages left out and how the sheets go together</source>
        <translation>Ein Blatt vor den Seiten des Posters: das Raster der Seiten über dem Bild, die ausgelassenen Seiten und wie die Blätter zusammengehören</translation>
    </message>
    <message>
        <source>Assembl&amp;y sheet</source>
        <translation>&amp;Montageblatt</translation>
    </message>
    <message>
        <source>Smooth enlargement</source>
        <translation>Glatte Vergrößerung</translation>
    </message>
    <message>
        <source>A picture the poster enlarges prints smooth instead of in blocks of its pixels</source>
        <translation>Ein Bild, das das Poster vergrößert, wird glatt gedruckt statt in Blöcken seiner Pixel</translation>
    </message>
    <message>
        <source>Dot screen</source>
        <translation>Punktraster</translation>
    </message>
    <message>
        <source>The picture prints as dots, each as large as the picture under it is dark</source>
        <translation>Das Bild wird als Punkte gedruckt, jeder so groß, wie das Bild darunter dunkel ist</translation>
    </message>
    <message>
        <source>The distance of the dots on the poster</source>
        <translation>Der Abstand der Punkte auf dem Poster</translation>
    </message>
    <message>
        <source>Colour</source>
        <translation>Farbig</translation>
    </message>
    <message>
        <source>The dots take the colour of the picture under them instead of black</source>
        <translation>Die Punkte nehmen die Farbe des Bildes darunter an statt Schwarz</translation>
    </message>
    <message>
        <source>&amp;About the program</source>
        <translation>&amp;Über das Programm</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Click here to get help.</source>
        <translation>Hier klicken für Hilfe.</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Click here to quit.</source>
        <translation>Hier klicken zum Beenden.</translation>
    </message>
</context>
<context>
    <name>PageLabels</name>
    <message>
        <source>  page %1 of %2</source>
        <translation>  Seite %1 von %2</translation>
    </message>
    <message>
        <source>  poster %1 x %2 cm</source>
        <translation>  Poster %1 x %2 cm</translation>
    </message>
    <message>
        <source>Assembly: %1 x %2 pages</source>
        <translation>Zusammenbau: %1 x %2 Seiten</translation>
    </message>
    <message>
        <source>Left out: </source>
        <translation>Ausgelassen: </translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Glue: lay each sheet&apos;s right strip under the sheet to its right and its bottom strip under the sheet below, starting with A1 at the top left.</source>
        <translation>Kleben: den rechten Streifen jedes Blatts unter das Blatt rechts daneben legen und den unteren Streifen unter das Blatt darunter, mit A1 oben links beginnend.</translation>
    </message>
    <message>
        <source>No glue strips: trim each sheet at its cut lines and butt the edges together, A1 at the top left.</source>
        <translation>Keine Klebestreifen: jedes Blatt an seinen Schnittlinien beschneiden und die Kanten stumpf aneinanderlegen, A1 oben links.</translation>
    </message>
    <message>
        <source>left out</source>
        <translation>ausgelassen</translation>
    </message>
</context>
<context>
    <name>PictureOrientation</name>
    <message>
        <source>stored upright</source>
        <translation>aufrecht gespeichert</translation>
    </message>
    <message>
        <source>mirrored on load</source>
        <translation>beim Laden gespiegelt</translation>
    </message>
    <message>
        <source>turned half round on load</source>
        <translation>beim Laden halb herum gedreht</translation>
    </message>
    <message>
        <source>flipped on load</source>
        <translation>beim Laden gekippt</translation>
    </message>
    <message>
        <source>turned right and mirrored on load</source>
        <translation>beim Laden nach rechts gedreht und gespiegelt</translation>
    </message>
    <message>
        <source>turned right on load</source>
        <translation>beim Laden nach rechts gedreht</translation>
    </message>
    <message>
        <source>turned right and flipped on load</source>
        <translation>beim Laden nach rechts gedreht und gekippt</translation>
    </message>
    <message>
        <source>turned left on load</source>
        <translation>beim Laden nach links gedreht</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
</context>
<context>
    <name>PictureRead</name>
    <message>
        <source>no such file</source>
        <translation>keine solche Datei</translation>
    </message>
    <message>
        <source>a folder, not a picture file</source>
        <translation>ein Ordner, keine Bilddatei</translation>
    </message>
    <message>
        <source>not readable: %1</source>
        <translation>nicht lesbar: %1</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>an empty file, not a picture</source>
        <translation>eine leere Datei, kein Bild</translation>
    </message>
    <message>
        <source>not a picture of a type Velmora reads</source>
        <translation>kein Bild eines Typs, den Velmora liest</translation>
    </message>
    <message>
        <source>damaged or cut short: %1</source>
        <translation>beschädigt oder abgeschnitten: %1</translation>
    </message>
    <message>
        <source>damaged or cut short: it claims %1 x %2 pixels, more than its %3 bytes can hold</source>
        <translation>beschädigt oder abgeschnitten: sie gibt %1 x %2 Pixel an, mehr als ihre %3 Bytes fassen können</translation>
    </message>
    <message>
        <source>damaged or cut short</source>
        <translation>beschädigt oder abgeschnitten</translation>
    </message>
    <message>
        <source>too large for the memory: its %1 are more than the %2 that can be had</source>
        <translation>zu groß für den Speicher: ihre %1 sind mehr als die %2, die zu haben sind</translation>
    </message>
    <message>
        <source>too large: it claims %1 x %2 pixels, more than the %3 pixels a picture may have</source>
        <translation>zu groß: sie gibt %1 x %2 Pixel an, mehr als die %3 Pixel, die ein Bild haben darf</translation>
    </message>
    <message>
        <source>too large for the memory: it claims %1 x %2 pixels, which need %3, and %4 can be had</source>
        <translation>zu groß für den Speicher: sie gibt %1 x %2 Pixel an, die %3 brauchen, und %4 sind zu haben</translation>
    </message>
</context>
<context>
    <name>PictureSave</name>
    <message>
        <source>no file name</source>
        <translation>kein Dateiname</translation>
    </message>
    <message>
        <source>not a type this picture can be saved as</source>
        <translation>kein Typ, als der dieses Bild gespeichert werden kann</translation>
    </message>
    <message>
        <source>the picture could not be encoded</source>
        <translation>das Bild konnte nicht kodiert werden</translation>
    </message>
</context>
<context>
    <name>PosterBatch</name>
    <message>
        <source>the scanner has no mode &quot;%1&quot; (it has %2)</source>
        <translation>der Scanner hat keinen Modus „%1“ (er hat %2)</translation>
    </message>
    <message>
        <source>the scanner has no depth of %1 bits (it has %2)</source>
        <translation>der Scanner hat keine Tiefe von %1 Bit (er hat %2)</translation>
    </message>
    <message>
        <source>the scanner has no resolution of %1 dpi (it has %2 dpi)</source>
        <translation>der Scanner hat keine Auflösung von %1 dpi (er hat %2 dpi)</translation>
    </message>
    <message>
        <source>the scanner has no resolution of %1 dpi (it has %2 to %3 dpi)</source>
        <translation>der Scanner hat keine Auflösung von %1 dpi (er hat %2 bis %3 dpi)</translation>
    </message>
    <message>
        <source>the scanner has no resolution of %1 dpi (it has %2 to %3 dpi in steps of %4)</source>
        <translation>der Scanner hat keine Auflösung von %1 dpi (er hat %2 bis %3 dpi in Schritten von %4)</translation>
    </message>
    <message>
        <source>Error: Couldn&apos;t create picture (low memory?)!</source>
        <translation>Fehler: Bild konnte nicht angelegt werden (zu wenig Speicher?)!</translation>
    </message>
    <message>
        <source>no printer named &quot;%1&quot;</source>
        <translation>kein Drucker namens „%1“</translation>
    </message>
    <message>
        <source>printer &quot;%1&quot; cannot be used</source>
        <translation>Drucker „%1“ kann nicht benutzt werden</translation>
    </message>
    <message>
        <source>no printer available</source>
        <translation>kein Drucker verfügbar</translation>
    </message>
    <message>
        <source>the printer does not take %1 paper</source>
        <translation>der Drucker nimmt kein Papier %1</translation>
    </message>
    <message>
        <source>the printer cannot turn the paper</source>
        <translation>der Drucker kann das Papier nicht drehen</translation>
    </message>
    <message>
        <source>the printer reports no printable area</source>
        <translation>der Drucker meldet keinen bedruckbaren Bereich</translation>
    </message>
    <message>
        <source>every page is left out; nothing to print</source>
        <translation>jede Seite ist ausgelassen; nichts zu drucken</translation>
    </message>
    <message>
        <source>%1: fonts not embedded, which the printer will substitute: %2</source>
        <translation>%1: Schriften nicht eingebettet, der Drucker ersetzt sie: %2</translation>
    </message>
    <message>
        <source>%1: colour profile left out: %2</source>
        <translation>%1: Farbprofil weggelassen: %2</translation>
    </message>
    <message>
        <source>--crop %1: the picture is %2 x %3 pixels</source>
        <translation>--crop %1: das Bild hat %2 x %3 Pixel</translation>
    </message>
    <message>
        <source>--resolution is for a PDF file; printer &quot;%1&quot; keeps its own</source>
        <translation>--resolution gilt für eine PDF-Datei; der Drucker „%1“ behält seine eigene</translation>
    </message>
    <message>
        <source>%1: brightness and contrast make the drawing pixels: it prints from a rendering of %2 x %3 pixels, %4 ppi on the poster</source>
        <translation>%1: Helligkeit und Kontrast machen die Zeichnung zu Pixeln: sie wird aus einer Darstellung von %2 x %3 Pixeln gedruckt, %4 ppi auf dem Poster</translation>
    </message>
    <message>
        <source>--off %1: the poster has %2 x %3 pages (columns 0 to %4, rows 0 to %5)</source>
        <translation>--off %1: das Poster hat %2 x %3 Seiten (Spalten 0 bis %4, Zeilen 0 bis %5)</translation>
    </message>
    <message>
        <source>%1: the job&apos;s end is not known: %2</source>
        <translation>%1: das Ende des Auftrags ist nicht bekannt: %2</translation>
    </message>
    <message>
        <source>%1: the job was not printed: %2</source>
        <translation>%1: der Auftrag wurde nicht gedruckt: %2</translation>
    </message>
    <message>
        <source>%1: --page is for PDF files only</source>
        <translation>%1: --page gilt nur für PDF-Dateien</translation>
    </message>
    <message>
        <source>%1: not enough memory to turn it upright</source>
        <translation>%1: nicht genug Speicher, um es aufzurichten</translation>
    </message>
    <message>
        <source>page %1 of %2</source>
        <translation>Seite %1 von %2</translation>
    </message>
    <message>
        <source>Finished size: %1</source>
        <translation>Fertige Größe: %1</translation>
    </message>
    <message>
        <source>Picture on paper: %1</source>
        <translation>Bild auf dem Papier: %1</translation>
    </message>
    <message>
        <source>Dot screen: dots %1 mm apart, in colour</source>
        <translation>Punktraster: Punkte im Abstand von %1 mm, farbig</translation>
    </message>
    <message>
        <source>Dot screen: dots %1 mm apart, black</source>
        <translation>Punktraster: Punkte im Abstand von %1 mm, schwarz</translation>
    </message>
    <message>
        <source>Printer: %1</source>
        <translation>Drucker: %1</translation>
    </message>
    <message>
        <source>Paper: %1, landscape, %2</source>
        <translation>Papier: %1, quer, %2</translation>
    </message>
    <message>
        <source>Paper: %1, portrait, %2</source>
        <translation>Papier: %1, hoch, %2</translation>
    </message>
    <message>
        <source>Margins: top %1, left %2, right %3, bottom %4</source>
        <translation>Ränder: oben %1, links %2, rechts %3, unten %4</translation>
    </message>
    <message>
        <source>Printable area: %1 x %2 pixels</source>
        <translation>Bedruckbarer Bereich: %1 x %2 Pixel</translation>
    </message>
    <message>
        <source>Resolution: %1 x %2 dpi</source>
        <translation>Auflösung: %1 x %2 dpi</translation>
    </message>
    <message>
        <source>Edge for glue: right %1, bottom %2</source>
        <translation>Kleberand: rechts %1, unten %2</translation>
    </message>
    <message>
        <source>Edge for glue: right %1, bottom %2 (off)</source>
        <translation>Kleberand: rechts %1, unten %2 (aus)</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Optionen:</translation>
    </message>
    <message>
        <source>Width in pages: %1</source>
        <translation>Breite in Seiten: %1</translation>
    </message>
    <message>
        <source>Height in pages: %1</source>
        <translation>Höhe in Seiten: %1</translation>
    </message>
    <message>
        <source>Pages across: %1</source>
        <translation>Seiten nebeneinander: %1</translation>
    </message>
    <message>
        <source>Pages down: %1</source>
        <translation>Seiten untereinander: %1</translation>
    </message>
    <message>
        <source>Pages in all: %1</source>
        <translation>Seiten insgesamt: %1</translation>
    </message>
    <message>
        <source>Pages to print: %1</source>
        <translation>Zu druckende Seiten: %1</translation>
    </message>
    <message>
        <source>Page labels: on</source>
        <translation>Beschriftung: an</translation>
    </message>
    <message>
        <source>Page labels: off</source>
        <translation>Beschriftung: aus</translation>
    </message>
    <message>
        <source>Assembly sheet: on, before the first page</source>
        <translation>Montageblatt: an, vor der ersten Seite</translation>
    </message>
    <message>
        <source>Assembly sheet: off</source>
        <translation>Montageblatt: aus</translation>
    </message>
    <message>
        <source>Print order:</source>
        <translation>Druckreihenfolge:</translation>
    </message>
    <message>
        <source>Width: %1</source>
        <translation>Breite: %1</translation>
    </message>
    <message>
        <source>Height: %1</source>
        <translation>Höhe: %1</translation>
    </message>
    <message>
        <source>Colors: %1</source>
        <translation>Farben: %1</translation>
    </message>
    <message>
        <source>Pages: %1</source>
        <translation>Seiten: %1</translation>
    </message>
    <message>
        <source>Page %1: %2 x %3 mm, vectors</source>
        <translation>Seite %1: %2 x %3 mm, Vektoren</translation>
    </message>
    <message>
        <source>Orientation: %1 (%2)</source>
        <translation>Ausrichtung: %1 (%2)</translation>
    </message>
    <message>
        <source>not applied: --as-stored</source>
        <translation>nicht angewandt: --as-stored</translation>
    </message>
    <message>
        <source>Colour profile: %1 (%2, %3 bytes)</source>
        <translation>Farbprofil: %1 (%2, %3 Bytes)</translation>
    </message>
    <message>
        <source>Save: %1 (%2)</source>
        <translation>Speichern: %1 (%2)</translation>
    </message>
    <message>
        <source>%1: PDF is a save type for a PDF or SVG drawing kept as vectors</source>
        <translation>%1: PDF ist ein Speichertyp für eine PDF- oder SVG-Zeichnung, die Vektoren bleibt</translation>
    </message>
    <message>
        <source>%1: Couldn&apos;t save file! (%2)</source>
        <translation>%1: Datei konnte nicht gespeichert werden! (%2)</translation>
    </message>
    <message>
        <source>Job: %1 (queued: the printer is stopped)</source>
        <translation>Auftrag: %1 (eingereiht: der Drucker ist angehalten)</translation>
    </message>
    <message>
        <source>Job: %1 (queued)</source>
        <translation>Auftrag: %1 (eingereiht)</translation>
    </message>
    <message>
        <source>Job: %1 (%2)</source>
        <translation>Auftrag: %1 (%2)</translation>
    </message>
    <message>
        <source>Test page: a 10 cm and a 4 inch ruler, %1 and %2 pixels at %3 dpi</source>
        <translation>Testseite: ein Lineal von 10 cm und eines von 4 Zoll, %1 und %2 Pixel bei %3 dpi</translation>
    </message>
</context>
<context>
    <name>PosterMain</name>
    <message>
        <source>note: %1</source>
        <translation>Hinweis: %1</translation>
    </message>
    <message>
        <source>not enough memory</source>
        <translation>nicht genug Speicher</translation>
    </message>
    <message>
        <source>the report could not be written</source>
        <translation>der Bericht konnte nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>PosterOptions</name>
    <message>
        <source>&quot;Cut help lines&quot;</source>
        <translation>„Schnittlinien“</translation>
    </message>
    <message>
        <source>&quot;Clue lines&quot;</source>
        <translation>„Klebelinien“</translation>
    </message>
    <message>
        <source>help lines on the poster&apos;s outer edge (&quot;No lines on the poster edge&quot; unchecked)</source>
        <translation>Hilfslinien am äußeren Rand des Posters („Keine Linien am Posterrand“ aus)</translation>
    </message>
    <message>
        <source>&quot;Center&quot;</source>
        <translation>„Zentrieren“</translation>
    </message>
    <message>
        <source>&quot;Use full pages&quot;</source>
        <translation>„Ganze Seiten“</translation>
    </message>
    <message>
        <source>&quot;Aspect ratio&quot;</source>
        <translation>„Seitenverhältnis“</translation>
    </message>
    <message>
        <source>&quot;Edge for glue&quot;</source>
        <translation>„Kleberand“</translation>
    </message>
    <message>
        <source>&quot;Print on the edge for glue&quot; (turns &quot;Clue lines&quot; on)</source>
        <translation>„Auf den Kleberand drucken“ (schaltet „Klebelinien“ ein)</translation>
    </message>
    <message>
        <source>glue strips on the poster&apos;s outer edge (&quot;No edge for glue on the poster edge&quot; unchecked)</source>
        <translation>Klebestreifen am äußeren Rand des Posters („Kein Kleberand am Posterrand“ aus)</translation>
    </message>
    <message>
        <source>--save-type wants one of %1, not &quot;%2&quot;</source>
        <translation>--save-type erwartet eines von %1, nicht „%2“</translation>
    </message>
    <message>
        <source>Print to the PDF file FILE.</source>
        <translation>In die PDF-Datei FILE drucken.</translation>
    </message>
    <message>
        <source>-o needs a file name</source>
        <translation>-o braucht einen Dateinamen</translation>
    </message>
    <message>
        <source>Print to the printer queue NAME. Without this or -o: the default printer, or the PDF file the window would use.</source>
        <translation>Auf die Druckerwarteschlange NAME drucken. Ohne diese Option und -o: der Standarddrucker oder die PDF-Datei, die das Fenster nähme.</translation>
    </message>
    <message>
        <source>--printer needs a printer name</source>
        <translation>--printer braucht einen Druckernamen</translation>
    </message>
    <message>
        <source>&quot;Width in pages:&quot; (0.1 to 100), or the finished poster&apos;s width with a unit: 1m, 70cm, 500mm, 40in. With &quot;Aspect ratio&quot; the height follows; of --width and --height the one given last wins.</source>
        <translation>„Breite in Seiten:“ (0.1 bis 100) oder die Breite des fertigen Posters mit Einheit: 1m, 70cm, 500mm, 40in. Mit „Seitenverhältnis“ folgt die Höhe; von --width und --height gilt die zuletzt angegebene.</translation>
    </message>
    <message>
        <source>--width wants a number of pages from 0.1 to 100, or a length in mm, cm, m or in, not &quot;%1&quot;</source>
        <translation>--width erwartet eine Seitenzahl von 0.1 bis 100 oder eine Länge in mm, cm, m oder in, nicht „%1“</translation>
    </message>
    <message>
        <source>&quot;Height in pages:&quot; (0.1 to 100), or the finished poster&apos;s height with a unit. With &quot;Aspect ratio&quot; the width follows.</source>
        <translation>„Höhe in Seiten:“ (0.1 bis 100) oder die Höhe des fertigen Posters mit Einheit. Mit „Seitenverhältnis“ folgt die Breite.</translation>
    </message>
    <message>
        <source>--height wants a number of pages from 0.1 to 100, or a length in mm, cm, m or in, not &quot;%1&quot;</source>
        <translation>--height erwartet eine Seitenzahl von 0.1 bis 100 oder eine Länge in mm, cm, m oder in, nicht „%1“</translation>
    </message>
    <message>
        <source>Follow the printer&apos;s job until it is completed, aborted or cancelled and say how it ended, with CUPS&apos;s reason; status 1 when it did not print. Without it a job handed to CUPS is reported as queued.</source>
        <translation>Den Auftrag beim Drucker verfolgen, bis er abgeschlossen, abgebrochen oder storniert ist, und sagen, wie er endete, mit dem Grund von CUPS; Status 1, wenn nicht gedruckt wurde. Ohne diese Option wird ein an CUPS übergebener Auftrag als eingereiht gemeldet.</translation>
    </message>
    <message>
        <source>Seconds the print scheduler may take to answer before a look-up or a job is given up (30).</source>
        <translation>Sekunden, die der Druckdienst für eine Antwort haben darf, bevor eine Abfrage oder ein Auftrag aufgegeben wird (30).</translation>
    </message>
    <message>
        <source>--cups-timeout wants seconds from 1 to 86400, not &quot;%1&quot;</source>
        <translation>--cups-timeout erwartet Sekunden von 1 bis 86400, nicht „%1“</translation>
    </message>
    <message>
        <source>On: %1 (default).</source>
        <translation>Ein: %1 (Vorgabe).</translation>
    </message>
    <message>
        <source>On: %1.</source>
        <translation>Ein: %1.</translation>
    </message>
    <message>
        <source>Off.</source>
        <translation>Aus.</translation>
    </message>
    <message>
        <source>Off (default).</source>
        <translation>Aus (Vorgabe).</translation>
    </message>
    <message>
        <source>&quot;Edge for glue, right in %:&quot;, a whole number 0 to 10 (5).</source>
        <translation>„Kleberand rechts in %:“, eine ganze Zahl von 0 bis 10 (5).</translation>
    </message>
    <message>
        <source>--glue-right wants a whole number from 0 to 10, not &quot;%1&quot;</source>
        <translation>--glue-right erwartet eine ganze Zahl von 0 bis 10, nicht „%1“</translation>
    </message>
    <message>
        <source>&quot;Edge for glue at the bottom %:&quot;, a whole number 0 to 10 (5).</source>
        <translation>„Kleberand unten in %:“, eine ganze Zahl von 0 bis 10 (5).</translation>
    </message>
    <message>
        <source>--glue-bottom wants a whole number from 0 to 10, not &quot;%1&quot;</source>
        <translation>--glue-bottom erwartet eine ganze Zahl von 0 bis 10, nicht „%1“</translation>
    </message>
    <message>
        <source>rows: &quot;Row per row from the top to the bottom&quot; (the default); columns: &quot;Column per column from left to the right&quot;.</source>
        <translation>rows: „Zeile für Zeile von oben nach unten“ (Vorgabe); columns: „Spalte für Spalte von links nach rechts“.</translation>
    </message>
    <message>
        <source>--order wants rows or columns, not &quot;%1&quot;</source>
        <translation>--order erwartet rows oder columns, nicht „%1“</translation>
    </message>
    <message>
        <source>Leave out the page in COLUMN and ROW, both counted from 0 at the top left; repeatable. Implies &quot;Not the pages which are clicked off&quot;.</source>
        <translation>Die Seite in COLUMN und ROW auslassen, beide ab 0 oben links gezählt; wiederholbar. Schließt „Ohne die abgewählten Seiten“ ein.</translation>
    </message>
    <message>
        <source>--off wants COLUMN,ROW, two whole numbers from 0, not &quot;%1&quot;</source>
        <translation>--off erwartet COLUMN,ROW, zwei ganze Zahlen ab 0, nicht „%1“</translation>
    </message>
    <message>
        <source>Paper size by name: A4, A3, Letter, Legal, ... (the printer&apos;s own; A4 for a PDF file).</source>
        <translation>Papiergröße nach Namen: A4, A3, Letter, Legal, ... (die des Druckers; A4 für eine PDF-Datei).</translation>
    </message>
    <message>
        <source>unknown paper size &quot;%1&quot;</source>
        <translation>unbekannte Papiergröße „%1“</translation>
    </message>
    <message>
        <source>The PDF file&apos;s device resolution, %1 to %2 dots per inch (%3): the help lines are 2 device pixels wide in dashes of 30. The picture&apos;s pixels print as they are at any resolution.</source>
        <translation>Die Geräteauflösung der PDF-Datei, %1 bis %2 Punkte pro Zoll (%3): die Hilfslinien sind 2 Gerätepixel breit, in Strichen von 30. Die Pixel des Bildes werden bei jeder Auflösung gedruckt, wie sie sind.</translation>
    </message>
    <message>
        <source>--resolution wants dots per inch from %1 to %2, not &quot;%3&quot;</source>
        <translation>--resolution erwartet Punkte pro Zoll von %1 bis %2, nicht „%3“</translation>
    </message>
    <message>
        <source>Landscape paper.</source>
        <translation>Papier im Querformat.</translation>
    </message>
    <message>
        <source>Portrait paper (the default for a PDF file).</source>
        <translation>Papier im Hochformat (Vorgabe für eine PDF-Datei).</translation>
    </message>
    <message>
        <source>Show the picture&apos;s width, height and colours (after the edits), its orientation tag and colour profile when it has them, and print nothing.</source>
        <translation>Breite, Höhe und Farben des Bildes (nach den Bearbeitungen) zeigen, seine Ausrichtungsmarke und sein Farbprofil, wenn es sie hat, und nichts drucken.</translation>
    </message>
    <message>
        <source>Show the printer, the poster size and the pages in print order, and print nothing.</source>
        <translation>Den Drucker, die Postergröße und die Seiten in Druckreihenfolge zeigen und nichts drucken.</translation>
    </message>
    <message>
        <source>Print the scale check instead of a poster: a 10 cm and a 4 inch ruler and the printable area&apos;s outline, on the chosen printer and paper.</source>
        <translation>Statt eines Posters die Maßstabsprobe drucken: ein Lineal von 10 cm und eines von 4 Zoll und den Umriss des bedruckbaren Bereichs, auf dem gewählten Drucker und Papier.</translation>
    </message>
    <message>
        <source>&quot;Cut to selection&quot;: keep the pixels from LEFT to RIGHT-1 and TOP to BOTTOM-1, counted from 0 at the top left. The edits are made in the order given, before the poster is sized.</source>
        <translation>„Auf Auswahl zuschneiden“: die Pixel von LEFT bis RIGHT-1 und TOP bis BOTTOM-1 behalten, ab 0 oben links gezählt. Die Bearbeitungen geschehen in der angegebenen Reihenfolge, bevor die Postergröße bestimmt wird.</translation>
    </message>
    <message>
        <source>--crop wants LEFT,TOP,RIGHT,BOTTOM, whole numbers from 0 with LEFT &lt; RIGHT and TOP &lt; BOTTOM, not &quot;%1&quot;</source>
        <translation>--crop erwartet LEFT,TOP,RIGHT,BOTTOM, ganze Zahlen ab 0 mit LEFT &lt; RIGHT und TOP &lt; BOTTOM, nicht „%1“</translation>
    </message>
    <message>
        <source>Turn the picture a quarter to the left (counter-clockwise) or to the right.</source>
        <translation>Das Bild um eine Vierteldrehung nach links (gegen den Uhrzeigersinn) oder nach rechts drehen.</translation>
    </message>
    <message>
        <source>--rotate wants left or right, not &quot;%1&quot;</source>
        <translation>--rotate erwartet left oder right, nicht „%1“</translation>
    </message>
    <message>
        <source>Exchange the picture&apos;s left and right.</source>
        <translation>Links und rechts des Bildes vertauschen.</translation>
    </message>
    <message>
        <source>Exchange the picture&apos;s top and bottom.</source>
        <translation>Oben und unten des Bildes vertauschen.</translation>
    </message>
    <message>
        <source>&quot;Brightness&quot;, -127 to 127 (0). With --contrast it is one change, brightness first, where the first of the two is given.</source>
        <translation>„Helligkeit“, -127 bis 127 (0). Mit --contrast ist es eine Änderung, Helligkeit zuerst, an der Stelle der ersten der beiden.</translation>
    </message>
    <message>
        <source>--brightness wants a whole number from -127 to 127, not &quot;%1&quot;</source>
        <translation>--brightness erwartet eine ganze Zahl von -127 bis 127, nicht „%1“</translation>
    </message>
    <message>
        <source>&quot;Contrast&quot;, 0 to 200 (100).</source>
        <translation>„Kontrast“, 0 bis 200 (100).</translation>
    </message>
    <message>
        <source>--contrast wants a whole number from 0 to 200, not &quot;%1&quot;</source>
        <translation>--contrast erwartet eine ganze Zahl von 0 bis 200, nicht „%1“</translation>
    </message>
    <message>
        <source>Write the edited picture to FILE; a PDF or SVG drawing at 300 dpi of its page. Without -o or --printer, nothing is printed.</source>
        <translation>Das bearbeitete Bild in FILE schreiben; eine PDF- oder SVG-Zeichnung mit 300 dpi ihrer Seite. Ohne -o oder --printer wird nichts gedruckt.</translation>
    </message>
    <message>
        <source>--save needs a file name</source>
        <translation>--save braucht einen Dateinamen</translation>
    </message>
    <message>
        <source>The type to save in (bmp, jpg, png, tif, pcx, tga; pdf for a drawing, kept as vectors); else FILE&apos;s extension decides.</source>
        <translation>Der Dateityp zum Speichern (bmp, jpg, png, tif, pcx, tga; pdf für eine Zeichnung, als Vektoren erhalten); sonst entscheidet die Endung von FILE.</translation>
    </message>
    <message>
        <source>Scan the picture instead of reading a file: from DEVICE (as &quot;scanimage -L&quot; names it, e.g. test:0), else from the first scanner found.</source>
        <translation>Das Bild scannen, statt eine Datei zu lesen: von DEVICE (wie „scanimage -L“ es nennt, z. B. test:0), sonst vom ersten gefundenen Scanner.</translation>
    </message>
    <message>
        <source>The scan mode as the scanner names it: Color, Gray, Lineart, ...</source>
        <translation>Der Scanmodus, wie der Scanner ihn nennt: Color, Gray, Lineart, ...</translation>
    </message>
    <message>
        <source>Bits per sample of the scan: 1, 8, 16.</source>
        <translation>Bits pro Abtastwert des Scans: 1, 8, 16.</translation>
    </message>
    <message>
        <source>--scan-depth wants bits per sample from 1 to 16, not &quot;%1&quot;</source>
        <translation>--scan-depth erwartet Bits pro Abtastwert von 1 bis 16, nicht „%1“</translation>
    </message>
    <message>
        <source>The scan&apos;s resolution in dpi.</source>
        <translation>Die Auflösung des Scans in dpi.</translation>
    </message>
    <message>
        <source>--scan-resolution wants dots per inch above 0, not &quot;%1&quot;</source>
        <translation>--scan-resolution erwartet Punkte pro Zoll über 0, nicht „%1“</translation>
    </message>
    <message>
        <source>Seconds the scanner may say nothing before the scan is given up (120).</source>
        <translation>Sekunden, die der Scanner schweigen darf, bevor der Scan aufgegeben wird (120).</translation>
    </message>
    <message>
        <source>--scan-timeout wants seconds from 1 to 86400, not &quot;%1&quot;</source>
        <translation>--scan-timeout erwartet Sekunden von 1 bis 86400, nicht „%1“</translation>
    </message>
    <message>
        <source>Print each page&apos;s place on it (A1 top left, B1 to its right, A2 below), &quot;page N of M&quot; and the finished size, in a glue strip or where no picture is.</source>
        <translation>Auf jede Seite ihren Platz drucken (A1 oben links, B1 rechts daneben, A2 darunter), „Seite N von M“ und die fertige Größe, in einen Klebestreifen oder wo kein Bild ist.</translation>
    </message>
    <message>
        <source>Print an assembly sheet before the poster&apos;s pages: the grid of pages over the picture, the pages left out and how the sheets go together.</source>
        <translation>Ein Montageblatt vor den Seiten des Posters drucken: das Raster der Seiten über dem Bild, die ausgelassenen Seiten und wie die Blätter zusammengehören.</translation>
    </message>
    <message>
        <source>Take the picture as its pixels are stored: a photo&apos;s orientation tag (which otherwise turns it upright on load) is not applied.</source>
        <translation>Das Bild so nehmen, wie seine Pixel gespeichert sind: die Ausrichtungsmarke eines Fotos (die es sonst beim Laden aufrecht dreht) wird nicht angewandt.</translation>
    </message>
    <message>
        <source>Of a PDF file, the page to print, counted from 1 (default 1).</source>
        <translation>Bei einer PDF-Datei die zu druckende Seite, ab 1 gezählt (Vorgabe 1).</translation>
    </message>
    <message>
        <source>--page wants a page number from 1, not &quot;%1&quot;</source>
        <translation>--page erwartet eine Seitenzahl ab 1, nicht „%1“</translation>
    </message>
    <message>
        <source>&quot;Smooth enlargement&quot;: a picture the poster enlarges is resampled smooth, between 150 and 300 ppi on paper, instead of printing in blocks of its pixels. The sheets join without a seam.</source>
        <translation>„Glatte Vergrößerung“: ein Bild, das das Poster vergrößert, wird glatt neu abgetastet, mit 150 bis 300 ppi auf dem Papier, statt in Blöcken seiner Pixel gedruckt zu werden. Die Blätter fügen sich ohne Naht.</translation>
    </message>
    <message>
        <source>&quot;Dot screen&quot;: print the picture as a grid of dots SIZE apart (2mm to 10cm, e.g. 10mm), each as large as the picture under it is dark. The dots are vectors, sharp at any size; brightness and contrast tune them.</source>
        <translation>„Punktraster“: das Bild als Raster von Punkten im Abstand SIZE drucken (2mm bis 10cm, z. B. 10mm), jeder so groß, wie das Bild darunter dunkel ist. Die Punkte sind Vektoren, scharf in jeder Größe; Helligkeit und Kontrast stimmen sie ab.</translation>
    </message>
    <message>
        <source>--dots wants the distance of the dots as a length from 2mm to 10cm, e.g. 10mm, not &quot;%1&quot;</source>
        <translation>--dots erwartet den Abstand der Punkte als Länge von 2mm bis 10cm, z. B. 10mm, nicht „%1“</translation>
    </message>
    <message>
        <source>The dots take the colour of the picture under them instead of black.</source>
        <translation>Die Punkte nehmen die Farbe des Bildes darunter an statt Schwarz.</translation>
    </message>
    <message>
        <source>pdf (drawings)</source>
        <translation>pdf (Zeichnungen)</translation>
    </message>
</context>
<context>
    <name>PosterRequest</name>
    <message>
        <source>&apos;%1&apos; is not a picture file</source>
        <translation>„%1“ ist keine Bilddatei</translation>
    </message>
    <message>
        <source>: write the size as %1%2</source>
        <translation>: schreiben Sie die Größe als %1%2</translation>
    </message>
    <message>
        <source>: did you mean --%1?</source>
        <translation>: meinten Sie --%1?</translation>
    </message>
    <message>
        <source>--test-page prints no picture</source>
        <translation>--test-page druckt kein Bild</translation>
    </message>
    <message>
        <source>--scan takes one device and no picture file</source>
        <translation>--scan nimmt ein Gerät und keine Bilddatei</translation>
    </message>
    <message>
        <source>--%1 goes with --scan</source>
        <translation>--%1 gehört zu --scan</translation>
    </message>
    <message>
        <source>no picture given (see --help)</source>
        <translation>kein Bild angegeben (siehe --help)</translation>
    </message>
    <message>
        <source>one picture at a time, not %1</source>
        <translation>ein Bild auf einmal, nicht %1</translation>
    </message>
    <message>
        <source>--test-page and --info exclude each other</source>
        <translation>--test-page und --info schließen einander aus</translation>
    </message>
    <message>
        <source>--save-type goes with --save</source>
        <translation>--save-type gehört zu --save</translation>
    </message>
    <message>
        <source>-o and --printer exclude each other</source>
        <translation>-o und --printer schließen einander aus</translation>
    </message>
    <message>
        <source>--smooth and --dots exclude each other</source>
        <translation>--smooth und --dots schließen einander aus</translation>
    </message>
    <message>
        <source>--dots-colour goes with --dots</source>
        <translation>--dots-colour gehört zu --dots</translation>
    </message>
    <message>
        <source>--save: the type of &quot;%1&quot; is not told by its name; give --save-type (%2)</source>
        <translation>--save: der Typ von „%1“ geht aus dem Namen nicht hervor; geben Sie --save-type an (%2)</translation>
    </message>
    <message>
        <source>--print-on-glue-edge keeps the glue lines on; --no-glue-lines has no effect</source>
        <translation>--print-on-glue-edge lässt die Klebelinien an; --no-glue-lines bleibt ohne Wirkung</translation>
    </message>
    <message>
        <source>Prints one picture as a poster over a grid of printer pages, as the Velmora window does.
On/off options take the last form given; sizes are applied in the order given.</source>
        <translation>Druckt ein Bild als Poster über ein Raster von Druckerseiten, wie es das Velmora-Fenster tut.
Bei Ein-/Aus-Optionen gilt die zuletzt angegebene Form; Größen gelten in der angegebenen Reihenfolge.</translation>
    </message>
    <message>
        <source>The picture file to print (BMP, JPEG, PNG, ...); with --scan, the scanner device, if one is named.</source>
        <translation>Die zu druckende Bilddatei (BMP, JPEG, PNG, ...); mit --scan das Scannergerät, wenn eines genannt ist.</translation>
    </message>
</context>
<context>
    <name>PrintJob</name>
    <message>
        <source>The print job was interrupted.</source>
        <translation>Der Druckauftrag wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The document could not be written: %1</source>
        <translation>Das Dokument konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>Not enough memory to print the poster.</source>
        <translation>Nicht genug Speicher, um das Poster zu drucken.</translation>
    </message>
    <message>
        <source>the page could not be copied</source>
        <translation>die Seite konnte nicht kopiert werden</translation>
    </message>
    <message>
        <source>The printer &quot;%1&quot; is not available.</source>
        <translation>Der Drucker „%1“ ist nicht verfügbar.</translation>
    </message>
    <message>
        <source>No file name is set for the PDF file.</source>
        <translation>Für die PDF-Datei ist kein Dateiname gesetzt.</translation>
    </message>
    <message>
        <source>The PDF file could not be made: %1</source>
        <translation>Die PDF-Datei konnte nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>The document could not be made in the temporary folder: %1</source>
        <translation>Das Dokument konnte im temporären Ordner nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>The document was not begun.</source>
        <translation>Das Dokument wurde nicht begonnen.</translation>
    </message>
    <message>
        <source>The PDF file could not be written: %1</source>
        <translation>Die PDF-Datei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The printer reported an error.</source>
        <translation>Der Drucker hat einen Fehler gemeldet.</translation>
    </message>
    <message>
        <source>The picture has to be decoded for this print.</source>
        <translation>Für diesen Druck muss das Bild dekodiert werden.</translation>
    </message>
    <message>
        <source>The JPEG data could not be cut into pages.</source>
        <translation>Die JPEG-Daten konnten nicht in Seiten geschnitten werden.</translation>
    </message>
    <message>
        <source>1 page clicked off prints too. To leave it out:</source>
        <translation>1 abgewählte Seite wird mitgedruckt. Um sie auszulassen:</translation>
    </message>
    <message>
        <source>%1 pages clicked off print too. To leave them out:</source>
        <translation>%1 abgewählte Seiten werden mitgedruckt. Um sie auszulassen:</translation>
    </message>
</context>
<context>
    <name>PrinterSetup</name>
    <message>
        <source>The printers could not be listed: %1. Try again when the printing system answers.</source>
        <translation>Die Drucker konnten nicht aufgelistet werden: %1. Versuchen Sie es erneut, wenn das Drucksystem antwortet.</translation>
    </message>
    <message>
        <source>Printer setup</source>
        <translation>Druckereinrichtung</translation>
    </message>
</context>
<context>
    <name>RenderFailure</name>
    <message>
        <source>The page size of %1 x %2 pixels can&apos;t be rendered.</source>
        <translation>Die Seitengröße von %1 x %2 Pixeln lässt sich nicht darstellen.</translation>
    </message>
    <message>
        <source>The part to render lies outside the page.</source>
        <translation>Der darzustellende Teil liegt außerhalb der Seite.</translation>
    </message>
    <message>
        <source>A rendering of %1 x %2 pixels is larger than a picture may be.</source>
        <translation>Eine Darstellung von %1 x %2 Pixeln ist größer, als ein Bild sein darf.</translation>
    </message>
    <message>
        <source>The PDF file is damaged or is not a PDF file.</source>
        <translation>Die PDF-Datei ist beschädigt oder keine PDF-Datei.</translation>
    </message>
    <message>
        <source>The PDF file needs a password.</source>
        <translation>Die PDF-Datei braucht ein Passwort.</translation>
    </message>
    <message>
        <source>The PDF file has no page %1 (it has %2).</source>
        <translation>Die PDF-Datei hat keine Seite %1 (sie hat %2).</translation>
    </message>
    <message>
        <source>The PDF file&apos;s page %1 is damaged.</source>
        <translation>Seite %1 der PDF-Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>The PDF file&apos;s page %1 could not be rendered.</source>
        <translation>Seite %1 der PDF-Datei konnte nicht dargestellt werden.</translation>
    </message>
    <message>
        <source>The drawing is damaged or is not an SVG file.</source>
        <translation>Die Zeichnung ist beschädigt oder keine SVG-Datei.</translation>
    </message>
    <message>
        <source>The drawing is damaged or is not an SVG file (%1).</source>
        <translation>Die Zeichnung ist beschädigt oder keine SVG-Datei (%1).</translation>
    </message>
    <message>
        <source>The drawing has no size it can be shown at.</source>
        <translation>Die Zeichnung hat keine Größe, in der sie sich zeigen lässt.</translation>
    </message>
    <message>
        <source>The drawing could not be drawn.</source>
        <translation>Die Zeichnung konnte nicht gezeichnet werden.</translation>
    </message>
    <message>
        <source>The drawing could not be drawn (%1).</source>
        <translation>Die Zeichnung konnte nicht gezeichnet werden (%1).</translation>
    </message>
    <message>
        <source>The drawing could not be made into a PDF file (%1).</source>
        <translation>Aus der Zeichnung konnte keine PDF-Datei werden (%1).</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>There is not enough memory to render the drawing.</source>
        <translation>Für die Darstellung der Zeichnung ist nicht genug Speicher da.</translation>
    </message>
</context>
<context>
    <name>ScanProblem</name>
    <message>
        <source>The scan was cancelled.</source>
        <translation>Der Scan wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The scanner is busy.</source>
        <translation>Der Scanner ist belegt.</translation>
    </message>
    <message>
        <source>The scanner sent no picture data.</source>
        <translation>Der Scanner hat keine Bilddaten gesendet.</translation>
    </message>
    <message>
        <source>The scanner is jammed.</source>
        <translation>Im Scanner gibt es einen Papierstau.</translation>
    </message>
    <message>
        <source>There is no paper in the scanner.</source>
        <translation>Im Scanner liegt kein Papier.</translation>
    </message>
    <message>
        <source>The scanner&apos;s cover is open.</source>
        <translation>Der Deckel des Scanners ist offen.</translation>
    </message>
    <message>
        <source>The scanner stopped with an error: %1.</source>
        <translation>Der Scanner hat mit einem Fehler angehalten: %1.</translation>
    </message>
    <message>
        <source>There is not enough memory to scan.</source>
        <translation>Für den Scan ist nicht genug Speicher da.</translation>
    </message>
    <message>
        <source>Access to the scanner was denied.</source>
        <translation>Der Zugriff auf den Scanner wurde verweigert.</translation>
    </message>
    <message>
        <source>The scanner&apos;s lamp did not get ready.</source>
        <translation>Die Lampe des Scanners ist nicht bereit geworden.</translation>
    </message>
    <message>
        <source>The scanner is locked for transport.</source>
        <translation>Der Scanner ist für den Transport verriegelt.</translation>
    </message>
    <message>
        <source>The scanner reported an error: %1.</source>
        <translation>Der Scanner hat einen Fehler gemeldet: %1.</translation>
    </message>
    <message>
        <source>The scanner &quot;%1&quot; was not found.</source>
        <translation>Der Scanner „%1“ wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>The scanner has no setting &quot;%1&quot;.</source>
        <translation>Der Scanner hat keine Einstellung „%1“.</translation>
    </message>
    <message>
        <source>The scanner refused the setting &quot;%1&quot; (%2).</source>
        <translation>Der Scanner hat die Einstellung „%1“ abgelehnt (%2).</translation>
    </message>
    <message>
        <source>The scanner does not offer &quot;%1&quot; for &quot;%2&quot;.</source>
        <translation>Der Scanner bietet „%1“ für „%2“ nicht an.</translation>
    </message>
    <message>
        <source>The scanner sent a picture in a form this program can&apos;t read.</source>
        <translation>Der Scanner hat ein Bild in einer Form gesendet, die dieses Programm nicht lesen kann.</translation>
    </message>
    <message>
        <source>The scanned picture would be too large.</source>
        <translation>Das gescannte Bild würde zu groß.</translation>
    </message>
    <message>
        <source>No scanner found</source>
        <translation>Kein Scanner gefunden</translation>
    </message>
    <message>
        <source>The scanner library could not be started (%1).</source>
        <translation>Die Scannerbibliothek konnte nicht gestartet werden (%1).</translation>
    </message>
    <message>
        <source>The scanner did not answer for %1 seconds and was given up.</source>
        <translation>Der Scanner hat %1 Sekunden lang nicht geantwortet und wurde aufgegeben.</translation>
    </message>
    <message>
        <source>The scanner driver sent data this program can&apos;t read.</source>
        <translation>Der Scannertreiber hat Daten gesendet, die dieses Programm nicht lesen kann.</translation>
    </message>
    <message>
        <source>The scanner helper %1 is missing.</source>
        <translation>Das Scanner-Hilfsprogramm %1 fehlt.</translation>
    </message>
    <message>
        <source>The scanner helper could not be started (%1).</source>
        <translation>Das Scanner-Hilfsprogramm konnte nicht gestartet werden (%1).</translation>
    </message>
    <message>
        <source>The scanner library did not start in time.</source>
        <translation>Die Scannerbibliothek ist nicht rechtzeitig gestartet.</translation>
    </message>
    <message>
        <source>The scanner helper %1 belongs to another version of Velmora.</source>
        <translation>Das Scanner-Hilfsprogramm %1 gehört zu einer anderen Version von Velmora.</translation>
    </message>
    <message>
        <source>The scanner driver stopped unexpectedly.</source>
        <translation>Der Scannertreiber wurde unerwartet beendet.</translation>
    </message>
    <message>
        <source>The scan could not be started.</source>
        <translation>Der Scan konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>There is not enough memory for the scanned picture.</source>
        <translation>Für das gescannte Bild ist nicht genug Speicher da.</translation>
    </message>
    <message>
        <source>A scan is already running.</source>
        <translation>Es läuft schon ein Scan.</translation>
    </message>
    <message>
        <source>The scanner was left: the program is stopping.</source>
        <translation>Der Scanner wurde verlassen: das Programm wird beendet.</translation>
    </message>
    <message>
        <source>scanner driver</source>
        <translation>Scannertreiber</translation>
    </message>
</context>
<context>
    <name>ScanProgressDialog</name>
    <message>
        <source>Scanning</source>
        <translation>Scannen</translation>
    </message>
    <message>
        <source>Looking for the scanner...</source>
        <translation>Scanner wird gesucht...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Cancelling the scan...</source>
        <translation>Scan wird abgebrochen...</translation>
    </message>
    <message>
        <source>Scanning the picture...</source>
        <translation>Bild wird gescannt...</translation>
    </message>
</context>
<context>
    <name>ScannerSelectDialog</name>
    <message>
        <source>Select scanner</source>
        <translation>Scanner wählen</translation>
    </message>
    <message>
        <source>Vendor</source>
        <translation>Hersteller</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Mode:</source>
        <translation>&amp;Modus:</translation>
    </message>
    <message>
        <source>&amp;Bits per sample:</source>
        <translation>&amp;Bits pro Abtastwert:</translation>
    </message>
    <message>
        <source>&amp;Resolution:</source>
        <translation>&amp;Auflösung:</translation>
    </message>
    <message>
        <source>Scan area</source>
        <translation>Scanbereich</translation>
    </message>
    <message>
        <source>Left:</source>
        <translation>Links:</translation>
    </message>
    <message>
        <source>Top:</source>
        <translation>Oben:</translation>
    </message>
    <message>
        <source>Right:</source>
        <translation>Rechts:</translation>
    </message>
    <message>
        <source>Bottom:</source>
        <translation>Unten:</translation>
    </message>
    <message>
        <source>Search &amp;again</source>
        <translation>&amp;Erneut suchen</translation>
    </message>
    <message>
        <source>How long the scanner may say nothing before a scan is given up: longer for a slow lamp or a network scanner.</source>
        <translation>Wie lange der Scanner schweigen darf, bevor ein Scan aufgegeben wird: länger für eine langsame Lampe oder einen Netzwerkscanner.</translation>
    </message>
    <message>
        <source>&amp;Wait for the scanner:</source>
        <translation>Auf den Scanner &amp;warten:</translation>
    </message>
    <message>
        <source>&amp;Scanners:</source>
        <translation>&amp;Scanner:</translation>
    </message>
</context>
<context>
    <name>SmoothEnlarge</name>
    <message>
        <source>nothing to enlarge</source>
        <translation>nichts zu vergrößern</translation>
    </message>
    <message>
        <source>a picture of %1 bits a pixel</source>
        <translation>ein Bild mit %1 Bit pro Pixel</translation>
    </message>
    <message>
        <source>not enough memory for the enlarged picture</source>
        <translation>nicht genug Speicher für das vergrößerte Bild</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>The printers could not be listed: %1. Posters go to a PDF file until the printer setup finds them.</source>
        <translation>Die Drucker konnten nicht aufgelistet werden: %1. Poster gehen in eine PDF-Datei, bis die Druckereinrichtung sie findet.</translation>
    </message>
    <message>
        <source>You quit Velmora 2.0</source>
        <translation>Sie beenden Velmora 2.0</translation>
    </message>
    <message>
        <source>Quit program</source>
        <translation>Programm beenden</translation>
    </message>
    <message>
        <source>Velmora Help</source>
        <translation>Velmora-Hilfe</translation>
    </message>
    <message>
        <source> of %1</source>
        <translation> von %1</translation>
    </message>
    <message>
        <source>Error: Couldn&apos;t create picture (low memory?)!</source>
        <translation>Fehler: Bild konnte nicht angelegt werden (zu wenig Speicher?)!</translation>
    </message>
    <message>
        <source>Brightness and contrast make the drawing pixels: it prints from the window&apos;s rendering, as a sharper one could not be made (%1).</source>
        <translation>Helligkeit und Kontrast machen die Zeichnung zu Pixeln: sie wird aus der Darstellung des Fensters gedruckt, da keine schärfere entstehen konnte (%1).</translation>
    </message>
    <message>
        <source>Brightness and contrast make the drawing pixels: it prints from a rendering of %1 x %2 pixels, %3 ppi on the poster.</source>
        <translation>Helligkeit und Kontrast machen die Zeichnung zu Pixeln: sie wird aus einer Darstellung von %1 x %2 Pixeln gedruckt, %3 ppi auf dem Poster.</translation>
    </message>
    <message>
        <source>Make a selection with the mouse first!</source>
        <translation>Wählen Sie zuerst mit der Maus einen Bereich aus!</translation>
    </message>
    <message>
        <source>Couldn&apos;t save file!</source>
        <translation>Datei konnte nicht gespeichert werden!</translation>
    </message>
    <message>
        <source>Scanned: %1 x %2 pixels.</source>
        <translation>Gescannt: %1 x %2 Pixel.</translation>
    </message>
    <message>
        <source>No picture: %1</source>
        <translation>Kein Bild: %1</translation>
    </message>
    <message>
        <source>Poster: %1</source>
        <translation>Poster: %1</translation>
    </message>
    <message>
        <source>Couldn&apos;t load file!</source>
        <translation>Datei konnte nicht geladen werden!</translation>
    </message>
    <message>
        <source>Couldn&apos;t load file! (%1)</source>
        <translation>Datei konnte nicht geladen werden! (%1)</translation>
    </message>
    <message>
        <source>Every page is left out: nothing to print.</source>
        <translation>Jede Seite ist ausgelassen: nichts zu drucken.</translation>
    </message>
    <message>
        <source>%1, job %2</source>
        <translation>%1, Auftrag %2</translation>
    </message>
    <message>
        <source>Sent to %1</source>
        <translation>Gesendet an %1</translation>
    </message>
    <message>
        <source> (queued: the printer is stopped)</source>
        <translation> (eingereiht: der Drucker ist angehalten)</translation>
    </message>
    <message>
        <source> (queued)</source>
        <translation> (eingereiht)</translation>
    </message>
    <message>
        <source>Printed on %1: %2</source>
        <translation>Gedruckt auf %1: %2</translation>
    </message>
    <message>
        <source>Not printed on %1: %2</source>
        <translation>Nicht gedruckt auf %1: %2</translation>
    </message>
    <message>
        <source>The test page was sent to %1.</source>
        <translation>Die Testseite wurde an %1 gesendet.</translation>
    </message>
    <message>
        <source>All pictures</source>
        <translation>Alle Bilder</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <source>qrc:/help/velmora.html</source>
        <extracomment>The help document of this language, as it is in the program&apos;s resources</extracomment>
        <translation>qrc:/help/velmora_de.html</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>Scannen</translation>
    </message>
    <message>
        <source>Poster size</source>
        <translation>Postergröße</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
</context>
<context>
    <name>TestPage</name>
    <message>
        <source>Velmora test page</source>
        <translation>Velmora-Testseite</translation>
    </message>
    <message>
        <source>: the paper is too narrow</source>
        <translation>: das Papier ist zu schmal</translation>
    </message>
    <message>
        <source>10 cm</source>
        <translation>10 cm</translation>
    </message>
    <message>
        <source>4 inches</source>
        <translation>4 Zoll</translation>
    </message>
    <message>
        <source>Measure the two lines: the upper one must be 10 cm long, the lower one 4 inches.</source>
        <translation>Messen Sie die beiden Linien: die obere muss 10 cm lang sein, die untere 4 Zoll.</translation>
    </message>
    <message>
        <source>If they are not, switch the printer&apos;s scaling off (print at 100 %) and print again.</source>
        <translation>Wenn nicht, schalten Sie die Skalierung des Druckers aus (Druck mit 100 %) und drucken Sie erneut.</translation>
    </message>
    <message>
        <source>The frame shows the printable area; the margins outside it stay blank.</source>
        <translation>Der Rahmen zeigt den bedruckbaren Bereich; die Ränder außerhalb bleiben leer.</translation>
    </message>
</context>
<context>
    <name>TwainDialogs</name>
    <message>
        <source>Scanner</source>
        <translation>Scanner</translation>
    </message>
</context>
<context>
    <name>VectorPage</name>
    <message>
        <source>the document gave no object number</source>
        <translation>das Dokument gab keine Objektnummer</translation>
    </message>
    <message>
        <source>the document could not be written</source>
        <translation>das Dokument konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>not a PDF</source>
        <translation>kein PDF</translation>
    </message>
    <message>
        <source>has no pages</source>
        <translation>hat keine Seiten</translation>
    </message>
    <message>
        <source>has no page %1; it has %2</source>
        <translation>hat keine Seite %1; sie hat %2</translation>
    </message>
    <message>
        <source>needs a password</source>
        <translation>braucht ein Passwort</translation>
    </message>
    <message>
        <source>damaged beyond repair: %1</source>
        <translation>nicht mehr zu reparieren: %1</translation>
    </message>
</context>
<context>
    <name>VelmoraApplication</name>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>WindowCommandLine</name>
    <message>
        <source>Usage: velmora [options] [PICTURE]
Prints one picture as a poster over a grid of printer pages.

Arguments:
  PICTURE        A picture file to open at start-up, as a double-click on it in the
                 load page&apos;s file list opens it.

Options:
  -h, --help     Displays this help.
  -v, --version  Displays version information.

The command-line tool velmora-poster prints a poster without the window.
</source>
        <translation>Aufruf: velmora [Optionen] [PICTURE]
Druckt ein Bild als Poster über ein Raster von Druckerseiten.

Argumente:
  PICTURE        Eine Bilddatei, die beim Start geöffnet wird, wie ein Doppelklick
                 auf sie in der Dateiliste der Ladeseite sie öffnet.

Optionen:
  -h, --help     Zeigt diese Hilfe.
  -v, --version  Zeigt die Versionsinformation.

Das Befehlszeilenprogramm velmora-poster druckt ein Poster ohne das Fenster.
</translation>
    </message>
    <message>
        <source>Displays this help.</source>
        <translation>Zeigt diese Hilfe.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Zeigt die Versionsinformation.</translation>
    </message>
    <message>
        <source>A picture file to open at start-up.</source>
        <translation>Eine Bilddatei, die beim Start geöffnet wird.</translation>
    </message>
    <message>
        <source>one picture at a time: %1 were given</source>
        <translation>ein Bild auf einmal: %1 wurden angegeben</translation>
    </message>
</context>
</TS>
