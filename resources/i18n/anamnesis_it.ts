<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
</context>
<context>
    <name>AnamnesiWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
    <message>
        <source>Modello :</source>
        <translation>Modello :</translation>
    </message>
    <message>
        <source>Data :</source>
        <translation>Data :</translation>
    </message>
    <message>
        <source>Usare il mouse per definire punti e linee di misura</source>
        <translation>Usare il mouse per definire punti e linee di misura</translation>
    </message>
    <message>
        <source>Note :</source>
        <translation>Note :</translation>
    </message>
</context>
</TS>