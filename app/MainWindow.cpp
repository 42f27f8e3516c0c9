#include "app/MainWindow.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"
#include "app/AppSettings.h"
#include "app/ClientEditDlg.h"
#include "app/QueryManagerDlg.h"
#include "app/SettingsDlg.h"
#include "app/UiHelpers.h"
#include "app/ui_MainWindow.h"
#include "anamnesis/AnamnesisModelsRequest.h"
#include "cloud/HttpService.h"
#include "cloud/VersionCheck.h"
#include "exam/ExamDlg.h"
#include "store/DataModule.h"

#include <QAction>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMetaType>
#include <QPushButton>
#include <QScreen>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int pendingCheckMs = 3500;
// After the first exam the check runs a little less often.
constexpr int pendingCheckAfterExamMs = 5000;
constexpr int notificationMs = 4000;

const QString manualPath = QStringLiteral("/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_");

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , m_requestGuardMs(HttpService::defaultRequestTimeoutMs + uploadGuardMarginMs)
    , m_examGuardMs(HttpService::defaultUploadTimeoutMs + uploadGuardMarginMs)
{
    // The service client delivers client lists through queued signals too.
    qRegisterMetaType<QList<Client>>("QVector<Client>");
    ui->setupUi(this);

    language = AppSettings::lang();
    betaMode = AppSettings::betaMode();
    loadClientsAtStart = AppSettings::autoLoadUsers();
    showUploadNotifyMessage = AppSettings::showUploadNotifyMessage();

    store = DataModule::instance();
    service = HttpService::instance();
    store->m_appVersion = AppInfo::version;

    ui->progressBar->hide();

    setDevMode(AppSettings::devMode());
    if (loadClientsAtStart)
        service->getClients();
    // A fresh installation has no questionnaire models until the service sends them.
    requestAnamnesisModelsWhenReachable(service);

    placeWindow();

    connect(service, &HttpService::onGetClients, this, &MainWindow::httpOnGetClients);
    connect(service, &HttpService::onGetClientsProgress, this, &MainWindow::httpOnGetClientsProgress);
    connect(service, &HttpService::onUpdateClient, this, [this](int) { clientModel->select(); });
    connect(service, &HttpService::onUploadExamDone, this, &MainWindow::uploadExamDone);
    connect(service, &HttpService::onUploadExamFail, this, &MainWindow::uploadExamFail);
    connect(service, &HttpService::onWebSpaceOver, this, &MainWindow::uploadExamFail);
    connect(service, &HttpService::onUploadClientDone, this, &MainWindow::uploadClientDone);
    connect(service, &HttpService::onUploadClientFail, this, &MainWindow::uploadClientFail);
    connect(service, &HttpService::onUploadAnamnesiDone, this, &MainWindow::uploadAnamnesiDone);
    connect(service, &HttpService::onUploadAnamnesiFail, this, &MainWindow::uploadAnamnesiFail);
    connect(
        service, &HttpService::onUploadDeletedAnamnesiDone, this, [this](int) { finishUpload(); },
        Qt::DirectConnection);
    connect(service, &HttpService::onUploadDeletedAnamnesiFail, this, &MainWindow::uploadDeletedAnamnesiFail,
            Qt::DirectConnection);
    connect(service, &HttpService::onUploadProgress, this, [this] {
        // An exam upload that still moves bytes is not hanging.
        if (m_guardingExam && m_uploadGuard->isActive())
            m_uploadGuard->start(m_examGuardMs);
    });
    connect(service, &HttpService::onConnectionStatus, this, &MainWindow::setConnectionStatus);
    connect(service, &HttpService::onSwUpdateFile, this, &MainWindow::onCheckSoftwareUpdate);
    connect(ui->edFilter, &QLineEdit::textChanged, this, &MainWindow::doFilterTable);
    connect(ui->btAddUser, &QPushButton::clicked, this, &MainWindow::addClient);
    connect(ui->btEditUser, &QPushButton::clicked, this, &MainWindow::editClient);
    connect(ui->btDelUser, &QPushButton::clicked, this, &MainWindow::deleteClient);
    connect(ui->btRefresh, &QPushButton::clicked, this, &MainWindow::refreshClients);
    connect(ui->tableView, &QTableView::doubleClicked, this, &MainWindow::doExam);

    initTable();

    createMenu();
    connect(ui->tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateEditButtons);
    // A re-select drops the selection without reporting it as a change.
    connect(clientModel, &QAbstractItemModel::modelReset, this, &MainWindow::updateEditButtons);

    sqlConsoleAction = new QAction(this);
    sqlConsoleAction->setObjectName(QStringLiteral("sqlConsoleAction"));
    sqlConsoleAction->setShortcut(QKeySequence(QStringLiteral("Meta+Shift+Q")));
    sqlConsoleAction->setShortcutContext(Qt::WindowShortcut);
    addAction(sqlConsoleAction);
    connect(sqlConsoleAction, &QAction::triggered, this, &MainWindow::openQueryManager);

    createStatusWidgets();

    m_uploadGuard = new QTimer(this);
    m_uploadGuard->setObjectName(QStringLiteral("uploadGuard"));
    m_uploadGuard->setSingleShot(true);
    connect(m_uploadGuard, &QTimer::timeout, this, &MainWindow::uploadGuardExpired);

    pendingTimer = new QTimer(this);
    pendingTimer->setObjectName(QStringLiteral("pendingTimer"));
    connect(pendingTimer, &QTimer::timeout, this, &MainWindow::checkPendingUploads);
    checkPendingUploads();
    pendingTimer->start(pendingCheckMs);
    service->getSoftwareUpdateFile();
}

