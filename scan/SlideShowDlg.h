#pragma once

#include <QDialog>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

class SlideShowWidget;

namespace Ui {
class SlideShowDlg;
}

// Shows scan pictures one at a time on black, with previous and next buttons; the
// window takes the title of the picture shown and the size that shows it whole.
class SlideShowDlg : public QDialog
{
    Q_OBJECT

public:
    explicit SlideShowDlg(QWidget *parent = nullptr);
    ~SlideShowDlg() override;

    // Pictures are not taken over; null ones show as black.
    void init(const QList<QImage *> &images, const QList<QString> &titles, int index);
    void doUpdate();

    SlideShowWidget *slideShowWidget = nullptr;
    std::unique_ptr<Ui::SlideShowDlg> ui;

private:
    void previous();
    void next();
};
