#include "OwnedFd.h"

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
