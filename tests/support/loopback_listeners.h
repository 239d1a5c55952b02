#pragma once
// Listeners on 127.0.0.1 for the tests' own peers, in bare sockets (on Windows too: the platform
// layer's tests): a port nobody listens on, and a listener whose accept queue is full.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/support/loopback_address.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace rzl::test {

namespace loopback {
#if defined(_WIN32)
using Socket = SOCKET;
constexpr Socket kNone = INVALID_SOCKET;
inline void Close(Socket s) { closesocket(s); }
inline Socket Open() {
    static const bool started = [] {  // for the whole test program; the system cleans up at its end
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : kNone;
}
#else
using Socket = int;
constexpr Socket kNone = -1;
inline void Close(Socket s) { ::close(s); }
inline Socket Open() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
#endif

// Binds to `port` on 127.0.0.1 (0: a free one); the port bound, or 0.
inline std::uint16_t Bind(Socket s, std::uint16_t port) {
    const int reuse = 1;  // a port just given up by a test's earlier peer can be taken again at once
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    sockaddr_in at = LoopbackAddress(port);
    socklen_t size = sizeof at;
    if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0)
        return 0;
    return ntohs(at.sin_port);
}

inline bool Readable(Socket s, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    return ::select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) == 1;
}
}  // namespace loopback

// A port on 127.0.0.1 with nobody listening: a connect there is refused. The socket stays bound,
// never listening, until the test process ends, so no other test's listener or outgoing
// connection running beside it can take the port in the meantime (a port merely closed again
// could be handed out at once, and the "refused" case would then meet a peer).
inline std::uint16_t closedLoopbackPort() {
    const loopback::Socket s = loopback::Open();
    if (s == loopback::kNone) return 0;
    return loopback::Bind(s, 0);
}

// A listener on 127.0.0.1 with a backlog of 0 whose queue holds a connection of its own: the
// stack drops the SYN of any further connect, which stays in the handshake (the client sends the
// SYN again after about a second) until room is made. (Linux's stack does; under Wine the sockets
// are Linux's. Windows' own stack answers such a SYN with a reset, which reads as refused.)
// acceptAfter() makes room after a delay, from a thread of its own, then serves one request with
// a fixed reply; without it nobody is ever accepted.
class FullBacklogListener {
public:
    ~FullBacklogListener() {
        if (server_.joinable()) server_.join();
        for (loopback::Socket s : {filler_, listener_})
            if (s != loopback::kNone) loopback::Close(s);
    }

    // On `port`, or a free one when it is 0.
    bool start(std::uint16_t port = 0) {
        listener_ = loopback::Open();
        if (listener_ == loopback::kNone || (port_ = loopback::Bind(listener_, port)) == 0 || ::listen(listener_, 0) != 0)
            return false;
        filler_ = loopback::Open();
        sockaddr_in at = LoopbackAddress(port_);
        return filler_ != loopback::kNone && ::connect(filler_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }

    std::uint16_t port() const { return port_; }

    void acceptAfter(int delayMs, std::string reply) {
        server_ = std::thread([this, delayMs, reply] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            const loopback::Socket queued = ::accept(listener_, nullptr, nullptr);  // the filler
            if (queued != loopback::kNone) loopback::Close(queued);
            if (!loopback::Readable(listener_, 5000)) return;
            const loopback::Socket s = ::accept(listener_, nullptr, nullptr);
            if (s == loopback::kNone) return;
            char buffer[256];
            if (loopback::Readable(s, 2000)) {
                const auto n = ::recv(s, buffer, sizeof buffer, 0);
                if (n > 0) received_.assign(buffer, static_cast<std::size_t>(n));
                ::send(s, reply.data(), static_cast<int>(reply.size()), 0);
            }
            while (loopback::Readable(s, 2000) && ::recv(s, buffer, sizeof buffer, 0) > 0) {}  // until the client closes
            loopback::Close(s);
        });
    }

    // What the accepted connection sent; read after the exchange has ended.
    std::string received() {
        if (server_.joinable()) server_.join();
        return received_;
    }

private:
    loopback::Socket listener_ = loopback::kNone;
    loopback::Socket filler_ = loopback::kNone;
    std::uint16_t port_ = 0;
    std::thread server_;
    std::string received_;
};

}  // namespace rzl::test
