#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTranslator>

namespace {

int addClient(const QString &name, const QString &surname, int webId, bool offline)
{
    Client c;
    c.name = name;
    c.surname = surname;
    c.web_id = webId;
    c.offline = offline;
    c.saveToDB(false, false);
    return c.id;
}

int addAnamnesi(int idClient, const QString &name, const QDateTime &date, int webId, bool offline)
{
    Anamnesi a;
    a.idClient = idClient;
    a.name = name;
    a.date = date;
    a.web_id = webId;
    a.offline = offline;
    a.SaveToDB(false, false);
    return a.id;
}

Exam examOn(const QDate &day, double height, double weight, int activityLevel)
{
    Exam e;
    e.examDate = day;
    e.height = height;
    e.weight = weight;
    e.activityLevel = activityLevel;
    return e;
}

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("x");
}

}  // namespace

class PendingTest : public QObject
{
    Q_OBJECT

private slots:
    void emptyDatabase()
    {
        TempStore store;
        QVERIFY(!store->havePendingStuff());
        QCOMPARE(store->getPendingDescription(), QString());
        QList<Client> clients{Client()};
        QList<Anamnesi> anamnesis{Anamnesi()};
        QList<Exam> exams{Exam()};
        QVERIFY(!store->getPendingClients(clients));
        QVERIFY(!store->getPendingAnamesis(anamnesis, false));
        QVERIFY(!store->getPendingAnamesis(anamnesis, true));
        QVERIFY(!store->getPendingExams(exams));
        QCOMPARE(clients.size(), 1);
        QCOMPARE(anamnesis.size(), 1);
        QCOMPARE(exams.size(), 1);
    }

    void descriptionOfAClientAndAnExam()
    {
        TempStore store;
        const int id = addClient(QStringLiteral("N"), QStringLiteral("S"), 0, true);
        Exam exam = examOn(QDate(2024, 1, 5), 170, 70, 2);
        QVERIFY(store->insertPendingExam(id, &exam));
        QCOMPARE(store->getPendingDescription(), QStringLiteral("\nClienti:\nN S\n\nEsami:\n2024.01.05 N S\n"));
    }

    void descriptionTitlesAreTranslated()
    {
        TempStore store;
        const int id = addClient(QStringLiteral("N"), QStringLiteral("S"), 0, true);
        addAnamnesi(id, QStringLiteral("Sportiva"), QDateTime(QDate(2024, 2, 3), QTime(10, 0)), 7, false);
        QVERIFY(store.exec(QStringLiteral("update anamnesis set deleted = 1")));
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/en")));
        QCoreApplication::installTranslator(&translator);
        const QString text = store->getPendingDescription();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(text, QStringLiteral("\nClients:\nN S\n\nDeleted anamnesis:\n2024.02.03 Sportiva (N S)\n"));
    }

