#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Command-line configuration of calvestra-service.
struct ServiceOptions
{
    std::string host = "127.0.0.1";
    int port = 8080;                       // 0 picks a free port
    std::string dataDir;                   // empty: defaultDataDir()
    std::string dbUrl;                     // postgresql://…: records, files and accounts there
    std::uint64_t quotaBytes = 1024ull << 20;
    std::uint64_t maxUploadBytes = 512ull << 20;
    std::uint64_t maxFormBytes = 8ull << 20;   // a form-encoded body; all text parts of an upload
    std::uint64_t maxFieldBytes = 2ull << 20;  // one field
    bool noAuth = false;                   // trust idSender as sent (loopback only)
    std::string tlsCert;                   // both set: HTTPS
    std::string tlsKey;
    int rateLimit = 3000;                  // script requests a minute, per account and per address
    int authFailureLimit = 10;             // refused tokens a minute, per address
    int readTimeoutS = 20;                 // a sender silent for this long is cut off
    std::string trustedProxy;              // its X-Forwarded-For names the client
    int delayMs = 0;                       // added before every file download
    bool testHooks = false;
    std::string latestVersion = "0.6.4";
    std::string installerUrl;              // empty: derived from the public address
    std::string publicUrl;                 // empty: from the request's Host header
    std::vector<std::string> extraEndpoints;
    int threads = 32;
    std::string guideFile;                 // the user guide; empty: defaultGuideFile()
};

class ServiceOptionsParser
{
public:
    enum class Outcome { Run, Help, Error };

    Outcome parse(int argc, char **argv, ServiceOptions &options);
    const std::string &error() const { return m_error; }

    static std::string usage();
    // $XDG_DATA_HOME (or ~/.local/share) + "/Vantrel/calvestra-service".
    static std::string defaultDataDir();
    // The guide installed with the service: <its folder>/../share/calvestra/user-guide.pdf,
    // where the build puts it too.
    static std::string defaultGuideFile();
    // 127.0.0.0/8, ::1 or "localhost".
    static bool isLoopback(const std::string &host);

private:
    Outcome fail(const std::string &text);

    std::string m_error;
};
