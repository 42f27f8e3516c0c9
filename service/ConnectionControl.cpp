#include "ConnectionControl.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

int portOf(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return -1;
}

}  // namespace

namespace {

// Calls visit(fd, local, peer) for every connected socket of the process until it
// returns true. The descriptors belong to other threads, which may close them
// meanwhile: they are told apart by their /proc link, not by touching them, and only
// the addresses of a socket are asked for.
template<typename Visit>
void forEachConnection(Visit visit)
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return;
    while (dirent *entry = ::readdir(dir)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(dir))
            continue;
        char link[64];
        const ssize_t size = ::readlinkat(::dirfd(dir), entry->d_name, link, sizeof link);
        if (size < 7 || std::memcmp(link, "socket:", 7) != 0)
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&local), &localSize) != 0 ||
            ::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
            continue;
        if (visit(static_cast<int>(fd), local, peer, peerSize))
            break;
    }
    ::closedir(dir);
}

// The peer's address as httplib writes it in Request::remote_addr.
std::string numericHost(const sockaddr_storage &address, socklen_t size)
{
    char host[NI_MAXHOST];
    if (::getnameinfo(reinterpret_cast<const sockaddr *>(&address), size, host, sizeof host, nullptr, 0,
                      NI_NUMERICHOST) != 0)
        return {};
    return host;
}

}  // namespace

int ConnectionControl::findSocket(const httplib::Request &req)
{
    int found = -1;
    // Both ports and the peer's address: behind no proxy, two clients may use the same port.
    forEachConnection([&](int fd, const sockaddr_storage &local, const sockaddr_storage &peer, socklen_t peerSize) {
        if (portOf(local) != req.local_port || portOf(peer) != req.remote_port ||
            numericHost(peer, peerSize) != req.remote_addr)
            return false;
        found = fd;
        return true;
    });
    return found;
}

void ConnectionControl::shutdownReads(int localPort)
{
    forEachConnection([&](int fd, const sockaddr_storage &local, const sockaddr_storage &, socklen_t) {
        if (portOf(local) == localPort)
            ::shutdown(fd, SHUT_RD);
        return false;
    });
}

void ConnectionControl::reset(int fd)
{
    if (fd < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::shutdown(fd, SHUT_RDWR);
}

void ConnectionControl::endAfterReply(const httplib::Request &req)
{
    const int fd = findSocket(req);
    if (fd < 0)
        return;
    if (req.ssl)
        SSL_shutdown(const_cast<SSL *>(req.ssl));
    ::shutdown(fd, SHUT_RDWR);
}

bool ConnectionControl::peerClosed(int fd)
{
    if (fd < 0)
        return true;
    pollfd p{fd, static_cast<short>(POLLRDHUP), 0};
    const int n = ::poll(&p, 1, 0);
    return n > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

bool ConnectionControl::sendAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void ConnectionControl::replyAndDrain(const httplib::Request &req, const std::string &reply, std::uint64_t bytes,
                                      int idleSeconds)
{
    const int fd = findSocket(req);
    if (fd < 0)
        return;
    SSL *ssl = const_cast<SSL *>(req.ssl);
    if (ssl ? SSL_write(ssl, reply.data(), static_cast<int>(reply.size())) <= 0 : !sendAll(fd, reply))
        return;
    // httplib may have read the start of the body with the headers: near the end, a
    // short silence means the client has sent everything.
    constexpr std::uint64_t readAhead = 32 * 1024;
    char buffer[64 * 1024];
    std::uint64_t drained = 0;
    while (drained < bytes) {
        if (!(ssl && SSL_pending(ssl) > 0)) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, drained + readAhead < bytes ? idleSeconds * 1000 : 200) <= 0)
                break;
        }
        const int n = ssl ? SSL_read(ssl, buffer, sizeof buffer)
                          : static_cast<int>(::recv(fd, buffer, sizeof buffer, 0));
        if (n <= 0 && !(ssl && SSL_get_error(ssl, n) == SSL_ERROR_WANT_READ))
            break;
        drained += static_cast<std::uint64_t>(std::max(n, 0));
    }
    // What httplib writes after this goes nowhere: the reply is complete.
    if (ssl)
        SSL_shutdown(ssl);
    ::shutdown(fd, SHUT_WR);
}
