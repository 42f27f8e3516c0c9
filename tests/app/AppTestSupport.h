#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>

// Waits (bounded) for the next message box to open, records what it says and clicks
// one of its buttons with the mouse. Runs from the event loop, so it also answers
// boxes opened by a modal exec() of the code under test.
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer, int timeoutMs = 5000)
        : m_answer(answer)
        , m_deadline(timeoutMs)
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
        m_timer.start(10);
    }

    bool seen() const { return m_seen; }
    int count() const { return m_count; }
    QString title() const { return m_title; }
    QString text() const { return m_text; }
    QString informativeText() const { return m_informativeText; }
    QMessageBox::StandardButtons buttons() const { return m_buttons; }
    QMessageBox::StandardButton defaultButton() const { return m_default; }
    QMessageBox::Icon icon() const { return m_icon; }
    QWidget *parentWidget() const { return m_parent; }
    // Answer every box that opens while the object lives, not just the first one.
    void setRepeat(bool on) { m_repeat = on; }

    // Runs the event loop until a box has been answered or the time is up.
    bool wait(int timeoutMs = 5000)
    {
        return QTest::qWaitFor([this] { return m_seen; }, timeoutMs);
    }

private:
    void poll()
    {
        if (m_deadline.hasExpired()) {
            m_timer.stop();
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == m_lastBox)
            return;
        QAbstractButton *button = box->button(m_answer);
        if (!button)
            return;
        m_lastBox = box;
        m_title = box->windowTitle();
        m_text = box->text();
        m_informativeText = box->informativeText();
        m_buttons = box->standardButtons();
        m_default = box->standardButton(box->defaultButton());
        m_icon = box->icon();
        m_parent = box->parentWidget();
        m_seen = true;
        ++m_count;
        if (!m_repeat)
            m_timer.stop();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QMessageBox::StandardButton m_answer;
    QDeadlineTimer m_deadline;
    QTimer m_timer;
    QPointer<QMessageBox> m_lastBox;
    bool m_seen = false;
    bool m_repeat = false;
    int m_count = 0;
    QString m_title;
    QString m_text;
    QString m_informativeText;
    QMessageBox::StandardButtons m_buttons;
    QMessageBox::StandardButton m_default = QMessageBox::NoButton;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QPointer<QWidget> m_parent;
};

// Takes over the desktop's default handler for some URL schemes while it lives and
// records every address the code asks to open, instead of starting a browser or a
// file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    explicit UrlCatcher(const QStringList &schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                                      QStringLiteral("file")})
        : m_schemes(schemes)
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }

private:
    QStringList m_schemes;
};

// Runs a function once from the event loop, as soon as a modal window other than the
// given one is up (or at once when none is asked for). For driving exec().
inline void whenModal(std::function<void(QWidget *)> action, int timeoutMs = 5000)
{
    // Owned by the application until it has run or given up.
    auto *timer = new QTimer(QCoreApplication::instance());
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, deadline] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

// A real double click as the window system delivers it: press, release, double-click
// event, release. (QTest::mouseDClick on a widget sends the double-click event alone,
// which item views ignore because no press came first.)
inline void doubleClick(QWidget *widget, QPoint pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}
