#pragma once

#include "device/CalvimetroModel.h"
#include "device/CalvimetroProtocol.h"
#include "device/VXCommThread.h"
#include "scan/ScanArea.h"

#include <QList>
#include <QString>

#include <vector>

// One sweep of the simulated probe over `lines` positions, written without the
// acquisition thread but as the scan widget saves a scan: folder + base with .d2d, .jpg
// (500 x 400) and, with marks, .json. For pictures of earlier exam days.
inline void writeSimulatedSweep(const QString &folder, const QString &base, double fatMm, int lines,
                                const QList<int> &marks)
{
    CalvimetroModel model;
    CalvimetroProfile profile;
    profile.fatMm = fatMm;
    profile.seed = 0x5ca1ab1eULL + quint64(fatMm * 10);
    model.setProfile(profile);
    VXCommThread holder(false);
    std::vector<uint8_t> block(CalvimetroProtocol::blockSize);
    const int offset = model.lineOffset();
    for (int l = 0; l < lines; ++l) {
        model.renderScanBlock(block.data(), 160, l);
        for (int j = 0; j < CalvimetroProtocol::scanRealMaxIndex; ++j)
            holder.scanData.append(block[size_t(offset + j)]);
    }
    holder.lineCount = lines;
    holder.saveToFile(folder + base + QStringLiteral(".d2d"));
    ScanArea area;
    area.image = holder.getScanImage();
    area.analysis.linemarks = marks;
    area.saveJpg(folder + base + QStringLiteral(".jpg"), 500, 400);
    if (!marks.isEmpty())
        area.saveAnalysisJson(folder + base + QStringLiteral(".json"));
}
