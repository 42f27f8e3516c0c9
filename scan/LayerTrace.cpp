#include "scan/LayerTrace.h"

#include "device/CalvimetroProtocol.h"

#include <algorithm>
#include <cmath>

bool LayerTrace::found(int line) const
{
    return line >= 0 && line < lineCount() && fatTop[size_t(line)] >= 0 && fatBottom[size_t(line)] > fatTop[size_t(line)];
}

double LayerTrace::thicknessMm(int line) const
{
    if (!found(line))
        return -1.0;
    return (fatBottom[size_t(line)] - fatTop[size_t(line)]) * CalvimetroProtocol::mmPerSample;
}

LayerSummary summarizeLayers(const LayerTrace &trace, int first, int last)
{
    LayerSummary summary;
    first = std::max(first, 0);
    last = std::min(last, trace.lineCount() - 1);
    if (last < first)
        return summary;
    summary.lines = last - first + 1;
    double sum = 0.0;
    double squares = 0.0;
    for (int line = first; line <= last; ++line) {
        const double mm = trace.thicknessMm(line);
        if (mm < 0.0)
            continue;
        if (summary.found == 0 || mm < summary.minMm)
            summary.minMm = mm;
        if (summary.found == 0 || mm > summary.maxMm)
            summary.maxMm = mm;
        ++summary.found;
        sum += mm;
        squares += mm * mm;
    }
    if (summary.found > 0) {
        summary.meanMm = sum / summary.found;
        summary.sdMm = std::sqrt(std::max(0.0, squares / summary.found - summary.meanMm * summary.meanMm));
    }
    return summary;
}
