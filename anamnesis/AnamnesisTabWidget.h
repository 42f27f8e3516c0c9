#pragma once

#include "store/Client.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class Anamnesi;
class AnamnesiWidget;
class HttpService;
class QComboBox;

namespace Ui {
class AnamnesisTabWidget;
}

// The anamnesis page of the exam dialog: the client's questionnaires in a list, the
// chosen one shown read-only, and the buttons to add, edit, delete and download them
// again from the service. The exam dialog embeds it, hands it the client and calls
// refreshAnamnesis() whenever the page is shown.
class AnamnesisTabWidget : public QWidget
{
    Q_OBJECT

public:
    explicit AnamnesisTabWidget(QWidget *parent = nullptr);
    ~AnamnesisTabWidget() override;

    // Keeps a copy of the client; the download button needs a client the service knows.
    void setClient(const Client &client);
    const Client &client() const { return m_client; }

    // The record shown by item index of cbAnamnesis; null for an index out of range.
    // Valid until the next rebuild of the list.
    const Anamnesi *recordAt(int index) const;
    QComboBox *anamnesisList() const;
    AnamnesiWidget *anamnesiWidget() const;

    std::unique_ptr<Ui::AnamnesisTabWidget> ui;

public slots:
    void refreshAnamnesis();
    void selectAnamnesi(int index);
    void addAnamnesi();
    void editAnamnesi();
    void deleteAnamnesi();
    void downloadAnamnesis();

private:
    HttpService *service();
    void setRecordButtonsEnabled(bool on);

    Client m_client;
    // The copies the list items point at, freed on every rebuild. The form never points
    // into them: it keeps a copy of its own.
    std::vector<std::unique_ptr<Anamnesi>> m_records;
    // The form shows one of the client's records (rather than a blank model).
    bool m_showsRecord = false;
    QPointer<HttpService> m_service;
};
