#include "cloud/VersionCheck.h"

#include <QStringList>

namespace {

int versionPart(const QStringList &parts, int index)
{
    if (index >= parts.size())
        return 0;
    bool ok = false;
    // An update file written with CRLF line ends leaves a "\r" behind the last part.
    const int value = parts.at(index).trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

}  // namespace

bool isVersionGreater(const QString &a, const QString &b)
{
    const QStringList left = a.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const QStringList right = b.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    for (int i = 0; i < 3; ++i) {
        const int x = versionPart(left, i);
        const int y = versionPart(right, i);
        if (x > y)
            return false;
        if (x < y)
            return true;
    }
    return false;
}
