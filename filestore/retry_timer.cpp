#include "filestore/retry_timer.h"

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {
constexpr std::uint8_t kMaxRetries = 3;
}

RetryTick RetryTimerTick(Context& ctx) {
    DeviceSession& s = ctx.session;
    // The re-send waits for its reply with the event loop running; a tick arriving in that wait
    // must not count it as another unanswered request.
    if (!s.retryPending || s.retryReissuing) return {};
    if (++s.retryTicks < s.retryInterval) return {};
    RetryTick tick;
    if (s.retryCount >= kMaxRetries) {
        s.retryCount = 0;
        s.pendingCommand = 0;
        s.retryPending = false;
        ctx.display.notice({Notice::Kind::RetryTimeout});
        tick.kind = RetryTick::Kind::GaveUp;
    } else {
        ++s.retryCount;
        s.retryReissuing = true;
        tick = {RetryTick::Kind::Resent, ReissuePending(ctx)};
        s.retryReissuing = false;
        ctx.display.notice({Notice::Kind::RetryTransfer, {}, s.retryCount});
    }
    s.retryTicks = 0;
    return tick;
}

}  // namespace rzl
