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
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

    std::lock_guard<std::mutex> lock(m_mutex);
    std::fprintf(stderr, "%s.%03dZ %s\n", stamp, static_cast<int>(millis), text.c_str());
    std::fflush(stderr);
}
