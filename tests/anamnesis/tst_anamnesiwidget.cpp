#include "TestMain.h"

#include "AnamnesisTestSupport.h"

#include "anamnesis/ImageDiagram.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <memory>

// The questionnaire form with a real store: the models it offers, the inputs it builds
// for a record, editing through them, saving, and the read-only view.

using namespace AnamnesisTest;

namespace {

QStringList labels(const AnamnesiWidget &widget)
{
    QStringList texts;
    QVBoxLayout *layout = child<QVBoxLayout>(&widget, "vlQuestionsArea");
    for (int i = 0; i < layout->count(); ++i)
        if (auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget()))
            texts << label->text();
    return texts;
}

// A filled questionnaire of the posture model, as the database would give it back.
Anamnesi filledPosture(int idClient)
{
    Anamnesi record = questionnaire(postureModel, idClient, QDateTime(QDate(2024, 3, 5), QTime(9, 15, 27)),
                                    QStringLiteral("corsa\nnuoto"));
    record.note = QStringLiteral("Dolore lombare");
    record.marks = {QPointF(300, 200), QPointF(40, 50)};
    record.lines = {QRectF(QPointF(10, 20), QPointF(5, 40))};
    record.questions[1].answer = QStringLiteral("3.14");
    record.questions[2].answer = QStringLiteral("Forse");
    return record;
}

}  // namespace

class AnamnesiWidgetTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempStore> m_store;

