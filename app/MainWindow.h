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
// store and the web-service client, sends what is pending in the background, one
// item at a time, and asks about a newer version when the update file names one.
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
    bool isUploadBusy() const { return uploadBusy; }
    // The filter condition for a typed text; the text is quoted, so any text is safe.
    static QString filterCondition(const QString &text);

    // How long one background item may keep the next ones waiting when no outcome
    // arrives: the request's own time-out plus a margin; an exam upload's guard
    // restarts with every progress report, like its transfer time-out.
    static constexpr int uploadGuardMarginMs = 5000;
    void setUploadGuardTimes(int requestMs, int examIdleMs);

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
    void setDevMode(bool on);
    void checkPendingUploads();
    void uploadPendings();
    void uploadExamDone(Exam *exam);
    void uploadExamFail();
    void uploadClientDone(int id);
    void uploadClientFail();
    void uploadAnamnesiDone(Anamnesi *anamnesi);
    void uploadAnamnesiFail();
    void checkSwUpdate();
    void onCheckSoftwareUpdate(const QString &text);
    void openQueryManager();

protected:
    void keyPressEvent(QKeyEvent *event) override;

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
    void startUpload(int guardMs);
    void finishUpload();
    void uploadGuardExpired();
    void uploadDeletedAnamnesiFail(int webId);
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
    bool uploadBusy = false;
    std::unique_ptr<Ui::MainWindow> ui;
    QSqlTableModel *clientModel = nullptr;
    HttpService *service = nullptr;
    DataModule *store = nullptr;
    QTimer *pendingTimer = nullptr;
    QPushButton *cloudUploadButton = nullptr;
    QLabel *networkStatusLabel = nullptr;

    QString m_manualUrl;
    bool m_cloudButtonShown = false;
    // Ends a background item that never reported back (see uploadGuardMarginMs).
    QTimer *m_uploadGuard = nullptr;
    bool m_guardingExam = false;
    int m_requestGuardMs;
    int m_examGuardMs;
};
