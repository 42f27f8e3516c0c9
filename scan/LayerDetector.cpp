#include "scan/LayerDetector.h"

#include "device/CalvimetroProtocol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float kNone = -1e30f;
constexpr int kLogSteps = 16;  // table entries per echo level

// ln(level + 2) by table: the logarithm of every averaged sample would cost more than
// the whole search. The offset keeps silent samples (zero) finite.
struct LogTable
{
    std::array<float, 255 * kLogSteps + 2> values{};

    LogTable()
    {
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = float(std::log(double(i) / kLogSteps + 2.0));
    }
    // `scaled` is an echo level times kLogSteps.
    float operator()(float scaled) const { return values[size_t(scaled + 0.5f)]; }
};

const LogTable &logTable()
{
    static const LogTable table;
    return table;
}

int rowsFor(double mm, double rowMm)
{
    return std::max(1, int(std::lround(mm / rowMm)));
}

// One step of the path search: best[j] = max over i of value[i] - penalty * |i - j|, and
// from[j] the i that gives it. Two sweeps give the exact maximum for a cost that grows
// linearly with the step.
void spread(const float *value, int n, float penalty, float *best, int16_t *from)
{
    best[0] = value[0];
    from[0] = 0;
    for (int j = 1; j < n; ++j) {
        const float carried = best[j - 1] - penalty;
        const bool carry = carried > value[j];
        best[j] = carry ? carried : value[j];
        from[j] = carry ? from[j - 1] : int16_t(j);
    }
    for (int j = n - 2; j >= 0; --j) {
        const float carried = best[j + 1] - penalty;
        const bool carry = carried > best[j];
        best[j] = carry ? carried : best[j];
        from[j] = carry ? from[j + 1] : from[j];
    }
}

// The path through rows lo[l]..hi[l] of every line l with the highest total score less
// the step penalties; -1 for lines with no allowed row.
template <typename Score>
std::vector<int> bestPath(int lines, float penalty, const std::vector<int> &lo, const std::vector<int> &hi, Score score)
{
    std::vector<int> path(size_t(lines), -1);
    // Only the rows some line allows take part.
    const int first = *std::min_element(lo.begin(), lo.end());
    const int last = *std::max_element(hi.begin(), hi.end());
    const int rows = last - first + 1;
    if (rows <= 0)
        return path;
    std::vector<float> value(size_t(rows), kNone);
    std::vector<float> reach(static_cast<size_t>(rows));
    std::vector<int16_t> from(size_t(lines) * size_t(rows));
    for (int l = 0; l < lines; ++l) {
        if (l > 0)
            spread(value.data(), rows, penalty, reach.data(), from.data() + size_t(l) * rows);
        std::fill(value.begin(), value.end(), kNone);
        float top = kNone;
        for (int r = std::max(lo[size_t(l)], first); r <= hi[size_t(l)]; ++r) {
            const float v = score(l, r) + (l > 0 ? reach[size_t(r - first)] : 0.0f);
            value[size_t(r - first)] = v;
            top = std::max(top, v);
        }
        // Totals stay small, so that float keeps its precision over a long scan.
        if (top > kNone / 2)
            for (float &v : value)
                v -= top;
    }
    int r = int(std::max_element(value.begin(), value.end()) - value.begin());
    for (int l = lines - 1; l >= 0; --l) {
        if (lo[size_t(l)] <= hi[size_t(l)])
            path[size_t(l)] = first + r;
        if (l > 0)
            r = from[size_t(l) * rows + r];
    }
    return path;
}

// The lines of one stretch of contact with the skin, averaged over neighbouring lines
// and turned into log levels by depth row.
class Segment
{
public:
    // `rowSums`: per line of the scan, the sum of the samples of each depth row.
    Segment(const LayerDetector::Settings &settings, const uint8_t *samples, const uint16_t *rowSums, int rows,
            int first, int lines, int stride)
        : m_settings(settings)
        , m_samples(samples + size_t(first) * stride)
        , m_first(first)
        , m_lines(lines)
        , m_stride(stride)
        , m_rowSamples(settings.rowSamples)
        , m_rows(rows)
        , m_prefix(size_t(lines) * (rows + 1))
    {
        const LogTable &table = logTable();
        const int radius = std::max(0, settings.lineRadius);
        const uint16_t *lineSums = rowSums + size_t(first) * rows;
        std::vector<int> sums(size_t(rows), 0);
        int inFirst = 0;
        int inLast = -1;
        for (int l = 0; l < lines; ++l) {
            const int want = std::min(lines - 1, l + radius);
            while (inLast < want) {
                const uint16_t *in = lineSums + size_t(++inLast) * rows;
                for (int r = 0; r < rows; ++r)
                    sums[size_t(r)] += in[r];
            }
            while (inFirst < l - radius) {
                const uint16_t *out = lineSums + size_t(inFirst++) * rows;
                for (int r = 0; r < rows; ++r)
                    sums[size_t(r)] -= out[r];
            }
            const float scale = float(kLogSteps) / float((inLast - inFirst + 1) * m_rowSamples);
            float *prefix = m_prefix.data() + size_t(l) * (rows + 1);
            prefix[0] = 0.0f;
            for (int r = 0; r < rows; ++r)
                prefix[r + 1] = prefix[r] + table(float(sums[size_t(r)]) * scale);
        }
    }

