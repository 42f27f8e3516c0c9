#pragma once

#include "scan/LayerTrace.h"

#include <cstdint>

// Finds the fat layer in every line of a scan: where the bright skin gives way to the
// dark fat, and where the fat gives way to the bright fascia. An edge profile along the
// depth of each line scores every depth; a path through the lines, found by dynamic
// programming, keeps each boundary continuous from line to line, so speckle, septa in
// the fat, a second fascia line or the bone cannot pull single lines away. Lines whose
// surface shows no echo (the probe is off the skin) get no reading, and neither do lines
// whose boundaries lack contrast.
//
// Edges are differences of the logarithm of the echo, i.e. ratios of brightness, so the
// gain of the scan does not change them. Plain C++ on the samples; no Qt.
class LayerDetector
{
public:
    struct Settings
    {
        int rowSamples = 4;             // samples per depth row of the path search
        int lineRadius = 2;             // lines averaged on each side against speckle
        int refineRadius = 1;           // the same when the boundary is placed sample by sample
        double darkWindowMm = 1.0;      // the fat side of an edge
        double brightWindowMm = 0.5;    // the skin or fascia side of an edge
        double skinMaxMm = 8.0;         // the skin ends above this depth
        double minFatMm = 0.4;
        double stepPenalty = 0.12;      // cost of one row of change from line to line
        double minContrast = 0.4;       // log of the brightness ratio across an edge
        double fasciaToSkin = 0.5;      // least contrast of the fascia against the skin's
        double surfaceMm = 1.0;         // depth that must echo for the probe to touch the skin
        double minSurfaceLevel = 12.0;
    };

    LayerDetector() = default;
    explicit LayerDetector(const Settings &settings);

    // `lines` lines of `samplesPerLine` samples each, line after line, sample 0 at the
    // skin surface, 0.0634375 mm apart.
    LayerTrace measure(const uint8_t *samples, int lines, int samplesPerLine) const;

private:
    Settings m_settings;
};
