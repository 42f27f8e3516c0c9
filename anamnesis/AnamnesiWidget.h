#pragma once

#include "anamnesis/Anamnesi.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class DataModule;

namespace Ui {
class AnamnesiWidget;
}

// The questionnaire form: a model chooser, the date, one input per question of the
// record, the body diagram when the questionnaire uses one, and a note. The questions
// are built at run time from the record, which starts as a copy of a model read from
// an ".anm" file of the assets "models/" folder. The form always works on its own copy
// of a record (current), never on the caller's.
class AnamnesiWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AnamnesiWidget(QWidget *parent = nullptr);
    ~AnamnesiWidget() override;

    // The folder the models are read from (and the model download writes to).
    static QString modelsFolder(const DataModule *dataModule);

    // Fills models and the model chooser from the models folder. Returns false (and
    // tells the operator) when the folder is missing and cannot be created.
    bool loadModels();
    void init(bool modelSelectable, bool readOnly, const Anamnesi *record);
    void load(const Anamnesi *record);
    void clear();
    // False when the local write failed.
    bool saveToDB(bool upload);
    void setDirty(bool isDirty);

    Anamnesi current;
    std::vector<std::unique_ptr<Anamnesi>> models;
    std::unique_ptr<Ui::AnamnesiWidget> ui;
    DataModule *m_dataModule = nullptr;
    bool readOnly = false;
    bool dirty = false;
    // The last failure of loadModels as shown to the operator; empty when none.
    QString modelsError;

signals:
    void onDirty(bool isDirty);

public slots:
    void selectModelIndex(int index);

private:
    void addQuestion(Question &question, bool last);
    void applyReadOnly();
    void inputChanged();

    // Set while inputs are being filled, so that filling them does not count as an edit.
    bool m_loading = false;
};
