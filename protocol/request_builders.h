#pragma once
// The request builders: each writes the command byte, its parameters and pendingCommand,
// then sends at once, sends without reading a reply, or leaves the command in the
// one-slot queue for the link supervisor's next tick. Those that send return the exchange's
// outcome (NotLinked when their link check failed); the frames are the Request values'.

#include <QByteArray>
#include <cstdint>
#include <optional>

#include "core/frame.h"
#include "protocol/request.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

void QueueLocate(Context& ctx);                         // 29, queued
void QueueIdentify(Context& ctx);                       // 33, queued, parameters 0 0
ExchangeOutcome SendIdentify(Context& ctx);             // 33, immediate, 7 bytes
ExchangeOutcome SendChecksumQuery(Context& ctx);        // 37, immediate, 9 bytes
ExchangeOutcome SendImageActivate(Context& ctx);        // 38, send-only, 9 bytes
ExchangeOutcome SendReboot(Context& ctx);               // 45, link check, send-only, 5 bytes
ExchangeOutcome SendWifiMode(Context& ctx, bool ap);    // 48, link check, 6 bytes: 2 AP, 0 Station
ExchangeOutcome SendWebKey(Context& ctx, const QByteArray& key);  // 50, link check, 6 + n bytes
ExchangeOutcome SendResetDefaults(Context& ctx, std::uint8_t a);  // 94, link check, 6 bytes
void QueueCounterRead(Context& ctx);                    // 96, queued
ExchangeOutcome SendCounterClear(Context& ctx, std::uint8_t input);  // 97, immediate, 6 bytes
void QueueSetOutput(Context& ctx, std::uint8_t output, std::uint8_t state);  // 208, queued
ExchangeOutcome SendPoll(Context& ctx);                 // 216, immediate, 5 bytes
ExchangeOutcome SendModbusNotice(Context& ctx);         // 220, link check, 5 bytes
// Repeats 29, 33 or 37: the checksum query is sent at once (its outcome returned), the
// others queued.
std::optional<ExchangeOutcome> ReissuePending(Context& ctx);

// The identify request as SendIdentify puts it on the wire: the signature, 33, 0, 0. For
// exchanges that do not go through the session (the network scan).
QByteArray IdentifyRequestFrame(const Signature& signature = kFrameSignature);

// Sends whatever waits in the one-slot queue as a 7-byte frame with the queue's two parameter
// slots and empties the queue; its outcome, or nothing when the queue was empty or another
// exchange is in progress (the request then stays queued).
std::optional<ExchangeOutcome> SendQueued(Context& ctx);

}  // namespace rzl
