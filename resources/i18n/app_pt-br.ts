<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
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
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</source>
        <translation>O banco de dados local será excluído. Os dados dos clientes no servidor não serão excluídos e serão baixados novamente. Continuar?</translation>
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