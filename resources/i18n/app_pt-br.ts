<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>ClientEditDlg</name>
    <message>
        <source>Salvataggio non riuscito</source>
        <translation>Falha ao salvar</translation>
    </message>
    <message>
        <source>Impossibile salvare il cliente nel database locale:
%1
I dati inseriti sono ancora nel modulo.</source>
        <translation>Não foi possível salvar o cliente no banco de dados local:
%1
Os dados digitados continuam no formulário.</translation>
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
        <translation>Editar Cliente</translation>
    </message>
    <message>
        <source>Elimina Utente</source>
        <translation>Excluir Cliente</translation>
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
        <translation>Verificar atualizações</translation>
    </message>
    <message>
        <source>Alcuni dati sono in attesa di essere caricati in cloud</source>
        <translation>Alguns dados estão aguardando o envio para a nuvem</translation>
    </message>
    <message>
        <source>Connesso</source>
        <translation>Conectado</translation>
    </message>
    <message>
        <source>Disconnesso</source>
        <translation>Desconectado</translation>
    </message>
    <message>
        <source>Cognome</source>
        <translation>Sobrenome</translation>
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
        <translation>Endereço</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Cidade</translation>
    </message>
    <message>
        <source>Prov.</source>
        <translation>UF</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CEP</translation>
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
        <translation>Exclusão de Cliente</translation>
    </message>
    <message>
        <source>L'utente '%1 %2'sta per essere eliminato.
Continuare?</source>
        <translation>O cliente '%1 %2' será excluído.
Continuar?</translation>
    </message>
    <message>
        <source>Esame del %1 dell'utente %2 %3 inviato al server.</source>
        <translation>Exame de %1 do cliente %2 %3 enviado ao servidor.</translation>
    </message>
    <message>
        <source>Anagrafica dell'utente %1 %2 inviata al server.</source>
        <translation>Cadastro do cliente %1 %2 enviado ao servidor.</translation>
    </message>
    <message>
        <source>Anamnesi '%1' dell'utente %2 %3 inviata al server.</source>
        <translation>Anamnese '%1' do cliente %2 %3 enviada ao servidor.</translation>
    </message>
    <message>
        <source>Aggiornamento Software</source>
        <translation>Atualização de Software</translation>
    </message>
    <message>
        <source>E' online una nuova versione del software, si desidera scaricare il setup?</source>
        <translation>Uma nova versão do software está disponível. Deseja baixar o instalador?</translation>
    </message>
    <message>
        <source>Impostazioni...</source>
        <translation>Configurações...</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1</source>
        <translation>O servidor recusou um dado a enviar: %1</translation>
    </message>
    <message>
        <source>Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare o scartarlo.</source>
        <translation>O servidor recusou um dado a enviar: %1. Abra a lista de dados pendentes para tentar novamente ou descartá-lo.</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nenhuma conta configurada: os dados não são enviados ao servidor.</translation>
    </message>
    <message>
        <source>Il server ha rifiutato il token dell'account: i dati non vengono inviati.</source>
        <translation>O servidor recusou o token da conta: os dados não são enviados.</translation>
    </message>
    <message>
        <source>Errore del database locale: %1</source>
        <translation>Erro do banco de dados local: %1</translation>
    </message>
</context>
<context>
    <name>OutboxDlg</name>
    <message>
        <source>Riprova</source>
        <translation>Tentar novamente</translation>
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
        <translation>Dados aguardando envio</translation>
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
        <translation>Status</translation>
    </message>
    <message>
        <source>L'invio è sospeso: verificare l'account nelle impostazioni.</source>
        <translation>O envio está suspenso: verifique a conta nas configurações.</translation>
    </message>
    <message>
        <source>Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?</source>
        <translation>O dado selecionado não será enviado ao servidor. Os dados locais permanecem como estão. Continuar?</translation>
    </message>
    <message>
        <source>Dati in attesa di invio: %1.</source>
        <translation>Dados aguardando envio: %1.</translation>
    </message>
    <message>
        <source>Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).</source>
        <translation>Recusados pelo servidor: %1 (selecione-os para tentar de novo ou descartá-los).</translation>
    </message>
</context>
<context>
    <name>SettingsDlg</name>
    <message>
        <source>Impostazioni</source>
        <translation>Configurações</translation>
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
        <translation>Exibir notificações de envio de dados</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Banco de dados</translation>
    </message>
    <message>
        <source>Apri percorso database...</source>
        <translation>Abrir pasta do banco de dados...</translation>
    </message>
    <message>
        <source>Ripristina Database</source>
        <translation>Restaurar Banco de Dados</translation>
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
        <translation>Reinicialização necessária</translation>
    </message>
    <message>
        <source>E' necessario riavviare l'applicazione per attivare le modifiche.</source>
        <translation>É necessário reiniciar o aplicativo para ativar as alterações.</translation>
    </message>
    <message>
        <source>Ripristino Database</source>
        <translation>Restauração do Banco de Dados</translation>
    </message>
    <message>
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati.</source>
        <translation>O banco de dados local será excluído. Os dados dos usuários no servidor não serão excluídos e serão baixados novamente.</translation>
    </message>
    <message>
        <source>Continuare?</source>
        <translation>Continuar?</translation>
    </message>
    <message>
        <source>Database ripristinato. Le scansioni precedenti sono state spostate in %1.</source>
        <translation>Banco de dados restaurado. Os exames anteriores foram movidos para %1.</translation>
    </message>
    <message>
        <source>Impossibile ripristinare il database.</source>
        <translation>Não foi possível restaurar o banco de dados.</translation>
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
        <translation>(salvo)</translation>
    </message>
    <message>
        <source>Nessun account configurato: i dati non vengono inviati al server.</source>
        <translation>Nenhuma conta configurada: os dados não são enviados ao servidor.</translation>
    </message>
    <message>
        <source>Nessun token: un server con autenticazione rifiuta i dati.</source>
        <translation>Sem token: um servidor com autenticação recusa os dados.</translation>
    </message>
    <message>
        <source>Il file indicato non contiene certificati.</source>
        <translation>O arquivo indicado não contém certificados.</translation>
    </message>
    <message>
        <source>Certificati (*.pem *.crt);;Tutti i file (*)</source>
        <translation>Certificados (*.pem *.crt);;Todos os arquivos (*)</translation>
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
        <translation>Banco de dados danificado</translation>
    </message>
    <message>
        <source>Il database locale %1 non può essere letto (%2).
Verrà spostato da parte senza modificarlo, insieme alle scansioni, e ne verrà creato uno nuovo; i clienti salvati sul server verranno riscaricati.
Continuare? Scegliendo No l'applicazione si chiude e il file resta com'è.</source>
        <translation>O banco de dados local %1 não pode ser lido (%2).
Ele será separado sem alterações, junto com os exames, e um novo será criado; os clientes salvos no servidor serão baixados novamente.
Continuar? Escolhendo Não o aplicativo fecha e o arquivo permanece como está.</translation>
    </message>
    <message>
        <source>Impossibile creare un nuovo database.</source>
        <translation>Não foi possível criar um novo banco de dados.</translation>
    </message>
    <message>
        <source>Il database danneggiato è stato spostato in %1.</source>
        <translation>O banco de dados danificado foi movido para %1.</translation>
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
        <translation>Sobrenome</translation>
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
        <translation>Endereço</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CEP</translation>
    </message>
    <message>
        <source>Località</source>
        <translation>Cidade</translation>
    </message>
    <message>
        <source>Provincia</source>
        <translation>Estado</translation>
    </message>
</context>
</TS>