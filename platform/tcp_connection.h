#pragma once
// A TCP client connection with deadlines, in plain C++ over the system's sockets: connect
// against one deadline, write the whole block, wait for the peer to acknowledge what was
// written, wait for data in slices, read what has arrived. Every wait runs in slices of at most
// 10 ms; a slice that passes without the socket becoming ready calls `idle` (the program's
// event pump), so the one thread keeps running while it waits. A wait that ends because the
// socket is ready calls nothing. The wait for the peer's acknowledgements, which no socket
// event announces, looks at the send queue in steps that grow with the wait (from 0.1 ms),
// waking early when the peer closes its end, and calls `idle` every 10 ms.
// Error texts are in UTF-8.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/socket_calls.h"

namespace rzl::platform {

class TcpConnection {
public:
    // A write, or the wait for the peer's acknowledgements, that makes no progress for this long
    // is given up: the peer stopped reading.
    static constexpr int kDefaultStallMs = 10000;

    explicit TcpConnection(std::function<void()> idle, int stallMs = kDefaultStallMs)
        : idle_(std::move(idle)), stallMs_(stallMs) {}
    ~TcpConnection() { close(); }
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // `host` is a dotted IPv4 address. False, with the reason in error(), when no connection
    // is made within timeoutMs.
    bool connect(const std::string& host, std::uint16_t port, int timeoutMs);
    // The whole block, or false with the reason in error(); gives up when the peer has taken
    // nothing for the stall time (10 s unless given).
    bool write(const char* data, std::int64_t size);
    // Bytes written that the peer has not acknowledged yet: still in this PC's send queue or on
    // the way. 0 when closed, or when the system cannot tell.
    std::int64_t unacknowledged() const;
    // Tells the peer that nothing follows what was written (reading stays possible). A peer
    // acknowledges that end at once, with every byte before it, where it may otherwise hold back
    // the acknowledgement of the last bytes for tens of milliseconds (delayed acknowledgement).
    // False, with the reason in error(), when the connection has failed.
    bool finishSending();
    // Waits until the peer has acknowledged every byte written, telling `acknowledged` how many
    // of `written` it has as the queue drains. False, with the reason in error(), when the
    // connection fails first or the queue has not shrunk for the stall time.
    bool waitUntilAcknowledged(std::int64_t written, const std::function<void(std::int64_t acknowledged)>& acknowledged);
    // Waits at most `milliseconds` until something can be read: true as soon as it can (data,
    // or the peer's close, which read() then reports); false when the slice passed in silence.
    bool waitForData(int milliseconds);
    // Puts into `into` what has arrived, at most `capacity` bytes, without waiting; `got` says
    // how many. False, with the reason in error(), when the peer has closed the connection or
    // it failed.
    bool read(char* into, std::int64_t capacity, std::int64_t& got);
    void close();
    bool isOpen() const { return socket_ != sockets::kNoSocket; }
    const std::string& error() const { return error_; }

private:
    unsigned waitFor(unsigned events, int milliseconds);  // idles when the slice passes
    bool fail(std::string reason);                        // closes, keeps the reason

    std::function<void()> idle_;
    int stallMs_;
    sockets::Handle socket_ = sockets::kNoSocket;
    std::int64_t written_ = 0;  // since the connect, for the queue size on Windows
    std::string error_;
};

}  // namespace rzl::platform
