#include "exam/ExamDlg.h"

#include "exam/ui_ExamDlg.h"

#include "anamnesis/AnamnesisTabWidget.h"
#include "app/AppSettings.h"
#include "app/ClientEditDlg.h"
#include "cloud/HttpService.h"
#include "cloud/OutboxSender.h"
#include "exam/ExamLog.h"
#include "exam/ProgressTab.h"
#include "exam/ZoneChooserDialog.h"
#include "scan/ArchiveTabWidget.h"
#include "scan/CompareScansDlg.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"
#include "store/Outbox.h"

#include <QAction>
#include <QDate>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidgetItem>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <utility>
#include <vector>

namespace {

const QString uploadTitle = QStringLiteral("upload");
const QString webAppPath = QStringLiteral("/Apps/Movelta/");
const QString pictureExtension = QStringLiteral(".jpg");

// The file name with a new zone in front; the rest (date, time, extension) is kept
// as it is, even when it happens to contain the old zone's text.
QString renamedFileName(const QString &fileName, const QString &oldZone, const QString &newZone)
{
    if (!fileName.startsWith(oldZone))
        return fileName;
    return newZone + fileName.mid(oldZone.size());
}

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace

ExamDlg::ExamDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
    , exam(std::make_unique<Exam>())
    , ui(std::make_unique<Ui::ExamDlg>())
{
    ui->setupUi(this);
    dirty = false;
    store = DataModule::instance();
    service = HttpService::instance();
    sender = OutboxSender::instance();
    zoneChooser = new ZoneChooserDialog(this);

    anamnesisTab = new AnamnesisTabWidget(ui->tabAnamnesi);
    anamnesisTab->setObjectName(QStringLiteral("wgAnamnesisTab"));
    ui->anamnesiLayout->addWidget(anamnesisTab);
    archiveTab = new ArchiveTabWidget(ui->tabArchive);
    archiveTab->setObjectName(QStringLiteral("wgArchiveTab"));
    ui->archiveLayout->addWidget(archiveTab);
    progressTab = new ProgressTab(ui->tabWidget);
    progressTab->setObjectName(QStringLiteral("wgProgressTab"));
    ui->tabWidget->addTab(progressTab, tr("An&damento"));

    buildCornerWidget();

    deleteAction = new QAction(tr("Elimina"), this);
    deleteAction->setObjectName(QStringLiteral("deleteAction"));
    renameAction = new QAction(tr("Rinomina"), this);
    renameAction->setObjectName(QStringLiteral("renameAction"));
    compareAction = new QAction(tr("Compara"), this);
    compareAction->setObjectName(QStringLiteral("compareAction"));
    scanMenu = new QMenu(this);
    scanMenu->setObjectName(QStringLiteral("scanMenu"));
    scanMenu->addAction(deleteAction);
    scanMenu->addAction(renameAction);
    scanMenu->addAction(compareAction);

    ui->dtDay->setDate(QDate::currentDate());
    connect(ui->slActivityLevel, &QSlider::valueChanged, this, [this](int level) {
        ui->lbActivityLevel->setText(activityLevelText(level));
        setDirty();
    });
    connect(ui->edHeight, &QDoubleSpinBox::valueChanged, this, &ExamDlg::setDirty);
    connect(ui->edWeight, &QDoubleSpinBox::valueChanged, this, &ExamDlg::setDirty);
    connect(ui->scan, &ScanWidget::onDirty, this, &ExamDlg::setDirty);
    // A rectangle dragged after saving changes the scan's .json, which the service must get.
    connect(ui->scan, &ScanWidget::onReadingSaved, this, &ExamDlg::setDirty);
    connect(ui->scan, &ScanWidget::onScanCompleted, this, &ExamDlg::scanCompleted);
    connect(ui->scan, &ScanWidget::onStartScan, this, &ExamDlg::scanStarted);
    connect(ui->btEditClient, &QPushButton::clicked, this, &ExamDlg::editClient);
    connect(ui->btSave, &QPushButton::clicked, this, &ExamDlg::saveScan);
    connect(ui->btSend, &QPushButton::clicked, this, &ExamDlg::sendExam);
    connect(deleteAction, &QAction::triggered, this, &ExamDlg::deleteScan);
    connect(renameAction, &QAction::triggered, this, &ExamDlg::renameScan);
    connect(compareAction, &QAction::triggered, this, &ExamDlg::compareScan);
    connect(ui->btCompareScan, &QPushButton::clicked, this, &ExamDlg::compareScan);
    connect(ui->listWidget, &QListWidget::customContextMenuRequested, this, &ExamDlg::onListContextMenu);
    connect(ui->listWidget, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const int row = ui->listWidget->row(item);
        if (row < 0 || row >= scans.size())
            return;
        // The scan on screen makes room for a stored one: one never saved is kept first.
        const QString d2dFile = scans.at(row).d2dFile;
        if (keepDraft() && ui->scan->loadFromFile(d2dFile))
            ui->scan->dirty = false;
    });
    connect(ui->dtDay, &QDateEdit::dateChanged, this, &ExamDlg::refreshList);
    connect(ui->btGoToWebApp, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(AppSettings::webHost() + webAppPath)); });
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &ExamDlg::tabChanged);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // A confirmed upload of this client (from here or from its editor) gives it a web id
    // and moves its folder: the record and the scan paths must follow.
    connect(service, &HttpService::onUpdateClient, this, &ExamDlg::clientUpdated);
    connect(sender, &OutboxSender::itemSent, this, &ExamDlg::itemSent);
    connect(sender, &OutboxSender::itemFailed, this, &ExamDlg::itemFailed);
    connect(sender, &OutboxSender::itemParked, this, &ExamDlg::itemFailed);
    connect(sender, &OutboxSender::halted, this, [this](int code) {
        if (m_sendInFlight)
            sendFailed(code);
    });
    connect(sender, &OutboxSender::uploadProgress, this, &ExamDlg::uploadProgress);

    ui->tabWidget->setCurrentIndex(0);
    ui->progressBar->hide();
    if (QPushButton *ok = ui->buttonBox->button(QDialogButtonBox::Ok))
        ok->installEventFilter(this);
    dirty = false;

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect whole = screen->geometry();
        if (width() > whole.width() || height() > whole.height() - 50)
            setWindowState(windowState() | Qt::WindowMaximized);
    }
}

