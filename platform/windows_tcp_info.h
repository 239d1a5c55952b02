#pragma once
// What an answer of WSAIoctl(SIO_TCP_INFO) says of the bytes a connection was given, kept apart
// from the call so that recorded answers can be fed in (the call itself answers nothing under
// Wine, and only from Windows 10 1703 on).
//
// TCP_INFO_v0.BytesOut is what the stack has sent and BytesInFlight what of that the peer has
// not acknowledged, so the bytes written and not yet acknowledged are the ones not sent yet
// (written - BytesOut, as far as positive) plus those in flight. A retransmission counts in
// BytesOut again, so while losses are repaired the part not sent yet may read low; the wait
// for the queue still ends only when nothing is in flight.
// A reset connection has nothing in flight either: its state, read from the same answer, tells
// it from one whose peer has every byte.

#include <cstdint>

#include <winsock2.h>
#include <mstcpip.h>

namespace rzl::platform {

struct SendQueue {
    std::int64_t unacknowledged = 0;  // of the bytes written; all of them when the connection is gone
    bool gone = false;                // reset or closed: the peer will acknowledge nothing more
};

// `written`: the bytes given to the connection since it was made.
SendQueue SendQueueFromTcpInfo(const TCP_INFO_v0& info, std::int64_t written);

}  // namespace rzl::platform
