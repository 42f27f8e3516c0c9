<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="it">
<context>
    <name>ExamDlg</name>
    <message>
        <source>Esame</source>
        <translation>Esame</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Modifica Utente</translation>
    </message>
    <message>
        <source>Nome Cognome</source>
        <translation>Nome Cognome</translation>
    </message>
    <message>
        <source>Donna</source>
        <translation>Donna</translation>
    </message>
    <message>
        <source>30 Anni</source>
        <translation>30 Anni</translation>
    </message>
    <message>
        <source>&amp;Nuovo Esame</source>
        <translation>&amp;Nuovo Esame</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Peso</translation>
    </message>
    <message>
        <source> Kg</source>
        <translation> Kg</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Altezza</translation>
    </message>
    <message>
        <source> cm</source>
        <translation> cm</translation>
    </message>
    <message>
        <source>Livello di Attività</source>
        <translation>Livello di Attività</translation>
    </message>
    <message>
        <source>Nessuna Attività</source>
        <translation>Nessuna Attività</translation>
    </message>
    <message>
        <source>Confronta scansioni...</source>
        <translation>Confronta scansioni...</translation>
    </message>
    <message>
        <source>Vai alla web app...</source>
        <translation>Vai alla web app...</translation>
    </message>
    <message>
        <source>Salva</source>
        <translation>Salva</translation>
    </message>
    <message>
        <source>Invia Esame</source>
        <translation>Invia Esame</translation>
    </message>
    <message>
        <source>&amp;Anamnesi</source>
        <translation>&amp;Anamnesi</translation>
    </message>
    <message>
        <source>Archivio &amp;Esami</source>
        <translation>Archivio &amp;Esami</translation>
    </message>
    <message>
        <source>Elimina</source>
        <translation>Elimina</translation>
    </message>
    <message>
        <source>Rinomina</source>
        <translation>Rinomina</translation>
    </message>
    <message>
        <source>Compara</source>
        <translation>Compara</translation>
    </message>
    <message>
        <source>2 volte settimana</source>
        <translation>2 volte settimana</translation>
    </message>
    <message>
        <source>3/4 volte settimana</source>
        <translation>3/4 volte settimana</translation>
    </message>
    <message>
        <source>5 volte settimana</source>
        <translation>5 volte settimana</translation>
    </message>
    <message>
        <source>6/7 volte settimana</source>
        <translation>6/7 volte settimana</translation>
    </message>
    <message>
        <source>Uomo</source>
        <translation>Uomo</translation>
    </message>
    <message>
        <source>Anni</source>
        <translation>Anni</translation>
    </message>
    <message>
        <source>Impossibile salvare la scansione.</source>
        <translation>Impossibile salvare la scansione.</translation>
    </message>
    <message>
        <source>Elimina Scansione</source>
        <translation>Elimina Scansione</translation>
    </message>
    <message>
        <source>Eliminare la scansione &apos;%1&apos;?</source>
        <translation>Eliminare la scansione &apos;%1&apos;?</translation>
    </message>
    <message>
        <source>Impossibile rinominare la scansione &apos;%1&apos; in &apos;%2&apos;.</source>
        <translation>Impossibile rinominare la scansione &apos;%1&apos; in &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Esame inviato al server</source>
        <translation>Esame inviato al server</translation>
    </message>
    <message>
        <source>Si è verificato un errore durante l&apos;invio dell&apos;esame al server.
Verificare la connessione a internet e riprovare.
L&apos;esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</source>
        <translation>Si è verificato un errore durante l&apos;invio dell&apos;esame al server.
Verificare la connessione a internet e riprovare.
L&apos;esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</translation>
    </message>
    <message>
        <source>Impossibile caricare i dati: lo spazio web riservato è esaurito.</source>
        <translation>Impossibile caricare i dati: lo spazio web riservato è esaurito.</translation>
    </message>
    <message>
        <source>Alcune modifiche non sono state inviate al server. Inviare i dati?</source>
        <translation>Alcune modifiche non sono state inviate al server. Inviare i dati?</translation>
    </message>
    <message>
        <source>Invia Dati</source>
        <translation>Invia Dati</translation>
    </message>
    <message>
        <source>Esci senza inviare</source>
        <translation>Esci senza inviare</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Impossibile salvare l&apos;esame nel database locale.</source>
        <translation>Impossibile salvare l&apos;esame nel database locale.</translation>
    </message>
    <message>
        <source>An&amp;damento</source>
        <translation>An&amp;damento</translation>
    </message>
    <message>
        <source>Bozza</source>
        <translation>Bozza</translation>
    </message>
