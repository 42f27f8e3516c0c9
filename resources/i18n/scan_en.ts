<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>ArchiveTabWidget</name>
    <message>
        <source>Archivio Esami</source>
        <translation>Exam Archive</translation>
    </message>
</context>
<context>
    <name>CompareScansDlg</name>
    <message>
        <source>Confronto Scansioni</source>
        <translation>Scan Comparison</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>Bianco e Nero</source>
        <translation>Black and White</translation>
    </message>
    <message>
        <source>Auto Enfatizza Contrasto</source>
        <translation>Auto Enhance Contrast</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>DayScanItemDelegate</name>
    <message>
        <source>loading...</source>
        <translation>loading...</translation>
    </message>
    <message>
        <source>Immagine non disponibile</source>
        <translation>Picture unavailable</translation>
    </message>
</context>
<context>
    <name>ScanArea</name>
    <message>
        <source>Spessore : %1 mm</source>
        <translation>Thickness : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : Trascinare il mouse</source>
        <translation>Thickness : Drag the mouse</translation>
    </message>
    <message>
        <source>Profondità (mm)</source>
        <translation>Depth (mm)</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: confine del grasso non trovato</source>
        <translation>Automatic thickness over %1 lines: fat boundary not found</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: media %2 mm, minimo %3 mm, massimo %4 mm, deviazione standard %5 mm; confine trovato nel %6% delle linee</source>
        <translation>Automatic thickness over %1 lines: mean %2 mm, minimum %3 mm, maximum %4 mm, standard deviation %5 mm; boundary found in %6% of the lines</translation>
    </message>
    <message>
        <source>Spessore medio : %1 mm</source>
        <translation>Mean thickness : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : confine del grasso non trovato</source>
        <translation>Thickness : fat boundary not found</translation>
    </message>
</context>
<context>
    <name>ScanViewerWidget</name>
    <message>
        <source>Archivio Scansioni</source>
        <translation>Scan Archive</translation>
    </message>
    <message>
        <source>Archivio Locale</source>
        <translation>Local Archive</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>Cloud</translation>
    </message>
</context>
<context>
    <name>ScanWidget</name>
    <message>
        <source>Scansione</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>Carica Scansione</source>
        <translation>Load Scan</translation>
    </message>
    <message>
        <source>Salva Scansinoe</source>
        <translation>Save Scan</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Depth</translation>
    </message>
    <message>
        <source>Intensità</source>
        <translation>Intensity</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Auto-Enfatizza Contrasto&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Auto-Enhance Contrast&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Bianco e nero</source>
        <translation>Black and white</translation>
    </message>
    <message>
        <source>B/N</source>
        <translation>B/W</translation>
    </message>
    <message>
        <source>s/n :</source>
        <translation>s/n :</translation>
    </message>
    <message>
        <source>Non Connesso</source>
        <translation>Not Connected</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>Elaborazione...</source>
        <translation>Processing...</translation>
    </message>
    <message>
        <source>Apri file Scan Data</source>
        <translation>Open Scan Data file</translation>
    </message>
    <message>
        <source>Salva file Scan Data</source>
        <translation>Save Scan Data file</translation>
    </message>
    <message>
        <source>Mostra i confini del grasso trovati automaticamente e il loro spessore medio</source>
        <translation>Show the fat boundaries found automatically and their mean thickness</translation>
    </message>
    <message>
        <source>Strati</source>
        <translation>Layers</translation>
    </message>
    <message>
        <source>Scansione incompleta: mostrate solo le righe complete (%1).</source>
        <translation>Incomplete scan: only the complete lines are shown (%1).</translation>
    </message>
</context>
<context>
    <name>ScannerSimulatorPanel</name>
    <message>
        <source>Simulatore calvimetro</source>
        <translation>Calvimetro simulator</translation>
    </message>
    <message>
        <source>Nessun calvimetro: questa sonda simulata ne fa le veci.</source>
        <translation>No calvimetro: this simulated probe stands in for it.</translation>
    </message>
    <message>
        <source>Tenere premuto per scansionare</source>
        <translation>Hold down to scan</translation>
    </message>
    <message>
        <source>Spessore del grasso</source>
        <translation>Fat thickness</translation>
    </message>
    <message>
        <source>Sonda collegata</source>
        <translation>Probe plugged in</translation>
    </message>
</context>
<context>
    <name>SlideShowDlg</name>
    <message>
        <source>Slideshow</source>
        <translation>Slideshow</translation>
    </message>
</context>
</TS>