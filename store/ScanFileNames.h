#pragma once

#include "store/ParsedScanName.h"

#include <QDateTime>
#include <QString>

// Reading scan file names (zone-yyyyMMdd--hh-mm-ss.ext). Names that do not follow the
// pattern give invalid dates and times, never a failure.

// Splits a file name or path into its parts; the date and time stay invalid unless the
// base name has exactly six "-" parts.
ParsedScanName parseVQFile(const QString &pathOrName);

// The acquisition date and time of a file name with a three-letter extension.
QDateTime parseFileDateTime(const QString &name);

// The same file in the same folder with another extension (given without its dot).
QString changeFileExtension(const QString &path, const QString &ext);
