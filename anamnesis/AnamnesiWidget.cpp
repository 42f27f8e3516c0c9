#include "anamnesis/AnamnesiWidget.h"

#include "anamnesis/AnamnesisLog.h"
#include "anamnesis/ImageDiagram.h"
#include "store/DataModule.h"
#include "anamnesis/ui_AnamnesiWidget.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayoutItem>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpacerItem>

namespace {

// The model format carries no range; the toolkit's default (0 to 99.99) would clip
// ordinary answers such as a weight in kilograms.
constexpr double numberLimit = 999999.0;

}  // namespace

AnamnesiWidget::AnamnesiWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AnamnesiWidget>())
    , m_dataModule(DataModule::instance())
{
    ui->setupUi(this);

    loadModels();
    connect(ui->cbModel, &QComboBox::currentIndexChanged, this, &AnamnesiWidget::selectModelIndex);
    connect(ui->edNote, &QPlainTextEdit::textChanged, this, &AnamnesiWidget::inputChanged);
    connect(ui->dateEdit, &QDateTimeEdit::dateTimeChanged, this, &AnamnesiWidget::inputChanged);
    connect(ui->imageDiagram, &ImageDiagram::onMarksChanged, this, &AnamnesiWidget::inputChanged);

    if (!models.empty()) {
        ui->cbModel->setCurrentIndex(0);  // nothing is current after loadModels
    } else {
        ui->imageDiagram->setVisible(false);
        ui->lbDiagramHint->setVisible(false);
    }
    dirty = false;
}

AnamnesiWidget::~AnamnesiWidget() = default;

QString AnamnesiWidget::modelsFolder(const DataModule *dataModule)
{
    return dataModule->m_assetsPath + QStringLiteral("models/");
}

