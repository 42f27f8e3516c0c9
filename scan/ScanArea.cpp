#include "scan/ScanArea.h"

#include "scan/Contrast.h"
#include "device/CalvimetroProtocol.h"
#include "scan/ScanLog.h"

#include <QFileInfo>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QResizeEvent>
#include <QSaveFile>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLineSpan = CalvimetroProtocol::maxScanLines - 1;
// Depth covered by a live line and by a full picture.
constexpr int kFullDepthMm = 100;
// Below this many pixels per millimetre the scale labels every 10 mm instead of 5.
constexpr int kMinPixelsPerMmForFineStep = 5;
// A release this close to the pressed corner is a click, not a measurement.
constexpr int kMinMeasureSide = 3;

const QColor kBackgroundColor(200, 215, 225);
const QColor kMeasurePenColor(255, 255, 0, 205);
const QColor kMeasureFillColor(255, 255, 0, 65);
const QColor kCaptionColor(108, 140, 255);
const QColor kLoadingColor(128, 180, 255);
const QColor kMarkColor(255, 128, 0, 128);
// Green stands apart from the palette's blues and whites and from the yellow rectangle.
const QColor kLayerColor(80, 255, 120, 220);

int roundedCoordinate(qreal v)
{
    return static_cast<int>(std::lround(v));
}

}  // namespace

ScanArea::ScanArea(QWidget *parent)
    : QWidget(parent)
{
    clear();
    createPalette();
}

void ScanArea::createPalette()
{
    m_linePalette = scanPalette();
    m_liveValid = false;
}

void ScanArea::clear()
{
    analysis.clear();
    m_scanLines.clear();
    m_layers = LayerTrace();
    image = nullptr;
    measureTop = measureLeft = measureWidth = measureHeight = 0.0;
    measureRect = QRect();
    m_measureSize = QSize();
    m_dragging = false;
    loading = false;
    m_liveValid = false;
    m_scaled = QImage();
    m_scaledFrom = nullptr;
    update();
}

void ScanArea::setLayers(const LayerTrace &trace)
{
    m_layers = trace;
    update();
}

void ScanArea::setLayersShown(bool shown)
{
    m_layersShown = shown;
    update();
}

bool ScanArea::rectangleLines(const QRect &rect, int *first, int *last) const
{
    const int lines = image ? image->width() : 0;
    if (rect.isEmpty() || lines <= 0 || plotWidth() <= 0)
        return false;
    // The columns of the picture the rectangle covers, as the picture is stretched.
    *first = std::clamp(int(qint64(rect.left() - leftMargin) * lines / plotWidth()), 0, lines - 1);
    *last = std::clamp(int(qint64(rect.right() - leftMargin) * lines / plotWidth()), *first, lines - 1);
    return true;
}

std::optional<LayerReading> ScanArea::currentReading() const
{
    if (!image)
        return std::nullopt;
    const QRect rect = clippedMeasureRect();
    int first = 0;
    int last = -1;
    if (rectangleLines(rect, &first, &last) && plotHeight() > 0 && deepness > 0) {
        const double mmPerPixel = static_cast<double>(deepness) / plotHeight();
        const double top = (rect.top() - topMargin) * mmPerPixel;
        return LayerReading::rectangle(m_layers, first, last, top, top + thickness());
    }
    if (m_layers.lineCount() == 0)
        return std::nullopt;
    return LayerReading::automatic(m_layers);
}

QString ScanArea::readingText() const
{
    if (!image || m_layers.lineCount() == 0)
        return QString();
    int first = 0;
    int last = m_layers.lineCount() - 1;
    rectangleLines(clippedMeasureRect(), &first, &last);
    const LayerSummary summary = summarizeLayers(m_layers, first, last);
    if (!summary.hasValue())
        return tr("Spessore automatico su %1 linee: confine del grasso non trovato").arg(summary.lines);
    return tr("Spessore automatico su %1 linee: media %2 mm, minimo %3 mm, massimo %4 mm, deviazione standard %5 mm; "
              "confine trovato nel %6% delle linee")
        .arg(summary.lines)
        .arg(summary.meanMm, 0, 'f', 1)
        .arg(summary.minMm, 0, 'f', 1)
        .arg(summary.maxMm, 0, 'f', 1)
        .arg(summary.sdMm, 0, 'f', 1)
        .arg(qRound(summary.foundFraction() * 100.0));
}

bool ScanArea::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const QString text = readingText();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void ScanArea::addScanData(const QList<uchar> &line)
{
    m_scanLines.append(line);
}

