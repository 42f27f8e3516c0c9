#include "TestMain.h"

#include "AnamnesisTestSupport.h"

#include "anamnesis/ImageDiagram.h"

#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>

#include <memory>
#include <stdexcept>

// An anamnesis with a real store: its one JSON format (model file, database text and, through
// the same object, service payload), the form and its inputs, the body diagram editor.

using namespace AnamnesisTest;

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

QStringList labels(const AnamnesiWidget *form)
{
    QStringList texts;
    for (const QLabel *label : child<QWidget>(form, "wgQuestions")->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        texts << label->text();
    return texts;
}

using Points = QList<QPointF>;
using Lines = QList<QRectF>;
using Path = QList<QPoint>;  // press, moves, release; a single point is a click

QRectF line(double x1, double y1, double x2, double y2)
{
    return QRectF(QPointF(x1, y1), QPointF(x2, y2));
}

void row(const char *name, const Points &marks, const Lines &lines, const Path &path, const Points &marksAfter,
         const Lines &linesAfter, bool readOnly = false)
{
    QTest::newRow(name) << marks << lines << path << marksAfter << linesAfter << readOnly;
}

// Red pixels of `area`: the marks (blended with the picture where thin).
int red(const QImage &image, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qRed(p) > 200 && qRed(p) - qGreen(p) > 80 && qRed(p) - qBlue(p) > 80;
        }
    }
    return n;
}

}  // namespace

class AnamnesiTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempStore> m_store;
    std::unique_ptr<AnamnesiWidget> w;
    std::unique_ptr<ImageDiagram> d;

    bool showForm()
    {
        w = std::make_unique<AnamnesiWidget>();
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }
    template <typename T>
    T *at(const char *name) const { return child<T>(w.get(), name); }
    // At 380 x 270 the 720 x 540 picture shows at half size: picture = (screen - (10, 0)) * 2.
    bool showDiagram()
    {
        d = std::make_unique<ImageDiagram>();
        d->resize(380, 270);
        d->show();
        const bool exposed = QTest::qWaitForWindowExposed(d.get());
        d->repaint();  // the mapping is the one of the last paint
        return exposed;
    }
    void gesture(const Path &path)
    {
        QTest::mousePress(d.get(), Qt::LeftButton, Qt::NoModifier, path.first());
        for (qsizetype i = 1; i + 1 < path.size(); ++i)
            QTest::mouseMove(d.get(), path[i]);
        QTest::mouseRelease(d.get(), Qt::LeftButton, Qt::NoModifier, path.last());
    }
    QImage shot()
    {
        d->repaint();
        return d->grab().toImage();
    }

