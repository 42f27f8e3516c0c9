<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
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
</context>
</TS>