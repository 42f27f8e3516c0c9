#pragma once

#include <mutex>
#include <string>

// Writes whole lines to standard error, each prefixed with the UTC time, so lines
// from concurrent requests never interleave.
class ServiceLog
{
public:
    void line(const std::string &text);

private:
    std::mutex m_mutex;
};
