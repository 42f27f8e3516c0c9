<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="pt" sourcelanguage="it">
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
        <source>Si sta per eliminare il database locale. I dati degli utenti sul server non verranno eliminati e verranno riscaricati. Continuare?</source>
        <translation>A base de dados local vai ser eliminada. Os dados dos clientes no servidor não serão eliminados e serão transferidos novamente. Continuar?</translation>
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