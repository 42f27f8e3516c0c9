// calvestra-measure: the automatic fat-layer readings of scan files, one JSON object per
// line on standard output, for batch work and research.
//
//   calvestra-measure FILE.d2d...
//   calvestra-measure --summary FILE.d2d...     without the thickness of every line
//
// Each line holds the file, its number of scan lines, the share of lines where the fat
// boundary was found, the mean, minimum, maximum and standard deviation of the thickness
// in mm over those lines (absent when none was found) and, unless --summary, the
// thickness of every line (null where none was found). A file that cannot be read gives
// {"file": ..., "error": ...} and makes the exit status 1.

#include "device/VXCommThread.h"
#include "scan/LayerReading.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cmath>

namespace {

double rounded(double mm)
{
    return std::round(mm * 100.0) / 100.0;
}

QJsonObject measureFile(const QString &path, bool perLine)
{
    QJsonObject result;
    result.insert(QStringLiteral("file"), path);
    VXCommThread holder(false);
    if (!holder.loadFromFile(path)) {
        result.insert(QStringLiteral("error"), QStringLiteral("not a readable scan file"));
        return result;
    }
    // Nothing writes into a loaded scan: its samples are always there to read.
    const LayerTrace trace = measureScanLayers(holder).value_or(LayerTrace());
    const LayerSummary summary = summarizeLayers(trace, 0, trace.lineCount() - 1);
    result.insert(QStringLiteral("lines"), trace.lineCount());
    result.insert(QStringLiteral("found"), std::round(summary.foundFraction() * 1000.0) / 1000.0);
    if (summary.hasValue()) {
        result.insert(QStringLiteral("mean_mm"), rounded(summary.meanMm));
        result.insert(QStringLiteral("min_mm"), rounded(summary.minMm));
        result.insert(QStringLiteral("max_mm"), rounded(summary.maxMm));
        result.insert(QStringLiteral("sd_mm"), rounded(summary.sdMm));
    }
    if (perLine) {
        QJsonArray lines;
        for (int line = 0; line < trace.lineCount(); ++line) {
            const double mm = trace.thicknessMm(line);
            lines.append(mm < 0.0 ? QJsonValue() : QJsonValue(rounded(mm)));
        }
        result.insert(QStringLiteral("thickness_mm"), lines);
    }
    return result;
}

}  // namespace

int main(int argc, char *argv[])
{
    // Standard output carries the readings; the scan loader's debug lines stay out of it.
    qputenv("QT_LOGGING_RULES", "calvestra.*.debug=false");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("calvestra-measure"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the automatic fat-layer readings of scan files (.d2d) as JSON lines."));
    parser.addHelpOption();
    const QCommandLineOption summaryOption(QStringList{QStringLiteral("s"), QStringLiteral("summary")},
                                           QStringLiteral("Leave out the thickness of every line."));
    parser.addOption(summaryOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Scan files to measure."),
                                 QStringLiteral("FILE.d2d..."));
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        QTextStream(stderr) << parser.helpText();
        return 2;
    }
    QTextStream out(stdout);
    int status = 0;
    for (const QString &path : files) {
        const QJsonObject result = measureFile(path, !parser.isSet(summaryOption));
        if (result.contains(QStringLiteral("error")))
            status = 1;
        out << QJsonDocument(result).toJson(QJsonDocument::Compact) << '\n';
        out.flush();
    }
    return status;
}
