#include "device/PhantomSweep.h"

#include "device/CalvimetroProtocol.h"

#include <array>
#include <cstring>

using namespace CalvimetroProtocol;

PhantomSweep renderPhantom(const PhantomRecipe &recipe)
{
    CalvimetroModel model;
    model.setProfile(recipe.profile);
    const int offset = model.lineOffset();
    const double deepest = (scanRealMaxIndex - 1) * mmPerSample;

    PhantomSweep sweep;
    sweep.name = recipe.name;
    sweep.lines = recipe.lines;
    sweep.samples.resize(size_t(recipe.lines) * scanRealMaxIndex);
    sweep.fatTopMm.assign(size_t(recipe.lines), -1.0);
    sweep.fatBottomMm.assign(size_t(recipe.lines), -1.0);
    std::array<uint8_t, blockSize> block;
    for (int line = 0; line < recipe.lines; ++line) {
        model.renderScanBlock(block.data(), recipe.gain, line);
        std::memcpy(sweep.samples.data() + size_t(line) * scanRealMaxIndex, block.data() + offset, scanRealMaxIndex);
        if (!model.touchesSkin(line))
            continue;
        sweep.fatTopMm[size_t(line)] = model.fatTopMm();
        if (model.fatBottomMm(line) < deepest)
            sweep.fatBottomMm[size_t(line)] = model.fatBottomMm(line);
    }
    return sweep;
}

std::vector<PhantomRecipe> standardPhantoms()
{
    std::vector<PhantomRecipe> set;
    auto add = [&set](const char *name, auto change, int gain = 160) {
        PhantomRecipe recipe;
        recipe.name = name;
        recipe.gain = gain;
        recipe.profile.seed += set.size();  // different speckle in every sweep
        change(recipe.profile);
        set.push_back(recipe);
    };
    add("default", [](CalvimetroProfile &) {});
    add("thin 2 mm", [](CalvimetroProfile &p) { p.fatMm = 2.0; p.fatSwingMm = 0.4; });
    add("thick 40 mm", [](CalvimetroProfile &p) { p.fatMm = 40.0; p.fatSwingMm = 3.0; p.muscleMm = 20.0; });
    add("wavy", [](CalvimetroProfile &p) { p.fatMm = 10.0; p.fatSwingMm = 4.0; p.fatPeriodBlocks = 160; });
    add("steep waves", [](CalvimetroProfile &p) { p.fatMm = 10.0; p.fatSwingMm = 5.0; p.fatPeriodBlocks = 80; });
    add("tilted", [](CalvimetroProfile &p) { p.fatMm = 5.0; p.fatSwingMm = 0.0; p.fatSlopeMm = 0.02; });
    add("double fascia", [](CalvimetroProfile &p) { p.fatMm = 9.0; p.fasciaMm = 0.7; p.fasciaGapMm = 0.7; });
    add("close double fascia", [](CalvimetroProfile &p) { p.fatMm = 16.0; p.fasciaMm = 0.5; p.fasciaGapMm = 0.3; });
    add("noisy", [](CalvimetroProfile &p) { p.fatMm = 14.0; p.noise = 40.0; });
    add("very noisy", [](CalvimetroProfile &p) { p.fatMm = 14.0; p.noise = 80.0; });
    add("low gain", [](CalvimetroProfile &p) { p.fatMm = 18.0; }, 50);
    add("high gain", [](CalvimetroProfile &p) { p.fatMm = 7.0; }, 220);
    add("thick, dim, noisy", [](CalvimetroProfile &p) { p.fatMm = 38.0; p.noise = 30.0; }, 50);
    add("thin, dim, noisy", [](CalvimetroProfile &p) { p.fatMm = 2.0; p.fatSwingMm = 0.4; p.noise = 40.0; }, 60);
    add("thick skin", [](CalvimetroProfile &p) { p.skinMm = 3.0; p.fatMm = 11.0; });
    add("lift-off", [](CalvimetroProfile &p) { p.fatMm = 12.0; p.liftOffBlock = 420; p.liftOffEndBlock = 470; });
    add("no fascia", [](CalvimetroProfile &p) { p.fatMm = 120.0; p.fatSwingMm = 0.0; });
    return set;
}