</context>
<context>
    <name>ProgressChart</name>
    <message>
        <source>Variazione minima sconosciuta: una sola scansione il %1</source>
        <translation>Variazione minima sconosciuta: una sola scansione il %1</translation>
    </message>
    <message>
        <source>Spessore (mm)</source>
        <translation>Spessore (mm)</translation>
    </message>
    <message>
        <source>Variazione minima ± %1 mm (%2 scansioni il %3)</source>
        <translation>Variazione minima ± %1 mm (%2 scansioni il %3)</translation>
    </message>
    <message>
        <source>Media del giorno</source>
        <translation>Media del giorno</translation>
    </message>
</context>
<context>
    <name>ProgressTab</name>
    <message>
        <source>Esporta report PDF...</source>
        <translation>Esporta report PDF...</translation>
    </message>
    <message>
        <source>Esporta CSV...</source>
        <translation>Esporta CSV...</translation>
    </message>
    <message>
        <source>Nessuna lettura dello spessore per questo cliente.</source>
        <translation>Nessuna lettura dello spessore per questo cliente.</translation>
    </message>
    <message>
        <source>(lettura dal cloud in corso...)</source>
        <translation>(lettura dal cloud in corso...)</translation>
    </message>
    <message>
        <source>Esporta report PDF</source>
        <translation>Esporta report PDF</translation>
    </message>
    <message>
        <source>Documenti PDF (*.pdf)</source>
        <translation>Documenti PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il report: %1</source>
        <translation>Impossibile scrivere il report: %1</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Esporta CSV</translation>
    </message>
    <message>
        <source>File CSV (*.csv)</source>
        <translation>File CSV (*.csv)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il file CSV: %1</source>
        <translation>Impossibile scrivere il file CSV: %1</translation>
    </message>
    <message>
        <source>Letture: %1, dagli esami sul cloud: %2</source>
        <translation>Letture: %1, dagli esami sul cloud: %2</translation>
    </message>
</context>
<context>
    <name>ReportPdf</name>
    <message>
        <source>Pagina %1 di %2</source>
        <translation>Pagina %1 di %2</translation>
    </message>
    <message>
        <source>Andamento dello spessore del grasso</source>
        <translation>Andamento dello spessore del grasso</translation>
    </message>
    <message>
        <source>(%1 anni)</source>
        <translation>(%1 anni)</translation>
    </message>
    <message>
        <source>Cliente: %1</source>
        <translation>Cliente: %1</translation>
    </message>
    <message>
        <source>Data di nascita: %1</source>
        <translation>Data di nascita: %1</translation>
    </message>
    <message>
        <source>Altezza: %1 cm   Peso: %2 kg</source>
        <translation>Altezza: %1 cm   Peso: %2 kg</translation>
    </message>
    <message>
        <source>Ultimo esame: %1</source>
        <translation>Ultimo esame: %1</translation>
    </message>
    <message>
        <source>nessuno</source>
        <translation>nessuno</translation>
    </message>
    <message>
        <source>Report del %1</source>
        <translation>Report del %1</translation>
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
        <source>Zone dell&apos;ultimo esame</source>
        <translation>Zone dell&apos;ultimo esame</translation>
    </message>
    <message>
        <source>Zona</source>
        <translation>Zona</translation>
    </message>
    <message>
        <source>Spessore</source>
        <translation>Spessore</translation>
    </message>
    <message>
        <source>Dal primo esame</source>
        <translation>Dal primo esame</translation>
    </message>
    <message>
        <source>Dall&apos;esame precedente</source>
        <translation>Dall&apos;esame precedente</translation>
    </message>
    <message>
        <source>Variazione minima</source>
        <translation>Variazione minima</translation>
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
        <translation>sconosciuta</translation>
    </message>
    <message>
        <source>… e altre %1 zone: vedere le letture.</source>
        <translation>… e altre %1 zone: vedere le letture.</translation>
    </message>
    <message>
        <source>In grassetto le variazioni più grandi della variazione minima, cioè del rumore di misura stimato dalle scansioni ripetute della zona nell&apos;ultimo esame.</source>
        <translation>In grassetto le variazioni più grandi della variazione minima, cioè del rumore di misura stimato dalle scansioni ripetute della zona nell&apos;ultimo esame.</translation>
    </message>
    <message>
        <source>Andamento per zona</source>
        <translation>Andamento per zona</translation>
    </message>
    <message>
        <source>Data e ora</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>Metodo</source>
        <translation>Metodo</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Media</translation>
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
        <translation>DS</translation>
    </message>
    <message>
        <source>Origine</source>
        <translation>Origine</translation>
    </message>
    <message>
        <source>Letture</source>
        <translation>Letture</translation>
    </message>
    <message>
        <source>Nessuna lettura.</source>
        <translation>Nessuna lettura.</translation>
    </message>
    <message>
        <source>Rettangolo</source>
        <translation>Rettangolo</translation>
    </message>
    <message>
        <source>Automatica</source>
        <translation>Automatica</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>Cloud</translation>
    </message>
    <message>
        <source>Locale</source>
        <translation>Locale</translation>
    </message>
    <message>
        <source>Impossibile disegnare il report.</source>
        <translation>Impossibile disegnare il report.</translation>
    </message>
