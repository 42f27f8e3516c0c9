#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QSignalSpy>

#include <stdexcept>

namespace {

const char *const sportModel = R"({
  "Version": 2,
  "Name": "Sportiva",
  "Code": "SP1",
  "Note": "",
  "Date": "",
  "Diagram": "body",
  "DiagramDraw": {
    "marks": [{"x": 100, "y": 200.5}, {"x": 3, "y": 4}],
    "lines": [{"x1": 10, "y1": 20, "x2": 5, "y2": 40}]
  },
  "Questions": [
    {"Type": 0, "Text": "Sport praticato", "Answer": ""},
    {"Type": 1, "Text": "Ore a settimana", "Answer": "", "Decimals": 2},
    {"Type": 2, "Text": "Livello", "Answer": "", "Options": "basso,medio,alto"}
  ]
})";

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Anamnesi filledRecord()
{
    Anamnesi a;
    a.loadFromByteArray(sportModel);
    a.idClient = 3;
    a.date = QDateTime(QDate(2024, 1, 5), QTime(14, 30, 15));
    a.note = QStringLiteral("Nessuna nota");
    a.questions[0].answer = QStringLiteral("nuoto");
    a.questions[1].answer = QStringLiteral("4.50");
    a.questions[2].answer = QStringLiteral("medio");
    return a;
}

}  // namespace

class AnamnesiTest : public QObject
{
    Q_OBJECT

private:
    TempStore *m_store = nullptr;

private slots:
    void init()
    {
        m_store = new TempStore;
    }
    void cleanup()
    {
        delete m_store;
        m_store = nullptr;
    }

    void defaults()
    {
        const Anamnesi a;
        QCOMPARE(a.id, 0);
        QCOMPARE(a.web_id, 0);
        QCOMPARE(a.idClient, 0);
        QCOMPARE(a.offline, true);
        QCOMPARE(a.version, 2);
        QCOMPARE(a.hasDiagram, false);
        QVERIFY(!a.date.isValid());
        QVERIFY(a.questions.isEmpty());
        QCOMPARE(a.m_dataModule.data(), m_store->store());
    }

    void readsAModel()
    {
        Anamnesi a;
        a.loadFromByteArray(sportModel);
        QCOMPARE(a.version, 2);
        QCOMPARE(a.name, QStringLiteral("Sportiva"));
        QCOMPARE(a.code, QStringLiteral("SP1"));
        QVERIFY(!a.date.isValid());
        QCOMPARE(a.diagram, QStringLiteral("body"));
        QVERIFY(a.hasDiagram);
        QCOMPARE(a.marks, QList<QPointF>({QPointF(100, 200.5), QPointF(3, 4)}));
        QCOMPARE(a.lines.size(), 1);
        QCOMPARE(a.questions.size(), 3);
        QCOMPARE(a.questions[0].type, int(qtText));
        QCOMPARE(a.questions[0].text, QStringLiteral("Sport praticato"));
        QCOMPARE(a.questions[1].type, int(qtNumber));
        QCOMPARE(a.questions[1].decimals, 2);
        QVERIFY(a.questions[1].options.isEmpty());
        QCOMPARE(a.questions[2].type, int(qtChoice));
        QCOMPARE(a.questions[2].options, QStringLiteral("basso,medio,alto"));
        QCOMPARE(a.questions[2].decimals, 0);
        for (const Question &q : a.questions)
            QVERIFY(q.editor.isNull());
    }

