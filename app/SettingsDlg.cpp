#include "app/SettingsDlg.h"

#include "app/AppSettings.h"
#include "app/FolderRevealer.h"
#include "app/ui_SettingsDlg.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>

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