private slots:
    void init()
    {
        m_store = std::make_unique<TempStore>();
        QVERIFY(writeModels());
    }
    void cleanup() { m_store.reset(); }

    void modelsAndTheirInputs()
    {
        AnamnesiWidget form;
        AnamnesiWidget *w = &form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QComboBox *models = child<QComboBox>(w, "cbModel");
        // In file name order regardless of letter case; the first one is made new.
        QCOMPARE(items(models), QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo"}));
        QCOMPARE(w->current.name, QStringLiteral("Valutazione posturale"));
        QVERIFY(!w->dirty);
        // A label for each question, an input for each known type.
        QCOMPARE(labels(*w), QStringList({"Sport praticato", "Ore di allenamento", "Livello", "Domanda futura"}));
        QPointer<QPlainTextEdit> text = input<QPlainTextEdit>(w, 0);
        QVERIFY(text);
        QCOMPARE(input<QDoubleSpinBox>(w, 1)->decimals(), 1);
        // Two commas in a row give an empty option; quotes are dropped; nothing chosen yet.
        QCOMPARE(items(input<QComboBox>(w, 2)), QStringList({"Basso", "", "Medio", "Alto"}));
        QVERIFY(input<QComboBox>(w, 2)->currentText().isEmpty());
        QVERIFY(!w->current.questions[3].editor);
        QVERIFY(child<ImageDiagram>(w, "imageDiagram")->isVisible());
        QVERIFY(child<QLabel>(w, "lbDiagramHint")->isVisible());
        QCOMPARE(child<ImageDiagram>(w, "imageDiagram")->marks, QList<QPointF>({QPointF(100, 120)}));

        // Typing is an edit; choosing a model starts afresh, with its own diagram or none.
        QSignalSpy dirty(w, &AnamnesiWidget::onDirty);
        QTest::keyClicks(text, QStringLiteral("tennis"));
        QVERIFY(w->dirty);
        models->setCurrentIndex(1);
        QCOMPARE(labels(*w), QStringList({"Professione", "Peso (kg)"}));
        QVERIFY(!text);  // the old inputs went with the old questions
        QVERIFY(!w->dirty);
        QCOMPARE(dirty.last().first().toBool(), false);
        QVERIFY(!child<ImageDiagram>(w, "imageDiagram")->isVisible());
        QVERIFY(!child<QLabel>(w, "lbDiagramHint")->isVisible());
        models->setCurrentIndex(2);  // no "Diagram" at all
        QVERIFY(!child<ImageDiagram>(w, "imageDiagram")->isVisible());
        models->setCurrentIndex(0);
        QVERIFY(input<QPlainTextEdit>(w, 0)->toPlainText().isEmpty());

        // A model file that is not JSON is still offered, unnamed.
        QVERIFY(writeFile(AnamnesisTest::modelsFolder() + QStringLiteral("zz-broken.anm"), "{ not json"));
        QVERIFY(w->loadModels());
        QCOMPARE(items(models), QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo", ""}));
    }

    void recordShownReadOnlyThenEdited()
    {
        const Client client = storedClient(QStringLiteral("Rossi"));
        const Anamnesi record = filledPosture(client.id);
        AnamnesiWidget form;
        AnamnesiWidget *w = &form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        child<QComboBox>(w, "cbModel")->setCurrentIndex(1);
        QSignalSpy dirty(w, &AnamnesiWidget::onDirty);
        w->init(false, true, &record);
        // Shown read-only; the model chooser names the record's model but is fixed.
        QPlainTextEdit *text = input<QPlainTextEdit>(w, 0);
        QDoubleSpinBox *number = input<QDoubleSpinBox>(w, 1);
        QComboBox *choice = input<QComboBox>(w, 2);
        QPlainTextEdit *note = child<QPlainTextEdit>(w, "edNote");
        QDateTimeEdit *date = child<QDateTimeEdit>(w, "dateEdit");
        ImageDiagram *diagram = child<ImageDiagram>(w, "imageDiagram");
        QCOMPARE(child<QComboBox>(w, "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QVERIFY(!child<QComboBox>(w, "cbModel")->isEnabled() && !choice->isEnabled());
        QVERIFY(!child<QLabel>(w, "lbDiagramHint")->isVisible());
        QCOMPARE(choice->currentText(), QStringLiteral("Forse"));
        QCOMPARE(diagram->lines, record.lines);
        for (QWidget *edit : std::initializer_list<QWidget *>{text, number, note, date}) {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_Up);
            QTest::keyClicks(edit, QStringLiteral("9x"));
        }
        diagram->repaint();
        QTest::mouseClick(diagram, Qt::LeftButton, Qt::NoModifier, diagram->getScreenPos(QPointF(360, 270)).toPoint());
        QCOMPARE(text->toPlainText(), QStringLiteral("corsa\nnuoto"));
        QCOMPARE(number->value(), 3.1);
        QCOMPARE(note->toPlainText(), record.note);
        QCOMPARE(date->dateTime(), record.date);
        QCOMPARE(diagram->marks, record.marks);
        QVERIFY(!w->dirty);
        for (const QList<QVariant> &emitted : dirty)
            QCOMPARE(emitted.first().toBool(), false);

        // Editable: stored unchanged as it came, but for "3.14" shown with one decimal.
        w->init(true, false, &record);
        QVERIFY(child<QComboBox>(w, "cbModel")->isEnabled());
        QVERIFY(child<QLabel>(w, "lbDiagramHint")->isVisible());
        text = input<QPlainTextEdit>(w, 0);
        number = input<QDoubleSpinBox>(w, 1);
        choice = input<QComboBox>(w, 2);
        w->saveToDB(false);
        const int id = w->current.id;
        Anamnesi stored;
        stored.loadFromDB(id, false);
        Anamnesi expected = record;
        expected.questions[1].answer = QStringLiteral("3.1");
        QCOMPARE(stored.getJsonObject(), expected.getJsonObject());
        QCOMPARE(stored.idClient, client.id);

        // Edits through every input, the note, the date and the diagram.
        text->setFocus();
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(text, QStringLiteral(", bici"));
        QVERIFY(w->dirty);
        QCOMPARE(dirty.last().first().toBool(), true);
        number->setFocus();
        QTest::keyClick(number, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(number, QStringLiteral("120"));  // past the toolkit's default maximum of 99.99
        choice->lineEdit()->selectAll();
        QTest::keyClicks(choice->lineEdit(), QStringLiteral("Altissimo"));
        note->setPlainText(QStringLiteral("Nessun dolore"));
        date->setDateTime(QDateTime(QDate(2024, 4, 1), QTime(10, 0)));
        QTest::mouseClick(diagram, Qt::LeftButton, Qt::NoModifier, diagram->getScreenPos(QPointF(360, 270)).toPoint());
        w->saveToDB(false);
        QCOMPARE(w->current.id, id);
        QCOMPARE(m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(), 1);
        stored = Anamnesi();
        stored.loadFromDB(id, false);
        QCOMPARE(stored.questions[0].answer, QStringLiteral("corsa\nnuoto, bici"));
        QCOMPARE(stored.questions[1].answer, QStringLiteral("120"));
        QCOMPARE(stored.questions[2].answer, QStringLiteral("Altissimo"));
        QCOMPARE(stored.questions[3].answer, QStringLiteral("conservata"));
        QCOMPARE(stored.note, QStringLiteral("Nessun dolore"));
        QCOMPARE(stored.date, QDateTime(QDate(2024, 4, 1), QTime(10, 0)));
        QCOMPARE(stored.marks.size(), 3);
        QVERIFY(qAbs(stored.marks.last().x() - 360) <= 2 && qAbs(stored.marks.last().y() - 270) <= 2);
        QVERIFY(stored.offline);
        // An option chosen from the list; the caller's record never changed.
        choice->setCurrentIndex(2);
        w->saveToDB(false);
        stored = Anamnesi();
        stored.loadFromDB(id, false);
        QCOMPARE(stored.questions[2].answer, QStringLiteral("Medio"));
        QCOMPARE(record.questions[0].answer, QStringLiteral("corsa\nnuoto"));

        // Loading its own record keeps it whole; a record of a model that is gone is shown.
        w->load(&w->current);
        QCOMPARE(input<QComboBox>(w, 2)->currentText(), QStringLiteral("Medio"));
        Anamnesi orphan = questionnaire(checkModel, 3, record.date, QStringLiteral("No"));
        orphan.name = QStringLiteral("Modello ritirato");
        w->init(false, false, &orphan);
        QCOMPARE(child<QComboBox>(w, "cbModel")->currentIndex(), -1);
        QCOMPARE(input<QComboBox>(w, 0)->currentText(), QStringLiteral("No"));
    }

    void modelsFolderMissing()
    {
        // Missing: created, and nothing offered.
        QDir(AnamnesisTest::modelsFolder()).removeRecursively();
        QCOMPARE(child<QComboBox>(std::make_unique<AnamnesiWidget>().get(), "cbModel")->count(), 0);
        QVERIFY(QDir(AnamnesisTest::modelsFolder()).exists());
        // Under a plain file it cannot be made: the operator is told, and a record handed to
        // the form is still shown.
        const QString blocker = m_store->location() + QStringLiteral("/plain-file");
        QVERIFY(writeFile(blocker, "x"));
        m_store->store()->m_assetsPath = blocker + QStringLiteral("/assets/");
        const QString message = blocker + QStringLiteral("/assets/models/ does not exist.");
        AnamnesiWidget widget;
        QCOMPARE(widget.modelsError, message);
        const QList<QMessageBox *> boxes = widget.findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->text(), message);
        QVERIFY(boxes.first()->isVisible());
        const Anamnesi record = filledPosture(1);
        widget.init(false, true, &record);
        QCOMPARE(labels(widget).size(), 4);
        boxes.first()->accept();
    }
};

CALVESTRA_TEST_MAIN(AnamnesiWidgetTest)
#include "tst_anamnesiwidget.moc"
