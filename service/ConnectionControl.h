#pragma once

#include <cstdint>
#include <string>

namespace httplib {
struct Request;
}

// Low-level access to the TCP connection of a request, for the fault hooks and for
// replies that cannot wait for the body: httplib does not hand sockets to handlers, so
// the socket is found by its two addresses. Used to cut a connection without a reply,
// to send a partial one, or a whole one before the body.
class ConnectionControl
{
public:
    // The descriptor of the request's connection, or -1.
    static int findSocket(const httplib::Request &req);
    // Aborts the connection: the peer sees a reset, not a reply.
    static void reset(int fd);
    // Ends the request's connection after what was written to it: the peer reads the
    // reply, then the end of the connection; what it sends afterwards is not read.
    static void endAfterReply(const httplib::Request &req);
    // True once the peer has closed or reset its side.
    static bool peerClosed(int fd);
    static bool sendAll(int fd, const std::string &bytes);
    // Ends reading on every accepted connection of the local port, so idle
    // keep-alive connections close at once while replies being written finish.
    static void shutdownReads(int localPort);
    // Writes a whole HTTP reply at once (through the connection's TLS session when it
    // has one), then reads and throws away what the client still sends: up to bytes,
    // until it is silent for idleSeconds, or until it closes. A client that sends its
    // body anyway then reads the reply instead of a reset connection. Afterwards the
    // connection only closes.
    static void replyAndDrain(const httplib::Request &req, const std::string &reply, std::uint64_t bytes,
                              int idleSeconds);
};
