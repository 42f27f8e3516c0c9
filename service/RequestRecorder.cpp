#include "RequestRecorder.h"

#include <algorithm>
#include <vector>

void RequestRecorder::add(nlohmann::json entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > capacity)
        m_entries.pop_front();
}

nlohmann::json RequestRecorder::all() const
{
    std::vector<const nlohmann::json *> sorted;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &entry : m_entries)
        sorted.push_back(&entry);
    // In the order the requests arrived, not the order they were answered.
    std::stable_sort(sorted.begin(), sorted.end(), [](const nlohmann::json *a, const nlohmann::json *b) {
        return a->value("seq", 0ull) < b->value("seq", 0ull);
    });
    nlohmann::json list = nlohmann::json::array();
    for (const auto *entry : sorted)
        list.push_back(*entry);
    return list;
}

void RequestRecorder::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}