void ScanArea::addMark()
{
    analysis.linemarks.append(static_cast<int>(m_scanLines.size()));
}

bool ScanArea::saveAnalysisJson(const QString &path) const
{
    return analysis.saveToFile(path);
}

void ScanArea::setMeasureCorners(int x1, int y1, int x2, int y2)
{
    measureRect.setCoords(x1, y1, x2, y2);
}

void ScanArea::setDeepness(int mm)
{
    if (mm <= 0)
        return;
    const double ratio = static_cast<double>(deepness) / mm;
    int x1, y1, x2, y2;
    measureRect.getCoords(&x1, &y1, &x2, &y2);
    measureTop = (measureTop - topMargin) * ratio + topMargin;
    y1 = static_cast<int>(measureTop);
    measureHeight *= ratio;
    y2 = y1 + static_cast<int>(measureHeight) - 1;
    setMeasureCorners(x1, y1, x2, y2);
    deepness = mm;
    update();
}

void ScanArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    followSize();
}

void ScanArea::followSize()
{
    // Tracked here rather than taken from resize events: a hidden widget gets its
    // resize event only when shown, long after its size changed.
    const QSize now = size();
    const QSize old = m_measureSize;
    if (old == now)
        return;
    m_measureSize = now;
    const int oldPlotWidth = old.width() - leftMargin - rightMargin;
    const int oldPlotHeight = old.height() - topMargin - bottomMargin;
    if (!old.isValid() || oldPlotWidth <= 0 || oldPlotHeight <= 0)
        return;
    const double ry = static_cast<double>(plotHeight()) / oldPlotHeight;
    const double rx = static_cast<double>(plotWidth()) / oldPlotWidth;
    measureTop = (measureTop - topMargin) * ry + topMargin;
    measureLeft = (measureLeft - leftMargin) * rx + leftMargin;
    const int y1 = static_cast<int>(measureTop);
    const int x1 = static_cast<int>(measureLeft);
    measureWidth *= rx;
    measureHeight *= ry;
    setMeasureCorners(x1, y1, x1 + static_cast<int>(measureWidth) - 1, y1 + static_cast<int>(measureHeight) - 1);
    update();
}

void ScanArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int x1 = roundedCoordinate(event->position().x());
    const int y1 = roundedCoordinate(event->position().y());
    m_dragging = true;
    m_measureSize = size();
    // A new rectangle starts empty at the pressed point.
    setMeasureCorners(x1, y1, x1 - 1, y1 - 1);
    measureTop = y1;
    measureLeft = x1;
    measureWidth = 0.0;
    measureHeight = 0.0;
}

void ScanArea::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const int x2 = roundedCoordinate(event->position().x());
    const int y2 = roundedCoordinate(event->position().y());
    const int x1 = measureRect.left();
    const int y1 = measureRect.top();
    setMeasureCorners(x1, y1, x2, y2);
    measureWidth = x2 - x1 + 1;
    measureHeight = y2 - y1 + 1;
    update();
}

void ScanArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    int x1, y1, x2, y2;
    measureRect.getCoords(&x1, &y1, &x2, &y2);
    const QPoint release(roundedCoordinate(event->position().x()), roundedCoordinate(event->position().y()));
    const bool clickOnly = release == QPoint(x1, y1);
    const bool tooSmall = std::abs(x2 - x1 + 1) < kMinMeasureSide && std::abs(y2 - y1 + 1) < kMinMeasureSide;
    if (clickOnly || tooSmall) {
        measureTop = measureLeft = measureWidth = measureHeight = 0.0;
        setMeasureCorners(x1, y1, x1 - 1, y1 - 1);
        update();
    }
    emit measurementChanged();
}

