#include "platform/windows_tcp_info.h"

#include <algorithm>

namespace rzl::platform {

namespace {

// States in which the peer can still acknowledge what was sent: the connection is up, or the
// peer has closed its side after reading (it still acknowledges). The program never closes its
// own side while it waits, so every other state means the connection is gone.
bool canAcknowledge(TCPSTATE state) {
    return state == TCPSTATE_ESTABLISHED || state == TCPSTATE_CLOSE_WAIT;
}

}  // namespace

SendQueue SendQueueFromTcpInfo(const TCP_INFO_v0& info, std::int64_t written) {
    if (!canAcknowledge(info.State)) return {written, true};
    const std::int64_t notSent = std::max<std::int64_t>(written - static_cast<std::int64_t>(info.BytesOut), 0);
    return {notSent + static_cast<std::int64_t>(info.BytesInFlight), false};
}

}  // namespace rzl::platform