    void descriptionOfEveryKind()
    {
        TempStore store;
        addClient(QStringLiteral("Luca"), QStringLiteral("Synced"), 10, false);
        const int mario = addClient(QStringLiteral("Mario"), QStringLiteral("Rossi"), 11, true);
        const int anna = addClient(QStringLiteral("Anna"), QStringLiteral("Bianchi"), 0, false);
        const int synced = addClient(QStringLiteral("Carla"), QStringLiteral("Verdi"), 12, false);
        Exam exam = examOn(QDate(2024, 3, 9), 160, 55, 1);
        QVERIFY(store->insertPendingExam(synced, &exam));
        addAnamnesi(anna, QStringLiteral("Sportiva"), QDateTime(QDate(2024, 2, 3), QTime(10, 0)), 0, true);
        addAnamnesi(synced, QStringLiteral("Sincronizzata"), QDateTime(QDate(2024, 2, 4), QTime(10, 0)), 40, false);
        const int deleted = addAnamnesi(mario, QStringLiteral("Clinica"), QDateTime(QDate(2023, 12, 24), QTime(23, 0)), 41, false);
        QVERIFY(store->deleteAnamnesi(deleted, false));
        // An anamnesis whose client row is gone keeps an empty pair of names.
        addAnamnesi(999, QStringLiteral("Orfana"), QDateTime(QDate(2024, 2, 5), QTime(7, 15)), 0, true);

        QVERIFY(store->havePendingStuff());
        // Each section lists its rows in the order the database returns them.
        const QString clientLines = store.column(QStringLiteral("select name || ' ' || surname from clients "
                                                                "where web_id = 0 or offline = 1"))
                                        .join(QLatin1Char('\n'));
        QCOMPARE(clientLines.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
        QVERIFY(clientLines.contains(QStringLiteral("Mario Rossi")));
        QVERIFY(clientLines.contains(QStringLiteral("Anna Bianchi")));
        QCOMPARE(store->getPendingDescription(),
                 QStringLiteral("\nClienti:\n") + clientLines + QStringLiteral("\n"
                                "\nEsami:\n2024.03.09 Carla Verdi\n"
                                "\nAnamnesi:\n2024.02.03 Sportiva (Anna Bianchi)\n2024.02.05 Orfana ( )\n"
                                "\nAnamnesi eliminate:\n2023.12.24 Clinica (Mario Rossi)\n"));

        // A failed section is reported and left out; the others still come.
        QVERIFY(store.exec(QStringLiteral("DROP TABLE anamnesis")));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QCOMPARE(store->getPendingDescription(),
                 QStringLiteral("\nClienti:\n") + clientLines + QStringLiteral("\n\nEsami:\n2024.03.09 Carla Verdi\n"));
        QCOMPARE(errors.count(), 2);
    }

    void pendingCheckForEachKind()
    {
        TempStore store;
        const int id = addClient(QStringLiteral("A"), QStringLiteral("B"), 5, false);
        QVERIFY(!store->havePendingStuff());

        QVERIFY(store.exec(QStringLiteral("update clients set offline = 1")));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update clients set offline = 0, web_id = 0")));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update clients set web_id = 5")));
        QVERIFY(!store->havePendingStuff());

        Exam exam = examOn(QDate(2024, 1, 5), 1, 2, 3);
        QVERIFY(store->insertPendingExam(id, &exam));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store->removePendingExam(id, &exam));
        QVERIFY(!store->havePendingStuff());

        const int a = addAnamnesi(id, QStringLiteral("x"), QDateTime(QDate(2024, 1, 1), QTime(1, 0)), 8, false);
        QVERIFY(!store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update anamnesis set deleted = 1 where id = %1").arg(a)));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update anamnesis set deleted = 0, offline = 1")));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update anamnesis set offline = 0, web_id = 0")));
        QVERIFY(store->havePendingStuff());
        QVERIFY(store.exec(QStringLiteral("update anamnesis set web_id = 8")));
        QVERIFY(!store->havePendingStuff());

        // A count that cannot be made counts as pending.
        QVERIFY(store.exec(QStringLiteral("DROP TABLE pendingExams")));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QVERIFY(store->havePendingStuff());
        QCOMPARE(errors.count(), 1);
    }

    void sameDayTwiceKeepsOneRow()
    {
        TempStore store;
        const int id = addClient(QStringLiteral("A"), QStringLiteral("B"), 5, false);
        Exam first = examOn(QDate(2024, 1, 5), 170, 70, 1);
        Exam again = examOn(QDate(2024, 1, 5), 171.5, 69.25, 4);
        QVERIFY(store->insertPendingExam(id, &first));
        QVERIFY(store->insertPendingExam(id, &again));
        QCOMPARE(store.scalar(QStringLiteral("select count(*) from pendingExams")).toInt(), 1);
        QList<Exam> exams;
        QVERIFY(store->getPendingExams(exams));
        QCOMPARE(exams.size(), 1);
        QCOMPARE(exams.first().height, 171.5);
        QCOMPARE(exams.first().weight, 69.25);
        QCOMPARE(exams.first().activityLevel, 4);
    }

    void twoDaysOfOneClientAreBothQueued()
    {
        TempStore store;
        const int id = addClient(QStringLiteral("A"), QStringLiteral("B"), 1532, false);
        Exam monday = examOn(QDate(2024, 1, 8), 170, 70, 1);
        Exam tuesday = examOn(QDate(2024, 1, 9), 170, 69, 2);
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        QVERIFY(store->insertPendingExam(id, &monday));
        QVERIFY(store->insertPendingExam(id, &tuesday));
        QCOMPARE(errors.count(), 0);

        QList<Exam> exams;
        QVERIFY(store->getPendingExams(exams));
        QCOMPARE(exams.size(), 2);
        QList<QDate> days{exams.at(0).examDate, exams.at(1).examDate};
        std::sort(days.begin(), days.end());
        QCOMPARE(days, QList<QDate>({QDate(2024, 1, 8), QDate(2024, 1, 9)}));
        QVERIFY(store->getPendingDescription().contains(QStringLiteral("\nEsami:\n2024.01.08 A B\n2024.01.09 A B\n")));

        // Sending one day clears only that day.
        QVERIFY(store->removePendingExam(id, &monday));
        exams.clear();
        QVERIFY(store->getPendingExams(exams));
        QCOMPARE(exams.size(), 1);
        QCOMPARE(exams.first().examDate, QDate(2024, 1, 9));
        QCOMPARE(exams.first().weight, 69.0);
    }

    void pendingExamsCarryTheirScans()
    {
        TempStore store;
        const int withWeb = addClient(QStringLiteral("A"), QStringLiteral("B"), 1532, false);
        const int local = addClient(QStringLiteral("C"), QStringLiteral("D"), 0, true);
        Client client;
        client.loadFromDB(withWeb);
        const QString folder = client.getDataPath(true);
        touch(folder + QStringLiteral("Vita-20240105--09-30-15.jpg"));
        touch(folder + QStringLiteral("Vita-20240105--09-30-15.d2d"));
        touch(folder + QStringLiteral("Vita-20240105--09-30-15.json"));
        touch(folder + QStringLiteral("Addome-20240105--09-40-00.jpg"));
        touch(folder + QStringLiteral("Addome-20240105--09-40-00.d2d"));
        touch(folder + QStringLiteral("Addome-20240106--09-40-00.jpg"));

        Exam withScans = examOn(QDate(2024, 1, 5), 180, 80, 3);
        Exam withoutScans = examOn(QDate(2024, 2, 1), 180, 79, 3);
        Exam ofLocalClient = examOn(QDate(2024, 1, 5), 160, 50, 1);
        QVERIFY(store->insertPendingExam(withWeb, &withScans));
        QVERIFY(store->insertPendingExam(withWeb, &withoutScans));
        QVERIFY(store->insertPendingExam(local, &ofLocalClient));

        QList<Exam> exams{Exam()};
        QVERIFY(store->getPendingExams(exams));
        // The exam of a client without web id waits; the list was appended to.
        QCOMPARE(exams.size(), 3);
        const Exam *day5 = nullptr;
        const Exam *day32 = nullptr;
        for (int i = 1; i < exams.size(); ++i) {
            QCOMPARE(exams.at(i).idUser, 1532);
            if (exams.at(i).examDate == QDate(2024, 1, 5))
                day5 = &exams.at(i);
            if (exams.at(i).examDate == QDate(2024, 2, 1))
                day32 = &exams.at(i);
        }
        QVERIFY(day5 && day32);
        QCOMPARE(day5->height, 180.0);
        QCOMPARE(day5->weight, 80.0);
        QCOMPARE(day5->activityLevel, 3);
        QCOMPARE(day5->kind, 2);
        QCOMPARE(day5->scanNames, QStringList({folder + QStringLiteral("Addome-20240105--09-40-00"),
                                               folder + QStringLiteral("Vita-20240105--09-30-15")}));
        QCOMPARE(day5->scanFiles.size(), 2);
        QCOMPARE(day5->scanFiles.at(0).zone, QStringLiteral("Addome"));
        QVERIFY(day5->scanFiles.at(0).jsonFile.isEmpty());
        QCOMPARE(day5->scanFiles.at(1).zone, QStringLiteral("Vita"));
        QCOMPARE(day5->scanFiles.at(1).d2dFile, folder + QStringLiteral("Vita-20240105--09-30-15.d2d"));
        QCOMPARE(day5->scanFiles.at(1).jsonFile, folder + QStringLiteral("Vita-20240105--09-30-15.json"));
        QVERIFY(day32->scanNames.isEmpty());
        QVERIFY(day32->scanFiles.isEmpty());
        QCOMPARE(day32->weight, 79.0);
    }

    void pendingClientsAndAnamnesis()
    {
        TempStore store;
        addClient(QStringLiteral("Synced"), QStringLiteral("One"), 3, false);
        const int offline = addClient(QStringLiteral("Off"), QStringLiteral("Line"), 4, true);
        const int fresh = addClient(QStringLiteral("New"), QStringLiteral("Client"), 0, false);

        QList<Client> clients;
        QVERIFY(store->getPendingClients(clients));
        QCOMPARE(clients.size(), 2);
        const auto byId = [](const auto &a, const auto &b) { return a.id < b.id; };
        std::sort(clients.begin(), clients.end(), byId);
        QCOMPARE(clients.at(0).id, offline);
        QCOMPARE(clients.at(0).web_id, 4);
        QCOMPARE(clients.at(0).surname, QStringLiteral("Line"));
        QCOMPARE(clients.at(1).id, fresh);
        QCOMPARE(clients.at(1).name, QStringLiteral("New"));

        const QDateTime when(QDate(2024, 4, 1), QTime(12, 0));
        addAnamnesi(fresh, QStringLiteral("Synced"), when, 20, false);
        const int toSend = addAnamnesi(fresh, QStringLiteral("ToSend"), when, 0, false);
        const int both = addAnamnesi(offline, QStringLiteral("Both"), when, 21, true);
        QVERIFY(store.exec(QStringLiteral("update anamnesis set deleted = 1 where id = %1").arg(both)));

        QList<Anamnesi> sending;
        QVERIFY(store->getPendingAnamesis(sending, false));
        QCOMPARE(sending.size(), 2);
        std::sort(sending.begin(), sending.end(), byId);
        QCOMPARE(sending.at(0).id, toSend);
        QCOMPARE(sending.at(0).name, QStringLiteral("ToSend"));
        QCOMPARE(sending.at(0).date, when);
        QCOMPARE(sending.at(1).id, both);

        QList<Anamnesi> deleting;
        QVERIFY(store->getPendingAnamesis(deleting, true));
        QCOMPARE(deleting.size(), 1);
        QCOMPARE(deleting.at(0).id, both);
        QCOMPARE(deleting.at(0).web_id, 21);
        QCOMPARE(deleting.at(0).idClient, offline);
    }

    void failuresReturnFalse()
    {
        TempStore store;
        QVERIFY(store.exec(QStringLiteral("DROP TABLE pendingExams")));
        QSignalSpy errors(store.store(), &DataModule::onSqlError);
        LogCatcher log("calvestra.store");
        Exam exam;
        QVERIFY(!store->insertPendingExam(1, &exam));
        QVERIFY(!store->removePendingExam(1, &exam));
        QList<Exam> exams;
        QVERIFY(!store->getPendingExams(exams));
        QCOMPARE(errors.count(), 3);
        QCOMPARE(log.countStartingWith(QStringLiteral("SqLite error: ")), 3);

        QVERIFY(store.exec(QStringLiteral("DROP TABLE clients")));
        QVERIFY(store.exec(QStringLiteral("DROP TABLE anamnesis")));
        QList<Client> clients;
        QList<Anamnesi> anamnesis;
        QVERIFY(!store->getPendingClients(clients));
        QVERIFY(!store->getPendingAnamesis(anamnesis, true));
        QCOMPARE(errors.count(), 5);
    }
};

CALVESTRA_TEST_CORE_MAIN(PendingTest)
#include "tst_pending.moc"