</context>
<context>
    <name>ZoneChooserDialog</name>
    <message>
        <source>Scegli Zona</source>
        <translation>Scegli Zona</translation>
    </message>
    <message>
        <source>Selezionare o scrivere la zona scansionata:</source>
        <translation>Selezionare o scrivere la zona scansionata:</translation>
    </message>
    <message>
        <source>Coscia dx</source>
        <translation>Coscia dx</translation>
    </message>
    <message>
        <source>Coscia sx</source>
        <translation>Coscia sx</translation>
    </message>
    <message>
        <source>Petto dx</source>
        <translation>Petto dx</translation>
    </message>
    <message>
        <source>Petto sx</source>
        <translation>Petto sx</translation>
    </message>
    <message>
        <source>Fianco dx</source>
        <translation>Fianco dx</translation>
    </message>
    <message>
        <source>Fianco sx</source>
        <translation>Fianco sx</translation>
    </message>
    <message>
        <source>Vita</source>
        <translation>Vita</translation>
    </message>
    <message>
        <source>Polpaccio dx</source>
        <translation>Polpaccio dx</translation>
    </message>
    <message>
        <source>Polpaccio sx</source>
        <translation>Polpaccio sx</translation>
    </message>
    <message>
        <source>Bicipite dx</source>
        <translation>Bicipite dx</translation>
    </message>
    <message>
        <source>Bicipite sx</source>
        <translation>Bicipite sx</translation>
    </message>
    <message>
        <source>Tricipite dx</source>
        <translation>Tricipite dx</translation>
    </message>
    <message>
        <source>Tricipite sx</source>
        <translation>Tricipite sx</translation>
    </message>
    <message>
        <source>Spalla dx</source>
        <translation>Spalla dx</translation>
    </message>
    <message>
        <source>Spalla sx</source>
        <translation>Spalla sx</translation>
    </message>
    <message>
        <source>Ascella dx</source>
        <translation>Ascella dx</translation>
    </message>
    <message>
        <source>Ascella sx</source>
        <translation>Ascella sx</translation>
    </message>
    <message>
        <source>Collo dx</source>
        <translation>Collo dx</translation>
    </message>
    <message>
        <source>Collo sx</source>
        <translation>Collo sx</translation>
    </message>
    <message>
        <source>Scapola dx</source>
        <translation>Scapola dx</translation>
    </message>
    <message>
        <source>Scapola sx</source>
        <translation>Scapola sx</translation>
    </message>
</context>
</TS>
