#include "app/OutboxDlg.h"

#include "cloud/OutboxSender.h"
#include "store/DataModule.h"
#include "store/Outbox.h"
#include "store/OutboxDescription.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int idRole = Qt::UserRole;
constexpr int parkedRole = Qt::UserRole + 1;

}  // namespace

OutboxDlg::OutboxDlg(DataModule *store, OutboxSender *sender, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_sender(sender)
    , m_list(new QTreeWidget(this))
    , m_summary(new QLabel(this))
    , m_retry(new QPushButton(tr("Riprova"), this))
    , m_discard(new QPushButton(tr("Scarta"), this))
    , m_sendNow(new QPushButton(tr("Invia ora"), this))
{
    setObjectName(QStringLiteral("OutboxDlg"));
    setWindowTitle(tr("Dati in attesa di invio"));
    m_list->setObjectName(QStringLiteral("twOutbox"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Tipo"), tr("Dato"), tr("Stato")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_retry->setObjectName(QStringLiteral("btRetry"));
    m_discard->setObjectName(QStringLiteral("btDiscard"));
    m_sendNow->setObjectName(QStringLiteral("btSendNow"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_retry);
    buttons->addWidget(m_discard);
    buttons->addStretch();
    buttons->addWidget(m_sendNow);
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    layout->addWidget(close);
    resize(720, 360);

    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &OutboxDlg::updateButtons);
    connect(m_retry, &QPushButton::clicked, this, &OutboxDlg::retrySelected);
    connect(m_discard, &QPushButton::clicked, this, &OutboxDlg::discardSelected);
    connect(m_sendNow, &QPushButton::clicked, this, [this] { m_sender->sendNow(); });
    connect(m_sender, &OutboxSender::stateChanged, this, &OutboxDlg::refresh);
    refresh();
}

void OutboxDlg::refresh()
{
    const qint64 selected = selectedItem();
    m_list->clear();
    const QList<OutboxDescription::Line> lines =
        OutboxDescription::lines(*m_store->outbox(), m_store->m_db, m_sender->inFlightItem());
    int parked = 0;
    for (const OutboxDescription::Line &line : lines) {
        auto *row = new QTreeWidgetItem(m_list, {line.section, line.what, line.state});
        row->setData(0, idRole, line.item.id);
        row->setData(0, parkedRole, line.item.parked);
        if (line.item.parked) {
            ++parked;
            for (int column = 0; column < 3; ++column)
                row->setForeground(column, QColor(180, 0, 0));
        }
        if (line.item.id == selected)
            row->setSelected(true);
    }
    QString summary = tr("Dati in attesa di invio: %1.").arg(lines.size());
    if (parked > 0)
        summary += QLatin1Char(' ') + tr("Rifiutati dal server: %1 (selezionarli per riprovare o scartarli).").arg(parked);
    if (m_sender->isHalted())
        summary += QLatin1Char(' ') + tr("L'invio è sospeso: verificare l'account nelle impostazioni.");
    m_summary->setText(summary);
    updateButtons();
}

qint64 OutboxDlg::selectedItem() const
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    return rows.isEmpty() ? 0 : rows.first()->data(0, idRole).toLongLong();
}

bool OutboxDlg::selectedIsParked() const
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    return !rows.isEmpty() && rows.first()->data(0, parkedRole).toBool();
}

void OutboxDlg::updateButtons()
{
    const qint64 id = selectedItem();
    m_retry->setEnabled(id != 0 && selectedIsParked());
    // The item on its way cannot be taken back.
    m_discard->setEnabled(id != 0 && id != m_sender->inFlightItem());
}

void OutboxDlg::retrySelected()
{
    const qint64 id = selectedItem();
    if (id != 0 && m_store->outbox()->retry(id))
        m_sender->sendNow();
}

void OutboxDlg::discardSelected()
{
    const qint64 id = selectedItem();
    if (id == 0 || id == m_sender->inFlightItem())
        return;
    const auto answer = QMessageBox::question(
        this, tr("Scarta"),
        tr("Il dato selezionato non verrà inviato al server. I dati locali restano come sono. Continuare?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        m_store->outbox()->discard(id);
}
