// The one-shot exchange and its send-only sibling against loopback peers.

#include <gtest/gtest.h>
#include <optional>

#include <QElapsedTimer>
#include <QThread>

#include "core/context.h"
#include "ui/screen_display.h"
#include "protocol/tcp_exchange.h"
#include "sim/simulator.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_listeners.h"
#include "tests/support/loopback_peer.h"

namespace rzl::test {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

const QByteArray kIdentifyFrame = bytes({0x5A, 0x35, 0x77, 0xA5, 0x21, 0x00, 0x00});
// An accepted identify reply: the header, a few payload bytes, zeros up to its 198 bytes.
const QByteArray kReply = bytes({0x5A, 0x35, 0x77, 0xA5, 0x21, 0x06, 0x11, 0x22, 0x33, 0x44}) +
                          QByteArray(identify::kReplyLength - 10, '\0');

using Exchange = ExchangeOutcome (*)(Context&, std::uint8_t);

struct World {
    Screen screen;
    RecordingDialogs dialogs;
    ManualClock clock;
    ScreenDisplay display{screen, dialogs};
    Context ctx{display, clock};
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

    EXPECT_EQ(TcpExchange(w.ctx, 7).result, ExchangeResult::Replied);

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
        EXPECT_EQ(run(w.ctx, 7).result, ExchangeResult::NoConnection);
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

    EXPECT_EQ(TcpExchange(w.ctx, 7).result, ExchangeResult::NoReply);

