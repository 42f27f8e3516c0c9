#pragma once

#include <string>

namespace httplib {
struct Request;
}

// Low-level access to the TCP connection of a request, for the fault hooks only:
// httplib does not hand sockets to handlers, so the socket is found by its two
// addresses. Used to cut a connection without a reply or to send a partial one.
class ConnectionControl
{
public:
    // The descriptor of the request's connection, or -1.
    static int findSocket(const httplib::Request &req);
    // Aborts the connection: the peer sees a reset, not a reply.
    static void reset(int fd);
    // True once the peer has closed or reset its side.
    static bool peerClosed(int fd);
    static bool sendAll(int fd, const std::string &bytes);
    // Ends reading on every accepted connection of the local port, so idle
    // keep-alive connections close at once while replies being written finish.
    static void shutdownReads(int localPort);
};