QRect ScanArea::clippedMeasureRect() const
{
    if (measureRect.width() == 0 || measureRect.height() == 0)
        return QRect();
    int x1, y1, x2, y2;
    measureRect.getCoords(&x1, &y1, &x2, &y2);
    // Both the pressed and the released pixel belong to the rectangle, whichever way
    // it was dragged.
    int left = std::min(x1, x2);
    int right = std::max(x1, x2);
    int top = std::min(y1, y2);
    int bottom = std::max(y1, y2);
    const int plotRight = leftMargin + plotWidth();
    const int plotBottom = topMargin + plotHeight();
    left = std::min(plotRight, std::max(left, leftMargin));
    top = std::min(plotBottom, std::max(top, topMargin));
    right = std::min(plotRight, right);
    bottom = std::min(plotBottom - 1, bottom);
    // Entirely beside the plot: nothing is left to measure.
    if (right < left || bottom < top)
        return QRect();
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

double ScanArea::thickness() const
{
    const QRect r = clippedMeasureRect();
    if (r.isEmpty() || plotHeight() <= 0 || deepness <= 0)
        return 0.0;
    return r.height() / (static_cast<double>(plotHeight()) / deepness);
}

QString ScanArea::captionText() const
{
    const double mm = thickness();
    if (mm != 0.0)
        return tr("Spessore : %1 mm").arg(mm, 0, 'f', 1);
    if (m_layersShown && image && m_layers.lineCount() > 0) {
        const LayerSummary summary = summarizeLayers(m_layers, 0, m_layers.lineCount() - 1);
        if (summary.hasValue())
            return tr("Spessore medio : %1 mm").arg(summary.meanMm, 0, 'f', 1);
        return tr("Spessore : confine del grasso non trovato");
    }
    return tr("Spessore : Trascinare il mouse");
}

LiveScanPicture::Layout ScanArea::liveLayout() const
{
    LiveScanPicture::Layout layout;
    layout.canvas = size();
    layout.plot = plotRect();
    layout.deepness = deepness;
    layout.blackWhite = blackWhite;
    return layout;
}

void ScanArea::paintEvent(QPaintEvent *)
{
    followSize();
    QPainter painter(this);
    const int w = width();
    const int h = height();

    painter.setBrush(QBrush(kBackgroundColor, Qt::Dense7Pattern));
    painter.drawRect(leftMargin, topMargin, plotWidth(), plotHeight());
    painter.setBrush(Qt::NoBrush);

    QFont font = painter.font();
    font.setPixelSize(10);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.save();
    painter.rotate(-90);
    painter.drawText(QRect(-h, 0, h, leftMargin - 20), Qt::AlignCenter, tr("Profondità (mm)"));
    painter.restore();

    font.setWeight(QFont::Normal);
    font.setPixelSize(9);
    painter.setFont(font);
    painter.drawLine(leftMargin, topMargin, leftMargin, h - bottomMargin);
    painter.drawLine(w - rightMargin, topMargin, w - rightMargin, h - bottomMargin);
    paintScale(painter);

    if (image)
        paintImage(painter);
    else
        paintLiveLines(painter);
    if (!saving)
        paintLayers(painter);

    paintMeasurement(painter);
    if (!saving)
        paintCaption(painter);
    if (loading)
        paintLoading(painter);
    paintMarks(painter);
}

void ScanArea::paintScale(QPainter &painter)
{
    if (deepness <= 0)
        return;
    const int w = width();
    const int ph = plotHeight();
    const int step = ph / deepness < kMinPixelsPerMmForFineStep ? 10 : 5;
    const int count = deepness / step;
    const int labelHeight = 20;
    for (int i = 0; i <= count; ++i) {
        const int y = topMargin + (count > 0 ? (i * ph) / count : 0);
        const QString label = QString::number(i * step);
        // Left labels end 9 pixels left of the axis; right labels start 8 pixels right of it.
        painter.drawText(QRect(0, y - 5, leftMargin - 8, labelHeight), Qt::AlignRight | Qt::AlignTop, label);
        painter.drawLine(leftMargin - 5, y, leftMargin, y);
        painter.drawText(QRect(w - rightMargin + 8, y - 5, rightMargin, labelHeight), Qt::AlignLeft | Qt::AlignTop,
                         label);
        painter.drawLine(w - rightMargin, y, w - rightMargin + 5, y);
    }
}

void ScanArea::paintImage(QPainter &painter)
{
    if (image->isNull() || plotWidth() <= 0 || plotHeight() <= 0)
        return;
    const int rows = std::min(image->height(), (image->height() * deepness) / kFullDepthMm);
    if (rows <= 0)
        return;
    const QSize target(plotWidth(), plotHeight());
    if (m_scaledFrom != image || m_scaledKey != image->cacheKey() || m_scaledSize != target || m_scaledRows != rows) {
        m_scaled = image->copy(0, 0, image->width(), rows)
                       .scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        m_scaledFrom = image;
        m_scaledKey = image->cacheKey();
        m_scaledSize = target;
        m_scaledRows = rows;
    }
    painter.drawImage(leftMargin, topMargin, m_scaled);
}

void ScanArea::paintLiveLines(QPainter &painter)
{
    const LiveScanPicture::Layout layout = liveLayout();
    if (!m_liveValid || m_live.layout() != layout || m_live.lineCount() > m_scanLines.size()) {
        m_live.reset(layout, m_linePalette);
        m_liveValid = true;
    }
    for (qsizetype i = m_live.lineCount(); i < m_scanLines.size(); ++i)
        m_live.addLine(m_scanLines.at(i));

    const QRect drawn = m_live.drawnRect();
    if (!drawn.isEmpty())
        painter.drawImage(drawn.topLeft(), m_live.image(), drawn);
    if (m_live.lastX() != leftMargin) {
        painter.setPen(QPen(Qt::red, 1));
        painter.drawLine(m_live.lastX() + 1, topMargin, m_live.lastX() + 1, topMargin + plotHeight());
        painter.setPen(QPen());
    }
}

void ScanArea::paintLayers(QPainter &painter)
{
    const int lines = m_layers.lineCount();
    if (!m_layersShown || !image || lines == 0 || deepness <= 0 || plotHeight() <= 0)
        return;
    painter.save();
    painter.setClipRect(plotRect());
    painter.setRenderHint(QPainter::Antialiasing);
    // In black and white the picture stays free of colour: black dashes on white show
    // over the dark fat and the bright fascia alike.
    QList<QPen> pens{QPen(kLayerColor, 1.5)};
    if (blackWhite) {
        QPen dashes(Qt::black, 1.5);
        dashes.setDashPattern({3.0, 3.0});
        pens = {QPen(Qt::white, 1.5), dashes};
    }
    const double columnWidth = static_cast<double>(plotWidth()) / lines;
    const double pixelsPerSample = CalvimetroProtocol::mmPerSample * plotHeight() / deepness;
    // Each boundary is drawn in runs of lines where it was found; a gap is left open.
    for (const std::vector<int> *boundary : {&m_layers.fatTop, &m_layers.fatBottom}) {
        QPolygonF run;
        for (int line = 0; line <= lines; ++line) {
            if (line < lines && m_layers.found(line)) {
                run.append(QPointF(leftMargin + (line + 0.5) * columnWidth,
                                   topMargin + (*boundary)[size_t(line)] * pixelsPerSample));
                continue;
            }
            for (const QPen &pen : pens) {
                painter.setPen(pen);
                if (run.size() > 1)
                    painter.drawPolyline(run);
                else if (run.size() == 1)
                    painter.drawPoint(run.first());
            }
            run.clear();
        }
    }
    painter.restore();
}

void ScanArea::paintMeasurement(QPainter &painter)
{
    const QRect r = clippedMeasureRect();
    if (r.isEmpty())
        return;
    painter.save();
    painter.setPen(QPen(kMeasurePenColor, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r);
    painter.fillRect(r, kMeasureFillColor);
    painter.restore();
}

void ScanArea::paintCaption(QPainter &painter)
{
    painter.save();
    painter.setPen(kCaptionColor);
    QFont font = painter.font();
    font.setPointSize(8);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, width(), topMargin), Qt::AlignCenter, captionText());
    painter.restore();
}

