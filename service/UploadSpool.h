#pragma once

#include "OwnedFd.h"
#include "TempPath.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Where an upload's archive waits while it comes in: in memory when its request is
// small enough and the uploads held in memory together stay within a budget, in a
// private temporary file otherwise. Held in memory it is not written to the disk
// twice (received, then unpacked).
class UploadSpool
{
public:
    static constexpr std::uint64_t memoryLimit = 64ull << 20;   // one request
    static constexpr std::uint64_t memoryBudget = 512ull << 20; // all requests together

    UploadSpool() = default;
    ~UploadSpool();
    UploadSpool(const UploadSpool &) = delete;
    UploadSpool &operator=(const UploadSpool &) = delete;

    // expectedBytes bounds what the archive may hold (the request's length), 0 when
    // unknown; in memory only a known length is taken, and it is reserved at once.
    bool open(const std::string &tempDir, std::uint64_t expectedBytes);
    bool append(const char *data, size_t size);
    // The file is closed; what came in is read through bytes() or path().
    void finish() { m_fd = {}; }

    bool inMemory() const { return !m_file; }
    const std::string &bytes() const { return m_bytes; }
    const std::string &path() const { return m_file->path(); }

private:
    std::string m_bytes;
    std::uint64_t m_reserved = 0;
    std::unique_ptr<TempPath> m_file;
    OwnedFd m_fd;
    static std::atomic<std::uint64_t> s_held;
};
