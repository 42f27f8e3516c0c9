<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
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
        <translation>Use o mouse para definir pontos e linhas de medição</translation>
    </message>
    <message>
        <source>Note :</source>
        <translation>Observações :</translation>
    </message>
</context>
</TS>