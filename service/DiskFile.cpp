#include "DiskFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

std::unique_ptr<DiskFile> DiskFile::open(const std::string &path, bool followLinks)
{
    OwnedFd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW))};
    struct stat st{};
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    return std::make_unique<DiskFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

bool DiskFile::read(std::uint64_t offset, std::size_t length, std::string &out)
{
    const size_t start = out.size();
    out.resize(start + length);
    ssize_t got = -1;
    do {
        got = ::pread(m_fd.fd, out.data() + start, length, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    out.resize(start + (got > 0 ? static_cast<size_t>(got) : 0));
    return got > 0;
}
