#include "FormFields.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string FormFields::decode(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

FormFields FormFields::parseUrlEncoded(const std::string &text)
{
    FormFields form;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            if (eq == std::string::npos)
                form.add(decode(pair), std::string());
            else
                form.add(decode(pair.substr(0, eq)), decode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return form;
}

void FormFields::add(std::string name, std::string value)
{
    m_fields.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> FormFields::last(const std::string &name) const
{
    for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
        if (it->first == name)
            return it->second;
    }
    return std::nullopt;
}

std::string FormFields::lastOr(const std::string &name, const std::string &fallback) const
{
    const auto value = last(name);
    return value ? *value : fallback;
}
