#include "MultipartReader.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool startsWithNoCase(const std::string &text, const char *prefix)
{
    return ::strncasecmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

// A parameter of a header value such as `form-data; name="a"; filename="b.zip"`.
bool parameter(const std::string &value, const char *key, std::string &out)
{
    size_t at = 0;
    while ((at = value.find(';', at)) != std::string::npos) {
        ++at;
        while (at < value.size() && (value[at] == ' ' || value[at] == '\t'))
            ++at;
        const size_t keyLength = std::strlen(key);
        if (::strncasecmp(value.c_str() + at, key, keyLength) != 0 || value.compare(at + keyLength, 1, "=") != 0)
            continue;
        at += keyLength + 1;
        if (at < value.size() && value[at] == '"') {
            const size_t end = value.find('"', at + 1);
            if (end == std::string::npos)
                return false;
            out = value.substr(at + 1, end - at - 1);
        } else {
            out = trimmed(value.substr(at, value.find(';', at) - at));
        }
        return true;
    }
    return false;
}

}  // namespace

std::string MultipartReader::boundaryOf(const std::string &contentType)
{
    std::string boundary;
    if (!startsWithNoCase(contentType, "multipart/form-data") || !parameter(contentType, "boundary", boundary))
        return {};
    return boundary.size() <= 200 ? boundary : std::string();
}

MultipartReader::MultipartReader(const std::string &boundary, HeaderSink onHeader, DataSink onData)
    : m_delimiter("\r\n--" + boundary), m_onHeader(std::move(onHeader)), m_onData(std::move(onData))
{
    // The first delimiter has no line break before it: one is made up.
    m_pending = "\r\n";
    if (boundary.empty())
        m_state = State::Failed;
}

bool MultipartReader::feed(const char *data, size_t size)
{
    if (m_state == State::Failed)
        return false;
    if (m_pending.empty()) {
        const size_t used = consume(data, size);
        m_pending.assign(data + used, size - used);
    } else {
        m_pending.append(data, size);
        const size_t used = consume(m_pending.data(), m_pending.size());
        m_pending.erase(0, used);
    }
    if (m_state == State::Headers && m_pending.size() > maxHeaderLine)
        m_state = State::Failed;
    return m_state != State::Failed;
}

// How many of the bytes were dealt with; the rest waits for more.
size_t MultipartReader::consume(const char *data, size_t size)
{
    size_t at = 0;
    while (at < size && m_state != State::Failed) {
        const char *here = data + at;
        const size_t left = size - at;
        switch (m_state) {
        case State::Preamble:
        case State::Body: {
            const void *found = ::memmem(here, left, m_delimiter.data(), m_delimiter.size());
            const size_t take = found ? static_cast<size_t>(static_cast<const char *>(found) - here)
                                      : left - heldBack(here, left);
            if (m_state == State::Body && take > 0 && !m_onData(here, take)) {
                m_state = State::Failed;
                break;
            }
            if (!found)
                return at + take;
            at += take + m_delimiter.size();
            m_state = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter:
            if (left < 2)
                return at;
            if (std::memcmp(here, "--", 2) == 0) {
                m_state = State::Done;
            } else if (std::memcmp(here, "\r\n", 2) == 0) {
                m_part = PartHeader();
                m_state = State::Headers;
                at += 2;
            } else {
                m_state = State::Failed;
            }
            break;
        case State::Headers: {
            const void *end = std::memchr(here, '\n', left);
            if (!end)
                return at;
            const size_t length = static_cast<size_t>(static_cast<const char *>(end) - here);
            if (length == 0 || here[length - 1] != '\r') {
                m_state = State::Failed;
                break;
            }
            const std::string line(here, length - 1);
            at += length + 1;
            if (line.empty()) {
                m_state = m_onHeader(m_part) ? State::Body : State::Failed;
            } else if (!headerLine(line)) {
                m_state = State::Failed;
            }
            break;
        }
        case State::Done:  // what follows the closing delimiter is not read
            return size;
        case State::Failed:
            break;
        }
    }
    return at;
}

bool MultipartReader::headerLine(const std::string &line)
{
    if (line.size() > maxHeaderLine)
        return false;
    if (startsWithNoCase(line, "content-type:")) {
        m_part.contentType = trimmed(line.substr(13));
    } else if (startsWithNoCase(line, "content-disposition:")) {
        const std::string value = trimmed(line.substr(20));
        if (!startsWithNoCase(value, "form-data"))
            return false;
        parameter(value, "name", m_part.name);
        parameter(value, "filename", m_part.filename);
    }
    return true;  // other headers say nothing a form needs
}

// The longest end of the bytes that could begin a delimiter: it waits for what follows.
size_t MultipartReader::heldBack(const char *data, size_t size) const
{
    for (size_t keep = std::min(size, m_delimiter.size() - 1); keep > 0; --keep) {
        if (data[size - keep] == '\r' && std::memcmp(data + size - keep, m_delimiter.data(), keep) == 0)
            return keep;
    }
    return 0;
}
