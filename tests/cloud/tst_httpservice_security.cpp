// Accounts are kept apart on the service, and no file name, in a request or in an
// uploaded archive, reaches outside its folder.
#include "CloudTestSupport.h"
#include "TestMain.h"

#include "anamnesis/Anamnesi.h"
#include "store/Exam.h"

#include <QDirIterator>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>

class TestHttpServiceSecurity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void accountsAreKeptApart();
    void userFileNamesCannotEscape();
    void archiveEntriesCannotEscape();

private:
    QNetworkReply::NetworkError fetch(CloudCase &c, int idUser, const QString &kind, const QString &name,
                                      QByteArray *body = nullptr);
    QStringList filesNamed(const QString &name) const;

    ReferenceService m_service;
};

void TestHttpServiceSecurity::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void TestHttpServiceSecurity::init()
{
    if (!m_service.isRunning())
        QVERIFY2(m_service.restart(), qPrintable(m_service.errorString()));
    QVERIFY(m_service.resetHooks());
}

QNetworkReply::NetworkError TestHttpServiceSecurity::fetch(CloudCase &c, int idUser, const QString &kind,
                                                           const QString &name, QByteArray *body)
{
    QNetworkReply *reply = c->getUserFile(idUser, kind, name);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(10000))
        qWarning("getUserFile did not finish");
    const QNetworkReply::NetworkError error = reply->error();
    if (body)
        *body = reply->readAll();
    delete reply;
    return error;
}

QStringList TestHttpServiceSecurity::filesNamed(const QString &name) const
{
    // Anywhere under the service's temporary folder, data folder included.
    QStringList found;
    QDirIterator it(QFileInfo(m_service.dataDir()).absolutePath(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName() == name)
            found << path;
    }
    return found;
}

