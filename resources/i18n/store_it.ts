<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Impossibile creare la cartella dei dati %1. Verificare i permessi o lo spazio su disco.</source>
        <translation>Impossibile creare la cartella dei dati %1. Verificare i permessi o lo spazio su disco.</translation>
    </message>
    <message>
        <source>Impossibile creare il database %1. Verificare i permessi dei file.</source>
        <translation>Impossibile creare il database %1. Verificare i permessi dei file.</translation>
    </message>
    <message>
        <source>Impossibile creare la cartella %1</source>
        <translation>Impossibile creare la cartella %1</translation>
    </message>
    <message>
        <source>Impossibile spostare %1</source>
        <translation>Impossibile spostare %1</translation>
    </message>
    <message>
        <source>Impossibile eliminare %1</source>
        <translation>Impossibile eliminare %1</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste più</source>
        <translation>Il cliente %1 non esiste più</translation>
    </message>
    <message>
        <source>Impossibile registrare il cliente tra i dati da inviare</source>
        <translation>Impossibile registrare il cliente tra i dati da inviare</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste</source>
        <translation>Il cliente %1 non esiste</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione del cliente</source>
        <translation>Impossibile registrare l&apos;eliminazione del cliente</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste più</source>
        <translation>L&apos;anamnesi %1 non esiste più</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;anamnesi tra i dati da inviare</source>
        <translation>Impossibile registrare l&apos;anamnesi tra i dati da inviare</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste</source>
        <translation>L&apos;anamnesi %1 non esiste</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione dell&apos;anamnesi</source>
        <translation>Impossibile registrare l&apos;eliminazione dell&apos;anamnesi</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;esame tra i dati da inviare</source>
        <translation>Impossibile registrare l&apos;esame tra i dati da inviare</translation>
    </message>
</context>
<context>
    <name>OutboxDescription</name>
    <message>
        <source>lo spazio web riservato è esaurito</source>
        <translation>lo spazio web riservato è esaurito</translation>
    </message>
    <message>
        <source>il server non conosce il cliente</source>
        <translation>il server non conosce il cliente</translation>
    </message>
    <message>
        <source>il server ha rifiutato i dati (%1)</source>
        <translation>il server ha rifiutato i dati (%1)</translation>
    </message>
    <message>
        <source>il token dell&apos;account è stato rifiutato</source>
        <translation>il token dell&apos;account è stato rifiutato</translation>
    </message>
    <message>
        <source>troppe richieste, il server chiede di attendere</source>
        <translation>troppe richieste, il server chiede di attendere</translation>
    </message>
    <message>
        <source>server non raggiungibile (%1)</source>
        <translation>server non raggiungibile (%1)</translation>
    </message>
    <message>
        <source>errore %1</source>
        <translation>errore %1</translation>
    </message>
    <message>
        <source>in invio</source>
        <translation>in invio</translation>
    </message>
    <message>
        <source>rifiutato: %1</source>
        <translation>rifiutato: %1</translation>
    </message>
    <message>
        <source>in attesa del cliente</source>
        <translation>in attesa del cliente</translation>
    </message>
    <message>
        <source>nuovo tentativo alle %1 (%2)</source>
        <translation>nuovo tentativo alle %1 (%2)</translation>
    </message>
    <message>
        <source>in attesa</source>
        <translation>in attesa</translation>
    </message>
    <message>
        <source>Clienti</source>
        <translation>Clienti</translation>
    </message>
    <message>
        <source>Clienti eliminati</source>
        <translation>Clienti eliminati</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Esami</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Anamnesi eliminate</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Anamnesi</translation>
    </message>
</context>
</TS>
