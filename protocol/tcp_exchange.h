#pragma once
// The one-shot request/reply exchange and its send-only sibling.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "protocol/reply.h"
#include "protocol/request.h"

namespace rzl {

class Context;

// How far an exchange got. The display has already been told what the user sees ("Connect
// Timeout", "Wait RX Timeout!"); callers decide from here and from the verdict.
enum class ExchangeResult {
    Replied,         // the frame went out and the reply was handed to the dispatcher
    NoReply,         // the frame went out; no whole reply came back within the wait, or the
                     // module closed after part of one
    Sent,            // send-only: the frame went out
    ConnectionLost,  // the frame was written, then the connection closed or broke before any reply
    NotSent,         // connected, but the frame could not be written
    NoConnection,    // no connection could be made; nothing was sent
    Busy,            // another exchange holds the guard; nothing was sent
    NotLinked,       // a request's own link check failed; nothing was sent
};

struct ExchangeOutcome {
    ExchangeResult result = ExchangeResult::Busy;
    QString reason;    // the socket's words for a failure
    QByteArray reply;  // what came back, whole or in part; empty when nothing did
    // The validator's word on the reply: None when nothing came (or nothing was read), Garbled
    // for part of a reply that the module ended early.
    Verdict verdict;

    // The frame left this PC whole. A module that then closes or resets the connection without
    // a word (one that restarts at once on the Wi-Fi mode command does) got it all the same:
    // for the caller that is a missing reply, not a frame that was never sent.
    bool delivered() const {
        return result == ExchangeResult::Replied || result == ExchangeResult::NoReply ||
               result == ExchangeResult::Sent || result == ExchangeResult::ConnectionLost;
    }
    // The module answered, and said no.
    bool refused() const { return verdict.refused(); }
};

// The one exchange: sends `request` on a connection of its own, reads the reply within 100
// checks of up to 10 ms until it is whole for the command sent, judges it (Validate) and hands
// it to the dispatcher as the answer to that command. A reply still short at the end is read as
// missing. The request's bytes are written into txFrame after byte 4, as a builder would.
ExchangeOutcome Exchange(Context& ctx, const Request& request);
// Connects, writes `request`, waits until the module's TCP stack has acknowledged it, and
// disconnects; reads nothing (verdict None).
ExchangeOutcome SendOnly(Context& ctx, const Request& request);

// The same for the first `length` bytes of txFrame, whose byte 4 and parameters the caller wrote.
ExchangeOutcome TcpExchange(Context& ctx, std::uint8_t length);
ExchangeOutcome TcpSendOnly(Context& ctx, std::uint8_t length);

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
ExchangeOutcome TcpExchangeUnderGuard(Context& ctx, std::uint8_t length);
ExchangeOutcome ExchangeUnderGuard(Context& ctx, const Request& request);
ExchangeOutcome SendOnlyUnderGuard(Context& ctx, const Request& request);

inline const char* const kWaitRxTimeoutText = "Wait RX Timeout!";

}  // namespace rzl
