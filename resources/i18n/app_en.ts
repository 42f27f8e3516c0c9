<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Aggiungi Utente</source>
        <translation>Add Client</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Edit Client</translation>
    </message>
    <message>
        <source>Elimina Utente</source>
        <translation>Delete Client</translation>
    </message>
    <message>
        <source>Aggiorna Lista Utenti</source>
        <translation>Refresh Client List</translation>
    </message>
    <message>
        <source>Guida</source>
        <translation>User Guide</translation>
    </message>
    <message>
        <source>Opzioni</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Verifica aggiornamenti</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>Alcuni dati sono in attesa di essere caricati in cloud</source>
        <translation>Some data is waiting to be uploaded to the cloud</translation>
    </message>
    <message>
        <source>Connesso</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Disconnesso</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Surname</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sex</translation>
    </message>
    <message>
        <source>Data Nascita</source>
        <translation>Date of Birth</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>Livello Attività</source>
        <translation>Activity Level</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Town</translation>
    </message>
    <message>
        <source>Prov.</source>
        <translation>County</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>Postcode</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>Email</translation>
    </message>
    <message>
        <source>Eliminazione Utente</source>
        <translation>Client Deletion</translation>
    </message>
    <message>
        <source>L'utente '%1 %2'sta per essere eliminato.
Continuare?</source>
        <translation>The client '%1 %2' is about to be deleted.
Continue?</translation>
    </message>
    <message>
        <source>Esame del %1 dell'utente %2 %3 inviato al server.</source>
        <translation>Exam of %1 of client %2 %3 sent to the server.</translation>
    </message>
    <message>
        <source>Anagrafica dell'utente %1 %2 inviata al server.</source>
        <translation>Personal data of client %1 %2 sent to the server.</translation>
    </message>
    <message>
        <source>Anamnesi '%1' dell'utente %2 %3 inviata al server.</source>
        <translation>Anamnesis '%1' of client %2 %3 sent to the server.</translation>
    </message>
    <message>
        <source>Aggiornamento Software</source>
        <translation>Software Update</translation>
    </message>
    <message>
        <source>E' online una nuova versione del software, si desidera scaricare il setup?</source>
        <translation>A new version of the software is online. Do you want to download the installer?</translation>
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
        <source>Aggiorna lista utenti all'avvio</source>
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
        <source>E' necessario riavviare l'applicazione per attivare le modifiche.</source>
        <translation>The application must be restarted for the changes to take effect.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Database Reset</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</source>
        <translation>The local database is about to be deleted. The clients' data on the server will not be deleted and will be downloaded again. Continue?</translation>
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