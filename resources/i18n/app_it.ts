<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>ClientEditDlg</name>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Salvataggio non riuscito</translation>
    </message>
    <message>
        <source>Impossibile salvare il cliente nel database locale:
%1
I dati inseriti sono ancora nel modulo.</source>
        <translation>Impossibile salvare il cliente nel database locale:
%1
I dati inseriti sono ancora nel modulo.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Aggiungi Utente</source>
        <translation>Aggiungi Utente</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Modifica Utente</translation>
    </message>
    <message>
        <source>Elimina Utente</source>
        <translation>Elimina Utente</translation>
    </message>
    <message>
        <source>Aggiorna Lista Utenti</source>
        <translation>Aggiorna Lista Utenti</translation>
    </message>
    <message>
        <source>Guida</source>
        <translation>Guida</translation>
    </message>
    <message>
        <source>Opzioni</source>
        <translation>Opzioni</translation>
    </message>
    <message>
        <source>Verifica aggiornamenti</source>
        <translation>Verifica aggiornamenti</translation>
    </message>
    <message>
        <source>Alcuni dati sono in attesa di essere caricati in cloud</source>
        <translation>Alcuni dati sono in attesa di essere caricati in cloud</translation>
    </message>
    <message>
        <source>Connesso</source>
        <translation>Connesso</translation>
    </message>
    <message>
        <source>Disconnesso</source>
        <translation>Disconnesso</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Cognome</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sesso</translation>
    </message>
    <message>
        <source>Data Nascita</source>
        <translation>Data Nascita</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Altezza</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Peso</translation>
    </message>
    <message>
        <source>Livello Attività</source>
        <translation>Livello Attività</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Indirizzo</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Località</translation>
    </message>
    <message>
        <source>Prov.</source>
        <translation>Prov.</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Telefono</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>Email</translation>
    </message>
    <message>
        <source>Eliminazione Utente</source>
        <translation>Eliminazione Utente</translation>
    </message>
    <message>
        <source>L'utente '%1 %2'sta per essere eliminato.
Continuare?</source>
        <translation>L'utente '%1 %2'sta per essere eliminato.
Continuare?</translation>
    </message>
    <message>
        <source>Esame del %1 dell'utente %2 %3 inviato al server.</source>
        <translation>Esame del %1 dell'utente %2 %3 inviato al server.</translation>
    </message>
    <message>
        <source>Anagrafica dell'utente %1 %2 inviata al server.</source>
        <translation>Anagrafica dell'utente %1 %2 inviata al server.</translation>
    </message>
    <message>
        <source>Anamnesi '%1' dell'utente %2 %3 inviata al server.</source>
        <translation>Anamnesi '%1' dell'utente %2 %3 inviata al server.</translation>
    </message>
    <message>
        <source>Aggiornamento Software</source>
        <translation>Aggiornamento Software</translation>
    </message>
    <message>
        <source>E' online una nuova versione del software, si desidera scaricare il setup?</source>
        <translation>E' online una nuova versione del software, si desidera scaricare il setup?</translation>
    </message>
    <message>
        <source>Impostazioni...</source>
        <translation>Impostazioni...</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1</source>
        <translation>Il server ha rifiutato un dato da inviare: %1</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare o scartarlo.</source>
        <translation>Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare o scartarlo.</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nessun account configurato: i dati non vengono inviati al server.</translation>
    </message>
    <message>
        <source>Il server ha rifiutato il token dell'account: i dati non vengono inviati.</source>
        <translation>Il server ha rifiutato il token dell'account: i dati non vengono inviati.</translation>
    </message>
    <message>
        <source>Errore del database locale: %1</source>
        <translation>Errore del database locale: %1</translation>
    </message>
</context>
<context>
    <name>OutboxDlg</name>
    <message>
        <source>Riprova</source>
        <translation>Riprova</translation>
    </message>
    <message>
        <source>Scarta</source>
        <translation>Scarta</translation>
    </message>
    <message>
        <source>Invia ora</source>
        <translation>Invia ora</translation>
    </message>
    <message>
        <source>Dati in attesa di invio</source>
        <translation>Dati in attesa di invio</translation>
    </message>
    <message>
        <source>Tipo</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Dato</source>
        <translation>Dato</translation>
    </message>
    <message>
        <source>Stato</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>L'invio è sospeso: verificare l'account nelle impostazioni.</source>
        <translation>L'invio è sospeso: verificare l'account nelle impostazioni.</translation>
    </message>
    <message>
        <source>Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?</source>
        <translation>Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?</translation>
    </message>
    <message>
        <source>Dati in attesa di invio: %1.</source>
        <translation>Dati in attesa di invio: %1.</translation>
    </message>
    <message>
        <source>Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).</source>
        <translation>Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).</translation>
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
        <source>Aggiorna lista utenti all'avvio</source>
        <translation>Aggiorna lista utenti all'avvio</translation>
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
        <source>E' necessario riavviare l'applicazione per attivare le modifiche.</source>
        <translation>E' necessario riavviare l'applicazione per attivare le modifiche.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Ripristino Database</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati.</source>
        <translation>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati.</translation>
    </message>
    <message>
        <source>Continuare?</source>
        <translation>Continuare?</translation>
    </message>
    <message>
        <source>Database ripristinato. Le scansioni precedenti sono state spostate in %1.</source>
        <translation>Database ripristinato. Le scansioni precedenti sono state spostate in %1.</translation>
    </message>
    <message>
        <source>Impossibile ripristinare il database.</source>
        <translation>Impossibile ripristinare il database.</translation>
    </message>
    <message>
        <source>Numero account</source>
        <translation>Numero account</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>Certificati CA</source>
        <translation>Certificati CA</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Account</translation>
    </message>
    <message>
        <source>(conservato)</source>
        <translation>(conservato)</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nessun account configurato: i dati non vengono inviati al server.</translation>
    </message>
    <message>
        <source>Nessun token: un server con autenticazione rifiuta i dati.</source>
        <translation>Nessun token: un server con autenticazione rifiuta i dati.</translation>
    </message>
    <message>
        <source>Il file indicato non contiene certificati.</source>
        <translation>Il file indicato non contiene certificati.</translation>
    </message>
    <message>
        <source>Certificati (*.pem *.crt);;Tutti i file (*)</source>
        <translation>Certificati (*.pem *.crt);;Tutti i file (*)</translation>
    </message>
    <message>
        <source>Dati non ancora inviati al server, che andranno persi: %1.</source>
        <translation>Dati non ancora inviati al server, che andranno persi: %1.</translation>
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
        <translation>Database danneggiato</translation>
    </message>
    <message>
        <source>Il database locale %1 non può essere letto (%2).
Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.
Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.</source>
        <translation>Il database locale %1 non può essere letto (%2).
Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.
Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.</translation>
    </message>
    <message>
        <source>Impossibile creare un nuovo database.</source>
        <translation>Impossibile creare un nuovo database.</translation>
    </message>
    <message>
        <source>Il database danneggiato è stato spostato in %1.</source>
        <translation>Il database danneggiato è stato spostato in %1.</translation>
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