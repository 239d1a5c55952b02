// The send queue as recorded SIO_TCP_INFO answers give it: the bytes the peer has not
// acknowledged are the ones not sent yet plus those in flight, and a connection that is gone
// never reads as "all acknowledged", however empty its queue.

#include <gtest/gtest.h>

#include "platform/windows_tcp_info.h"

namespace rzl::platform {
namespace {

TCP_INFO_v0 answer(TCPSTATE state, ULONG64 bytesOut, ULONG bytesInFlight) {
    TCP_INFO_v0 info{};
    info.State = state;
    info.Mss = 1460;
    info.BytesOut = bytesOut;
    info.BytesInFlight = bytesInFlight;
    return info;
}

TEST(WindowsTcpInfo, TheQueueIsWhatIsNotSentPlusWhatIsInFlight) {
    struct Row {
        const char* name;
        TCP_INFO_v0 info;
        std::int64_t written;
        std::int64_t unacknowledged;
    };
    const Row rows[] = {
        {"nothing written", answer(TCPSTATE_ESTABLISHED, 0, 0), 0, 0},
        {"all sent and acknowledged", answer(TCPSTATE_ESTABLISHED, 4096, 0), 4096, 0},
        {"all sent, part in flight", answer(TCPSTATE_ESTABLISHED, 4096, 1460), 4096, 1460},
        {"part still queued here", answer(TCPSTATE_ESTABLISHED, 65536, 8760), 100000, 34464 + 8760},
        {"nothing sent yet", answer(TCPSTATE_ESTABLISHED, 0, 0), 2000, 2000},
        // Retransmitted bytes count in BytesOut again: what is in flight still decides.
        {"retransmissions", answer(TCPSTATE_ESTABLISHED, 5000, 1460), 4096, 1460},
        {"retransmissions, all acknowledged", answer(TCPSTATE_ESTABLISHED, 5000, 0), 4096, 0},
        // The peer closed its side after reading: it still acknowledges.
        {"peer closed after reading", answer(TCPSTATE_CLOSE_WAIT, 4096, 0), 4096, 0},
        {"peer closed, bytes in flight", answer(TCPSTATE_CLOSE_WAIT, 4096, 512), 4096, 512},
        // Written bytes beyond 4 GiB: the counters are 64 bits wide.
        {"past 4 GiB", answer(TCPSTATE_ESTABLISHED, 0x100000000ULL, 100), 0x100000010LL, 116},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SendQueue queue = SendQueueFromTcpInfo(row.info, row.written);
        EXPECT_FALSE(queue.gone);
        EXPECT_EQ(queue.unacknowledged, row.unacknowledged);
    }
}

// A reset empties the stack's queue without the peer having the bytes: nothing in flight, all
// sent. Read by the numbers alone it would be "all acknowledged".
TEST(WindowsTcpInfo, AConnectionThatIsGoneLeavesEveryByteUnacknowledged) {
    for (const TCPSTATE state : {TCPSTATE_CLOSED, TCPSTATE_TIME_WAIT, TCPSTATE_LAST_ACK, TCPSTATE_CLOSING,
                                 TCPSTATE_FIN_WAIT_1, TCPSTATE_FIN_WAIT_2}) {
        SCOPED_TRACE(static_cast<int>(state));
        const SendQueue queue = SendQueueFromTcpInfo(answer(state, 4096, 0), 4096);
        EXPECT_TRUE(queue.gone);
        EXPECT_EQ(queue.unacknowledged, 4096);
    }
}

}  // namespace
}  // namespace rzl::platform