    void measure(LayerTrace &trace) const
    {
        const double rowMm = m_rowSamples * CalvimetroProtocol::mmPerSample;
        const int bright = rowsFor(m_settings.brightWindowMm, rowMm);
        const int dark = rowsFor(m_settings.darkWindowMm, rowMm);
        const int minFat = rowsFor(m_settings.minFatMm, rowMm);
        const float penalty = float(m_settings.stepPenalty);
        const float minContrast = float(m_settings.minContrast);

        // The bottom of the skin: bright above, dark below.
        auto skinEdge = [&](int l, int r) { return mean(l, std::max(0, r - bright), r) - mean(l, r, r + dark); };
        std::vector<int> lo(size_t(m_lines), 2);
        std::vector<int> hi(size_t(m_lines), std::min(rowsFor(m_settings.skinMaxMm, rowMm), m_rows - dark - minFat - bright));
        const std::vector<int> top = bestPath(m_lines, penalty, lo, hi, skinEdge);

        // The top of the fascia: dark above (down to the skin at most), bright below.
        auto fasciaEdge = [&](int l, int r) {
            return mean(l, r, r + bright) - mean(l, std::max(top[size_t(l)], r - dark), r);
        };
        for (int l = 0; l < m_lines; ++l) {
            lo[size_t(l)] = top[size_t(l)] < 0 ? m_rows : top[size_t(l)] + minFat;
            hi[size_t(l)] = m_rows - bright;
        }
        const std::vector<int> bottom = bestPath(m_lines, penalty, lo, hi, fasciaEdge);

        // A fascia stands out from the fat about as much as the skin does, whatever the
        // gain and the noise; a septum in fat that goes on below the scan does not.
        std::vector<float> skinContrast(size_t(m_lines), 0.0f);
        for (int l = 0; l < m_lines; ++l)
            skinContrast[size_t(l)] = top[size_t(l)] < 0 ? 0.0f : skinEdge(l, top[size_t(l)]);
        std::vector<float> sorted = skinContrast;
        std::nth_element(sorted.begin(), sorted.begin() + m_lines / 2, sorted.end());
        const float minFasciaContrast = std::max(minContrast, float(m_settings.fasciaToSkin) * sorted[size_t(m_lines / 2)]);

        const int brightSamples = bright * m_rowSamples;
        const int darkSamples = dark * m_rowSamples;
        for (int l = 0; l < m_lines; ++l) {
            const int t = top[size_t(l)];
            const int b = bottom[size_t(l)];
            if (t < 0 || b < 0 || skinContrast[size_t(l)] < minContrast || fasciaEdge(l, b) < minFasciaContrast)
                continue;
            const int fatTop = refine(l, t * m_rowSamples, brightSamples, darkSamples, false, 0);
            const int fatBottom = refine(l, b * m_rowSamples, darkSamples, brightSamples, true, fatTop);
            trace.fatTop[size_t(m_first + l)] = fatTop;
            trace.fatBottom[size_t(m_first + l)] = fatBottom;
        }
    }

private:
    // Mean log level of rows r0..r1 - 1 of line l.
    float mean(int l, int r0, int r1) const
    {
        const float *prefix = m_prefix.data() + size_t(l) * (m_rows + 1);
        return (prefix[r1] - prefix[r0]) / float(r1 - r0);
    }

