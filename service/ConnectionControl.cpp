#include "ConnectionControl.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

// Calls visit(fd, localPort, peerPort) for every connected socket of the process
// until it returns true.
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
        struct stat st{};
        if (::fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&local), &localSize) != 0 ||
            ::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr *>(&peer), &peerSize) != 0)
            continue;
        if (visit(static_cast<int>(fd), portOf(local), portOf(peer)))
            break;
    }
    ::closedir(dir);
}

}  // namespace

int ConnectionControl::findSocket(const httplib::Request &req)
{
    int found = -1;
    forEachConnection([&](int fd, int localPort, int peerPort) {
        if (localPort != req.local_port || peerPort != req.remote_port)
            return false;
        found = fd;
        return true;
    });
    return found;
}

void ConnectionControl::shutdownReads(int localPort)
{
    forEachConnection([&](int fd, int port, int) {
        if (port == localPort)
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
