#include "app/SettingsDlg.h"

#include "app/AppSettings.h"
#include "app/FolderRevealer.h"
#include "app/ui_SettingsDlg.h"
#include "cloud/AccountToken.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QMessageBox>
#include <QShortcut>

#include <limits>

const QStringList &SettingsDlg::languageCodes()
{
    static const QStringList codes{QStringLiteral("it"), QStringLiteral("en"), QStringLiteral("pt"),
                                   QStringLiteral("pt-br")};
    return codes;
}

SettingsDlg::SettingsDlg(QWidget *parent)
    : QDialog(parent)
    , m_service(HttpService::instance())
    , ui(std::make_unique<Ui::SettingsDlg>())
{
    ui->setupUi(this);

    // The code travels with each entry, so the choice is read back the same way
    // whatever language the names are shown in.
    const QStringList names{tr("Italiano"), tr("Inglese"), tr("Portoghese"), tr("Brasiliano")};
    for (int i = 0; i < names.size(); ++i)
        ui->cbLangs->addItem(names.at(i), languageCodes().at(i));
    ui->cbLangs->setCurrentIndex(languageCodes().indexOf(AppSettings::lang()));
    ui->chkAutoLoadUsers->setChecked(AppSettings::autoLoadUsers());
    ui->chkShowUploadNotifyMessage->setChecked(AppSettings::showUploadNotifyMessage());

    // Connected only now, so that filling the controls above writes nothing.
    connect(ui->cbLangs, &QComboBox::currentIndexChanged, this, &SettingsDlg::languageChosen);
    connect(ui->chkAutoLoadUsers, &QCheckBox::toggled, this, [](bool on) { AppSettings::setAutoLoadUsers(on); });
    connect(ui->chkShowUploadNotifyMessage, &QCheckBox::toggled, this,
            [](bool on) { AppSettings::setShowUploadNotifyMessage(on); });
    connect(ui->btResetDb, &QPushButton::clicked, this, &SettingsDlg::resetDatabase);
    connect(ui->btOpenDbPath, &QPushButton::clicked, this, &SettingsDlg::openDatabaseFolder);

    buildAccountTab();

    ui->txtEndpoint->setText(AppSettings::endpoint());
    connect(ui->txtEndpoint, &QLineEdit::editingFinished, this, &SettingsDlg::endpointEdited);

    // The hidden keys work whichever control has the focus: a focused combo box would
    // otherwise take the letter for its own search and the dialog would never see it.
    for (const Qt::Key key : {Qt::Key_D, Qt::Key_B}) {
        auto *shortcut = new QShortcut(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, key), this);
        connect(shortcut, &QShortcut::activated, this, [this, key] { hiddenKey(key); });
    }

    ui->tabWidget->setCurrentIndex(0);
    ui->tabWidget->setTabVisible(ui->tabWidget->count() - 1, false);
    setFixedSize(size());
}

SettingsDlg::~SettingsDlg() = default;

void SettingsDlg::languageChosen(int index)
{
    const QString code = ui->cbLangs->itemData(index).toString();
    AppSettings::setLang(languageCodes().contains(code) ? code : AppSettings::defaultLang);
    QMessageBox::information(this, tr("Riavvio necessario"),
                             tr("E' necessario riavviare l'applicazione per attivare le modifiche."),
                             QMessageBox::Ok);
}

