#include "anamnesis/AnamnesisTabWidget.h"

#include "anamnesis/Anamnesi.h"
#include "anamnesis/AnamnesiDlg.h"
#include "anamnesis/AnamnesiWidget.h"
#include "anamnesis/ui_AnamnesisTabWidget.h"
#include "cloud/HttpService.h"
#include "store/DataModule.h"

#include <QComboBox>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

AnamnesisTabWidget::AnamnesisTabWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AnamnesisTabWidget>())
{
    ui->setupUi(this);
    ui->btAnamnesiAdd->setIcon(QIcon(QStringLiteral(":/icons/add")));
    ui->btAnamnesiEdit->setIcon(QIcon(QStringLiteral(":/icons/edit")));
    ui->btAnamnesiDel->setIcon(QIcon(QStringLiteral(":/icons/del")));
    ui->btAnamnesiRefresh->setIcon(QIcon(QStringLiteral(":/icons/refresh")));
    ui->btAnamnesiDownload->setIcon(QIcon(QStringLiteral(":/icons/cloudDownload")));

    ui->anamnesiWidget->init(false, true, nullptr);
    ui->btAnamnesiRefresh->setVisible(false);
    setRecordButtonsEnabled(false);
    ui->btAnamnesiDownload->setEnabled(false);
    ui->anamnesiWidget->setVisible(false);

    connect(ui->cbAnamnesis, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            selectAnamnesi(index);
    });
    connect(ui->btAnamnesiAdd, &QPushButton::clicked, this, &AnamnesisTabWidget::addAnamnesi);
    connect(ui->btAnamnesiEdit, &QPushButton::clicked, this, &AnamnesisTabWidget::editAnamnesi);
    connect(ui->btAnamnesiDel, &QPushButton::clicked, this, &AnamnesisTabWidget::deleteAnamnesi);
    connect(ui->btAnamnesiDownload, &QPushButton::clicked, this, &AnamnesisTabWidget::downloadAnamnesis);
    connect(ui->btAnamnesiRefresh, &QPushButton::clicked, this, &AnamnesisTabWidget::refreshAnamnesis);
    // Without a service client yet, the first download makes one and connects then.
    if (HttpService::m_instance)
        service();
}

AnamnesisTabWidget::~AnamnesisTabWidget() = default;

void AnamnesisTabWidget::setClient(const Client &client)
{
    m_client = client;
    ui->btAnamnesiDownload->setEnabled(m_client.web_id != 0);
}

QComboBox *AnamnesisTabWidget::anamnesisList() const
{
    return ui->cbAnamnesis;
}

AnamnesiWidget *AnamnesisTabWidget::anamnesiWidget() const
{
    return ui->anamnesiWidget;
}

const Anamnesi *AnamnesisTabWidget::recordAt(int index) const
{
    if (index < 0 || index >= ui->cbAnamnesis->count())
        return nullptr;
    const auto address = ui->cbAnamnesis->itemData(index, Qt::UserRole).value<quintptr>();
    for (const auto &record : m_records) {
        if (reinterpret_cast<quintptr>(record.get()) == address)
            return record.get();
    }
    return nullptr;
}

HttpService *AnamnesisTabWidget::service()
{
    if (!m_service || m_service != HttpService::m_instance) {
        m_service = HttpService::instance();
        connect(m_service.data(), &HttpService::onGetAnamnesis, this, &AnamnesisTabWidget::refreshAnamnesis,
                Qt::UniqueConnection);
    }
    return m_service;
}

void AnamnesisTabWidget::setRecordButtonsEnabled(bool on)
{
    ui->btAnamnesiEdit->setEnabled(on);
    ui->btAnamnesiDel->setEnabled(on);
}

void AnamnesisTabWidget::refreshAnamnesis()
{
    // The form keeps its own copy of what it shows, so the item copies can go.
    m_showsRecord = false;
    ui->cbAnamnesis->clear();
    m_records.clear();

    const QList<Anamnesi> list = m_client.id > 0 ? m_client.getAnamnesiList() : QList<Anamnesi>();
    for (const Anamnesi &record : list) {
        auto copy = std::make_unique<Anamnesi>();
        copy->assign(&record);
        const QString text = record.date.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" - ") + record.name;
        const QVariant address = QVariant::fromValue(reinterpret_cast<quintptr>(copy.get()));
        m_records.push_back(std::move(copy));
        // The first item becomes current here and is shown at once.
        ui->cbAnamnesis->addItem(text, address);
    }

    const bool any = !list.isEmpty();
    ui->anamnesiWidget->setVisible(any);
    ui->lbNoAnamnesiMsg->setVisible(!any);
    // Nothing is selected in an empty list, so there is nothing to edit or delete.
    if (!any)
        setRecordButtonsEnabled(false);
}

void AnamnesisTabWidget::selectAnamnesi(int index)
{
    const Anamnesi *record = recordAt(index);
    if (!record)
        return;
    ui->anamnesiWidget->load(record);
    m_showsRecord = true;
    setRecordButtonsEnabled(true);
}

void AnamnesisTabWidget::addAnamnesi()
{
    auto dlg = std::make_unique<AnamnesiDlg>(this);
    dlg->init(&m_client, nullptr);
    if (dlg->exec() == QDialog::Accepted)
        refreshAnamnesis();
}

void AnamnesisTabWidget::editAnamnesi()
{
    if (!m_showsRecord)
        return;
    const int id = ui->anamnesiWidget->current.id;
    auto dlg = std::make_unique<AnamnesiDlg>(this);
    dlg->init(&m_client, &ui->anamnesiWidget->current);
    if (dlg->exec() != QDialog::Accepted)
        return;
    refreshAnamnesis();

    int found = -1;
    for (int i = 0; i < ui->cbAnamnesis->count() && found < 0; ++i) {
        const Anamnesi *record = recordAt(i);
        if (record && record->id == id)
            found = i;
    }
    ui->cbAnamnesis->setCurrentIndex(found);
    if (found < 0) {
        m_showsRecord = false;
        setRecordButtonsEnabled(false);
    }
}

void AnamnesisTabWidget::deleteAnamnesi()
{
    if (!m_showsRecord)
        return;
    const Anamnesi &shown = ui->anamnesiWidget->current;
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, tr("Elimina Anamnesi"), tr("Eliminare l'anamnesi '%1'?").arg(shown.name),
                              QMessageBox::Yes | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;

    // The store queues the deletion for the service; a failed deletion is reported and
    // the record stays listed.
    if (!DataModule::instance()->deleteAnamnesi(shown.id))
        return;

    const int index = ui->cbAnamnesis->currentIndex();
    const Anamnesi *removed = recordAt(index);
    m_showsRecord = false;
    ui->cbAnamnesis->removeItem(index);
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->get() == removed) {
            m_records.erase(it);
            break;
        }
    }
    setRecordButtonsEnabled(false);
    if (ui->cbAnamnesis->currentIndex() >= 0)
        selectAnamnesi(ui->cbAnamnesis->currentIndex());
}

void AnamnesisTabWidget::downloadAnamnesis()
{
    if (m_client.web_id == 0)
        return;
    service()->getUserAnamnesis(m_client.web_id);
}
