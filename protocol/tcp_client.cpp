#include "protocol/tcp_client.h"

#include <QHostAddress>
#include <algorithm>

#include "core/clock.h"

namespace rzl {

TcpClient::TcpClient(Clock& clock, int stallMs) : connection_([&clock] { clock.pump(); }, stallMs) {}

bool TcpClient::connectTo(const QString& host, std::uint16_t port, int timeoutMs) {
    // Qt reads the address as the rest of the program does; the connection takes it dotted.
    QHostAddress address;
    const bool ipv4 = address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol;
    return connection_.connect((ipv4 ? address.toString() : host).toStdString(), port, timeoutMs);
}

bool TcpClient::write(const char* data, qint64 size) { return connection_.write(data, size); }

qint64 TcpClient::unacknowledged() const { return connection_.unacknowledged(); }

bool TcpClient::finishSending() { return connection_.finishSending(); }

bool TcpClient::waitUntilAcknowledged(qint64 written, const std::function<void(qint64)>& acknowledged) {
    return connection_.waitUntilAcknowledged(written, acknowledged);
}

bool TcpClient::waitForData(int milliseconds) { return connection_.waitForData(milliseconds); }

bool TcpClient::read(QByteArray& into, qint64 maxBytes) {
    const qsizetype had = into.size();
    if (connection_.isOpen()) into.resize(had + std::max<qint64>(maxBytes, 0));
    std::int64_t got = 0;
    const bool ok = connection_.read(into.data() + had, maxBytes, got);
    into.resize(had + got);
    return ok;
}

void TcpClient::disconnect() { connection_.close(); }

}  // namespace rzl
