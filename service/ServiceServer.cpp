#include "ServiceServer.h"

#include "AccountRegistry.h"
#include "AccountStore.h"
#include "BackgroundWorkers.h"
#include "StorageFactory.h"
#include "ConnectionControl.h"
#include "DiskFile.h"
#include "FileNames.h"
#include "JsonRead.h"
#include "ModelLibrary.h"
#include "MultipartReader.h"
#include "RequestThreads.h"
#include "ServiceLog.h"
#include "ServiceOptions.h"
#include "UploadSpool.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <limits>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace {

using json = nlohmann::json;

const std::string scriptPath = "/Apps/Movelta/vq_webservice.php";
const std::string devScriptPath = "/Apps/Movelta/vq_webservice_dev.php";
const std::string updateFilePath = "/Software/Calvestra20/updVersionMACOS.txt";
const std::string modelsPath = "/Apps/Movelta/models/";
// The address the application's "Guida" opens, under /Software/, in every language.
const std::regex manualPath("Manuals/Calvestra/CalvestraWinAppUser Guide_[A-Za-z]{2}(-[A-Za-z]{2})?\\.pdf");

constexpr size_t maxArchiveNamesLogged = 200;
// No request of the application has more than a handful; thousands of tiny fields
// would only cost memory.
constexpr size_t maxFields = 256;
constexpr auto maxHold = std::chrono::minutes(10);

std::string regexEscape(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos)
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::string jsonText(const json &value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string htmlPage(const std::string &title, const std::string &body)
{
    return "<!DOCTYPE html>\n<html lang=\"it\"><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body style=\"font-family: sans-serif; margin: 3em;\">\n<h1>" + title +
           "</h1>\n" + body + "\n</body></html>\n";
}

std::string contentTypeFor(const std::string &name)
{
    const std::string ext = FileNames::extension(name);
    if (ext == "jpg" || ext == "jpeg")
        return "image/jpeg";
    if (ext == "png")
        return "image/png";
    if (ext == "json" || ext == "anm")
        return "application/json";
    if (ext == "txt")
        return "text/plain; charset=utf-8";
    if (ext == "html" || ext == "htm")
        return "text/html; charset=utf-8";
    if (ext == "pdf")
        return "application/pdf";
    return "application/octet-stream";
}

// httplib gives a multipart body only to its own parser, which looks for the boundary
// byte by byte and copies every piece; with the type hidden while the body is read, the
// bytes come as they are, for MultipartReader. The request is httplib's own (not const)
// object, read again only after this; the type is put back for the log.
class RawBodyRead
{
public:
    explicit RawBodyRead(const httplib::Request &req) : m_headers(const_cast<httplib::Headers &>(req.headers))
    {
        m_type = m_headers.find("Content-Type");
        if (m_type != m_headers.end())
            std::swap(m_type->second, m_hidden);
    }
    ~RawBodyRead()
    {
        if (m_type != m_headers.end())
            std::swap(m_type->second, m_hidden);
    }
    RawBodyRead(const RawBodyRead &) = delete;
    RawBodyRead &operator=(const RawBodyRead &) = delete;

private:
    httplib::Headers &m_headers;
    httplib::Headers::iterator m_type;
    std::string m_hidden = "application/octet-stream";
};

bool isChunked(const httplib::Request &req)
{
    std::string te = req.get_header_value("Transfer-Encoding");
    std::transform(te.begin(), te.end(), te.begin(), [](unsigned char c) { return std::tolower(c); });
    return te.find("chunked") != std::string::npos;
}

// Content-Length as a number; max() when it is present but unreadable.
std::uint64_t contentLength(const httplib::Request &req)
{
    if (!req.has_header("Content-Length"))
        return 0;
    std::int64_t value = 0;
    if (!JsonRead::parseInteger(req.get_header_value("Content-Length"), 0,
                                std::numeric_limits<std::int64_t>::max(), value))
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value);
}

std::string rawQuery(const httplib::Request &req)
{
    const auto mark = req.target.find('?');
    return mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
}

// Text from a request, made safe for a one-line log entry.
std::string printable(const std::string &text, size_t limit = 120)
{
    std::string out;
    for (const char ch : text.substr(0, limit)) {
        const auto c = static_cast<unsigned char>(ch);
        out.push_back(c < 0x20 || c == 0x7F ? '?' : ch);
    }
    return text.size() > limit ? out + "..." : out;
}

std::string accountText(const FormFields &fields)
{
    std::int64_t account = 0;
    if (EndpointActions::parseAccount(fields, account))
        return std::to_string(account);
    return fields.last("idSender") ? "invalid" : "";
}