void TestHttpServiceSecurity::accountsAreKeptApart()
{
    const int accountA = 8101;
    const int accountB = 8102;
    Client clientA;
    QString pictureName;
    QByteArray picture;
    int anamnesiWebId = 0;
    {
        CloudCase a(m_service, accountA);
        clientA = a.addClient(QStringLiteral("Riservato"), QStringLiteral("Alfa"));
        QSignalSpy done(a.http(), &HttpService::onUploadClientDone);
        a->saveClient(&clientA);
        QVERIFY(done.wait(10000));
        clientA.loadFromDB(clientA.id);

        Anamnesi anamnesi;
        anamnesi.name = QStringLiteral("Anamnesi generale");
        anamnesi.date = QDateTime(QDate(2024, 8, 1), QTime(9, 0, 0));
        anamnesi.idClient = clientA.id;
        anamnesi.SaveToDB(false, false);
        QSignalSpy anamnesiDone(a.http(), &HttpService::onUploadAnamnesiDone);
        a->saveAnamnesi(&anamnesi);
        QVERIFY(anamnesiDone.wait(10000));
        anamnesi.loadFromDB(anamnesi.id, false);
        anamnesiWebId = anamnesi.web_id;

        const ScanFile scan = writeScan(clientA.getDataPath(true), QStringLiteral("Vita"),
                                        QDateTime(QDate(2024, 8, 1), QTime(9, 5, 0)), false);
        pictureName = QFileInfo(scan.jpgFile).fileName();
        picture = readFile(scan.jpgFile);
        QList<ScanFile> scans{scan};
        Exam exam;
        exam.idUser = clientA.web_id;
        exam.examDate = QDate(2024, 8, 1);
        QSignalSpy examDone(a.http(), &HttpService::onUploadExamDone);
        a->uploadExam(&exam, &scans);
        QVERIFY(examDone.wait(20000));
        // Account A itself reaches its file.
        QByteArray body;
        QCOMPARE(fetch(a, clientA.web_id, QStringLiteral("jpg"), pictureName, &body), QNetworkReply::NoError);
        QCOMPARE(body, picture);
    }

    CloudCase b(m_service, accountB);
    // B lists nothing of A's.
    QSignalSpy list(b.http(), &HttpService::onGetClients);
    b->getClients();
    QVERIFY(list.wait(10000));
    QVERIFY(list.at(0).at(0).value<QList<Client>>().isEmpty());
    QCOMPARE(b.scalar(QStringLiteral("select count(*) from clients")).toInt(), 0);

    // Nor A's works, questionnaires or files.
    QSignalSpy works(b.http(), &HttpService::onGetUserWorks);
    CloudLogCatcher log;
    b->getUserWorks(clientA.web_id);
    QVERIFY(QTest::qWaitFor([&] { return !works.isEmpty() || log.countStartingWith(QStringLiteral("error")) > 0; }, 10000));
    QVERIFY(works.isEmpty() || works.at(0).at(0).value<QList<Exam>>().isEmpty());
    QSignalSpy anamnesis(b.http(), &HttpService::onGetAnamnesis);
    log.clear();
    b->getUserAnamnesis(clientA.web_id);
    QVERIFY(QTest::qWaitFor([&] { return !anamnesis.isEmpty() || log.countStartingWith(QStringLiteral("error")) > 0; }, 10000));
    QVERIFY(anamnesis.isEmpty() || anamnesis.at(0).at(0).value<QList<Anamnesi>>().isEmpty());
    QByteArray stolen;
    QVERIFY(fetch(b, clientA.web_id, QStringLiteral("jpg"), pictureName, &stolen) != QNetworkReply::NoError);
    QVERIFY(!stolen.contains(picture.left(64)));
    QVERIFY(fetch(b, clientA.web_id, QStringLiteral("d2d"), pictureName) != QNetworkReply::NoError);

    // Nor change or delete them: a client record of B carrying A's web id becomes B's own.
    Client impostor = b.addClient(QStringLiteral("Intruso"), QStringLiteral("Beta"));
    impostor.web_id = clientA.web_id;
    b.store()->saveClient(&impostor, false);
    QSignalSpy done(b.http(), &HttpService::onUploadClientDone);
    b->saveClient(&impostor);
    QVERIFY(done.wait(10000));
    b->deleteClient(clientA.web_id);
    QVERIFY(waitForRequest(m_service, QStringLiteral("deleteUser")).value(QStringLiteral("status")).toInt() == 200);
    b->deleteAnamnesi(anamnesiWebId);
    QVERIFY(waitForRequest(m_service, QStringLiteral("deleteAnamnesi")).value(QStringLiteral("status")).toInt() == 200);
    // Whatever B was told, A's data is intact.
    QTest::qWait(200);

    CloudCase a(m_service, accountA);
    QSignalSpy listA(a.http(), &HttpService::onGetClients);
    a->getClients();
    QVERIFY(listA.wait(10000));
    const auto clients = listA.at(0).at(0).value<QList<Client>>();
    QCOMPARE(clients.size(), 1);
    QCOMPARE(clients.at(0).web_id, clientA.web_id);
    QCOMPARE(clients.at(0).surname, QStringLiteral("Riservato"));
    QSignalSpy anamnesisA(a.http(), &HttpService::onGetAnamnesis);
    a->getUserAnamnesis(clientA.web_id);
    QVERIFY(anamnesisA.wait(10000));
    QCOMPARE(anamnesisA.at(0).at(0).value<QList<Anamnesi>>().size(), 1);
    QByteArray body;
    QCOMPARE(fetch(a, clientA.web_id, QStringLiteral("jpg"), pictureName, &body), QNetworkReply::NoError);
    QCOMPARE(body, picture);
}

void TestHttpServiceSecurity::userFileNamesCannotEscape()
{
    CloudCase c(m_service, 8103);
    Client client = c.addClient(QStringLiteral("Percorso"), QStringLiteral("Test"));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    QVERIFY(done.wait(10000));
    client.loadFromDB(client.id);
    const ScanFile scan = writeScan(client.getDataPath(true), QStringLiteral("Vita"),
                                    QDateTime(QDate(2024, 8, 2), QTime(9, 0, 0)), false);
    QList<ScanFile> scans{scan};
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = QDate(2024, 8, 2);
    QSignalSpy examDone(c.http(), &HttpService::onUploadExamDone);
    c->uploadExam(&exam, &scans);
    QVERIFY(examDone.wait(20000));
    const QString name = QFileInfo(scan.jpgFile).fileName();
    QCOMPARE(fetch(c, client.web_id, QStringLiteral("jpg"), name), QNetworkReply::NoError);

    // Files the service has outside the client's folder.
    const QStringList attempts{
        QStringLiteral("../") + name,
        QStringLiteral("../../") + name,
        QStringLiteral("../../../service.sqlite"),
        QStringLiteral("..%2F..%2Fservice.sqlite"),
        QStringLiteral("/etc/passwd"),
        QStringLiteral("..\\..\\") + name,
        QStringLiteral(".."),
        QStringLiteral("."),
        QString(),
    };
    for (const QString &attempt : attempts) {
        for (const QString &kind : {QStringLiteral("jpg"), QStringLiteral("d2d")}) {
            QByteArray body;
            QVERIFY2(fetch(c, client.web_id, kind, attempt, &body) != QNetworkReply::NoError, qPrintable(attempt));
            QVERIFY(!body.startsWith("\xFF\xD8"));
            QVERIFY(!body.startsWith("SQLite format"));
        }
    }
}

