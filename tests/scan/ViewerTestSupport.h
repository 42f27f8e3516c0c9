#pragma once

#include "LogCatcher.h"
#include "ReferenceService.h"

#include "cloud/HttpService.h"
#include "scan/DayScan.h"
#include "scan/DayScansModel.h"
#include "scan/ScanArea.h"
#include "scan/ScanViewerWidget.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/Exam.h"
#include "store/ScanFile.h"

#include <QDataStream>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

// Scan groups written as the scan widget writes them, clients stored and sent, and what
// the archive viewers show of them.
namespace ViewerTest {

// A picture in a solid colour and scan data with its own number of lines, so that a
// test can tell which scan is shown.
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

// Three scans of a day in name order, the second with marks.
inline QList<ScanRecipe> dayOf(const QDate &date, int firstLines = 31)
{
    return {{QStringLiteral("Addome"), QDateTime(date, QTime(9, 10, 0)), firstLines, QColor(220, 30, 30)},
            {QStringLiteral("Coscia dx"), QDateTime(date, QTime(9, 30, 15)), firstLines + 1, QColor(30, 200, 40), true},
            {QStringLiteral("Vita"), QDateTime(date, QTime(9, 45, 5)), firstLines + 2, QColor(40, 60, 220)}};
}

// base.jpg, base.d2d and, with marks, base.json (marks at a third and half the lines).
inline ScanFile writeScan(const QString &folder, const ScanRecipe &recipe)
{
    QDir().mkpath(folder);
    const QString base = QDir(folder).filePath(recipe.baseName());
    QImage picture(500, 400, QImage::Format_RGB32);
    picture.fill(recipe.colour);
    picture.save(base + QStringLiteral(".jpg"), "JPG", 95);
    QFile d2d(base + QStringLiteral(".d2d"));
    if (d2d.open(QIODevice::WriteOnly)) {
        QDataStream out(&d2d);
        out.setByteOrder(QDataStream::LittleEndian);
        QByteArray samples(recipe.lines * 946, 0);
        for (int i = 0; i < samples.size(); ++i)
            samples[i] = char((i % 946) * 255 / 946);
        out << qint32(946) << qint32(1) << samples;
    }
    QFile json(base + QStringLiteral(".json"));
    if (recipe.marks && json.open(QIODevice::WriteOnly))
        json.write(QStringLiteral("{\"linemarks\":[%1,%2]}").arg(recipe.lines / 3).arg(recipe.lines / 2).toUtf8());
    return ScanFile::createFromFilePath(base + QStringLiteral(".jpg"));
}

inline QStringList jpgNames(const QList<ScanRecipe> &recipes)
{
    QStringList names;
    for (const ScanRecipe &recipe : recipes)
        names << recipe.jpgName();
    return names;
}

inline void writeDay(const Client &client, const QDate &date, int firstLines = 31)
{
    for (const ScanRecipe &recipe : dayOf(date, firstLines))
        writeScan(client.getDataPath(true), recipe);
}

// Colour closeness after JPEG compression.
inline bool near(QRgb a, const QColor &b)
{
    return qAbs(qRed(a) - b.red()) <= 24 && qAbs(qGreen(a) - b.green()) <= 24 && qAbs(qBlue(a) - b.blue()) <= 24;
}

// A client stored locally only; with a web id it lives in the folder named after it.
inline Client addClient(const QString &surname, int webId = 0)
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

// A client sent to the service, back with its web id.
inline Client uploadClient(HttpService *http, const QString &surname)
{
    Client client = addClient(surname);
    QSignalSpy done(http, &HttpService::onUploadClientDone);
    http->saveClient(&client);
    if (!done.wait(20000))
        qWarning("client upload not confirmed");
    client.loadFromDB(client.id);
    return client;
}

// One exam of the client on the service. Its files are written, uploaded and removed
// again, so that whatever a test then shows of them can only come from the service.
inline bool uploadExam(HttpService *http, const Client &client, const QDate &date, const QList<ScanRecipe> &recipes)
{
    QList<ScanFile> files;
    for (const ScanRecipe &recipe : recipes)
        files << writeScan(client.getDataPath(true), recipe);
    Exam exam;
    exam.idUser = client.web_id;
    exam.examDate = date;
    QSignalSpy done(http, &HttpService::onUploadExamDone);
    QSignalSpy failed(http, &HttpService::onUploadExamFail);
    http->uploadExam(&exam, &files);
    const bool ok = QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 30000) && !done.isEmpty();
    for (const ScanFile &file : files) {
        for (const QString &path : {file.jpgFile, file.d2dFile, file.jsonFile})
            QFile::remove(path);
    }
    return ok;
}

// A child widget by its object name; a missing one ends the run at once.
template <typename T>
T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// True when the viewer shows that scan loaded: its lines and a picture.
inline bool shows(const ScanViewerWidget &viewer, const ScanRecipe &recipe)
{
    return viewer.currentScan && viewer.currentScan->fileName == recipe.jpgName()
        && viewer.scanWidget->commThread->lineCount == recipe.lines && viewer.scanWidget->scanArea->image
        && !viewer.scanWidget->scanArea->loading;
}

// The files of one kind ("jpg", "d2d") the service has answered for, in order.
inline QStringList requestedFiles(const ReferenceService &service, const QString &kind = QString())
{
    QStringList names;
    for (const QJsonValue &value : service.receivedRequests()) {
        QMap<QString, QString> fields;
        for (const QJsonValue &field : value[QStringLiteral("fields")].toArray())
            fields.insert(field[0].toString(), field[1].toString());
        if (value[QStringLiteral("kind")].toString() == QStringLiteral("getUserFile")
            && (kind.isEmpty() || fields.value(QStringLiteral("kind")) == kind))
            names << fields.value(QStringLiteral("filename"));
    }
    return names;
}

// Every scan the viewer's scan widget loads, by its number of lines.
class LoadRecorder : public QObject
{
public:
    explicit LoadRecorder(ScanViewerWidget &viewer)
    {
        VXCommThread *holder = viewer.scanWidget->commThread.get();
        connect(holder, &VXCommThread::onSetDeepness, this, [this, holder] { loads << holder->lineCount; });
    }
    QList<int> loads;
};

}  // namespace ViewerTest
