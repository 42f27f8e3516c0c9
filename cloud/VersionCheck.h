#pragma once

#include <QString>

// True when version b is newer than version a. Both are dotted decimal numbers such
// as "0.6.4"; only the first three parts count, and a part that is missing, not a
// number or too large for 32 bits reads as 0 (so "0.6" equals "0.6.0").
bool isVersionGreater(const QString &a, const QString &b);
