<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>ScanArea</name>
    <message>
        <source>Spessore : %1 mm</source>
        <translation>Espessura : %1 mm</translation>
    </message>
    <message>
        <source>Spessore : Trascinare il mouse</source>
        <translation>Espessura : Arraste o mouse</translation>
    </message>
    <message>
        <source>Profondità (mm)</source>
        <translation>Profundidade (mm)</translation>
    </message>
</context>
</TS>