ExamDlg::~ExamDlg() = default;

void ExamDlg::buildCornerWidget()
{
    // The client header sits beside the tabs rather than taking a row of its own.
    auto *corner = new QWidget(ui->tabWidget);
    corner->setObjectName(QStringLiteral("wgClientCorner"));
    auto *layout = new QHBoxLayout(corner);
    layout->setContentsMargins(0, 0, 4, 4);
    layout->addWidget(ui->btEditClient);
    layout->addWidget(ui->lbName);
    layout->addWidget(ui->lbSex);
    layout->addWidget(ui->lbAge);
    ui->tabWidget->setCornerWidget(corner, Qt::TopRightCorner);
    ui->wgClientInfo->hide();
}

QString ExamDlg::activityLevelText(int level)
{
    switch (level) {
    case 0:
        return tr("Nessuna Attività");
    case 1:
        return tr("2 volte settimana");
    case 2:
        return tr("3/4 volte settimana");
    case 3:
        return tr("5 volte settimana");
    case 4:
        return tr("6/7 volte settimana");
    default:
        return QString();
    }
}

void ExamDlg::init(Client *newClient)
{
    client = newClient;
    if (!client)
        return;
    ui->lbName->setText(client->name + QLatin1Char(' ') + client->surname);
    ui->lbSex->setText(client->sex == QLatin1String("F") ? tr("Donna") : tr("Uomo"));
    ui->lbAge->setText(QString::number(client->getAge()) + QLatin1Char(' ') + tr("Anni"));
    ui->edWeight->setValue(client->weight);
    ui->edHeight->setValue(client->height);
    showClientToTabs();
    refreshList();
    dirty = false;
}

void ExamDlg::showClientToTabs()
{
    if (!client)
        return;
    anamnesisTab->setClient(*client);
    archiveTab->setClient(*client);
    progressTab->setClient(*client);
}

// ---------------------------------------------------------------- scan list

