#pragma once
// The one-shot request/reply exchange and its send-only sibling.

#include <cstdint>

namespace rzl {

class Context;

// Sends the first `length` bytes of txFrame on a connection of its own, waits up to
// 100 x 10 ms for the reply, reads what has arrived and hands it to the dispatcher.
void TcpExchange(Context& ctx, std::uint8_t length);

// Connects, writes the first `length` bytes of txFrame and disconnects; reads nothing.
void TcpSendOnly(Context& ctx, std::uint8_t length);

inline const char* const kConnectTimeoutText = "Connect Timeout";
inline const char* const kWaitRxTimeoutText = "Wait RX Timeout!";

}  // namespace rzl
