#include "link/default_seams.h"

#include "core/context.h"
#include "link/device_link_check.h"
#include "link/host_network.h"
#include "protocol/reply_dispatcher.h"

namespace rzl {

void WireDefaultSeams(Context& ctx) {
    ctx.dispatchReply = [&ctx](int count) { DispatchReply(ctx, count); };
    ctx.linkCheck = [&ctx] { return CheckDeviceLink(ctx); };
    ctx.hostNetwork = makeHostNetwork();
}

}  // namespace rzl
