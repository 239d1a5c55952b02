#include "core/io_panel.h"

#include "core/context.h"

namespace rzl {

void UpdateIoPanel(Context& ctx) {
    DeviceSession& s = ctx.session;
    // The masked values are what stays: bits the model lacks never show as set.
    s.doState &= s.doMask;
    s.diState &= s.diMask;
    ctx.display.ioState(s.doState, s.diState);
    s.stateReadAt = ctx.traffic.now();
    ++s.stateReads;
    s.cyclesWithoutState = 0;
    if (s.readingsStale) {
        s.readingsStale = false;
        ctx.display.readingsLive();
    }
}

void ResetIoPanel(Context& ctx) {
    DeviceSession& s = ctx.session;
    s.doState = 0;
    s.diState = 0;
    // Nothing of the module is shown any more, so nothing can look live that is not.
    s.readingsStale = false;
    s.cyclesWithoutState = 0;
    s.switchInDoubt = false;
    ctx.display.noModule();
}

namespace {
constexpr std::uint8_t kCyclesBeforeStale = 2;  // about 6 s without the state
}

void MarkReadingsStale(Context& ctx) {
    DeviceSession& s = ctx.session;
    if (s.readingsStale) return;
    s.readingsStale = true;
    ctx.display.readingsStale(s.stateReadAt);
}

void SupervisionCycleEnded(Context& ctx, bool stateRead) {
    DeviceSession& s = ctx.session;
    if (stateRead) return;
    if (s.cyclesWithoutState < kCyclesBeforeStale) ++s.cyclesWithoutState;
    if (s.cyclesWithoutState >= kCyclesBeforeStale) MarkReadingsStale(ctx);
}

}  // namespace rzl
