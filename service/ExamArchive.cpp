#include "ExamArchive.h"

#include "BackgroundWorkers.h"
#include "FileNames.h"
#include "OwnedFd.h"

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

std::string zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

struct ZipFileCloser
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

}  // namespace

ExamArchive::~ExamArchive()
{
    if (m_zip)
        zip_discard(m_zip);
}

bool ExamArchive::open(const std::string &path, std::string &error)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        error = "archive missing";
        return false;
    }
    if (st.st_size == 0)
        return true;

    int code = 0;
    m_zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!m_zip) {
        error = "invalid archive: " + zipErrorText(code);
        return false;
    }
    return readDirectory(error);
}

bool ExamArchive::openBytes(const std::string &bytes, std::string &error)
{
    if (bytes.empty())
        return true;
    zip_error_t failure;
    zip_error_init(&failure);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &failure);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &failure);
    if (!m_zip) {
        error = std::string("invalid archive: ") + zip_error_strerror(&failure);
        zip_error_fini(&failure);
        zip_source_free(source);  // the archive takes it over only once opened
        return false;
    }
    zip_error_fini(&failure);
    return readDirectory(error);
}

bool ExamArchive::readDirectory(std::string &error)
{
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > maxEntries) {
        error = "invalid archive: too many entries";
        return false;
    }

    std::map<std::string, size_t> position;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t zs;
        zip_stat_init(&zs);
        if (zip_stat_index(m_zip, index, 0, &zs) != 0 || !(zs.valid & ZIP_STAT_NAME) ||
            !(zs.valid & ZIP_STAT_SIZE)) {
            error = "invalid archive: unreadable entry";
            return false;
        }
        const std::string name = zs.name;
        if (!FileNames::isSafeFileName(name)) {
            error = "unsafe archive entry: " + name;
            return false;
        }
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(m_zip, index, 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            const mode_t mode = static_cast<mode_t>(attributes >> 16);
            if ((mode & S_IFMT) != 0 && !S_ISREG(mode)) {
                error = "unsafe archive entry (not a plain file): " + name;
                return false;
            }
        }
        if ((zs.valid & ZIP_STAT_ENCRYPTION_METHOD) && zs.encryption_method != ZIP_EM_NONE) {
            error = "encrypted archive entry: " + name;
            return false;
        }
        if ((zs.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(zs.comp_method, 0)) {
            error = "unsupported compression in entry: " + name;
            return false;
        }

        const Entry entry{name, zs.size, index};
        const auto found = position.find(name);
        if (found == position.end()) {
            position.emplace(name, m_entries.size());
            m_entries.push_back(entry);
        } else {
            m_entries[found->second] = entry;
        }
    }
    for (const Entry &entry : m_entries)
        m_totalSize += entry.size;
    return true;
}

bool ExamArchive::readEntry(const Entry &entry, const std::function<bool(const char *, size_t)> &sink,
                            std::string &error) const
{
    constexpr size_t chunk = 64 * 1024;
    const auto buffer = std::make_unique<char[]>(chunk);
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(m_zip, entry.index, 0));
    if (!in) {
        error = "cannot read archive entry " + entry.name + ": " + zip_strerror(m_zip);
        return false;
    }
    std::uint64_t written = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer.get(), chunk);
        if (n < 0) {
            error = "damaged archive entry " + entry.name + ": " + zip_file_strerror(in.get());
            return false;
        }
        if (n == 0)
            break;
        written += static_cast<std::uint64_t>(n);
        // The declared size is what the quota was checked against: never write more.
        if (written > entry.size) {
            error = "archive entry larger than declared: " + entry.name;
            return false;
        }
        if (!sink(buffer.get(), static_cast<size_t>(n))) {
            error = "cannot store " + entry.name;
            return false;
        }
    }
    if (written != entry.size) {
        error = "archive entry shorter than declared: " + entry.name;
        return false;
    }
    return true;
}

bool ExamArchive::extractTo(const std::string &dir, std::string &error) const
{
    const bool written =
        m_writers ? m_writers->run([&] { return writeEntries(dir, error); }) : writeEntries(dir, error);
    if (!written)
        return false;
    syncEntries(dir);
    return true;
}

bool ExamArchive::writeEntries(const std::string &dir, std::string &error) const
{
    for (const Entry &entry : m_entries) {
        const std::string target = dir + "/" + entry.name;
        OwnedFd out{::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)};
        if (out.fd < 0)
            throw std::runtime_error("cannot write " + target + ": " + std::strerror(errno));
        int writeErrno = 0;
        const bool ok = readEntry(
            entry,
            [&](const char *data, size_t size) {
                if (out.writeAll(data, size))
                    return true;
                writeErrno = errno;
                return false;
            },
            error);
        if (writeErrno != 0)
            throw std::runtime_error("cannot write " + target + ": " + std::strerror(writeErrno));
        if (!ok)
            return false;
        // Its bytes start for the disk now, while the next entries are written.
        ::sync_file_range(out.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    return true;
}

void ExamArchive::syncEntries(const std::string &dir) const
{
    // An exam is acknowledged only once it would survive a power cut. The files are
    // opened again by name: an archive may hold more entries than a process may keep open.
    for (const Entry &entry : m_entries)
        syncPath(dir + "/" + entry.name, O_NOFOLLOW);
    syncPath(dir, O_DIRECTORY);
}
