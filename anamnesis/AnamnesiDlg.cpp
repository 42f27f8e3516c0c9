#include "anamnesis/AnamnesiDlg.h"

#include "anamnesis/Anamnesi.h"
#include "anamnesis/AnamnesiWidget.h"
#include "store/Client.h"
#include "anamnesis/ui_AnamnesiDlg.h"

#include <QDialogButtonBox>

AnamnesiDlg::AnamnesiDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AnamnesiDlg>())
{
    ui->setupUi(this);
    resize(1024, 640);
    // The dialog's own accept first, then the save.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &AnamnesiDlg::saveAnamnesi);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AnamnesiDlg::~AnamnesiDlg() = default;

AnamnesiWidget *AnamnesiDlg::anamnesiWidget() const
{
    return ui->anamnesiWidget;
}

void AnamnesiDlg::init(const Client *client, const Anamnesi *record)
{
    // Only the local id is kept: the client record itself belongs to the caller.
    m_idClient = client ? client->id : 0;
    if (record)
        ui->anamnesiWidget->init(false, false, record);
    ui->anamnesiWidget->current.idClient = m_idClient;
}

void AnamnesiDlg::saveAnamnesi()
{
    // Choosing another model replaces the record, client included.
    ui->anamnesiWidget->current.idClient = m_idClient;
    ui->anamnesiWidget->saveToDB(true);
}