json fieldsJson(const FormFields &fields)
{
    json list = json::array();
    for (const auto &[name, value] : fields.fields())
        list.push_back(json::array({name, value}));
    return list;
}

}  // namespace

ServiceServer::ServiceServer(const ServiceOptions &options, ServiceLog &log)
    : m_options(options), m_log(log)
{
    m_models = std::make_unique<ModelLibrary>(options.dataDir + "/models");
    // The development script keeps data of its own, so trying things out never
    // touches what the production script holds.
    m_storage = std::make_unique<StorageFactory>(options.dataDir, options.dbUrl);
    m_production.store = m_storage->openStore(false);
    m_development.store = m_storage->openStore(true);
    m_uploadWorkers = std::make_unique<UploadWorkers>();
    m_production.actions =
        std::make_unique<EndpointActions>(*m_production.store, *m_models, *m_uploadWorkers, options.quotaBytes);
    m_development.actions =
        std::make_unique<EndpointActions>(*m_development.store, *m_models, *m_uploadWorkers, options.quotaBytes);

    if (!options.noAuth)
        m_accounts = std::make_unique<AccountRegistry>(m_storage->openAccountBook());
    m_access = std::make_unique<AccessControl>(m_accounts.get(), options.rateLimit, options.authFailureLimit);

    if (!options.tlsCert.empty()) {
        m_server = std::make_unique<httplib::SSLServer>(options.tlsCert.c_str(), options.tlsKey.c_str());
        if (!m_server->is_valid())
            throw std::runtime_error("cannot use the TLS certificate " + options.tlsCert + " with its key " +
                                     options.tlsKey);
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    const int threads = options.threads;
    m_server->new_task_queue = [threads] { return new RequestThreads(static_cast<size_t>(threads)); };
    m_server->set_payload_max_length(std::max<std::uint64_t>(options.maxUploadBytes, options.maxFormBytes));
    // Only SO_REUSEADDR: httplib's default SO_REUSEPORT would let a second
    // service bind the same port unnoticed.
    m_server->set_socket_options([this](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listenFd = sock;
    });
    // Headers and body leave in separate writes: without TCP_NODELAY every reply on a
    // kept-alive connection waits for the peer's delayed acknowledgement (~40 ms).
    m_server->set_tcp_nodelay(true);
    // Installations and proxies keep connections for many requests, not httplib's 5.
    m_server->set_keep_alive_max_count(1000000);
    // A sender that goes silent (or trickles headers) gives its worker back.
    m_server->set_read_timeout(options.readTimeoutS, 0);
    m_server->set_write_timeout(30, 0);
    setupRoutes();
}

ServiceServer::~ServiceServer() = default;

int ServiceServer::bind()
{
    if (m_options.port == 0)
        m_port = m_server->bind_to_any_port(m_options.host);
    else
        m_port = m_server->bind_to_port(m_options.host, m_options.port) ? m_options.port : -1;
    // httplib listens with a backlog of 5: a burst of new connections (a proxy
    // opening its pool, many installations at once) would see some of them dropped.
    if (m_port > 0 && m_listenFd >= 0)
        ::listen(m_listenFd, SOMAXCONN);
    return m_port;
}

bool ServiceServer::run()
{
    return m_server->listen_after_bind();
}

void ServiceServer::stop()
{
    m_stopping = true;
    m_server->stop();
}

void ServiceServer::closeConnections()
{
    if (m_port > 0)
        ConnectionControl::shutdownReads(m_port);
}

std::shared_ptr<ServiceServer::Context> ServiceServer::context(const httplib::Request &req)
{
    std::lock_guard<std::mutex> lock(m_contextMutex);
    auto &slot = m_contexts[&req];
    if (!slot)
        slot = std::make_shared<Context>();
    return slot;
}

void ServiceServer::finish(const httplib::Request &req, int status, size_t bytes)
{
    std::shared_ptr<Context> ctx;
    {
        std::lock_guard<std::mutex> lock(m_contextMutex);
        const auto it = m_contexts.find(&req);
        if (it != m_contexts.end()) {
            ctx = it->second;
            m_contexts.erase(it);
        }
    }
    // Already reported (a fault cut the connection before httplib's logger ran).
    if (!ctx || ctx->finished)
        return;
    ctx->finished = true;

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - ctx->start)
                        .count();
    std::ostringstream line;
    line << req.remote_addr << ' ' << printable(req.method, 16) << ' ' << printable(req.path);
    if (!ctx->kind.empty())
        line << ' ' << printable(ctx->kind, 40);
    if (!ctx->account.empty())
        line << " idSender=" << ctx->account;
    line << " -> " << (status > 0 ? std::to_string(status) : std::string(status < 0 ? "held" : "reset"));
    if (ctx->code >= 0 || ctx->code < -1)
        line << " code=" << ctx->code;
    if (!ctx->fault.empty())
        line << " fault=" << ctx->fault;
    line << ' ' << bytes << "B " << ms << "ms";
    m_log.line(line.str());

    if (m_options.testHooks && req.path.rfind("/__test/", 0) != 0) {
        json &record = ctx->record;
        record["method"] = req.method;
        record["path"] = req.path;
        record["query"] = rawQuery(req);
        record["contentType"] = req.get_header_value("Content-Type");
        record["kind"] = ctx->kind;
        record["status"] = status;
        if (ctx->code != -1)
            record["code"] = ctx->code;
        if (!ctx->fault.empty())
            record["fault"] = ctx->fault;
        m_recorder.add(std::move(record));
    }
}

