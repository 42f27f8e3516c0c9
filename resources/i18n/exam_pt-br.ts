<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>ExamDlg</name>
    <message>
        <source>Esame</source>
        <translation>Exame</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Editar Cliente</translation>
    </message>
    <message>
        <source>Nome Cognome</source>
        <translation>Nome Sobrenome</translation>
    </message>
    <message>
        <source>Donna</source>
        <translation>Mulher</translation>
    </message>
    <message>
        <source>30 Anni</source>
        <translation>30 Anos</translation>
    </message>
    <message>
        <source>&amp;Nuovo Esame</source>
        <translation>&amp;Novo Exame</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Peso</translation>
    </message>
    <message>
        <source> Kg</source>
        <translation> kg</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Altura</translation>
    </message>
    <message>
        <source> cm</source>
        <translation> cm</translation>
    </message>
    <message>
        <source>Livello di Attività</source>
        <translation>Nível de Atividade</translation>
    </message>
    <message>
        <source>Nessuna Attività</source>
        <translation>Nenhuma Atividade</translation>
    </message>
    <message>
        <source>Confronta scansioni...</source>
        <translation>Comparar escaneamentos...</translation>
    </message>
    <message>
        <source>Vai alla web app...</source>
        <translation>Ir para o aplicativo web...</translation>
    </message>
    <message>
        <source>Salva</source>
        <translation>Salvar</translation>
    </message>
    <message>
        <source>Invia Esame</source>
        <translation>Enviar Exame</translation>
    </message>
    <message>
        <source>&amp;Anamnesi</source>
        <translation>&amp;Anamnese</translation>
    </message>
    <message>
        <source>Archivio &amp;Esami</source>
        <translation>Arquivo de &amp;Exames</translation>
    </message>
    <message>
        <source>Elimina</source>
        <translation>Excluir</translation>
    </message>
    <message>
        <source>Rinomina</source>
        <translation>Renomear</translation>
    </message>
    <message>
        <source>Compara</source>
        <translation>Comparar</translation>
    </message>
    <message>
        <source>2 volte settimana</source>
        <translation>2 vezes por semana</translation>
    </message>
    <message>
        <source>3/4 volte settimana</source>
        <translation>3/4 vezes por semana</translation>
    </message>
    <message>
        <source>5 volte settimana</source>
        <translation>5 vezes por semana</translation>
    </message>
    <message>
        <source>6/7 volte settimana</source>
        <translation>6/7 vezes por semana</translation>
    </message>
    <message>
        <source>Uomo</source>
        <translation>Homem</translation>
    </message>
    <message>
        <source>Anni</source>
        <translation>Anos</translation>
    </message>
    <message>
        <source>Impossibile salvare la scansione.</source>
        <translation>Não foi possível salvar o escaneamento.</translation>
    </message>
    <message>
        <source>Elimina Scansione</source>
        <translation>Excluir Escaneamento</translation>
    </message>
    <message>
        <source>Eliminare la scansione '%1'?</source>
        <translation>Excluir o escaneamento '%1'?</translation>
    </message>
    <message>
        <source>Impossibile rinominare la scansione '%1' in '%2'.</source>
        <translation>Não foi possível renomear o escaneamento '%1' para '%2'.</translation>
    </message>
    <message>
        <source>Esame inviato al server</source>
        <translation>Exame enviado ao servidor</translation>
    </message>
    <message>
        <source>Si è verificato un errore durante l'invio dell'esame al server.
Verificare la connessione a internet e riprovare.
L'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</source>
        <translation>Ocorreu um erro ao enviar o exame ao servidor.
Verifique a conexão com a internet e tente novamente.
O exame foi salvo localmente e será enviado assim que a conexão for restabelecida.</translation>
    </message>
    <message>
        <source>Impossibile caricare i dati: lo spazio web riservato è esaurito.</source>
        <translation>Não é possível enviar os dados: o espaço web reservado está esgotado.</translation>
    </message>
    <message>
        <source>Alcune modifiche non sono state inviate al server. Inviare i dati?</source>
        <translation>Algumas alterações não foram enviadas ao servidor. Enviar os dados?</translation>
    </message>
    <message>
        <source>Invia Dati</source>
        <translation>Enviar Dados</translation>
    </message>
    <message>
        <source>Esci senza inviare</source>
        <translation>Sair sem enviar</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Impossibile salvare l'esame nel database locale.</source>
        <translation>Não foi possível salvar o exame no banco de dados local.</translation>
    </message>
    <message>
        <source>An&amp;damento</source>
        <translation>E&amp;volução</translation>
    </message>
    <message>
        <source>Bozza</source>
        <translation>Rascunho</translation>
    </message>
