#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// The JSON text of each account's client list, with the version of the account's
// clients it was made from. A version that moved on makes the entry useless.
class ClientListCache
{
public:
    // The text made from that version, or null.
    std::shared_ptr<const std::string> find(std::int64_t account, std::int64_t version) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_entries.find(account);
        return it != m_entries.end() && it->second.version == version ? it->second.text : nullptr;
    }
    std::shared_ptr<const std::string> store(std::int64_t account, std::int64_t version, std::string text)
    {
        auto shared = std::make_shared<const std::string>(std::move(text));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries[account] = {version, shared};
        return shared;
    }

private:
    struct Entry
    {
        std::int64_t version = 0;
        std::shared_ptr<const std::string> text;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<std::int64_t, Entry> m_entries;
};
