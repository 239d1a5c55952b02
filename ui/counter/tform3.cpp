#include "ui/counter/tform3.h"

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

TForm3::TForm3(Context& ctx) : ctx_(ctx) {}

void TForm3::FormActivate() {
    ctx_.screen.counter.upperRowsEnabled = ctx_.session.diMask == 0xFF;
    ctx_.screen.changed();
}

void TForm3::FormClose() { ctx_.session.pollingEnabled = true; }

void TForm3::Image2Click() { QueueCounterRead(ctx_); }

void TForm3::ClearClick(int input) {
    if (input < 0 || input > 7) return;
    if (input >= 4 && !ctx_.screen.counter.upperRowsEnabled) return;
    SendCounterClear(ctx_, static_cast<std::uint8_t>(input));
    QueueCounterRead(ctx_);
}

}  // namespace rzl
