<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Clienti</source>
        <translation>Clientes</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Exames</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnese</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Anamneses excluídas</translation>
    </message>
</context>
</TS>