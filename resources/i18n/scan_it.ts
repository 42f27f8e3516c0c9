<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="it" sourcelanguage="it">
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
</context>
</TS>