#pragma once

#include "store/ScanFile.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <memory>

class AnamnesisTabWidget;
class ArchiveTabWidget;
class Client;
class DataModule;
class Exam;
class HttpService;
class OutboxSender;
class ProgressTab;
struct OutboxItem;
struct ServiceOutcome;
class QAction;
class QEvent;
class QKeyEvent;
class QMenu;
class QPoint;
class ZoneChooserDialog;

namespace Ui {
class ExamDlg;
}

// The modal window in which the operator runs one exam of one client: the body data
// (weight, height, activity level), the live scan from the calvimetro, the scans saved
// on the chosen day, and sending all of it to the web service. Every finished scan is
// named after a body zone and written to the client's folder. Sending queues the exam
// (and the client, when the service has never confirmed it) in the outbox and asks the
// sender to go at once; what fails stays queued and goes later. The other pages show the
// client's anamnesis questionnaires, the exams already on the service and the thickness of
// every zone across the exam days.
class ExamDlg : public QDialog
{
    Q_OBJECT

public:
    explicit ExamDlg(QWidget *parent = nullptr);
    ~ExamDlg() override;

    // Binds the dialog to a client, owned by the caller; it must outlive the dialog.
    void init(Client *client);

    // The text shown for an activity level (0 to 4).
    static QString activityLevelText(int level);

    void addScanToList(const QString &jpgPath);
    // With unsent changes, asks before closing.
    void done(int r) override;

    // There are changes the service has not confirmed yet.
    bool dirty = false;
    DataModule *store = nullptr;
    HttpService *service = nullptr;
    OutboxSender *sender = nullptr;
    Client *client = nullptr;
    // Refilled from the dialog at every send.
    std::unique_ptr<Exam> exam;
    QAction *deleteAction = nullptr;
    QAction *renameAction = nullptr;
    QAction *compareAction = nullptr;
    QMenu *scanMenu = nullptr;
    std::unique_ptr<Ui::ExamDlg> ui;
    // The scans of the list, same index as its rows.
    QList<ScanFile> scans;
    // Reused for every saved scan, so it offers the last zone chosen.
    ZoneChooserDialog *zoneChooser = nullptr;
    AnamnesisTabWidget *anamnesisTab = nullptr;
    ArchiveTabWidget *archiveTab = nullptr;
    ProgressTab *progressTab = nullptr;

public slots:
    void refreshList();
    void editClient();
    void saveScan();
    void onListContextMenu(const QPoint &pos);
    void deleteScan();
    void renameScan();
    void compareScan();
    void sendExam();
    void uploadProgress(qint64 sent, qint64 total);
    void setDirty();
    void scanCompleted();
    void scanStarted();
    void tabChanged(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCornerWidget();
    void fillExam();
    // The outcome of the send under way, if the item is part of it.
    void itemSent(const OutboxItem &item);
    void itemFailed(const OutboxItem &item, const ServiceOutcome &outcome);
    bool partOfSend(const OutboxItem &item) const;
    // Ends a send that did not reach the service: the exam waits in the outbox.
    void sendFailed(int code);
    void endSend(const QString &message);
    void addMark();
    // The client's identity changed on the service (a new web id moves its folder).
    void clientUpdated(int id);
    void showClientToTabs();
    void showUploadMessage(const QString &text);
    // Writes the finished scan under `zone` and lists it (a draft without picking it);
    // false, after a warning, when it could not be written.
    bool storeScan(const QString &zone, bool draft);
    // A finished scan never saved is written as a draft ("Bozza"); false when that failed.
    bool keepDraft();

    // The zone chooser's exec() has not returned yet.
    bool m_choosingZone = false;
    // From "send" until the service has answered for the exam (client upload included).
    bool m_sendInFlight = false;
};
