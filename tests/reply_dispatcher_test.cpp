// Replies handed to the dispatcher as the exchange would, and what they leave behind.

#include <gtest/gtest.h>

#include <optional>

#include "protocol/request_builders.h"
#include "tests/support/reply_frames.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

class ReplyDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Anything the dispatcher sends itself could only reach a closed loopback port.
        t.target(1);
    }
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    MainView& main = t.screen.main;
};

struct ShortReplyCase {
    const char* name;
    std::uint8_t pending;
    std::uint8_t doMask, diMask;
    QByteArray bytes;
    std::uint8_t pendingAfter;
    std::uint8_t doState, diState;  // afterwards, masked
    QString status;                 // StatusBar2 panel 0 afterwards
    QString rssi;                   // Label12 afterwards
};

TEST_F(ReplyDispatcherTest, ShortRepliesByPendingCommand) {
    const QString noRssi = QStringLiteral("RSSI:");
    const ShortReplyCase cases[] = {
        {"poll", kCmdPoll, 0xFF, 0xFF, reply(0xD8, 6, {0x05, 0x03, 0xFF, 0xC4}), 0, 5, 3, "", "RSSI: -60dBm"},
        {"state with nothing pending", 0, 0xFF, 0xFF, reply(0xD8, 6, {0x05, 0x03, 0xFF, 0xC4}), 0, 5, 3, "", noRssi},
        {"poll masked, RSSI not reported", kCmdPoll, 0x07, 0x0F, reply(0xD8, 6, {0xFF, 0xFF, 0, 0}), 0, 0x07, 0x0F,
         "", noRssi},
        {"refused state with nothing pending", 0, 0xFF, 0xFF, reply(0xD8, 5, {5, 3}), 0, 0, 0, "", noRssi},
        {"other command with nothing pending", 0, 0xFF, 0xFF, reply(0xD0, 6, {5, 3}), 0, 0, 0, "", noRssi},
        {"output switched", kCmdSetOutput, 0x07, 0x0F, reply(0xD0, 6, {0x01, 0x0F}), 0, 1, 0x0F,
         "Set DO Done! DI:0F", noRssi},
        {"output switched, inputs masked", kCmdSetOutput, 0x3F, 0x00, reply(0xD0, 6, {0x21, 0xAB}), 0, 0x21, 0,
         "Set DO Done! DI:00", noRssi},
        {"output switch refused", kCmdSetOutput, 0x07, 0x0F, reply(0xD0, 0x15, {1, 0x0F}), kCmdSetOutput, 0, 0, "",
         noRssi},
        {"poll refused", kCmdPoll, 0xFF, 0xFF, reply(0xD8, 0, {5, 3, 0xFF, 0xC4}), kCmdPoll, 0, 0, "", noRssi},
        {"locate done", kCmdLocate, 0, 0, reply(0x1D, 6), 0, 0, 0, "Set Locator done!", noRssi},
        {"file deleted", kCmdDeleteFile, 0, 0, reply(0x5D, 6), 0, 0, 0, "Kill file in Flash Done!", noRssi},
        {"file delete refused", kCmdDeleteFile, 0, 0, reply(0x5D, 1), kCmdDeleteFile, 0, 0, "", noRssi},
        {"defaults restored", kCmdResetDefaults, 0, 0, reply(0x5E, 6), 0, 0, 0, "Flash Config been kill!", noRssi},
        {"no branch for the command", kCmdWifiMode, 0xFF, 0xFF, reply(0xD8, 6, {5, 3}), kCmdWifiMode, 0, 0, "",
         noRssi},
        {"wrong signature", kCmdPoll, 0xFF, 0xFF, replyBytes({0x5A, 0x35, 0x77, 0xA4, 0xD8, 6, 5, 3}), kCmdPoll, 0, 0,
         "InValid Header package!", noRssi},
        {"shorter than the signature", kCmdPoll, 0xFF, 0xFF, replyBytes({0x5A, 0x35}), kCmdPoll, 0, 0,
         "InValid Header package!", noRssi},
    };
    for (const ShortReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestProgram fresh;
        fresh.target(1);
        DeviceSession& session = fresh.ctx.session;
        session.pendingCommand = c.pending;
        session.doMask = c.doMask;
        session.diMask = c.diMask;
        session.retryPending = true;

        dispatch(fresh.ctx, c.bytes);

        EXPECT_FALSE(session.retryPending);
        EXPECT_EQ(session.pendingCommand, c.pendingAfter);
        EXPECT_EQ(session.doState, c.doState);
        EXPECT_EQ(session.diState, c.diState);
        EXPECT_EQ(fresh.screen.main.statusBar2[0], c.status);
        EXPECT_EQ(fresh.screen.main.label12.caption, c.rssi);
    }
}

