#pragma once

// Geometry of a calvimetro scan as the drawing code sees it.
namespace ScanGeometry {

// Samples in a full scan line (depth 0 at index 0).
constexpr int samplesPerLine = 1577;
// Samples in a live display line: every second sample of a full line.
constexpr int liveSamplesPerLine = 789;
// A scan stops by itself after this many lines; the live drawing spreads this many
// lines over the plot width.
constexpr int maxScanLines = 903;
// Millimetres of depth per sample of a full line.
constexpr double mmPerSample = 0.0634375;
// Depth covered by a full (and by a live) line, in millimetres.
constexpr int fullDepthMm = 100;

}  // namespace ScanGeometry
