<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Benvenuto in Calvestra</source>
        <translation>Welcome to Calvestra</translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Impostazioni</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Generale</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Lingua :</source>
        <translation>Language :</translation>
    </message>
    <message>
        <source>Aggiorna lista utenti all&apos;avvio</source>
        <translation>Refresh the client list at start-up</translation>
    </message>
    <message>
        <source>Visualizza messaggi di notifica invio dati</source>
        <translation>Show notifications when data is sent</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>Apri percorso database...</source>
        <translation>Open database folder...</translation>
    </message>
    <message>
        <source>Ripristina Database</source>
        <translation>Reset Database</translation>
    </message>
    <message>
        <source>Italiano</source>
        <translation>Italian</translation>
    </message>
    <message>
        <source>Inglese</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Portoghese</source>
        <translation>Portuguese</translation>
    </message>
    <message>
        <source>Brasiliano</source>
        <translation>Brazilian</translation>
    </message>
    <message>
        <source>Riavvio necessario</source>
        <translation>Restart required</translation>
    </message>
    <message>
        <source>E&apos; necessario riavviare l&apos;applicazione per attivare le modifiche.</source>
        <translation>The application must be restarted for the changes to take effect.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Database Reset</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</source>
        <translation>The local database is about to be deleted. The clients&apos; data on the server will not be deleted and will be downloaded again. Continue?</translation>
    </message>
</context>
<context>
    <name>UserEditDlg</name>
    <message>
        <source>Utente</source>
        <translation>Client</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Surname</translation>
    </message>
    <message>
        <source>Data di Nascita</source>
        <translation>Date of Birth</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>EMail</source>
        <translation>EMail</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>Postcode</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Town</translation>
    </message>
    <message>
        <source>Provincia</source>
        <translation>County</translation>
    </message>
</context>
</TS>
