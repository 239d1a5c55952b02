#pragma once
// A receiver on 127.0.0.1 that takes one connection's data at a steady rate, on a thread of its
// own, as a slow but working link would; optionally it stops reading after some bytes, as a
// module that hangs, or resets the connection there, as a module that restarts. Its receive buffer is small, so the sender's data backs up at once and the
// sender sees progress only as fast as this reader takes it.

#include <QByteArray>
#include <QElapsedTimer>

#include "tests/support/loopback_address.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace rzl::test {

class PacedReader {
public:
    // bytesPerSecond: the steady rate. stopAfter: stop reading after this many bytes (the
    // connection stays open) and close it `holdMs` later; 0 reads until the sender closes.
    PacedReader(qint64 bytesPerSecond, qint64 stopAfter = 0, int holdMs = 40000)
        : rate_(bytesPerSecond), stopAfter_(stopAfter), holdMs_(holdMs) {}
    ~PacedReader() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }

    bool start() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int buffer = kReceiveBuffer;  // inherited by the accepted connection
        sockaddr_in at = LoopbackAddress(0);
        socklen_t size = sizeof at;
        if (listener_ < 0 || ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer) != 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size) != 0)
            return false;
        port_ = ntohs(at.sin_port);
        thread_ = std::thread([this] { serve(); });
        return true;
    }

    // At the stop, reset the connection (the bytes still queued are never taken) instead of
    // holding it open. Set before start().
    bool resetAtStop = false;
    // On accepting, send these bytes, or end this side's sending (a half close), then read as
    // before: a peer that speaks while it takes the data. Set before start().
    QByteArray sayOnAccept;
    bool endSendingOnAccept = false;

    std::uint16_t port() const { return port_; }
    qint64 received() const { return received_; }
    // Milliseconds from the first byte read to the last one (or to the stop).
    qint64 readingMs() const { return readingMs_; }

    // The most a sender can have handed to the kernel beyond what this reader took: its own
    // send buffer at the largest the kernel grows it, and this side's receive buffer.
    static qint64 bufferedAtMost() {
        qint64 sendMax = 4 * 1024 * 1024;
        if (FILE* f = std::fopen("/proc/sys/net/ipv4/tcp_wmem", "r")) {
            long long low = 0, initial = 0, high = 0;
            if (std::fscanf(f, "%lld %lld %lld", &low, &initial, &high) == 3) sendMax = high;
            std::fclose(f);
        }
        return sendMax + 4 * kReceiveBuffer;
    }

private:
    static constexpr int kReceiveBuffer = 64 * 1024;

    static bool readable(int fd, int timeoutMs) {
        pollfd entry{fd, POLLIN, 0};
        return ::poll(&entry, 1, timeoutMs) == 1;
    }

    void serve() {
        int fd = -1;
        for (int waited = 0; fd < 0 && waited < 10000 && !quit_; waited += 100)
            if (readable(listener_, 100)) fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        if (!sayOnAccept.isEmpty()) (void)::send(fd, sayOnAccept.constData(), sayOnAccept.size(), MSG_NOSIGNAL);
        if (endSendingOnAccept) ::shutdown(fd, SHUT_WR);
        std::vector<char> buffer(256 * 1024);
        QElapsedTimer clock;
        bool started = false;
        while (!quit_) {
            // Catch up with the rate since the first byte, however late this thread was woken.
            const qint64 due = started ? rate_ * clock.elapsed() / 1000 + 4096 : 4096;
            qint64 budget = std::min<qint64>(due - received_, qint64(buffer.size()));
            if (stopAfter_ > 0) budget = std::min(budget, stopAfter_ - received_);
            if (stopAfter_ > 0 && received_ >= stopAfter_) break;
            if (budget <= 0 || !readable(fd, 20)) {
                if (budget <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            const ssize_t n = ::recv(fd, buffer.data(), static_cast<size_t>(budget), 0);
            if (n <= 0) break;  // the sender closed
            if (!started) clock.start();
            started = true;
            received_ += n;
            readingMs_ = clock.elapsed();
        }
        if (stopAfter_ > 0 && resetAtStop) {
            const linger reset{1, 0};  // closing with bytes unread and no linger sends a reset
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        // Stopped: hold the connection open, unread, for a while (bounded), then close it.
        for (int held = 0; stopAfter_ > 0 && !resetAtStop && held < holdMs_ && !quit_; held += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::close(fd);
    }

    const qint64 rate_;
    const qint64 stopAfter_;
    const int holdMs_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<qint64> received_{0};
    std::atomic<qint64> readingMs_{0};
};

}  // namespace rzl::test