void ScanArea::paintLoading(QPainter &painter)
{
    painter.save();
    painter.setPen(kLoadingColor);
    QFont font;
    font.setPointSize(17);
    painter.setFont(font);
    painter.drawText(plotRect(), Qt::AlignCenter, QStringLiteral("loading..."));
    painter.restore();
}

void ScanArea::paintMarks(QPainter &painter)
{
    if (analysis.linemarks.isEmpty())
        return;
    painter.save();
    QPen pen(kMarkColor);
    pen.setStyle(Qt::DashLine);
    pen.setWidth(2);
    painter.setPen(pen);
    const double span = (image && image->width() > 0) ? image->width() : kLineSpan;
    for (int mark : analysis.linemarks) {
        const int x = static_cast<int>(leftMargin + mark * plotWidth() / span);
        painter.drawLine(x, topMargin + 2, x, topMargin + plotHeight() - 2);
    }
    painter.restore();
}

bool ScanArea::saveJpg(const QString &path, int width, int height)
{
    saving = true;
    const QSize oldSize = size();
    const QSizePolicy oldPolicy = sizePolicy();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(width, height);
    followSize();
    // Rendered at exactly width x height pixels, whatever the screen's pixel ratio.
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(palette().color(backgroundRole()));
    render(&picture);
    saving = false;
    resize(oldSize);
    followSize();
    setSizePolicy(oldPolicy);
    update();

    QByteArray format = QFileInfo(path).suffix().toLatin1();
    if (format.isEmpty())
        format = "jpg";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, format.constData()) || !file.commit()) {
        qCDebug(lcScan).noquote() << "can't write picture" << path << file.errorString();
        return false;
    }
    return true;
}