void ServiceServer::setupRoutes()
{
    m_server->set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &) {
        // A thread is lowered by an upload, whose reply ends the connection (see the
        // logger): a request read after it was sent anyway, and is not served.
        if (RequestThreads::currentThreadLowered())
            return httplib::Server::HandlerResponse::Handled;
        auto ctx = std::make_shared<Context>();
        ctx->record["seq"] = ++m_sequence;
        std::lock_guard<std::mutex> lock(m_contextMutex);
        m_contexts[&req] = std::move(ctx);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Logged and recorded just before the reply is written, so a client that has
    // its reply always finds its request in the request log.
    m_server->set_post_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
        finish(req, res.status, res.content_length_ ? res.content_length_ : res.body.size());
    });
    // After the reply is written. An upload's reply asked the client to close the
    // connection; one that keeps it would otherwise be served on the lowered thread,
    // at nice 19, until the keep-alive time runs out.
    m_server->set_logger([](const httplib::Request &req, const httplib::Response &) {
        if (RequestThreads::currentThreadLowered())
            ConnectionControl::endAfterReply(req);
    });
    m_server->set_error_handler([this](const httplib::Request &, httplib::Response &res) {
        if (res.body.empty())
            sendText(res, res.status, res.status == 413 ? "request too large\n" : "not found\n");
    });

    m_server->Get("/", [this](const httplib::Request &req, httplib::Response &res) {
        context(req)->kind = "probe";
        if (faultForPage("probe", req, res))
            return;
        res.set_content(htmlPage("Calvestra",
                                 "<p>Servizio web di riferimento di Calvestra: in funzione.</p>"),
                        "text/html; charset=utf-8");
    });
    auto home = [this](const httplib::Request &req, httplib::Response &res) {
        context(req)->kind = "home";
        if (faultForPage("home", req, res))
            return;
        res.set_content(htmlPage("Calvestra Web App",
                                 "<p>Gli esami inviati da Calvestra sono conservati da questo servizio.</p>"
                                 "<p>La consultazione avviene dall'applicazione Calvestra, scheda "
                                 "Archivio dell'esame.</p>"),
                        "text/html; charset=utf-8");
    };
    m_server->Get("/Apps/Movelta/?", home);
    m_server->Get("/Apps/Movelta/index\\.html", home);

    m_server->Get(regexEscape(updateFilePath), [this](const httplib::Request &req, httplib::Response &res) {
        context(req)->kind = "updateFile";
        if (faultForPage("updateFile", req, res))
            return;
        res.set_content(updateFileText(req), "text/plain; charset=utf-8");
    });
    // Other files of the maker's site (installers, manuals) come from <data>/software.
    m_server->Get("/Software/(.+)", [this](const httplib::Request &req, httplib::Response &res) {
        context(req)->kind = "software";
        if (faultForPage("software", req, res))
            return;
        std::string path = m_options.dataDir + "/software";
        std::istringstream parts(req.matches[1].str());
        std::string part;
        bool ok = true;
        while (ok && std::getline(parts, part, '/')) {
            path += "/" + part;
            struct stat st{};
            ok = FileNames::isSafeFileName(part) && ::lstat(path.c_str(), &st) == 0 &&
                 (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode));
        }
        struct stat st{};
        if (ok && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return serveFile(res, path, contentTypeFor(path));
        // A manual of the data folder's own wins; otherwise every language gets the one
        // guide shipped with the service.
        if (std::regex_match(req.matches[1].str(), manualPath) && !m_options.guideFile.empty())
            return serveFile(res, m_options.guideFile, "application/pdf");
        sendText(res, 404, "not found\n");
    });
    m_server->Get(regexEscape(modelsPath) + "(.+)", [this](const httplib::Request &req, httplib::Response &res) {
        context(req)->kind = "modelFile";
        if (faultForPage("modelFile", req, res))
            return;
        const auto path = m_models->path(req.matches[1].str());
        if (!path || FileNames::extension(*path) != "anm")
            return sendText(res, 404, "not found\n");
        pause(m_options.delayMs);
        serveFile(res, *path, "application/json");
    });

    addScriptRoutes(scriptPath, m_production);
    addScriptRoutes(devScriptPath, m_development);
    for (const std::string &path : m_options.extraEndpoints)
        addScriptRoutes(path, m_production);

    if (!m_options.testHooks)
        return;
    m_server->Post("/__test/fault", [this](const httplib::Request &req, httplib::Response &res) {
        const FormFields form = FormFields::parseUrlEncoded(req.body);
        std::int64_t count = 1;
        const std::string countText = form.lastOr("count", "1");
        if (!JsonRead::parseInteger(countText, -1, 1000000, count))
            return sendText(res, 400, "invalid count\n");
        std::string error;
        if (!m_faults.add(form.lastOr("mode"), form.lastOr("action"), static_cast<int>(count), error))
            return sendText(res, 400, error + "\n");
        res.set_content("{\"ok\":true}", "application/json");
    });
    m_server->Post("/__test/reset", [this](const httplib::Request &, httplib::Response &res) {
        m_faults.clear();
        m_recorder.clear();
        res.set_content("{\"ok\":true}", "application/json");
    });
    m_server->Get("/__test/requests", [this](const httplib::Request &, httplib::Response &res) {
        res.set_content(jsonText(m_recorder.all()), "application/json");
    });
}

