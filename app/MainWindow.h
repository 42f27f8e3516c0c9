#pragma once

#include "anamnesis/Anamnesi.h"
#include "store/Client.h"
#include "store/Exam.h"

#include <QList>
#include <QMainWindow>
#include <QString>

#include <memory>

class DataModule;
class HttpService;
class OutboxSender;
struct OutboxItem;
struct ServiceOutcome;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QSqlTableModel;
class QTimer;

namespace Ui {
class MainWindow;
}

// The one top-level window: the local client list with its live name filter, the
// commands to add, edit and delete clients and to open an exam, the service
// connection state and the pending-upload button in the status bar. It owns the
// store, the web-service client and the outbox sender, which it starts so that what
// is pending goes out in the background; it tells the operator what was sent, what
// the service refused and what the local database could not write, and asks about a
// newer version when the update file names one.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void initTable();
    void updateTitle();

    // The address of the user manual in the language of this run.
    QString manualUrl() const { return m_manualUrl; }
    bool isUploadBusy() const;
    // The filter condition for a typed text; the text is quoted, so any text is safe.
    static QString filterCondition(const QString &text);


public slots:
    void httpOnGetClients(QList<Client> clients);
    void httpOnGetClientsProgress(int done, int total);
    void doFilterTable(const QString &text);
    void addClient();
    void deleteClient();
    void editClient();
    void doExam();
    void refreshClients();
    void openSettings();
    // The settings with the account's number and token in front.
    void openAccountSettings();
    void setDevMode(bool on);
    // Shows or hides the cloud button with the list of what waits.
    void checkPendingUploads();
    // The list of what waits, with retry and discard for what the service refused.
    void uploadPendings();
    void checkSwUpdate();
    void onCheckSoftwareUpdate(const QString &text);
    void openQueryManager();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeWindow();
    void createMenu();
    void createStatusWidgets();
    void setConnectionStatus(bool connected);
    void applyBetaMode(bool on);
    void updateEditButtons();
    // The client of the table's current row; false when no row is current.
    bool currentClient(Client &client) const;
    void showCloudButton(bool show);
    void itemSent(const OutboxItem &item);
    void itemParked(const OutboxItem &item, const ServiceOutcome &outcome);
    void sendingHalted(int code);
    // The account or its token changed: sending starts again, lists are fetched.
    void accountChanged();
    void showSettings(bool accountTab);
    void storeError(const QString &text);
    void notify(const QString &text);

    bool devMode = false;
    bool betaMode = false;
    bool loadClientsAtStart = true;
    bool showUploadNotifyMessage = true;
    QAction *helpAction = nullptr;
    QAction *optionsAction = nullptr;
    QAction *updateAction = nullptr;
    QMenu *menu = nullptr;
    QAction *sqlConsoleAction = nullptr;
    QString language;
    std::unique_ptr<Ui::MainWindow> ui;
    QSqlTableModel *clientModel = nullptr;
    HttpService *service = nullptr;
    DataModule *store = nullptr;
    OutboxSender *sender = nullptr;
    QPushButton *cloudUploadButton = nullptr;
    QLabel *networkStatusLabel = nullptr;
    // Says why nothing is sent (no account, token refused), with the way to the settings.
    QLabel *haltLabel = nullptr;
    QPushButton *haltSettingsButton = nullptr;

    QString m_manualUrl;
    bool m_cloudButtonShown = false;
    bool m_inSettings = false;
};
