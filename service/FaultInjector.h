#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

// Failures armed through the test hooks and applied to the next matching requests.
class FaultInjector
{
public:
    enum class Mode {
        Hang,       // nothing comes back; the connection stays open
        Stall,      // headers and the start of a body, then nothing
        Status500,  // HTTP 500
        NonJson,    // HTTP 200 with an HTML body
        Drop,       // the connection is reset (mid-body for uploads)
        Delay,      // the normal reply, value milliseconds late
        Code,       // a reply envelope with status code value, nothing done
        Huge,       // HTTP 200 with a valid JSON body of value megabytes
        Lost,       // the request is carried out, then the connection is reset: the reply is lost
    };

    struct Fault
    {
        Mode mode = Mode::Hang;
        std::int64_t value = 0;
        std::string match;  // "" any script request, "*" any request, else that kind
        int remaining = 1;  // negative: until cleared
        std::string text;   // the mode as it was given
    };

    // Parses "hang", "stall", "status500", "nonjson", "drop", "delay:MS", "code:N",
    // "huge:MB" (default 64), "lost"; count 0 or less keeps the fault until clear().
    bool add(const std::string &mode, const std::string &match, int count, std::string &error);
    // Takes one use of the oldest fault matching a request of that kind.
    std::optional<Fault> take(const std::string &kind, bool scriptRequest);
    void clear();

private:
    std::mutex m_mutex;
    std::deque<Fault> m_faults;
};
