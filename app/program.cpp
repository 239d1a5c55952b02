#include "app/program.h"

#include "link/device_link_check.h"
#include "link/host_network.h"
#include "protocol/reply_dispatcher.h"

namespace rzl {

void WireDefaultSeams(Context& ctx) {
    ctx.dispatchReply = [&ctx](int count) { DispatchReply(ctx, count); };
    ctx.linkCheck = [&ctx] { return CheckDeviceLink(ctx); };
    ctx.hostNetwork = makeHostNetwork();
}

Program::Program(DialogHost& dialogs, Clock& clock)
    : ctx(screen, dialogs, clock),
      form1(ctx),
      form2(ctx),
      form3(ctx),
      search(ctx, [this](const QString& address) {
          // As typing the address and pressing Static IP.
          screen.main.edit2 = address;
          screen.changed();
          form1.SpeedButton5Click();
      }) {
    WireDefaultSeams(ctx);
    form1.FormCreate();
    form2.FormCreate();
}

}  // namespace rzl
