<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>AnamnesiDlg</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamneses</translation>
    </message>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Falha ao salvar</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;anamnesi nel database locale. I dati inseriti sono ancora nel modulo.</source>
        <translation>Não foi possível salvar a anamnese no banco de dados local. Os dados digitados continuam no formulário.</translation>
    </message>
</context>
<context>
    <name>AnamnesiWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamneses</translation>
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
<context>
    <name>AnamnesisTabWidget</name>
    <message>
        <source>Anamnesi</source>
        <translation>Anamneses</translation>
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
        <translation>Excluir Anamnese</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Atualizar</translation>
    </message>
    <message>
        <source>Riscarica lista anamnesi da cloud</source>
        <translation>Baixar novamente a lista de anamneses da nuvem</translation>
    </message>
    <message>
        <source>Nessuna anamnesi presente</source>
        <translation>Nenhuma anamnese cadastrada</translation>
    </message>
    <message>
        <source>Eliminare l&apos;anamnesi &apos;%1&apos;?</source>
        <translation>Excluir a anamnese &apos;%1&apos;?</translation>
    </message>
</context>
</TS>
