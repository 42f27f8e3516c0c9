#include "exam/ReadingsCsv.h"

#include <QSaveFile>

namespace {

QString field(QString text)
{
    // A spreadsheet would take a leading = + - @ as a formula: such a text stays text.
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n'))
        || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString number(const std::optional<double> &mm)
{
    return mm ? QString::number(*mm, 'f', 2) : QString();
}

}  // namespace

QByteArray ReadingsCsv::text(const QString &client, const QList<ScanReading> &readings)
{
    QString out = QStringLiteral("client,date,zone,method,thickness_mm,mean_mm,min_mm,max_mm,sd_mm,file\r\n");
    for (const ScanReading &r : readings) {
        const QStringList row = {
            field(client),
            r.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            field(r.zone),
            r.rectangle ? QStringLiteral("rectangle") : QStringLiteral("automatic"),
            number(r.thicknessMm),
            number(r.meanMm),
            number(r.minMm),
            number(r.maxMm),
            number(r.sdMm),
            field(r.baseName + QStringLiteral(".json")),
        };
        out += row.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

bool ReadingsCsv::write(const QString &path, const QString &client, const QList<ScanReading> &readings, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = text(client, readings);
    const bool ok = file.open(QIODevice::WriteOnly) && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                    && file.write(bytes) == bytes.size() && file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}