void ExamDlg::refreshList()
{
    QListWidget *list = ui->listWidget;
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(160, 120));
    list->setResizeMode(QListView::Adjust);
    // Rows stay in file order: the scans are addressed by row.
    list->setMovement(QListView::Static);

    scans.clear();
    list->clear();
    if (!client)
        return;
    const QStringList names = client->getFileList(ui->dtDay->date(), pictureExtension);
    const QString folder = client->getDataPath(true);
    for (const QString &name : names)
        addScanToList(folder + name);
}

void ExamDlg::addScanToList(const QString &jpgPath)
{
    const ScanFile scanFile = ScanFile::createFromFilePath(jpgPath);
    scans.append(scanFile);
    new QListWidgetItem(QIcon(jpgPath), scanFile.zone, ui->listWidget);
}

// ---------------------------------------------------------------- acquisition

void ExamDlg::scanStarted()
{
    // The button is held while the question is open; a scan that started all the same
    // has already replaced the one asked about, so the question has nothing left to name.
    if (zoneChooser->isVisible())
        zoneChooser->reject();
}

void ExamDlg::scanCompleted()
{
    saveScan();
}

void ExamDlg::saveScan()
{
    // Only a finished scan not saved yet: anything else would store an empty scan, or a
    // second copy of one already kept.
    if (!client || !ui->scan->dirty)
        return;
    if (m_choosingZone) {
        // The question for the previous scan has been dropped but is still unwinding (a
        // quick scan can end in the same pass of the event loop): ask once it is gone.
        QMetaObject::invokeMethod(this, &ExamDlg::saveScan, Qt::QueuedConnection);
        return;
    }
    m_choosingZone = true;
    // The probe's button must not start a scan, which would replace this one, while the
    // operator is still naming it.
    ui->scan->commThread->holdScans = true;
    const int answer = zoneChooser->exec();
    ui->scan->commThread->holdScans = false;
    m_choosingZone = false;
    if (answer == QDialog::Accepted && !zoneChooser->zone.isEmpty())
        storeScan(zoneChooser->zone, false);
}

bool ExamDlg::keepDraft()
{
    if (!client || !ui->scan->dirty)
        return true;
    return storeScan(ZoneChooserDialog::filterZone(tr("Bozza")), true);
}

bool ExamDlg::storeScan(const QString &zone, bool draft)
{
    // A named scan brings the list to today, where it goes; a draft leaves the list on
    // the day the operator is looking at.
    if (!draft)
        ui->dtDay->setDate(QDate::currentDate());
    const QString jpgPath = ui->scan->saveUserFiles(client->getDataPath(true), zone);
    if (jpgPath.isEmpty()) {
        // Nothing was kept: the scan stays on screen and can be saved again.
        qCDebug(lcExam).noquote() << "save scan failed" << zone;
        QMessageBox::warning(this, tr("Salva"), tr("Impossibile salvare la scansione."));
        return false;
    }
    ui->scan->dirty = false;
    setDirty();
    if (ScanFile::createFromFilePath(jpgPath).dateTime.date() != ui->dtDay->date())
        return true;
    // Two saves in the same second with the same zone write the same files.
    bool listed = false;
    for (const ScanFile &scanFile : std::as_const(scans))
        listed = listed || scanFile.jpgFile == jpgPath;
    if (listed) {
        refreshList();
    } else {
        addScanToList(jpgPath);
    }
    for (int row = 0; row < scans.size() && !draft; ++row) {
        if (scans.at(row).jpgFile == jpgPath)
            ui->listWidget->setCurrentRow(row);
    }
    return true;
}

void ExamDlg::onListContextMenu(const QPoint &pos)
{
    scanMenu->popup(ui->listWidget->viewport()->mapToGlobal(pos));
}

void ExamDlg::deleteScan()
{
    const int row = ui->listWidget->currentRow();
    if (row < 0 || row >= scans.size())
        return;
    const ScanFile scanFile = scans.at(row);
    const auto answer = QMessageBox::question(this, tr("Elimina Scansione"),
                                              tr("Eliminare la scansione '%1'?").arg(scanFile.zone),
                                              QMessageBox::Yes | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes)
        return;
    qCDebug(lcExam).noquote() << "delete scan" << scanFile.zone << scanFile.jpgFile;
    QFile::remove(scanFile.jpgFile);
    QFile::remove(scanFile.d2dFile);
    if (!scanFile.jsonFile.isEmpty())
        QFile::remove(scanFile.jsonFile);
    scans.removeAt(row);
    delete ui->listWidget->takeItem(row);
    setDirty();
}

