<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Benvenuto in Calvestra</source>
        <translation>Benvenuto in Calvestra</translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Impostazioni</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Generale</source>
        <translation>Generale</translation>
    </message>
    <message>
        <source>Lingua :</source>
        <translation>Lingua :</translation>
    </message>
    <message>
        <source>Aggiorna lista utenti all&apos;avvio</source>
        <translation>Aggiorna lista utenti all&apos;avvio</translation>
    </message>
    <message>
        <source>Visualizza messaggi di notifica invio dati</source>
        <translation>Visualizza messaggi di notifica invio dati</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>Apri percorso database...</source>
        <translation>Apri percorso database...</translation>
    </message>
    <message>
        <source>Ripristina Database</source>
        <translation>Ripristina Database</translation>
    </message>
    <message>
        <source>Italiano</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>Inglese</source>
        <translation>Inglese</translation>
    </message>
    <message>
        <source>Portoghese</source>
        <translation>Portoghese</translation>
    </message>
    <message>
        <source>Brasiliano</source>
        <translation>Brasiliano</translation>
    </message>
    <message>
        <source>Riavvio necessario</source>
        <translation>Riavvio necessario</translation>
    </message>
    <message>
        <source>E&apos; necessario riavviare l&apos;applicazione per attivare le modifiche.</source>
        <translation>E&apos; necessario riavviare l&apos;applicazione per attivare le modifiche.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Ripristino Database</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</source>
        <translation>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</translation>
    </message>
</context>
<context>
    <name>UserEditDlg</name>
    <message>
        <source>Utente</source>
        <translation>Utente</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Cognome</translation>
    </message>
    <message>
        <source>Data di Nascita</source>
        <translation>Data di Nascita</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sesso</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Telefono</translation>
    </message>
    <message>
        <source>EMail</source>
        <translation>EMail</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Indirizzo</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Località</translation>
    </message>
    <message>
        <source>Provincia</source>
        <translation>Provincia</translation>
    </message>
</context>
</TS>
