#include "platform/tcp_connection.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>

namespace rzl::platform {

namespace {

constexpr int kSliceMs = 10;
// The first look at a draining send queue; the looks then come further apart (see below).
constexpr std::chrono::microseconds kFirstLook{100};

class Deadline {
public:
    explicit Deadline(int milliseconds) { restart(milliseconds); }
    void restart(int milliseconds) { end_ = Clock::now() + std::chrono::milliseconds(milliseconds); }
    bool hasExpired() const { return Clock::now() >= end_; }
    // The next wait: at most one slice, never past the deadline.
    int slice() const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
        return static_cast<int>(std::clamp<std::int64_t>(left, 0, kSliceMs));
    }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point end_;
};

// Four decimal numbers up to 255 with dots between them; host byte order.
std::optional<std::uint32_t> dottedAddress(const std::string& text) {
    std::uint32_t address = 0;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at == end || *at++ != '.')) return std::nullopt;
        unsigned value = 0;
        const auto [next, failed] = std::from_chars(at, end, value);
        if (failed != std::errc() || next == at || next - at > 3 || value > 255) return std::nullopt;
        address = address << 8 | value;
        at = next;
    }
    if (at != end) return std::nullopt;
    return address;
}

}  // namespace

unsigned TcpConnection::waitFor(unsigned events, int milliseconds) {
    const unsigned ready = sockets::Wait(socket_, events, std::chrono::milliseconds(milliseconds));
    if (ready == 0 && idle_) idle_();  // the slice passed (or a signal cut it short): let the program run
    return ready;
}

bool TcpConnection::fail(std::string reason) {
    error_ = std::move(reason);
    close();
    return false;
}

bool TcpConnection::connect(const std::string& host, std::uint16_t port, int timeoutMs) {
    close();
    error_.clear();
    const std::optional<std::uint32_t> address = dottedAddress(host);
    if (!address) return fail('"' + host + "\" is not an IPv4 address");
    int code = 0;
    socket_ = sockets::OpenStream(code);
    if (!isOpen()) return fail(sockets::ErrorText(code));
    written_ = 0;
    switch (sockets::StartConnect(socket_, *address, port, code)) {
    case sockets::Started::Connected: return true;
    case sockets::Started::Failed: return fail(sockets::ErrorText(code));
    case sockets::Started::Pending: break;
    }

    // One deadline for the whole attempt; the handshake goes on between the slices.
    const Deadline deadline(timeoutMs);
    for (;;) {
        const unsigned ready = waitFor(sockets::kWritable, deadline.slice());
        if (ready & sockets::kFailed) {
            const int pending = sockets::PendingError(socket_);
            return fail(sockets::ErrorText(pending != 0 ? pending : sockets::RefusedCode()));
        }
        if (ready & sockets::kWritable) return true;  // writable without an error: connected
        if (deadline.hasExpired())
            return fail("Connection timed out after " + std::to_string(timeoutMs) + " ms");
    }
}

bool TcpConnection::write(const char* data, std::int64_t size) {
    error_.clear();
    if (!isOpen()) return fail("Not connected");
    // The stall time runs from the first send the full buffer turned away after the last
    // progress: a write that goes straight through reads no clock.
    std::optional<Deadline> stall;
    std::int64_t done = 0;
    while (done < size) {
        const sockets::Transfer sent = sockets::Send(socket_, data + done, size - done);
        if (sent.outcome == sockets::Moved::Bytes) {
            done += sent.bytes;
            written_ += sent.bytes;
            stall.reset();
            continue;
        }
        if (sent.outcome == sockets::Moved::Failed) return fail(sockets::ErrorText(sent.code));
        if (!stall)
            stall.emplace(stallMs_);
        else if (stall->hasExpired())
            return fail("Write stalled for " + std::to_string(stallMs_) + " ms");
        waitFor(sockets::kWritable, kSliceMs);  // the send buffer is full; an error shows in the next send
    }
    return true;
}

bool TcpConnection::finishSending() {
    if (!isOpen()) return fail(error_.empty() ? "Not connected" : error_);
    if (const int code = sockets::EndSending(socket_); code != 0) return fail(sockets::ErrorText(code));
    return true;
}

std::int64_t TcpConnection::unacknowledged() const {
    if (!isOpen()) return 0;
    return sockets::Unacknowledged(socket_, written_).value_or(0);
}

bool TcpConnection::waitUntilAcknowledged(std::int64_t written,
                                          const std::function<void(std::int64_t)>& acknowledged) {
    if (!isOpen()) return fail(error_.empty() ? "Not connected" : error_);
    using Clock = std::chrono::steady_clock;
    constexpr auto slice = std::chrono::milliseconds(kSliceMs);
    Deadline stall(stallMs_);
    const Clock::time_point start = Clock::now();
    Clock::time_point ran = start;  // when the program last ran
    std::int64_t left = unacknowledged();
    // The module closes its end once it has the whole stream (and a reset shows too): the looks
    // wait for that, so the wait ends the moment it comes, not at the next look. After the first
    // sign (a close, or bytes it sent) the socket stays readable, and the looks only sleep.
    bool peerSpoke = false;
    for (;;) {
        // A reset empties the queue without the peer having the bytes: the pending error says so.
        if (const int code = sockets::PendingError(socket_); code != 0) return fail(sockets::ErrorText(code));
        if (acknowledged) acknowledged(written - std::min(left, written));
        if (left == 0) return true;
        if (stall.hasExpired()) return fail("Write stalled for " + std::to_string(stallMs_) + " ms");
        Clock::time_point now = Clock::now();
        if (now - ran >= slice) {
            if (idle_) idle_();
            ran = now = Clock::now();
        }
        // The acknowledgements themselves arrive unseen. Each look comes an eighth of the
        // drain's time so far after the last (from 0.1 ms, at most a slice), so the end is seen
        // within an eighth of the time the drain took; the program runs every slice.
        const auto step = std::chrono::ceil<std::chrono::microseconds>(std::min<Clock::duration>(
            std::clamp<Clock::duration>((now - start) / 8, kFirstLook, slice), ran + slice - now));
        if (peerSpoke)
            sockets::Pause(step);
        else
            peerSpoke = sockets::Wait(socket_, sockets::kReadable, step) != 0;
        const std::int64_t queued = unacknowledged();
        if (queued < left) stall.restart(stallMs_);
        left = queued;
    }
}

bool TcpConnection::waitForData(int milliseconds) {
    if (!isOpen()) return true;  // read() reports it
    return waitFor(sockets::kReadable, milliseconds) != 0;
}

bool TcpConnection::read(char* into, std::int64_t capacity, std::int64_t& got) {
    got = 0;
    if (!isOpen()) return fail(error_.empty() ? "Not connected" : error_);
    if (capacity <= 0) return true;
    const sockets::Transfer received = sockets::Receive(socket_, into, capacity);
    switch (received.outcome) {
    case sockets::Moved::Bytes: got = received.bytes; return true;
    case sockets::Moved::WouldBlock: return true;  // nothing yet after all
    case sockets::Moved::Closed: return fail("The remote host closed the connection");
    case sockets::Moved::Failed: break;
    }
    return fail(sockets::ErrorText(received.code));
}

void TcpConnection::close() {
    if (!isOpen()) return;
    sockets::Close(socket_);
    socket_ = sockets::kNoSocket;
}

}  // namespace rzl::platform
