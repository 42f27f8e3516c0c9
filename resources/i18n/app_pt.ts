<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt" sourcelanguage="it">
<context>
    <name>ClientEditDlg</name>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Falha ao guardar</translation>
    </message>
    <message>
        <source>Impossibile salvare il cliente nel database locale:
%1
I dati inseriti sono ancora nel modulo.</source>
        <translation>Não foi possível guardar o cliente na base de dados local:
%1
Os dados introduzidos continuam no formulário.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Aggiungi Utente</source>
        <translation>Adicionar Cliente</translation>
    </message>
    <message>
        <source>Modifica Utente</source>
        <translation>Modificar Cliente</translation>
    </message>
    <message>
        <source>Elimina Utente</source>
        <translation>Eliminar Cliente</translation>
    </message>
    <message>
        <source>Aggiorna Lista Utenti</source>
        <translation>Atualizar Lista de Clientes</translation>
    </message>
    <message>
        <source>Guida</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Opzioni</source>
        <translation>Opções</translation>
    </message>
    <message>
        <source>Verifica aggiornamenti</source>
        <translation>Procurar atualizações</translation>
    </message>
    <message>
        <source>Alcuni dati sono in attesa di essere caricati in cloud</source>
        <translation>Alguns dados aguardam ser carregados na cloud</translation>
    </message>
    <message>
        <source>Connesso</source>
        <translation>Ligado</translation>
    </message>
    <message>
        <source>Disconnesso</source>
        <translation>Desligado</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Apelido</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sexo</translation>
    </message>
    <message>
        <source>Data Nascita</source>
        <translation>Data de Nascimento</translation>
    </message>
    <message>
        <source>Altezza</source>
        <translation>Altura</translation>
    </message>
    <message>
        <source>Peso</source>
        <translation>Peso</translation>
    </message>
    <message>
        <source>Livello Attività</source>
        <translation>Nível de Atividade</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Morada</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Localidade</translation>
    </message>
    <message>
        <source>Prov.</source>
        <translation>Dist.</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>Código Postal</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Telefone</translation>
    </message>
    <message>
        <source>Email</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Eliminazione Utente</source>
        <translation>Eliminação de Cliente</translation>
    </message>
    <message>
        <source>L'utente '%1 %2'sta per essere eliminato.
Continuare?</source>
        <translation>O cliente '%1 %2' vai ser eliminado.
Continuar?</translation>
    </message>
    <message>
        <source>Esame del %1 dell'utente %2 %3 inviato al server.</source>
        <translation>Exame de %1 do cliente %2 %3 enviado para o servidor.</translation>
    </message>
    <message>
        <source>Anagrafica dell'utente %1 %2 inviata al server.</source>
        <translation>Dados pessoais do cliente %1 %2 enviados para o servidor.</translation>
    </message>
    <message>
        <source>Anamnesi '%1' dell'utente %2 %3 inviata al server.</source>
        <translation>Anamnese '%1' do cliente %2 %3 enviada para o servidor.</translation>
    </message>
    <message>
        <source>Aggiornamento Software</source>
        <translation>Atualização do Software</translation>
    </message>
    <message>
        <source>E' online una nuova versione del software, si desidera scaricare il setup?</source>
        <translation>Está disponível online uma nova versão do software. Pretende transferir o instalador?</translation>
    </message>
    <message>
        <source>Impostazioni...</source>
        <translation>Definições...</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1</source>
        <translation>O servidor recusou um dado a enviar: %1</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare o scartarlo.</source>
        <translation>O servidor recusou um dado a enviar: %1. Abra a lista de dados pendentes para tentar de novo ou descartá-lo.</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nenhuma conta configurada: os dados não são enviados para o servidor.</translation>
    </message>
    <message>
        <source>Il server ha rifiutato il token dell'account: i dati non vengono inviati.</source>
        <translation>O servidor recusou o token da conta: os dados não são enviados.</translation>
    </message>
    <message>
        <source>Errore del database locale: %1</source>
        <translation>Erro da base de dados local: %1</translation>
    </message>
