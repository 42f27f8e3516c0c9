<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt" sourcelanguage="it">
<context>
    <name>ArchiveTabWidget</name>
    <message>
        <source>Archivio Esami</source>
        <translation>Arquivo de Exames</translation>
    </message>
</context>
<context>
    <name>CompareScansDlg</name>
    <message>
        <source>Confronto Scansioni</source>
        <translation>Comparação de Digitalizações</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Profundidade</translation>
    </message>
    <message>
        <source>Bianco e Nero</source>
        <translation>Preto e Branco</translation>
    </message>
    <message>
        <source>Auto Enfatizza Contrasto</source>
        <translation>Realçar Contraste Automaticamente</translation>
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
        <translation>a carregar...</translation>
    </message>
    <message>
        <source>Immagine non disponibile</source>
        <translation>Imagem indisponível</translation>
    </message>
</context>
<context>
    <name>ScanArea</name>
    <message>
        <source>Spessore : %1 mm</source>
        <translation>Espessura : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : Trascinare il mouse</source>
        <translation>Espessura : Arraste o rato</translation>
    </message>
    <message>
        <source>Profondità (mm)</source>
        <translation>Profundidade (mm)</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: confine del grasso non trovato</source>
        <translation>Espessura automática em %1 linhas: limite da gordura não encontrado</translation>
    </message>
    <message>
        <source>Spessore automatico su %1 linee: media %2 mm, minimo %3 mm, massimo %4 mm, deviazione standard %5 mm; confine trovato nel %6% delle linee</source>
        <translation>Espessura automática em %1 linhas: média %2 mm, mínimo %3 mm, máximo %4 mm, desvio padrão %5 mm; limite encontrado em %6% das linhas</translation>
    </message>
    <message>
        <source>Spessore medio : %1 mm</source>
        <translation>Espessura média : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : confine del grasso non trovato</source>
        <translation>Espessura : limite da gordura não encontrado</translation>
    </message>
</context>
<context>
    <name>ScanViewerWidget</name>
    <message>
        <source>Archivio Scansioni</source>
        <translation>Arquivo de Digitalizações</translation>
    </message>
    <message>
        <source>Archivio Locale</source>
        <translation>Arquivo Local</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>Nuvem</translation>
    </message>
</context>
<context>
    <name>ScanWidget</name>
    <message>
        <source>Scansione</source>
        <translation>Digitalização</translation>
    </message>
    <message>
        <source>Carica Scansione</source>
        <translation>Carregar Digitalização</translation>
    </message>
    <message>
        <source>Salva Scansinoe</source>
        <translation>Guardar Digitalização</translation>
    </message>
    <message>
        <source>Profondità</source>
        <translation>Profundidade</translation>
    </message>
    <message>
        <source>Intensità</source>
        <translation>Intensidade</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Auto-Enfatizza Contrasto&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Realçar Contraste Automaticamente&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>Bianco e nero</source>
        <translation>Preto e branco</translation>
    </message>
    <message>
        <source>B/N</source>
        <translation>P/B</translation>
    </message>
    <message>
        <source>s/n :</source>
        <translation>n/s :</translation>
    </message>
    <message>
        <source>Non Connesso</source>
        <translation>Não Ligado</translation>
    </message>
    <message>
        <source>Pronto</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation>A digitalizar...</translation>
    </message>
    <message>
        <source>Elaborazione...</source>
        <translation>A processar...</translation>
    </message>
    <message>
        <source>Apri file Scan Data</source>
        <translation>Abrir ficheiro Scan Data</translation>
    </message>
    <message>
        <source>Salva file Scan Data</source>
        <translation>Guardar ficheiro Scan Data</translation>
    </message>
    <message>
        <source>Mostra i confini del grasso trovati automaticamente e il loro spessore medio</source>
        <translation>Mostra os limites da gordura encontrados automaticamente e a sua espessura média</translation>
    </message>
    <message>
        <source>Strati</source>
        <translation>Camadas</translation>
    </message>
    <message>
        <source>Scansione incompleta: mostrate solo le righe complete (%1).</source>
        <translation>Digitalização incompleta: apenas as linhas completas são mostradas (%1).</translation>
    </message>
</context>
<context>
    <name>ScannerSimulatorPanel</name>
    <message>
        <source>Simulatore calvimetro</source>
        <translation>Simulador do calvímetro</translation>
    </message>
    <message>
        <source>Nessun calvimetro: questa sonda simulata ne fa le veci.</source>
        <translation>Sem calvímetro: esta sonda simulada substitui-o.</translation>
    </message>
    <message>
        <source>Tenere premuto per scansionare</source>
        <translation>Manter premido para digitalizar</translation>
    </message>
    <message>
        <source>Spessore del grasso</source>
        <translation>Espessura da gordura</translation>
    </message>
    <message>
        <source>Sonda collegata</source>
        <translation>Sonda ligada</translation>
    </message>
</context>
<context>
    <name>SlideShowDlg</name>
    <message>
        <source>Slideshow</source>
        <translation>Apresentação</translation>
    </message>
</context>
</TS>