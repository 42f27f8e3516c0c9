#include "RequestRecorder.h"

void RequestRecorder::add(nlohmann::json entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > capacity)
        m_entries.pop_front();
}

nlohmann::json RequestRecorder::all() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    nlohmann::json list = nlohmann::json::array();
    for (const auto &entry : m_entries)
        list.push_back(entry);
    return list;
}

void RequestRecorder::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}