void ServiceServer::addScriptRoutes(const std::string &path, Realm &realm)
{
    const std::string pattern = regexEscape(path);
    m_server->Post(pattern, [this, &realm](const httplib::Request &req, httplib::Response &res,
                                          const httplib::ContentReader &reader) {
        handleScriptPost(req, res, reader, realm);
    });
    m_server->Post(pattern, [this, &realm](const httplib::Request &req, httplib::Response &res) {
        handleScriptPost(req, res, httplib::ContentReader(nullptr, nullptr), realm);
    });
    m_server->Get(pattern, [this, &realm](const httplib::Request &req, httplib::Response &res) {
        handleScriptGet(req, res, realm);
    });
}

void ServiceServer::handleScriptPost(const httplib::Request &req, httplib::Response &res,
                                     const httplib::ContentReader &reader, Realm &realm)
{
    const auto ctx = context(req);
    const std::uint64_t length = contentLength(req);
    const bool hasBody = reader.reader_ && (length > 0 || isChunked(req));
    const bool multipart = req.is_multipart_form_data();
    const std::uint64_t limit = multipart ? m_options.maxUploadBytes : m_options.maxFormBytes;
    // Whatever is refused before its body is read leaves a connection that cannot
    // carry another request.
    const AccessControl::Verdict access =
        m_access->admit(clientAddress(req), req.get_header_value("Authorization"));
    if (!access.ok()) {
        if (multipart)
            return refuseUnread(req, res, *ctx, access.code, access.reason, hasBody ? length : 0);
        // A form is small: read and dropped, the connection stays usable.
        if (hasBody && !isChunked(req) && length <= limit && reader([](const char *, size_t) { return true; }))
            return refuse(res, *ctx, access.code, access.reason, false);
        res.set_header("Connection", "close");
        return refuse(res, *ctx, access.code, access.reason, false);
    }
    if (length > limit) {
        res.set_header("Connection", "close");
        return sendText(res, 413, "request too large\n");
    }
    // The account is known before the body: an upload that cannot fit is not read.
    if (multipart && m_access->authenticates() && !mayFit(realm, access.account, length))
        return refuseUnread(req, res, *ctx, 405, "web space exhausted", length);

    // Receiving and storing an exam keeps a core busy for a while: at the lowest
    // priority, behind the quick requests. The client is asked to close the connection
    // after the reply; it ends there in any case (see the logger), and the lowered thread
    // with it.
    if (multipart && RequestThreads::lowerCurrentThread())
        res.set_header("Connection", "close");

    EndpointActions::Request request;
    request.publicBase = publicBase(req);
    std::optional<FaultInjector::Fault> fault;
    bool faultTaken = false;
    bool tooLarge = false;
    bool dropped = false;
    bool writeFailed = false;
    std::uint64_t total = 0;
    std::uint64_t textTotal = 0;
    AccessControl::Verdict early;  // a refusal found while the body came in
    std::unique_ptr<UploadSpool> archive;

    if (multipart && hasBody) {
        struct Part
        {
            std::string name;
            std::string filename;
            std::string contentType;
            std::string value;
            std::uint64_t size = 0;
            bool isFile = false;
            bool isArchive = false;
        };
        Part part;
        bool inPart = false;
        bool dropArmed = false;
        json parts = json::array();
        auto finishPart = [&] {
            if (!inPart)
                return;
            parts.push_back({{"name", part.name},
                             {"filename", part.filename},
                             {"contentType", part.contentType},
                             {"size", part.size}});
            if (!part.isFile)
                request.fields.add(part.name, part.value);
            inPart = false;
        };
        MultipartReader body(
            MultipartReader::boundaryOf(req.get_header_value("Content-Type")),
            [&](const MultipartReader::PartHeader &header) {
                finishPart();
                part = Part{header.name, header.filename, header.contentType, {}, 0, !header.filename.empty(),
                            false};
                inPart = true;
                if (request.fields.fields().size() >= maxFields) {
                    tooLarge = true;
                    return false;
                }
                if (part.isFile && !faultTaken) {
                    // The fields before the first file say who sends it, and for
                    // which account the archive would be stored.
                    std::int64_t sender = 0;
                    const bool named = EndpointActions::parseAccount(request.fields, sender);
                    if (m_access->authenticates() && (!named || sender != access.account))
                        early = m_access->checkSender(access, request.fields);
                    else if (named && part.name == "UPLOADS" && !mayFit(realm, sender, length))
                        early = {405, 0, "web space exhausted"};
                    if (!early.ok())
                        return false;
                }
                if (part.isFile && !faultTaken) {
                    // The fields before the first file name the action a fault may wait for.
                    faultTaken = true;
                    fault = m_faults.take(request.fields.lastOr("action"), true);
                    dropArmed = fault && fault->mode == FaultInjector::Mode::Drop;
                }
                if (part.isFile && part.name == "UPLOADS" && !archive) {
                    archive = std::make_unique<UploadSpool>();
                    if (!archive->open(realm.store->tempDir(), isChunked(req) ? 0 : length)) {
                        writeFailed = true;
                        return false;
                    }
                    part.isArchive = true;
                }
                return true;
            },
            [&](const char *data, size_t size) {
                total += size;
                part.size += size;
                if (total > limit) {
                    tooLarge = true;
                    return false;
                }
                if (dropArmed && part.isFile && part.size >= 64 * 1024) {
                    ctx->fault = fault->text;
                    dropped = true;
                    dropConnection(req);
                    return false;
                }
                if (part.isArchive) {
                    if (!archive->append(data, size)) {
                        writeFailed = true;
                        return false;
                    }
                } else if (!part.isFile) {
                    textTotal += size;
                    if (part.value.size() + size > m_options.maxFieldBytes || textTotal > m_options.maxFormBytes) {
                        tooLarge = true;
                        return false;
                    }
                    part.value.append(data, size);
                }
                return true;
            });
        bool ok = false;
        {
            const RawBodyRead raw(req);
            ok = reader([&body](const char *data, size_t size) { return body.feed(data, size); }) && body.complete();
        }
        finishPart();
        ctx->record["parts"] = std::move(parts);
        if (ok && dropArmed && !dropped) {
            // The file was too small to cut in the middle: cut before the reply.
            ctx->fault = fault->text;
            dropConnection(req);
            return;
        }
        if (dropped)
            return;
        if (!early.ok())
            return refuseUnread(req, res, *ctx, early.code, early.reason, length > total ? length - total : 0);
        if (!ok || writeFailed || tooLarge) {
            ctx->record["fields"] = fieldsJson(request.fields);
            if (writeFailed)
                return sendText(res, 500, "cannot store the upload\n");
            return sendText(res, tooLarge || res.status == 413 ? 413 : 400,
                            tooLarge || res.status == 413 ? "request too large\n" : "malformed request\n");
        }
        if (archive) {
            archive->finish();
            request.archive = archive.get();
        }
    } else if (hasBody) {
        std::string body;
        const bool ok = reader([&](const char *data, size_t size) {
            if (body.size() + size > limit) {
                tooLarge = true;
                return false;
            }
            body.append(data, size);
            return true;
        });
        if (tooLarge || res.status == 413)
            return sendText(res, 413, "request too large\n");
        if (!ok)
            return sendText(res, 400, "malformed request\n");
        request.fields = FormFields::parseUrlEncoded(body);
        if (request.fields.fields().size() > maxFields)
            return sendText(res, 413, "request too large\n");
        for (const auto &field : request.fields.fields()) {
            if (field.second.size() > m_options.maxFieldBytes)
                return sendText(res, 413, "request too large\n");
        }
    }

    ctx->record["fields"] = fieldsJson(request.fields);
    ctx->kind = request.fields.lastOr("action");
    ctx->account = accountText(request.fields);
    // Also after an upload's file: a field after it could name another account.
    if (const auto sender = m_access->checkSender(access, request.fields); !sender.ok())
        return refuse(res, *ctx, sender.code, sender.reason, false);
    if (!faultTaken)
        fault = m_faults.take(request.fields.lastOr("action"), true);
    if (fault && applyFault(*fault, req, res, *ctx))
        return;
    dispatch(req, res, realm, *ctx, request);
    if (ctx->replyLost)
        dropConnection(req);
}

