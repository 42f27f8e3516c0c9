#include "FaultInjector.h"

#include <cstdlib>

namespace {

bool parseNumber(const std::string &text, std::int64_t min, std::int64_t max, std::int64_t &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

}  // namespace

bool FaultInjector::add(const std::string &mode, const std::string &match, int count, std::string &error)
{
    Fault fault;
    fault.match = match;
    fault.remaining = count > 0 ? count : -1;
    fault.text = mode;
    const auto colon = mode.find(':');
    const std::string name = mode.substr(0, colon);
    const std::string argument = colon == std::string::npos ? std::string() : mode.substr(colon + 1);

    if (name == "hang") {
        fault.mode = Mode::Hang;
    } else if (name == "stall") {
        fault.mode = Mode::Stall;
    } else if (name == "status500") {
        fault.mode = Mode::Status500;
    } else if (name == "nonjson") {
        fault.mode = Mode::NonJson;
    } else if (name == "drop") {
        fault.mode = Mode::Drop;
    } else if (name == "lost") {
        fault.mode = Mode::Lost;
    } else if (name == "delay") {
        fault.mode = Mode::Delay;
        if (!parseNumber(argument, 0, 600000, fault.value)) {
            error = "delay needs milliseconds, e.g. delay:1500";
            return false;
        }
    } else if (name == "code") {
        fault.mode = Mode::Code;
        if (!parseNumber(argument, -1000000, 1000000, fault.value)) {
            error = "code needs a number, e.g. code:405";
            return false;
        }
    } else if (name == "huge") {
        fault.mode = Mode::Huge;
        fault.value = 64;
        if (!argument.empty() && !parseNumber(argument, 1, 4096, fault.value)) {
            error = "huge takes megabytes from 1 to 4096";
            return false;
        }
    } else {
        error = "unknown fault mode: " + mode;
        return false;
    }
    if ((fault.mode != Mode::Delay && fault.mode != Mode::Code && fault.mode != Mode::Huge) &&
        !argument.empty()) {
        error = "fault mode " + name + " takes no argument";
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back(std::move(fault));
    return true;
}

std::optional<FaultInjector::Fault> FaultInjector::take(const std::string &kind, bool scriptRequest)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        const bool matches = it->match == "*" || (it->match.empty() && scriptRequest) || it->match == kind;
        if (!matches)
            continue;
        Fault fault = *it;
        if (it->remaining > 0 && --it->remaining == 0)
            m_faults.erase(it);
        return fault;
    }
    return std::nullopt;
}

void FaultInjector::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}
