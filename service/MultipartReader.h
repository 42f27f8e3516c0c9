#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Reads a multipart/form-data body as it arrives, in pieces of any size: each part's
// headers, then its bytes. The delimiter is looked for with memmem, not byte by byte,
// which is most of the cost of receiving an archive of many megabytes.
class MultipartReader
{
public:
    struct PartHeader
    {
        std::string name;
        std::string filename;
        std::string contentType;
    };
    using HeaderSink = std::function<bool(const PartHeader &)>;
    using DataSink = std::function<bool(const char *, size_t)>;

    static constexpr size_t maxHeaderLine = 8192;

    // The boundary from a Content-Type such as `multipart/form-data; boundary="xyz"`;
    // empty when there is none.
    static std::string boundaryOf(const std::string &contentType);

    // An empty boundary fails the first feed.
    MultipartReader(const std::string &boundary, HeaderSink onHeader, DataSink onData);

    // False once a sink refused or the body cannot be multipart; nothing is read after.
    bool feed(const char *data, size_t size);
    // Whether the closing delimiter came: a body cut short never is.
    bool complete() const { return m_state == State::Done; }

private:
    enum class State { Preamble, AfterDelimiter, Headers, Body, Done, Failed };

    size_t consume(const char *data, size_t size);
    bool headerLine(const std::string &line);
    size_t heldBack(const char *data, size_t size) const;

    std::string m_delimiter;  // CRLF "--" boundary
    HeaderSink m_onHeader;
    DataSink m_onData;
    State m_state = State::Preamble;
    PartHeader m_part;
    std::string m_pending;  // bytes that cannot be judged yet: a header line, a possible delimiter
};