// Queued again at once, a refused request would leave on the next 100 ms event, and again after
// that: a refused locate waits for the next supervision cycle, a refused identify for the cycles
// that identify a module not yet identified.
TEST_F(ReplyDispatcherTest, RefusedLocateAndIdentifyAreNotQueuedAgainAtOnce) {
    for (std::uint8_t command : {kCmdLocate, kCmdIdentify}) {
        SCOPED_TRACE(command);
        s.queuedCommand = 0;
        s.refusedCommand = 0;
        s.pendingCommand = command;
        dispatch(t.ctx, reply(command, 21));
        EXPECT_EQ(s.queuedCommand, 0);
        EXPECT_EQ(s.refusedCommand, command == kCmdLocate ? kCmdLocate : 0);
        EXPECT_TRUE(main.statusBar2[0].isEmpty());
    }
}

TEST_F(ReplyDispatcherTest, SixByteIdentifyNamesAnUnknownDeviceAndTakesNothingElse) {
    s.deviceIp = QStringLiteral("192.168.77.1");
    s.pendingCommand = kCmdIdentify;
    t.ctx.info.location = "kept";
    main.label5.caption = QStringLiteral("Locate: kept");

    dispatch(t.ctx, reply(kCmdIdentify, 6));

    EXPECT_EQ(main.label4.caption, "Unknow Device??");
    EXPECT_EQ(main.label4.font, colours::kNavy);
    EXPECT_EQ(main.statusBar1[0], "Get Device Linked!!");
    EXPECT_EQ(s.pendingCommand, 0);
    EXPECT_FALSE(s.controllerFamily);
    EXPECT_EQ(main.label5.caption, "Locate: kept");
    EXPECT_EQ(t.ctx.info.location, "kept");
    EXPECT_TRUE(main.statusBar2[1].isEmpty());
    EXPECT_FALSE(s.deviceIdentified);
    EXPECT_FALSE(s.settingsKnown);
}

TEST_F(ReplyDispatcherTest, IdentifyFromAnotherAddressAppliesOnlyTheModel) {
    s.deviceIp = QStringLiteral("192.168.77.1");
    s.pendingCommand = kCmdIdentify;
    IdentifyFields other;
    other.model = 176;
    other.address = {192, 168, 77, 9};
    other.location = "Elsewhere";
    other.doBits = 0x03;
    other.rssi = 0xFFC4;

    dispatch(t.ctx, identifyReply(other));

    EXPECT_EQ(main.label4.caption, "rZL-K110 Tiny I/O Controller");
    EXPECT_EQ(main.statusBar1[0], "Get Device Linked!!");
    EXPECT_EQ(s.doMask, 0x07);
    EXPECT_EQ(s.diMask, 0x0F);
    EXPECT_TRUE(s.controllerFamily);
    EXPECT_TRUE(main.image1Enabled);  // the layout is the model's, wherever it came from

    EXPECT_TRUE(main.label5.caption.isEmpty());
    EXPECT_TRUE(main.statusBar2[1].isEmpty());
    EXPECT_EQ(main.label12.caption, "RSSI:");
    EXPECT_TRUE(t.ctx.info.location.isEmpty());
    EXPECT_EQ(s.doState, 0);
    EXPECT_FALSE(s.deviceIdentified);
    EXPECT_FALSE(s.settingsKnown);
}

