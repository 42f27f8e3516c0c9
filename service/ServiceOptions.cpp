#include "ServiceOptions.h"

#include "PgConnection.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cmath>
#include <cstdlib>

namespace {

bool parseMegabytes(const std::string &text, std::uint64_t &bytes)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    const double mb = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(mb) || mb < 0 || mb > 1e9)
        return false;
    bytes = static_cast<std::uint64_t>(std::llround(mb * 1024.0 * 1024.0));
    return true;
}

bool parseInt(const std::string &text, long min, long max, long &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

// "HOST:PORT", "[v6]:PORT" or a bare "PORT".
bool parseListen(const std::string &text, std::string &host, int &port)
{
    std::string h;
    std::string p;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        h = text.substr(1, close - 1);
        p = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos) {
            p = text;
        } else {
            h = text.substr(0, colon);
            p = text.substr(colon + 1);
        }
    }
    long v = 0;
    if (!parseInt(p, 0, 65535, v))
        return false;
    if (!h.empty())
        host = h;
    port = static_cast<int>(v);
    return !host.empty();
}

}  // namespace

ServiceOptionsParser::Outcome ServiceOptionsParser::fail(const std::string &text)
{
    m_error = text;
    return Outcome::Error;
}

ServiceOptionsParser::Outcome ServiceOptionsParser::parse(int argc, char **argv, ServiceOptions &options)
{
    m_error.clear();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const auto eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };

        if (name == "--help" || name == "-h")
            return Outcome::Help;
        if (name == "--test-hooks") {
            options.testHooks = true;
            continue;
        }
        if (name == "--no-auth") {
            options.noAuth = true;
            continue;
        }
        static const char *const valued[] = {"--listen",         "--data",          "--quota-mb",
                                             "--max-upload-mb",  "--max-form-kb",   "--delay-ms",
                                             "--latest-version", "--installer-url", "--public-url",
                                             "--extra-endpoint", "--threads",       "--max-field-kb",
                                             "--tls-cert",       "--tls-key",       "--rate-limit",
                                             "--auth-failure-limit", "--read-timeout-s", "--trusted-proxy",
                                             "--guide",          "--db"};
        if (std::find(std::begin(valued), std::end(valued), name) == std::end(valued))
            return fail("unknown option: " + arg);
        if (!takeValue())
            return fail("missing value for " + name);

        long number = 0;
        if (name == "--listen") {
            if (!parseListen(value, options.host, options.port))
                return fail("invalid --listen value: " + value);
        } else if (name == "--data") {
            if (value.empty())
                return fail("empty --data folder");
            options.dataDir = value;
        } else if (name == "--db") {
            if (!isPostgresUrl(value))
                return fail("--db takes a postgresql:// address");
            options.dbUrl = value;
        } else if (name == "--quota-mb") {
            if (!parseMegabytes(value, options.quotaBytes))
                return fail("invalid --quota-mb value: " + value);
        } else if (name == "--max-upload-mb") {
            if (!parseMegabytes(value, options.maxUploadBytes) || options.maxUploadBytes == 0)
                return fail("invalid --max-upload-mb value: " + value);
        } else if (name == "--max-form-kb") {
            if (!parseInt(value, 1, 1024 * 1024, number))
                return fail("invalid --max-form-kb value: " + value);
            options.maxFormBytes = static_cast<std::uint64_t>(number) * 1024;
        } else if (name == "--delay-ms") {
            if (!parseInt(value, 0, 600000, number))
                return fail("invalid --delay-ms value: " + value);
            options.delayMs = static_cast<int>(number);
        } else if (name == "--latest-version") {
            if (value.empty() || value.find_first_of("\r\n") != std::string::npos)
                return fail("invalid --latest-version value");
            options.latestVersion = value;
        } else if (name == "--installer-url") {
            if (value.find_first_of("\r\n") != std::string::npos)
                return fail("invalid --installer-url value");
            options.installerUrl = value;
        } else if (name == "--public-url") {
            while (!value.empty() && value.back() == '/')
                value.pop_back();
            if (value.rfind("http://", 0) != 0 && value.rfind("https://", 0) != 0)
                return fail("--public-url must start with http:// or https://");
            options.publicUrl = value;
        } else if (name == "--extra-endpoint") {
            if (value.empty() || value.front() != '/' || value.rfind("/__test", 0) == 0)
                return fail("--extra-endpoint must be an absolute path");
            options.extraEndpoints.push_back(value);
        } else if (name == "--max-field-kb") {
            if (!parseInt(value, 1, 1024 * 1024, number))
                return fail("invalid --max-field-kb value: " + value);
            options.maxFieldBytes = static_cast<std::uint64_t>(number) * 1024;
        } else if (name == "--tls-cert" || name == "--tls-key") {
            if (value.empty())
                return fail("empty " + name + " file");
            (name == "--tls-cert" ? options.tlsCert : options.tlsKey) = value;
        } else if (name == "--rate-limit" || name == "--auth-failure-limit") {
            if (!parseInt(value, 1, 1000000, number))
                return fail("invalid " + name + " value: " + value);
            (name == "--rate-limit" ? options.rateLimit : options.authFailureLimit) = static_cast<int>(number);
        } else if (name == "--read-timeout-s") {
            if (!parseInt(value, 1, 3600, number))
                return fail("invalid --read-timeout-s value: " + value);
            options.readTimeoutS = static_cast<int>(number);
        } else if (name == "--trusted-proxy") {
            if (value.empty())
                return fail("empty --trusted-proxy address");
            options.trustedProxy = value;
        } else if (name == "--guide") {
            if (value.empty())
                return fail("empty --guide file");
            options.guideFile = value;
        } else if (name == "--threads") {
            if (!parseInt(value, 4, 1024, number))
                return fail("invalid --threads value: " + value);
            options.threads = static_cast<int>(number);
        }
    }
    if (options.tlsCert.empty() != options.tlsKey.empty())
        return fail("--tls-cert and --tls-key go together");
    // Without tokens anyone who reaches the service is trusted: only this machine may.
    if (options.noAuth && !isLoopback(options.host))
        return fail("--no-auth needs a loopback --listen address (127.0.0.1 or [::1])");
    if (options.dataDir.empty())
        options.dataDir = defaultDataDir();
    if (options.dataDir.empty())
        return fail("no data folder: give --data DIR");
    if (options.guideFile.empty())
        options.guideFile = defaultGuideFile();
    return Outcome::Run;
}

