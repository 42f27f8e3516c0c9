#include "scan/SlideShowDlg.h"

#include "scan/ui_SlideShowDlg.h"

#include "scan/SlideShowWidget.h"

#include <QGuiApplication>
#include <QScreen>

SlideShowDlg::SlideShowDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SlideShowDlg>())
{
    ui->setupUi(this);
    slideShowWidget = new SlideShowWidget(this);
    slideShowWidget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainLayout->insertWidget(0, slideShowWidget, 1);
    connect(ui->btPrev, &QPushButton::clicked, this, &SlideShowDlg::previous);
    connect(ui->btNext, &QPushButton::clicked, this, &SlideShowDlg::next);
}

SlideShowDlg::~SlideShowDlg() = default;

void SlideShowDlg::init(const QList<QImage *> &images, const QList<QString> &titles, int index)
{
    slideShowWidget->images.clear();
    for (const QImage *image : images)
        slideShowWidget->images << (image ? *image : QImage());
    slideShowWidget->titles = titles;
    slideShowWidget->index = images.isEmpty() ? 0 : qBound(0, index, int(images.size()) - 1);
    doUpdate();
}

void SlideShowDlg::doUpdate()
{
    setWindowTitle(slideShowWidget->currentTitle());
    const QImage picture = slideShowWidget->currentImage();
    if (!picture.isNull()) {
        // The picture at its own size: the window adds the layout's margins and the
        // button row around it, and never grows beyond the screen.
        const QMargins margins = ui->mainLayout->contentsMargins();
        const int below = ui->mainLayout->spacing() + ui->buttonsLayout->sizeHint().height();
        QSize wanted(picture.width() + margins.left() + margins.right(),
                     picture.height() + margins.top() + margins.bottom() + below);
        if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
            wanted = wanted.boundedTo(screen->availableSize());
        resize(wanted);
    }
    slideShowWidget->update();
}

void SlideShowDlg::previous()
{
    if (slideShowWidget->index > 0) {
        --slideShowWidget->index;
        doUpdate();
    }
}

void SlideShowDlg::next()
{
    if (slideShowWidget->index < slideShowWidget->images.size() - 1) {
        ++slideShowWidget->index;
        doUpdate();
    }
}
