#include "app/MainWindow.h"

#include "app/AppInfo.h"
#include "app/AppLog.h"
#include "app/AppSettings.h"
#include "app/ClientEditDlg.h"
#include "app/OutboxDlg.h"
#include "app/QueryManagerDlg.h"
#include "app/SettingsDlg.h"
#include "app/UiHelpers.h"
#include "app/ui_MainWindow.h"
#include "anamnesis/AnamnesisModelsRequest.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "cloud/VersionCheck.h"
#include "exam/ExamDlg.h"
#include "store/DataModule.h"
#include "store/Outbox.h"
#include "store/OutboxDescription.h"

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

constexpr int notificationMs = 4000;

const QString manualPath = QStringLiteral("/Software/Manuals/Calvestra/CalvestraWinAppUser%20Guide_");

}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
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
    sender = OutboxSender::instance();
    store->m_appVersion = AppInfo::version;
    connect(store, &DataModule::onSqlError, this, &MainWindow::storeError);

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
    connect(sender, &OutboxSender::itemSent, this, &MainWindow::itemSent);
    connect(sender, &OutboxSender::itemParked, this, &MainWindow::itemParked);
    connect(sender, &OutboxSender::halted, this, &MainWindow::sendingHalted);
    // A keyring may hand the token over only after the window is up.
    connect(AccountToken::instance(), &AccountToken::changed, this, &MainWindow::accountChanged);
    connect(sender, &OutboxSender::stateChanged, this, &MainWindow::checkPendingUploads);
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

    checkPendingUploads();
    sender->start();
    service->getSoftwareUpdateFile();
}

MainWindow::~MainWindow()
{
    // The sender, the service and the store live as long as the window; replies still
    // in flight are dropped with the service, their items sent again at the next start.
    delete sender;
    delete cloudUploadButton;
    delete networkStatusLabel;
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
    cloudUploadButton->installEventFilter(this);
    connect(cloudUploadButton, &QPushButton::clicked, this, &MainWindow::uploadPendings);

    haltLabel = new QLabel(this);
    haltLabel->setObjectName(QStringLiteral("haltLabel"));
    haltSettingsButton = new QPushButton(tr("Impostazioni..."), this);
    haltSettingsButton->setObjectName(QStringLiteral("haltSettingsButton"));
    connect(haltSettingsButton, &QPushButton::clicked, this, &MainWindow::openAccountSettings);
    statusBar()->addWidget(haltLabel);
    statusBar()->addWidget(haltSettingsButton);
    haltLabel->hide();
    haltSettingsButton->hide();

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
    // The store queues the deletion for the service; a failure has been reported.
    store->deleteClient(client.id);
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
    dlg->exec();
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
    showSettings(false);
}

void MainWindow::openAccountSettings()
{
    showSettings(true);
}

void MainWindow::showSettings(bool accountTab)
{
    const int account = AppSettings::idTrainer();
    const QString token = AccountToken::instance()->token();
    auto dlg = std::make_unique<SettingsDlg>(nullptr);
    if (accountTab)
        dlg->showAccountTab();
    connect(dlg.get(), &SettingsDlg::onResetDB, this, &MainWindow::refreshClients);
    connect(dlg.get(), &SettingsDlg::onSwitchBetaMode, this, [this](bool on) {
        applyBetaMode(on);
        updateTitle();
    });
    m_inSettings = true;
    dlg->exec();
    m_inSettings = false;
    language = AppSettings::lang();
    dlg.reset();
    showUploadNotifyMessage = AppSettings::showUploadNotifyMessage();
    // Whatever the operator did there, sending starts again.
    if (account != AppSettings::idTrainer() || token != AccountToken::instance()->token()) {
        accountChanged();
    } else {
        service->m_idTrainer = AppSettings::idTrainer();
        sender->resume();
    }
}

void MainWindow::accountChanged()
{
    if (m_inSettings)
        return;  // taken in once the dialog closes
    service->m_idTrainer = AppSettings::idTrainer();
    sender->resume();
    if (!service->hasAccount())
        return;
    // What could not be fetched without an account is fetched now.
    if (loadClientsAtStart)
        service->getClients();
    requestAnamnesisModelsWhenReachable(service);
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

bool MainWindow::isUploadBusy() const
{
    return sender->isBusy();
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

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The list of what waits is read when it is about to be shown, not at every change.
    if (watched == cloudUploadButton && event->type() == QEvent::ToolTip)
        cloudUploadButton->setToolTip(tr("Alcuni dati sono in attesa di essere caricati in cloud")
                                      + store->getPendingDescription(sender->inFlightItem()));
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::checkPendingUploads()
{
    showCloudButton(store->havePendingStuff());
    if (!sender->isHalted()) {
        haltLabel->hide();
        haltSettingsButton->hide();
    }
}

void MainWindow::uploadPendings()
{
    OutboxDlg dlg(store, sender, this);
    dlg.exec();
    checkPendingUploads();
}

void MainWindow::notify(const QString &text)
{
    if (showUploadNotifyMessage)
        showNotification(text, notificationMs);
}

void MainWindow::itemSent(const OutboxItem &item)
{
    if (!showUploadNotifyMessage)
        return;
    Client client;
    client.loadFromDB(item.clientId);
    switch (item.kind) {
    case OutboxItem::Kind::Client:
        notify(tr("Anagrafica dell'utente %1 %2 inviata al server.").arg(client.name, client.surname));
        break;
    case OutboxItem::Kind::Anamnesi: {
        Anamnesi anamnesi;
        anamnesi.loadFromDB(item.recordId, false);
        notify(tr("Anamnesi '%1' dell'utente %2 %3 inviata al server.").arg(anamnesi.name, client.name, client.surname));
        break;
    }
    case OutboxItem::Kind::Exam:
        notify(tr("Esame del %1 dell'utente %2 %3 inviato al server.")
                   .arg(item.examDate.toString(QStringLiteral("dd/MM/yyyy")), client.name, client.surname));
        break;
    case OutboxItem::Kind::ClientDeletion:
    case OutboxItem::Kind::AnamnesiDeletion:
        break;
    }
}

void MainWindow::itemParked(const OutboxItem &item, const ServiceOutcome &outcome)
{
    Q_UNUSED(item)
    // Told once, when it happens; the list behind the cloud button keeps the reason.
    const QString reason = OutboxDescription::reasonText(outcome.code, outcome.error);
    statusBar()->showMessage(tr("Il server ha rifiutato un dato da inviare: %1").arg(reason), 15000);
    notify(tr("Il server ha rifiutato un dato da inviare: %1. Aprire l'elenco dei dati in attesa per riprovare "
              "o scartarlo.")
               .arg(reason));
}

void MainWindow::sendingHalted(int code)
{
    haltLabel->setText(code == 0 ? tr("Nessun account configurato: i dati non vengono inviati al server.")
                                 : tr("Il server ha rifiutato il token dell'account: i dati non vengono inviati."));
    haltLabel->show();
    haltSettingsButton->show();
}

void MainWindow::storeError(const QString &text)
{
    qCDebug(lcApp).noquote() << "store error shown";
    // Not modal: the dialog whose write failed says so itself, and a burst of errors
    // must not pile up boxes.
    const QString message = tr("Errore del database locale: %1").arg(text);
    statusBar()->showMessage(message, 15000);
    showNotification(message, notificationMs);
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
