#pragma once

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/AnamnesiWidget.h"
#include "store/Client.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

namespace AnamnesisTest {

// Three questionnaires whose file names sort differently with and without letter case:
// alpha.anm, Beta.anm, charlie.anm.
inline const char *const postureModel = R"json({"Version": 2, "Name": "Valutazione posturale", "Code": "VP-01",
  "Date": "", "Note": "", "Diagram": "body-diagram", "DiagramDraw": {"marks": [{"x": 100, "y": 120}], "lines": []},
  "Questions": [{"Type": 0, "Text": "Sport praticato", "Answer": ""},
                {"Type": 1, "Text": "Ore di allenamento", "Answer": "", "Decimals": 1},
                {"Type": 2, "Text": "Livello", "Answer": "", "Options": "Basso,,\"Medio\",Alto"},
                {"Type": 7, "Text": "Domanda futura", "Answer": "conservata"}]})json";
inline const char *const generalModel = R"json({"Version": 2, "Name": "Anamnesi generale", "Diagram": "NO",
  "Questions": [{"Type": 0, "Text": "Professione", "Answer": ""}, {"Type": 1, "Text": "Peso (kg)", "Decimals": 0}]})json";
inline const char *const checkModel = R"json({"Version": 1, "Name": "Controllo",
  "Questions": [{"Type": 2, "Text": "Fumo", "Answer": "", "Options": "No,Sì"}]})json";

inline QString modelsFolder()
{
    return AnamnesiWidget::modelsFolder(DataModule::instance());
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// The three questionnaires, and things that are not models, in the current store's folder.
inline bool writeModels()
{
    const QString folder = modelsFolder();
    return QDir().mkpath(folder + QStringLiteral("folder.anm")) && writeFile(folder + QStringLiteral("charlie.anm"), checkModel)
           && writeFile(folder + QStringLiteral("Beta.anm"), generalModel)
           && writeFile(folder + QStringLiteral("alpha.anm"), postureModel)
           && writeFile(folder + QStringLiteral("notes.txt"), "not a model");
}

inline Client storedClient(const QString &surname)
{
    Client client;
    client.surname = surname;
    client.name = QStringLiteral("Anna");
    client.saveToDB(false, false);
    return client;
}

inline Anamnesi questionnaire(const char *model, int idClient, const QDateTime &date, const QString &firstAnswer)
{
    Anamnesi record;
    record.loadFromByteArray(model);
    record.idClient = idClient;
    record.date = date;
    record.questions[0].answer = firstAnswer;
    return record;
}

// The input the form built for a question of the record it shows.
template <typename T>
T *input(const AnamnesiWidget *form, int question)
{
    return qobject_cast<T *>(form->current.questions.at(question).editor.data());
}

inline QStringList items(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

template <typename T>
T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

}  // namespace AnamnesisTest
