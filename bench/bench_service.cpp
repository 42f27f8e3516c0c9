// Load on calvestra-service: many keep-alive connections sending what installations
// send (the client list of a 1000-client account and of a 50-client one, client and
// questionnaire saves, exam uploads of 3 and 20 scans, stored-file downloads), against
// one node on SQLite, one on PostgreSQL and two on PostgreSQL sharing the database.
// PostgreSQL: CALVESTRA_TEST_PG names a server's maintenance database; without it a
// throw-away cluster is started with tools/pg-test-cluster.sh. CALVESTRA_BENCH_LOG names a
// file for the nodes' request log (each line has the time spent inside the service).
//
// The mix runs twice: back to back, for the rate a node sustains, then paced at half
// that rate for the latencies (under saturation they would measure only the queue),
// timed from each request's sending; p99_from_due_ms times them from their schedule.
// Uploads alone are compared with dd writing as much to the same disk in the same minute
// (disk_mb_s); disk_burst_mb_s is 256 MB written before any node starts.
#include <httplib.h>
#include <zip.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
const char *const script = "/Apps/Movelta/vq_webservice.php";
constexpr int connections = 32;

std::string shell(const std::string &command)
{
    std::string out;
    if (FILE *pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// One calvestra-service process; stopped with SIGTERM when the object goes.
class Node
{
public:
    Node(const std::string &dataDir, const std::string &db)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        std::vector<std::string> args{CALVESTRA_SERVICE_EXE, "--listen", "127.0.0.1:0", "--data", dataDir,
                                      "--rate-limit", "1000000", "--quota-mb", "100000", "--threads", "40"};
        if (!db.empty())
            args.insert(args.end(), {"--db", db});
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const char *log = std::getenv("CALVESTRA_BENCH_LOG");
        posix_spawn_file_actions_addopen(&actions, 2, log ? log : "/dev/null", O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        std::string line;
        char c = 0;
        while (line.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
            line += c;
        ::close(out[0]);
        const auto colon = line.rfind(':');
        m_port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
    }
    ~Node()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Node(const Node &) = delete;
    Node &operator=(const Node &) = delete;
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

std::string randomBytes(size_t size, std::mt19937 &rng)
{
    std::string data(size, '\0');
    for (char &c : data)
        c = static_cast<char>(rng());
    return data;
}

std::string zipOf(int scans, std::mt19937 &rng)
{
    const std::string path = std::filesystem::temp_directory_path() / ("bench-" + std::to_string(::getpid()) + ".zip");
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    std::vector<std::string> contents;
    contents.reserve(static_cast<size_t>(scans) * 2);
    for (int i = 0; i < scans; ++i) {
        const std::string base = "Vita-2024010" + std::to_string(i % 10) + "--09-30-" + std::to_string(10 + i);
        for (const auto &[ext, size] : {std::pair{".jpg", 60 * 1024}, {".d2d", 140 * 1024}}) {
            contents.push_back(randomBytes(static_cast<size_t>(size), rng));
            const std::string name = base + ext;
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, contents.back().data(), contents.back().size(), 0),
                         ZIP_FL_ENC_UTF_8);
        }
    }
    zip_close(archive);
    std::string data;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            data.append(buffer, n);
        std::fclose(f);
    }
    std::filesystem::remove(path);
    return data;
}

int codeOf(const httplib::Result &r)
{
    if (!r || r->status != 200)
        return -1;
    // The status object comes last: searched from the end, a code inside the data (and the
    // 221 kB of a long list, on this program's share of the cores) is never looked at.
    const auto at = r->body.rfind("\"code\":");
    return at == std::string::npos ? -1 : std::atoi(r->body.c_str() + at + 7);
}

struct Seed
{
    int bigClient = 0;    // of the 1000-client account, with a stored exam
    std::vector<int> bigClients;    // all of that account's, which uploads go to
    std::vector<int> smallClients;  // the 50-client account's, which saves change
    std::string archive3;
    std::string archive20;
    // As installations send them: each account's token with every request.
    httplib::Headers bigAuth, smallAuth;
};

constexpr const char *boundary = "calvestra-bench-7c1d0b5a";

// An upload's fields and the head of its file part. The archive itself is sent from the
// one copy: httplib's own multipart writer would scan it for its boundary and copy it at
// every request, which would cost the load generator more than the service.
std::string uploadHead(const std::string &date, int client)
{
    auto field = [](const char *name, const std::string &value) {
        return std::string("--") + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
               value + "\r\n";
    };
    return field("idSender", "1001") + field("action", "uploadExamZip") +
           field("exam", R"({"examDate":")" + date + R"(","idUser":)" + std::to_string(client) + "}") + "--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"UPLOADS\"; filename=\"u.zip\"\r\n"
           "Content-Type: application/zip\r\n\r\n";
}

// What follows the archive: the closing delimiter.
const std::string uploadTail = std::string("\r\n--") + boundary + "--\r\n";

// Installations mostly send days not sent before, each to one of the account's clients; one
// upload in ten sends an earlier day again, which replaces it. (Only days sent again, as
// this program once did, measure the removal of the replaced files more than the storing.)
std::atomic<unsigned> uploadsSent{0};

std::pair<std::string, int> nextUploadDay(const Seed &seed)
{
    unsigned n = uploadsSent++;
    if (n % 10 == 9)
        n -= 9;
    const unsigned day = n / static_cast<unsigned>(seed.bigClients.size());
    char date[16];
    std::snprintf(date, sizeof date, "%04u-%02u-%02u", 2025 + day / 336, 1 + day / 28 % 12, 1 + day % 28);
    return {date, seed.bigClients[n % seed.bigClients.size()]};
}

enum class Kind { List1000, List50, SaveClient, SaveQuestionnaire, Upload3, Upload20, Download };

struct Stats
{
    std::vector<double> latencyMs;  // requests other than uploads
    std::vector<double> byKind[7];
    std::vector<double> fromDueMs;  // paced: requests other than uploads, timed from when they were due
    std::uint64_t requests = 0;
    std::uint64_t uploadBytes = 0;
    std::uint64_t errors = 0;
};

httplib::Result send(httplib::Client &client, Kind kind, const Seed &seed, std::mt19937 &rng)
{
    const std::string big = "1001", small = "1002";
    switch (kind) {
    case Kind::List1000:
        return client.Post(script, seed.bigAuth, "idSender=" + big + "&action=getUsers", "application/x-www-form-urlencoded");
    case Kind::List50:
        return client.Post(script, seed.smallAuth, "idSender=" + small + "&action=getUsers", "application/x-www-form-urlencoded");
    case Kind::SaveClient:
        return client.Post(script, seed.smallAuth, "idSender=" + small + R"(&action=setUserData&data={"id":)" +
                                       std::to_string(seed.smallClients[rng() % seed.smallClients.size()]) +
                                       R"(,"surname":"Rossi","name":"Anna","weight":"61.5"})",
                           "application/x-www-form-urlencoded");
    case Kind::SaveQuestionnaire:
        return client.Post(script, seed.bigAuth, "idSender=" + big + "&action=uploadAnamnesi&idAnamnesi=0&idUser=" +
                                       std::to_string(seed.bigClient) + R"(&data={"Name":"Q","Date":"2024-01-01 10:00:00"})",
                           "application/x-www-form-urlencoded");
    case Kind::Upload3:
    case Kind::Upload20: {
        const std::string &archive = kind == Kind::Upload3 ? seed.archive3 : seed.archive20;
        const auto [date, idUser] = nextUploadDay(seed);
        const std::string head = uploadHead(date, idUser);
        const size_t total = head.size() + archive.size() + uploadTail.size();
        return client.Post(
            script, seed.bigAuth, total,
            [&](size_t offset, size_t length, httplib::DataSink &sink) {
                const auto piece = [&](const std::string &part, size_t from) {
                    return sink.write(part.data() + from, std::min(length, part.size() - from));
                };
                if (offset < head.size())
                    return piece(head, offset);
                if (offset < head.size() + archive.size())
                    return piece(archive, offset - head.size());
                return piece(uploadTail, offset - head.size() - archive.size());
            },
            std::string("multipart/form-data; boundary=") + boundary);
    }
    case Kind::Download:
        return client.Get(std::string(script) + "?action=getUserFile&idSender=" + big + "&idUser=" +
                              std::to_string(seed.bigClient) + "&kind=d2d&filename=Vita-20240100--09-30-10.jpg",
                          seed.bigAuth);
    }
    return client.Get("/");
}

// Keeps connectionCount keep-alive connections busy for `seconds`; kinds are drawn by weight.
// With a rate (requests a second, all connections together) each connection sends on a
// fixed schedule instead of back to back. A request's time counts from when it is sent;
// timed from when it was due, it would also hold this program's own late wake-ups (its
// threads wait for the same cores) and the wait behind the connection's previous upload,
// which is kept apart (fromDueMs).
Stats load(const std::vector<int> &ports, const Seed &seed, const std::vector<std::pair<Kind, int>> &mix, double seconds,
           int connectionCount = connections, double rate = 0)
{
    Stats total;
    std::mutex mutex;
    std::vector<std::thread> workers;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (int w = 0; w < connectionCount; ++w) {
        workers.emplace_back([&, w] {
            std::mt19937 rng(static_cast<unsigned>(w) * 7919u + 1u);
            httplib::Client client("127.0.0.1", ports[static_cast<size_t>(w) % ports.size()]);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_read_timeout(60, 0);
            client.set_write_timeout(60, 0);
            int weights = 0;
            for (const auto &m : mix)
                weights += m.second;
            Stats mine;
            const auto interval = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(rate > 0 ? connectionCount / rate : 0));
            auto due = Clock::now() + interval * w / connectionCount;
            while (Clock::now() < end) {
                if (rate > 0) {
                    std::this_thread::sleep_until(due);
                    due += interval;
                }
                int pick = static_cast<int>(rng() % static_cast<unsigned>(weights));
                Kind kind = mix.front().first;
                for (const auto &m : mix) {
                    if ((pick -= m.second) < 0) {
                        kind = m.first;
                        break;
                    }
                }
                const auto start = Clock::now();
                const auto reply = send(client, kind, seed, rng);
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                const bool upload = kind == Kind::Upload3 || kind == Kind::Upload20;
                const bool ok = kind == Kind::Download ? reply && reply->status == 200 : codeOf(reply) == 200;
                mine.errors += ok ? 0 : 1;
                if (!ok && mine.errors <= 3)
                    std::fprintf(stderr, "error: kind %d after %llu requests: %s\n", static_cast<int>(kind),
                                 static_cast<unsigned long long>(mine.requests),
                                 reply ? (std::to_string(reply->status) + " " + reply->body.substr(0, 120)).c_str()
                                       : httplib::to_string(reply.error()).c_str());
                ++mine.requests;
                if (upload) {
                    mine.uploadBytes += (kind == Kind::Upload3 ? seed.archive3 : seed.archive20).size();
                } else {
                    mine.latencyMs.push_back(ms);
                    if (rate > 0)
                        mine.fromDueMs.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - (due - interval)).count());
                }
                mine.byKind[static_cast<int>(kind)].push_back(ms);
            }
            std::lock_guard<std::mutex> lock(mutex);
            total.requests += mine.requests;
            total.errors += mine.errors;
            total.uploadBytes += mine.uploadBytes;
            total.latencyMs.insert(total.latencyMs.end(), mine.latencyMs.begin(), mine.latencyMs.end());
            total.fromDueMs.insert(total.fromDueMs.end(), mine.fromDueMs.begin(), mine.fromDueMs.end());
            for (int k = 0; k < 7; ++k)
                total.byKind[k].insert(total.byKind[k].end(), mine.byKind[k].begin(), mine.byKind[k].end());
        });
    }
    for (auto &t : workers)
        t.join();
    std::sort(total.latencyMs.begin(), total.latencyMs.end());
    std::sort(total.fromDueMs.begin(), total.fromDueMs.end());
    for (auto &v : total.byKind)
        std::sort(v.begin(), v.end());
    return total;
}

