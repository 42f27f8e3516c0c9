#include "UploadSpool.h"

#include <fcntl.h>

std::atomic<std::uint64_t> UploadSpool::s_held{0};

UploadSpool::~UploadSpool()
{
    s_held -= m_reserved;
}

bool UploadSpool::open(const std::string &tempDir, std::uint64_t expectedBytes)
{
    m_tempDir = tempDir;
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
    return toFile();
}

bool UploadSpool::append(const char *data, size_t size)
{
    if (!m_file) {
        if (m_bytes.size() + size <= m_reserved) {
            m_bytes.append(data, size);
            return true;
        }
        // More than the request said it holds: the rest goes where any size fits.
        if (!toFile())
            return false;
    }
    return m_fd.writeAll(data, size);
}

bool UploadSpool::toFile()
{
    m_file = std::make_unique<TempPath>(m_tempDir, "upload-", TempPath::Kind::File);
    m_fd = OwnedFd{m_file->valid() ? ::open(m_file->path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1};
    if (m_fd.fd < 0)
        return false;
    const bool ok = m_fd.writeAll(m_bytes.data(), m_bytes.size());
    std::string().swap(m_bytes);
    s_held -= m_reserved;
    m_reserved = 0;
    return ok;
}