    void writesTheFormat()
    {
        const Anamnesi a = filledRecord();
        const QJsonObject json = a.getJsonObject();
        QCOMPARE(json.keys(), QStringList({"Code", "Date", "Diagram", "DiagramDraw", "Name", "Note", "Questions",
                                           "Version"}));
        QCOMPARE(json.value(QStringLiteral("Version")).toInt(), 2);
        QCOMPARE(json.value(QStringLiteral("Date")).toString(), QStringLiteral("2024-01-05 14:30:15"));
        QCOMPARE(json.value(QStringLiteral("Note")).toString(), QStringLiteral("Nessuna nota"));
        const QJsonObject draw = json.value(QStringLiteral("DiagramDraw")).toObject();
        QCOMPARE(compact(draw), QByteArray(R"({"lines":[{"x1":10,"x2":5,"y1":20,"y2":40}],)"
                                           R"("marks":[{"x":100,"y":200.5},{"x":3,"y":4}]})"));
        const QJsonArray questions = json.value(QStringLiteral("Questions")).toArray();
        QCOMPARE(questions.size(), 3);
        QCOMPARE(questions[0].toObject().keys(), QStringList({"Answer", "Text", "Type"}));
        QCOMPARE(questions[0].toObject().value(QStringLiteral("Answer")).toString(), QStringLiteral("nuoto"));
        QCOMPARE(questions[1].toObject().keys(), QStringList({"Answer", "Text", "Type", "decimails"}));
        QCOMPARE(questions[1].toObject().value(QStringLiteral("decimails")).toInt(), 2);
        QCOMPARE(questions[2].toObject().keys(), QStringList({"Answer", "Options", "Text", "Type"}));
        QCOMPARE(questions[2].toObject().value(QStringLiteral("Options")).toString(), QStringLiteral("basso,medio,alto"));
    }

    void roundTrip()
    {
        const Anamnesi original = filledRecord();
        Anamnesi copy;
        copy.loadFromByteArray(compact(original.getJsonObject()));
        QCOMPARE(copy.name, original.name);
        QCOMPARE(copy.date, original.date);
        QCOMPARE(copy.note, original.note);
        QCOMPARE(copy.marks, original.marks);
        QCOMPARE(copy.lines, original.lines);
        QCOMPARE(copy.questions.size(), 3);
        QCOMPARE(copy.questions[1].decimals, 2);
        QCOMPARE(copy.questions[1].answer, QStringLiteral("4.50"));
        QCOMPARE(copy.getJsonObject(), original.getJsonObject());

        // A line keeps its direction: start (10, 20), end (5, 40).
        const QRectF line = copy.lines.first();
        QCOMPARE(line.x(), 10.0);
        QCOMPARE(line.y(), 20.0);
        QCOMPARE(line.x() + line.width(), 5.0);
        QCOMPARE(line.y() + line.height(), 40.0);
    }

    void decimalKeys()
    {
        Anamnesi both;
        both.loadFromByteArray(R"({"Questions":[{"Type":1,"Text":"a","Answer":"","Decimals":3,"decimails":1}]})");
        QCOMPARE(both.questions.first().decimals, 3);
        Anamnesi written;
        written.loadFromByteArray(R"({"Questions":[{"Type":1,"Text":"a","Answer":"","decimails":1}]})");
        QCOMPARE(written.questions.first().decimals, 1);
        // Decimals belong to number questions only.
        Anamnesi text;
        text.loadFromByteArray(R"({"Questions":[{"Type":0,"Text":"a","Answer":"","Decimals":3,"Options":"x,y"}]})");
        QCOMPARE(text.questions.first().decimals, 0);
        QVERIFY(text.questions.first().options.isEmpty());
        QCOMPARE(text.getJsonObject().value(QStringLiteral("Questions")).toArray().first().toObject().keys(),
                 QStringList({"Answer", "Text", "Type"}));
    }

