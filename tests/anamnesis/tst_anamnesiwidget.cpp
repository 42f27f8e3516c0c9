#include "TestMain.h"

#include "AnamnesisTestSupport.h"

#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesiWidget.h"
#include "anamnesis/ImageDiagram.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <memory>

using namespace AnamnesisTest;

namespace {

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// A filled questionnaire of the posture model, as the database would give it back.
Anamnesi filledPosture(int idClient)
{
    Anamnesi record;
    record.loadFromByteArray(postureModel);
    record.idClient = idClient;
    record.date = QDateTime(QDate(2024, 3, 5), QTime(9, 15, 27));
    record.note = QStringLiteral("Dolore lombare");
    record.marks = {QPointF(300, 200), QPointF(40, 50)};
    record.lines = {QRectF(QPointF(10, 20), QPointF(5, 40))};
    record.questions[0].answer = QStringLiteral("corsa\nnuoto");
    record.questions[1].answer = QStringLiteral("3.14");
    record.questions[2].answer = QStringLiteral("Forse");
    return record;
}

// Widgets of the forms, found by their object names.
template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

template <typename T>
T *editorOf(const AnamnesiWidget &widget, int question)
{
    return qobject_cast<T *>(widget.current.questions.at(question).editor.data());
}

QPushButton *okButton(AnamnesiDlg &dlg)
{
    return child<QDialogButtonBox>(&dlg, "buttonBox")->button(QDialogButtonBox::Ok);
}

}  // namespace

class AnamnesiWidgetTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempStore> m_store;

    int rowCount() const { return m_store->scalar(QStringLiteral("select count(*) from anamnesis")).toInt(); }

