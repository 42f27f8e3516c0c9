#include "TestMain.h"

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/Anamnesi.h"

#include <QJsonDocument>

#include <memory>
#include <stdexcept>

// The one JSON format of a questionnaire, as model file, database text and (through the
// same object) service payload: what is read, what is written back, and malformed input.

namespace {

const char *const sportModel = R"({"Version": 2, "Name": "Sportiva", "Code": "SP1", "Note": "", "Date": "",
  "Diagram": "body", "DiagramDraw": {"marks": [{"x": 100, "y": 200.5}, {"x": 3, "y": 4}],
                                     "lines": [{"x1": 10, "y1": 20, "x2": 5, "y2": 40}]},
  "Questions": [{"Type": 0, "Text": "Sport praticato", "Answer": ""},
                {"Type": 1, "Text": "Ore a settimana", "Answer": "", "Decimals": 2},
                {"Type": 2, "Text": "Livello", "Answer": "", "Options": "basso,medio,alto"}]})";

QByteArray compact(const Anamnesi &a)
{
    return QJsonDocument(a.getJsonObject()).toJson(QJsonDocument::Compact);
}

Anamnesi read(const QByteArray &json)
{
    Anamnesi a;
    a.loadFromByteArray(json);
    return a;
}

}  // namespace

class AnamnesiTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempStore> m_store;

