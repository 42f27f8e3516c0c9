#pragma once

#include "LogCatcher.h"

#include "ReferenceService.h"

#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "scan/DayScan.h"
#include "scan/DayScansModel.h"
#include "scan/ScanArea.h"
#include "scan/ScanViewerWidget.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QColor>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Helpers of the archive viewer tests: scan groups written as the scan widget writes
// them, a store of its own, the web-service client pointed at the reference service,
// and the debug lines of "calvestra.scan".
namespace ViewerTest {

// One scan group to write: picture in a solid colour (so a test can tell pictures
// apart on screen) and raw data with its own number of lines (so a test can tell which
// scan the scan widget loaded).
struct ScanRecipe
{
    QString zone;
    QDateTime when;
    int lines = 40;
    QColor colour = Qt::red;
    bool marks = false;

    QString baseName() const { return zone + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd--hh-mm-ss")); }
    QString jpgName() const { return baseName() + QStringLiteral(".jpg"); }
};

constexpr int kSamplesPerLine = 946;

// Writes base.jpg, base.d2d and, with marks, base.json into folder; returns the record
// of the group.
inline ScanFile writeScan(const QString &folder, const ScanRecipe &recipe)
{
    QDir().mkpath(folder);
    const QString base = QDir(folder).filePath(recipe.baseName());

    QImage picture(500, 400, QImage::Format_RGB32);
    picture.fill(recipe.colour);
    if (!picture.save(base + QStringLiteral(".jpg"), "JPG", 95))
        qWarning("cannot write the test picture");

    QFile d2d(base + QStringLiteral(".d2d"));
    if (d2d.open(QIODevice::WriteOnly)) {
        QDataStream out(&d2d);
        out.setByteOrder(QDataStream::LittleEndian);
        QByteArray samples(recipe.lines * kSamplesPerLine, 0);
        for (int i = 0; i < samples.size(); ++i)
            samples[i] = char((i % kSamplesPerLine) * 255 / kSamplesPerLine);
        out << qint32(kSamplesPerLine) << qint32(1) << samples;
    }
    if (recipe.marks) {
        QFile json(base + QStringLiteral(".json"));
        if (json.open(QIODevice::WriteOnly))
            json.write(QByteArray("{\"linemarks\":[") + QByteArray::number(recipe.lines / 3) + ','
                       + QByteArray::number(recipe.lines / 2) + "]}");
    }
    return ScanFile::createFromFilePath(base + QStringLiteral(".jpg"));
}

// Colour closeness after JPEG compression.
inline bool near(QRgb a, const QColor &b, int tolerance = 24)
{
    return qAbs(qRed(a) - b.red()) <= tolerance && qAbs(qGreen(a) - b.green()) <= tolerance
        && qAbs(qBlue(a) - b.blue()) <= tolerance;
}

// A store of its own in a fresh temporary folder for the life of the object.
class TempStore
{
public:
    TempStore()
    {
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        DataModule::resetInstanceForTests(m_dir.path());
    }
    ~TempStore() { DataModule::resetInstanceForTests(); }
    TempStore(const TempStore &) = delete;
    TempStore &operator=(const TempStore &) = delete;

    // A client stored locally; with a web id it lives in the folder named after it.
    Client addClient(const QString &surname, int webId = 0) const
    {
        Client c;
        c.surname = surname;
        c.name = QStringLiteral("Test");
        c.birthday = QDate(1980, 6, 1);
        c.web_id = webId;
        c.offline = webId == 0;
        c.saveToDB(false, false);
        return c;
    }

private:
    QTemporaryDir m_dir;
};

// The store, the service client pointed at the reference service under an account of
// its own, and the client and exam uploads that fill the service's archive.
class CloudStore : public TempStore
{
public:
    CloudStore(const ReferenceService &service, int account)
    {
        AppSettings::setIdTrainer(account);
        AppSettings::setEndpoint(service.endpointUrl().toString());
        m_http = HttpService::resetInstanceForTests(true);
        m_http->setWebServiceURL(false);
    }
    // A service client pointed at an address where nothing answers.
    explicit CloudStore(const QUrl &endpoint)
    {
        AppSettings::setIdTrainer(1);
        AppSettings::setEndpoint(endpoint.toString());
        m_http = HttpService::resetInstanceForTests(true);
        m_http->setWebServiceURL(false);
    }
    ~CloudStore() { HttpService::resetInstanceForTests(false); }

