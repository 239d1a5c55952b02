#include "filestore/retry_timer.h"

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {
constexpr std::uint8_t kMaxRetries = 3;
}

void RetryTimerTick(Context& ctx) {
    DeviceSession& s = ctx.session;
    // The re-send waits for its reply with the event loop running; a tick arriving in that wait
    // must not count it as another unanswered request.
    if (!s.retryPending || s.retryReissuing) return;
    if (++s.retryTicks < s.retryInterval) return;
    if (s.retryCount >= kMaxRetries) {
        s.retryCount = 0;
        s.pendingCommand = 0;
        s.retryPending = false;
        ctx.screen.showStatus(QStringLiteral("Retry timeout, abort transfer!"));
    } else {
        ++s.retryCount;
        s.retryReissuing = true;
        ReissuePending(ctx);
        s.retryReissuing = false;
        ctx.screen.showStatus(QStringLiteral("Retry transfer ") + QString::number(s.retryCount));
    }
    s.retryTicks = 0;
}

}  // namespace rzl