    void diagramRules()
    {
        Anamnesi no;
        no.loadFromByteArray(R"({"Diagram":"NO","DiagramDraw":{"marks":[{"x":1,"y":2}],"lines":[]}})");
        QVERIFY(!no.hasDiagram);
        QCOMPARE(no.diagram, QStringLiteral("NO"));
        QVERIFY(no.marks.isEmpty());
        QVERIFY(!no.getJsonObject().contains(QStringLiteral("Diagram")));
        QVERIFY(!no.getJsonObject().contains(QStringLiteral("DiagramDraw")));

        Anamnesi empty;
        empty.loadFromByteArray(R"({"Diagram":""})");
        QVERIFY(!empty.hasDiagram);

        Anamnesi lower;
        lower.loadFromByteArray(R"({"Diagram":"no"})");
        QVERIFY(lower.hasDiagram);
        QCOMPARE(compact(lower.getJsonObject().value(QStringLiteral("DiagramDraw")).toObject()),
                 QByteArray(R"({"lines":[],"marks":[]})"));

        Anamnesi none;
        none.loadFromByteArray(R"({"Name":"Senza","DiagramDraw":{"marks":[{"x":1,"y":2}]}})");
        QVERIFY(!none.hasDiagram);
        QVERIFY(none.marks.isEmpty());
        const QJsonObject written = none.getJsonObject();
        QVERIFY(!written.contains(QStringLiteral("Diagram")));
        QVERIFY(!written.contains(QStringLiteral("DiagramDraw")));

        // Without "Diagram" the record keeps the diagram it had.
        Anamnesi kept;
        kept.loadFromByteArray(R"({"Diagram":"body"})");
        kept.loadFromByteArray(R"({"Name":"x"})");
        QVERIFY(kept.hasDiagram);
        QCOMPARE(kept.diagram, QStringLiteral("body"));
    }