</context>
<context>
    <name>OutboxDlg</name>
    <message>
        <source>Riprova</source>
        <translation>Tentar de novo</translation>
    </message>
    <message>
        <source>Scarta</source>
        <translation>Descartar</translation>
    </message>
    <message>
        <source>Invia ora</source>
        <translation>Enviar agora</translation>
    </message>
    <message>
        <source>Dati in attesa di invio</source>
        <translation>Dados a aguardar envio</translation>
    </message>
    <message>
        <source>Tipo</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Dato</source>
        <translation>Dado</translation>
    </message>
    <message>
        <source>Stato</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>L'invio è sospeso: verificare l'account nelle impostazioni.</source>
        <translation>O envio está suspenso: verifique a conta nas definições.</translation>
    </message>
    <message>
        <source>Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?</source>
        <translation>O dado selecionado não será enviado para o servidor. Os dados locais ficam como estão. Continuar?</translation>
    </message>
    <message>
        <source>Dati in attesa di invio: %1.</source>
        <translation>Dados a aguardar envio: %1.</translation>
    </message>
    <message>
        <source>Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).</source>
        <translation>Recusados pelo servidor: %1 (selecione-os para tentar novamente ou descartá-los).</translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Impostazioni</source>
        <translation>Definições</translation>
    </message>
    <message>
        <source>Generale</source>
        <translation>Geral</translation>
    </message>
    <message>
        <source>Lingua :</source>
        <translation>Idioma :</translation>
    </message>
    <message>
        <source>Aggiorna lista utenti all'avvio</source>
        <translation>Atualizar a lista de clientes ao iniciar</translation>
    </message>
    <message>
        <source>Visualizza messaggi di notifica invio dati</source>
        <translation>Mostrar notificações de envio de dados</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Base de dados</translation>
    </message>
    <message>
        <source>Apri percorso database...</source>
        <translation>Abrir pasta da base de dados...</translation>
    </message>
    <message>
        <source>Ripristina Database</source>
        <translation>Repor Base de Dados</translation>
    </message>
    <message>
        <source>Italiano</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>Inglese</source>
        <translation>Inglês</translation>
    </message>
    <message>
        <source>Portoghese</source>
        <translation>Português</translation>
    </message>
    <message>
        <source>Brasiliano</source>
        <translation>Brasileiro</translation>
    </message>
    <message>
        <source>Riavvio necessario</source>
        <translation>Reinício necessário</translation>
    </message>
    <message>
        <source>E' necessario riavviare l'applicazione per attivare le modifiche.</source>
        <translation>É necessário reiniciar a aplicação para ativar as alterações.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Reposição da Base de Dados</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati.</source>
        <translation>A base de dados local vai ser eliminada. Os dados dos utilizadores no servidor não serão eliminados e serão transferidos de novo.</translation>
    </message>
    <message>
        <source>Continuare?</source>
        <translation>Continuar?</translation>
    </message>
    <message>
        <source>Database ripristinato. Le scansioni precedenti sono state spostate in %1.</source>
        <translation>Base de dados reposta. As digitalizações anteriores foram movidas para %1.</translation>
    </message>
    <message>
        <source>Impossibile ripristinare il database.</source>
        <translation>Não foi possível repor a base de dados.</translation>
    </message>
    <message>
        <source>Numero account</source>
        <translation>Número da conta</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>Certificati CA</source>
        <translation>Certificados de AC</translation>
    </message>
    <message>
        <source>Account</source>
        <translation>Conta</translation>
    </message>
    <message>
        <source>(conservato)</source>
        <translation>(guardado)</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nenhuma conta configurada: os dados não são enviados para o servidor.</translation>
    </message>
    <message>
        <source>Nessun token: un server con autenticazione rifiuta i dati.</source>
        <translation>Sem token: um servidor com autenticação recusa os dados.</translation>
    </message>
    <message>
        <source>Il file indicato non contiene certificati.</source>
        <translation>O ficheiro indicado não contém certificados.</translation>
    </message>
    <message>
        <source>Certificati (*.pem *.crt);;Tutti i file (*)</source>
        <translation>Certificados (*.pem *.crt);;Todos os ficheiros (*)</translation>
    </message>
    <message>
        <source>Dati non ancora inviati al server, che andranno persi: %1.</source>
        <translation>Dados ainda não enviados ao servidor, que serão perdidos: %1.</translation>
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
        <translation>Base de dados danificada</translation>
    </message>
    <message>
        <source>Il database locale %1 non può essere letto (%2).
Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.
Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.</source>
        <translation>A base de dados local %1 não pode ser lida (%2).
Será posta de parte sem alterações, juntamente com as digitalizações, e será criada uma nova; os clientes guardados no servidor serão transferidos de novo.
Continuar? Escolhendo Não a aplicação fecha e o ficheiro fica como está.</translation>
    </message>
    <message>
        <source>Impossibile creare un nuovo database.</source>
        <translation>Não foi possível criar uma nova base de dados.</translation>
    </message>
    <message>
        <source>Il database danneggiato è stato spostato in %1.</source>
        <translation>A base de dados danificada foi movida para %1.</translation>
    </message>
</context>
<context>
    <name>UserEditDlg</name>
    <message>
        <source>Utente</source>
        <translation>Cliente</translation>
    </message>
    <message>
        <source>Nome</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Apelido</translation>
    </message>
    <message>
        <source>Data di Nascita</source>
        <translation>Data de Nascimento</translation>
    </message>
    <message>
        <source>Sesso</source>
        <translation>Sexo</translation>
    </message>
    <message>
        <source>Telefono</source>
        <translation>Telefone</translation>
    </message>
    <message>
        <source>EMail</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>Indirizzo</source>
        <translation>Morada</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>Código Postal</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Localidade</translation>
    </message>
    <message>
        <source>Provincia</source>
        <translation>Distrito</translation>
    </message>
</context>
</TS>