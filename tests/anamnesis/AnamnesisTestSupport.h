#pragma once

#include "tests/store/StoreTestSupport.h"

#include "anamnesis/AnamnesiWidget.h"
#include "store/Client.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace AnamnesisTest {

// Three questionnaires whose file names sort differently with and without letter case:
// alpha.anm, Beta.anm, charlie.anm.
inline const char *const postureModel = R"json({
  "Version": 2,
  "Name": "Valutazione posturale",
  "Code": "VP-01",
  "Date": "",
  "Note": "",
  "Diagram": "body-diagram",
  "DiagramDraw": {"marks": [{"x": 100, "y": 120}], "lines": []},
  "Questions": [
    {"Type": 0, "Text": "Sport praticato", "Answer": ""},
    {"Type": 1, "Text": "Ore di allenamento", "Answer": "", "Decimals": 1},
    {"Type": 2, "Text": "Livello", "Answer": "", "Options": "Basso,,\"Medio\",Alto"},
    {"Type": 7, "Text": "Domanda futura", "Answer": "conservata"}
  ]
})json";

inline const char *const generalModel = R"json({
  "Version": 2,
  "Name": "Anamnesi generale",
  "Code": "AG-01",
  "Date": "",
  "Note": "",
  "Diagram": "NO",
  "Questions": [
    {"Type": 0, "Text": "Professione", "Answer": ""},
    {"Type": 1, "Text": "Peso (kg)", "Answer": "", "Decimals": 0}
  ]
})json";

inline const char *const checkModel = R"json({
  "Version": 1,
  "Name": "Controllo",
  "Questions": [
    {"Type": 2, "Text": "Fumo", "Answer": "", "Options": "No,Sì"}
  ]
})json";

inline QString modelsFolder()
{
    return AnamnesiWidget::modelsFolder(DataModule::instance());
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

// Writes the three questionnaires (and things that are not models) into the models
// folder of the current store.
inline bool writeModels()
{
    const QString folder = modelsFolder();
    if (!QDir().mkpath(folder) || !QDir().mkpath(folder + QStringLiteral("folder.anm")))
        return false;
    return writeFile(folder + QStringLiteral("charlie.anm"), checkModel)
           && writeFile(folder + QStringLiteral("Beta.anm"), generalModel)
           && writeFile(folder + QStringLiteral("alpha.anm"), postureModel)
           && writeFile(folder + QStringLiteral("notes.txt"), "not a model");
}

inline Client storedClient(const QString &surname, int webId = 0)
{
    Client client;
    client.surname = surname;
    client.name = QStringLiteral("Anna");
    client.web_id = webId;
    client.offline = webId == 0;
    client.saveToDB(false, false);
    return client;
}

// Runs `action` on the first modal window of type T that shows up while the caller
// blocks in exec(); gives up (and the caller's check fails) after about five seconds.
template <typename T>
void whenModal(std::function<void(T *)> action, int attempts = 250)
{
    QTimer::singleShot(20, qApp, [action, attempts]() {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            action(modal);
            return;
        }
        if (attempts > 0)
            whenModal<T>(action, attempts - 1);
    });
}

}  // namespace AnamnesisTest
