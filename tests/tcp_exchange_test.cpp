// The one-shot exchange and its send-only sibling against loopback peers.

#include <gtest/gtest.h>

#include "core/context.h"
#include "protocol/tcp_exchange.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"

namespace rzl::test {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

const QByteArray kIdentifyFrame = bytes({0x5A, 0x35, 0x77, 0xA5, 0x21, 0x00, 0x00});
const QByteArray kReply = bytes({0x5A, 0x35, 0x77, 0xA5, 0x21, 0x06, 0x11, 0x22, 0x33, 0x44});

using Exchange = void (*)(Context&, std::uint8_t);

struct World {
    Screen screen;
    RecordingDialogs dialogs;
    ManualClock clock;
    Context ctx{screen, dialogs, clock};
    QList<int> dispatched;
    QList<QPair<bool, QByteArray>> tapped;

    World() {
        ctx.session.deviceIp = QStringLiteral("127.0.0.1");
        ctx.linkCheck = [] { return true; };
        ctx.dispatchReply = [this](int n) {
            EXPECT_TRUE(ctx.session.exchangeBusy) << "dispatch runs inside the exchange";
            dispatched.append(n);
        };
        ctx.frameTap = [this](bool out, const QByteArray& b) { tapped.append({out, b}); };
        ctx.session.rxFrame.fill(0xEE);
        // An identify request, signature not yet written.
        ctx.session.txFrame[4] = 0x21;
        ctx.session.pendingCommand = 33;
    }
    void at(const LoopbackPeer& peer) { ctx.session.tcpPort = peer.port(); }
    QByteArray rx(int from, int count) const {
        return QByteArray(reinterpret_cast<const char*>(ctx.session.rxFrame.data()) + from, count);
    }
    QString status() const { return screen.main.statusBar2[0]; }
};

TEST(TcpExchange, SendsSignedFrameAndDispatchesReplyInsideTheGuard) {
    LoopbackPeer peer(PeerMode::Answer, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);

    TcpExchange(w.ctx, 7);

    ASSERT_TRUE(peer.waitForClosed(1));
    EXPECT_EQ(peer.received(), QList<QByteArray>{kIdentifyFrame});
    EXPECT_EQ(w.dispatched, QList<int>{int(kReply.size())});
    EXPECT_EQ(w.rx(0, kReply.size()), kReply);
    EXPECT_EQ(w.rx(kReply.size(), 250 - kReply.size()), QByteArray(250 - kReply.size(), '\0'))
        << "the first 250 bytes are cleared before the exchange";
    EXPECT_EQ(static_cast<std::uint8_t>(w.ctx.session.rxFrame[250]), 0xEE) << "only the first 250";
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    EXPECT_EQ(w.ctx.session.retryInterval, 40u);
    EXPECT_EQ(w.tapped, (QList<QPair<bool, QByteArray>>{{true, kIdentifyFrame}, {false, kReply}}));
}

TEST(TcpExchange, ConnectFailureShowsConnectTimeoutUntilTheNextSuccessfulConnect) {
    LoopbackPeer peer(PeerMode::Answer, kReply);
    ASSERT_TRUE(peer.start());
    for (Exchange run : {&TcpExchange, &TcpSendOnly}) {
        World w;
        w.ctx.session.tcpPort = closedLoopbackPort();
        run(w.ctx, 7);
        EXPECT_EQ(w.status(), "Connect Timeout");
        EXPECT_EQ(w.ctx.session.pendingCommand, 0);
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        EXPECT_FALSE(w.ctx.session.retryPending) << "a failed connect is not re-sent";
        EXPECT_TRUE(w.dispatched.isEmpty());

        w.at(peer);
        run(w.ctx, 7);
        EXPECT_EQ(w.status(), "") << "a successful connect clears exactly that text";

        w.screen.showStatus(QStringLiteral("Set Locator done!"));
        run(w.ctx, 7);
        EXPECT_EQ(w.status(), "Set Locator done!") << "any other text stays";
    }
}

TEST(TcpExchange, SilentPeerTimesOutAndArmsTheResend) {
    LoopbackPeer peer(PeerMode::Silent);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);
    w.ctx.session.retryTicks = 7;

    TcpExchange(w.ctx, 7);

    EXPECT_EQ(w.screen.main.memo1, QStringList{"Wait RX Timeout!"});
    EXPECT_TRUE(w.ctx.session.retryPending);
    EXPECT_EQ(w.ctx.session.pendingCommand, 33) << "kept for the re-send";
    EXPECT_EQ(w.ctx.session.retryTicks, 0u);
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    EXPECT_TRUE(w.dispatched.isEmpty());
    EXPECT_GE(w.clock.pumps, 100) << "the wait keeps the program's events running";
    EXPECT_TRUE(peer.waitForClosed(1));
}