</context>
<context>
    <name>ProgressChart</name>
    <message>
        <source>Variazione minima sconosciuta: una sola scansione il %1</source>
        <translation>Variação mínima desconhecida: um só escaneamento em %1</translation>
    </message>
    <message>
        <source>Spessore (mm)</source>
        <translation>Espessura (mm)</translation>
    </message>
    <message>
        <source>Variazione minima ± %1 mm (%2 scansioni il %3)</source>
        <translation>Variação mínima ± %1 mm (%2 escaneamentos em %3)</translation>
    </message>
    <message>
        <source>Media del giorno</source>
        <translation>Média do dia</translation>
    </message>
</context>
<context>
    <name>ProgressTab</name>
    <message>
        <source>Esporta report PDF...</source>
        <translation>Exportar relatório PDF...</translation>
    </message>
    <message>
        <source>Esporta CSV...</source>
        <translation>Exportar CSV...</translation>
    </message>
    <message>
        <source>Nessuna lettura dello spessore per questo cliente.</source>
        <translation>Nenhuma leitura de espessura para este cliente.</translation>
    </message>
    <message>
        <source>(lettura dal cloud in corso...)</source>
        <translation>(lendo da nuvem...)</translation>
    </message>
    <message>
        <source>Esporta report PDF</source>
        <translation>Exportar relatório PDF</translation>
    </message>
    <message>
        <source>Documenti PDF (*.pdf)</source>
        <translation>Documentos PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il report: %1</source>
        <translation>Não foi possível gravar o relatório: %1</translation>
    </message>
    <message>
        <source>Esporta CSV</source>
        <translation>Exportar CSV</translation>
    </message>
    <message>
        <source>File CSV (*.csv)</source>
        <translation>Arquivos CSV (*.csv)</translation>
    </message>
    <message>
        <source>Impossibile scrivere il file CSV: %1</source>
        <translation>Não foi possível gravar o arquivo CSV: %1</translation>
    </message>
    <message>
        <source>Letture: %1, dagli esami sul cloud: %2</source>
        <translation>Leituras: %1, dos exames na nuvem: %2</translation>
    </message>
