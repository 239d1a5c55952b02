#pragma once
// Bare loopback sockets for the tests' own peers, on Linux and on Windows: a port nobody
// listens on, and a listener whose accept queue is full.

#include <cstdint>

#include "tests/support/loopback_address.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace rzl::platform::test {

class LoopbackSockets {
public:
#if defined(_WIN32)
    using Socket = SOCKET;
    LoopbackSockets() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~LoopbackSockets() {
        closeAll();
        WSACleanup();
    }
    static void closeOne(Socket s) { closesocket(s); }
    static bool valid(Socket s) { return s != INVALID_SOCKET; }
#else
    using Socket = int;
    ~LoopbackSockets() { closeAll(); }
    static void closeOne(Socket s) { ::close(s); }
    static bool valid(Socket s) { return s >= 0; }
#endif

    // A port on 127.0.0.1 that was free a moment ago and has nobody listening: a connect there
    // is refused.
    std::uint16_t closedPort() {
        const Socket s = ::socket(AF_INET, SOCK_STREAM, 0);
        const std::uint16_t port = valid(s) ? bound(s) : 0;
        if (valid(s)) closeOne(s);
        return port;
    }

    // A listener on 127.0.0.1 with a backlog of 0 whose queue holds a connection of its own: the
    // stack drops the SYN of any further connect, which stays in the handshake. (Linux's stack
    // does; under Wine the sockets are Linux's. Windows' own stack answers such a SYN with a
    // reset, which reads as refused.) Its port, or 0.
    std::uint16_t neverAcceptingPort() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        if (!valid(listener_)) return 0;
        const std::uint16_t port = bound(listener_);
        if (port == 0 || ::listen(listener_, 0) != 0) return 0;
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at = ::rzl::test::LoopbackAddress(port);
        if (!valid(filler_) || ::connect(filler_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) return 0;
        return port;
    }

private:
    // Binds to a free port on 127.0.0.1; that port, or 0.
    static std::uint16_t bound(Socket s) {
        sockaddr_in at = ::rzl::test::LoopbackAddress(0);
        socklen_t size = sizeof at;
        if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return 0;
        return ntohs(at.sin_port);
    }

    void closeAll() {
        for (Socket s : {filler_, listener_})
            if (valid(s)) closeOne(s);
    }

#if defined(_WIN32)
    Socket listener_ = INVALID_SOCKET;
    Socket filler_ = INVALID_SOCKET;
#else
    Socket listener_ = -1;
    Socket filler_ = -1;
#endif
};

}  // namespace rzl::platform::test
