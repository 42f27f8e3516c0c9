<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Benvenuto in Calvestra</source>
        <translation>Bem-vindo ao Calvestra</translation>
    </message>
</context>
</TS>