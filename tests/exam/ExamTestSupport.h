#pragma once

#include "app/AppSettings.h"
#include "cloud/HttpService.h"
#include "device/SimulatedCalvimetro.h"
#include "device/VXCommThread.h"
#include "exam/ExamDlg.h"
#include "exam/ZoneChooserDialog.h"
#include "exam/ui_ExamDlg.h"
#include "scan/ScanArea.h"
#include "scan/ScanWidget.h"
#include "store/Client.h"
#include "store/DataModule.h"
#include "store/Exam.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

namespace ExamTest {

constexpr int kWaitMs = 20000;

// A loopback address where nothing listens: requests fail at once and never leave the
// machine.
inline QString closedEndpoint()
{
    return QStringLiteral("http://127.0.0.1:9/Apps/Movelta/vq_webservice.php");
}

// The simulated calvimetro answers at once; the scan widget's link is checked often.
inline void useSimulatedScanner()
{
    qputenv("CALVESTRA_SCANNER", "simulator");
    qputenv("CALVESTRA_SIMULATOR_RATE", "0");
}

// Runs `action` once, from the event loop, on the first visible modal window of type T
// (the window's own exec() keeps running meanwhile). `accept` may refuse a window, for
// instance a message box with another text. Gives up after `timeoutMs`.
template <class T>
class ModalHandler : public QObject
{
public:
    ModalHandler(std::function<void(T *)> action, std::function<bool(T *)> accept, int timeoutMs)
        : m_action(std::move(action))
        , m_accept(std::move(accept))
        , m_deadline(timeoutMs)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalHandler::poll);
        m_timer.start(10);
    }
    bool handled() const { return m_handled; }
    int count() const { return m_count; }
    void setRepeat(bool on) { m_repeat = on; }
    void stop() { m_timer.stop(); }

private:
    void poll()
    {
        if (m_deadline.hasExpired()) {
            m_timer.stop();
            return;
        }
        T *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible() || window == m_last)
            return;
        if (m_accept && !m_accept(window))
            return;
        m_last = window;
        m_handled = true;
        ++m_count;
        if (!m_repeat)
            m_timer.stop();
        m_action(window);
        if (m_repeat)
            m_last = nullptr;
    }

    std::function<void(T *)> m_action;
    std::function<bool(T *)> m_accept;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    QPointer<T> m_last;
    bool m_handled = false;
    bool m_repeat = false;
    int m_count = 0;
};

template <class T>
std::unique_ptr<ModalHandler<T>> onModal(std::function<void(T *)> action, std::function<bool(T *)> accept = {},
                                         int timeoutMs = kWaitMs)
{
    return std::make_unique<ModalHandler<T>>(std::move(action), std::move(accept), timeoutMs);
}

// Answers the zone question: types `zone` over the selected text (dropping the list's
// completion) and clicks OK; with an empty zone clicks Cancel.
// `offered` gets the text the question showed when it opened.
inline std::unique_ptr<ModalHandler<ZoneChooserDialog>> answerZone(const QString &zone, QString *offered = nullptr)
{
    return onModal<ZoneChooserDialog>([zone, offered](ZoneChooserDialog *chooser) {
        auto *combo = chooser->findChild<QComboBox *>(QStringLiteral("cbZones"));
        auto *buttons = chooser->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        if (offered)
            *offered = combo->currentText();
        if (zone.isEmpty()) {
            QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
            return;
        }
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), zone);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
}