bool AnamnesiWidget::loadModels()
{
    const QString folder = modelsFolder(m_dataModule);
    QDir dir(folder);
    if (!dir.exists())
        QDir().mkpath(folder);
    if (!dir.exists()) {
        // Without the folder the form simply offers no model; the operator is told why.
        modelsError = folder + QStringLiteral(" does not exist.");
        qCDebug(lcAnamnesis).noquote() << modelsError;
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Anamnesi"), modelsError, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    modelsError.clear();

    const QStringList files = dir.entryList({QStringLiteral("*.anm")}, QDir::Files | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase);
    const QSignalBlocker blocker(ui->cbModel);
    models.clear();
    ui->cbModel->clear();
    for (const QString &file : files) {
        auto model = std::make_unique<Anamnesi>();
        model->loadFromFile(dir.filePath(file));
        ui->cbModel->addItem(model->name);
        models.push_back(std::move(model));
    }
    ui->cbModel->setCurrentIndex(-1);
    return true;
}

void AnamnesiWidget::selectModelIndex(int index)
{
    if (index < 0 || index >= int(models.size()))
        return;
    Anamnesi *model = models.at(std::size_t(index)).get();
    model->date = QDateTime::currentDateTime();
    load(model);
    setDirty(false);
}

void AnamnesiWidget::init(bool modelSelectable, bool isReadOnly, const Anamnesi *record)
{
    ui->cbModel->setEnabled(modelSelectable);
    readOnly = isReadOnly;
    if (record) {
        // A copy first: choosing the model below replaces what the form shows.
        Anamnesi copy;
        copy.assign(record);
        ui->cbModel->setCurrentIndex(ui->cbModel->findText(record->name));
        load(&copy);
    } else {
        applyReadOnly();
    }
}

void AnamnesiWidget::load(const Anamnesi *record)
{
    // The record may be current itself, which clear() is about to empty.
    Anamnesi copy;
    copy.assign(record);

    m_loading = true;
    clear();
    current.assign(&copy);
    {
        // The chooser names the record's model; showing a record is not choosing a model.
        const QSignalBlocker blocker(ui->cbModel);
        ui->cbModel->setCurrentIndex(ui->cbModel->findText(current.name));
    }

    for (int i = 0; i < current.questions.size(); ++i)
        addQuestion(current.questions[i], i == current.questions.size() - 1);

    ui->edNote->setPlainText(current.note);
    ui->dateEdit->setDateTime(current.date);

    ui->imageDiagram->marks = current.marks;
    ui->imageDiagram->lines = current.lines;
    ui->imageDiagram->update();
    applyReadOnly();
    m_loading = false;
}

void AnamnesiWidget::addQuestion(Question &question, bool last)
{
    QVBoxLayout *layout = ui->vlQuestionsArea;
    QWidget *area = ui->wgQuestions;

    auto *label = new QLabel(question.text, area);
    label->setWordWrap(true);
    label->setMaximumWidth(400);
    label->setStyleSheet(QStringLiteral("font-weight:bold;font-size:11pt;"));
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(label);

    QWidget *editor = nullptr;
    switch (question.type) {
    case qtText: {
        auto *edit = new QPlainTextEdit(area);
        edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        edit->setMaximumHeight(40);
        edit->setTabChangesFocus(true);
        edit->setPlainText(question.answer);
        connect(edit, &QPlainTextEdit::textChanged, this, &AnamnesiWidget::inputChanged);
        editor = edit;
        break;
    }
    case qtNumber: {
        auto *spin = new QDoubleSpinBox(area);
        spin->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        spin->setMinimumWidth(80);
        spin->setDecimals(question.decimals);
        spin->setRange(-numberLimit, numberLimit);
        spin->setValue(question.answer.toDouble());
        connect(spin, &QDoubleSpinBox::valueChanged, this, &AnamnesiWidget::inputChanged);
        editor = spin;
        break;
    }
    case qtChoice: {
        auto *combo = new QComboBox(area);
        combo->setEditable(true);
        // A typed answer is an answer, not a new option.
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        const QStringList options = question.options.split(QLatin1Char(','), Qt::KeepEmptyParts);
        for (QString option : options)
            combo->addItem(option.remove(QLatin1Char('"')));
        combo->setCurrentIndex(-1);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        combo->setMinimumWidth(combo->sizeHint().width() + 15);
        combo->setCurrentText(question.answer);
        connect(combo, &QComboBox::currentTextChanged, this, &AnamnesiWidget::inputChanged);
        editor = combo;
        break;
    }
    default:
        break;  // kept and written back as it came, with no input
    }
    if (editor)
        layout->addWidget(editor);
    question.editor = editor;

    layout->addItem(new QSpacerItem(8, 8, QSizePolicy::Expanding, last ? QSizePolicy::Expanding : QSizePolicy::Fixed));
}

void AnamnesiWidget::applyReadOnly()
{
    for (const Question &question : std::as_const(current.questions)) {
        if (auto *edit = qobject_cast<QPlainTextEdit *>(question.editor.data()))
            edit->setReadOnly(readOnly);
        else if (auto *spin = qobject_cast<QDoubleSpinBox *>(question.editor.data()))
            spin->setReadOnly(readOnly);
        else if (auto *combo = qobject_cast<QComboBox *>(question.editor.data()))
            combo->setEnabled(!readOnly);
    }
    ui->edNote->setReadOnly(readOnly);
    ui->dateEdit->setReadOnly(readOnly);
    ui->imageDiagram->setVisible(current.hasDiagram);
    ui->lbDiagramHint->setVisible(current.hasDiagram && !readOnly);
    ui->imageDiagram->readOnly = readOnly;
}

void AnamnesiWidget::clear()
{
    current.clear();
    QLayoutItem *item = nullptr;
    while ((item = ui->vlQuestionsArea->takeAt(0)) != nullptr) {
        delete item->widget();
        delete item;
    }
}

bool AnamnesiWidget::saveToDB(bool upload)
{
    current.date = ui->dateEdit->dateTime();
    current.note = ui->edNote->toPlainText();
    if (current.hasDiagram) {
        current.marks = ui->imageDiagram->marks;
        current.lines = ui->imageDiagram->lines;
    }
    for (Question &question : current.questions) {
        if (auto *edit = qobject_cast<QPlainTextEdit *>(question.editor.data()))
            question.answer = edit->toPlainText();
        else if (auto *spin = qobject_cast<QDoubleSpinBox *>(question.editor.data()))
            question.answer = QString::number(spin->value(), 'g', 6);
        else if (auto *combo = qobject_cast<QComboBox *>(question.editor.data()))
            question.answer = combo->currentText();
    }
    // A change stays pending until the service confirms it, also for a record the
    // service already had: otherwise an edit whose upload fails would never be sent.
    current.offline = true;
    return current.SaveToDB(upload, false);
}

void AnamnesiWidget::setDirty(bool isDirty)
{
    dirty = isDirty;
    emit onDirty(isDirty);
}

void AnamnesiWidget::inputChanged()
{
    if (m_loading || readOnly)
        return;
    setDirty(true);
}
