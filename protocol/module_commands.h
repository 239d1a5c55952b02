#pragma once
// The commands that act on the module as a whole or on its I/O, as typed operations: the
// setup window's maintenance actions and rzlctl's commands call these alike.

#include <cstdint>

#include "protocol/operation.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

// Each runs the link check first (nothing is sent when it fails: NotLinked), then its one frame.
OperationResult SetWifiMode(Context& ctx, bool ap, const StopRequested& stop = {});   // 48: 2 AP, 0 Station
OperationResult ResetSettings(Context& ctx, const StopRequested& stop = {});          // 94 with 1
OperationResult Reboot(Context& ctx, const StopRequested& stop = {});                 // 45, send-only

// The queued requests sent at once, as the link supervisor's next tick would send them: the
// 7-byte frame with the queue's two parameter slots. Their outcome carries the reply's verdict.
ExchangeOutcome SwitchOutput(Context& ctx, int output, bool on);  // 208, output 0..5
ExchangeOutcome Locate(Context& ctx);                             // 29
ExchangeOutcome ReadCounters(Context& ctx);                       // 96

}  // namespace rzl
