#include "TempPath.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

TempPath::TempPath(const std::string &dir, const std::string &prefix, Kind kind)
{
    std::string pattern = dir + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (kind == Kind::File) {
        const int fd = ::mkstemp(buffer.data());
        if (fd < 0)
            return;
        ::close(fd);
    } else if (!::mkdtemp(buffer.data())) {
        return;
    }
    m_path = buffer.data();
}

TempPath::~TempPath()
{
    if (m_path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