MainWindow::~MainWindow()
{
    pendingTimer->stop();
    m_uploadGuard->stop();
    delete pendingTimer;
    delete cloudUploadButton;
    delete networkStatusLabel;
    // The service and the store live as long as the window; replies still in flight
    // are dropped with the service.
    delete service;
    // The table model lets go of the database connection before the store closes it.
    ui->tableView->setModel(nullptr);
    delete clientModel;
    clientModel = nullptr;
    delete store;
    ui.reset();
}

void MainWindow::placeWindow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    resize(qRound(available.width() * 0.8), qRound(available.height() * 0.8));
    // Keep clear of a task bar at the bottom.
    const QRect area = available.adjusted(0, 0, 0, -30);
    const QSize bounded = frameSize().boundedTo(area.size());
    resize(bounded);
    QRect placed(QPoint(0, 0), bounded);
    placed.moveCenter(area.center());
    move(placed.topLeft());
}

void MainWindow::createMenu()
{
    helpAction = new QAction(QIcon(QStringLiteral(":/icons/help")), tr("Guida"), this);
    helpAction->setObjectName(QStringLiteral("helpAction"));
    optionsAction = new QAction(QIcon(QStringLiteral(":/icons/settings")), tr("Opzioni"), this);
    optionsAction->setObjectName(QStringLiteral("optionsAction"));
    updateAction = new QAction(tr("Verifica aggiornamenti"), this);
    updateAction->setObjectName(QStringLiteral("updateAction"));
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menu"));
    menu->addAction(optionsAction);
    menu->addAction(helpAction);
    menu->addAction(updateAction);
    ui->tbMenu->setMenu(menu);
    connect(optionsAction, &QAction::triggered, this, &MainWindow::openSettings);
    connect(updateAction, &QAction::triggered, this, &MainWindow::checkSwUpdate);

    // Fixed for the life of the window: a language change takes effect at the next start.
    m_manualUrl = AppSettings::webHost() + manualPath + language.toUpper() + QStringLiteral(".pdf");
    connect(helpAction, &QAction::triggered, this,
            [this] { QDesktopServices::openUrl(QUrl(m_manualUrl, QUrl::TolerantMode)); });
}

void MainWindow::createStatusWidgets()
{
    cloudUploadButton = new QPushButton(this);
    cloudUploadButton->setObjectName(QStringLiteral("cloudUploadButton"));
    cloudUploadButton->setIcon(QIcon(QStringLiteral(":/icons/cloudUpload")));
    cloudUploadButton->setMaximumSize(16, 16);
    cloudUploadButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    cloudUploadButton->setToolTip(tr("Alcuni dati sono in attesa di essere caricati in cloud"));
    cloudUploadButton->hide();
    connect(cloudUploadButton, &QPushButton::clicked, this, &MainWindow::uploadPendings);

    networkStatusLabel = new QLabel(this);
    networkStatusLabel->setObjectName(QStringLiteral("networkStatusLabel"));
    networkStatusLabel->setFixedSize(16, 16);
    networkStatusLabel->setMaximumSize(22, 16);
    networkStatusLabel->setScaledContents(true);
    networkStatusLabel->setContentsMargins(4, 0, 2, 0);
    networkStatusLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setConnectionStatus(false);
    statusBar()->addPermanentWidget(networkStatusLabel);

    // The status bar's see-through background reaches the tool tips of its widgets too,
    // which would leave their text on whatever lies behind: they keep a background of
    // their own.
    const QString readableTips = QStringLiteral(
        "QToolTip { color: palette(tool-tip-text); background-color: palette(tool-tip-base); "
        "border: 1px solid palette(mid); }");
    cloudUploadButton->setStyleSheet(readableTips);
    networkStatusLabel->setStyleSheet(readableTips);
}

