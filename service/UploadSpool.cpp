#include "UploadSpool.h"

#include <fcntl.h>

std::atomic<std::uint64_t> UploadSpool::s_held{0};

UploadSpool::~UploadSpool()
{
    s_held -= m_reserved;
}

bool UploadSpool::open(const std::string &tempDir, std::uint64_t expectedBytes)
{
    if (expectedBytes > 0 && expectedBytes <= memoryLimit) {
        std::uint64_t held = s_held.load();
        while (held + expectedBytes <= memoryBudget) {
            if (s_held.compare_exchange_weak(held, held + expectedBytes)) {
                m_reserved = expectedBytes;
                m_bytes.reserve(static_cast<size_t>(expectedBytes));
                return true;
            }
        }
    }
    m_file = std::make_unique<TempPath>(tempDir, "upload-", TempPath::Kind::File);
    m_fd = OwnedFd{m_file->valid() ? ::open(m_file->path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1};
    return m_fd.fd >= 0;
}

bool UploadSpool::append(const char *data, size_t size)
{
    if (m_file)
        return m_fd.writeAll(data, size);
    // The body cannot hold more than the request's length, what was reserved.
    if (m_bytes.size() + size > m_reserved)
        return false;
    m_bytes.append(data, size);
    return true;
}
