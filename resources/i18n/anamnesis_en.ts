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
<context>
    <name>AnamnesisTabWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesis</translation>
    </message>
    <message>
        <source>Anamnesi :</source>
        <translation>Anamnesis :</translation>
    </message>
    <message>
        <source>Nuova Anamnesi</source>
        <translation>New Anamnesis</translation>
    </message>
    <message>
        <source>Modifica Anamnesi</source>
        <translation>Edit Anamnesis</translation>
    </message>
    <message>
        <source>Elimina Anamnesi</source>
        <translation>Delete Anamnesis</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Riscarica lista anamnesi da cloud</source>
        <translation>Download the anamnesis list again from the cloud</translation>
    </message>
    <message>
        <source>Nessuna anamnesi presente</source>
        <translation>No anamnesis available</translation>
    </message>
    <message>
        <source>Eliminare l'anamnesi '%1'?</source>
        <translation>Delete the anamnesis '%1'?</translation>
    </message>
</context>
</TS>