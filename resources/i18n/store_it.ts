<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Clienti</source>
        <translation>Clienti</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Esami</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Anamnesi eliminate</translation>
    </message>
</context>
</TS>