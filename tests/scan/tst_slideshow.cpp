// The slide show: pictures one at a time on black, previous and next with their ends,
// the window title and size following the picture shown; driven with mouse clicks.
#include "TestMain.h"

#include "scan/SlideShowDlg.h"
#include "scan/SlideShowWidget.h"

#include <QLayout>
#include <QPushButton>

class TestSlideShow : public QObject
{
    Q_OBJECT

private slots:
    void onePictureIgnoresBothButtons();
    void stepsThroughAndStopsAtBothEnds();
    void windowFitsThePicture();
    void picturesNotThereShowBlack();
    void outlivesThePicturesHandedIn();

private:
    static QImage picture(const QSize &size, const QColor &colour);
    static QPushButton *button(SlideShowDlg &dialog, const char *name);
    // The colour at the middle of the picture area as it is on screen.
    static QRgb shownCentre(SlideShowDlg &dialog);
};

QImage TestSlideShow::picture(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QPushButton *TestSlideShow::button(SlideShowDlg &dialog, const char *name)
{
    QPushButton *found = dialog.findChild<QPushButton *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no button %s", name);
    return found;
}

QRgb TestSlideShow::shownCentre(SlideShowDlg &dialog)
{
    const QImage shot = dialog.slideShowWidget->grab().toImage();
    return shot.pixel(shot.width() / 2, shot.height() / 2);
}

void TestSlideShow::onePictureIgnoresBothButtons()
{
    QImage only = picture(QSize(300, 240), QColor(200, 40, 40));
    SlideShowDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Slideshow"));
    QCOMPARE(button(dialog, "btPrev")->text(), QStringLiteral("<"));
    QCOMPARE(button(dialog, "btNext")->text(), QStringLiteral(">"));
    dialog.init({&only}, {QStringLiteral("Vita-20240105--09-30-15.jpg")}, 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QSize size = dialog.size();

    QTest::mouseClick(button(dialog, "btNext"), Qt::LeftButton);
    QTest::mouseClick(button(dialog, "btPrev"), Qt::LeftButton);
    QTest::mouseClick(button(dialog, "btNext"), Qt::LeftButton);
    QCOMPARE(dialog.slideShowWidget->index, 0);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vita-20240105--09-30-15.jpg"));
    QCOMPARE(dialog.size(), size);
    QCOMPARE(shownCentre(dialog), qRgb(200, 40, 40));
}

void TestSlideShow::stepsThroughAndStopsAtBothEnds()
{
    QImage a = picture(QSize(300, 240), QColor(200, 40, 40));
    QImage b = picture(QSize(320, 256), QColor(40, 200, 40));
    QImage c = picture(QSize(280, 224), QColor(40, 40, 200));
    const QList<QString> titles{QStringLiteral("A.jpg"), QStringLiteral("B.jpg"), QStringLiteral("C.jpg")};
    SlideShowDlg dialog;
    dialog.init({&a, &b, &c}, titles, 1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("B.jpg"));
    QCOMPARE(shownCentre(dialog), qRgb(40, 200, 40));

    const QList<QPair<const char *, QString>> clicks{
        {"btNext", QStringLiteral("C.jpg")}, {"btNext", QStringLiteral("C.jpg")}, {"btPrev", QStringLiteral("B.jpg")},
        {"btPrev", QStringLiteral("A.jpg")}, {"btPrev", QStringLiteral("A.jpg")}, {"btNext", QStringLiteral("B.jpg")}};
    const QList<int> indexes{2, 2, 1, 0, 0, 1};
    const QList<QRgb> colours{qRgb(40, 40, 200), qRgb(40, 40, 200), qRgb(40, 200, 40),
                              qRgb(200, 40, 40), qRgb(200, 40, 40), qRgb(40, 200, 40)};
    for (int k = 0; k < clicks.size(); ++k) {
        QTest::mouseClick(button(dialog, clicks[k].first), Qt::LeftButton);
        QCOMPARE(dialog.slideShowWidget->index, indexes[k]);
        QCOMPARE(dialog.windowTitle(), clicks[k].second);
        QCOMPARE(shownCentre(dialog), colours[k]);
    }
}

void TestSlideShow::windowFitsThePicture()
{
    QImage wide = picture(QSize(500, 400), QColor(200, 40, 40));
    QImage small = picture(QSize(250, 200), QColor(40, 200, 40));
    SlideShowDlg dialog;
    dialog.init({&wide, &small}, {QStringLiteral("a"), QStringLiteral("b")}, 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE(dialog.slideShowWidget->size(), QSize(500, 400));
    // The picture fills its area exactly: no black around it.
    const QImage shot = dialog.slideShowWidget->grab().toImage();
    QCOMPARE(shot.pixel(1, 1), qRgb(200, 40, 40));
    QCOMPARE(shot.pixel(498, 398), qRgb(200, 40, 40));
    QCOMPARE(dialog.slideShowWidget->pictureRect(), QRect(0, 0, 500, 400));

    QTest::mouseClick(button(dialog, "btNext"), Qt::LeftButton);
    QTRY_COMPARE(dialog.slideShowWidget->size(), QSize(250, 200));
    const QMargins margins = dialog.layout()->contentsMargins();
    QCOMPARE(dialog.width(), 250 + margins.left() + margins.right());

    // Made larger by hand, the picture keeps its shape on black.
    dialog.resize(dialog.width() + 300, dialog.height());
    QTRY_COMPARE(dialog.slideShowWidget->width(), 550);
    const QRect shown = dialog.slideShowWidget->pictureRect();
    QCOMPARE(shown.size(), QSize(250, 200));
    const QImage wider = dialog.slideShowWidget->grab().toImage();
    QCOMPARE(wider.pixel(2, wider.height() / 2), qRgb(0, 0, 0));
    QCOMPARE(wider.pixel(wider.width() / 2, wider.height() / 2), qRgb(40, 200, 40));
}

void TestSlideShow::picturesNotThereShowBlack()
{
    QImage a = picture(QSize(300, 240), QColor(200, 40, 40));
    SlideShowDlg dialog;
    // The second picture has not arrived: null.
    dialog.init({&a, nullptr}, {QStringLiteral("a"), QStringLiteral("b")}, 1);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("b"));
    QCOMPARE(shownCentre(dialog), qRgb(0, 0, 0));
    QTest::mouseClick(button(dialog, "btPrev"), Qt::LeftButton);
    QCOMPARE(shownCentre(dialog), qRgb(200, 40, 40));

    // Nothing at all, and an index out of range: an empty black show.
    SlideShowDlg empty;
    empty.init({}, {}, 3);
    empty.show();
    QVERIFY(QTest::qWaitForWindowExposed(&empty));
    QCOMPARE(empty.slideShowWidget->index, 0);
    QTest::mouseClick(button(empty, "btNext"), Qt::LeftButton);
    QTest::mouseClick(button(empty, "btPrev"), Qt::LeftButton);
    QCOMPARE(empty.slideShowWidget->index, 0);
    QCOMPARE(shownCentre(empty), qRgb(0, 0, 0));
}

void TestSlideShow::outlivesThePicturesHandedIn()
{
    auto a = std::make_unique<QImage>(picture(QSize(300, 240), QColor(200, 40, 40)));
    auto b = std::make_unique<QImage>(picture(QSize(300, 240), QColor(40, 200, 40)));
    SlideShowDlg dialog;
    dialog.init({a.get(), b.get()}, {QStringLiteral("a"), QStringLiteral("b")}, 0);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The originals are replaced or freed while the show is open.
    a.reset();
    b.reset();
    QCOMPARE(shownCentre(dialog), qRgb(200, 40, 40));
    QTest::mouseClick(button(dialog, "btNext"), Qt::LeftButton);
    QCOMPARE(shownCentre(dialog), qRgb(40, 200, 40));
}

CALVESTRA_TEST_MAIN(TestSlideShow)
#include "tst_slideshow.moc"
