// How a request thread waits for the next request on a keep-alive connection.
//
// cpp-httplib 0.11 (Debian 12's) waits in polls of 10 ms and sleeps 1 ms after each
// one that found nothing, so a request that arrives during the sleep waits up to a
// millisecond more before it is read (on a connection idle for longer than 10 ms, one
// moment in eleven is such a sleep). Later versions of the library dropped it. The library
// calls this function through its procedure linkage table, so the definition here, in
// the executable, is the one it uses; it waits the same length in a single poll. A
// library that no longer calls it that way keeps its own, and only the delay comes back.
#include <httplib.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace httplib::detail {

bool keep_alive(socket_t sock, time_t keep_alive_timeout_sec)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec);
    pollfd wanted{sock, POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        // As the library's own: readable (or closed by the peer) within the time.
        const int ready = ::poll(&wanted, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

}  // namespace httplib::detail
