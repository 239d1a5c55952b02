#include "link/link_supervisor.h"

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {
constexpr std::uint8_t kTicksPerCycle = 30;  // a cycle on every 31st event
}

void LinkSupervisorTick(Context& ctx) {
    DeviceSession& session = ctx.session;
    session.retryCount = 0;

    if (session.superviseTicks >= kTicksPerCycle) {
        if (ctx.linkCheck()) {  // a failed check has shown why and cleared deviceIdentified
            if (!session.deviceIdentified) {
                ctx.log(QStringLiteral("Re-Get Device.."));
                SendIdentify(ctx);
            } else if (session.pollingEnabled) {
                if (session.pendingCommand != 0) {
                    // Had a whole cycle to be answered: given up; the next cycle polls.
                    session.pendingCommand = 0;
                } else if (!session.exchangeBusy) {
                    SendPoll(ctx);
                }
            }
        }
        session.superviseTicks = 0;
        return;
    }

    ++session.superviseTicks;
    // The queue is served whatever the link looks like.
    if (session.queuedCommand != 0) {
        SendQueued(ctx);
        session.superviseTicks = 0;
    }
}

}  // namespace rzl
