<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>ClientEditDlg</name>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>Impossibile salvare il cliente nel database locale:
%1
I dati inseriti sono ancora nel modulo.</source>
        <translation>The client could not be saved in the local database:
%1
What you entered is still in the form.</translation>
    </message>
</context>
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
    <message>
        <source>Impostazioni...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1</source>
        <translation>The server refused an item to send: %1</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare o scartarlo.</source>
        <translation>The server refused an item to send: %1. Open the list of waiting items to try again or discard it.</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>No account configured: data is not sent to the server.</translation>
    </message>
    <message>
        <source>Il server ha rifiutato il token dell'account: i dati non vengono inviati.</source>
        <translation>The server refused the account's token: data is not sent.</translation>
    </message>
    <message>
        <source>Errore del database locale: %1</source>
        <translation>Local database error: %1</translation>
    </message>
</context>
<context>
    <name>OutboxDlg</name>
    <message>
        <source>Riprova</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>Scarta</source>
        <translation>Discard</translation>
    </message>
    <message>
        <source>Invia ora</source>
        <translation>Send now</translation>
    </message>
    <message>
        <source>Dati in attesa di invio</source>
        <translation>Data waiting to be sent</translation>
    </message>
    <message>
        <source>Tipo</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Dato</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>Stato</source>
        <translation>State</translation>
    </message>
    <message>
        <source>L'invio è sospeso: verificare l'account nelle impostazioni.</source>
        <translation>Sending is suspended: check the account in the settings.</translation>
    </message>
    <message>
        <source>Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?</source>
        <translation>The selected item will not be sent to the server. The local data stays as it is. Continue?</translation>
    </message>
    <message>
        <source>Dati in attesa di invio: %1.</source>
        <translation>Data waiting to be sent: %1.</translation>
    </message>
    <message>
        <source>Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).</source>
        <translation>Refused by the server: %1 (select them to retry or discard them).</translation>
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
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati.</source>
        <translation>The local database is about to be deleted. The users' data on the server will not be deleted and will be downloaded again.</translation>
    </message>
    <message>
        <source>Continuare?</source>
        <translation>Continue?</translation>
    </message>
    <message>
        <source>Database ripristinato. Le scansioni precedenti sono state spostate in %1.</source>
        <translation>Database reset. The earlier scans were moved to %1.</translation>
    </message>
    <message>
        <source>Impossibile ripristinare il database.</source>
        <translation>The database could not be reset.</translation>
    </message>
    <message>
        <source>Numero account</source>
        <translation>Account number</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>Certificati CA</source>
        <translation>CA certificates</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Account</translation>
    </message>
    <message>
        <source>(conservato)</source>
        <translation>(stored)</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>No account configured: data is not sent to the server.</translation>
    </message>
    <message>
        <source>Nessun token: un server con autenticazione rifiuta i dati.</source>
        <translation>No token: a server with authentication refuses the data.</translation>
    </message>
    <message>
        <source>Il file indicato non contiene certificati.</source>
        <translation>The file given holds no certificates.</translation>
    </message>
    <message>
        <source>Certificati (*.pem *.crt);;Tutti i file (*)</source>
        <translation>Certificates (*.pem *.crt);;All files (*)</translation>
    </message>
    <message>
        <source>Dati non ancora inviati al server, che andranno persi: %1.</source>
        <translation>Data not yet sent to the server, which will be lost: %1.</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Calvestra</source>
        <translation>Calvestra</translation>
    </message>
    <message>
        <source>Database danneggiato</source>
        <translation>Damaged database</translation>
    </message>
    <message>
        <source>Il database locale %1 non può essere letto (%2).
Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.
Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.</source>
        <translation>The local database %1 cannot be read (%2).
It will be moved aside unchanged, together with the scans, and a new one will be created; the clients saved on the server will be downloaded again.
Continue? Choosing No closes the application and leaves the file as it is.</translation>
    </message>
    <message>
        <source>Impossibile creare un nuovo database.</source>
        <translation>A new database could not be created.</translation>
    </message>
    <message>
        <source>Il database danneggiato è stato spostato in %1.</source>
        <translation>The damaged database was moved to %1.</translation>
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