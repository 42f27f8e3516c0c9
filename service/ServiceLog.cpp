#include "ServiceLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

void ServiceLog::line(const std::string &text)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    // gmtime_r takes glibc's time zone lock at every call, which the request threads
    // queued on: each thread formats a second once.
    thread_local std::time_t stampSecond = -1;
    thread_local char stamp[32];
    if (seconds != stampSecond) {
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
        stampSecond = seconds;
    }
    char head[48];
    std::snprintf(head, sizeof head, "%s.%03dZ ", stamp, static_cast<int>(millis));
    const std::string whole = head + text + '\n';

    // Standard error is unbuffered: one write for the line, the lock held for that alone.
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fwrite(whole.data(), 1, whole.size(), stderr);
}