private slots:
    void init()
    {
        m_store = std::make_unique<TempStore>();
        QVERIFY(writeModels());
    }
    void cleanup()
    {
        m_store.reset();
    }

    void modelsInNameOrder()
    {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        AnamnesiWidget widget;
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);

        QVERIFY(widget.modelsError.isEmpty());
        QCOMPARE(comboItems(child<QComboBox>(&widget, "cbModel")),
                 QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo"}));
        QCOMPARE(int(widget.models.size()), 3);
        QCOMPARE(widget.models.at(2)->version, 1);
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->currentIndex(), 0);
        QVERIFY(child<QComboBox>(&widget, "cbModel")->isEnabled());
        QVERIFY(child<QComboBox>(&widget, "cbModel")->minimumWidth() >= 250);
        QCOMPARE(widget.current.name, QStringLiteral("Valutazione posturale"));
        QCOMPARE(widget.current.id, 0);
        QVERIFY(widget.current.date >= before && widget.current.date <= after);
        QVERIFY(child<QDateTimeEdit>(&widget, "dateEdit")->dateTime() >= before.addSecs(-60));
        QVERIFY(!widget.dirty);

        // The model files themselves are not shown: a copy of them is.
        QVERIFY(widget.current.questions[0].editor);
        QVERIFY(!widget.models.at(0)->questions[0].editor);

        // A file that is not JSON still gives an (unnamed) entry.
        QVERIFY(writeFile(modelsFolder() + QStringLiteral("zz-broken.anm"), "{ not json"));
        QVERIFY(widget.loadModels());
        QCOMPARE(comboItems(child<QComboBox>(&widget, "cbModel")),
                 QStringList({"Valutazione posturale", "Anamnesi generale", "Controllo", ""}));
    }

    void oneInputPerQuestion()
    {
        AnamnesiWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QVBoxLayout *layout = child<QVBoxLayout>(&widget, "vlQuestionsArea");

        // Label, input, spacer for each question; the unknown type has no input.
        QCOMPARE(layout->count(), 11);
        const int labelAt[] = {0, 3, 6, 9};
        const char *const texts[] = {"Sport praticato", "Ore di allenamento", "Livello", "Domanda futura"};
        for (int i = 0; i < 4; ++i) {
            auto *label = qobject_cast<QLabel *>(layout->itemAt(labelAt[i])->widget());
            QVERIFY(label);
            QCOMPARE(label->text(), QString::fromUtf8(texts[i]));
            QVERIFY(label->wordWrap());
            QCOMPARE(label->maximumWidth(), 400);
            QCOMPARE(label->styleSheet(), QStringLiteral("font-weight:bold;font-size:11pt;"));
            QCOMPARE(label->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
            QCOMPARE(label->font().pointSize(), 11);
            QVERIFY(label->font().bold());
        }
        for (int at : {2, 5, 8}) {
            QSpacerItem *spacer = layout->itemAt(at)->spacerItem();
            QVERIFY(spacer);
            QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        }
        QSpacerItem *last = layout->itemAt(10)->spacerItem();
        QVERIFY(last);
        QCOMPARE(last->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);

        QPointer<QPlainTextEdit> text = editorOf<QPlainTextEdit>(widget, 0);
        QVERIFY(text);
        QCOMPARE(layout->itemAt(1)->widget(), text.data());
        QCOMPARE(text->maximumHeight(), 40);
        QVERIFY(text->tabChangesFocus());
        QCOMPARE(text->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QVERIFY(text->toPlainText().isEmpty());
        QCOMPARE(text->font().pointSize(), 10);

        auto *number = editorOf<QDoubleSpinBox>(widget, 1);
        QVERIFY(number);
        QCOMPARE(number->decimals(), 1);
        QCOMPARE(number->value(), 0.0);
        QVERIFY(number->minimumWidth() >= 80);

        // Two commas in a row give an empty option; quotes are dropped.
        auto *choice = editorOf<QComboBox>(widget, 2);
        QVERIFY(choice);
        QVERIFY(choice->isEditable());
        QCOMPARE(comboItems(choice), QStringList({"Basso", "", "Medio", "Alto"}));
        QCOMPARE(choice->currentIndex(), -1);
        QVERIFY(choice->currentText().isEmpty());
        QVERIFY(choice->minimumWidth() > 15);

        QVERIFY(!widget.current.questions[3].editor);

        // The posture model uses the diagram, with its own marks.
        QVERIFY(child<ImageDiagram>(&widget, "imageDiagram")->isVisible());
        QVERIFY(child<QLabel>(&widget, "lbDiagramHint")->isVisible());
        QCOMPARE(child<QLabel>(&widget, "lbDiagramHint")->text(), QStringLiteral("Usare il mouse per definire punti e linee di misura"));
        QCOMPARE(child<ImageDiagram>(&widget, "imageDiagram")->marks, QList<QPointF>({QPointF(100, 120)}));
        QVERIFY(!child<ImageDiagram>(&widget, "imageDiagram")->readOnly);

        // The general model has no diagram.
        child<QComboBox>(&widget, "cbModel")->setCurrentIndex(1);
        QCOMPARE(widget.current.name, QStringLiteral("Anamnesi generale"));
        QVERIFY(!child<ImageDiagram>(&widget, "imageDiagram")->isVisible());
        QVERIFY(!child<QLabel>(&widget, "lbDiagramHint")->isVisible());
        QCOMPARE(layout->count(), 6);
        QVERIFY(!text);  // the old inputs are gone with the old questions
    }

    void recordShownAndWrittenBack()
    {
        const Client client = storedClient(QStringLiteral("Rossi"));
        const Anamnesi record = filledPosture(client.id);
        AnamnesiWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        child<QComboBox>(&widget, "cbModel")->setCurrentIndex(1);
        QSignalSpy dirty(&widget, &AnamnesiWidget::onDirty);
        widget.load(&record);

        // Loading shows the answers without counting as an edit.
        QCOMPARE(editorOf<QPlainTextEdit>(widget, 0)->toPlainText(), QStringLiteral("corsa\nnuoto"));
        QDoubleSpinBox *number = editorOf<QDoubleSpinBox>(widget, 1);
        QCOMPARE(number->value(), 3.1);
        QCOMPARE(number->text(), QLocale().toString(3.1, 'f', 1));
        QComboBox *choice = editorOf<QComboBox>(widget, 2);
        QCOMPARE(choice->currentText(), QStringLiteral("Forse"));
        QCOMPARE(choice->count(), 4);
        QCOMPARE(child<QPlainTextEdit>(&widget, "edNote")->toPlainText(), QStringLiteral("Dolore lombare"));
        QCOMPARE(child<QDateTimeEdit>(&widget, "dateEdit")->dateTime(), record.date);
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QCOMPARE(child<ImageDiagram>(&widget, "imageDiagram")->marks, record.marks);
        QCOMPARE(child<ImageDiagram>(&widget, "imageDiagram")->lines, record.lines);
        QVERIFY(!widget.dirty);
        QCOMPARE(dirty.count(), 0);

        // Unchanged, the record is stored as it came; "3.14" with one decimal is "3.1".
        widget.saveToDB(false);
        QVERIFY(widget.current.id > 0);
        Anamnesi back;
        back.loadFromDB(widget.current.id, false);
        QCOMPARE(back.idClient, client.id);
        QCOMPARE(back.name, QStringLiteral("Valutazione posturale"));
        QCOMPARE(back.date, record.date);
        QCOMPARE(back.note, record.note);
        QCOMPARE(back.marks, record.marks);
        QCOMPARE(back.lines, record.lines);
        QCOMPARE(back.questions.size(), 4);
        QCOMPARE(back.questions[0].answer, QStringLiteral("corsa\nnuoto"));
        QCOMPARE(back.questions[1].answer, QStringLiteral("3.1"));
        QCOMPARE(back.questions[2].answer, QStringLiteral("Forse"));
        QCOMPARE(back.questions[3].answer, QStringLiteral("conservata"));
        QCOMPARE(back.questions[3].type, 7);
        QVERIFY(back.offline);

        // Edits through the inputs.
        QPlainTextEdit *text = editorOf<QPlainTextEdit>(widget, 0);
        text->setFocus();
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(text, QStringLiteral(", bici"));
        QVERIFY(widget.dirty);
        QCOMPARE(dirty.last().first().toBool(), true);

        number->setFocus();
        QTest::keyClick(number, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(number, QStringLiteral("120"));
        QCOMPARE(number->value(), 120.0);  // beyond the toolkit's default maximum of 99.99

        choice->lineEdit()->selectAll();
        QTest::keyClicks(choice->lineEdit(), QStringLiteral("Altissimo"));
        QCOMPARE(choice->currentText(), QStringLiteral("Altissimo"));

        child<QPlainTextEdit>(&widget, "edNote")->setPlainText(QStringLiteral("Nessun dolore"));
        child<QDateTimeEdit>(&widget, "dateEdit")->setDateTime(QDateTime(QDate(2024, 4, 1), QTime(10, 0)));

        // A click on empty picture adds a diagram point.
        ImageDiagram *diagram = child<ImageDiagram>(&widget, "imageDiagram");
        diagram->repaint();
        const QPoint screen = diagram->getScreenPos(QPointF(360, 270)).toPoint();
        QTest::mouseClick(diagram, Qt::LeftButton, Qt::NoModifier, screen);
        QCOMPARE(diagram->marks.size(), 3);

        const int id = widget.current.id;
        widget.saveToDB(false);
        QCOMPARE(widget.current.id, id);
        QCOMPARE(rowCount(), 1);
        Anamnesi edited;
        edited.loadFromDB(id, false);
        QCOMPARE(edited.questions[0].answer, QStringLiteral("corsa\nnuoto, bici"));
        QCOMPARE(edited.questions[1].answer, QStringLiteral("120"));
        QCOMPARE(edited.questions[2].answer, QStringLiteral("Altissimo"));
        QCOMPARE(edited.questions[3].answer, QStringLiteral("conservata"));
        QCOMPARE(edited.note, QStringLiteral("Nessun dolore"));
        QCOMPARE(edited.date, QDateTime(QDate(2024, 4, 1), QTime(10, 0)));
        QCOMPARE(edited.marks.size(), 3);
        QVERIFY(qAbs(edited.marks.last().x() - 360) <= 2 && qAbs(edited.marks.last().y() - 270) <= 2);

        // A choice among the options, and the caller's record never changed.
        choice->setCurrentIndex(2);
        widget.saveToDB(false);
        edited = Anamnesi();
        edited.loadFromDB(id, false);
        QCOMPARE(edited.questions[2].answer, QStringLiteral("Medio"));
        QCOMPARE(record.questions[0].answer, QStringLiteral("corsa\nnuoto"));
        QVERIFY(!record.questions[0].editor);
    }

    void loadingItsOwnRecord()
    {
        AnamnesiWidget widget;
        const QString name = widget.current.name;
        widget.load(&widget.current);
        QCOMPARE(widget.current.name, name);
        QCOMPARE(widget.current.questions.size(), 4);
        QVERIFY(widget.current.questions[0].editor);
        QCOMPARE(child<QVBoxLayout>(&widget, "vlQuestionsArea")->count(), 11);
    }

    void readOnlyView()
    {
        const Anamnesi record = filledPosture(3);
        AnamnesiWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QSignalSpy dirty(&widget, &AnamnesiWidget::onDirty);
        widget.init(false, true, &record);

        QVERIFY(!child<QComboBox>(&widget, "cbModel")->isEnabled());
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QPlainTextEdit *text = editorOf<QPlainTextEdit>(widget, 0);
        QDoubleSpinBox *number = editorOf<QDoubleSpinBox>(widget, 1);
        QComboBox *choice = editorOf<QComboBox>(widget, 2);
        QVERIFY(text->isReadOnly());
        QVERIFY(number->isReadOnly());
        QVERIFY(!choice->isEnabled());
        QVERIFY(child<QPlainTextEdit>(&widget, "edNote")->isReadOnly());
        QVERIFY(child<QDateTimeEdit>(&widget, "dateEdit")->isReadOnly());
        QVERIFY(child<ImageDiagram>(&widget, "imageDiagram")->isVisible());
        QVERIFY(child<ImageDiagram>(&widget, "imageDiagram")->readOnly);
        QVERIFY(!child<QLabel>(&widget, "lbDiagramHint")->isVisible());

        text->setFocus();
        QTest::keyClicks(text, QStringLiteral("xyz"));
        number->setFocus();
        QTest::keyClick(number, Qt::Key_Up);
        QTest::keyClicks(number, QStringLiteral("9"));
        child<QPlainTextEdit>(&widget, "edNote")->setFocus();
        QTest::keyClicks(child<QPlainTextEdit>(&widget, "edNote"), QStringLiteral("abc"));
        child<QDateTimeEdit>(&widget, "dateEdit")->setFocus();
        QTest::keyClick(child<QDateTimeEdit>(&widget, "dateEdit"), Qt::Key_Up);
        child<ImageDiagram>(&widget, "imageDiagram")->repaint();
        QTest::mouseClick(child<ImageDiagram>(&widget, "imageDiagram"), Qt::LeftButton, Qt::NoModifier,
                          child<ImageDiagram>(&widget, "imageDiagram")->getScreenPos(QPointF(360, 270)).toPoint());

        QCOMPARE(text->toPlainText(), QStringLiteral("corsa\nnuoto"));
        QCOMPARE(number->value(), 3.1);
        QCOMPARE(child<QPlainTextEdit>(&widget, "edNote")->toPlainText(), QStringLiteral("Dolore lombare"));
        QCOMPARE(child<QDateTimeEdit>(&widget, "dateEdit")->dateTime(), record.date);
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QCOMPARE(child<ImageDiagram>(&widget, "imageDiagram")->marks, record.marks);
        QVERIFY(!widget.dirty);
        for (const QList<QVariant> &emitted : dirty)
            QCOMPARE(emitted.first().toBool(), false);

        // Back to editable with a record: everything opens up again.
        widget.init(true, false, &record);
        QVERIFY(child<QComboBox>(&widget, "cbModel")->isEnabled());
        QVERIFY(!editorOf<QPlainTextEdit>(widget, 0)->isReadOnly());
        QVERIFY(editorOf<QComboBox>(widget, 2)->isEnabled());
        QVERIFY(child<QLabel>(&widget, "lbDiagramHint")->isVisible());
        QVERIFY(!child<ImageDiagram>(&widget, "imageDiagram")->readOnly);
    }

    void choosingAModelStartsAfresh()
    {
        AnamnesiWidget widget;
        QSignalSpy dirty(&widget, &AnamnesiWidget::onDirty);
        QTest::keyClicks(editorOf<QPlainTextEdit>(widget, 0), QStringLiteral("tennis"));
        QVERIFY(widget.dirty);

        child<QComboBox>(&widget, "cbModel")->setCurrentIndex(2);
        QCOMPARE(widget.current.name, QStringLiteral("Controllo"));
        QVERIFY(!widget.dirty);
        QCOMPARE(dirty.last().first().toBool(), false);
        // No "Diagram" at all: no diagram.
        QVERIFY(!child<ImageDiagram>(&widget, "imageDiagram")->isVisibleTo(&widget));

        child<QComboBox>(&widget, "cbModel")->setCurrentIndex(0);
        QVERIFY(editorOf<QPlainTextEdit>(widget, 0)->toPlainText().isEmpty());
        QVERIFY(child<ImageDiagram>(&widget, "imageDiagram")->isVisibleTo(&widget));

        // A record of a model that is not there any more is still shown.
        Anamnesi orphan;
        orphan.loadFromByteArray(checkModel);
        orphan.name = QStringLiteral("Modello ritirato");
        orphan.date = QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5));
        widget.init(false, false, &orphan);
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->currentIndex(), -1);
        QCOMPARE(widget.current.name, QStringLiteral("Modello ritirato"));
        QCOMPARE(widget.current.questions.size(), 1);
    }

    void withoutModels()
    {
        QDir(modelsFolder()).removeRecursively();
        AnamnesiWidget widget;
        QVERIFY(QDir(modelsFolder()).exists());  // created when missing
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->count(), 0);
        QCOMPARE(child<QVBoxLayout>(&widget, "vlQuestionsArea")->count(), 0);
        QVERIFY(!child<ImageDiagram>(&widget, "imageDiagram")->isVisibleTo(&widget));
        QVERIFY(widget.modelsError.isEmpty());
    }

    void modelsFolderThatCannotBeMade()
    {
        // The assets folder sits under a plain file, so nothing can be created there.
        const QString blocker = m_store->location() + QStringLiteral("/plain-file");
        QVERIFY(writeFile(blocker, "x"));
        m_store->store()->m_assetsPath = blocker + QStringLiteral("/assets/");
        const QString folder = blocker + QStringLiteral("/assets/models/");

        LogCatcher log("calvestra.anamnesis");
        AnamnesiWidget widget;
        QCOMPARE(widget.modelsError, folder + QStringLiteral(" does not exist."));
        QVERIFY(log.lines().contains(folder + QStringLiteral(" does not exist.")));
        const QList<QMessageBox *> boxes = widget.findChildren<QMessageBox *>();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first()->text(), folder + QStringLiteral(" does not exist."));
        QVERIFY(boxes.first()->isVisible());
        QCOMPARE(child<QComboBox>(&widget, "cbModel")->count(), 0);

        // The form still works for a record handed to it.
        const Anamnesi record = filledPosture(1);
        widget.init(false, true, &record);
        QCOMPARE(widget.current.questions.size(), 4);
        boxes.first()->accept();
    }

    void dialogStartsANewRecord()
    {
        const Client client = storedClient(QStringLiteral("Bianchi"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        AnamnesiDlg dlg;
        dlg.init(&client, nullptr);
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);

        QCOMPARE(dlg.windowTitle(), QStringLiteral("Anamnesi"));
        QCOMPARE(dlg.size(), QSize(1024, 640));
        AnamnesiWidget *widget = dlg.anamnesiWidget();
        QCOMPARE(widget->objectName(), QStringLiteral("anamnesiWidget"));
        QCOMPARE(widget->current.name, QStringLiteral("Valutazione posturale"));
        QVERIFY(widget->current.date >= before && widget->current.date <= after);
        QCOMPARE(widget->current.idClient, client.id);
        QVERIFY(child<QComboBox>(widget, "cbModel")->isEnabled());

        // Another model replaces the record, client included; Ok gives it back its client.
        child<QComboBox>(widget, "cbModel")->setCurrentIndex(1);
        QCOMPARE(widget->current.idClient, 0);
        QTest::keyClicks(editorOf<QPlainTextEdit>(*widget, 0), QStringLiteral("Impiegata"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        QCOMPARE(rowCount(), 1);
        Anamnesi stored;
        stored.loadFromDB(widget->current.id, false);
        QCOMPARE(stored.idClient, client.id);
        QCOMPARE(stored.name, QStringLiteral("Anamnesi generale"));
        QCOMPARE(stored.questions[0].answer, QStringLiteral("Impiegata"));
        QCOMPARE(stored.questions[1].answer, QStringLiteral("0"));
        QVERIFY(stored.offline);
        QCOMPARE(client.getAnamnesiList().size(), 1);
    }

    void dialogCancelKeepsNothing()
    {
        const Client client = storedClient(QStringLiteral("Verdi"));
        AnamnesiDlg dlg;
        dlg.init(&client, nullptr);
        QTest::keyClicks(editorOf<QPlainTextEdit>(*dlg.anamnesiWidget(), 0), QStringLiteral("calcio"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseClick(child<QDialogButtonBox>(&dlg, "buttonBox")->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(rowCount(), 0);
    }

    void dialogEditsARecord()
    {
        const Client client = storedClient(QStringLiteral("Neri"), 40);
        Anamnesi record = filledPosture(client.id);
        record.web_id = 77;
        record.offline = false;  // as the service confirmed it
        record.SaveToDB(false, false);
        QVERIFY(record.id > 0);

        AnamnesiDlg dlg;
        dlg.init(&client, &record);
        AnamnesiWidget *widget = dlg.anamnesiWidget();
        QVERIFY(!child<QComboBox>(widget, "cbModel")->isEnabled());
        QVERIFY(!widget->readOnly);
        QCOMPARE(child<QComboBox>(widget, "cbModel")->currentText(), QStringLiteral("Valutazione posturale"));
        QCOMPARE(widget->current.id, record.id);
        QCOMPARE(editorOf<QComboBox>(*widget, 2)->currentText(), QStringLiteral("Forse"));
        QCOMPARE(child<QDateTimeEdit>(widget, "dateEdit")->dateTime(), record.date);

        editorOf<QComboBox>(*widget, 2)->setCurrentIndex(0);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseClick(okButton(dlg), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        QCOMPARE(rowCount(), 1);
        Anamnesi stored;
        stored.loadFromDB(record.id, false);
        QCOMPARE(stored.questions[2].answer, QStringLiteral("Basso"));
        QCOMPARE(stored.web_id, 77);
        QCOMPARE(stored.date, record.date);
        // The change is pending until the service confirms it.
        QVERIFY(stored.offline);
    }
};

CALVESTRA_TEST_MAIN(AnamnesiWidgetTest)
#include "tst_anamnesiwidget.moc"
