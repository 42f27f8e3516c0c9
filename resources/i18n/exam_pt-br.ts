<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
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
        <source>Eliminare la scansione &apos;%1&apos;?</source>
        <translation>Excluir o escaneamento &apos;%1&apos;?</translation>
    </message>
    <message>
        <source>Impossibile rinominare la scansione &apos;%1&apos; in &apos;%2&apos;.</source>
        <translation>Não foi possível renomear o escaneamento &apos;%1&apos; para &apos;%2&apos;.</translation>
    </message>
    <message>
        <source>Esame inviato al server</source>
        <translation>Exame enviado ao servidor</translation>
    </message>
    <message>
        <source>Si è verificato un errore durante l&apos;invio dell&apos;esame al server.
Verificare la connessione a internet e riprovare.
L&apos;esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita.</source>
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
        <source>Impossibile salvare l&apos;esame nel database locale.</source>
        <translation>Não foi possível salvar o exame no banco de dados local.</translation>
    </message>
    <message>
        <source>Bozza</source>
        <translation>Rascunho</translation>
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