private slots:
    void init() { m_store = std::make_unique<TempStore>(); }
    void cleanup() { m_store.reset(); }

    // A model file filled in: written back in the format, with the keys records use.
    void modelFileToRecord()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("sportiva.anm"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(sportModel) > 0);
        file.close();
        Anamnesi a;
        a.loadFromFile(file.fileName());
        QCOMPARE(a.questions.size(), 3);
        QCOMPARE(a.questions[1].decimals, 2);
        a.date = QDateTime(QDate(2024, 1, 5), QTime(14, 30, 15));
        a.note = QStringLiteral("Nessuna nota");
        a.questions[0].answer = QStringLiteral("nuoto");
        a.questions[1].answer = QStringLiteral("4.50");
        a.questions[2].answer = QStringLiteral("medio");
        const QByteArray written = compact(a);
        QCOMPARE(written, QByteArray(R"({"Code":"SP1","Date":"2024-01-05 14:30:15","Diagram":"body",)"
                                     R"("DiagramDraw":{"lines":[{"x1":10,"x2":5,"y1":20,"y2":40}],)"
                                     R"("marks":[{"x":100,"y":200.5},{"x":3,"y":4}]},"Name":"Sportiva",)"
                                     R"("Note":"Nessuna nota","Questions":[{"Answer":"nuoto","Text":"Sport praticato","Type":0},)"
                                     R"({"Answer":"4.50","Text":"Ore a settimana","Type":1,"decimails":2},)"
                                     R"({"Answer":"medio","Options":"basso,medio,alto","Text":"Livello","Type":2}],"Version":2})"));
        QCOMPARE(compact(read(written)), written);  // read again, the same record

        // A file that cannot be read leaves the record as it was.
        LogCatcher log("calvestra.anamnesis");
        a.loadFromFile(dir.filePath("missing.anm"));
        QCOMPARE(log.lines(), QStringList({"Failed to open file: " + dir.filePath("missing.anm")}));
        QCOMPARE(compact(a), written);
    }

    // What is read, as it is written back.
    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("written");
        // The written record with these questions, date and diagram; the rest empty.
        const auto out = [](const char *questions, const char *date = "", const char *diagram = "") {
            return "{\"Code\":\"\",\"Date\":\"" + QByteArray(date) + "\"," + diagram
                   + "\"Name\":\"\",\"Note\":\"\",\"Questions\":[" + questions + "],\"Version\":2}";
        };
        QTest::newRow("Decimals before decimails") << QByteArray(R"({"Questions":[{"Type":1,"Text":"a","Answer":"","Decimals":3,"decimails":1}]})")
                                                   << out(R"({"Answer":"","Text":"a","Type":1,"decimails":3})");
        QTest::newRow("decimails alone") << QByteArray(R"({"Questions":[{"Type":1,"Text":"a","Answer":"","decimails":1}]})")
                                         << out(R"({"Answer":"","Text":"a","Type":1,"decimails":1})");
        QTest::newRow("text: no decimals, no options") << QByteArray(R"({"Questions":[{"Type":0,"Text":"a","Answer":"","Decimals":3,"Options":"x,y"}]})")
                                                       << out(R"({"Answer":"","Text":"a","Type":0})");
        QTest::newRow("unknown type kept") << QByteArray(R"({"Questions":[{"Type":7,"Text":"t","Answer":"v","Options":"a,b","Decimals":2}]})")
                                           << out(R"({"Answer":"v","Text":"t","Type":7})");
        QTest::newRow("diagram NO") << QByteArray(R"({"Diagram":"NO","DiagramDraw":{"marks":[{"x":1,"y":2}],"lines":[]}})") << out("");
        QTest::newRow("diagram empty") << QByteArray(R"({"Diagram":""})") << out("");
        QTest::newRow("drawing without diagram") << QByteArray(R"({"DiagramDraw":{"marks":[{"x":1,"y":2}]}})") << out("");
        QTest::newRow("lower-case no is a diagram") << QByteArray(R"({"Diagram":"no"})")
                                                    << out("", "", R"("Diagram":"no","DiagramDraw":{"lines":[],"marks":[]},)");
        QTest::newRow("version 1, date kept") << QByteArray(R"({"Version":1,"Date":"2023-12-31 23:59:58"})")
                                              << out("", "2023-12-31 23:59:58");
        QTest::newRow("other date format") << QByteArray(R"({"Date":"05/01/2024"})") << out("");
        QTest::newRow("wrong types")
            << QByteArray(R"({"Version":"2","Name":5,"Date":20240105,"Code":null,"Note":["x"],"Diagram":true,"Questions":"none"})")
            << out("");
        QTest::newRow("wrong types inside")
            << QByteArray(R"({"Diagram":"b","DiagramDraw":{"marks":[1,{"x":"5","y":6}],"lines":{"x1":1}},)"
                          R"("Questions":[3,{"Type":"1","Text":7,"Answer":false},{"Type":1,"Decimals":"2"}]})")
            << out(R"({"Answer":"","Text":"","Type":0},{"Answer":"","Text":"","Type":0},{"Answer":"","Text":"","Type":1,"decimails":0})",
                   "", R"("Diagram":"b","DiagramDraw":{"lines":[],"marks":[{"x":0,"y":0},{"x":0,"y":6}]},)");
    }
    void readingRules()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, written);
        QCOMPARE(compact(read(json)), written);
    }

    // Malformed text reads as an empty record, never as a failure.
    void malformedReadsAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not json") << QByteArray("{\"Name\": oops");
        QTest::newRow("cut short") << QByteArray(sportModel).left(200);
        QTest::newRow("array") << QByteArray("[1, 2, 3]");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\x01", 5);
        QTest::newRow("deep nesting") << (QByteArray(20000, '[') + QByteArray(20000, ']'));
        QTest::newRow("deep questions") << ("{\"Questions\":" + QByteArray(5000, '[') + QByteArray(5000, ']') + "}");
    }
    void malformedReadsAsEmpty()
    {
        QFETCH(QByteArray, json);
        Anamnesi a;
        a.name = QStringLiteral("before");
        a.marks << QPointF(1, 1);
        a.loadFromByteArray(json);
        QCOMPARE(a.version, 0);
        QVERIFY(a.marks.isEmpty() && !a.hasDiagram);
        QCOMPARE(compact(a), QByteArray(R"({"Code":"","Date":"","Name":"","Note":"","Questions":[],"Version":2})"));
    }

    // The database row: its columns, the text in "object", by local id and by web id.
    void storing()
    {
        Anamnesi a = read(sportModel);
        a.idClient = 3;
        a.date = QDateTime(QDate(2024, 1, 5), QTime(14, 30, 15));
        a.SaveToDB(false, false);
        QCOMPARE(a.id, 1);
        const auto column = [&](const char *name, int id = 1) {
            return m_store->scalar(QStringLiteral("select %1 from anamnesis where id = %2").arg(name).arg(id));
        };
        QCOMPARE(column("name").toString(), QStringLiteral("Sportiva"));
        QCOMPARE(column("idClient").toInt(), 3);
        QCOMPARE(column("offline").toInt(), 1);
        QCOMPARE(column("anamnesiDate").toDateTime(), a.date);
        QCOMPARE(column("object").toString().toUtf8(), compact(a));

        // Saved again: the same row, and a deletion mark is never written by a save.
        a.web_id = 77;
        a.offline = false;
        a.name = QStringLiteral("Sportiva bis");
        QVERIFY(m_store->exec(QStringLiteral("update anamnesis set deleted = 1")));
        a.SaveToDB(false, false);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 1);
        QCOMPARE(column("deleted").toInt(), 1);
        for (const bool byWebId : {false, true}) {
            Anamnesi loaded;
            loaded.loadFromDB(byWebId ? 77 : 1, byWebId);
            QCOMPARE(loaded.id, 1);
            QCOMPARE(loaded.web_id, 77);
            QCOMPARE(loaded.idClient, 3);
            QCOMPARE(loaded.offline, false);
            QCOMPARE(compact(loaded), compact(a));
        }
        Anamnesi missing = read(sportModel);
        missing.loadFromDB(42, false);
        QCOMPARE(missing.id, 0);
        QCOMPARE(compact(missing), compact(read(sportModel)));

        // From the service: matched by web id, inserted only when new.
        Anamnesi fromService = read(sportModel);
        fromService.web_id = 500;
        fromService.note = QStringLiteral("prima");
        fromService.SaveToDB(false, true);
        fromService.note = QStringLiteral("aggiornata");
        fromService.idClient = 8;
        fromService.SaveToDB(false, true);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis where web_id = 500")).toInt(), 1);
        QCOMPARE(m_store->scalar(QStringLiteral("select idClient from anamnesis where web_id = 500")).toInt(), 8);
        QVERIFY(Anamnesi::web_id_exists(500) && !Anamnesi::web_id_exists(501));
        QVERIFY(Anamnesi::id_exists(2) && !Anamnesi::id_exists(3));

        // A store that fails: reported, nothing saved, the existence checks throw.
        QVERIFY(m_store->exec(QStringLiteral("DROP TABLE anamnesis")));
        QSignalSpy errors(m_store->store(), &DataModule::onSqlError);
        fromService.SaveToDB(false, true);
        QCOMPARE(errors.count(), 1);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Anamnesi::id_exists(1));
    }
};

CALVESTRA_TEST_MAIN(AnamnesiTest)
#include "tst_anamnesi.moc"
