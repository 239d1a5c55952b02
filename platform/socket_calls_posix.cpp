// The socket calls on Linux: ppoll(), SO_ERROR and the SIOCOUTQ queue size.
#include "platform/socket_calls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rzl::platform::sockets {

namespace {

int fdOf(Handle socket) { return static_cast<int>(socket); }

}  // namespace

Handle OpenStream(int& code) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) code = errno;
    return fd < 0 ? kNoSocket : fd;
}

Started StartConnect(Handle socket, std::uint32_t address, std::uint16_t port, int& code) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    if (::connect(fdOf(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return Started::Connected;
    code = errno;
    return code == EINPROGRESS ? Started::Pending : Started::Failed;
}

unsigned Wait(Handle socket, unsigned events, std::chrono::microseconds time) {
    pollfd entry{fdOf(socket), 0, 0};
    if (events & kReadable) entry.events |= POLLIN;
    if (events & kWritable) entry.events |= POLLOUT;
    const timespec limit{static_cast<time_t>(time.count() / 1000000), static_cast<long>(time.count() % 1000000 * 1000)};
    if (::ppoll(&entry, 1, &limit, nullptr) <= 0) return 0;
    unsigned ready = 0;
    if (entry.revents & POLLIN) ready |= kReadable;
    if (entry.revents & POLLOUT) ready |= kWritable;
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) ready |= kFailed;
    return ready;
}

int PendingError(Handle socket) {
    int code = 0;
    socklen_t size = sizeof code;
    ::getsockopt(fdOf(socket), SOL_SOCKET, SO_ERROR, &code, &size);
    return code;
}

int RefusedCode() { return ECONNREFUSED; }

Transfer Send(Handle socket, const char* data, std::int64_t size) {
    for (;;) {
        const ssize_t n = ::send(fdOf(socket), data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n > 0) return {Moved::Bytes, n, 0};
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return {Moved::Failed, 0, errno};
        return {Moved::WouldBlock, 0, 0};
    }
}

Transfer Receive(Handle socket, char* into, std::int64_t capacity) {
    ssize_t n;
    do {
        n = ::recv(fdOf(socket), into, static_cast<size_t>(capacity), 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {Moved::Bytes, n, 0};
    if (n == 0) return {Moved::Closed, 0, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {Moved::WouldBlock, 0, 0};
    return {Moved::Failed, 0, errno};
}

std::optional<std::int64_t> Unacknowledged(Handle socket, std::int64_t) {
    int queued = 0;  // SIOCOUTQ: bytes not yet sent plus those sent but not acknowledged
    if (::ioctl(fdOf(socket), SIOCOUTQ, &queued) != 0) return std::nullopt;
    return queued;
}

int EndSending(Handle socket) { return ::shutdown(fdOf(socket), SHUT_WR) == 0 ? 0 : errno; }

void Pause(std::chrono::microseconds time) {
    const timespec span{static_cast<time_t>(time.count() / 1000000), static_cast<long>(time.count() % 1000000 * 1000)};
    ::nanosleep(&span, nullptr);
}

void Close(Handle socket) { ::close(fdOf(socket)); }

std::string ErrorText(int code) { return std::strerror(code); }

}  // namespace rzl::platform::sockets
