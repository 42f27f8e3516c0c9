<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Questionnaires</translation>
    </message>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;anamnesi nel database locale. I dati inseriti sono ancora nel modulo.</source>
        <translation>The questionnaire could not be saved in the local database. What you entered is still in the form.</translation>
    </message>
</context>
<context>
    <name>AnamnesiWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Questionnaires</translation>
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
        <translation>Questionnaires</translation>
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
        <source>Eliminare l&apos;anamnesi &apos;%1&apos;?</source>
        <translation>Delete the anamnesis &apos;%1&apos;?</translation>
    </message>
</context>
</TS>
