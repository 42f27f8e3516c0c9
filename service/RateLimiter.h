#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

// Counts events per key (an address, an account) in token buckets: up to perMinute
// at once, refilled at perMinute a minute. Keys whose bucket is full again are
// forgotten, so the table stays small. Thread-safe.
class RateLimiter
{
public:
    explicit RateLimiter(int perMinute);

    // Takes one event; false when the key has none left.
    bool take(const std::string &key);
    // Whether the key has any left, without taking one.
    bool hasRoom(const std::string &key);
    // Leaves the key none, to be refilled from now.
    void drain(const std::string &key);
    // What a key holds when full, which is also what it gets back in a minute.
    int perMinute() const { return static_cast<int>(m_capacity); }

private:
    struct Bucket
    {
        double tokens = 0;
        std::chrono::steady_clock::time_point updated;
    };
    Bucket &refill(const std::string &key, std::chrono::steady_clock::time_point now);
    void prune(std::chrono::steady_clock::time_point now);

    const double m_capacity;
    std::mutex m_mutex;
    std::unordered_map<std::string, Bucket> m_buckets;
};
