#pragma once

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

class Anamnesi;
class Client;
class Exam;

// The local store: the folder tree in the user's data location, the SQLite database
// inside it and every write of client and anamnesis rows. There is one instance,
// reached through m_instance; records, windows and the service client all use its
// connection (Qt's default one).
class DataModule : public QObject
{
    Q_OBJECT

public:
    // Opens (or creates) the store under the platform's generic data location.
    // Throws std::runtime_error when a new database file cannot be created.
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
    void resetDB();

    void saveClient(Client *client, bool byWebId);
    void deleteClient(int id);
    void saveAnamnesi(Anamnesi *anamnesi, bool byWebId);
    bool deleteAnamnesi(int id, bool byWebId);

    // Pending-upload bookkeeping: what the web service does not have yet.
    bool insertPendingExam(int idClient, Exam *exam);
    bool removePendingExam(int idClient, Exam *exam);
    bool havePendingStuff();
    QString getPendingDescription();
    bool getPendingClients(QList<Client> &list);
    bool getPendingAnamesis(QList<Anamnesi> &list, bool deleted);
    bool getPendingExams(QList<Exam> &list);

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
};