void ExamDlg::renameScan()
{
    const int row = ui->listWidget->currentRow();
    if (row < 0 || row >= scans.size() || !client)
        return;
    ScanFile scanFile = scans.at(row);
    const QString oldZone = scanFile.zone;
    auto chooser = std::make_unique<ZoneChooserDialog>(this);
    chooser->init(oldZone);
    if (chooser->exec() != QDialog::Accepted || chooser->zone.isEmpty())
        return;
    const QString newZone = chooser->zone;
    chooser.reset();
    if (newZone == oldZone)
        return;

    // The scan's files move together or not at all: a name already taken (a scan of
    // the new zone saved in the same second) would otherwise mix two scans' files.
    const QString folder = client->getDataPath(true);
    std::vector<std::pair<QString *, QString>> moves;
    for (QString *path : {&scanFile.jpgFile, &scanFile.d2dFile, &scanFile.jsonFile}) {
        if (path->isEmpty())
            continue;
        moves.emplace_back(path, folder + renamedFileName(fileNameOf(*path), oldZone, newZone));
    }
    bool free = true;
    for (const auto &move : moves)
        free = free && !QFile::exists(move.second);
    std::vector<std::pair<QString, QString>> done;
    bool moved = free;
    for (const auto &move : moves) {
        if (!moved)
            break;
        if (QFile::rename(*move.first, move.second))
            done.emplace_back(*move.first, move.second);
        else
            moved = false;
    }
    if (!moved) {
        for (const auto &back : done)
            QFile::rename(back.second, back.first);
        qCDebug(lcExam).noquote() << "rename scan failed" << oldZone << newZone << scanFile.jpgFile;
        QMessageBox::warning(this, tr("Rinomina"),
                             tr("Impossibile rinominare la scansione '%1' in '%2'.").arg(oldZone, newZone));
        return;
    }
    for (const auto &move : moves)
        *move.first = move.second;
    scanFile.zone = newZone;
    scanFile.baseName = renamedFileName(scanFile.baseName, oldZone, newZone);
    scans[row] = scanFile;
    if (QListWidgetItem *item = ui->listWidget->item(row)) {
        item->setText(newZone);
        item->setIcon(QIcon(scanFile.jpgFile));
    }
    setDirty();
}

void ExamDlg::compareScan()
{
    if (!client)
        return;
    auto dlg = std::make_unique<CompareScansDlg>(this);
    const int row = ui->listWidget->currentRow();
    if (ui->listWidget->currentItem() && row >= 0 && row < scans.size())
        dlg->init(client, ui->dtDay->date(), scans.at(row).baseName, svmLocal, svmLocal);
    else
        dlg->init(client, QDate::currentDate(), QString(), svmLocal, svmLocal);
    dlg->exec();
}

// ---------------------------------------------------------------- client

void ExamDlg::editClient()
{
    if (!client)
        return;
    auto dlg = std::make_unique<ClientEditDlg>(this);
    dlg->init(client);
    dlg->exec();
    init(client);
}

void ExamDlg::clientUpdated(int id)
{
    if (!client || id != client->id)
        return;
    const int oldWebId = client->web_id;
    client->loadFromDB(id);
    showClientToTabs();
    // The folder has been moved: the listed paths point into the old one.
    if (client->web_id != oldWebId)
        refreshList();
}

// ---------------------------------------------------------------- sending

void ExamDlg::fillExam()
{
    exam->idUser = client->web_id;
    exam->examDate = ui->dtDay->date();
    exam->activityLevel = ui->slActivityLevel->value();
    exam->height = ui->edHeight->value();
    exam->weight = ui->edWeight->value();
    exam->scanNames.clear();
    for (const ScanFile &scanFile : std::as_const(scans))
        exam->scanNames.append(scanFile.baseName);
}

