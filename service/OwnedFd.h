#pragma once

#include <cstddef>
#include <string>

// A file descriptor closed when the object goes away, and the write that loops until
// every byte is out (short writes and interruptions included).
struct OwnedFd
{
    int fd = -1;

    OwnedFd() = default;
    explicit OwnedFd(int descriptor) : fd(descriptor) {}
    ~OwnedFd();
    OwnedFd(const OwnedFd &) = delete;
    OwnedFd &operator=(const OwnedFd &) = delete;
    OwnedFd(OwnedFd &&other) noexcept : fd(other.fd) { other.fd = -1; }
    OwnedFd &operator=(OwnedFd &&other) noexcept;

    // False on the first error other than an interruption.
    bool writeAll(const char *data, size_t size) const;
};

// Opens path (with openFlags beside O_RDONLY) only to wait until it is on the disk: its
// data for a file (fdatasync), its names for a folder (O_DIRECTORY: fsync). Throws
// std::runtime_error ("cannot write <path>: <reason>") when it cannot.
void syncPath(const std::string &path, int openFlags);
