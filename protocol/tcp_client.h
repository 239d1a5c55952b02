#pragma once
// The blocking TCP client used by the exchanges: connect against one deadline, write, wait for
// data in 10 ms slices, read what has arrived, disconnect. The socket work is the platform's
// TcpConnection (a plain non-blocking socket); this side gives it Qt's types and the program's
// event pump: a slice that passes without the socket becoming ready is only a slice, never the
// end of the attempt, and the program's events are pumped (Clock::pump) after each such slice
// so timers, clicks and painting go on while the one thread waits. A wait that ends because the
// socket is ready pumps nothing: on a quick link an exchange costs no more system calls than a
// bare client's.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "platform/tcp_connection.h"

namespace rzl {

class Clock;

class TcpClient {
public:
    // stallMs: a write, or the wait for the peer's acknowledgements, that makes no progress for
    // this long is given up.
    TcpClient(Clock& clock, int stallMs);
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // False, with the reason in error(), when no connection is made within timeoutMs.
    bool connectTo(const QString& host, std::uint16_t port, int timeoutMs);
    // The whole block, or false with the reason in error(); gives up when the peer has taken
    // nothing for the stall time.
    bool write(const char* data, qint64 size);
    // Bytes written that the peer has not acknowledged yet: still in this PC's send queue or on
    // the way. 0 when the socket is closed.
    qint64 unacknowledged() const;
    // Nothing follows what was written: the peer acknowledges the end at once (see
    // platform::TcpConnection::finishSending). False, with the reason in error(), on a failed connection.
    bool finishSending();
    // Waits until the peer has acknowledged every byte written, telling `acknowledged` how many
    // of `written` it has as the queue drains. Written is not received: on a slow link most of
    // a large stream may still sit in this PC's buffers when the last write returns. False, with
    // the reason in error(), when the connection fails first or the queue has not shrunk for the
    // stall time.
    bool waitUntilAcknowledged(qint64 written, const std::function<void(qint64 acknowledged)>& acknowledged);
    // Waits at most `milliseconds` until something can be read: true as soon as it can (data,
    // or the peer's close, which read() then reports); false when the slice passed in silence.
    bool waitForData(int milliseconds);
    // Appends to `into` what has arrived, at most `maxBytes`, without waiting. False, with the
    // reason in error(), when the peer has closed the connection or it failed.
    bool read(QByteArray& into, qint64 maxBytes);
    void disconnect();
    QString error() const { return QString::fromStdString(connection_.error()); }

private:
    platform::TcpConnection connection_;
};

}  // namespace rzl
