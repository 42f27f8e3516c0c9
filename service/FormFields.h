#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The fields of one request in the order they arrived. A form may repeat a name
// (the application always sends "action" twice); last() gives the value that counts.
class FormFields
{
public:
    using Field = std::pair<std::string, std::string>;

    // Parses "a=1&b=2" (application/x-www-form-urlencoded: "+" is a space,
    // %XX an escaped byte; a malformed escape is kept as it is).
    static FormFields parseUrlEncoded(const std::string &text);
    static std::string decode(const std::string &text);

    void add(std::string name, std::string value);
    std::optional<std::string> last(const std::string &name) const;
    std::string lastOr(const std::string &name, const std::string &fallback = {}) const;
    const std::vector<Field> &fields() const { return m_fields; }

private:
    std::vector<Field> m_fields;
};
