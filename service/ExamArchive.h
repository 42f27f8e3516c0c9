#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct zip;
class BackgroundWorkers;

// A received exam archive, opened read-only with libzip. open() accepts only flat
// archives of plain files with safe names (no folders, no "..", no absolute paths,
// no links, no encryption), so extracting can never write outside its folder.
class ExamArchive
{
public:
    struct Entry
    {
        std::string name;
        std::uint64_t size = 0;
        std::uint64_t index = 0;
    };

    static constexpr std::uint64_t maxEntries = 4096;

    // With workers, extractTo() writes the files on them (the CPU-heavy part) and waits
    // for the disk on the calling thread, so a worker never sits idle on a sync.
    explicit ExamArchive(BackgroundWorkers *writers = nullptr) : m_writers(writers) {}
    ~ExamArchive();
    ExamArchive(const ExamArchive &) = delete;
    ExamArchive &operator=(const ExamArchive &) = delete;

    // An empty file is read as an archive without entries.
    bool open(const std::string &path, std::string &error);
    // The same from memory; bytes must stay as they are while the archive is open.
    bool openBytes(const std::string &bytes, std::string &error);

    // Entries in archive order; an entry repeated later replaces the earlier one.
    const std::vector<Entry> &entries() const { return m_entries; }
    std::uint64_t totalSize() const { return m_totalSize; }

    // Passes the entry's bytes to sink in pieces; sink returns false to stop. Fails
    // unless the entry holds exactly its declared size.
    bool readEntry(const Entry &entry, const std::function<bool(const char *, size_t)> &sink,
                   std::string &error) const;
    // Writes every entry into dir, which must exist and be empty, and waits until the
    // files and their names are on the disk. False with the reason when the archive is
    // at fault (the sender's to mend); std::runtime_error when this machine's disk is
    // (the sender tries again later).
    bool extractTo(const std::string &dir, std::string &error) const;

private:
    bool readDirectory(std::string &error);
    bool writeEntries(const std::string &dir, std::string &error) const;
    void syncEntries(const std::string &dir) const;

    BackgroundWorkers *m_writers = nullptr;
    zip *m_zip = nullptr;
    std::vector<Entry> m_entries;
    std::uint64_t m_totalSize = 0;
};