private slots:
    void init()
    {
        m_store = std::make_unique<TempStore>();
        QVERIFY(writeModels());
    }
    void cleanup()
    {
        w.reset();
        d.reset();
        m_store.reset();
    }

    // A model file filled in: written back in the format, with the keys records use.
    void modelFileToRecord()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("sportiva.anm"), sportModel));
        Anamnesi a;
        a.loadFromFile(dir.filePath("sportiva.anm"));
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
        Anamnesi again = read(written);
        again.loadFromByteArray(written);  // a record read twice is the record, not twice its questions
        QCOMPARE(compact(again), written);

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
        QTest::newRow("Decimals before decimails")
            << QByteArray(R"({"Questions":[{"Type":1,"Text":"a","Answer":"","Decimals":3,"decimails":1}]})")
                                                   << out(R"({"Answer":"","Text":"a","Type":1,"decimails":3})");
        QTest::newRow("text: no decimals, no options")
            << QByteArray(R"({"Questions":[{"Type":0,"Text":"a","Answer":"","Decimals":3,"Options":"x,y"}]})")
                                                       << out(R"({"Answer":"","Text":"a","Type":0})");
        QTest::newRow("unknown type kept")
            << QByteArray(R"({"Questions":[{"Type":7,"Text":"t","Answer":"v","Options":"a,b","Decimals":2}]})")
                                           << out(R"({"Answer":"v","Text":"t","Type":7})");
        QTest::newRow("diagram NO") << QByteArray(R"({"Diagram":"NO","DiagramDraw":{"marks":[{"x":1,"y":2}],"lines":[]}})") << out("");
        QTest::newRow("diagram empty") << QByteArray(R"({"Diagram":""})") << out("");
        QTest::newRow("lower-case no is a diagram") << QByteArray(R"({"Diagram":"no"})")
                                                    << out("", "", R"("Diagram":"no","DiagramDraw":{"lines":[],"marks":[]},)");
        QTest::newRow("version 1, date kept") << QByteArray(R"({"Version":1,"Date":"2023-12-31 23:59:58"})")
                                              << out("", "2023-12-31 23:59:58");
        QTest::newRow("wrong types")
            << QByteArray(R"({"Version":"2","Name":5,"Date":20240105,"Code":null,"Note":["x"],"Diagram":true,"Questions":"none"})")
            << out("");
        QTest::newRow("wrong types inside")
            << QByteArray(R"({"Diagram":"b","DiagramDraw":{"marks":[1,{"x":"5","y":6}],"lines":{"x1":1}},)"
                          R"("Questions":[3,{"Type":"1","Text":7,"Answer":false},{"Type":1,"Decimals":"2"}]})")
            << out(R"({"Answer":"","Text":"","Type":0},{"Answer":"","Text":"","Type":0},)"
                   R"({"Answer":"","Text":"","Type":1,"decimails":0})",
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

    // The database row: its columns and the text in "object"; read back by id or web id.
    void storing()
    {
        Anamnesi a = read(sportModel);
        a.idClient = 3;
        a.date = QDateTime(QDate(2024, 1, 5), QTime(14, 30, 15));
        a.SaveToDB(false, false);
        QCOMPARE(m_store->column(QStringLiteral("select name || idClient || offline || anamnesiDate || object from anamnesis")),
                 QStringList("Sportiva31" + a.date.toString(Qt::ISODateWithMs) + compact(a)));
        // Saved again: the same row, and a deletion mark is never written by a save.
        a.web_id = 77;
        a.offline = false;
        QVERIFY(m_store->exec(QStringLiteral("update anamnesis set deleted = 1")));
        a.SaveToDB(false, false);
        QCOMPARE(m_store->column(QStringLiteral("select id || deleted || web_id from anamnesis")), QStringList("1177"));
        Anamnesi loaded;
        loaded.loadFromDB(1, false);
        QVERIFY(loaded.id == 1 && loaded.web_id == 77 && loaded.idClient == 3 && !loaded.offline);
        QCOMPARE(compact(loaded), compact(a));
        Anamnesi missing = read(sportModel);
        missing.loadFromDB(42, false);  // no such row: left as it was
        QVERIFY(missing.id == 0 && compact(missing) == compact(read(sportModel)));
        QVERIFY(Anamnesi::id_exists(1) && !Anamnesi::id_exists(2) && Anamnesi::web_id_exists(77));
        // A store that fails: the query fault is thrown, and reported when saving.
        QVERIFY(m_store->exec(QStringLiteral("DROP TABLE anamnesis")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Anamnesi::id_exists(1));
        QSignalSpy errors(m_store->store(), &DataModule::onSqlError);
        a.SaveToDB(false, true);
        QCOMPARE(errors.count(), 1);
    }

    void modelsAndTheirInputs()
    {
        QVERIFY(showForm());
        auto *models = at<QComboBox>("cbModel");
        // In file name order regardless of letter case; the first one is made new.
        QCOMPARE(items(models), QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo"}));
        QCOMPARE(labels(w.get()), QStringList({"Sport praticato", "Ore di allenamento", "Livello", "Domanda futura"}));
        QPointer<QPlainTextEdit> text = input<QPlainTextEdit>(w.get(), 0);
        QCOMPARE(input<QDoubleSpinBox>(w.get(), 1)->decimals(), 1);
        // Two commas in a row give an empty option; quotes are dropped; nothing chosen yet.
        QCOMPARE(items(input<QComboBox>(w.get(), 2)), QStringList({"Basso", "", "Medio", "Alto"}));
        QVERIFY(input<QComboBox>(w.get(), 2)->currentText().isEmpty());
        QVERIFY(!w->current.questions[3].editor);  // an unknown type has no input
        QVERIFY(at<ImageDiagram>("imageDiagram")->isVisible() && at<QLabel>("lbDiagramHint")->isVisible());
        QCOMPARE(at<ImageDiagram>("imageDiagram")->marks, QList<QPointF>({QPointF(100, 120)}));

        // Typing is an edit; choosing a model starts afresh, with its own diagram or none.
        QSignalSpy dirty(w.get(), &AnamnesiWidget::onDirty);
        QTest::keyClicks(text, QStringLiteral("tennis"));
        QVERIFY(w->dirty);
        models->setCurrentIndex(1);
        QCOMPARE(labels(w.get()), QStringList({"Professione", "Peso (kg)"}));
        QVERIFY(!text);  // the old inputs went with the old questions
        QVERIFY(!w->dirty && !dirty.last().first().toBool());
        QVERIFY(!at<ImageDiagram>("imageDiagram")->isVisible() && !at<QLabel>("lbDiagramHint")->isVisible());
        models->setCurrentIndex(2);  // no "Diagram" at all
        QVERIFY(!at<ImageDiagram>("imageDiagram")->isVisible());
        models->setCurrentIndex(0);
        QVERIFY(input<QPlainTextEdit>(w.get(), 0)->toPlainText().isEmpty());
        QVERIFY(writeFile(modelsFolder() + "zz.anm", "{ not json") && w->loadModels());  // offered, unnamed
        QCOMPARE(items(models), QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo", ""}));
    }

    void recordReadOnlyThenEdited()
    {
        const Client client = storedClient(QStringLiteral("Rossi"));
        Anamnesi record = questionnaire(postureModel, client.id, QDateTime(QDate(2024, 3, 5), QTime(9, 15, 27)),
                                        QStringLiteral("corsa\nnuoto"));
        record.note = QStringLiteral("Dolore lombare");
        record.marks = {QPointF(300, 200), QPointF(40, 50)};
        record.lines = {QRectF(QPointF(10, 20), QPointF(5, 40))};
        record.questions[1].answer = QStringLiteral("3.14");
        record.questions[2].answer = QStringLiteral("Forse");
        QVERIFY(showForm());
        at<QComboBox>("cbModel")->setCurrentIndex(1);
        QSignalSpy dirty(w.get(), &AnamnesiWidget::onDirty);
        w->init(false, true, &record);
        // Read-only, the model named but fixed; nothing the operator does changes it.
        QCOMPARE(at<QComboBox>("cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QVERIFY(!at<QComboBox>("cbModel")->isEnabled() && !input<QComboBox>(w.get(), 2)->isEnabled());
        QVERIFY(!at<QLabel>("lbDiagramHint")->isVisible());
        QCOMPARE(input<QComboBox>(w.get(), 2)->currentText(), QStringLiteral("Forse"));
        ImageDiagram *diagram = at<ImageDiagram>("imageDiagram");
        QCOMPARE(diagram->lines, record.lines);
        const auto clickDiagram = [diagram] {
            diagram->repaint();
            QTest::mouseClick(diagram, Qt::LeftButton, Qt::NoModifier, diagram->getScreenPos(QPointF(360, 270)).toPoint());
        };
        for (QWidget *edit : std::initializer_list<QWidget *>{input<QPlainTextEdit>(w.get(), 0), input<QDoubleSpinBox>(w.get(), 1),
                                                              at<QPlainTextEdit>("edNote"), at<QDateTimeEdit>("dateEdit")}) {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Up);
            QTest::keyClicks(edit, QStringLiteral("9x"));
        }
        clickDiagram();
        for (const QList<QVariant> &emitted : dirty)
            QCOMPARE(emitted.first().toBool(), false);
        // Stored as shown (so unchanged), but for "3.14" with one decimal.
        w->saveToDB(false);
        const int id = w->current.id;
        Anamnesi stored;
        stored.loadFromDB(id, false);
        record.questions[1].answer = QStringLiteral("3.1");
        record.id = id;
        QCOMPARE(stored.getJsonObject(), record.getJsonObject());
        QVERIFY(stored.offline);

        // Editable: edits through every input, the note, the date and the diagram.
        w->init(true, false, &record);
        QVERIFY(at<QComboBox>("cbModel")->isEnabled() && at<QLabel>("lbDiagramHint")->isVisible());
        QPlainTextEdit *text = input<QPlainTextEdit>(w.get(), 0);
        text->setFocus();
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(text, QStringLiteral(", bici"));
        QVERIFY(w->dirty && dirty.last().first().toBool());
        QDoubleSpinBox *number = input<QDoubleSpinBox>(w.get(), 1);
        number->setFocus();
        QTest::keyClick(number, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(number, QStringLiteral("120"));  // past the toolkit's default maximum of 99.99
        input<QComboBox>(w.get(), 2)->lineEdit()->selectAll();
        QTest::keyClicks(input<QComboBox>(w.get(), 2)->lineEdit(), QStringLiteral("Altissimo"));
        at<QPlainTextEdit>("edNote")->setPlainText(QStringLiteral("Nessun dolore"));
        at<QDateTimeEdit>("dateEdit")->setDateTime(QDateTime(QDate(2024, 4, 1), QTime(10, 0)));
        clickDiagram();
        w->saveToDB(false);
        QCOMPARE(m_store->column(QStringLiteral("select id from anamnesis")), QStringList(QString::number(id)));
        stored = Anamnesi();
        stored.loadFromDB(id, false);
        QVERIFY(stored.marks.size() == 3 && (stored.marks.last() - QPointF(360, 270)).manhattanLength() <= 4);
        Anamnesi edited = record;  // the caller's record stays as it was
        edited.marks = stored.marks;
        edited.note = QStringLiteral("Nessun dolore");
        edited.date = QDateTime(QDate(2024, 4, 1), QTime(10, 0));
        edited.questions[0].answer = QStringLiteral("corsa\nnuoto, bici");
        edited.questions[1].answer = QStringLiteral("120");
        edited.questions[2].answer = QStringLiteral("Altissimo");
        QCOMPARE(stored.getJsonObject(), edited.getJsonObject());
    }

    void modelsFolderMissing()
    {
        QDir(modelsFolder()).removeRecursively();
        QVERIFY(showForm());
        QCOMPARE(at<QComboBox>("cbModel")->count(), 0);
        QVERIFY(QDir(modelsFolder()).exists());  // made again for the models to come
        // Under a plain file it cannot be made: the operator is told.
        QVERIFY(writeFile(m_store->location() + "/file", "x"));
        m_store->store()->m_assetsPath = m_store->location() + "/file/";
        QVERIFY(showForm());
        const auto *box = w->findChild<QMessageBox *>();
        QVERIFY(box && box->isVisible() && box->text() == m_store->location() + "/file/models/ does not exist.");
    }

    void gestures_data()
    {
        QTest::addColumn<Points>("marks");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<Path>("path");
        QTest::addColumn<Points>("marksAfter");
        QTest::addColumn<Lines>("linesAfter");
        QTest::addColumn<bool>("readOnly");
        const Lines slanted{line(100, 100, 200, 200)};
        const Lines vertical{line(200, 100, 200, 150)};
        row("click puts a point", {}, {}, {{110, 50}}, {{200, 100}}, {});
        row("3 px of travel is a click, where released", {}, {}, {{200, 150}, {203, 150}, {203, 150}}, {{386, 300}}, {});
        row("4 px make an arrow", {}, {}, {{250, 100}, {252, 102}, {250, 104}, {250, 104}}, {}, {line(480, 200, 480, 208)});
        row("an arrow keeps its direction", {}, {}, {{300, 200}, {280, 180}, {280, 180}}, {}, {line(580, 400, 540, 360)});
        row("the picture's own edge is outside", {}, {}, {{10, 100}}, {}, {});
        row("just inside", {}, {}, {{11, 100}}, {{2, 200}}, {});
        row("a drag leaving the picture is cancelled", {}, {}, {{100, 100}, {60, 100}, {4, 100}, {60, 100}, {60, 100}}, {}, {});
        row("pressed outside, released inside", {}, {}, {{4, 150}, {80, 150}}, {}, {});
        row("8 px from a point removes it", {{200, 100}}, {}, {{114, 54}}, {}, {});
        row("10 px from a point misses it", {{200, 100}}, {}, {{115, 50}}, {{200, 100}, {210, 100}}, {});
        row("only the first point in reach", {{200, 100}, {204, 100}}, {}, {{111, 50}}, {{204, 100}}, {});
        row("a point on a line: both go", {{300, 300}}, {line(250, 250, 350, 350)}, {{160, 150}}, {}, {});
        row("slanted line hit", {}, slanted, {{87, 73}}, {}, {});
        row("slanted line, past its end", {}, slanted, {{121, 109}}, {{222, 218}}, slanted);
        row("slanted line, before its start", {}, slanted, {{51, 39}}, {{82, 78}}, slanted);
        row("vertical line, far below its end", {}, vertical, {{113, 200}}, {}, {});
        row("vertical line, 10 px aside", {}, vertical, {{115, 200}}, {{210, 400}}, vertical);
        row("horizontal line, far to its right", {}, {line(100, 300, 140, 300)}, {{300, 146}}, {}, {});
        row("read-only click", {{200, 100}}, {}, {{111, 51}}, {{200, 100}}, {}, true);
        row("read-only drag", {}, {}, {{60, 200}, {90, 230}, {90, 230}}, {}, {}, true);
    }
    void gestures()
    {
        QFETCH(Points, marks);
        QFETCH(Lines, lines);
        QFETCH(Path, path);
        QFETCH(Points, marksAfter);
        QFETCH(Lines, linesAfter);
        QFETCH(bool, readOnly);
        QVERIFY(showDiagram());
        d->marks = marks;
        d->lines = lines;
        d->readOnly = readOnly;
        QSignalSpy changed(d.get(), &ImageDiagram::onMarksChanged);
        gesture(path);
        QCOMPARE(d->marks, marksAfter);
        QCOMPARE(d->lines, linesAfter);
        QCOMPARE(changed.count(), marks == marksAfter && lines == linesAfter ? 0 : 1);
    }

    void marksStayOnTheBody()
    {
        QCOMPARE(ImageDiagram().getRealPos(QPointF(12, 34)), QPointF(12, 34));  // no paint yet: no mapping
        QVERIFY(showDiagram());
        gesture({{190, 135}});  // the middle of the body
        gesture({{250, 100}, {300, 100}, {300, 100}});
        QCOMPARE(d->marks, Points({{360, 270}}));
        QCOMPARE(d->lines, Lines({line(480, 200, 580, 200)}));
        QImage image = shot();
        QCOMPARE(image.pixelColor(5, 5), ImageDiagram::backgroundColor);
        QVERIFY(red(image, QRect(188, 133, 5, 5)) > 5);   // the cross
        QVERIFY(red(image, QRect(270, 99, 10, 3)) >= 5);  // the arrow's shaft
        // Larger and wider: the marks move with the picture on screen and are hit there.
        d->resize(800, 540);  // a window's new size arrives as an event
        QTRY_COMPARE(d->origin, QPoint(40, 0));
        image = shot();
        QVERIFY(red(image, QRect(398, 268, 5, 5)) > 5);
        QCOMPARE(red(image, QRect(188, 133, 5, 5)), 0);
        gesture({{403, 266}});
        QVERIFY(d->marks.isEmpty());
        // Taller than wide: centred vertically.
        d->resize(240, 301);
        QTRY_COMPARE(d->origin, QPoint(0, (301 - 180) / 2));
        gesture({{177, 127}});  // picture (531, 201): on the arrow
        QVERIFY(d->lines.isEmpty());
        // Hovering a mark shows the remove cursor, an application override that goes with the widget.
        d->marks = {QPointF(360, 270)};
        QTest::mouseMove(d.get(), d->getScreenPos(d->marks.first()).toPoint());
        QVERIFY(d->hoverKind == ImageDiagram::hkPoint && QApplication::overrideCursor());
        d.reset();
        QVERIFY(!QApplication::overrideCursor());
    }
};

CALVESTRA_TEST_MAIN(AnamnesiTest)
#include "tst_anamnesi.moc"
