#include "app/context.h"

#include "link/device_link_check.h"
#include "link/host_network.h"
#include "protocol/reply_dispatcher.h"

namespace rzl {

Context::Context(Screen& screen_, DialogHost& dialogs_, Clock& clock_)
    : screen(screen_), dialogs(dialogs_), clock(clock_) {
    dispatchReply = [this](int count) { DispatchReply(*this, count); };
    linkCheck = [this] { return CheckDeviceLink(*this); };
    hostNetwork = makeHostNetwork();
}

Context::~Context() = default;

}  // namespace rzl
