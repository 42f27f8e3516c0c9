#pragma once

// What the picture programs share: a profile of their own, the reference service on the
// loopback, sweeps of the simulated calvimetro written as saved scans, and a driver for
// the scans of an open exam dialog.

#include "exam/ExamDlg.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class Client;
class QLabel;
class ScanArea;
class SimulatedCalvimetro;

namespace Shots {

constexpr int kWaitMs = 20000;

// Settings, data and cache in a temporary folder for the life of the object, so that a
// picture never shows (or changes) the user's own profile; the simulated calvimetro in
// place of the probe, answering at once. Made before the application object.
class Profile
{
public:
    Profile();
    QString root() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// The reference service (calvestra-service) on 127.0.0.1 with a data folder of its own.
// start() after stop() takes the same port again, so the application finds it there.
class Service
{
public:
    Service();
    ~Service();
    Service(const Service &) = delete;
    Service &operator=(const Service &) = delete;

    bool start();
    void stop();
    QUrl endpoint() const;
    // A form POST as an installation sends it; the decoded answer.
    QJsonObject post(const QByteArray &form) const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};

// The settings of a picture on this computer only: the service at a loopback address where
// nothing listens, no account, the local database opened.
void useNoService();

// A client of the local database: `surname name`, `sex`, born `ageYears` years and `ageDays`
// days before today, height (cm) and weight (kg); saved before it returns.
void saveClient(Client &client, const QString &surname, const QString &name, const QString &sex, int ageYears,
                int ageDays, double heightCm, double weightKg);

// The exam dialog of `client` at the size of the pictures, shown; false if it never shows.
bool showExamDialog(ExamDlg &dlg, Client *client);

// One sweep of the simulated probe over `lines` positions, written as the scan widget
// saves a scan: folder + base with .d2d, .jpg (500 x 400) and .json (marks and the
// automatic reading).
void writeSimulatedSweep(const QString &folder, const QString &base, double fatMm, int lines,
                         const QList<int> &marks);

// Runs `action` once, from the event loop, on the first visible modal window of type T
// that `accept` takes (any, without it); the window's own exec() goes on meanwhile.
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

private:
    void poll()
    {
        if (m_deadline.hasExpired()) {
            m_timer.stop();
            return;
        }
        T *window = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!window || !window->isVisible() || (m_accept && !m_accept(window)))
            return;
        m_timer.stop();
        m_handled = true;
        m_action(window);
    }

    std::function<void(T *)> m_action;
    std::function<bool(T *)> m_accept;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    bool m_handled = false;
};

template <class T>
std::unique_ptr<ModalHandler<T>> onModal(std::function<void(T *)> action, std::function<bool(T *)> accept = {},
                                         int timeoutMs = kWaitMs)
{
    return std::make_unique<ModalHandler<T>>(std::move(action), std::move(accept), timeoutMs);
}

// Names the next scan: types `zone` into the zone question and clicks OK; with an empty
// zone clicks Cancel.
std::unique_ptr<ModalHandler<ZoneChooserDialog>> answerZone(const QString &zone);

// The simulated probe behind an open exam dialog, and its scans.
class ExamScanner
{
public:
    explicit ExamScanner(ExamDlg *dialog);

    SimulatedCalvimetro *sim() const;
    ScanArea *area() const;
    QLabel *status() const;
    void setFat(double mm) const;
    bool waitReady() const;
    // A sweep of `lines` lines named `zone`; true once the dialog lists it.
    bool scan(int lines, const QString &zone) const;

private:
    ExamDlg *m_dlg;
};

}  // namespace Shots
