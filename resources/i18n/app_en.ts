<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Benvenuto in Calvestra</source>
        <translation>Welcome to Calvestra</translation>
    </message>
</context>
</TS>