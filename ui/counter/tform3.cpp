#include "ui/counter/tform3.h"

#include "protocol/request_builders.h"
#include "ui/program.h"

namespace rzl {

TForm3::TForm3(Program& program) : p_(program) {}

void TForm3::FormActivate() {
    p_.screen.counter.upperRowsEnabled = p_.ctx.session.diMask == 0xFF;
    p_.screen.changed();
}

void TForm3::FormClose() { p_.ctx.session.pollingEnabled = true; }

void TForm3::Image2Click() { QueueCounterRead(p_.ctx); }

void TForm3::ClearClick(int input) {
    if (input < 0 || input > 7) return;
    if (input >= 4 && !p_.screen.counter.upperRowsEnabled) return;
    SendCounterClear(p_.ctx, static_cast<std::uint8_t>(input));
    QueueCounterRead(p_.ctx);
}

}  // namespace rzl
