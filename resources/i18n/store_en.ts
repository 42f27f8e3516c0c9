<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Impossibile creare la cartella dei dati %1. Verificare i permessi o lo spazio su disco.</source>
        <translation>The data folder %1 could not be created. Check the permissions or the disk space.</translation>
    </message>
    <message>
        <source>Impossibile creare il database %1. Verificare i permessi dei file.</source>
        <translation>The database %1 could not be created. Check the file permissions.</translation>
    </message>
    <message>
        <source>Impossibile creare la cartella %1</source>
        <translation>The folder %1 could not be created</translation>
    </message>
    <message>
        <source>Impossibile spostare %1</source>
        <translation>%1 could not be moved</translation>
    </message>
    <message>
        <source>Impossibile eliminare %1</source>
        <translation>%1 could not be deleted</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste più</source>
        <translation>The client %1 no longer exists</translation>
    </message>
    <message>
        <source>Impossibile registrare il cliente tra i dati da inviare</source>
        <translation>The client could not be recorded among the data to send</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste</source>
        <translation>The client %1 does not exist</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione del cliente</source>
        <translation>The client&apos;s deletion could not be recorded</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste più</source>
        <translation>The questionnaire %1 no longer exists</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;anamnesi tra i dati da inviare</source>
        <translation>The questionnaire could not be recorded among the data to send</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste</source>
        <translation>The questionnaire %1 does not exist</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione dell&apos;anamnesi</source>
        <translation>The questionnaire&apos;s deletion could not be recorded</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;esame tra i dati da inviare</source>
        <translation>The exam could not be recorded among the data to send</translation>
    </message>
</context>
<context>
    <name>OutboxDescription</name>
    <message>
        <source>lo spazio web riservato è esaurito</source>
        <translation>the reserved web space is used up</translation>
    </message>
    <message>
        <source>il server non conosce il cliente</source>
        <translation>the server does not know the client</translation>
    </message>
    <message>
        <source>il server ha rifiutato i dati (%1)</source>
        <translation>the server refused the data (%1)</translation>
    </message>
    <message>
        <source>il token dell&apos;account è stato rifiutato</source>
        <translation>the account&apos;s token was refused</translation>
    </message>
    <message>
        <source>troppe richieste, il server chiede di attendere</source>
        <translation>too many requests, the server asks to wait</translation>
    </message>
    <message>
        <source>server non raggiungibile (%1)</source>
        <translation>server unreachable (%1)</translation>
    </message>
    <message>
        <source>errore %1</source>
        <translation>error %1</translation>
    </message>
    <message>
        <source>in invio</source>
        <translation>sending</translation>
    </message>
    <message>
        <source>rifiutato: %1</source>
        <translation>refused: %1</translation>
    </message>
    <message>
        <source>in attesa del cliente</source>
        <translation>waiting for the client</translation>
    </message>
    <message>
        <source>nuovo tentativo alle %1 (%2)</source>
        <translation>next attempt at %1 (%2)</translation>
    </message>
    <message>
        <source>in attesa</source>
        <translation>waiting</translation>
    </message>
    <message>
        <source>Clienti</source>
        <translation>Clients</translation>
    </message>
    <message>
        <source>Clienti eliminati</source>
        <translation>Deleted clients</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Exams</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Deleted questionnaires</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Questionnaires</translation>
    </message>
</context>
</TS>
