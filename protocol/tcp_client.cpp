#include "protocol/tcp_client.h"
namespace rzl {
bool TcpClient::connectTo(const QString&, std::uint16_t, int) { return false; }
bool TcpClient::write(const char*, qint64) { return false; }
bool TcpClient::isInputBufferEmpty() { return true; }
void TcpClient::waitForData(int) {}
QByteArray TcpClient::readAvailable() { return {}; }
void TcpClient::disconnect() {}
}  // namespace rzl
