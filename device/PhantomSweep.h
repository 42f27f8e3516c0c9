#pragma once

#include "device/CalvimetroModel.h"

#include <cstdint>
#include <string>
#include <vector>

// A sweep of the simulated calvimetro rendered straight from its model, as the
// acquisition would store it, together with the tissue under every line. It is the
// ground truth the automatic layer measurement is judged against (tests, bench_layers).
struct PhantomRecipe
{
    std::string name;
    CalvimetroProfile profile;
    int gain = 160;  // the gain byte, as the intensity slider sends it
    int lines = 903;
};

struct PhantomSweep
{
    std::string name;
    int lines = 0;
    // lines x scanRealMaxIndex samples, line after line, sample 0 at the skin surface.
    std::vector<uint8_t> samples;
    // Per line, in mm from the skin surface: the bottom of the skin (top of the fat) and
    // the top of the fascia (bottom of the fat); negative where the line shows no such
    // boundary (the probe is off the skin, or the fat goes on below the deepest sample).
    std::vector<double> fatTopMm;
    std::vector<double> fatBottomMm;

    bool hasBoundary(int line) const { return fatBottomMm[size_t(line)] >= 0.0; }
    bool touchesSkin(int line) const { return fatTopMm[size_t(line)] >= 0.0; }
    double thicknessMm(int line) const { return fatBottomMm[size_t(line)] - fatTopMm[size_t(line)]; }
};

PhantomSweep renderPhantom(const PhantomRecipe &recipe);

// The sweeps the measurement is judged on: thin (2 mm) to thick (40 mm) fat, wavy and
// tilted boundaries, double fascia lines, noise, low and high gain and both together, a
// thick skin, a probe lifted off for a moment, and fat deeper than a line reaches.
std::vector<PhantomRecipe> standardPhantoms();
