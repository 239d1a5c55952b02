// Every request builder's frame, delivery and pendingCommand, and the one-slot queue.

#include <gtest/gtest.h>

#include <functional>

#include "core/context.h"
#include "ui/screen_display.h"
#include "filestore/retry_timer.h"
#include "protocol/request_builders.h"
#include "tests/support/fakes.h"
#include "tests/support/loopback_peer.h"

namespace rzl::test {
namespace {

QByteArray frame(std::initializer_list<int> afterSignature) {
    QByteArray out("\x5A\x35\x77\xA5", 4);
    for (int v : afterSignature) out.append(static_cast<char>(v));
    return out;
}

// Accepted, and long enough to be a whole reply to any command.
const QByteArray kReply = frame({0x00, 0x06}) + QByteArray(identify::kReplyLength - 6, '\0');

struct World {
    Screen screen;
    RecordingDialogs dialogs;
    ManualClock clock;
    ScreenDisplay display{screen, dialogs};
    Context ctx{display, clock};
    QList<QByteArray> sent;
    int dispatched = 0;
    int linkChecks = 0;
    bool linked = true;

    explicit World(std::uint16_t port) {
        ctx.session.deviceIp = QStringLiteral("127.0.0.1");
        ctx.session.tcpPort = port;
        ctx.linkCheck = [this] { ++linkChecks; return linked; };
        ctx.dispatchReply = [this](int) { ++dispatched; };
        ctx.frameTap = [this](bool out, const QByteArray& b) { if (out) sent.append(b); };
    }
};

enum class Delivery { Immediate, SendOnly, Queued };

struct BuilderCase {
    const char* name;
    std::function<void(World&)> build;
    QByteArray expected;
    Delivery delivery;
    bool linkCheckFirst;
};

class RequestBuilders : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.start()); }
    LoopbackPeer peer{PeerMode::Answer, kReply};
};

TEST_F(RequestBuilders, EachBuilderSendsItsFrame) {
    const BuilderCase cases[] = {
        {"QueueLocate", [](World& w) { QueueLocate(w.ctx); }, frame({0x1D, 0, 0}), Delivery::Queued, false},
        {"QueueIdentify", [](World& w) { QueueIdentify(w.ctx); }, frame({0x21, 0, 0}), Delivery::Queued, false},
        {"SendIdentify", [](World& w) { SendIdentify(w.ctx); }, frame({0x21, 0, 0}), Delivery::Immediate, false},
        {"SendChecksumQuery", [](World& w) { w.ctx.transfer.imageByteSum = 0x1'0003'FC00; SendChecksumQuery(w.ctx); },
         frame({0x25, 0x00, 0x03, 0xFC, 0x00}), Delivery::Immediate, false},
        {"SendImageActivate", [](World& w) { w.ctx.transfer.imageByteSum = 294; SendImageActivate(w.ctx); },
         frame({0x26, 0x00, 0x00, 0x01, 0x26}), Delivery::SendOnly, false},
        {"SendReboot", [](World& w) { SendReboot(w.ctx); }, frame({0x2D}), Delivery::SendOnly, true},
        {"SendWifiMode AP", [](World& w) { SendWifiMode(w.ctx, true); },
         frame({0x30, 2}), Delivery::Immediate, true},
        {"SendWifiMode Station", [](World& w) { w.ctx.session.txFrame[5] = 9; SendWifiMode(w.ctx, false); },
         frame({0x30, 0}), Delivery::Immediate, true},
        {"SendWebKey", [](World& w) { SendWebKey(w.ctx, "ab\xE9" "de"); },
         frame({0x32, 5, 'a', 'b', 0xE9, 'd', 'e'}), Delivery::Immediate, true},
        {"SendResetDefaults", [](World& w) { SendResetDefaults(w.ctx, 1); }, frame({0x5E, 1}), Delivery::Immediate, true},
        {"QueueCounterRead", [](World& w) { QueueCounterRead(w.ctx); }, frame({0x60, 0, 0}), Delivery::Queued, false},
        {"SendCounterClear", [](World& w) { SendCounterClear(w.ctx, 7); }, frame({0x61, 7}), Delivery::Immediate, false},
        {"QueueSetOutput", [](World& w) { QueueSetOutput(w.ctx, 3, 1); }, frame({0xD0, 3, 1}), Delivery::Queued, false},
        {"SendPoll", [](World& w) { SendPoll(w.ctx); }, frame({0xD8}), Delivery::Immediate, false},
        {"SendModbusNotice", [](World& w) { SendModbusNotice(w.ctx); }, frame({0xDC}), Delivery::Immediate, true},
    };
    for (const BuilderCase& c : cases) {
        SCOPED_TRACE(c.name);
        World w(peer.port());
        const auto code = static_cast<std::uint8_t>(c.expected[4]);
        w.ctx.session.retryCount = 2;
        c.build(w);
        if (c.delivery == Delivery::Queued) {
            EXPECT_TRUE(w.sent.isEmpty()) << "queued requests wait for the supervisor";
            EXPECT_EQ(w.ctx.session.queuedCommand, code);
            SendQueued(w.ctx);
            EXPECT_EQ(w.ctx.session.queuedCommand, 0);
        }
        EXPECT_EQ(w.sent, QList<QByteArray>{c.expected});
        EXPECT_EQ(w.ctx.session.pendingCommand, code);
        EXPECT_EQ(w.dispatched, c.delivery == Delivery::SendOnly ? 0 : 1);
        EXPECT_EQ(w.linkChecks, c.linkCheckFirst ? 1 : 0);
        if (code == 0x30) {
            EXPECT_EQ(w.ctx.session.retryCount, 0);
        }
    }
}

