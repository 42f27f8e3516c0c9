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
    std::uint64_t quotaBytes = 1024ull << 20;
    std::uint64_t maxUploadBytes = 512ull << 20;
    std::uint64_t maxFormBytes = 8ull << 20;
    int delayMs = 0;                       // added before every file download
    bool testHooks = false;
    std::string latestVersion = "0.6.4";
    std::string installerUrl;              // empty: derived from the public address
    std::string publicUrl;                 // empty: from the request's Host header
    std::vector<std::string> extraEndpoints;
    int threads = 32;
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

private:
    Outcome fail(const std::string &text);

    std::string m_error;
};
