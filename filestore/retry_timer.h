#pragma once

#include <optional>

#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

// What one tick of the re-send timer did.
struct RetryTick {
    enum class Kind {
        Idle,     // no reply is missing, or the interval has not passed yet
        Resent,   // the missing request was made again (Retry transfer n)
        GaveUp,   // the third re-send went unanswered: given up (Retry timeout, abort transfer!)
    };
    Kind kind = Kind::Idle;
    // Resent, for a request sent at once (the checksum query): its exchange. Locate and
    // identify are queued again instead, and nothing else is repeated.
    std::optional<ExchangeOutcome> resent;
};

// One tick of the 100 ms re-send timer: repeats a request whose reply did not come.
RetryTick RetryTimerTick(Context& ctx);

}  // namespace rzl
