#include "protocol/tcp_exchange.h"
#include "app/context.h"
namespace rzl {
void TcpExchange(Context&, std::uint8_t) {}
void TcpSendOnly(Context&, std::uint8_t) {}
}  // namespace rzl