TEST(TcpExchange, BusyGuardRefusesBothKindsWithoutTouchingAnything) {
    LoopbackPeer peer(PeerMode::Answer, kReply);
    ASSERT_TRUE(peer.start());
    for (Exchange run : {&TcpExchange, &TcpSendOnly}) {
        World w;
        w.at(peer);
        w.ctx.session.exchangeBusy = true;
        w.ctx.session.retryPending = true;
        w.ctx.session.retryTicks = 5;
        run(w.ctx, 7);
        EXPECT_TRUE(w.ctx.session.exchangeBusy);
        EXPECT_TRUE(w.ctx.session.retryPending);
        EXPECT_EQ(w.ctx.session.retryTicks, 5u);
        EXPECT_EQ(w.ctx.session.txFrame[0], 0) << "not even the signature is written";
        EXPECT_EQ(w.ctx.session.rxFrame[0], 0xEE);
        EXPECT_TRUE(w.tapped.isEmpty());
    }
    EXPECT_EQ(peer.connections(), 0);
}

TEST(TcpExchange, EventPumpedDuringTheWaitCannotStartASecondExchange) {
    LoopbackPeer peer(PeerMode::Delayed, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);
    int nested = 0;
    w.clock.onPump = [&] {
        ++nested;
        w.ctx.session.txFrame[4] = 0xD8;  // as a timer's builder would; the frame is already out
        TcpExchange(w.ctx, 5);
        TcpSendOnly(w.ctx, 5);
    };

    TcpExchange(w.ctx, 7);

    EXPECT_GT(nested, 0);
    EXPECT_EQ(w.dispatched, QList<int>{int(kReply.size())});
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    ASSERT_TRUE(peer.waitForClosed(1));
    EXPECT_EQ(peer.received(), QList<QByteArray>{kIdentifyFrame});
}

TEST(TcpExchange, ReplyInTwoPiecesIsHandledAfterTheFirst) {
    LoopbackPeer peer(PeerMode::TwoPieces, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);

    TcpExchange(w.ctx, 7);

    EXPECT_EQ(w.dispatched, QList<int>{6});
    EXPECT_EQ(w.rx(0, 6), kReply.left(6));
    EXPECT_EQ(w.rx(6, 4), QByteArray(4, '\0')) << "fields beyond the piece read as zero";
}

TEST(TcpExchange, OversizedReplyStaysInsideTheReplyBuffer) {
    LoopbackPeer peer(PeerMode::Oversized, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);

    TcpExchange(w.ctx, 7);

    ASSERT_EQ(w.dispatched.size(), 1);
    const int count = w.dispatched[0];
    EXPECT_GT(count, 0);
    EXPECT_LE(count, kRxFrameSize);
    EXPECT_EQ(w.rx(0, count), LoopbackPeer::oversizedReply(kReply).left(count));
    EXPECT_LE(w.tapped.last().second.size(), kRxFrameSize);
    EXPECT_EQ(w.ctx.info.modbusPort, 502u) << "the record after the session is untouched";
    EXPECT_EQ(w.ctx.info.location, QByteArray());
}

TEST(TcpExchange, PeerClosingBeforeTheReplyReleasesTheGuard) {
    LoopbackPeer peer(PeerMode::CloseAtOnce);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);

    TcpExchange(w.ctx, 7);

    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    EXPECT_TRUE(w.dispatched.isEmpty());
    ASSERT_EQ(w.screen.main.memo1.size(), 1);
    EXPECT_TRUE(w.screen.main.memo1[0].startsWith("RX Error: ") || w.screen.main.memo1[0].startsWith("TX Error: "))
        << w.screen.main.memo1[0].toStdString();
    EXPECT_FALSE(w.ctx.session.retryPending);

    w.ctx.session.tcpPort = closedLoopbackPort();
    TcpExchange(w.ctx, 7);
    EXPECT_EQ(w.status(), "Connect Timeout") << "the next exchange runs";
}

TEST(TcpSendOnly, SendsExactlyTheFrameAndReadsNothing) {
    LoopbackPeer peer(PeerMode::Answer, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);
    w.ctx.session.retryPending = true;
    const QByteArray body = bytes({0x26, 0x00, 0x03, 0xFC, 0x00, 0x99});
    std::copy(body.begin(), body.end(), w.ctx.session.txFrame.begin() + 4);

    TcpSendOnly(w.ctx, 9);

    ASSERT_TRUE(peer.waitForClosed(1));
    EXPECT_EQ(peer.received(), QList<QByteArray>{bytes({0x5A, 0x35, 0x77, 0xA5, 0x26, 0x00, 0x03, 0xFC, 0x00})});
    EXPECT_TRUE(w.dispatched.isEmpty());
    EXPECT_EQ(w.rx(0, 250), QByteArray(250, '\xEE')) << "the reply buffer is not touched";
    EXPECT_FALSE(w.ctx.session.retryPending);
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    EXPECT_EQ(w.tapped.size(), 1);
}

}  // namespace
}  // namespace rzl::test
