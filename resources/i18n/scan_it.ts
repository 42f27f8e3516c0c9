<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>ArchiveTabWidget</name>
    <message>
        <source>Archivio Esami</source>
        <translation>Archivio Esami</translation>
    </message>
</context>
<context>
    <name>CompareScansDlg</name>
    <message>
        <source>Confronto Scansioni</source>
        <translation>Confronto Scansioni</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Profondità</translation>
    </message>
    <message>
        <source>Bianco e Nero</source>
        <translation>Bianco e Nero</translation>
    </message>
    <message>
        <source>Auto Enfatizza Contrasto</source>
        <translation>Auto Enfatizza Contrasto</translation>
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
        <translation>Immagine non disponibile</translation>
    </message>
</context>
<context>
    <name>ScanArea</name>
    <message>
        <source>Spessore : %1 mm</source>
        <translation>Spessore : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : Trascinare il mouse</source>
        <translation>Spessore : Trascinare il mouse</translation>
    </message>
    <message>
        <source>Profondità (mm)</source>
        <translation>Profondità (mm)</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: confine del grasso non trovato</source>
        <translation>Spessore automatico su %1 linee: confine del grasso non trovato</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: media %2 mm, minimo %3 mm, massimo %4 mm, deviazione standard %5 mm; confine trovato nel %6% delle linee</source>
        <translation>Spessore automatico su %1 linee: media %2 mm, minimo %3 mm, massimo %4 mm, deviazione standard %5 mm; confine trovato nel %6% delle linee</translation>
    </message>
    <message>
        <source>Spessore medio : %1 mm</source>
        <translation>Spessore medio : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : confine del grasso non trovato</source>
        <translation>Spessore : confine del grasso non trovato</translation>
    </message>
</context>
<context>
    <name>ScanViewerWidget</name>
    <message>
        <source>Archivio Scansioni</source>
        <translation>Archivio Scansioni</translation>
    </message>
    <message>
        <source>Archivio Locale</source>
        <translation>Archivio Locale</translation>
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
        <translation>Scansione</translation>
    </message>
    <message>
        <source>Carica Scansione</source>
        <translation>Carica Scansione</translation>
    </message>
    <message>
        <source>Salva Scansinoe</source>
        <translation>Salva Scansinoe</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Profondità</translation>
    </message>
    <message>
        <source>Intensità</source>
        <translation>Intensità</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Auto-Enfatizza Contrasto&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Auto-Enfatizza Contrasto&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Bianco e nero</source>
        <translation>Bianco e nero</translation>
    </message>
    <message>
        <source>B/N</source>
        <translation>B/N</translation>
    </message>
    <message>
        <source>s/n :</source>
        <translation>s/n :</translation>
    </message>
    <message>
        <source>Non Connesso</source>
        <translation>Non Connesso</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>Elaborazione...</source>
        <translation>Elaborazione...</translation>
    </message>
    <message>
        <source>Apri file Scan Data</source>
        <translation>Apri file Scan Data</translation>
    </message>
    <message>
        <source>Salva file Scan Data</source>
        <translation>Salva file Scan Data</translation>
    </message>
    <message>
        <source>Mostra i confini del grasso trovati automaticamente e il loro spessore medio</source>
        <translation>Mostra i confini del grasso trovati automaticamente e il loro spessore medio</translation>
    </message>
    <message>
        <source>Strati</source>
        <translation>Strati</translation>
    </message>
    <message>
        <source>Scansione incompleta: mostrate solo le righe complete (%1).</source>
        <translation>Scansione incompleta: mostrate solo le righe complete (%1).</translation>
    </message>
</context>
<context>
    <name>ScannerSimulatorPanel</name>
    <message>
        <source>Simulatore calvimetro</source>
        <translation>Simulatore calvimetro</translation>
    </message>
    <message>
        <source>Nessun calvimetro: questa sonda simulata ne fa le veci.</source>
        <translation>Nessun calvimetro: questa sonda simulata ne fa le veci.</translation>
    </message>
    <message>
        <source>Tenere premuto per scansionare</source>
        <translation>Tenere premuto per scansionare</translation>
    </message>
    <message>
        <source>Spessore del grasso</source>
        <translation>Spessore del grasso</translation>
    </message>
    <message>
        <source>Sonda collegata</source>
        <translation>Sonda collegata</translation>
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