void ServiceServer::handleScriptGet(const httplib::Request &req, httplib::Response &res, Realm &realm)
{
    const auto ctx = context(req);
    EndpointActions::Request request;
    request.fields = FormFields::parseUrlEncoded(rawQuery(req));
    request.publicBase = publicBase(req);
    ctx->record["fields"] = fieldsJson(request.fields);
    ctx->kind = request.fields.lastOr("action");
    ctx->account = accountText(request.fields);
    AccessControl::Verdict access = m_access->admit(clientAddress(req), req.get_header_value("Authorization"));
    access = m_access->checkSender(access, request.fields);
    // A refused file request must not look like a file: its HTTP status is the code.
    if (!access.ok())
        return refuse(res, *ctx, access.code, access.reason, ctx->kind == "getUserFile");
    if (const auto fault = m_faults.take(ctx->kind, true); fault && applyFault(*fault, req, res, *ctx))
        return;
    if (ctx->replyLost) {
        // A download changes nothing: losing its reply is a plain drop.
        dropConnection(req);
        return;
    }
    if (ctx->kind != "getUserFile") {
        EndpointActions::Reply reply;
        reply.code = 400;
        reply.extradescr = ctx->kind.empty() ? "missing action" : "action needs POST: " + ctx->kind;
        return sendEnvelope(res, *ctx, reply);
    }
    dispatch(req, res, realm, *ctx, request);
}