void MainWindow::setConnectionStatus(bool connected)
{
    networkStatusLabel->setPixmap(
        QPixmap(connected ? QStringLiteral(":/icons/networkUp") : QStringLiteral(":/icons/networkDown")));
    networkStatusLabel->setToolTip(connected ? tr("Connesso") : tr("Disconnesso"));
    // Read back by tests and accessibility tools: the picture alone says nothing.
    networkStatusLabel->setProperty("connected", connected);
}

void MainWindow::initTable()
{
    clientModel = new QSqlTableModel(this, store->m_db);
    clientModel->setObjectName(QStringLiteral("clientModel"));
    clientModel->setTable(QStringLiteral("clients"));
    clientModel->setEditStrategy(QSqlTableModel::OnManualSubmit);
    clientModel->select();
    const QStringList headers{QStringLiteral("id"),       QStringLiteral("web_id"),       tr("Cognome"),
                              tr("Nome"),                 tr("Sesso"),                    tr("Data Nascita"),
                              tr("Altezza"),              tr("Peso"),                     tr("Livello Attività"),
                              tr("Indirizzo"),            tr("Località"),                 tr("Prov."),
                              tr("CAP"),                  tr("Telefono"),                 tr("Email"),
                              QStringLiteral("offline")};
    for (int column = 0; column < headers.size(); ++column)
        clientModel->setHeaderData(column, Qt::Horizontal, headers.at(column));
    ui->tableView->setModel(clientModel);
    ui->tableView->setSortingEnabled(true);
    applyBetaMode(betaMode);
    ui->tableView->hideColumn(8);
    ui->tableView->hideColumn(15);
    // Portuguese puts the first name before the surname.
    if (language == QLatin1String("pt") || language == QLatin1String("pt-br"))
        ui->tableView->horizontalHeader()->swapSections(2, 3);
}

void MainWindow::applyBetaMode(bool on)
{
    betaMode = on;
    ui->tableView->setColumnHidden(0, !on);
    ui->tableView->setColumnHidden(1, !on);
}

void MainWindow::updateTitle()
{
    QString title = AppInfo::applicationName + QLatin1Char(' ') + AppInfo::version;
    if (devMode)
        title += QStringLiteral(" DEV");
    if (betaMode)
        title += QStringLiteral(" [BETA]");
    const QString user = AppSettings::userName();
    if (!user.isEmpty())
        title += QStringLiteral(" - ") + user;
    setWindowTitle(title);
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    Q_UNUSED(event)
}

void MainWindow::updateEditButtons()
{
    const bool selected = ui->tableView->selectionModel()->hasSelection();
    ui->btEditUser->setEnabled(selected);
    ui->btDelUser->setEnabled(selected);
}

QString MainWindow::filterCondition(const QString &text)
{
    // The text becomes one SQL string literal: a quote is doubled, so it matches a
    // quote in a name and can never end the literal. A NUL would cut the statement
    // short. The LIKE wildcards keep their meaning.
    QString literal = text.toUpper();
    literal.remove(QChar(0));
    // A word starts at a blank; a quote sits inside a word (D'Amico, Dell'Acqua), so
    // a text holding one is looked for anywhere in the names.
    const bool anywhere = literal.contains(QLatin1Char('\''));
    literal.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("' ' || upper(surname) || ' ' || upper(name) like '%") + (anywhere ? QString() : QStringLiteral(" "))
           + literal + QStringLiteral("%'");
}

void MainWindow::doFilterTable(const QString &text)
{
    clientModel->setFilter(filterCondition(text));
}

bool MainWindow::currentClient(Client &client) const
{
    const int row = ui->tableView->selectionModel()->currentIndex().row();
    if (row < 0)
        return false;
    const QSqlRecord record = clientModel->record(row);
    client.loadFromRecord(&record);
    return true;
}

void MainWindow::addClient()
{
    Client client;
    auto dlg = std::make_unique<ClientEditDlg>(this);
    dlg->init(&client);
    dlg->exec();
    clientModel->select();
}