    HttpService *http() const { return m_http; }

    // A client sent to the service: it comes back with its web id.
    Client uploadClient(const QString &surname) const
    {
        Client client = addClient(surname);
        QSignalSpy done(m_http, &HttpService::onUploadClientDone);
        m_http->saveClient(&client);
        if (!done.wait(10000))
            qWarning("client upload not confirmed");
        client.loadFromDB(client.id);
        return client;
    }

    // One exam of the client on the service: the scans are written in the client's
    // folder, uploaded, and (unless keepLocal) removed again, so that whatever a test
    // then shows of them can only have come from the service.
    bool uploadExam(const Client &client, const QDate &date, const QList<ScanRecipe> &recipes,
                    bool keepLocal = false) const
    {
        const QString folder = client.getDataPath(true);
        QList<ScanFile> files;
        for (const ScanRecipe &recipe : recipes)
            files << writeScan(folder, recipe);
        Exam exam;
        exam.idUser = client.web_id;
        exam.examDate = date;
        exam.weight = 70;
        exam.height = 175;
        QSignalSpy done(m_http, &HttpService::onUploadExamDone);
        QSignalSpy failed(m_http, &HttpService::onUploadExamFail);
        m_http->uploadExam(&exam, &files);
        const bool ok = QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 30000)
            && !done.isEmpty();
        if (!keepLocal) {
            for (const ScanFile &file : files) {
                QFile::remove(file.jpgFile);
                QFile::remove(file.d2dFile);
                if (!file.jsonFile.isEmpty())
                    QFile::remove(file.jsonFile);
            }
        }
        return ok;
    }

private:
    HttpService *m_http = nullptr;
};

// Collects the debug lines of "calvestra.scan" while it lives.
class ScanLog : public LogCatcher
{
public:
    ScanLog()
        : LogCatcher("calvestra.scan")
    {
    }
};

// The getUserFile requests the service received, as (kind, filename) pairs in arrival order.
inline QList<QPair<QString, QString>> fileRequests(const ReferenceService &service)
{
    QList<QPair<QString, QString>> list;
    for (const QJsonValue &value : service.receivedRequests()) {
        const QJsonObject request = value.toObject();
        if (request.value(QStringLiteral("kind")).toString() != QStringLiteral("getUserFile"))
            continue;
        QString kind;
        QString fileName;
        for (const QJsonValue &field : request.value(QStringLiteral("fields")).toArray()) {
            const QString name = field.toArray().at(0).toString();
            if (name == QStringLiteral("kind"))
                kind = field.toArray().at(1).toString();
            else if (name == QStringLiteral("filename"))
                fileName = field.toArray().at(1).toString();
        }
        list << qMakePair(kind, fileName);
    }
    return list;
}

inline QStringList requestedFiles(const ReferenceService &service, const QString &kind)
{
    QStringList names;
    for (const auto &request : fileRequests(service)) {
        if (request.first == kind)
            names << request.second;
    }
    return names;
}

// A child widget by its object name; a missing one ends the test run at once.
template <typename T>
T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The lines of the scan the viewer's scan widget holds (0 for none).
inline int shownLines(const ScanViewerWidget &viewer)
{
    return viewer.scanWidget->commThread->lineCount;
}

// True when the viewer shows a loaded scan with that many lines and a picture.
inline bool shows(const ScanViewerWidget &viewer, const ScanRecipe &recipe)
{
    return viewer.currentScan && viewer.currentScan->fileName == recipe.jpgName() && shownLines(viewer) == recipe.lines
        && viewer.scanWidget->scanArea->image != nullptr && !viewer.scanWidget->scanArea->loading;
}

// Every scan the viewer's scan widget loads, by its number of lines, in order.
class LoadRecorder : public QObject
{
public:
    explicit LoadRecorder(ScanViewerWidget &viewer)
    {
        VXCommThread *holder = viewer.scanWidget->commThread.get();
        connect(holder, &VXCommThread::onSetDeepness, this, [this, holder](int) { loads << holder->lineCount; });
    }
    QList<int> loads;
};

}  // namespace ViewerTest
