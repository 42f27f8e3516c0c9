#pragma once

#include "scan/AnalysisData.h"
#include "scan/LayerTrace.h"
#include "scan/LiveScanPicture.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QVector>
#include <QWidget>

class QPainter;

// Shows one scan: a depth scale in millimetres down both sides, the picture between
// them, the fat-layer boundaries found automatically, the measurement rectangle with the
// thickness it spans, and the marks. While a scan is acquired it has no image and draws
// the live lines it receives; once the scan is finished it is given the finished picture
// and shows it cut to the displayed depth.
class ScanArea : public QWidget
{
    Q_OBJECT

public:
    explicit ScanArea(QWidget *parent = nullptr);

    // Space around the plot area, in pixels.
    int leftMargin = 50;
    int rightMargin = 30;
    int topMargin = 25;
    int bottomMargin = 25;

    // Set by the owner, which then asks for a repaint.
    QImage *image = nullptr;  // finished scan; not owned; null while acquiring
    AnalysisData analysis;
    int deepness = 60;        // displayed depth in mm
    bool blackWhite = false;  // grey live lines instead of the palette
    QString serial = QStringLiteral("-");
    bool loading = false;
    bool saving = false;      // hides the thickness caption and the boundaries in exported pictures

    // Measurement rectangle in widget pixels; null (x2 = x1 - 1) when there is none.
    // The doubles keep it through rescaling without rounding drift.
    QRect measureRect;
    double measureTop = 0.0;
    double measureLeft = 0.0;
    double measureWidth = 0.0;
    double measureHeight = 0.0;

    int plotWidth() const { return width() - leftMargin - rightMargin; }
    int plotHeight() const { return height() - topMargin - bottomMargin; }
    QRect plotRect() const { return QRect(leftMargin, topMargin, plotWidth(), plotHeight()); }

    const QList<QList<uchar>> &scanLines() const { return m_scanLines; }

    // The fat layer found in each line of the finished scan (empty while acquiring).
    void setLayers(const LayerTrace &trace);
    const LayerTrace &layers() const { return m_layers; }
    // Draws the boundaries and puts their mean thickness in the caption; the rectangle
    // works either way.
    void setLayersShown(bool shown);
    bool layersShown() const { return m_layersShown; }
    // The reading to keep with the scan: the rectangle when there is one, else the
    // automatic thickness over the whole scan; none without a finished scan.
    std::optional<LayerReading> currentReading() const;
    // The automatic thickness under the rectangle, or over the scan without one.
    QString readingText() const;

    // New scan, new file: drops the lines, the image, the rectangle and the marks.
    void clear();
    // Appends a live line (789 samples, 0..100 mm); the caller asks for the repaint.
    void addScanData(const QList<uchar> &line);
    // Changes the displayed depth, keeping the rectangle on the same tissue.
    void setDeepness(int mm);
    // Renders the widget at width x height into an image file (format from the
    // suffix); written aside and renamed, so a failure leaves no partial file.
    bool saveJpg(const QString &path, int width, int height);
    void createPalette();
    bool saveAnalysisJson(const QString &path) const;

    // The measurement rectangle as painted: normalised and clipped to the plot; empty
    // when there is none or nothing of it lies on the plot.
    QRect clippedMeasureRect() const;
    // Thickness spanned by the rectangle in mm; 0 without one.
    double thickness() const;
    // The caption shown above the plot.
    QString captionText() const;

signals:
    // The operator finished dragging a rectangle, or dropped it with a click.
    void measurementChanged();

public slots:
    // Marks the column of the next live line.
    void addMark();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

    // Draws the live lines received so far (no image set).
    virtual void paintLiveLines(QPainter &painter);
    const QVector<QRgb> &linePalette() const { return m_linePalette; }

private:
    void paintScale(QPainter &painter);
    void paintImage(QPainter &painter);
    void paintLayers(QPainter &painter);
    void paintMeasurement(QPainter &painter);
    void paintCaption(QPainter &painter);
    void paintLoading(QPainter &painter);
    void paintMarks(QPainter &painter);
    LiveScanPicture::Layout liveLayout() const;
    void setMeasureCorners(int x1, int y1, int x2, int y2);
    // Rescales the rectangle when the widget's size differs from the one it was
    // measured in.
    void followSize();

    // Lines of the finished scan under the clipped rectangle.
    bool rectangleLines(const QRect &rect, int *first, int *last) const;

    QList<QList<uchar>> m_scanLines;
    LayerTrace m_layers;
    bool m_layersShown = true;
    QVector<QRgb> m_linePalette;
    LiveScanPicture m_live;
    bool m_liveValid = false;
    bool m_dragging = false;
    QSize m_measureSize;  // widget size the rectangle's coordinates refer to

    // The finished picture cut and scaled to the plot, kept between paints.
    QImage m_scaled;
    const QImage *m_scaledFrom = nullptr;
    qint64 m_scaledKey = 0;
    QSize m_scaledSize;
    int m_scaledRows = 0;
};