void MainWindow::editClient()
{
    Client client;
    if (!currentClient(client))
        return;
    auto dlg = std::make_unique<ClientEditDlg>(this);
    dlg->init(&client);
    dlg->exec();
    clientModel->select();
}

void MainWindow::deleteClient()
{
    Client client;
    if (!currentClient(client))
        return;
    QMessageBox box(this);
    box.setText(tr("Eliminazione Utente"));
    box.setInformativeText(tr("L'utente '%1 %2'sta per essere eliminato.\nContinuare?").arg(client.surname, client.name));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes)
        return;
    store->deleteClient(client.id);
    service->deleteClient(client.web_id);
    clientModel->select();
}

void MainWindow::doExam()
{
    Client client;
    if (!currentClient(client))
        return;
    auto dlg = std::make_unique<ExamDlg>(this);
    dlg->setModal(true);
    dlg->init(&client);
    // No background upload competes with the exam dialog's own sending.
    pendingTimer->stop();
    dlg->exec();
    pendingTimer->start(pendingCheckAfterExamMs);
    clientModel->select();
}

void MainWindow::refreshClients()
{
    service->getClients();
}

void MainWindow::httpOnGetClientsProgress(int done, int total)
{
    ui->progressBar->setMaximum(total);
    ui->progressBar->setValue(done);
    ui->progressBar->show();
}

void MainWindow::httpOnGetClients(QList<Client> clients)
{
    Q_UNUSED(clients)  // already in the database
    ui->progressBar->hide();
    clientModel->select();
}

void MainWindow::openSettings()
{
    auto dlg = std::make_unique<SettingsDlg>(nullptr);
    connect(dlg.get(), &SettingsDlg::onResetDB, this, &MainWindow::refreshClients);
    connect(dlg.get(), &SettingsDlg::onSwitchBetaMode, this, [this](bool on) {
        applyBetaMode(on);
        updateTitle();
    });
    dlg->exec();
    language = AppSettings::lang();
    dlg.reset();
    showUploadNotifyMessage = AppSettings::showUploadNotifyMessage();
}

void MainWindow::openQueryManager()
{
    auto dlg = std::make_unique<QueryManagerDlg>(nullptr);
    dlg->exec();
}

void MainWindow::setDevMode(bool on)
{
    devMode = on;
    AppSettings::setDevMode(on);
    service->setWebServiceURL(on);
    updateTitle();
}

// ---------------------------------------------------------------- background upload

void MainWindow::setUploadGuardTimes(int requestMs, int examIdleMs)
{
    m_requestGuardMs = requestMs;
    m_examGuardMs = examIdleMs;
}

void MainWindow::showCloudButton(bool show)
{
    if (show == m_cloudButtonShown)
        return;
    m_cloudButtonShown = show;
    if (show) {
        statusBar()->addPermanentWidget(cloudUploadButton);
        cloudUploadButton->show();
    } else {
        statusBar()->removeWidget(cloudUploadButton);
    }
}

void MainWindow::checkPendingUploads()
{
    if (uploadBusy)
        return;
    if (store->havePendingStuff()) {
        cloudUploadButton->setToolTip(tr("Alcuni dati sono in attesa di essere caricati in cloud")
                                      + store->getPendingDescription());
        showCloudButton(true);
        uploadPendings();
    } else {
        showCloudButton(false);
    }
}

void MainWindow::startUpload(int guardMs)
{
    uploadBusy = true;
    m_uploadGuard->start(guardMs);
}

void MainWindow::finishUpload()
{
    uploadBusy = false;
    m_guardingExam = false;
    m_uploadGuard->stop();
}

void MainWindow::uploadGuardExpired()
{
    if (!uploadBusy)
        return;
    qCDebug(lcApp).noquote() << "background upload without outcome, going on";
    finishUpload();
}

