#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QWidget>

// The picture area of the slide show: black, with the current picture scaled to fit.
class SlideShowWidget : public QWidget
{
    Q_OBJECT

public:
    explicit SlideShowWidget(QWidget *parent = nullptr);

    int index = 0;
    // Shared copies of the pictures handed in (no pixels are copied), so the show
    // stays valid whatever happens to the originals while it is open. Null pictures
    // (not arrived yet) show as black.
    QList<QImage> images;
    QList<QString> titles;

    // The picture and title at index; null and empty when there is none.
    QImage currentImage() const;
    QString currentTitle() const;
    // Where the current picture is drawn.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
