#include "RateLimiter.h"

#include <algorithm>

RateLimiter::RateLimiter(int perMinute) : m_capacity(std::max(1, perMinute)) {}

RateLimiter::Bucket &RateLimiter::refill(const std::string &key, std::chrono::steady_clock::time_point now)
{
    auto [it, added] = m_buckets.try_emplace(key, Bucket{m_capacity, now});
    Bucket &b = it->second;
    if (!added) {
        const double minutes = std::chrono::duration<double>(now - b.updated).count() / 60.0;
        b.tokens = std::min(m_capacity, b.tokens + minutes * m_capacity);
        b.updated = now;
    }
    return b;
}

void RateLimiter::prune(std::chrono::steady_clock::time_point now)
{
    if (m_buckets.size() < 10000)
        return;
    for (auto it = m_buckets.begin(); it != m_buckets.end();) {
        const double minutes = std::chrono::duration<double>(now - it->second.updated).count() / 60.0;
        if (it->second.tokens + minutes * m_capacity >= m_capacity)
            it = m_buckets.erase(it);
        else
            ++it;
    }
}

bool RateLimiter::take(const std::string &key)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    prune(now);
    Bucket &b = refill(key, now);
    if (b.tokens < 1.0)
        return false;
    b.tokens -= 1.0;
    return true;
}

void RateLimiter::drain(const std::string &key)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    refill(key, now).tokens = 0;
}

bool RateLimiter::hasRoom(const std::string &key)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    return refill(key, now).tokens >= 1.0;
}