void ServiceServer::dispatch(const httplib::Request &req, httplib::Response &res, Realm &realm, Context &ctx,
                             EndpointActions::Request &request)
{
    if (ctx.kind == "getUserFile")
        return serveUserFile(req, res, realm, request.fields);

    std::string archiveNames;
    request.archiveNames = &archiveNames;
    EndpointActions::Reply reply;
    try {
        reply = realm.actions->run(ctx.kind, request);
    } catch (const std::exception &e) {
        m_log.line(std::string("error: ") + e.what());
        reply = EndpointActions::Reply();
        reply.code = 500;
        reply.extradescr = "internal error";
    }
    if (request.archive) {
        json names = json::array();
        std::istringstream lines(archiveNames);
        std::string name;
        while (names.size() < maxArchiveNamesLogged && std::getline(lines, name))
            names.push_back(name);
        ctx.record["archiveEntries"] = std::move(names);
    }
    sendEnvelope(res, ctx, reply);
}

void ServiceServer::serveUserFile(const httplib::Request &, httplib::Response &res, Realm &realm,
                                  const FormFields &fields)
{
    std::int64_t account = 0;
    std::int64_t idUser = 0;
    if (!EndpointActions::parseAccount(fields, account))
        return sendText(res, 400, "missing or invalid idSender\n");
    if (!JsonRead::parseInteger(fields.lastOr("idUser"), 1, std::numeric_limits<std::int64_t>::max(), idUser))
        return sendText(res, 400, "missing or invalid idUser\n");
    const std::string kind = fields.lastOr("kind");
    if (kind != "jpg" && kind != "d2d" && kind != "json")
        return sendText(res, 400, "unknown kind\n");
    const std::string filename = fields.lastOr("filename");
    if (!FileNames::isSafeFileName(filename))
        return sendText(res, 400, "invalid file name\n");
    // The raw data and the analysis of a scan are asked for by the picture's name.
    const std::string target =
        FileNames::extension(filename) == kind ? filename : FileNames::completeBaseName(filename) + "." + kind;

    std::unique_ptr<StoredFile> file;
    try {
        file = realm.store->openFile(account, idUser, target);
    } catch (const std::exception &e) {
        m_log.line(std::string("error: ") + e.what());
        return sendText(res, 500, "internal error\n");
    }
    if (!file)
        return sendText(res, 404, "not found\n");
    pause(m_options.delayMs);
    serveStored(res, std::move(file), contentTypeFor(target));
}