double percentile(const std::vector<double> &sorted, double p)
{
    return sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, static_cast<size_t>(p * static_cast<double>(sorted.size())))];
}

// A thread of this program that only sleeps 1 ms at a time and notes how late it wakes:
// the scheduling delay any woken thread sees on these cores, whoever keeps them busy. A
// request waits for at least two wake-ups (the node's thread, then the sender's), so this
// is the floor under the requests' tail.
class WakeProbe
{
public:
    WakeProbe()
        : m_thread([this] {
              while (!m_stop) {
                  const auto due = Clock::now() + std::chrono::milliseconds(1);
                  std::this_thread::sleep_until(due);
                  m_lateMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due).count());
              }
          })
    {
    }
    ~WakeProbe() { stop(); }
    WakeProbe(const WakeProbe &) = delete;
    WakeProbe &operator=(const WakeProbe &) = delete;

    // Ends the probe; the 99th percentile of its lateness.
    double stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
            std::sort(m_lateMs.begin(), m_lateMs.end());
        }
        return percentile(m_lateMs, 0.99);
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<double> m_lateMs;  // the probe thread's own until joined
    std::thread m_thread;
};

// Makes the two accounts (1001, 1002) with the service's own command; their tokens as
// request headers.
void addAccounts(Seed &s, const std::string &dataDir, const std::string &db)
{
    const auto add = [&](int number) -> httplib::Headers {
        const std::string out = shell(std::string(CALVESTRA_SERVICE_EXE) + " account add --name bench --number " +
                                      std::to_string(number) + (db.empty() ? " --data " + dataDir : " --db '" + db + "'") +
                                      " 2>/dev/null");
        const auto at = out.find("token=");
        return {{"Authorization", "Bearer " + (at == std::string::npos ? std::string() : out.substr(at + 6, 64))}};
    };
    s.bigAuth = add(1001);
    s.smallAuth = add(1002);
}