void MainWindow::uploadPendings()
{
    qCDebug(lcApp).noquote() << "uploadPendings";
    // One item per pass: the first send makes the rest wait for its outcome.
    const auto canSend = [this] { return service->m_connected && !uploadBusy; };
    if (!canSend())
        return;

    QList<Client> clients;
    store->getPendingClients(clients);
    if (!clients.isEmpty()) {
        Client &client = clients.first();
        startUpload(m_requestGuardMs);
        qCDebug(lcApp).noquote() << "autoupload client" << client.name << client.surname;
        service->saveClient(&client);
        return;
    }

    QList<Anamnesi> anamnesis;
    store->getPendingAnamesis(anamnesis, false);
    if (!anamnesis.isEmpty()) {
        Anamnesi &anamnesi = anamnesis.first();
        startUpload(m_requestGuardMs);
        qCDebug(lcApp).noquote() << "autoupload anamnesi" << anamnesi.name
                                 << anamnesi.date.toString(Anamnesi::dateFormat);
        service->saveAnamnesi(&anamnesi);
        return;
    }

    QList<Anamnesi> deleted;
    store->getPendingAnamesis(deleted, true);
    if (!deleted.isEmpty()) {
        const Anamnesi &anamnesi = deleted.first();
        startUpload(m_requestGuardMs);
        qCDebug(lcApp).noquote() << "upload delete anamnesi cmd" << anamnesi.name
                                 << anamnesi.date.toString(Anamnesi::dateFormat);
        service->deleteAnamnesi(anamnesi.web_id);
        return;
    }

    QList<Exam> exams;
    store->getPendingExams(exams);
    if (!exams.isEmpty()) {
        Exam &exam = exams.first();
        startUpload(m_examGuardMs);
        m_guardingExam = true;
        qCDebug(lcApp).noquote() << "autoupload exam" << exam.idUser << exam.examDate.toString(Qt::ISODate);
        service->uploadExam(&exam, &exam.scanFiles);
    }
}

void MainWindow::notify(const QString &text)
{
    if (showUploadNotifyMessage)
        showNotification(text, notificationMs);
}

void MainWindow::uploadExamDone(Exam *exam)
{
    Client client;
    client.loadFromWebID(exam->idUser);
    store->removePendingExam(client.id, exam);
    qCDebug(lcApp).noquote() << QStringLiteral("upload exam done %1 %2")
                                    .arg(exam->idUser)
                                    .arg(exam->examDate.toString(Qt::ISODate));
    notify(tr("Esame del %1 dell'utente %2 %3 inviato al server.")
               .arg(exam->examDate.toString(QStringLiteral("dd/MM/yyyy")), client.name, client.surname));
    finishUpload();
}

void MainWindow::uploadExamFail()
{
    qCDebug(lcApp).noquote() << "upload exam fail";
    finishUpload();
}

void MainWindow::uploadClientDone(int id)
{
    qCDebug(lcApp).noquote() << QStringLiteral("upload client done %1").arg(id);
    if (showUploadNotifyMessage) {
        Client client;
        client.loadFromDB(id);
        notify(tr("Anagrafica dell'utente %1 %2 inviata al server.").arg(client.name, client.surname));
    }
    finishUpload();
}

void MainWindow::uploadClientFail()
{
    qCDebug(lcApp).noquote() << "upload client fail";
    finishUpload();
}

void MainWindow::uploadAnamnesiDone(Anamnesi *anamnesi)
{
    qCDebug(lcApp).noquote() << QStringLiteral("upload anamnesi done %1").arg(anamnesi->id);
    if (showUploadNotifyMessage) {
        Client client;
        client.loadFromDB(anamnesi->idClient);
        notify(tr("Anamnesi '%1' dell'utente %2 %3 inviata al server.")
                   .arg(anamnesi->name, client.name, client.surname));
    }
    finishUpload();
}

void MainWindow::uploadAnamnesiFail()
{
    qCDebug(lcApp).noquote() << "upload anamnesi fail";
    finishUpload();
}

void MainWindow::uploadDeletedAnamnesiFail(int webId)
{
    // The row stays marked deleted and is sent again on a later pass.
    qCDebug(lcApp).noquote() << QStringLiteral("upload delete anamnesi fail %1").arg(webId);
    finishUpload();
}

// ---------------------------------------------------------------- software update

void MainWindow::checkSwUpdate()
{
    service->getSoftwareUpdateFile();
}

void MainWindow::onCheckSoftwareUpdate(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QString latest = lines.value(0).trimmed();
    const QString address = lines.value(1).trimmed();
    const bool newer = isVersionGreater(AppInfo::version, latest);
    qCDebug(lcApp).noquote() << AppInfo::version << text << (newer ? "true" : "false") << address;
    if (!newer)
        return;
    // Only a web address is handed to the browser: the file comes from the network
    // and must not make the desktop run or open anything else.
    const QUrl installer(address, QUrl::StrictMode);
    const QString scheme = installer.scheme();
    if (!installer.isValid() || installer.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qCDebug(lcApp).noquote() << "update address ignored:" << address;
        return;
    }
    const auto answer = QMessageBox::question(
        this, tr("Aggiornamento Software"),
        tr("E' online una nuova versione del software, si desidera scaricare il setup?"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes)
        QDesktopServices::openUrl(installer);
}
