#pragma once

#include <nlohmann/json.hpp>

#include <deque>
#include <mutex>

// The requests as the service received them (method, path, query, fields in
// arrival order, multipart parts, archive entries), kept for the test hooks.
class RequestRecorder
{
public:
    static constexpr size_t capacity = 1000;

    void add(nlohmann::json entry);
    nlohmann::json all() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::deque<nlohmann::json> m_entries;
};
