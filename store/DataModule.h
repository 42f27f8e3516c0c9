#pragma once

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

class Anamnesi;
class Client;
class Exam;
class Outbox;

// The local store: the folder tree in the user's data location, the SQLite database
// inside it and every write of client and anamnesis rows. There is one instance,
// reached through m_instance; records, windows and the service client all use its
// connection (Qt's default one).
class DataModule : public QObject
{
    Q_OBJECT

public:
    // Opens (or creates) the store under the platform's generic data location, folders
    // created with their parents. Throws std::runtime_error, with a message for the
    // operator, when the folders or a new database file cannot be created. A database
    // file that cannot be read is left as it is and reported by isDamaged().
    explicit DataModule(QObject *parent = nullptr);
    ~DataModule() override;

    static DataModule *m_instance;
    // The shared instance, created on first use.
    static DataModule *instance();
    // Tests and benchmarks only: destroys the shared instance (closing its connection)
    // and, when a location is given, opens a new one there. Returns the new instance.
    static DataModule *resetInstanceForTests(const QString &dataLocation = QString());

    void createDatabase();
    // Reads db_ver and upgrades older files; run at construction and by resetDB.
    void checkDatabaseVersion();
    void updateDatabase(int version);

    bool runQuery(const QString &sql);
    int queryValue(const QString &expr, const QString &table, const QString &where);
    // Starts an empty database. The scan folders of the old one move aside (their local
    // ids would be taken by new clients) into a folder beside "data/"; false when that
    // or the new database fails.
    bool resetDB();

    // True when the database file exists but cannot be read as this application's
    // database. Nothing has been written to it; startAfresh() moves it (and the scan
    // folders) aside and starts a new one, when the operator agrees.
    bool isDamaged() const { return m_damaged; }
    QString damageText() const { return m_damageText; }
    bool startAfresh();
    // Where the last resetDB or startAfresh put the old files.
    QString setAsidePath() const { return m_setAsidePath; }

    // Each write returns false (and reports onSqlError) when it did not happen. With
    // queue, the change goes into the outbox in the same transaction.
    bool saveClient(Client *client, bool byWebId, bool queue = false);
    // Deletes the client here with its questionnaires, its waiting items and its scan
    // folder, and leaves a deletion for the service when the service may hold it.
    bool deleteClient(int id);
    bool saveAnamnesi(Anamnesi *anamnesi, bool byWebId, bool queue = false);
    // The operator's deletion of a questionnaire by its local id: false (and nothing
    // deleted) when no such row exists.
    bool deleteAnamnesi(int id);
    // Queues the stored client for the service (again).
    bool queueClient(int idClient);
    // Queues one day's exam of a client with its body data; its scans are the client's
    // files of that day when it is sent.
    bool queueExam(int idClient, const Exam &exam);

    // What the web service does not have yet.
    Outbox *outbox() const { return m_outbox; }
    bool havePendingStuff();
    int pendingCount();
    // The list of what waits; inFlightId names the item being sent.
    QString getPendingDescription(qint64 inFlightId = 0);

    QString m_basePath;
    QString m_dataPath;
    QString m_dbFile;
    QString m_assetsPath;
    QSqlDatabase m_db;
    QString m_appOS;
    QString m_appVersion;

signals:
    void onSqlError(QString error);

private:
    // The same under another data location; reached through resetInstanceForTests.
    DataModule(const QString &dataLocation, QObject *parent);

    void reportError(const QString &text);
    void reportError(const QSqlError &error);
    void openDatabase();
    // Moves the database file (when asked) and the scan folders into a new folder beside them.
    bool setAside(const QString &why, bool databaseToo);

    Outbox *m_outbox = nullptr;
    bool m_damaged = false;
    QString m_damageText;
    QString m_setAsidePath;
};
