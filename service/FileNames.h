#pragma once

#include <string>

// Rules for the names of stored files. Every name that reaches the disk has passed
// isSafeFileName, so it can never leave the folder it is joined to.
namespace FileNames {

// A bare file name: non-empty, at most 255 bytes, valid UTF-8, no "/" or "\",
// no control characters, not starting with "." (so neither "." nor ".." nor hidden).
bool isSafeFileName(const std::string &name);

bool isValidUtf8(const std::string &text);

// The name up to its last "." ("a.b.jpg" gives "a.b"; a name without "." is kept).
std::string completeBaseName(const std::string &name);

// Lower-case extension without the dot ("" when there is none).
std::string extension(const std::string &name);

// Orders names by their bytes with ASCII letter case ignored.
bool lessIgnoringCase(const std::string &a, const std::string &b);

}  // namespace FileNames
