<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnese</translation>
    </message>
</context>
<context>
    <name>AnamnesiWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnese</translation>
    </message>
    <message>
        <source>Modello :</source>
        <translation>Modelo :</translation>
    </message>
    <message>
        <source>Data :</source>
        <translation>Data :</translation>
    </message>
    <message>
        <source>Usare il mouse per definire punti e linee di misura</source>
        <translation>Utilize o rato para definir pontos e linhas de medição</translation>
    </message>
    <message>
        <source>Note :</source>
        <translation>Notas :</translation>
    </message>
</context>
</TS>