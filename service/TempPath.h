#pragma once

#include <string>

// A file or folder that is removed (recursively) when the object goes, unless
// release() handed it over. Made with mkstemp/mkdtemp, so the name is fresh.
class TempPath
{
public:
    enum class Kind { File, Folder };

    // Creates "<dir>/<prefix>XXXXXX"; valid() tells whether that worked.
    TempPath(const std::string &dir, const std::string &prefix, Kind kind);
    ~TempPath();
    TempPath(const TempPath &) = delete;
    TempPath &operator=(const TempPath &) = delete;

    bool valid() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    std::string m_path;
};