bool seed(int port, Seed &s, std::mt19937 &rng)
{
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    for (int i = 0; i < 1000; ++i) {
        const auto r = client.Post(script, s.bigAuth, "idSender=1001&action=setUserData&data=" +
                                               (R"({"surname":"Cliente+)" + std::to_string(i) +
                                                R"(","name":"Nome","email":"c@example.org","height":"170","weight":"70"})"),
                                   "application/x-www-form-urlencoded");
        if (codeOf(r) != 200)
            return false;
        s.bigClients.push_back(std::atoi(r->body.c_str() + r->body.find("\"id\":") + 5));
    }
    for (int i = 0; i < 50; ++i) {
        const auto r = client.Post(script, s.smallAuth, R"(idSender=1002&action=setUserData&data={"surname":"Piccolo"})",
                                   "application/x-www-form-urlencoded");
        if (codeOf(r) != 200)
            return false;
        s.smallClients.push_back(std::atoi(r->body.c_str() + r->body.find("\"id\":") + 5));
    }
    s.archive3 = zipOf(3, rng);
    s.archive20 = zipOf(20, rng);
    s.bigClient = s.bigClients.front();
    // The exam the downloads fetch from.
    const std::string body = uploadHead("2024-01-10", s.bigClient) + s.archive3 + uploadTail;
    return codeOf(client.Post(script, s.bigAuth, body, std::string("multipart/form-data; boundary=") + boundary)) == 200;
}

