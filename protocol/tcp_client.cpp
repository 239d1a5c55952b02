#include "protocol/tcp_client.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/screen.h"

namespace rzl {

namespace {

constexpr int kSliceMs = 10;
// A write that makes no progress for this long (the peer stopped reading) is given up.
constexpr int kWriteStallMs = 10000;

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

int sliceOf(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, kSliceMs));
}

}  // namespace

short TcpClient::waitFor(short events, int milliseconds) {
    pollfd entry{fd_, events, 0};
    const int ready = ::poll(&entry, 1, milliseconds);
    if (ready > 0) return entry.revents;
    clock_.pump();  // the slice passed (or a signal cut it short): let the program run
    return 0;
}

bool TcpClient::fail(const QString& reason) {
    error_ = reason;
    disconnect();
    return false;
}

bool TcpClient::connectTo(const QString& host, std::uint16_t port, int timeoutMs) {
    disconnect();
    error_.clear();
    QHostAddress address;
    if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return fail(QStringLiteral("\"%1\" is not an IPv4 address").arg(host));

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address.toIPv4Address());
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return fail(systemError(errno));
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    if (errno != EINPROGRESS) return fail(systemError(errno));

    // One deadline for the whole attempt; the handshake goes on between the slices.
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const short ready = waitFor(POLLOUT, sliceOf(deadline));
        if (ready & (POLLERR | POLLHUP)) {
            int code = 0;
            socklen_t size = sizeof code;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &code, &size);
            return fail(systemError(code != 0 ? code : ECONNREFUSED));
        }
        if (ready & POLLOUT) return true;  // writable without an error: connected
        if (deadline.hasExpired())
            return fail(QStringLiteral("Connection timed out after %1 ms").arg(timeoutMs));
    }
}

bool TcpClient::write(const char* data, qint64 size) {
    error_.clear();
    if (fd_ < 0) return fail(QStringLiteral("Not connected"));
    QDeadlineTimer stall(kWriteStallMs);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd_, data + done, static_cast<size_t>(size - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            stall.setRemainingTime(kWriteStallMs);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return fail(systemError(errno));
        if (stall.hasExpired()) return fail(QStringLiteral("Write stalled for %1 ms").arg(kWriteStallMs));
        waitFor(POLLOUT, kSliceMs);  // the send buffer is full; an error shows in the next send
    }
    return true;
}

qint64 TcpClient::unacknowledged() const {
    if (fd_ < 0) return 0;
    int queued = 0;  // SIOCOUTQ: bytes not yet sent plus those sent but not acknowledged
    if (::ioctl(fd_, SIOCOUTQ, &queued) != 0) return 0;
    return queued;
}

bool TcpClient::waitUntilAcknowledged(qint64 written, const std::function<void(qint64)>& acknowledged) {
    if (fd_ < 0) return fail(error_.isEmpty() ? QStringLiteral("Not connected") : error_);
    QDeadlineTimer stall(kWriteStallMs);
    qint64 left = unacknowledged();
    for (;;) {
        // A reset empties the queue without the peer having the bytes: the pending error says so.
        int code = 0;
        socklen_t size = sizeof code;
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &code, &size);
        if (code != 0) return fail(systemError(code));
        if (acknowledged) acknowledged(written - std::min(left, written));
        if (left == 0) return true;
        if (stall.hasExpired()) return fail(QStringLiteral("Write stalled for %1 ms").arg(kWriteStallMs));
        // Nothing to poll for: the acknowledgements arrive unseen. Each slice lets the program run.
        if (::poll(nullptr, 0, kSliceMs) == 0) clock_.pump();
        const qint64 now = unacknowledged();
        if (now < left) stall.setRemainingTime(kWriteStallMs);
        left = now;
    }
}

bool TcpClient::waitForData(int milliseconds) {
    if (fd_ < 0) return true;  // read() reports it
    return waitFor(POLLIN, milliseconds) != 0;
}

bool TcpClient::read(QByteArray& into, qint64 maxBytes) {
    if (fd_ < 0) return fail(error_.isEmpty() ? QStringLiteral("Not connected") : error_);
    if (maxBytes <= 0) return true;
    const qsizetype had = into.size();
    into.resize(had + maxBytes);
    ssize_t n;
    do {
        n = ::recv(fd_, into.data() + had, static_cast<size_t>(maxBytes), 0);
    } while (n < 0 && errno == EINTR);
    const int code = errno;
    into.resize(had + std::max<ssize_t>(n, 0));
    if (n > 0) return true;
    if (n == 0) return fail(QStringLiteral("The remote host closed the connection"));
    if (code == EAGAIN || code == EWOULDBLOCK) return true;  // nothing yet after all
    return fail(systemError(code));
}

void TcpClient::disconnect() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace rzl
