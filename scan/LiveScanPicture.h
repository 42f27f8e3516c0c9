#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>
#include <QVector>

#include <array>

// The live scan kept off screen: every new line adds its one column (and the black
// separator that precedes it) to a transparent picture, so a repaint only blits the
// picture and the cost of a line does not depend on how many lines came before.
//
// The picture matches, pixel for pixel, drawing every line again on each repaint:
// line i goes to column x = left + (plotWidth * i) / 902, a line whose column is the
// same as the previous drawn line's is skipped (the first one wins), and before each
// line a black separator is drawn just right of the last drawn column. The red cursor
// that follows the last column is not part of the picture: the painter draws it.
class LiveScanPicture
{
public:
    struct Layout
    {
        QSize canvas;   // the whole widget; nothing is drawn outside it
        QRect plot;     // plot area: left, top, plotWidth x plotHeight
        int deepness = 60;
        bool blackWhite = false;

        bool operator==(const Layout &other) const
        {
            return canvas == other.canvas && plot == other.plot && deepness == other.deepness
                && blackWhite == other.blackWhite;
        }
        bool operator!=(const Layout &other) const { return !(*this == other); }
    };

    // Starts an empty picture for a layout; `palette` holds the 256 scan colours.
    void reset(const Layout &layout, const QVector<QRgb> &palette);
    const Layout &layout() const { return m_layout; }

    // Adds the next live line (789 samples covering 0..100 mm).
    void addLine(const QList<uchar> &line);

    int lineCount() const { return m_lineCount; }
    // Column of the last line drawn; the plot's left edge while none is.
    int lastX() const { return m_lastX; }
    const QImage &image() const { return m_image; }
    // The part of the picture that holds anything (empty while nothing is drawn).
    QRect drawnRect() const { return m_drawn; }

private:
    void drawSeparator(int x);
    void drawColumn(int x, const QList<uchar> &line, int shown);

    Layout m_layout;
    QImage m_image;
    std::array<QRgb, 256> m_colors{};
    int m_lineCount = 0;
    int m_lastX = 0;
    QRect m_drawn;
};