// What plain writes of `bytes` in 1 MB blocks, then one fdatasync, take on the disk
// holding dir, in MB/s: what dd with conv=fdatasync measures. 0 when the disk refused.
double ddMbPerSecond(const std::string &dir, std::uint64_t bytes)
{
    const std::string path = dir + "/dd-probe";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return 0;
    const std::string block(1 << 20, 'x');
    const std::uint64_t blocks = std::max<std::uint64_t>(1, bytes / block.size());
    const auto start = Clock::now();
    bool written = true;
    for (std::uint64_t i = 0; i < blocks && written; ++i)
        written = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    written = ::fdatasync(fd) == 0 && written;
    ::close(fd);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::filesystem::remove(path);
    return written ? static_cast<double>(blocks * block.size()) / 1e6 / seconds : 0;
}

struct Outcome
{
    double listBigRps = 0, listSmallRps = 0, mixRps = 0, p50 = 0, p99 = 0, p99FromDue = 0, uploadMbS = 0;
    double diskMbS = 0;  // dd's, between the uploads' two halves, when asked for
    double wakeP99 = 0;  // the probe's, during the paced mix
    std::uint64_t errors = 0;
};

Outcome measure(const std::vector<int> &ports, const Seed &seed, const std::string &ddDir = {})
{
    Outcome o;
    const Stats big = load(ports, seed, {{Kind::List1000, 1}}, 5);
    const Stats small = load(ports, seed, {{Kind::List50, 1}}, 4);
    const std::vector<std::pair<Kind, int>> weights{{Kind::List1000, 20}, {Kind::List50, 20}, {Kind::SaveClient, 20},
                                                   {Kind::SaveQuestionnaire, 15}, {Kind::Download, 17},
                                                   {Kind::Upload3, 6}, {Kind::Upload20, 2}};
    // Back to back the mix measures how much the node serves; its latencies then are
    // mostly the queue. They are measured at half that rate, the load a node is run at.
    const Stats mix = load(ports, seed, weights, 6);
    o.listBigRps = static_cast<double>(big.requests) / 5;
    o.listSmallRps = static_cast<double>(small.requests) / 4;
    o.mixRps = static_cast<double>(mix.requests) / 6;
    WakeProbe probe;
    const Stats paced = load(ports, seed, weights, 6, connections, o.mixRps / 2);
    o.wakeP99 = probe.stop();
    o.p50 = percentile(paced.latencyMs, 0.5);
    o.p99 = percentile(paced.latencyMs, 0.99);
    o.p99FromDue = percentile(paced.fromDueMs, 0.99);
    static const char *const names[] = {"list1000", "list50", "saveClient", "saveQuest", "upload3", "upload20", "download"};
    for (int k = 0; k < 7; ++k)
        std::printf("  %-10s busy p50 %7.2f p99 %7.2f ms   at half p50 %7.2f p99 %7.2f ms\n", names[k],
                    percentile(mix.byKind[k], 0.5), percentile(mix.byKind[k], 0.99), percentile(paced.byKind[k], 0.5),
                    percentile(paced.byKind[k], 0.99));
    // Uploads alone, 8 at a time: the rate a clinic's evening of uploads would see. The
    // disk they are compared with is measured between their two halves, writing as much
    // as the first half did: this virtual disk takes a few hundred MB far faster than it
    // takes gigabytes, and it is faster or slower by the minute, so a short dd on the
    // quiet disk before everything else would compare two different disks.
    const Stats first = load(ports, seed, {{Kind::Upload20, 1}}, 3, 8);
    if (!ddDir.empty())
        o.diskMbS = ddMbPerSecond(ddDir, first.uploadBytes);
    const Stats second = load(ports, seed, {{Kind::Upload20, 1}}, 3, 8);
    o.uploadMbS = static_cast<double>(first.uploadBytes + second.uploadBytes) / 1e6 / 6;
    o.errors = big.errors + small.errors + mix.errors + paced.errors + first.errors + second.errors;
    return o;
}

