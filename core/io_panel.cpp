#include "core/io_panel.h"

#include "core/context.h"

namespace rzl {

void UpdateIoPanel(Context& ctx) {
    DeviceSession& s = ctx.session;
    // The masked values are what stays: bits the model lacks never show as set.
    s.doState &= s.doMask;
    s.diState &= s.diMask;
    ctx.display.ioState(s.doState, s.diState);
}

void ResetIoPanel(Context& ctx) {
    ctx.session.doState = 0;
    ctx.session.diState = 0;
    ctx.display.noModule();
}

}  // namespace rzl
