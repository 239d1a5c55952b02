#include "link/link_supervisor.h"

#include "core/context.h"
#include "core/io_panel.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {

constexpr std::uint8_t kTicksPerCycle = 30;  // a cycle on every 31st event

// The module said no: the user is told, in the status line and the protocol view, instead of
// a request that silently fails cycle after cycle.
void tellRefusal(Context& ctx, const std::optional<ExchangeOutcome>& outcome) {
    if (!outcome || !outcome->refused()) return;
    const Notice notice{Notice::Kind::Refused, ctx.session.deviceIp, outcome->verdict.status};
    ctx.display.notice(notice);
    ctx.log(QStringLiteral("The module at %1 refuses requests (status %2)").arg(notice.text).arg(notice.number));
}

ReadFailure failureOf(const ExchangeOutcome& outcome) {
    if (outcome.refused()) return ReadFailure::Refused;
    if (outcome.verdict.garbled()) return ReadFailure::NotValid;
    return ReadFailure::NoAnswer;
}

// An output switch that left without a valid answer may have switched all the same: what the
// panel shows of the outputs is in doubt until the next state reply.
bool leftInDoubt(const ExchangeOutcome& outcome) {
    return outcome.delivered() && !outcome.verdict.accepted() && !outcome.refused();
}

void cycle(Context& ctx) {
    DeviceSession& session = ctx.session;
    if (!ctx.linkCheck()) return;  // a failed check has shown why and cleared deviceIdentified
    if (!session.deviceIdentified) {
        ctx.log(QStringLiteral("Re-Get Device.."));
        tellRefusal(ctx, SendIdentify(ctx));
        return;
    }
    if (!session.pollingEnabled) return;
    const std::uint32_t readsBefore = session.stateReads;
    if (session.switchInDoubt && !session.exchangeBusy) {
        // The switch's fate is asked at once rather than after a cycle that only gives it up.
        session.switchInDoubt = false;
        session.pendingCommand = 0;
        tellRefusal(ctx, SendPoll(ctx));
    } else if (session.pendingCommand != 0) {
        // Had a whole cycle to be answered: given up; the next cycle polls.
        session.pendingCommand = 0;
    } else if (!session.exchangeBusy) {
        tellRefusal(ctx, SendPoll(ctx));
    }
    SupervisionCycleEnded(ctx, session.stateReads != readsBefore);
    // A refused locate is asked again at this pace, once the queue is free.
    if (session.refusedCommand == kCmdLocate && session.queuedCommand == 0) {
        session.refusedCommand = 0;
        QueueLocate(ctx);
    }
}

}  // namespace

void LinkSupervisorTick(Context& ctx) {
    DeviceSession& session = ctx.session;
    session.retryCount = 0;

    if (session.superviseTicks >= kTicksPerCycle) {
        cycle(ctx);
        session.superviseTicks = 0;
        return;
    }

    ++session.superviseTicks;
    // The queue is served whatever the link looks like.
    if (session.queuedCommand != 0) {
        const std::uint8_t command = session.queuedCommand;
        const std::optional<ExchangeOutcome> outcome = SendQueued(ctx);
        tellRefusal(ctx, outcome);
        if (outcome && command == kCmdSetOutput && leftInDoubt(*outcome)) {
            session.switchInDoubt = true;
            MarkReadingsStale(ctx);
        }
        // The counter window says the counts were not read, instead of showing what it had.
        if (outcome && command == kCmdCounterRead && !outcome->verdict.accepted())
            ctx.display.countersNotRead(failureOf(*outcome), session.countersReadAt);
        session.superviseTicks = 0;
    }
}

}  // namespace rzl
