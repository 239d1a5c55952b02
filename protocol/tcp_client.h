#pragma once
// The blocking TCP client used by the exchanges: connect with a timeout, write, wait for
// data in 10 ms slices, read what is buffered, disconnect. While it waits it calls the
// clock's pump so the rest of the program keeps running.

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <cstdint>

namespace rzl {

class Clock;

class TcpClient {
public:
    explicit TcpClient(Clock& clock) : clock_(clock) {}

    // False, with the reason in error(), when no connection is made within the timeout.
    bool connectTo(const QString& host, std::uint16_t port, int timeoutMs);
    bool write(const char* data, qint64 size);      // the whole block, or false
    bool isInputBufferEmpty();
    // One wait of at most `milliseconds` that returns as soon as data is buffered; pumps once.
    // False, with the reason in error(), when the connection has failed or been closed.
    bool waitForData(int milliseconds);
    bool isConnected() const;
    QByteArray readAvailable();                     // without waiting
    void disconnect();
    QString error() const { return error_; }

private:
    Clock& clock_;
    QTcpSocket socket_;
    QString error_;
};

}  // namespace rzl
