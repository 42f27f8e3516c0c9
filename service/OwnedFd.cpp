#include "OwnedFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

OwnedFd::~OwnedFd()
{
    if (fd >= 0)
        ::close(fd);
}

OwnedFd &OwnedFd::operator=(OwnedFd &&other) noexcept
{
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

bool syncPath(const std::string &path, int openFlags, bool folder)
{
    int saved = 0;
    {
        const OwnedFd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | openFlags)};
        if (file.fd >= 0 && (folder ? ::fsync(file.fd) : ::fdatasync(file.fd)) == 0)
            return true;
        saved = errno;
    }
    errno = saved;  // not what closing the descriptor left
    return false;
}

bool OwnedFd::writeAll(const char *data, size_t size) const
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
