<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Clienti</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Exams</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesis</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Deleted anamnesis</translation>
    </message>
</context>
</TS>