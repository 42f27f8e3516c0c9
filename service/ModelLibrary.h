#pragma once

#include <optional>
#include <string>
#include <vector>

// The anamnesis model files (".anm") offered to every account. They live in a
// folder of the data folder, filled with the built-in questionnaires the first
// time the folder does not exist; operators may add or replace files there.
class ModelLibrary
{
public:
    explicit ModelLibrary(std::string folder);

    const std::string &folder() const { return m_folder; }
    // Names of the model files present, sorted ignoring letter case.
    std::vector<std::string> names() const;
    // Path of a model file by its bare name, or nothing.
    std::optional<std::string> path(const std::string &name) const;

private:
    std::string m_folder;
};
