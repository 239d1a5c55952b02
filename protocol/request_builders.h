#pragma once
// The request builders: each writes the command byte, its parameters and pendingCommand,
// then sends at once, sends without reading a reply, or leaves the command in the
// one-slot queue for the link supervisor's next tick. Those whose callers must know whether
// the frame went out return the exchange's outcome (NotLinked when their link check failed).

#include <QByteArray>
#include <array>
#include <cstdint>

#include "core/frame.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

void QueueLocate(Context& ctx);                         // 29, queued
void QueueIdentify(Context& ctx);                       // 33, queued, parameters 0 0
ExchangeOutcome SendIdentify(Context& ctx);             // 33, immediate, 7 bytes
ExchangeOutcome SendChecksumQuery(Context& ctx);        // 37, immediate, 9 bytes
ExchangeOutcome SendImageActivate(Context& ctx);        // 38, send-only, 9 bytes
ExchangeOutcome SendReboot(Context& ctx);               // 45, link check, send-only, 5 bytes
ExchangeOutcome SendWifiMode(Context& ctx);             // 48, link check, 6 bytes
ExchangeOutcome SendWebKey(Context& ctx);               // 50, link check, 6 + n bytes
ExchangeOutcome SendResetDefaults(Context& ctx, std::uint8_t a);  // 94, link check, 6 bytes
void QueueCounterRead(Context& ctx);                    // 96, queued
void SendCounterClear(Context& ctx, std::uint8_t input);  // 97, immediate, 6 bytes
void QueueSetOutput(Context& ctx, std::uint8_t output, std::uint8_t state);  // 208, queued
ExchangeOutcome SendPoll(Context& ctx);                 // 216, immediate, 5 bytes
ExchangeOutcome SendModbusNotice(Context& ctx);         // 220, link check, 5 bytes
void ReissuePending(Context& ctx);                      // repeats 29, 33 or 37

// The identify request as SendIdentify puts it on the wire: the signature, 33, 0, 0. For
// exchanges that do not go through the session (the network scan).
QByteArray IdentifyRequestFrame(const std::array<std::uint8_t, 4>& signature = kFrameSignature);

// Sends whatever waits in the one-slot queue as a 7-byte frame and empties the queue; while
// another exchange is in progress the request stays queued.
void SendQueued(Context& ctx);

}  // namespace rzl
