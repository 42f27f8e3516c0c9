#include "app/UiHelpers.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {
constexpr int kNotificationMs = 3000;
}

void showNotification(const QString &text, int unusedDuration)
{
    Q_UNUSED(unusedDuration)

    // Top-level and parentless on purpose: it must outlive whichever window asked for
    // it. Qt owns it from here: the timer is its child and deletes it on timeout.
    auto *box = new QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    box->setObjectName(QStringLiteral("notificationBox"));
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowOpacity(0.7);
    box->setStyleSheet(QStringLiteral("QWidget{ background-color : rgba( 60, 60, 60, 255); "
                                      "border-radius : 8px; padding:8px; color:white; font-size:")
                       + QStringLiteral("14")
                       + QStringLiteral("px; border: 1px solid gray; }"));

    auto *layout = new QVBoxLayout(box);
    layout->addWidget(new QLabel(text, box));

    // Measured with the application font, not the 14 px style: the box is sized by the
    // plain text and anchored 120 px from the right and 60 px from the bottom.
    const QRect textRect = QFontMetrics(QFont()).boundingRect(text);
    const int w = textRect.width();
    const int h = textRect.height();
    QRect available(0, 0, 800, 600);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        available = screen->availableGeometry();
    const int W = available.width();
    const int H = available.height();
    QRect geometry(QPoint(W - w - 140, H - h - 80), QPoint(W - 121, H - 61));
    // The 14 px text with its padding needs more room than the plain-font measure
    // gives: grow left and up so the text is never clipped and the corner stays put.
    const QSize needed = box->sizeHint().expandedTo(geometry.size());
    geometry.setTopLeft(geometry.bottomRight() - QPoint(needed.width() - 1, needed.height() - 1));
    box->setGeometry(geometry);
    box->show();

    auto *timer = new QTimer(box);
    timer->setSingleShot(true);
    timer->setInterval(kNotificationMs);
    QObject::connect(timer, &QTimer::timeout, box, &QObject::deleteLater);
    timer->start();
}

namespace {

void setItemVisibility(QLayoutItem *item, bool visible)
{
    if (!item)
        return;
    if (QWidget *widget = item->widget())
        widget->setVisible(visible);
    else if (QLayout *nested = item->layout())
        setContainerLayoutVisibility(nested, visible);
}

}  // namespace

void setContainerLayoutVisibility(QLayout *layout, bool visible)
{
    if (!layout)
        return;
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        for (int row = 0; row < grid->rowCount(); ++row)
            for (int column = 0; column < grid->columnCount(); ++column)
                setItemVisibility(grid->itemAtPosition(row, column), visible);
        return;
    }
    for (int i = 0; i < layout->count(); ++i)
        setItemVisibility(layout->itemAt(i), visible);
}
