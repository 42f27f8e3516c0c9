#include "app/ClientEditDlg.h"

#include "app/ui_UserEditDlg.h"
#include "store/Client.h"


ClientEditDlg::ClientEditDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UserEditDlg>())
{
    ui->setupUi(this);
    ui->edName->setFocus();
    // OK closes the dialog first and then saves: the caller's exec() has returned
    // Accepted by the time the record is written.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ClientEditDlg::SaveUser);
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

void ClientEditDlg::SaveUser()
{
    if (!m_client)
        return;
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
    m_client->saveToDB(true, false);
}
