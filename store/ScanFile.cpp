#include "store/ScanFile.h"

#include "store/ScanFileNames.h"

#include <QFile>

ScanFile ScanFile::createFromFilePath(const QString &path)
{
    ScanFile scan;
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    // The zone ends nine characters before the "--": one "-" and the eight date digits.
    const int doubleDash = name.indexOf(QStringLiteral("--"));
    scan.zone = doubleDash >= 9 ? name.left(doubleDash - 9) : QString();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    scan.baseName = dot >= 0 ? name.left(dot) : name;
    scan.dateTime = parseFileDateTime(name);
    scan.jpgFile = path;
    scan.d2dFile = QString(path).replace(QStringLiteral(".jpg"), QStringLiteral(".d2d"));
    scan.jsonFile = QString(scan.d2dFile).replace(QStringLiteral(".d2d"), QStringLiteral(".json"));
    if (!QFile::exists(scan.jsonFile))
        scan.jsonFile.clear();
    return scan;
}
