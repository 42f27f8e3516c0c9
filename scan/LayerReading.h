#pragma once

#include "scan/LayerTrace.h"

#include <QJsonObject>

#include <optional>

class VXCommThread;

// A thickness reading of a scan as it is kept in the scan's analysis file: how it was
// taken, the lines it covers, the automatic thickness over them, the rectangle when the
// operator dragged one, and the boundaries found in every line.
struct LayerReading
{
    enum class Method { Automatic, Rectangle };

    Method method = Method::Automatic;
    int firstLine = 0;
    int lastLine = -1;
    LayerSummary summary;  // the automatic thickness over firstLine..lastLine
    // Rectangle only: its depth span, in mm from the skin surface.
    double rectTopMm = 0.0;
    double rectBottomMm = 0.0;
    LayerTrace trace;

    // Over the whole scan.
    static LayerReading automatic(const LayerTrace &trace);
    // Over the lines under a rectangle that spans topMm..bottomMm.
    static LayerReading rectangle(const LayerTrace &trace, int firstLine, int lastLine, double topMm,
                                  double bottomMm);

    // The number the reading stands for: the rectangle's height, or the mean automatic
    // thickness; none when the boundary was not found under the rectangle-less reading.
    std::optional<double> thicknessMm() const;

    QJsonObject toJson() const;
    // Nothing for an object that is not a reading this application wrote.
    static std::optional<LayerReading> fromJson(const QJsonObject &object);
};

// The automatic layers of the scan `scan` holds, over all its lines; none while a scan is
// being written into it.
std::optional<LayerTrace> measureScanLayers(const VXCommThread &scan);