TEST_F(RequestBuilders, OutputSwitchLogsItsLoopAndValue) {
    World w(peer.port());
    QueueSetOutput(w.ctx, 3, 1);
    EXPECT_EQ(w.screen.main.memo1, QStringList{"Loop:3,Val:1"});
}

TEST_F(RequestBuilders, QueueParameterSlotsCarryOverToLaterQueuedRequests) {
    World w(peer.port());
    QueueSetOutput(w.ctx, 4, 0);
    SendQueued(w.ctx);
    QueueLocate(w.ctx);
    SendQueued(w.ctx);
    QueueCounterRead(w.ctx);
    SendQueued(w.ctx);
    QueueIdentify(w.ctx);  // the Refresh
    SendQueued(w.ctx);
    QueueLocate(w.ctx);
    SendQueued(w.ctx);
    EXPECT_EQ(w.sent, (QList<QByteArray>{frame({0xD0, 4, 0}), frame({0x1D, 4, 0}), frame({0x60, 4, 0}),
                                         frame({0x21, 0, 0}), frame({0x1D, 0, 0})}));
}

TEST_F(RequestBuilders, LinkCheckFirstBuildersDoNothingWhenTheCheckFails) {
    const std::pair<const char*, std::function<void(Context&)>> builders[] = {
        {"SendReboot", [](Context& c) { SendReboot(c); }},
        {"SendWifiMode", [](Context& c) { SendWifiMode(c, true); }},
        {"SendWebKey", [](Context& c) { SendWebKey(c, "abcde"); }},
        {"SendResetDefaults", [](Context& c) { SendResetDefaults(c, 1); }},
        {"SendModbusNotice", [](Context& c) { SendModbusNotice(c); }},
    };
    for (const auto& [name, build] : builders) {
        SCOPED_TRACE(name);
        World w(peer.port());
        w.linked = false;
        w.ctx.session.pendingCommand = 216;
        w.ctx.session.retryCount = 2;
        const auto before = w.ctx.session.txFrame;
        build(w.ctx);
        EXPECT_EQ(w.linkChecks, 1);
        EXPECT_TRUE(w.sent.isEmpty());
        EXPECT_EQ(w.ctx.session.pendingCommand, 216);
        EXPECT_EQ(w.ctx.session.retryCount, 2);
        EXPECT_TRUE(w.ctx.session.txFrame == before);
    }
    EXPECT_EQ(peer.connections(), 0);
}

TEST_F(RequestBuilders, ReissuePendingRepeatsOnlyLocateIdentifyAndChecksum) {
    struct Row { std::uint8_t pending; std::uint8_t queued; QList<QByteArray> sent; };
    const Row rows[] = {
        {0, 0, {}},
        {216, 0, {}},
        {93, 0, {}},
        {29, 29, {}},
        {33, 33, {}},
        {37, 0, {frame({0x25, 0, 0, 0, 5})}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pending);
        World w(peer.port());
        w.ctx.transfer.imageByteSum = 5;
        w.ctx.session.pendingCommand = r.pending;
        ReissuePending(w.ctx);
        EXPECT_EQ(w.ctx.session.queuedCommand, r.queued);
        EXPECT_EQ(w.sent, r.sent);
    }
}

TEST_F(RequestBuilders, RequestQueuedDuringTheQueuedExchangeIsKeptForTheNextTick) {
    LoopbackPeer slow(PeerMode::Delayed, kReply);
    ASSERT_TRUE(slow.start());
    World w(slow.port());
    QueueLocate(w.ctx);
    bool clicked = false;
    w.clock.onPump = [&] {
        if (clicked) return;
        clicked = true;
        QueueSetOutput(w.ctx, 2, 1);  // a DO click while the locate waits for its reply
    };
    SendQueued(w.ctx);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(w.ctx.session.queuedCommand, 208);
    SendQueued(w.ctx);
    EXPECT_EQ(w.sent, (QList<QByteArray>{frame({0x1D, 0, 0}), frame({0xD0, 2, 1})}));
}

TEST(RetryTimer, RepeatsAfterFortyTicksAndGivesUpAfterThree) {
    struct Row { const char* name; std::uint8_t pending; std::uint8_t count; QString shown;
                 std::uint8_t pendingAfter; std::uint8_t queuedAfter; bool retryAfter; };
    const Row rows[] = {
        {"identify is queued again", 33, 0, "Retry transfer 1", 33, 33, true},
        {"nothing to repeat", 0, 1, "Retry transfer 2", 0, 0, true},
        {"third repeat was the last", 33, 3, "Retry timeout, abort transfer!", 0, 0, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        World w(closedLoopbackPort());
        RetryTimerTick(w.ctx);
        EXPECT_EQ(w.ctx.session.retryTicks, 0u) << "idle without a time-out";
        w.ctx.session.retryPending = true;
        w.ctx.session.retryInterval = 40;
        w.ctx.session.pendingCommand = r.pending;
        w.ctx.session.retryCount = r.count;
        for (int tick = 1; tick < 40; ++tick) RetryTimerTick(w.ctx);
        EXPECT_EQ(w.screen.main.statusBar2[0], "");
        RetryTimerTick(w.ctx);
        EXPECT_EQ(w.screen.main.statusBar2[0], r.shown);
        EXPECT_EQ(w.ctx.session.pendingCommand, r.pendingAfter);
        EXPECT_EQ(w.ctx.session.queuedCommand, r.queuedAfter);
        EXPECT_EQ(w.ctx.session.retryPending, r.retryAfter);
        EXPECT_EQ(w.ctx.session.retryTicks, 0u);
        EXPECT_TRUE(w.sent.isEmpty());
    }
}

}  // namespace
}  // namespace rzl::test
