#include "app/ClientEditDlg.h"

#include "app/ui_UserEditDlg.h"
#include "store/Client.h"
#include "store/DataModule.h"

#include <QMessageBox>

ClientEditDlg::ClientEditDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UserEditDlg>())
{
    ui->setupUi(this);
    ui->edName->setFocus();
    // The dialog closes only once the record is written: a failed write keeps the
    // typed data on screen.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, [this] {
        if (SaveUser())
            accept();
    });
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ClientEditDlg::~ClientEditDlg() = default;

void ClientEditDlg::init(Client *client)
{
    m_client = client;
    if (!client)
        return;
    ui->edSurname->setText(client->surname);
    ui->edName->setText(client->name);
    ui->edAddress->setText(client->address);
    ui->edCity->setText(client->city);
    ui->edZipCode->setText(client->zipcode);
    ui->edProv->setText(client->province);
    ui->edEMail->setText(client->email);
    ui->edPhone->setText(client->phone);
    // Anything but "F" keeps the form's default, "M".
    if (client->sex == QLatin1String("F"))
        ui->rbFemale->setChecked(true);
    // A new client has no birthday yet: the editor keeps its default day.
    if (client->birthday.isValid())
        ui->dpBirthday->setDate(client->birthday);
}

bool ClientEditDlg::SaveUser()
{
    if (!m_client)
        return false;
    // Taken as typed: the operator may keep any text, empty names included.
    m_client->surname = ui->edSurname->text();
    m_client->name = ui->edName->text();
    m_client->address = ui->edAddress->text();
    m_client->city = ui->edCity->text();
    m_client->zipcode = ui->edZipCode->text();
    m_client->province = ui->edProv->text();
    m_client->email = ui->edEMail->text();
    m_client->phone = ui->edPhone->text();
    m_client->sex = ui->rbFemale->isChecked() ? QStringLiteral("F") : QStringLiteral("M");
    m_client->birthday = ui->dpBirthday->date();
    // Not confirmed by the service until its reply clears the mark.
    m_client->offline = true;
    QString error;
    const QMetaObject::Connection catcher = connect(DataModule::instance(), &DataModule::onSqlError, this,
                                                    [&error](const QString &text) { error = text; });
    const bool saved = m_client->saveToDB(true, false);
    disconnect(catcher);
    if (!saved) {
        QMessageBox::warning(this, tr("Salvataggio non riuscito"),
                             tr("Impossibile salvare il cliente nel database locale:\n%1\n"
                                "I dati inseriti sono ancora nel modulo.")
                                 .arg(error));
    }
    return saved;
}
