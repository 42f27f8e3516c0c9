<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt" sourcelanguage="it">
<context>
    <name>MainWindow</name>
    <message>
        <source>Benvenuto in Calvestra</source>
        <translation>Bem-vindo ao Calvestra</translation>
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
        <source>Aggiorna lista utenti all&apos;avvio</source>
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
        <source>E&apos; necessario riavviare l&apos;applicazione per attivare le modifiche.</source>
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