</context>
<context>
    <name>ReportPdf</name>
    <message>
        <source>Pagina %1 di %2</source>
        <translation>Página %1 de %2</translation>
    </message>
    <message>
        <source>Andamento dello spessore del grasso</source>
        <translation>Evolução da espessura da gordura</translation>
    </message>
    <message>
        <source>(%1 anni)</source>
        <translation>(%1 anos)</translation>
    </message>
    <message>
        <source>Cliente: %1</source>
        <translation>Cliente: %1</translation>
    </message>
    <message>
        <source>Data di nascita: %1</source>
        <translation>Data de nascimento: %1</translation>
    </message>
    <message>
        <source>Altezza: %1 cm   Peso: %2 kg</source>
        <translation>Altura: %1 cm   Peso: %2 kg</translation>
    </message>
    <message>
        <source>Ultimo esame: %1</source>
        <translation>Último exame: %1</translation>
    </message>
    <message>
        <source>nessuno</source>
        <translation>nenhum</translation>
    </message>
    <message>
        <source>Report del %1</source>
        <translation>Relatório de %1</translation>
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
        <translation>Zonas do último exame</translation>
    </message>
    <message>
        <source>Zona</source>
        <translation>Zona</translation>
    </message>
    <message>
        <source>Spessore</source>
        <translation>Espessura</translation>
    </message>
    <message>
        <source>Dal primo esame</source>
        <translation>Desde o primeiro exame</translation>
    </message>
    <message>
        <source>Dall'esame precedente</source>
        <translation>Desde o exame anterior</translation>
    </message>
    <message>
        <source>Variazione minima</source>
        <translation>Variação mínima</translation>
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
        <translation>desconhecida</translation>
    </message>
    <message>
        <source>… e altre %1 zone: vedere le letture.</source>
        <translation>… e mais %1 zonas: veja as leituras.</translation>
    </message>
    <message>
        <source>In grassetto le variazioni più grandi della variazione minima, cioè del rumore di misura stimato dalle scansioni ripetute della zona nell'ultimo esame.</source>
        <translation>Em negrito: as variações maiores que a variação mínima, ou seja, que o ruído de medição estimado pelos escaneamentos repetidos da zona no último exame.</translation>
    </message>
    <message>
        <source>Andamento per zona</source>
        <translation>Evolução por zona</translation>
    </message>
    <message>
        <source>Data e ora</source>
        <translation>Data e hora</translation>
    </message>
    <message>
        <source>Metodo</source>
        <translation>Método</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Média</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Mín</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Máx</translation>
    </message>
    <message>
        <source>DS</source>
        <translation>DP</translation>
    </message>
    <message>
        <source>Origine</source>
        <translation>Origem</translation>
    </message>
    <message>
        <source>Letture</source>
        <translation>Leituras</translation>
    </message>
    <message>
        <source>Nessuna lettura.</source>
        <translation>Nenhuma leitura.</translation>
    </message>
    <message>
        <source>Rettangolo</source>
        <translation>Retângulo</translation>
    </message>
    <message>
        <source>Automatica</source>
        <translation>Automática</translation>
    </message>
    <message>
        <source>Cloud</source>
        <translation>Nuvem</translation>
    </message>
    <message>
        <source>Locale</source>
        <translation>Local</translation>
    </message>
    <message>
        <source>Impossibile disegnare il report.</source>
        <translation>Não foi possível desenhar o relatório.</translation>
    </message>
</context>
<context>
    <name>ZoneChooserDialog</name>
    <message>
        <source>Scegli Zona</source>
        <translation>Escolher Região</translation>
    </message>
    <message>
        <source>Selezionare o scrivere la zona scansionata:</source>
        <translation>Selecione ou digite a região escaneada:</translation>
    </message>
    <message>
        <source>Coscia dx</source>
        <translation>Coxa dir</translation>
    </message>
    <message>
        <source>Coscia sx</source>
        <translation>Coxa esq</translation>
    </message>
    <message>
        <source>Petto dx</source>
        <translation>Peito dir</translation>
    </message>
    <message>
        <source>Petto sx</source>
        <translation>Peito esq</translation>
    </message>
    <message>
        <source>Fianco dx</source>
        <translation>Flanco dir</translation>
    </message>
    <message>
        <source>Fianco sx</source>
        <translation>Flanco esq</translation>
    </message>
    <message>
        <source>Vita</source>
        <translation>Cintura</translation>
    </message>
    <message>
        <source>Polpaccio dx</source>
        <translation>Panturrilha dir</translation>
    </message>
    <message>
        <source>Polpaccio sx</source>
        <translation>Panturrilha esq</translation>
    </message>
    <message>
        <source>Bicipite dx</source>
        <translation>Biceps dir</translation>
    </message>
    <message>
        <source>Bicipite sx</source>
        <translation>Biceps esq</translation>
    </message>
    <message>
        <source>Tricipite dx</source>
        <translation>Triceps dir</translation>
    </message>
    <message>
        <source>Tricipite sx</source>
        <translation>Triceps esq</translation>
    </message>
    <message>
        <source>Spalla dx</source>
        <translation>Ombro dir</translation>
    </message>
    <message>
        <source>Spalla sx</source>
        <translation>Ombro esq</translation>
    </message>
    <message>
        <source>Ascella dx</source>
        <translation>Axila dir</translation>
    </message>
    <message>
        <source>Ascella sx</source>
        <translation>Axila esq</translation>
    </message>
    <message>
        <source>Collo dx</source>
        <translation>Cervical dir</translation>
    </message>
    <message>
        <source>Collo sx</source>
        <translation>Cervical esq</translation>
    </message>
    <message>
        <source>Scapola dx</source>
        <translation>Omoplata dir</translation>
    </message>
    <message>
        <source>Scapola sx</source>
        <translation>Omoplata esq</translation>
    </message>
</context>
</TS>