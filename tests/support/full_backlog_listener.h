#pragma once
// A listener on 127.0.0.1 whose accept queue is full: the kernel drops the SYN of a new
// connection, so its connect stays in the handshake (the client sends the SYN again after about
// a second) until room is made. acceptAfter() makes room after a delay, from a thread of its
// own, then serves one request with a fixed reply; without it nobody is ever accepted.

#include <QByteArray>

#include "tests/support/loopback_address.h"
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace rzl::test {

class FullBacklogListener {
public:
    ~FullBacklogListener() {
        if (server_.joinable()) server_.join();
        for (int fd : {filler_, listener_})
            if (fd >= 0) ::close(fd);
    }

    // Listens with a backlog of 0 and fills the queue with one connection of its own; on `port`,
    // or a free one when it is 0.
    bool start(std::uint16_t port = 0) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at = LoopbackAddress(port);
        socklen_t size = sizeof at;
        const int reuse = 1;
        if (listener_ >= 0) ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return false;
        port_ = ntohs(at.sin_port);
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        at = LoopbackAddress(port_);
        return filler_ >= 0 && ::connect(filler_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
    }

    std::uint16_t port() const { return port_; }

    void acceptAfter(int delayMs, QByteArray reply) {
        server_ = std::thread([this, delayMs, reply] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            const int queued = ::accept(listener_, nullptr, nullptr);  // the filler
            if (queued >= 0) ::close(queued);
            if (!readable(listener_, 5000)) return;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            char buffer[256];
            if (readable(fd, 2000)) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) received_ = QByteArray(buffer, static_cast<int>(n));
                if (::write(fd, reply.constData(), static_cast<size_t>(reply.size())) < 0) {}
            }
            while (readable(fd, 2000) && ::read(fd, buffer, sizeof buffer) > 0) {}  // until the client closes
            ::close(fd);
        });
    }

    // What the accepted connection sent; read after the exchange has ended.
    QByteArray received() {
        if (server_.joinable()) server_.join();
        return received_;
    }

private:
    static bool readable(int fd, int timeoutMs) {
        pollfd entry{fd, POLLIN, 0};
        return ::poll(&entry, 1, timeoutMs) == 1;
    }

    int listener_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
    std::thread server_;
    QByteArray received_;
};

}  // namespace rzl::test
