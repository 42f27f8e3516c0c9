#include "JsonRead.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace JsonRead {

bool parseInteger(const std::string &text, std::int64_t min, std::int64_t max, std::int64_t &out)
{
    if (text.empty() || text.size() > 20)
        return false;
    std::int64_t value = 0;
    const char *begin = text.data();
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || value < min || value > max)
        return false;
    out = value;
    return true;
}

bool integer(const nlohmann::json &object, const char *key, std::int64_t &out)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (it->is_number_integer()) {
        out = it->get<std::int64_t>();
        return true;
    }
    if (it->is_number_unsigned()) {
        const auto v = it->get<std::uint64_t>();
        if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return false;
        out = static_cast<std::int64_t>(v);
        return true;
    }
    if (it->is_number_float()) {
        const double v = it->get<double>();
        if (!std::isfinite(v) || std::trunc(v) != v || std::fabs(v) > 9.0e15)
            return false;
        out = static_cast<std::int64_t>(v);
        return true;
    }
    if (it->is_string()) {
        return parseInteger(it->get<std::string>(), std::numeric_limits<std::int64_t>::min(),
                            std::numeric_limits<std::int64_t>::max(), out);
    }
    return false;
}

bool number(const nlohmann::json &object, const char *key, double &out)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (it->is_number()) {
        out = it->get<double>();
        return std::isfinite(out);
    }
    if (it->is_string()) {
        const std::string s = it->get<std::string>();
        if (s.empty()) {
            out = 0.0;
            return true;
        }
        double v = 0.0;
        const auto result = std::from_chars(s.data(), s.data() + s.size(), v);
        if (result.ec != std::errc() || result.ptr != s.data() + s.size() || !std::isfinite(v))
            return false;
        out = v;
        return true;
    }
    return false;
}

bool text(const nlohmann::json &object, const char *key, std::string &out, size_t maxBytes)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    std::string value;
    if (it->is_string())
        value = it->get<std::string>();
    else if (it->is_number() || it->is_boolean())
        value = it->dump();
    else
        return false;
    if (value.size() > maxBytes)
        return false;
    out = std::move(value);
    return true;
}

bool isIsoDate(const std::string &text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    std::int64_t year = 0;
    std::int64_t month = 0;
    std::int64_t day = 0;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    parseInteger(text.substr(0, 4), 0, 9999, year);
    parseInteger(text.substr(5, 2), 0, 99, month);
    parseInteger(text.substr(8, 2), 0, 99, day);
    if (year < 1 || month < 1 || month > 12 || day < 1)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int limit = days[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

std::string formatNumber(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

}  // namespace JsonRead
