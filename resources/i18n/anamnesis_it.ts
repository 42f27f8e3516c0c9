<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Salvataggio non riuscito</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;anamnesi nel database locale. I dati inseriti sono ancora nel modulo.</source>
        <translation>Impossibile salvare l&apos;anamnesi nel database locale. I dati inseriti sono ancora nel modulo.</translation>
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
<context>
    <name>AnamnesisTabWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
    <message>
        <source>Anamnesi :</source>
        <translation>Anamnesi :</translation>
    </message>
    <message>
        <source>Nuova Anamnesi</source>
        <translation>Nuova Anamnesi</translation>
    </message>
    <message>
        <source>Modifica Anamnesi</source>
        <translation>Modifica Anamnesi</translation>
    </message>
    <message>
        <source>Elimina Anamnesi</source>
        <translation>Elimina Anamnesi</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Riscarica lista anamnesi da cloud</source>
        <translation>Riscarica lista anamnesi da cloud</translation>
    </message>
    <message>
        <source>Nessuna anamnesi presente</source>
        <translation>Nessuna anamnesi presente</translation>
    </message>
    <message>
        <source>Eliminare l&apos;anamnesi &apos;%1&apos;?</source>
        <translation>Eliminare l&apos;anamnesi &apos;%1&apos;?</translation>
    </message>
</context>
</TS>