void SettingsDlg::resetDatabase()
{
    DataModule *store = DataModule::instance();
    QString question = tr("Si sta per eliminare il database locale. I dati degli utenti sul server non verranno "
                          "eliminati e verranno riscaricati.");
    const int unsent = store->pendingCount();
    if (unsent > 0)
        question += QLatin1Char('\n') + tr("Dati non ancora inviati al server, che andranno persi: %1.").arg(unsent);
    question += QLatin1Char('\n') + tr("Continuare?");
    const auto answer = QMessageBox::question(this, tr("Ripristino Database"), question,
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (store->resetDB()) {
        QMessageBox::information(this, tr("Ripristino Database"),
                                 tr("Database ripristinato. Le scansioni precedenti sono state spostate in %1.")
                                     .arg(QDir::toNativeSeparators(store->setAsidePath())));
    } else {
        QMessageBox::warning(this, tr("Ripristino Database"), tr("Impossibile ripristinare il database."));
    }
    emit onResetDB();
}

void SettingsDlg::openDatabaseFolder()
{
    FolderRevealer::reveal(DataModule::instance()->m_dataPath);
}

void SettingsDlg::endpointEdited()
{
    AppSettings::setEndpoint(ui->txtEndpoint->text());
    // In development mode the edited address keeps pointing at the development script.
    m_service->setWebServiceURL(AppSettings::devMode());
}

void SettingsDlg::buildAccountTab()
{
    m_accountTab = new QWidget(this);
    m_accountTab->setObjectName(QStringLiteral("tabAccount"));
    auto *form = new QFormLayout(m_accountTab);
    m_account = new QLineEdit(m_accountTab);
    m_account->setObjectName(QStringLiteral("txtAccount"));
    m_account->setValidator(new QIntValidator(1, std::numeric_limits<int>::max(), m_account));
    if (AppSettings::idTrainer() > 0)
        m_account->setText(QString::number(AppSettings::idTrainer()));
    m_token = new QLineEdit(m_accountTab);
    m_token->setObjectName(QStringLiteral("txtToken"));
    m_token->setEchoMode(QLineEdit::Password);
    m_caFile = new QLineEdit(AppSettings::caFile(), m_accountTab);
    m_caFile->setObjectName(QStringLiteral("txtCaFile"));
    auto *browse = new QToolButton(m_accountTab);
    browse->setText(QStringLiteral("..."));
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile);
    caRow->addWidget(browse);
    m_accountState = new QLabel(m_accountTab);
    m_accountState->setObjectName(QStringLiteral("lbAccountState"));
    m_accountState->setWordWrap(true);
    form->addRow(tr("Numero account"), m_account);
    form->addRow(tr("Token"), m_token);
    form->addRow(tr("Certificati CA"), caRow);
    form->addRow(m_accountState);
    ui->tabWidget->insertTab(ui->tabWidget->count() - 1, m_accountTab, tr("Account"));

    connect(m_account, &QLineEdit::editingFinished, this, &SettingsDlg::accountEdited);
    connect(m_token, &QLineEdit::editingFinished, this, &SettingsDlg::tokenEdited);
    connect(m_caFile, &QLineEdit::editingFinished, this, &SettingsDlg::caFileEdited);
    connect(browse, &QToolButton::clicked, this, &SettingsDlg::chooseCaFile);
    showAccountState();
}

void SettingsDlg::showAccountTab()
{
    ui->tabWidget->setCurrentWidget(m_accountTab);
}

void SettingsDlg::showAccountState()
{
    const bool hasToken = !AccountToken::instance()->token().isEmpty();
    m_token->setPlaceholderText(hasToken ? tr("(conservato)") : QString());
    if (AppSettings::idTrainer() <= 0)
        m_accountState->setText(tr("Nessun account configurato: i dati non vengono inviati al server."));
    else if (!hasToken)
        m_accountState->setText(tr("Nessun token: un server con autenticazione rifiuta i dati."));
    else
        m_accountState->clear();
}

void SettingsDlg::accountEdited()
{
    const int account = m_account->text().toInt();
    AppSettings::setIdTrainer(account > 0 ? account : 0);
    m_service->m_idTrainer = AppSettings::idTrainer();
    showAccountState();
}

void SettingsDlg::tokenEdited()
{
    const QString token = m_token->text().trimmed();
    if (token.isEmpty())
        return;
    // Kept at once for the requests; the keyring is written in the background.
    AccountToken::instance()->store(token);
    m_token->clear();
    showAccountState();
}

void SettingsDlg::caFileEdited()
{
    AppSettings::setCaFile(m_caFile->text().trimmed());
    if (!m_service->reloadTlsSettings())
        m_accountState->setText(tr("Il file indicato non contiene certificati."));
    else
        showAccountState();
}

void SettingsDlg::chooseCaFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Certificati CA"), m_caFile->text(),
                                                      tr("Certificati (*.pem *.crt);;Tutti i file (*)"));
    if (path.isEmpty())
        return;
    m_caFile->setText(path);
    caFileEdited();
}

void SettingsDlg::keyPressEvent(QKeyEvent *event)
{
    // Every key is taken here, Escape included: the dialog closes only through its
    // window's close button.
    event->accept();
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    if ((event->modifiers() & both) == both)
        hiddenKey(event->key());
}

void SettingsDlg::hiddenKey(int key)
{
    if (key == Qt::Key_D) {
        m_debugTabShown = !m_debugTabShown;
        ui->tabWidget->setTabVisible(ui->tabWidget->count() - 1, m_debugTabShown);
    } else if (key == Qt::Key_B && m_debugTabShown) {
        const bool beta = !AppSettings::betaMode();
        AppSettings::setBetaMode(beta);
        emit onSwitchBetaMode(beta);
    }
}