bool ServiceServer::hasAccounts() { return !m_accounts || m_accounts->hasAccounts(); }

void ServiceServer::serveStored(httplib::Response &res, std::unique_ptr<StoredFile> file,
                                const std::string &contentType)
{
    const auto size = static_cast<size_t>(file->size());
    if (size == 0)
        return res.set_content(std::string(), contentType);
    std::shared_ptr<StoredFile> shared = std::move(file);
    // Streamed in pieces: a large file is never held in memory whole.
    res.set_content_provider(size, contentType, [shared](size_t offset, size_t length, httplib::DataSink &sink) {
        std::string piece;
        return shared->read(offset, std::min<size_t>(length, 256 * 1024), piece) && !piece.empty() &&
               sink.write(piece.data(), piece.size());
    });
}

void ServiceServer::serveFile(httplib::Response &res, const std::string &path, const std::string &contentType)
{
    std::unique_ptr<StoredFile> file = DiskFile::open(path, true);
    if (!file)
        return sendText(res, 404, "not found\n");
    serveStored(res, std::move(file), contentType);
}

void ServiceServer::sendEnvelope(httplib::Response &res, Context &ctx, const EndpointActions::Reply &reply)
{
    if (reply.dataText) {
        ctx.code = reply.code;
        res.status = 200;
        const json status = {{"code", reply.code}, {"extradescr", reply.extradescr}};
        res.set_content("{\"data\":" + *reply.dataText + ",\"status\":" + jsonText(status) + "}",
                        "application/json; charset=utf-8");
        return;
    }
    json body = {{"status", {{"code", reply.code}, {"extradescr", reply.extradescr}}}, {"data", reply.data}};
    if (!body["data"].is_object())
        body["data"] = json::object();
    ctx.code = reply.code;
    // Service failures travel in the envelope; the HTTP exchange itself succeeded.
    res.status = 200;
    res.set_content(jsonText(body), "application/json; charset=utf-8");
}

void ServiceServer::refuse(httplib::Response &res, Context &ctx, int code, const std::string &text, bool asStatus)
{
    EndpointActions::Reply reply;
    reply.code = code;
    reply.extradescr = text;
    sendEnvelope(res, ctx, reply);
    if (asStatus) {
        res.status = code;
        if (code == 401)
            res.set_header("WWW-Authenticate", "Bearer realm=\"calvestra\"");
    }
}

void ServiceServer::refuseUnread(const httplib::Request &req, httplib::Response &res, Context &ctx, int code,
                                 const std::string &text, std::uint64_t unread)
{
    refuse(res, ctx, code, text, false);
    res.set_header("Connection", "close");
    if (unread == 0)
        return;
    // Answered before the body comes, and the body still sent is taken and dropped.
    std::ostringstream reply;
    reply << "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: "
          << res.body.size() << "\r\nConnection: close\r\n\r\n"
          << res.body;
    finish(req, 200, res.body.size());
    ConnectionControl::replyAndDrain(req, reply.str(), unread, m_options.readTimeoutS);
}

bool ServiceServer::mayFit(Realm &realm, std::int64_t account, std::uint64_t length)
{
    // Room for the form fields and the archive's own headers, which the quota does not count.
    constexpr std::uint64_t slack = 1ull << 20;
    if (length == 0)
        return true;  // no length declared: the quota is checked once the archive is in
    const std::uint64_t room = realm.store->uploadRoom(account, m_options.quotaBytes);
    return length <= room + slack;
}

std::string ServiceServer::clientAddress(const httplib::Request &req) const
{
    if (m_options.trustedProxy.empty() || req.remote_addr != m_options.trustedProxy)
        return req.remote_addr;
    // The proxy appends the address it saw: the last entry is the one it vouches for.
    std::string forwarded = req.get_header_value("X-Forwarded-For");
    const auto comma = forwarded.rfind(',');
    if (comma != std::string::npos)
        forwarded = forwarded.substr(comma + 1);
    const auto first = forwarded.find_first_not_of(' ');
    const auto last = forwarded.find_last_not_of(' ');
    return first == std::string::npos ? req.remote_addr : forwarded.substr(first, last - first + 1);
}

