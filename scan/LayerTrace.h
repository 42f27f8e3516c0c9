#pragma once

#include <vector>

// The fat layer found in each line of a scan: the sample at which the fat begins under
// the skin and the sample at which the fascia begins under the fat (sample 0 at the skin
// surface). -1 where the line shows no such boundary with confidence.
struct LayerTrace
{
    std::vector<int> fatTop;
    std::vector<int> fatBottom;

    int lineCount() const { return int(fatTop.size()); }
    bool found(int line) const;
    // Fat thickness of a line in mm; negative when the line has no reading.
    double thicknessMm(int line) const;
};

// The thickness over lines first..last (clipped to the scan): statistics of the lines
// with a reading, and how many lines that was.
struct LayerSummary
{
    int lines = 0;
    int found = 0;
    double meanMm = 0.0;
    double minMm = 0.0;
    double maxMm = 0.0;
    double sdMm = 0.0;

    bool hasValue() const { return found > 0; }
    double foundFraction() const { return lines > 0 ? double(found) / lines : 0.0; }
};

LayerSummary summarizeLayers(const LayerTrace &trace, int first, int last);