// What a message box said and which button was clicked.
struct MessageSeen
{
    bool seen = false;
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Clicks the button with `buttonText` (or the standard button `standard`) of the next
// message box whose text starts with `textStart` (any box when empty).
inline std::unique_ptr<ModalHandler<QMessageBox>> answerMessage(MessageSeen *seen, const QString &buttonText,
                                                                const QString &textStart = QString(),
                                                                QMessageBox::StandardButton standard = QMessageBox::NoButton)
{
    return onModal<QMessageBox>(
        [seen, buttonText, standard](QMessageBox *box) {
            seen->seen = true;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
            seen->buttons.clear();
            QAbstractButton *target = standard != QMessageBox::NoButton ? box->button(standard) : nullptr;
            for (QAbstractButton *b : box->buttons()) {
                seen->buttons << b->text().remove(QLatin1Char('&'));
                if (!target && b->text().remove(QLatin1Char('&')) == buttonText)
                    target = b;
            }
            if (target)
                QTest::mouseClick(target, Qt::LeftButton);
        },
        [textStart](QMessageBox *box) { return textStart.isEmpty() || box->text().startsWith(textStart); });
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file names in a folder, sorted.
inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

inline QVariant storeValue(const QString &sql)
{
    QSqlQuery query(DataModule::m_instance->m_db);
    if (!query.exec(sql) || !query.first())
        return QVariant();
    return query.value(0);
}

// Rows of pendingExams as "idClient|yyyy-MM-dd|height|weight|activityLevel", by date.
inline QStringList pendingExamRows()
{
    QStringList rows;
    QSqlQuery query(DataModule::m_instance->m_db);
    if (!query.exec(QStringLiteral("select idClient, examDate, height, weight, activityLevel from pendingExams "
                                   "order by examDate")))
        return {QStringLiteral("<failed>")};
    while (query.next()) {
        rows << QStringLiteral("%1|%2|%3|%4|%5")
                    .arg(query.value(0).toInt())
                    .arg(query.value(1).toDate().toString(Qt::ISODate))
                    .arg(query.value(2).toDouble())
                    .arg(query.value(3).toDouble())
                    .arg(query.value(4).toInt());
    }
    return rows;
}

// Copies a saved scan's files to the same zone on another day (same time of day), as
// if it had been taken then; returns the new picture path.
inline QString copyScanToDay(const ScanFile &scan, const QDate &day)
{
    const QString oldDate = scan.dateTime.date().toString(QStringLiteral("yyyyMMdd"));
    const QString newDate = day.toString(QStringLiteral("yyyyMMdd"));
    const auto moved = [&](const QString &path) {
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        QString name = path.mid(slash + 1);
        name.replace(scan.zone + QLatin1Char('-') + oldDate, scan.zone + QLatin1Char('-') + newDate);
        return path.left(slash + 1) + name;
    };
    QFile::copy(scan.jpgFile, moved(scan.jpgFile));
    QFile::copy(scan.d2dFile, moved(scan.d2dFile));
    if (!scan.jsonFile.isEmpty())
        QFile::copy(scan.jsonFile, moved(scan.jsonFile));
    return moved(scan.jpgFile);
}

// Drives one open exam dialog: the simulated probe behind its scan widget and the
// widgets of its form.
class ExamDriver
{
public:
    explicit ExamDriver(ExamDlg *dialog)
        : dlg(dialog)
    {
        VXCommThread *thread = dlg->ui->scan->commThread.get();
        thread->setCheckInterval(40);
        thread->setProcessingPause(30);
    }

    SimulatedCalvimetro *sim() const { return dlg->ui->scan->commThread->simulator(); }
    QLabel *status() const { return dlg->ui->scan->findChild<QLabel *>(QStringLiteral("lbStatus")); }
    ScanArea *area() const { return dlg->ui->scan->scanArea; }

    bool waitReady() const
    {
        return QTest::qWaitFor([this] { return status()->text() == QStringLiteral("Pronto"); }, kWaitMs);
    }

    // A scan of `lines` lines named `zone` (Cancel when empty); true once the dialog
    // has handled it (a row added, or the question answered without one).
    bool scan(int lines, const QString &zone, QString *offered = nullptr)
    {
        if (!waitReady())
            return false;
        const int before = dlg->scans.size();
        auto answer = answerZone(zone, offered);
        sim()->sweep(lines + 1);
        if (!QTest::qWaitFor([&] { return answer->handled(); }, kWaitMs))
            return false;
        if (!zone.isEmpty() && !QTest::qWaitFor([&] { return dlg->scans.size() > before; }, kWaitMs))
            return false;
        return QTest::qWaitFor([&] { return !zoneChooserOpen(); }, kWaitMs) && waitReady();
    }

    // A scan held for a while at a slower pace, with `marks` presses of M while the
    // probe moves.
    bool scanWithMarks(int marks, const QString &zone)
    {
        if (!waitReady())
            return false;
        const int before = dlg->scans.size();
        sim()->setBlockRate(400);
        QSignalSpy started(dlg->ui->scan, &ScanWidget::onStartScan);
        sim()->pressButton();
        bool ok = started.wait(kWaitMs);
        for (int i = 0; ok && i < marks; ++i) {
            const int lines = int(area()->scanLines().size());
            ok = QTest::qWaitFor([&] { return area()->scanLines().size() >= lines + 20; }, kWaitMs);
            QTest::keyClick(dlg, Qt::Key_M);
        }
        auto answer = answerZone(zone);
        QTest::qWait(50);
        sim()->releaseButton();
        ok = ok && QTest::qWaitFor([&] { return answer->handled(); }, kWaitMs)
             && QTest::qWaitFor([&] { return dlg->scans.size() > before; }, kWaitMs);
        sim()->setBlockRate(0);
        return ok && QTest::qWaitFor([&] { return !zoneChooserOpen(); }, kWaitMs) && waitReady();
    }

    bool zoneChooserOpen() const { return dlg->zoneChooser->isVisible(); }

    QStringList listTexts() const
    {
        QStringList texts;
        for (int i = 0; i < dlg->ui->listWidget->count(); ++i)
            texts << dlg->ui->listWidget->item(i)->text();
        return texts;
    }

    ExamDlg *dlg;
};

}  // namespace ExamTest

namespace ExamTest {

// A store of its own in a temporary folder, the service client pointed where nothing
// listens, one client in the store and an exam dialog open on it.
class ExamRig
{
public:
    explicit ExamRig(const QString &sex = QStringLiteral("F"), int webId = 0)
    {
        if (!m_dir.isValid())
            qFatal("cannot create a temporary folder");
        QSettings().clear();
        AppSettings::setEndpoint(closedEndpoint());
        AppSettings::setIdTrainer(0);
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests(m_dir.path());
        HttpService::resetInstanceForTests(true)->setWebServiceURL(false);

        // Made after the store: a record keeps the store it was made with.
        m_client = std::make_unique<Client>();
        Client &c = *m_client;
        c.surname = QStringLiteral("Rossi");
        c.name = QStringLiteral("Giulia");
        c.sex = sex;
        c.birthday = QDate::currentDate().addYears(-34).addDays(-10);
        c.height = 166.5;
        c.weight = 58.2;
        c.web_id = webId;
        c.saveToDB(false, false);

        dlg = std::make_unique<ExamDlg>();
        dlg->init(m_client.get());
        driver = std::make_unique<ExamDriver>(dlg.get());
    }
    ~ExamRig()
    {
        driver.reset();
        dlg.reset();
        m_client.reset();
        HttpService::resetInstanceForTests(false);
        DataModule::resetInstanceForTests();
    }
    ExamRig(const ExamRig &) = delete;
    ExamRig &operator=(const ExamRig &) = delete;

    bool show()
    {
        dlg->show();
        return QTest::qWaitForWindowExposed(dlg.get());
    }
    Client &client() { return *m_client; }
    QString folder() const { return m_client->getDataPath(false); }
    QString location() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Client> m_client;

public:
    std::unique_ptr<ExamDlg> dlg;
    std::unique_ptr<ExamDriver> driver;
};

}  // namespace ExamTest
