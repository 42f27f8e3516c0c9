<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="it">
<context>
    <name>ExamDlg</name>
    <message>
        <source>Esame</source>
        <translation>Exam</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Edit Client</translation>
    </message>
    <message>
        <source>Nome Cognome</source>
        <translation>Name Surname</translation>
    </message>
    <message>
        <source>Donna</source>
        <translation>Woman</translation>
    </message>
    <message>
        <source>30 Anni</source>
        <translation>30 Years</translation>
    </message>
    <message>
        <source>&amp;Nuovo Esame</source>
        <translation>&amp;New Exam</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source> Kg</source>
        <translation> kg</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Height</translation>
    </message>
    <message>
        <source> cm</source>
        <translation> cm</translation>
    </message>
    <message>
        <source>Livello di Attività</source>
        <translation>Activity Level</translation>
    </message>
    <message>
        <source>Nessuna Attività</source>
        <translation>No Activity</translation>
    </message>
    <message>
        <source>Confronta scansioni...</source>
        <translation>Compare scans...</translation>
    </message>
    <message>
        <source>Vai alla web app...</source>
        <translation>Go to the web app...</translation>
    </message>
    <message>
        <source>Salva</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Invia Esame</source>
        <translation>Send Exam</translation>
    </message>
    <message>
        <source>&amp;Anamnesi</source>
        <translation>&amp;Anamnesis</translation>
    </message>
    <message>
        <source>Archivio &amp;Esami</source>
        <translation>&amp;Exam Archive</translation>
    </message>
    <message>
        <source>Elimina</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Rinomina</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>Compara</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>2 volte settimana</source>
        <translation>Twice a week</translation>
    </message>
    <message>
        <source>3/4 volte settimana</source>
        <translation>3/4 times a week</translation>
    </message>
    <message>
        <source>5 volte settimana</source>
        <translation>5 times a week</translation>
    </message>
    <message>
        <source>6/7 volte settimana</source>
        <translation>6/7 times a week</translation>
    </message>
    <message>
        <source>Uomo</source>
        <translation>Man</translation>
    </message>
    <message>
        <source>Anni</source>
        <translation>Years</translation>
    </message>
    <message>
        <source>Impossibile salvare la scansione.</source>
        <translation>The scan could not be saved.</translation>
    </message>
    <message>
        <source>Elimina Scansione</source>
        <translation>Delete Scan</translation>
    </message>
    <message>
        <source>Eliminare la scansione &apos;%1&apos;?</source>
        <translation>Delete the scan &apos;%1&apos;?</translation>
    </message>
    <message>
        <source>Impossibile rinominare la scansione &apos;%1&apos; in &apos;%2&apos;.</source>
        <translation>The scan &apos;%1&apos; could not be renamed to &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Esame inviato al server</source>
        <translation>Exam sent to the server</translation>
    </message>
    <message>
        <source>Si è verificato un errore durante l&apos;invio dell&apos;esame al server.
Verificare la connessione a internet e riprovare.
L&apos;esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</source>
        <translation>An error occurred while sending the exam to the server.
Check the internet connection and try again.
The exam has been saved locally and will be sent as soon as the connection is back.</translation>
    </message>
    <message>
        <source>Impossibile caricare i dati: lo spazio web riservato è esaurito.</source>
        <translation>The data cannot be uploaded: the reserved web space is full.</translation>
    </message>
    <message>
        <source>Alcune modifiche non sono state inviate al server. Inviare i dati?</source>
        <translation>Some changes have not been sent to the server. Send the data?</translation>
    </message>
    <message>
        <source>Invia Dati</source>
        <translation>Send Data</translation>
    </message>
    <message>
        <source>Esci senza inviare</source>
        <translation>Leave without sending</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;esame nel database locale.</source>
        <translation>The exam could not be saved in the local database.</translation>
    </message>
    <message>
        <source>Bozza</source>
        <translation>Draft</translation>
    </message>
</context>
<context>
    <name>ZoneChooserDialog</name>
    <message>
        <source>Scegli Zona</source>
        <translation>Choose Zone</translation>
    </message>
    <message>
        <source>Selezionare o scrivere la zona scansionata:</source>
        <translation>Choose or type the scanned zone:</translation>
    </message>
    <message>
        <source>Coscia dx</source>
        <translation>Right thigh</translation>
    </message>
    <message>
        <source>Coscia sx</source>
        <translation>Left thigh</translation>
    </message>
    <message>
        <source>Petto dx</source>
        <translation>Right chest</translation>
    </message>
    <message>
        <source>Petto sx</source>
        <translation>Left chest</translation>
    </message>
    <message>
        <source>Fianco dx</source>
        <translation>Right flank</translation>
    </message>
    <message>
        <source>Fianco sx</source>
        <translation>Left flank</translation>
    </message>
    <message>
        <source>Vita</source>
        <translation>Waist</translation>
    </message>
    <message>
        <source>Polpaccio dx</source>
        <translation>Right calf</translation>
    </message>
    <message>
        <source>Polpaccio sx</source>
        <translation>Left calf</translation>
    </message>
    <message>
        <source>Bicipite dx</source>
        <translation>Right biceps</translation>
    </message>
    <message>
        <source>Bicipite sx</source>
        <translation>Left biceps</translation>
    </message>
    <message>
        <source>Tricipite dx</source>
        <translation>Right triceps</translation>
    </message>
    <message>
        <source>Tricipite sx</source>
        <translation>Left triceps</translation>
    </message>
    <message>
        <source>Spalla dx</source>
        <translation>Right shoulder</translation>
    </message>
    <message>
        <source>Spalla sx</source>
        <translation>Left shoulder</translation>
    </message>
    <message>
        <source>Ascella dx</source>
        <translation>Right armpit</translation>
    </message>
    <message>
        <source>Ascella sx</source>
        <translation>Left armpit</translation>
    </message>
    <message>
        <source>Collo dx</source>
        <translation>Right neck</translation>
    </message>
    <message>
        <source>Collo sx</source>
        <translation>Left neck</translation>
    </message>
    <message>
        <source>Scapola dx</source>
        <translation>Right shoulder blade</translation>
    </message>
    <message>
        <source>Scapola sx</source>
        <translation>Left shoulder blade</translation>
    </message>
</context>
</TS>
