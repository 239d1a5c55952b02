#include "filestore/retry_timer.h"

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {
constexpr std::uint8_t kMaxRetries = 3;
}

void RetryTimerTick(Context& ctx) {
    DeviceSession& s = ctx.session;
    if (!s.retryPending) return;
    if (++s.retryTicks < s.retryInterval) return;
    if (s.retryCount >= kMaxRetries) {
        s.retryCount = 0;
        s.pendingCommand = 0;
        s.retryPending = false;
        ctx.screen.showStatus(QStringLiteral("Retry timeout, abort transfer!"));
    } else {
        ++s.retryCount;
        ReissuePending(ctx);
        ctx.screen.showStatus(QStringLiteral("Retry transfer ") + QString::number(s.retryCount));
    }
    s.retryTicks = 0;
}

}  // namespace rzl