    // Places a boundary found on the rows at the sample with the strongest edge nearby,
    // from fewer neighbouring lines so that a sloping boundary is not smeared.
    int refine(int l, int coarse, int above, int below, bool rising, int floor) const
    {
        const int reach = 2 * m_rowSamples + 1;
        const int from = std::max(0, coarse - reach - above);
        const int to = std::min(m_stride, coarse + reach + below);
        const int l0 = std::max(0, l - m_settings.refineRadius);
        const int l1 = std::min(m_lines - 1, l + m_settings.refineRadius);
        const float scale = float(kLogSteps) / float(l1 - l0 + 1);
        const LogTable &table = logTable();
        std::array<float, 512> prefix;
        if (to - from + 1 > int(prefix.size()))
            return coarse;
        prefix[0] = 0.0f;
        for (int k = from; k < to; ++k) {
            int sum = 0;
            for (int line = l0; line <= l1; ++line)
                sum += m_samples[size_t(line) * m_stride + k];
            prefix[size_t(k - from + 1)] = prefix[size_t(k - from)] + table(float(sum) * scale);
        }
        auto level = [&](int a, int b) { return (prefix[size_t(b - from)] - prefix[size_t(a - from)]) / float(b - a); };
        int best = coarse;
        float bestEdge = kNone;
        for (int s = std::max(coarse - reach, from + 1); s <= std::min(coarse + reach, to - 1); ++s) {
            const int a = std::max({from, floor, s - above});
            const int b = std::min(to, s + below);
            if (a >= s || b <= s)
                continue;
            const float edge = rising ? level(s, b) - level(a, s) : level(a, s) - level(s, b);
            if (edge > bestEdge) {
                bestEdge = edge;
                best = s;
            }
        }
        return best;
    }

    const LayerDetector::Settings &m_settings;
    const uint8_t *m_samples;
    int m_first;
    int m_lines;
    int m_stride;
    int m_rowSamples;
    int m_rows;
    std::vector<float> m_prefix;  // per line: running sums of the log levels by row
};

}  // namespace

LayerDetector::LayerDetector(const Settings &settings)
    : m_settings(settings)
{
}

LayerTrace LayerDetector::measure(const uint8_t *samples, int lines, int samplesPerLine) const
{
    LayerTrace trace;
    trace.fatTop.assign(size_t(std::max(lines, 0)), -1);
    trace.fatBottom.assign(size_t(std::max(lines, 0)), -1);
    const int rowSamples = std::clamp(m_settings.rowSamples, 1, 16);
    const int rows = samplesPerLine / rowSamples;
    if (!samples || lines <= 0 || rows < 64)
        return trace;
    Settings settings = m_settings;
    settings.rowSamples = rowSamples;

    // Each line's samples summed by depth row, once: the averaging over lines and the
    // contact test work on these.
    std::vector<uint16_t> rowSums(size_t(lines) * rows);
    std::vector<char> contact(static_cast<size_t>(lines));
    const double rowMm = rowSamples * CalvimetroProtocol::mmPerSample;
    const int surfaceRows = rowsFor(m_settings.surfaceMm, rowMm);
    const int floorRows = rowsFor(2.0, rowMm);
    for (int l = 0; l < lines; ++l) {
        const uint8_t *line = samples + size_t(l) * samplesPerLine;
        uint16_t *sums = rowSums.data() + size_t(l) * rows;
        for (int r = 0; r < rows; ++r) {
            int sum = 0;
            for (int k = 0; k < rowSamples; ++k)
                sum += line[r * rowSamples + k];
            sums[r] = uint16_t(sum);
        }
        // The skin's entry echo stands well above the darkest part of the line (the
        // fat, the shadow of the bone, the noise); off the skin it does not.
        long near = 0;
        for (int r = 0; r < surfaceRows; ++r)
            near += sums[r];
        long darkest = std::numeric_limits<long>::max();
        for (int r = surfaceRows; r + floorRows <= rows; r += floorRows) {
            long block = 0;
            for (int k = 0; k < floorRows; ++k)
                block += sums[r + k];
            darkest = std::min(darkest, block);
        }
        const double surfaceLevel = double(near) / (surfaceRows * rowSamples);
        const double floorLevel = darkest == std::numeric_limits<long>::max() ? 0.0 : double(darkest) / (floorRows * rowSamples);
        contact[size_t(l)] = surfaceLevel >= m_settings.minSurfaceLevel && surfaceLevel >= 2.0 * floorLevel;
    }

    // Each stretch of lines on the skin is searched on its own: a path must not run
    // through the lines where the probe was lifted.
    int first = 0;
    while (first < lines) {
        if (!contact[size_t(first)]) {
            ++first;
            continue;
        }
        int end = first + 1;
        while (end < lines && contact[size_t(end)])
            ++end;
        Segment(settings, samples, rowSums.data(), rows, first, end - first, samplesPerLine).measure(trace);
        first = end;
    }
    return trace;
}
