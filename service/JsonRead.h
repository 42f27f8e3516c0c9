#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

// Reading members of received JSON. A missing or null member leaves the target as
// it is; a member of an unusable type makes the read fail, so a bad request is
// refused instead of being stored half right.
namespace JsonRead {

// A JSON integer, a number with no fraction, or a decimal string.
bool integer(const nlohmann::json &object, const char *key, std::int64_t &out);
// A JSON number or a decimal string.
bool number(const nlohmann::json &object, const char *key, double &out);
// A string (at most maxBytes) or a number or boolean written as text.
bool text(const nlohmann::json &object, const char *key, std::string &out, size_t maxBytes);

// Strict decimal integer ("-12", "0", "345"), within [min, max].
bool parseInteger(const std::string &text, std::int64_t min, std::int64_t max, std::int64_t &out);
// "yyyy-MM-dd" naming a real day.
bool isIsoDate(const std::string &text);
// Shortest text that reads back as the same double ("72.5", "180").
std::string formatNumber(double value);

}  // namespace JsonRead
