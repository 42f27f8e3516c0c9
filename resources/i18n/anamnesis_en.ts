<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesis</translation>
    </message>
</context>
<context>
    <name>AnamnesiWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesis</translation>
    </message>
    <message>
        <source>Modello :</source>
        <translation>Model :</translation>
    </message>
    <message>
        <source>Data :</source>
        <translation>Date :</translation>
    </message>
    <message>
        <source>Usare il mouse per definire punti e linee di misura</source>
        <translation>Use the mouse to place measurement points and lines</translation>
    </message>
    <message>
        <source>Note :</source>
        <translation>Notes :</translation>
    </message>
</context>
</TS>