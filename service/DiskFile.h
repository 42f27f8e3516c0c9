#pragma once

#include "AccountStore.h"
#include "OwnedFd.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// A file of the local disk handed out in pieces. Read through the descriptor opened
// first, so a file replaced by name meanwhile is read whole, as it was.
class DiskFile : public StoredFile
{
public:
    // The regular file at path, or null; without followLinks a symbolic link is refused.
    static std::unique_ptr<DiskFile> open(const std::string &path, bool followLinks);

    DiskFile(OwnedFd fd, std::uint64_t size) : m_fd(std::move(fd)), m_size(size) {}
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, std::size_t length, std::string &out) override;

private:
    OwnedFd m_fd;
    std::uint64_t m_size;
};