void TestHttpServiceSecurity::archiveEntriesCannotEscape()
{
    const int account = 8104;
    CloudCase c(m_service, account);
    Client client = c.addClient(QStringLiteral("Archivio"), QStringLiteral("Ostile"));
    QSignalSpy done(c.http(), &HttpService::onUploadClientDone);
    c->saveClient(&client);
    QVERIFY(done.wait(10000));
    client.loadFromDB(client.id);

    // An archive no client of ours makes, sent the way the client sends exams.
    QTemporaryDir dir;
    const QString zipPath = dir.filePath(QStringLiteral("hostile.zip"));
    {
        int code = 0;
        zip_t *archive = zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        QVERIFY(archive);
        const QList<QPair<QByteArray, QByteArray>> entries{
            {"Vita-20240803--09-00-00.jpg", "\xFF\xD8 fine"},
            {"../escaped-8104.jpg", "\xFF\xD8 escaped"},
            {"../../../escaped-deep-8104.d2d", "raw"},
        };
        for (const auto &entry : entries) {
            zip_source_t *source = zip_source_buffer(archive, entry.second.constData(), zip_uint64_t(entry.second.size()), 0);
            QVERIFY(zip_file_add(archive, entry.first.constData(), source, ZIP_FL_ENC_UTF_8) >= 0);
        }
        QCOMPARE(zip_close(archive), 0);
    }
    {
        QNetworkAccessManager manager;
        auto *form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        const auto text = [](const QByteArray &name, const QByteArray &value) {
            QHttpPart part;
            part.setHeader(QNetworkRequest::ContentDispositionHeader, QByteArray("form-data; name=\"" + name + "\""));
            part.setBody(value);
            return part;
        };
        Exam exam;
        exam.idUser = client.web_id;
        exam.examDate = QDate(2024, 8, 3);
        form->append(text("idSender", QByteArray::number(account)));
        form->append(text("action", "uploadExamZip"));
        form->append(text("appVersion", "0.6.4"));
        form->append(text("appOS", "test"));
        form->append(text("exam", QJsonDocument(exam.toJSONObject(true)).toJson()));
        QHttpPart file;
        file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/octet-stream"));
        file.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QByteArrayLiteral("form-data; name=\"UPLOADS\"; filename=\"upload.zip\""));
        file.setBody(readFile(zipPath));
        form->append(file);
        QNetworkReply *reply = manager.post(QNetworkRequest(c->m_url), form);
        form->setParent(reply);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(15000));
        const QJsonObject envelope = QJsonDocument::fromJson(reply->readAll()).object();
        delete reply;
        // Refused as a whole: not even the harmless entry is kept.
        QVERIFY(envelope.value(QStringLiteral("status")).toObject().value(QStringLiteral("code")).toInt() != 200);
    }
    QVERIFY(filesNamed(QStringLiteral("escaped-8104.jpg")).isEmpty());
    QVERIFY(filesNamed(QStringLiteral("escaped-deep-8104.d2d")).isEmpty());
    QVERIFY(filesNamed(QStringLiteral("Vita-20240803--09-00-00.jpg")).isEmpty());
    QSignalSpy works(c.http(), &HttpService::onGetUserWorks);
    c->getUserWorks(client.web_id);
    QVERIFY(works.wait(10000));
    QVERIFY(works.at(0).at(0).value<QList<Exam>>().isEmpty());
}

CALVESTRA_TEST_MAIN(TestHttpServiceSecurity)
#include "tst_httpservice_security.moc"
