#pragma once

#include "AccessControl.h"
#include "EndpointActions.h"
#include "FaultInjector.h"
#include "RequestRecorder.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

class AccountRegistry;
class AccountStore;
class ModelLibrary;
class ServiceLog;
class StorageFactory;
class StoredFile;
struct ServiceOptions;
struct UploadWorkers;

// The HTTP side of calvestra-service (plain or TLS): the script and its development
// twin, the connectivity page, the update file, the model files, the web application's
// home page and, with --test-hooks, the fault and request-log controls. Every script
// request passes AccessControl before anything else happens; the pages that hold no
// personal data stay open.
class ServiceServer
{
public:
    ServiceServer(const ServiceOptions &options, ServiceLog &log);
    ~ServiceServer();
    ServiceServer(const ServiceServer &) = delete;
    ServiceServer &operator=(const ServiceServer &) = delete;

    // Binds the listening socket; returns the port, or -1.
    int bind();
    // Serves until stop(); false when serving could not start.
    bool run();
    // Safe from any thread: no new connections; held and delayed requests end.
    void stop();
    // After stop(): closes the connections still open (idle keep-alive ones
    // would otherwise hold the end for seconds).
    void closeConnections();
    // Whether any account may use the service (always true without authentication).
    bool hasAccounts();

private:
    // What one request did, gathered for its log line and the request log.
    struct Context
    {
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        std::string kind;
        std::string account;
        int code = -1;  // the envelope's status code, when one was sent
        std::string fault;
        nlohmann::json record = nlohmann::json::object();
        bool finished = false;
        bool replyLost = false;  // the "lost" fault: done, then the connection is reset
    };
    struct Realm
    {
        std::unique_ptr<AccountStore> store;
        std::unique_ptr<EndpointActions> actions;
    };

    void setupRoutes();
    void addScriptRoutes(const std::string &path, Realm &realm);
    std::shared_ptr<Context> context(const httplib::Request &req);
    void finish(const httplib::Request &req, int status, size_t bytes);

    void handleScriptPost(const httplib::Request &req, httplib::Response &res,
                          const httplib::ContentReader &reader, Realm &realm);
    void handleScriptGet(const httplib::Request &req, httplib::Response &res, Realm &realm);
    void dispatch(const httplib::Request &req, httplib::Response &res, Realm &realm, Context &ctx,
                  EndpointActions::Request &request);
    void serveUserFile(const httplib::Request &req, httplib::Response &res, Realm &realm,
                       const FormFields &fields);
    void serveFile(httplib::Response &res, const std::string &path, const std::string &contentType);
    void serveStored(httplib::Response &res, std::unique_ptr<StoredFile> file, const std::string &contentType);
    void sendEnvelope(httplib::Response &res, Context &ctx, const EndpointActions::Reply &reply);
    // A refusal in the envelope; httpStatus 200 for the script's POSTs, the code itself
    // for a file, whose body the client would otherwise take for the file.
    void refuse(httplib::Response &res, Context &ctx, int code, const std::string &text, bool asStatus);
    // A refusal of a script POST whose body (unread bytes of it) has not been read:
    // answered at once, the rest of the body dropped as it comes.
    void refuseUnread(const httplib::Request &req, httplib::Response &res, Context &ctx, int code,
                      const std::string &text, std::uint64_t unread);
    // Whether an upload of that declared size may still fit the account's space (a day
    // sent again replaces its files, so the largest stored exam counts as free).
    bool mayFit(Realm &realm, std::int64_t account, std::uint64_t length);
    // The peer, or the address a trusted proxy forwarded for.
    std::string clientAddress(const httplib::Request &req) const;
    void sendText(httplib::Response &res, int status, const std::string &text);

    // True when the fault has answered (or cut) the request.
    bool applyFault(const FaultInjector::Fault &fault, const httplib::Request &req, httplib::Response &res,
                    Context &ctx);
    // Applies a fault armed for a request of that kind that is not the script.
    bool faultForPage(const std::string &kind, const httplib::Request &req, httplib::Response &res);
    void holdConnection(int fd);
    void dropConnection(const httplib::Request &req);
    void pause(int ms);

    std::string publicBase(const httplib::Request &req) const;
    std::string updateFileText(const httplib::Request &req) const;

    const ServiceOptions &m_options;
    ServiceLog &m_log;
    std::unique_ptr<ModelLibrary> m_models;
    std::unique_ptr<StorageFactory> m_storage;
    std::unique_ptr<UploadWorkers> m_uploadWorkers;  // made here, at the service's priority
    std::unique_ptr<AccountRegistry> m_accounts;  // null without authentication
    std::unique_ptr<AccessControl> m_access;
    Realm m_production;
    Realm m_development;
    FaultInjector m_faults;
    RequestRecorder m_recorder;
    std::unique_ptr<httplib::Server> m_server;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::uint64_t> m_sequence{0};
    std::mutex m_contextMutex;
    std::unordered_map<const httplib::Request *, std::shared_ptr<Context>> m_contexts;
    int m_port = -1;
    int m_listenFd = -1;  // set while binding, before any thread runs
};
