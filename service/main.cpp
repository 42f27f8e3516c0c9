// calvestra-service: the reference web service for Calvestra installations.
#include "AccountCommand.h"
#include "ServiceLog.h"
#include "ServiceOptions.h"
#include "ServiceServer.h"
#include "SqliteToPg.h"

#include <pthread.h>
#include <sqlite3.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

namespace {

// Waits for SIGINT or SIGTERM (blocked in every thread) and stops the server:
// requests in progress get a moment to finish, then open connections are closed.
void watchSignals(ServiceServer &server, ServiceLog &log, const std::atomic<bool> &done)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    const timespec tick{0, 100 * 1000 * 1000};
    while (!done) {
        const int sig = sigtimedwait(&set, nullptr, &tick);
        if (sig != SIGINT && sig != SIGTERM)
            continue;
        log.line(sig == SIGINT ? "SIGINT received, stopping" : "SIGTERM received, stopping");
        // Asked again each round: a stop that comes before the server loop has
        // started is otherwise lost.
        for (int round = 0; !done; ++round) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (round % 5 == 4)
                server.closeConnections();
        }
        return;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    // Clients' health data and the token hashes: whatever the service makes is its
    // owner's alone.
    ::umask(077);
    // SQLite keeps memory statistics by default, under one process-wide mutex taken at
    // every allocation and release: the request threads queued on it. Nothing here reads
    // them. (Only allowed before SQLite's first use.)
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    if (argc > 1 && std::string(argv[1]) == "account")
        return AccountCommand::run(argc - 1, argv + 1);
    if (argc > 1 && std::string(argv[1]) == "migrate")
        return SqliteToPg::command(argc - 1, argv + 1);

    ServiceOptions options;
    ServiceOptionsParser parser;
    switch (parser.parse(argc, argv, options)) {
    case ServiceOptionsParser::Outcome::Help:
        std::fputs(ServiceOptionsParser::usage().c_str(), stdout);
        return 0;
    case ServiceOptionsParser::Outcome::Error:
        std::fprintf(stderr, "calvestra-service: %s\n\n%s", parser.error().c_str(),
                     ServiceOptionsParser::usage().c_str());
        return 2;
    case ServiceOptionsParser::Outcome::Run:
        break;
    }

    // Blocked before any thread exists, so only the watcher ever receives them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);

    ServiceLog log;
    try {
        ServiceServer server(options, log);
        const int port = server.bind();
        if (port < 0) {
            log.line("cannot listen on " + options.host + ":" + std::to_string(options.port));
            return 1;
        }
        const bool v6 = options.host.find(':') != std::string::npos;
        const bool tls = !options.tlsCert.empty();
        const std::string address = (tls ? "https://" : "http://") +
                                    (v6 ? "[" + options.host + "]" : options.host) + ":" + std::to_string(port);
        log.line("data folder " + options.dataDir + (options.dbUrl.empty() ? "" : ", records in PostgreSQL") +
                 ", quota " + std::to_string(options.quotaBytes >> 20) +
                 " MB per account" + (options.testHooks ? ", test hooks on" : "") +
                 (options.noAuth ? ", no authentication (idSender trusted)" : ", accounts with tokens"));
        struct stat guide{};
        log.line(::stat(options.guideFile.c_str(), &guide) == 0 && S_ISREG(guide.st_mode)
                     ? "user guide " + options.guideFile
                     : "no user guide at " + options.guideFile + ": the manual's address answers 404");
        if (!options.noAuth && !server.hasAccounts())
            log.line("no accounts yet: make one with 'calvestra-service account add --name NAME'");
        if (!options.noAuth && !tls && !ServiceOptionsParser::isLoopback(options.host))
            log.line("warning: tokens travel in clear text; use --tls-cert and --tls-key, or a proxy that does TLS");
        std::printf("listening on %s\n", address.c_str());
        std::fflush(stdout);

        std::atomic<bool> done{false};
        std::thread watcher(watchSignals, std::ref(server), std::ref(log), std::cref(done));
        const bool served = server.run();
        done = true;
        watcher.join();
        log.line("stopped");
        return served ? 0 : 1;
    } catch (const std::exception &e) {
        log.line(std::string("fatal: ") + e.what());
        return 1;
    }
}
