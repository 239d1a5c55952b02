#include "protocol/tcp_client.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <algorithm>

#include "core/screen.h"

namespace rzl {

namespace {

constexpr int kSliceMs = 10;
// A write that makes no progress for this long (the peer stopped reading) is given up.
constexpr int kWriteStallMs = 10000;

}  // namespace

bool TcpClient::connectTo(const QString& host, std::uint16_t port, int timeoutMs) {
    error_.clear();
    socket_.abort();
    QHostAddress address;
    if (!address.setAddress(host) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        error_ = QStringLiteral("\"%1\" is not an IPv4 address").arg(host);
        return false;
    }
    socket_.connectToHost(address, port);
    QDeadlineTimer deadline(timeoutMs);
    while (socket_.state() != QAbstractSocket::ConnectedState) {
        const int slice = static_cast<int>(std::min<qint64>(kSliceMs, deadline.remainingTime()));
        if (socket_.waitForConnected(std::max(slice, 0))) break;
        if (socket_.state() == QAbstractSocket::UnconnectedState) {
            error_ = socket_.errorString();
            return false;
        }
        if (deadline.hasExpired()) {
            socket_.abort();
            error_ = QStringLiteral("Connection timed out after %1 ms").arg(timeoutMs);
            return false;
        }
        clock_.pump();
    }
    return true;
}

bool TcpClient::write(const char* data, qint64 size) {
    error_.clear();
    qint64 done = 0;
    while (done < size) {
        const qint64 n = socket_.write(data + done, size - done);
        if (n < 0) {
            error_ = socket_.errorString();
            return false;
        }
        done += n;
    }
    socket_.flush();
    QDeadlineTimer stall(kWriteStallMs);
    qint64 left = socket_.bytesToWrite();
    while (left > 0) {
        if (!socket_.waitForBytesWritten(kSliceMs) && socket_.state() != QAbstractSocket::ConnectedState) {
            error_ = socket_.errorString();
            return false;
        }
        const qint64 now = socket_.bytesToWrite();
        if (now < left) stall.setRemainingTime(kWriteStallMs);
        else if (stall.hasExpired()) {
            error_ = QStringLiteral("Write stalled for %1 ms").arg(kWriteStallMs);
            return false;
        }
        left = now;
    }
    return true;
}

bool TcpClient::isInputBufferEmpty() { return socket_.bytesAvailable() == 0; }

bool TcpClient::isConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

bool TcpClient::waitForData(int milliseconds) {
    if (!isConnected()) {
        error_ = socket_.errorString();
        return false;
    }
    const bool arrived = socket_.waitForReadyRead(milliseconds);
    clock_.pump();
    // A closed or failed connection makes waitForReadyRead return at once; report it so
    // that the caller does not mistake it for silence.
    if (!arrived && !isConnected()) {
        error_ = socket_.errorString();
        return false;
    }
    return true;
}

QByteArray TcpClient::readAvailable() { return socket_.read(socket_.bytesAvailable()); }

void TcpClient::disconnect() {
    if (socket_.state() == QAbstractSocket::ConnectedState) socket_.disconnectFromHost();
    socket_.abort();
}

}  // namespace rzl