TEST_F(ReplyDispatcherTest, FullIdentifyFillsWindowAndDeviceInfo) {
    s.deviceIp = QStringLiteral("192.168.77.5");
    s.pendingCommand = kCmdIdentify;
    IdentifyFields f;
    f.model = 176;
    f.address = {192, 168, 77, 5};
    f.mac = {0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
    f.fwMajor = 0x01;
    f.fwMinor = 0x0A;
    f.location = QByteArray(31, 'L');
    f.location[0] = '\xE9';
    f.apSsid = "rZL-AP";
    f.apKeyType = 2;
    f.staSsid = "Office";
    f.staKeyType = 1;
    f.wifiMode = 1;
    f.doBits = 0x3F;
    f.diBits = 0xF5;
    f.modbusPort = 1502;
    f.staticIp = 1;
    f.staIp = {10, 0, 0, 5};
    f.staNetmask = {255, 255, 255, 0};
    f.staGateway = {10, 0, 0, 1};
    f.rssi = 0xFFC4;
    f.idleTimeout = 300;
    QByteArray bytes = identifyReply(f);
    bytes[71] = 'Z';  // right after the 31-byte location field: not part of it

    dispatch(t.ctx, bytes);

    EXPECT_EQ(s.pendingCommand, 0);
    EXPECT_EQ(main.label4.caption, "rZL-K110 Tiny I/O Controller");
    EXPECT_EQ(main.label4.font, colours::kNavy);
    EXPECT_EQ(main.statusBar1[0], "Dev MAC: 00:A1:B2:C3:D4:E5");
    const QString location = QString(QChar(0xE9)) + QString(30, QLatin1Char('L'));
    EXPECT_EQ(main.label5.caption, QStringLiteral("Locate: ") + location);
    EXPECT_EQ(main.label5.font, colours::kLocation);
    EXPECT_EQ(main.statusBar2[1], "FW: V01.0A");
    EXPECT_EQ(main.label12.caption, "RSSI: -60dBm");

    const DeviceInfo& info = t.ctx.info;
    EXPECT_EQ(info.location, f.location);
    EXPECT_EQ(info.apSsid, "rZL-AP");
    EXPECT_TRUE(info.apSecured);
    EXPECT_EQ(info.staSsid, "Office");
    EXPECT_EQ(info.staKeyType, 1);
    EXPECT_TRUE(info.wifiModeAp);
    EXPECT_EQ(info.modbusPort, 1502u);
    EXPECT_TRUE(info.staticIpEnabled);
    EXPECT_EQ(info.staIp, (Ipv4Bytes{10, 0, 0, 5}));
    EXPECT_EQ(info.staNetmask, (Ipv4Bytes{255, 255, 255, 0}));
    EXPECT_EQ(info.staGateway, (Ipv4Bytes{10, 0, 0, 1}));
    EXPECT_EQ(info.modbusIdleTimeout, 300u);

    EXPECT_EQ(s.doState, 0x07);  // masked by the model
    EXPECT_EQ(s.diState, 0x05);
    EXPECT_EQ(main.doButtons[2].caption, "DO2 On");
    EXPECT_EQ(main.doButtons[3].caption, "DO3 Off");
    EXPECT_TRUE(s.deviceIdentified);
    EXPECT_TRUE(s.settingsKnown);
}

TEST_F(ReplyDispatcherTest, CounterReplies) {
    s.diCounters.fill(5);
    t.screen.counter.values.fill(QStringLiteral("5"));

    s.pendingCommand = kCmdCounterRead;
    dispatch(t.ctx, reply(0x60, 0));
    EXPECT_EQ(s.pendingCommand, kCmdCounterRead);
    EXPECT_EQ(t.screen.counter.values[0], "5");
    EXPECT_EQ(main.memo1.last(), "Get DI Counter fail!!");

    const std::uint32_t values[8] = {0xFFFFFFFFu, 1, 256, 65536, 16777216, 0x80000000u, 7, 123456789};
    QByteArray bytes = reply(0x60, 6);
    for (std::uint32_t v : values) bytes += replyBytes({int(v >> 24), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
    dispatch(t.ctx, bytes);
    EXPECT_EQ(s.pendingCommand, 0);
    EXPECT_EQ(main.memo1.last(), "Get DI Counter done!!");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(s.diCounters[i], values[i]) << i;
        EXPECT_EQ(t.screen.counter.values[i], QString::number(values[i])) << i;
    }
    EXPECT_EQ(t.screen.counter.values[0], "4294967295");

    // A reply cut short after two counters: the rest read as zero.
    s.pendingCommand = kCmdCounterRead;
    dispatch(t.ctx, bytes.left(14));
    EXPECT_EQ(t.screen.counter.values[1], "1");
    EXPECT_EQ(t.screen.counter.values[2], "0");
    EXPECT_EQ(s.diCounters[7], 0u);
}

TEST_F(ReplyDispatcherTest, ChecksumReplies) {
    const QString match = QStringLiteral("F/W update Complete! Reboot to take effect");
    const QString mismatch = QStringLiteral("Update F/W fail with Error! Please retry again.");
    struct Case {
        const char* name;
        std::uint64_t imageSum;
        QByteArray bytes;
        std::optional<QString> box;
        BoxIcon icon;
    };
    const QByteArray sum = replyBytes({0x12, 0x34, 0x56, 0x78});
    const Case cases[] = {
        {"equal", 0x12345678u, reply(37, 6) + sum, match, BoxIcon::None},
        {"different", 0x12345679u, reply(37, 6) + sum, mismatch, BoxIcon::Error},
        {"image sum beyond 32 bits", 0x112345678ull, reply(37, 6) + sum, mismatch, BoxIcon::Error},
        {"reply to another command", 0x12345678u, reply(36, 6) + sum, std::nullopt, BoxIcon::None},
        {"refused", 0x12345678u, reply(37, 0) + sum, std::nullopt, BoxIcon::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestProgram fresh;
        fresh.target(1);
        QList<QByteArray> sentHere;
        fresh.ctx.frameTap = [&](bool outgoing, const QByteArray& b) { if (outgoing) sentHere.append(b); };
        fresh.ctx.transfer.imageByteSum = c.imageSum;
        fresh.ctx.session.pendingCommand = kCmdChecksumQuery;

        dispatch(fresh.ctx, c.bytes);

        EXPECT_EQ(fresh.ctx.session.pendingCommand, 0);
        if (!c.box) {
            EXPECT_TRUE(fresh.dialogs.boxes.isEmpty());
            EXPECT_TRUE(fresh.screen.main.statusBar2[0].isEmpty());
            continue;
        }
        EXPECT_EQ(fresh.screen.main.statusBar2[0], *c.box);
        ASSERT_EQ(fresh.dialogs.boxes.size(), 1);
        EXPECT_EQ(fresh.dialogs.boxes[0].text, *c.box);
        EXPECT_EQ(fresh.dialogs.boxes[0].caption, *c.box);
        EXPECT_EQ(fresh.dialogs.boxes[0].icon, c.icon);
        // The reboot after a match is refused while the carrying exchange is still running.
        EXPECT_TRUE(sentHere.isEmpty());
    }
}

// A click during the checksum exchange queued its own request; the refused reboot after a match
// must not take its place as the pending request.
TEST_F(ReplyDispatcherTest, ChecksumMatchKeepsARequestMadeDuringTheWaitPending) {
    t.ctx.transfer.imageByteSum = 0x12345678u;
    QueueSetOutput(t.ctx, 2, 1);
    const QByteArray bytes = reply(kCmdChecksumQuery, 6) + replyBytes({0x12, 0x34, 0x56, 0x78});
    std::copy(bytes.begin(), bytes.end(), s.rxFrame.begin());
    s.exchangeBusy = true;
    s.exchangeCommand = kCmdChecksumQuery;
    DispatchReply(t.ctx, static_cast<int>(bytes.size()));
    s.exchangeBusy = false;

    EXPECT_EQ(main.statusBar2[0], "F/W update Complete! Reboot to take effect");
    EXPECT_EQ(s.pendingCommand, kCmdSetOutput);
    EXPECT_EQ(s.queuedCommand, kCmdSetOutput);
}

}  // namespace
}  // namespace rzl::test
