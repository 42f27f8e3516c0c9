<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="it">
<context>
    <name>DataModule</name>
    <message>
        <source>Impossibile creare la cartella dei dati %1. Verificare i permessi o lo spazio su disco.</source>
        <translation>Não foi possível criar a pasta de dados %1. Verifique as permissões ou o espaço em disco.</translation>
    </message>
    <message>
        <source>Impossibile creare il database %1. Verificare i permessi dei file.</source>
        <translation>Não foi possível criar o banco de dados %1. Verifique as permissões dos arquivos.</translation>
    </message>
    <message>
        <source>Impossibile creare la cartella %1</source>
        <translation>Não foi possível criar a pasta %1</translation>
    </message>
    <message>
        <source>Impossibile spostare %1</source>
        <translation>Não foi possível mover %1</translation>
    </message>
    <message>
        <source>Impossibile eliminare %1</source>
        <translation>Não foi possível excluir %1</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste più</source>
        <translation>O cliente %1 não existe mais</translation>
    </message>
    <message>
        <source>Impossibile registrare il cliente tra i dati da inviare</source>
        <translation>Não foi possível registrar o cliente entre os dados a enviar</translation>
    </message>
    <message>
        <source>Il cliente %1 non esiste</source>
        <translation>O cliente %1 não existe</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione del cliente</source>
        <translation>Não foi possível registrar a exclusão do cliente</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste più</source>
        <translation>A anamnese %1 não existe mais</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;anamnesi tra i dati da inviare</source>
        <translation>Não foi possível registrar a anamnese entre os dados a enviar</translation>
    </message>
    <message>
        <source>L&apos;anamnesi %1 non esiste</source>
        <translation>A anamnese %1 não existe</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;eliminazione dell&apos;anamnesi</source>
        <translation>Não foi possível registrar a exclusão da anamnese</translation>
    </message>
    <message>
        <source>Impossibile registrare l&apos;esame tra i dati da inviare</source>
        <translation>Não foi possível registrar o exame entre os dados a enviar</translation>
    </message>
</context>
<context>
    <name>OutboxDescription</name>
    <message>
        <source>lo spazio web riservato è esaurito</source>
        <translation>o espaço web reservado está esgotado</translation>
    </message>
    <message>
        <source>il server non conosce il cliente</source>
        <translation>o servidor não conhece o cliente</translation>
    </message>
    <message>
        <source>il server ha rifiutato i dati (%1)</source>
        <translation>o servidor recusou os dados (%1)</translation>
    </message>
    <message>
        <source>il token dell&apos;account è stato rifiutato</source>
        <translation>o token da conta foi recusado</translation>
    </message>
    <message>
        <source>troppe richieste, il server chiede di attendere</source>
        <translation>muitas solicitações, o servidor pede para aguardar</translation>
    </message>
    <message>
        <source>server non raggiungibile (%1)</source>
        <translation>servidor inacessível (%1)</translation>
    </message>
    <message>
        <source>errore %1</source>
        <translation>erro %1</translation>
    </message>
    <message>
        <source>in invio</source>
        <translation>enviando</translation>
    </message>
    <message>
        <source>rifiutato: %1</source>
        <translation>recusado: %1</translation>
    </message>
    <message>
        <source>in attesa del cliente</source>
        <translation>aguardando o cliente</translation>
    </message>
    <message>
        <source>nuovo tentativo alle %1 (%2)</source>
        <translation>nova tentativa às %1 (%2)</translation>
    </message>
    <message>
        <source>in attesa</source>
        <translation>aguardando</translation>
    </message>
    <message>
        <source>Clienti</source>
        <translation>Clientes</translation>
    </message>
    <message>
        <source>Clienti eliminati</source>
        <translation>Clientes excluídos</translation>
    </message>
    <message>
        <source>Esami</source>
        <translation>Exames</translation>
    </message>
    <message>
        <source>Anamnesi eliminate</source>
        <translation>Anamneses excluídas</translation>
    </message>
    <message>
        <source>Anamnesi</source>
        <translation>Anamneses</translation>
    </message>
</context>
</TS>
