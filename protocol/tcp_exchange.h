#pragma once
// The one-shot request/reply exchange and its send-only sibling.

#include <cstdint>

namespace rzl {

class Context;

// Sends the first `length` bytes of txFrame on a connection of its own, reads the reply within
// 100 checks of up to 10 ms until it is whole for the command sent, and hands it to the
// dispatcher as the answer to that command. A reply still short at the end is read as missing.
void TcpExchange(Context& ctx, std::uint8_t length);

// Connects, writes the first `length` bytes of txFrame and disconnects; reads nothing.
void TcpSendOnly(Context& ctx, std::uint8_t length);

// Holds exchangeBusy for the whole of a file transfer (header, pause, content stream), so
// that no poll, click or re-send opens a connection in the middle of it. acquired() is false
// when another exchange already runs; the transfer must then not start.
class TransferGuard {
public:
    explicit TransferGuard(Context& ctx);
    ~TransferGuard();
    TransferGuard(const TransferGuard&) = delete;
    TransferGuard& operator=(const TransferGuard&) = delete;
    bool acquired() const { return acquired_; }

private:
    Context& ctx_;
    bool acquired_ = false;
};

// The two exchanges for a transfer that holds the guard: the same steps, without the busy
// check, and leaving exchangeBusy set when they return.
void TcpExchangeUnderGuard(Context& ctx, std::uint8_t length);
void TcpSendOnlyUnderGuard(Context& ctx, std::uint8_t length);

inline const char* const kConnectTimeoutText = "Connect Timeout";
inline const char* const kWaitRxTimeoutText = "Wait RX Timeout!";

}  // namespace rzl