std::string ServiceOptionsParser::usage()
{
    return "Usage: calvestra-service [options]\n"
           "\n"
           "The reference Calvestra web service.\n"
           "\n"
           "  --listen HOST:PORT      address to listen on (default 127.0.0.1:8080; port 0 picks a free one)\n"
           "  --data DIR              data folder (default $XDG_DATA_HOME/Vantrel/calvestra-service)\n"
           "  --db postgresql://...   records, exam files and accounts in PostgreSQL (shared by\n"
           "                          any number of service processes); --data keeps models\n"
           "                          and uploads in progress\n"
           "  --quota-mb N            storage per account in MB (default 1024)\n"
           "  --max-upload-mb N       largest accepted request in MB (default 512)\n"
           "  --max-form-kb N         largest accepted form-encoded request, and all text fields of an\n"
           "                          upload together, in KB (default 8192)\n"
           "  --max-field-kb N        largest accepted field in KB (default 2048)\n"
           "  --delay-ms N            delay before every file download (default 0)\n"
           "  --latest-version V      version named by the update file (default 0.6.4)\n"
           "  --installer-url URL     installer address named by the update file\n"
           "  --public-url URL        address clients use to reach this service (default: from Host)\n"
           "  --extra-endpoint PATH   serve the production script at another path too (repeatable)\n"
           "  --threads N             worker threads (default 32)\n"
           "  --guide FILE            user guide served at the manual's address\n"
           "                          (default <program folder>/../share/calvestra/user-guide.pdf)\n"
           "  --tls-cert FILE         serve HTTPS with this certificate (PEM, with its chain)\n"
           "  --tls-key FILE          and this private key (PEM)\n"
           "  --rate-limit N          script requests a minute per account and per address (default 3000)\n"
           "  --auth-failure-limit N  refused tokens a minute per address (default 10)\n"
           "  --read-timeout-s N      cut off a sender silent for N seconds (default 20)\n"
           "  --trusted-proxy ADDR    requests from ADDR are counted by their X-Forwarded-For address\n"
           "  --no-auth               no tokens: trust the idSender of every request (loopback only)\n"
           "  --test-hooks            enable the /__test control paths (never in production)\n"
           "  --help                  show this text\n"
           "\n"
           "Accounts (on the data folder, also while the service runs):\n"
           "  calvestra-service account add --name NAME [--number N] [--data DIR | --db URL]\n"
           "  calvestra-service account list [--data DIR | --db URL]\n"
           "  calvestra-service account rotate N [--data DIR | --db URL]\n"
           "  calvestra-service account remove N [--data DIR | --db URL]\n"
           "\n"
           "Moving a data folder's records, files and accounts into PostgreSQL:\n"
           "  calvestra-service migrate --from DIR --to postgresql://...\n";
}

std::string ServiceOptionsParser::defaultGuideFile()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    const std::string exe(buffer, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/')) + "/../share/calvestra/user-guide.pdf";
}

bool ServiceOptionsParser::isLoopback(const std::string &host)
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::string ServiceOptionsParser::defaultDataDir()
{
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char *home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return base + "/Vantrel/calvestra-service";
}
