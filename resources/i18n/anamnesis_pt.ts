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
<context>
    <name>AnamnesisTabWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnese</translation>
    </message>
    <message>
        <source>Anamnesi :</source>
        <translation>Anamnese :</translation>
    </message>
    <message>
        <source>Nuova Anamnesi</source>
        <translation>Nova Anamnese</translation>
    </message>
    <message>
        <source>Modifica Anamnesi</source>
        <translation>Editar Anamnese</translation>
    </message>
    <message>
        <source>Elimina Anamnesi</source>
        <translation>Eliminar Anamnese</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>Riscarica lista anamnesi da cloud</source>
        <translation>Voltar a transferir a lista de anamneses da nuvem</translation>
    </message>
    <message>
        <source>Nessuna anamnesi presente</source>
        <translation>Nenhuma anamnese presente</translation>
    </message>
    <message>
        <source>Eliminare l'anamnesi '%1'?</source>
        <translation>Eliminar a anamnese '%1'?</translation>
    </message>
</context>
</TS>