    EXPECT_EQ(w.screen.main.memo1, QStringList{"Wait RX Timeout!"});
    EXPECT_TRUE(w.ctx.session.retryPending);
    EXPECT_EQ(w.ctx.session.pendingCommand, 33) << "kept for the re-send";
    EXPECT_EQ(w.ctx.session.retryTicks, 0u);
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
    EXPECT_TRUE(w.dispatched.isEmpty());
    EXPECT_GE(w.clock.pumps, 20) << "the wait keeps the program's events running";
    EXPECT_TRUE(peer.waitForClosed(1));
}

// The reply window is a second on the clock however long the program's events hold the thread
// between two looks. Counted in slices, 30 ms of events after each 10 ms slice would stretch it
// to 4 s, and a module that closes a connection quiet for 2 s would close it first: a broken
// connection instead of a missing reply.
TEST(TcpExchange, TheReplyWindowIsASecondHoweverLongTheEventsBetweenLooksTake) {
    sim::SimOptions options;
    options.fault = sim::FaultMode::Silent;
    options.idleTimeoutMs = 2000;
    sim::SimulatorThread module(options);
    ASSERT_TRUE(module.start());
    World w;
    w.ctx.session.tcpPort = module.port();
    w.clock.onPump = [] { QThread::msleep(30); };
    QElapsedTimer waited;
    waited.start();

    const ExchangeOutcome outcome = TcpExchange(w.ctx, 7);

    EXPECT_EQ(outcome.result, ExchangeResult::NoReply) << outcome.reason.toStdString();
    EXPECT_EQ(w.screen.main.memo1.join('\n').toStdString(), "Wait RX Timeout!");
    EXPECT_GE(waited.elapsed(), 1000) << "the whole window";
    EXPECT_LT(w.clock.pumps, 100) << "ended by the clock, not by a count of slices";
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
        EXPECT_EQ(run(w.ctx, 7).result, ExchangeResult::Busy);
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

TEST(TcpExchange, ReplyInTwoPiecesIsJoinedBeforeItIsHandled) {
    LoopbackPeer peer(PeerMode::TwoPieces, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);

    TcpExchange(w.ctx, 7);

    EXPECT_EQ(w.dispatched, QList<int>{int(kReply.size())});
    EXPECT_EQ(w.rx(0, kReply.size()), kReply);
    EXPECT_GT(w.clock.pumps, 0) << "the wait for the second piece keeps the program's events running";
    EXPECT_TRUE(w.screen.main.memo1.isEmpty());
}

// A reply is handled once it holds what its command needs; one still short when the window
// ends, or when the module closes, is read as missing and sent again.
TEST(TcpExchange, ReplyIsHandledOnlyWhenWholeForTheCommandSent) {
    struct Case {
        const char* name;
        QByteArray sent;
        bool closeAfter;
        int dispatched;  // 0: read as missing
    };
    const Case cases[] = {
        {"cut short, then silent", kReply.left(120), false, 0},
        {"cut short, then closed", kReply.left(120), true, 0},
        {"only the header of an accepted identify", kReply.left(6), false, 0},
        {"a refusal needs only its header", bytes({0x5A, 0x35, 0x77, 0xA5, 0x21, 0x15}), false, 6},
        {"a wrong signature is handled at once", bytes({0xA5, 0xCA, 0x88, 0x5A, 0x21}), false, 5},
        {"more than the command needs", kReply + bytes({1, 2, 3}), false, int(kReply.size()) + 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer(c.closeAfter ? PeerMode::AnswerAndClose : PeerMode::Answer, c.sent);
        ASSERT_TRUE(peer.start());
        World w;
        w.at(peer);

        TcpExchange(w.ctx, 7);

        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        if (c.dispatched == 0) {
            EXPECT_TRUE(w.dispatched.isEmpty());
            EXPECT_EQ(w.screen.main.memo1, QStringList{"Wait RX Timeout!"});
            EXPECT_TRUE(w.ctx.session.retryPending);
            EXPECT_EQ(w.ctx.session.pendingCommand, 33) << "kept for the re-send";
            EXPECT_EQ(w.rx(0, 6), QByteArray(6, '\0')) << "nothing of the piece is left to be read";
        } else {
            EXPECT_EQ(w.dispatched, QList<int>{c.dispatched});
            EXPECT_EQ(w.rx(0, c.dispatched), c.sent);
            EXPECT_TRUE(w.screen.main.memo1.isEmpty());
        }
        EXPECT_EQ(w.tapped.last(), (QPair<bool, QByteArray>{false, c.sent})) << "--trace shows what came";
    }
}

// The connect waits for the handshake against one deadline, in slices that pump events; a
// slice that passes is not the end of the attempt.
TEST(TcpExchange, PeerAcceptingLateIsReachedWithinTheConnectTimeout) {
    FullBacklogListener peer;
    ASSERT_TRUE(peer.start());
    peer.acceptAfter(300, kReply.toStdString());
    World w;
    w.ctx.session.tcpPort = peer.port();
    bool clicked = false;
    w.clock.onPump = [&] {
        if (clicked) return;
        clicked = true;
        // A DO click handled while the connect waits writes its own request into txFrame.
        w.ctx.session.txFrame[4] = 0xD0;
        w.ctx.session.txFrame[5] = 3;
        w.ctx.session.txFrame[6] = 1;
    };

    TcpExchange(w.ctx, 7);

    EXPECT_TRUE(clicked) << "the connect waited";
    EXPECT_EQ(w.status(), "");
    EXPECT_EQ(QByteArray::fromStdString(peer.received()), kIdentifyFrame) << "the frame taken before the connect goes out";
    EXPECT_EQ(w.dispatched, QList<int>{int(kReply.size())});
    EXPECT_FALSE(w.ctx.session.exchangeBusy);
}

TEST(TcpExchange, PeerNeverAcceptingFailsAtTheConnectTimeout) {
    FullBacklogListener peer;
    ASSERT_TRUE(peer.start());
    for (Exchange run : {&TcpExchange, &TcpSendOnly}) {
        World w;
        w.ctx.session.tcpPort = peer.port();
        w.ctx.connectTimeoutMs = 300;
        QElapsedTimer elapsed;
        elapsed.start();

        run(w.ctx, 7);

        EXPECT_GE(elapsed.elapsed(), 300);
        EXPECT_LT(elapsed.elapsed(), 2500) << "ended by the deadline";
        EXPECT_GE(w.clock.pumps, 10) << "events run while the connect waits";
        EXPECT_EQ(w.status(), "Connect Timeout");
        EXPECT_EQ(w.ctx.session.pendingCommand, 0);
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        EXPECT_TRUE(w.tapped.isEmpty());
    }
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

// What callers that must not go on after a failure see: whether the frame reached the module.
TEST(TcpExchange, OutcomeSaysWhetherTheFrameWentOut) {
    struct Case {
        const char* what;
        std::optional<PeerMode> peer;  // none: nothing listens
        Exchange run;
        bool busy;
        QList<ExchangeResult> results;  // a closing peer may fail the write or the read
        bool delivered;  // the frame left this PC whole
    };
    const Case cases[] = {
        {"reply", PeerMode::Answer, &TcpExchange, false, {ExchangeResult::Replied}, true},
        {"silence", PeerMode::Silent, &TcpExchange, false, {ExchangeResult::NoReply}, true},
        {"send-only", PeerMode::Answer, &TcpSendOnly, false, {ExchangeResult::Sent}, true},
        {"read, then closed", PeerMode::ReadThenClose, &TcpExchange, false, {ExchangeResult::ConnectionLost}, true},
        {"read, then reset", PeerMode::ReadThenReset, &TcpExchange, false, {ExchangeResult::ConnectionLost}, true},
        {"no listener", std::nullopt, &TcpExchange, false, {ExchangeResult::NoConnection}, false},
        {"no listener, send-only", std::nullopt, &TcpSendOnly, false, {ExchangeResult::NoConnection}, false},
        {"busy", PeerMode::Answer, &TcpExchange, true, {ExchangeResult::Busy}, false},
        {"busy, send-only", PeerMode::Answer, &TcpSendOnly, true, {ExchangeResult::Busy}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<LoopbackPeer> peer;
        World w;
        if (c.peer) {
            peer.emplace(*c.peer, kReply);
            ASSERT_TRUE(peer->start());
            w.at(*peer);
        } else {
            w.ctx.session.tcpPort = closedLoopbackPort();
        }
        w.ctx.session.exchangeBusy = c.busy;
        const ExchangeOutcome outcome = c.run(w.ctx, 7);
        EXPECT_TRUE(c.results.contains(outcome.result)) << int(outcome.result);
        EXPECT_EQ(outcome.delivered(), c.delivered);
        if (!c.delivered || outcome.result == ExchangeResult::ConnectionLost) {
            EXPECT_FALSE(outcome.reason.isEmpty());
        }
    }
}

TEST(TcpSendOnly, SendsExactlyTheFrameAndReadsNothing) {
    LoopbackPeer peer(PeerMode::Answer, kReply);
    ASSERT_TRUE(peer.start());
    World w;
    w.at(peer);
    w.ctx.session.retryPending = true;
    const QByteArray body = bytes({0x26, 0x00, 0x03, 0xFC, 0x00, 0x99});
    std::copy(body.begin(), body.end(), w.ctx.session.txFrame.begin() + 4);

    EXPECT_EQ(TcpSendOnly(w.ctx, 9).result, ExchangeResult::Sent);

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