void ServiceServer::sendText(httplib::Response &res, int status, const std::string &text)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

bool ServiceServer::faultForPage(const std::string &kind, const httplib::Request &req, httplib::Response &res)
{
    const auto fault = m_faults.take(kind, false);
    return fault && applyFault(*fault, req, res, *context(req));
}

bool ServiceServer::applyFault(const FaultInjector::Fault &fault, const httplib::Request &req,
                               httplib::Response &res, Context &ctx)
{
    using Mode = FaultInjector::Mode;
    ctx.fault = fault.text;
    switch (fault.mode) {
    case Mode::Delay:
        pause(static_cast<int>(fault.value));
        return false;
    case Mode::Status500:
        res.status = 500;
        res.set_content(htmlPage("500 Internal Server Error", "<p>Errore interno del server.</p>"),
                        "text/html; charset=utf-8");
        return true;
    case Mode::NonJson:
        res.status = 200;
        res.set_content(htmlPage("Manutenzione", "<p>Servizio temporaneamente non disponibile.</p>"),
                        "text/html; charset=utf-8");
        return true;
    case Mode::Code: {
        EndpointActions::Reply reply;
        reply.code = static_cast<int>(fault.value);
        reply.extradescr = "injected failure";
        sendEnvelope(res, ctx, reply);
        return true;
    }
    case Mode::Huge: {
        const std::string head = "{\"status\":{\"code\":200,\"extradescr\":\"";
        const std::string tail = "\"},\"data\":{}}";
        const size_t filler = static_cast<size_t>(fault.value) << 20;
        const size_t size = head.size() + filler + tail.size();
        res.status = 200;
        res.set_content_provider(
            size, "application/json", [head, tail, filler](size_t offset, size_t length, httplib::DataSink &sink) {
                std::string piece;
                const size_t end = offset + std::min<size_t>(length, 64 * 1024);
                for (size_t i = offset; i < end; ++i) {
                    if (i < head.size())
                        piece.push_back(head[i]);
                    else if (i < head.size() + filler)
                        piece.push_back('x');
                    else
                        piece.push_back(tail[i - head.size() - filler]);
                }
                return sink.write(piece.data(), piece.size());
            });
        return true;
    }
    case Mode::Drop:
        dropConnection(req);
        return true;
    case Mode::Lost:
        ctx.replyLost = true;
        return false;
    case Mode::Hang:
    case Mode::Stall: {
        const int fd = ConnectionControl::findSocket(req);
        if (fault.mode == Mode::Stall && fd >= 0) {
            ConnectionControl::sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                           "Content-Length: 4096\r\n\r\n{\"status\":{\"code\":");
        }
        finish(req, fault.mode == Mode::Stall ? 200 : -1, 0);
        holdConnection(fd);
        ConnectionControl::reset(fd);
        res.status = 500;
        return true;
    }
    }
    return false;
}

void ServiceServer::holdConnection(int fd)
{
    const auto until = std::chrono::steady_clock::now() + maxHold;
    while (!m_stopping && std::chrono::steady_clock::now() < until && !ConnectionControl::peerClosed(fd))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void ServiceServer::dropConnection(const httplib::Request &req)
{
    const int fd = ConnectionControl::findSocket(req);
    finish(req, 0, 0);
    ConnectionControl::reset(fd);
}

void ServiceServer::pause(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
}

std::string ServiceServer::publicBase(const httplib::Request &req) const
{
    if (!m_options.publicUrl.empty())
        return m_options.publicUrl;
    const std::string host = req.get_header_value("Host");
    const bool usable = !host.empty() && host.size() < 256 &&
                        std::all_of(host.begin(), host.end(), [](unsigned char c) {
                            return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
                        });
    const std::string scheme = m_options.tlsCert.empty() ? "http://" : "https://";
    if (usable)
        return scheme + host;
    const bool v6 = m_options.host.find(':') != std::string::npos;
    return scheme + (v6 ? "[" + m_options.host + "]" : m_options.host) + ":" + std::to_string(m_port);
}

std::string ServiceServer::updateFileText(const httplib::Request &req) const
{
    const std::string installer =
        !m_options.installerUrl.empty()
            ? m_options.installerUrl
            : publicBase(req) + "/Software/Calvestra20/Calvestra-" + m_options.latestVersion + ".pkg";
    return m_options.latestVersion + "\n" + installer + "\n";
}