    void versionsAndDates()
    {
        Anamnesi old;
        old.loadFromByteArray(R"({"Version":1,"Date":"2023-12-31 23:59:58"})");
        QCOMPARE(old.version, 1);
        QCOMPARE(old.date, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58)));
        QCOMPARE(old.getJsonObject().value(QStringLiteral("Version")).toInt(), 2);
        QCOMPARE(old.getJsonObject().value(QStringLiteral("Date")).toString(), QStringLiteral("2023-12-31 23:59:58"));

        Anamnesi none;
        none.loadFromByteArray(R"({"Name":"x","Date":"05/01/2024"})");
        QCOMPARE(none.version, 0);
        QVERIFY(!none.date.isValid());
        QCOMPARE(none.getJsonObject().value(QStringLiteral("Date")).toString(QStringLiteral("missing")), QString());
        QCOMPARE(none.getJsonObject().value(QStringLiteral("Version")).toInt(), 2);
    }

    void otherQuestionTypesAreKept()
    {
        Anamnesi a;
        a.loadFromByteArray(R"({"Questions":[{"Type":7,"Text":"t","Answer":"v","Options":"a,b","Decimals":2}]})");
        QCOMPARE(a.questions.first().type, 7);
        const QJsonObject q = a.getJsonObject().value(QStringLiteral("Questions")).toArray().first().toObject();
        QCOMPARE(compact(q), QByteArray(R"({"Answer":"v","Text":"t","Type":7})"));
    }

    void loadingTwiceAppendsQuestionsOnly()
    {
        Anamnesi a;
        a.loadFromByteArray(sportModel);
        a.loadFromByteArray(sportModel);
        QCOMPARE(a.questions.size(), 6);
        QCOMPARE(a.marks.size(), 2);
        QCOMPARE(a.lines.size(), 1);
    }

    void malformedInput_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not json") << QByteArray("{\"Name\": oops");
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\x01", 5);
        QTest::newRow("deep nesting") << (QByteArray(20000, '[') + QByteArray(20000, ']'));
        QTest::newRow("deep object") << (QByteArray("{\"Questions\":") + QByteArray(5000, '[') + QByteArray(5000, ']') + "}");
    }
    void malformedInput()
    {
        QFETCH(QByteArray, json);
        Anamnesi a;
        a.name = QStringLiteral("before");
        a.marks << QPointF(1, 1);
        a.loadFromByteArray(json);
        QCOMPARE(a.version, 0);
        QVERIFY(a.name.isEmpty());
        QVERIFY(!a.date.isValid());
        QVERIFY(a.questions.isEmpty());
        QVERIFY(a.marks.isEmpty());
        QVERIFY(!a.hasDiagram);
    }

    void wrongTypes()
    {
        Anamnesi a;
        a.loadFromByteArray(R"({"Version":"2","Name":5,"Date":20240105,"Code":null,"Note":["x"],
            "Diagram":true,"Questions":"none"})");
        QCOMPARE(a.version, 0);
        QVERIFY(a.name.isEmpty());
        QVERIFY(!a.date.isValid());
        QVERIFY(a.note.isEmpty());
        QVERIFY(!a.hasDiagram);  // a non-text diagram reads as empty text
        QVERIFY(a.questions.isEmpty());

        Anamnesi b;
        b.loadFromByteArray(R"({"Diagram":"body","DiagramDraw":{"marks":[1,"a",{"x":"5","y":6}],"lines":{"x1":1}},
            "Questions":[3,{"Type":"1","Text":7,"Answer":false},{"Type":1.5},{"Type":1,"Decimals":"2"}]})");
        QVERIFY(b.hasDiagram);
        QCOMPARE(b.marks, QList<QPointF>({QPointF(0, 0), QPointF(0, 0), QPointF(0, 6)}));
        QVERIFY(b.lines.isEmpty());
        QCOMPARE(b.questions.size(), 4);
        QCOMPARE(b.questions[0].type, 0);
        QCOMPARE(b.questions[1].type, 0);
        QVERIFY(b.questions[1].text.isEmpty());
        QCOMPARE(b.questions[2].type, 0);
        QCOMPARE(b.questions[3].type, 1);
        QCOMPARE(b.questions[3].decimals, 0);
        // What was read writes back as valid JSON of the format.
        QVERIFY(!compact(b.getJsonObject()).isEmpty());
    }

    void hugeInput()
    {
        QJsonArray questions;
        for (int i = 0; i < 50000; ++i)
            questions.append(QJsonObject{{QStringLiteral("Type"), i % 3},
                                         {QStringLiteral("Text"), QStringLiteral("Domanda %1").arg(i)},
                                         {QStringLiteral("Answer"), QString(64, QLatin1Char('r'))},
                                         {QStringLiteral("Decimals"), 1},
                                         {QStringLiteral("Options"), QStringLiteral("a,b")}});
        QJsonObject root{{QStringLiteral("Name"), QStringLiteral("Grande")},
                         {QStringLiteral("Note"), QString(4 * 1024 * 1024, QLatin1Char('n'))},
                         {QStringLiteral("Questions"), questions}};
        const QByteArray text = compact(root);
        QVERIFY(text.size() > 8 * 1024 * 1024);
        Anamnesi a;
        a.loadFromByteArray(text);
        QCOMPARE(a.questions.size(), 50000);
        QCOMPARE(a.note.size(), 4 * 1024 * 1024);
        QCOMPARE(a.questions[49999].text, QStringLiteral("Domanda 49999"));
        // A truncated copy of the same text is simply not JSON.
        Anamnesi cut;
        cut.loadFromByteArray(text.left(text.size() / 2));
        QVERIFY(cut.questions.isEmpty());
        QVERIFY(cut.name.isEmpty());
    }

    void loadFromFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sportiva.anm"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sportModel);
        file.close();
        Anamnesi a;
        a.loadFromFile(path);
        QCOMPARE(a.name, QStringLiteral("Sportiva"));
        QCOMPARE(a.questions.size(), 3);

        LogCatcher log("calvestra.anamnesis");
        Anamnesi missing;
        missing.name = QStringLiteral("kept");
        const QString nowhere = dir.filePath(QStringLiteral("missing.anm"));
        missing.loadFromFile(nowhere);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("Failed to open file: ") + nowhere}));
        QCOMPARE(missing.name, QStringLiteral("kept"));
    }

    void assignCopiesTheRecord()
    {
        Anamnesi source = filledRecord();
        source.id = 4;
        source.web_id = 40;
        source.offline = false;
        source.version = 1;
        QLineEdit editor;
        source.questions[0].editor = &editor;

        Anamnesi target;
        target.loadFromByteArray(R"({"Questions":[{"Type":0,"Text":"old","Answer":""}]})");
        target.version = 5;
        target.assign(&source);
        QCOMPARE(target.name, source.name);
        QCOMPARE(target.note, source.note);
        QCOMPARE(target.code, source.code);
        QCOMPARE(target.date, source.date);
        QCOMPARE(target.id, 4);
        QCOMPARE(target.web_id, 40);
        QCOMPARE(target.idClient, 3);
        QCOMPARE(target.offline, false);
        QCOMPARE(target.hasDiagram, true);
        QCOMPARE(target.diagram, source.diagram);
        QCOMPARE(target.marks, source.marks);
        QCOMPARE(target.lines, source.lines);
        QCOMPARE(target.version, 5);
        QCOMPARE(target.questions.size(), 3);
        QCOMPARE(target.questions[0].text, QStringLiteral("Sport praticato"));
        QCOMPARE(target.questions[1].decimals, 2);
        QCOMPARE(target.questions[2].options, QStringLiteral("basso,medio,alto"));
        QVERIFY(target.questions[0].editor.isNull());
        QCOMPARE(source.questions[0].editor.data(), &editor);

        target.assign(&target);
        QCOMPARE(target.questions.size(), 3);
    }

    void clearEmptiesTheContentOnly()
    {
        Anamnesi a = filledRecord();
        a.id = 9;
        a.web_id = 90;
        a.clear();
        QVERIFY(a.name.isEmpty());
        QVERIFY(a.note.isEmpty());
        QVERIFY(a.code.isEmpty());
        QVERIFY(!a.date.isValid());
        QVERIFY(a.questions.isEmpty());
        QCOMPARE(a.id, 9);
        QCOMPARE(a.web_id, 90);
        QCOMPARE(a.idClient, 3);
        QVERIFY(a.hasDiagram);
        QCOMPARE(a.marks.size(), 2);
        QCOMPARE(a.lines.size(), 1);
    }

    void storingByLocalId()
    {
        Anamnesi a = filledRecord();
        a.SaveToDB(false, false);
        QCOMPARE(a.id, 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select name from anamnesis where id = 1")).toString(),
                 QStringLiteral("Sportiva"));
        QCOMPARE(m_store->scalar(QStringLiteral("select idClient from anamnesis where id = 1")).toInt(), 3);
        QCOMPARE(m_store->scalar(QStringLiteral("select offline from anamnesis where id = 1")).toInt(), 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select deleted from anamnesis where id = 1")).toInt(), 0);
        QCOMPARE(m_store->scalar(QStringLiteral("select anamnesiDate from anamnesis where id = 1")).toDateTime(),
                 a.date);
        QCOMPARE(m_store->scalar(QStringLiteral("select object from anamnesis where id = 1")).toString().toUtf8(),
                 compact(a.getJsonObject()));

        a.web_id = 77;
        a.offline = false;
        a.name = QStringLiteral("Sportiva bis");
        m_store->exec(QStringLiteral("update anamnesis set deleted = 1"));
        a.SaveToDB(false, false);
        QCOMPARE(a.id, 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select web_id from anamnesis where id = 1")).toInt(), 77);
        QCOMPARE(m_store->scalar(QStringLiteral("select name from anamnesis where id = 1")).toString(),
                 QStringLiteral("Sportiva bis"));
        // The deleted mark is never written by a save.
        QCOMPARE(m_store->scalar(QStringLiteral("select deleted from anamnesis where id = 1")).toInt(), 1);

        Anamnesi loaded;
        loaded.loadFromDB(1, false);
        QCOMPARE(loaded.id, 1);
        QCOMPARE(loaded.web_id, 77);
        QCOMPARE(loaded.idClient, 3);
        QCOMPARE(loaded.offline, false);
        QCOMPARE(loaded.name, QStringLiteral("Sportiva bis"));
        QCOMPARE(loaded.getJsonObject(), a.getJsonObject());

        Anamnesi byWeb;
        byWeb.loadFromDB(77, true);
        QCOMPARE(byWeb.id, 1);

        Anamnesi missing;
        missing.name = QStringLiteral("untouched");
        missing.loadFromDB(42, false);
        missing.loadFromDB(42, true);
        QCOMPARE(missing.id, 0);
        QCOMPARE(missing.name, QStringLiteral("untouched"));
    }

    void storingByWebId()
    {
        Anamnesi fromService = filledRecord();
        fromService.web_id = 500;
        fromService.offline = false;
        fromService.SaveToDB(false, true);
        QCOMPARE(fromService.id, 1);

        Anamnesi again = filledRecord();
        again.web_id = 500;
        again.idClient = 8;
        again.note = QStringLiteral("aggiornata");
        again.offline = false;
        again.SaveToDB(false, true);
        QCOMPARE(again.id, 0);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select idClient from anamnesis where web_id = 500")).toInt(), 8);
        Anamnesi loaded;
        loaded.loadFromDB(500, true);
        QCOMPARE(loaded.note, QStringLiteral("aggiornata"));

        QVERIFY(Anamnesi::web_id_exists(500));
        QVERIFY(!Anamnesi::web_id_exists(501));
        QVERIFY(Anamnesi::id_exists(1));
        QVERIFY(!Anamnesi::id_exists(2));
    }

    void uploadRequestStillSavesLocally()
    {
        Anamnesi a = filledRecord();
        QVERIFY(a.m_httpService == nullptr);
        a.SaveToDB(true, false);
        QCOMPARE(a.id, 1);
        QCOMPARE(a.m_httpService, HttpService::m_instance);
        QVERIFY(a.m_httpService);
    }

    void existenceQueryFaults()
    {
        QVERIFY(m_store->exec(QStringLiteral("DROP TABLE anamnesis")));
        for (int pass = 0; pass < 2; ++pass) {
            QString what;
            try {
                if (pass == 0)
                    Anamnesi::web_id_exists(1);
                else
                    Anamnesi::id_exists(1);
            } catch (const std::runtime_error &e) {
                what = QString::fromUtf8(e.what());
            }
            QCOMPARE(what, QStringLiteral("web_id_exists query fault."));
        }
        QSignalSpy errors(m_store->store(), &DataModule::onSqlError);
        Anamnesi a = filledRecord();
        a.web_id = 3;
        a.SaveToDB(false, true);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(a.id, 0);
        a.SaveToDB(false, false);
        QCOMPARE(errors.count(), 2);
        QCOMPARE(a.id, 0);
    }

    void deletionRules()
    {
        const auto store = [](int webId, bool offline) {
            Anamnesi a;
            a.name = QStringLiteral("r");
            a.web_id = webId;
            a.offline = offline;
            a.SaveToDB(false, false);
            return a.id;
        };
        const int localOnly = store(0, true);
        const int synced = store(60, false);
        const int changedAfterSending = store(61, true);
        const int byWeb = store(62, false);

        // Never sent: removed at once, nothing to tell the service.
        QVERIFY(!m_store->store()->deleteAnamnesi(localOnly, false));
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis where id = %1").arg(localOnly)).toInt(), 0);

        // Sent: marked until the service confirms.
        QVERIFY(m_store->store()->deleteAnamnesi(synced, false));
        QCOMPARE(m_store->scalar(QStringLiteral("select deleted from anamnesis where id = %1").arg(synced)).toInt(), 1);
        QVERIFY(m_store->store()->deleteAnamnesi(changedAfterSending, false));
        QCOMPARE(m_store->scalar(QStringLiteral("select deleted from anamnesis where id = %1").arg(changedAfterSending))
                     .toInt(),
                 1);
        QList<Anamnesi> marked;
        QVERIFY(m_store->store()->getPendingAnamesis(marked, true));
        QCOMPARE(marked.size(), 2);

        // The service confirmed: the row goes, matched by its web id.
        QVERIFY(m_store->store()->deleteAnamnesi(62, true));
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis where id = %1").arg(byWeb)).toInt(), 0);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 2);

        // Unknown id: nothing loaded, nothing removed, nothing to tell.
        QVERIFY(!m_store->store()->deleteAnamnesi(999, false));
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 2);

        QVERIFY(m_store->exec(QStringLiteral("DROP TABLE anamnesis")));
        QSignalSpy errors(m_store->store(), &DataModule::onSqlError);
        QVERIFY(!m_store->store()->deleteAnamnesi(synced, false));
        QCOMPARE(errors.count(), 1);
    }
};

CALVESTRA_TEST_MAIN(AnamnesiTest)
#include "tst_anamnesi.moc"
