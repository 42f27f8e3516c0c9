#include "anamnesis/AnamnesiDlg.h"

#include "anamnesis/Anamnesi.h"
#include "anamnesis/AnamnesiWidget.h"
#include "store/Client.h"
#include "anamnesis/ui_AnamnesiDlg.h"

#include <QDialogButtonBox>
#include <QMessageBox>

AnamnesiDlg::AnamnesiDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AnamnesiDlg>())
{
    ui->setupUi(this);
    resize(1024, 640);
    // Closes once the questionnaire is written; a failed write keeps it on screen.
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, [this] {
        if (saveAnamnesi())
            accept();
    });
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

bool AnamnesiDlg::saveAnamnesi()
{
    // Choosing another model replaces the record, client included.
    ui->anamnesiWidget->current.idClient = m_idClient;
    if (ui->anamnesiWidget->saveToDB(true))
        return true;
    QMessageBox::warning(this, tr("Salvataggio non riuscito"),
                         tr("Impossibile salvare l'anamnesi nel database locale. I dati inseriti sono ancora nel "
                            "modulo."));
    return false;
}
