<?xml version='1.0' encoding='utf-8'?>
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
        <source>Eliminare la scansione '%1'?</source>
        <translation>Delete the scan '%1'?</translation>
    </message>
    <message>
        <source>Impossibile rinominare la scansione '%1' in '%2'.</source>
        <translation>The scan '%1' could not be renamed to '%2'.</translation>
    </message>
    <message>
        <source>Esame inviato al server</source>
        <translation>Exam sent to the server</translation>
    </message>
    <message>
        <source>Si è verificato un errore durante l'invio dell'esame al server.
Verificare la connessione a internet e riprovare.
L'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</source>
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
        <source>Impossibile salvare l'esame nel database locale.</source>
        <translation>The exam could not be saved in the local database.</translation>
    </message>
    <message>
        <source>An&amp;damento</source>
        <translation>Pro&amp;gress</translation>
    </message>
    <message>
        <source>Bozza</source>
        <translation>Draft</translation>
    </message>
</context>
<context>
    <name>ProgressChart</name>
    <message>
        <source>Variazione minima sconosciuta: una sola scansione il %1</source>
        <translation>Smallest real change unknown: a single scan on %1</translation>
    </message>
    <message>
        <source>Spessore (mm)</source>
        <translation>Thickness (mm)</translation>
    </message>
    <message>
        <source>Variazione minima ± %1 mm (%2 scansioni il %3)</source>
        <translation>Smallest real change ± %1 mm (%2 scans on %3)</translation>
    </message>
    <message>
        <source>Media del giorno</source>
        <translation>Mean of the day</translation>
    </message>
</context>
<context>
    <name>ProgressTab</name>
    <message>
        <source>Esporta report PDF...</source>
        <translation>Export PDF report...</translation>
    </message>
    <message>
        <source>Esporta CSV...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>Nessuna lettura dello spessore per questo cliente.</source>
        <translation>No thickness readings for this client.</translation>
    </message>
    <message>
        <source>(lettura dal cloud in corso...)</source>
        <translation>(reading from the cloud...)</translation>
    </message>
    <message>
        <source>Esporta report PDF</source>
        <translation>Export PDF report</translation>
    </message>
    <message>
        <source>Documenti PDF (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il report: %1</source>
        <translation>The report could not be written: %1</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>File CSV (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il file CSV: %1</source>
        <translation>The CSV file could not be written: %1</translation>
    </message>
    <message>
        <source>Letture: %1, dagli esami sul cloud: %2</source>
        <translation>Readings: %1, from the exams in the cloud: %2</translation>
    </message>
</context>
<context>
    <name>ReportPdf</name>
    <message>
        <source>Pagina %1 di %2</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>Andamento dello spessore del grasso</source>
        <translation>Fat thickness over time</translation>
    </message>
    <message>
        <source>(%1 anni)</source>
        <translation>(%1 years)</translation>
    </message>
    <message>
        <source>Cliente: %1</source>
        <translation>Client: %1</translation>
    </message>
    <message>
        <source>Data di nascita: %1</source>
        <translation>Date of birth: %1</translation>
    </message>
    <message>
        <source>Altezza: %1 cm   Peso: %2 kg</source>
        <translation>Height: %1 cm   Weight: %2 kg</translation>
    </message>
    <message>
        <source>Ultimo esame: %1</source>
        <translation>Latest exam: %1</translation>
    </message>
    <message>
        <source>nessuno</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Report del %1</source>
        <translation>Report of %1</translation>
    </message>
    <message>
        <source>%1: %2 mm</source>
        <translation>%1: %2 mm</translation>
    </message>
    <message>
        <source>%1 mm (%2)</source>
        <translation>%1 mm (%2)</translation>
    </message>
    <message>
        <source>Zone dell'ultimo esame</source>
        <translation>Zones of the latest exam</translation>
    </message>
    <message>
        <source>Zona</source>
        <translation>Zone</translation>
    </message>
    <message>
        <source>Spessore</source>
        <translation>Thickness</translation>
    </message>
    <message>
        <source>Dal primo esame</source>
        <translation>Since the first exam</translation>
    </message>
    <message>
        <source>Dall'esame precedente</source>
        <translation>Since the previous exam</translation>
    </message>
    <message>
        <source>Variazione minima</source>
        <translation>Smallest real change</translation>
    </message>
    <message>
        <source>%1 mm</source>
        <translation>%1 mm</translation>
    </message>
    <message>
        <source>± %1 mm</source>
        <translation>± %1 mm</translation>
    </message>
    <message>
        <source>sconosciuta</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>… e altre %1 zone: vedere le letture.</source>
        <translation>… and %1 more zones: see the readings.</translation>
    </message>
    <message>
        <source>In grassetto le variazioni più grandi della variazione minima, cioè del rumore di misura stimato dalle scansioni ripetute della zona nell'ultimo esame.</source>
        <translation>In bold: changes larger than the smallest real change, that is, than the measurement noise estimated from the zone's repeated scans in the latest exam.</translation>
    </message>
    <message>
        <source>Andamento per zona</source>
        <translation>Progress by zone</translation>
    </message>
    <message>
        <source>Data e ora</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Metodo</source>
        <translation>Method</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>DS</source>
        <translation>SD</translation>
    </message>
    <message>
        <source>Origine</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Letture</source>
        <translation>Readings</translation>
    </message>
    <message>
        <source>Nessuna lettura.</source>
        <translation>No readings.</translation>
    </message>
    <message>
        <source>Rettangolo</source>
        <translation>Rectangle</translation>
    </message>
    <message>
        <source>Automatica</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>Cloud</translation>
    </message>
    <message>
        <source>Locale</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>Impossibile disegnare il report.</source>
        <translation>The report could not be drawn.</translation>
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