void report(const char *name, const Outcome &o)
{
    std::printf("%-10s list1000 %7.0f req/s  list50 %7.0f req/s  mix %7.0f req/s  p50 %6.2f ms  p99 %7.2f ms"
                " (from due %7.2f, wake-up p99 %5.2f)  uploads alone %6.1f MB/s  errors %llu\n",
                name, o.listBigRps, o.listSmallRps, o.mixRps, o.p50, o.p99, o.p99FromDue, o.wakeP99, o.uploadMbS,
                static_cast<unsigned long long>(o.errors));
    std::fflush(stdout);
}

}  // namespace

int main()
{
    ::signal(SIGPIPE, SIG_IGN);
    std::mt19937 rng(42);
    const std::string work = shell("mktemp -d /tmp/bench-service.XXXXXX");
    const double diskBurst = ddMbPerSecond(work, 256 << 20);
    double idleWakeP99 = 0;
    {
        WakeProbe probe;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        idleWakeP99 = probe.stop();
    }

    std::string pg = std::getenv("CALVESTRA_TEST_PG") ? std::getenv("CALVESTRA_TEST_PG") : "";
    const std::string clusterScript = std::string(CALVESTRA_SOURCE_DIR) + "/tools/pg-test-cluster.sh";
    std::string cluster;
    if (pg.empty()) {
        const std::string out = shell(". " + clusterScript + " && calvestra_pg_start >/dev/null && echo \"$CALVESTRA_PG_DIR $CALVESTRA_TEST_PG\"");
        cluster = out.substr(0, out.find(' '));
        pg = out.find(' ') == std::string::npos ? "" : out.substr(out.find(' ') + 1);
    }
    const std::string dbName = "calvestra_bench_" + std::to_string(::getpid());
    std::string db;
    if (!pg.empty()) {
        shell("psql '" + pg + "' -qc 'CREATE DATABASE " + dbName + "' 2>&1");
        db = pg.substr(0, pg.find("/postgres")) + "/" + dbName + pg.substr(pg.find("/postgres") + 9);
    }

    Outcome sqlite, one, two;
    Seed seedSqlite, seedPg;
    {
        addAccounts(seedSqlite, work + "/sqlite", "");
        Node node(work + "/sqlite", "");
        if (node.port() == 0 || !seed(node.port(), seedSqlite, rng)) {
            std::fprintf(stderr, "the SQLite service did not start or take the seed data\n");
            return 1;
        }
        sqlite = measure({node.port()}, seedSqlite, work);
        report("sqlite", sqlite);
    }
    if (!db.empty()) {
        {
            addAccounts(seedPg, "", db);
            Node node(work + "/pg1", db);
            if (node.port() > 0 && seed(node.port(), seedPg, rng)) {
                one = measure({node.port()}, seedPg);
                report("pg", one);
            }
        }
        Node a(work + "/pg2a", db), b(work + "/pg2b", db);
        if (a.port() > 0 && b.port() > 0 && seedPg.bigClient > 0) {
            two = measure({a.port(), b.port()}, seedPg);
            report("pg 2 nodes", two);
        }
        shell("psql '" + pg + "' -qc 'DROP DATABASE IF EXISTS " + dbName + " WITH (FORCE)' 2>&1");
    } else {
        std::fprintf(stderr, "no PostgreSQL: only SQLite measured\n");
    }
    if (!cluster.empty())
        shell("CALVESTRA_PG_DIR=" + cluster + " && . " + clusterScript + " && calvestra_pg_stop");
    std::filesystem::remove_all(work);
    std::printf("disk (dd-like, 1 MB blocks + fdatasync): %.0f MB/s writing as much as the SQLite node's uploads in"
                " their first half, between their halves; %.0f MB/s writing 256 MB before any node started\n",
                sqlite.diskMbS, diskBurst);
    std::printf("RESULT sqlite_rps=%.0f pg_rps=%.0f pg2_rps=%.0f p50_ms=%.2f p99_ms=%.2f upload_mb_s=%.1f errors=%llu"
                " list1000_rps=%.0f list50_rps=%.0f disk_mb_s=%.0f disk_burst_mb_s=%.0f p99_from_due_ms=%.2f wake_p99_ms=%.2f idle_wake_p99_ms=%.2f\n",
                sqlite.mixRps, one.mixRps, two.mixRps, sqlite.p50, sqlite.p99, sqlite.uploadMbS,
                static_cast<unsigned long long>(sqlite.errors + one.errors + two.errors), sqlite.listBigRps,
                sqlite.listSmallRps, sqlite.diskMbS, diskBurst, sqlite.p99FromDue, sqlite.wakeP99, idleWakeP99);
    return 0;
}
