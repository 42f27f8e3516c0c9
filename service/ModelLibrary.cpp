#include "ModelLibrary.h"

#include "FileNames.h"
#include "SeedModels.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

ModelLibrary::ModelLibrary(std::string folder) : m_folder(std::move(folder))
{
    std::error_code ec;
    if (fs::exists(m_folder, ec))
        return;
    fs::create_directories(m_folder, ec);
    if (ec)
        throw std::runtime_error("cannot create " + m_folder + ": " + ec.message());
    for (std::size_t i = 0; i < seedModelCount; ++i) {
        std::ofstream out(m_folder + "/" + seedModels[i].name, std::ios::binary | std::ios::trunc);
        out << seedModels[i].content;
        if (!out)
            throw std::runtime_error(std::string("cannot write the model ") + seedModels[i].name);
    }
}

std::vector<std::string> ModelLibrary::names() const
{
    std::vector<std::string> list;
    std::error_code ec;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (FileNames::extension(name) == "anm" && path(name))
            list.push_back(name);
    }
    std::sort(list.begin(), list.end(), FileNames::lessIgnoringCase);
    return list;
}

std::optional<std::string> ModelLibrary::path(const std::string &name) const
{
    if (!FileNames::isSafeFileName(name))
        return std::nullopt;
    const std::string full = m_folder + "/" + name;
    struct stat st{};
    if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return full;
}
