#include "OwnedFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

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

void syncPath(const std::string &path, int openFlags)
{
    const OwnedFd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | openFlags)};
    const bool folder = (openFlags & O_DIRECTORY) != 0;
    if (file.fd < 0 || (folder ? ::fsync(file.fd) : ::fdatasync(file.fd)) != 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
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
