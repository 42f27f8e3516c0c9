#include "TestMain.h"

#include "app/UiHelpers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QList<QWidget *> notificationBoxes()
{
    QList<QWidget *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("notificationBox"))
            boxes.append(w);
    return boxes;
}

QRect expectedGeometry(const QString &text)
{
    const QRect r = QFontMetrics(QFont()).boundingRect(text);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    return QRect(QPoint(available.width() - r.width() - 140, available.height() - r.height() - 80),
                 QPoint(available.width() - 121, available.height() - 61));
}

}  // namespace

class UiHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        // A failed check may leave a box behind; the next case starts with none.
        QVERIFY(QTest::qWaitFor([] { return notificationBoxes().isEmpty(); }, 6000));
    }

    void notificationGeometryAndLook()
    {
        const QString text = QStringLiteral("Esame di Rossi Mario inviato");
        showNotification(text, 4000);
        const QList<QWidget *> boxes = notificationBoxes();
        QCOMPARE(boxes.size(), 1);
        QWidget *box = boxes.first();
        QVERIFY(box->isVisible());
        QVERIFY(box->isWindow());
        QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(qAbs(box->windowOpacity() - 0.7) < 0.01);
        QVERIFY(box->styleSheet().contains(QStringLiteral("font-size:14px;")));
        // Anchored 120 px inside the right edge and 60 px above the bottom of the
        // available area, at least as large as the plain-font rule, never clipping.
        const QRect rule = expectedGeometry(text);
        QCOMPARE(box->geometry().bottomRight(), rule.bottomRight());
        QVERIFY(box->width() >= rule.width());
        QVERIFY(box->height() >= rule.height());
        auto *label = box->findChild<QLabel *>();
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(label->height() >= label->sizeHint().height());
        QVERIFY(QApplication::activeWindow() != box);
        QVERIFY(QTest::qWaitFor([] { return notificationBoxes().isEmpty(); }, 6000));
    }

    void notificationLivesAboutThreeSeconds()
    {
        QElapsedTimer clock;
        clock.start();
        showNotification(QStringLiteral("breve"), 4000);
        QTest::qWait(2000);
        QCOMPARE(notificationBoxes().size(), 1);
        QVERIFY(QTest::qWaitFor([] { return notificationBoxes().isEmpty(); }, 4000));
        // A coarse timer may fire up to 5 % early: 3 s is never less than 2.85 s.
        QVERIFY(clock.elapsed() >= 2850);
    }

    void twoNotificationsShareTheCorner()
    {
        showNotification(QStringLiteral("uno"), 4000);
        showNotification(QStringLiteral("uno"), 4000);
        const QList<QWidget *> boxes = notificationBoxes();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0]->geometry(), boxes[1]->geometry());
        QVERIFY(QTest::qWaitFor([] { return notificationBoxes().isEmpty(); }, 6000));
    }

    void longerTextGrowsToTheLeft()
    {
        showNotification(QStringLiteral("corto"), 4000);
        showNotification(QStringLiteral("un testo decisamente molto piu lungo del primo"), 4000);
        const QList<QWidget *> boxes = notificationBoxes();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0]->geometry().right(), boxes[1]->geometry().right());
        QCOMPARE(boxes[0]->geometry().bottom(), boxes[1]->geometry().bottom());
        QVERIFY(boxes[0]->geometry().width() != boxes[1]->geometry().width());
        QVERIFY(QTest::qWaitFor([] { return notificationBoxes().isEmpty(); }, 6000));
    }

    void nestedLayoutsAreHiddenAndShown()
    {
        QWidget host;
        auto *toolbar = new QHBoxLayout(&host);
        auto *first = new QPushButton(QStringLiteral("a"));
        toolbar->addWidget(first);
        toolbar->addStretch();
        auto *nested = new QVBoxLayout;
        auto *inner = new QLabel(QStringLiteral("b"));
        nested->addWidget(inner);
        auto *grid = new QGridLayout;
        auto *cell = new QPushButton(QStringLiteral("c"));
        grid->addWidget(cell, 1, 2);  // cells (0,*) and (1,0..1) stay empty
        nested->addLayout(grid);
        toolbar->addLayout(nested);
        host.show();
        QVERIFY(first->isVisible() && inner->isVisible() && cell->isVisible());

        setContainerLayoutVisibility(toolbar, false);
        QVERIFY(!first->isVisible());
        QVERIFY(!inner->isVisible());
        QVERIFY(!cell->isVisible());
        QVERIFY(host.isVisible());

        setContainerLayoutVisibility(toolbar, true);
        QVERIFY(first->isVisible() && inner->isVisible() && cell->isVisible());
        setContainerLayoutVisibility(nullptr, false);
    }
};

CALVESTRA_TEST_MAIN(UiHelpersTest)
#include "tst_uihelpers.moc"
