#include "TestMain.h"

#include "AnamnesisTestSupport.h"

#include "anamnesis/ImageDiagram.h"

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
// for a record, the read-only view, editing through the inputs and saving.

using namespace AnamnesisTest;

namespace {

QStringList labels(const AnamnesiWidget *form)
{
    QStringList texts;
    QVBoxLayout *layout = child<QVBoxLayout>(form, "vlQuestionsArea");
    for (int i = 0; i < layout->count(); ++i)
        if (auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget()))
            texts << label->text();
    return texts;
}

}  // namespace

class AnamnesiWidgetTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempStore> m_store;
    std::unique_ptr<AnamnesiWidget> w;

    bool showForm()
    {
        w = std::make_unique<AnamnesiWidget>();
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }
    template <typename T>
    T *at(const char *name) const { return child<T>(w.get(), name); }

private slots:
    void init()
    {
        m_store = std::make_unique<TempStore>();
        QVERIFY(writeModels());
    }
    void cleanup()
    {
        w.reset();
        m_store.reset();
    }

    void modelsAndTheirInputs()
    {
        QVERIFY(showForm());
        auto *models = at<QComboBox>("cbModel");
        // In file name order regardless of letter case; the first one is made new.
        QCOMPARE(items(models), QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo"}));
        QCOMPARE(labels(w.get()), QStringList({"Sport praticato", "Ore di allenamento", "Livello", "Domanda futura"}));
        QPointer<QPlainTextEdit> text = input<QPlainTextEdit>(w.get(), 0);
        QVERIFY(text);
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
        QVERIFY(!w->dirty);
        QCOMPARE(dirty.last().first().toBool(), false);
        QVERIFY(!at<ImageDiagram>("imageDiagram")->isVisible() && !at<QLabel>("lbDiagramHint")->isVisible());
        models->setCurrentIndex(2);  // no "Diagram" at all
        QVERIFY(!at<ImageDiagram>("imageDiagram")->isVisible());
        models->setCurrentIndex(0);
        QVERIFY(input<QPlainTextEdit>(w.get(), 0)->toPlainText().isEmpty());

        // A model file that is not JSON is still offered, unnamed.
        QVERIFY(writeFile(modelsFolder() + QStringLiteral("zz-broken.anm"), "{ not json"));
        QVERIFY(w->loadModels());
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
        QCOMPARE(stored.idClient, client.id);

        // Editable: edits through every input, the note, the date and the diagram.
        w->init(true, false, &record);
        QVERIFY(at<QComboBox>("cbModel")->isEnabled() && at<QLabel>("lbDiagramHint")->isVisible());
        QPlainTextEdit *text = input<QPlainTextEdit>(w.get(), 0);
        text->setFocus();
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(text, QStringLiteral(", bici"));
        QVERIFY(w->dirty);
        QCOMPARE(dirty.last().first().toBool(), true);
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
        QCOMPARE(record.questions[0].answer, QStringLiteral("corsa\nnuoto"));  // the caller's record is its own

        // A record of a model that is not there any more is still shown.
        Anamnesi orphan = questionnaire(checkModel, 3, record.date, QStringLiteral("No"));
        orphan.name = QStringLiteral("Modello ritirato");
        w->init(false, false, &orphan);
        QCOMPARE(at<QComboBox>("cbModel")->currentIndex(), -1);
        QCOMPARE(input<QComboBox>(w.get(), 0)->currentText(), QStringLiteral("No"));
    }

    void modelsFolderMissing()
    {
        QDir(modelsFolder()).removeRecursively();
        QVERIFY(showForm());
        QCOMPARE(at<QComboBox>("cbModel")->count(), 0);
        QVERIFY(QDir(modelsFolder()).exists());  // created
        // Under a plain file it cannot be made: the operator is told, and a record handed to
        // the form is still shown.
        QVERIFY(writeFile(m_store->location() + QStringLiteral("/file"), "x"));
        m_store->store()->m_assetsPath = m_store->location() + QStringLiteral("/file/assets/");
        const QString message = m_store->location() + QStringLiteral("/file/assets/models/ does not exist.");
        QVERIFY(showForm());
        QCOMPARE(w->modelsError, message);
        const QList<QMessageBox *> boxes = w->findChildren<QMessageBox *>();
        QVERIFY(boxes.size() == 1 && boxes.first()->isVisible());
        QCOMPARE(boxes.first()->text(), message);
        const Anamnesi record = questionnaire(postureModel, 1, {}, "x");
        w->init(false, true, &record);
        QCOMPARE(labels(w.get()).size(), 4);
    }
};

CALVESTRA_TEST_MAIN(AnamnesiWidgetTest)
#include "tst_anamnesiwidget.moc"