void ExamDlg::sendExam()
{
    if (!client)
        return;
    client->updateHeightAndWeight(ui->edHeight->value(), ui->edWeight->value());
    refreshList();
    fillExam();
    // The client goes first when the service has never confirmed it: the outbox keeps
    // the exam waiting for it.
    if ((client->web_id == 0 && !store->queueClient(client->id)) || !store->queueExam(client->id, *exam)) {
        showUploadMessage(tr("Impossibile salvare l'esame nel database locale."));
        return;
    }
    m_sendInFlight = true;
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    sender->sendNow();
    if (sender->isHalted())
        sendFailed(sender->haltCode());
}

bool ExamDlg::partOfSend(const OutboxItem &item) const
{
    if (!m_sendInFlight || !client || item.clientId != client->id)
        return false;
    return item.kind == OutboxItem::Kind::Client
           || (item.kind == OutboxItem::Kind::Exam && item.examDate == exam->examDate);
}

void ExamDlg::itemSent(const OutboxItem &item)
{
    if (!partOfSend(item) || item.kind != OutboxItem::Kind::Exam)
        return;
    dirty = false;
    endSend(tr("Esame inviato al server"));
}

void ExamDlg::itemFailed(const OutboxItem &item, const ServiceOutcome &outcome)
{
    if (partOfSend(item))
        sendFailed(outcome.code);
}

void ExamDlg::sendFailed(int code)
{
    if (code == 405) {
        endSend(tr("Impossibile caricare i dati: lo spazio web riservato è esaurito."));
        return;
    }
    endSend(tr("Si è verificato un errore durante l'invio dell'esame al server.\n"
               "Verificare la connessione a internet e riprovare.\n"
               "L'esame è stato salvato in locale e verrà inviato appena la connessione verrà ristabilita."));
}

void ExamDlg::endSend(const QString &message)
{
    m_sendInFlight = false;
    ui->progressBar->hide();
    showUploadMessage(message);
}

void ExamDlg::uploadProgress(qint64 sent, qint64 total)
{
    if (m_sendInFlight && total != 0)
        ui->progressBar->setValue(qRound(double(sent) * 100.0 / double(total)));
}

void ExamDlg::showUploadMessage(const QString &text)
{
    QMessageBox::information(this, uploadTitle, text, QMessageBox::Ok);
}

void ExamDlg::setDirty()
{
    dirty = true;
}

void ExamDlg::done(int r)
{
    if (!dirty) {
        QDialog::done(r);
        return;
    }
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("unsentQuestion"));
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(windowTitle());
    box.setText(tr("Alcune modifiche non sono state inviate al server. Inviare i dati?"));
    QPushButton *send = box.addButton(tr("Invia Dati"), QMessageBox::YesRole);
    QPushButton *leave = box.addButton(tr("Esci senza inviare"), QMessageBox::NoRole);
    QPushButton *cancel = box.addButton(tr("Annulla"), QMessageBox::RejectRole);
    box.setDefaultButton(send);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == send)
        sendExam();
    else if (box.clickedButton() == leave) {
        // A finished scan never saved stays as a draft the operator can name or delete
        // later; when even that cannot be written, the dialog stays open.
        if (!keepDraft())
            return;
        // A send under way stays in the outbox and goes on without the dialog: its
        // outcome is no longer this dialog's to report.
        m_sendInFlight = false;
        ui->progressBar->hide();
        QDialog::done(r);
    }
}

void ExamDlg::tabChanged(int index)
{
    QWidget *page = ui->tabWidget->widget(index);
    if (page == ui->tabArchive)
        archiveTab->refreshWorks();
    else if (page == ui->tabAnamnesi)
        anamnesisTab->refreshAnamnesis();
    else if (page == progressTab)
        progressTab->refresh();
}

// ---------------------------------------------------------------- keys

void ExamDlg::addMark()
{
    qCDebug(lcExam).noquote() << "ok sono qui Keypress!";
    ui->scan->scanArea->addMark();
    // A finished scan gets no further lines to repaint it.
    ui->scan->scanArea->update();
}

void ExamDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_M || event->key() == Qt::Key_Space) {
        addMark();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ExamDlg::eventFilter(QObject *watched, QEvent *event)
{
    // Space on the focused OK button marks the scan instead of closing the dialog.
    if (event->type() == QEvent::KeyPress && watched == ui->buttonBox->button(QDialogButtonBox::Ok)
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        addMark();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
