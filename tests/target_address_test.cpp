// The address change through the Static IP button: what it accepts, what it refuses, and
// that the identify request then goes to the new address.
#include <gtest/gtest.h>

#include "link/link_supervisor.h"
#include "sim/simulator.h"
#include "tests/support/fake_host_network.h"
#include "tests/support/test_program.h"

using namespace rzl;

namespace {

// Starts on loopback with a module showing, on a PC whose Wi-Fi is on 192.168.1.x.
struct World {
    World() {
        t.ctx.session.deviceIp = QStringLiteral("127.0.0.1");
        t.ctx.host.subnetPrefix = QStringLiteral("127.0.0.");
        t.ctx.host.subnetPrefix8 = "127.0.0.";
        auto net = std::make_unique<test::FakeHostNetwork>(QList<test::FakeAdapter>{{"wlan0", "192.168.1.7", 1}});
        network = net.get();
        t.ctx.hostNetwork = std::move(net);
        // The module identified there.
        MainView& main = t.screen.main;
        main.label4.caption = QStringLiteral("rZL-K110 Tiny I/O Controller");
        for (ButtonView& b : main.doButtons) b.enabled = true;
        main.statusBar1 = {QStringLiteral("Dev MAC: 02:00:00:00:00:07"), QStringLiteral("IP: 127.0.0.1")};
        main.statusBar2[1] = QStringLiteral("FW: 1.30");
        t.ctx.session.deviceIdentified = true;
    }
    test::TestProgram t;
    test::FakeHostNetwork* network = nullptr;
};

TEST(TargetAddress, StaticIpButtonTakesFourDecimalGroupsOnly) {
    struct Case {
        QString typed;
        bool accepted;
        QString prefix;  // when accepted
    };
    const QList<Case> cases = {
        {QStringLiteral("192.168.1.50"), true, QStringLiteral("192.168.1.")},
        {QStringLiteral("10.0.0.300"), true, QStringLiteral("10.0.0.")},
        {QStringLiteral("127.0.0.1"), true, QStringLiteral("127.0.0.")},  // the same address again
        {QStringLiteral("192.168.1"), false},
        {QStringLiteral("192.168.1."), false},
        {QStringLiteral("1.2.3.4.5"), false},
        {QStringLiteral("1.2.+3.4"), false},
        {QStringLiteral(" 1.2.3.4"), false},
        {QStringLiteral("0x1.2.3.4"), false},
        {QStringLiteral("1.2.3.-4"), false},
        {QString::fromUtf8("1.2.3.\xEF\xBC\x94"), false},  // a full-width digit
        {QStringLiteral("1.2.3.99999999999"), false},
        {QString(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        World w;
        MainView& main = w.t.screen.main;
        main.edit2 = c.typed;
        w.t.program.form1.SpeedButton5Click();

        const DeviceSession& s = w.t.ctx.session;
        EXPECT_EQ(main.edit2, c.typed);
        EXPECT_EQ(w.t.ctx.host.typedIp, c.typed);
        if (c.accepted) {
            EXPECT_TRUE(w.t.dialogs.boxes.isEmpty());
            EXPECT_EQ(s.deviceIp, c.typed);
            EXPECT_EQ(w.t.ctx.host.subnetPrefix, c.prefix);
            EXPECT_EQ(w.t.ctx.host.subnetPrefix8, c.prefix.toLatin1());
            EXPECT_EQ(main.statusBar2[0], QStringLiteral("Change IP => ") + c.typed);
            EXPECT_EQ(w.network->adapterReads, 1);
            // The IP cell names the new target at once, whatever the check on its subnet finds.
            EXPECT_EQ(main.statusBar1[1], QStringLiteral("IP: ") + c.typed);
            // The old module is forgotten and the identify request waits for the next event.
            EXPECT_FALSE(s.deviceIdentified);
            EXPECT_TRUE(main.statusBar1[0].isEmpty());
            EXPECT_TRUE(main.statusBar2[1].isEmpty());
            EXPECT_TRUE(main.label4.caption.isEmpty());
            EXPECT_FALSE(main.doButtons[0].enabled);
            EXPECT_EQ(s.queuedCommand, 33);
        } else {
            ASSERT_EQ(w.t.dialogs.boxes.size(), 1);
            EXPECT_EQ(w.t.dialogs.boxes[0].icon, BoxIcon::Error);
            EXPECT_TRUE(w.t.dialogs.boxes[0].text.contains(QLatin1Char('\'') + c.typed + QLatin1Char('\'')))
                << w.t.dialogs.boxes[0].text.toStdString();
            EXPECT_EQ(s.deviceIp, QStringLiteral("127.0.0.1"));
            EXPECT_EQ(w.t.ctx.host.subnetPrefix, QStringLiteral("127.0.0."));
            EXPECT_EQ(w.t.ctx.host.subnetPrefix8, "127.0.0.");
            EXPECT_TRUE(main.statusBar2[0].isEmpty());
            EXPECT_EQ(w.network->adapterReads, 0);
            // The rest of the button's work does not run; the module stays as shown.
            EXPECT_TRUE(s.deviceIdentified);
            EXPECT_EQ(main.statusBar1[0], QStringLiteral("Dev MAC: 02:00:00:00:00:07"));
            EXPECT_EQ(main.statusBar1[1], QStringLiteral("IP: 127.0.0.1"));
            EXPECT_EQ(main.statusBar2[1], QStringLiteral("FW: 1.30"));
            EXPECT_EQ(main.label4.caption, QStringLiteral("rZL-K110 Tiny I/O Controller"));
            EXPECT_EQ(s.queuedCommand, 0);
        }
    }
}

TEST(TargetAddress, IdentifyGoesToTheNewAddressOnTheNextEvent) {
    sim::SimOptions options;
    options.listenAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    sim::SimulatorThread module(options);
    if (!module.start()) GTEST_SKIP() << "cannot listen on 127.0.0.2";

    World w;  // at 127.0.0.1, where nothing listens on the module's port
    w.t.ctx.session.tcpPort = module.port();
    w.t.screen.main.edit2 = QStringLiteral("127.0.0.2");
    w.t.program.form1.SpeedButton5Click();
    LinkSupervisorTick(w.t.ctx);

    EXPECT_EQ(module.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A5210000")});
    EXPECT_TRUE(w.t.ctx.session.deviceIdentified);
}

// The queued identify can be lost (refused by a busy exchange, or the module not up yet):
// the supervision cycle must then identify the module at the new address, not poll it as
// if it were the one identified before.
TEST(TargetAddress, NextCycleIdentifiesTheModuleAtTheNewAddress) {
    sim::SimOptions options;
    options.listenAddress = QHostAddress(QStringLiteral("127.0.0.2"));
    sim::SimulatorThread module(options);
    if (!module.start()) GTEST_SKIP() << "cannot listen on 127.0.0.2";

    World w;
    // The PC's Wi-Fi on the new subnet, so the cycle's check answers linked.
    w.network->adapters = {{"wlan0", "127.0.0.9", 1}};
    DeviceSession& s = w.t.ctx.session;
    s.tcpPort = module.port();
    s.pollingEnabled = true;
    w.t.screen.main.edit2 = QStringLiteral("127.0.0.2");
    w.t.program.form1.SpeedButton5Click();
    s.queuedCommand = 0;  // lost

    s.superviseTicks = 30;
    LinkSupervisorTick(w.t.ctx);

    EXPECT_EQ(module.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A5210000")});
    EXPECT_TRUE(s.deviceIdentified);
    EXPECT_TRUE(w.t.screen.main.statusBar1[0].startsWith(QStringLiteral("Dev MAC: "))) << w.t.screen.main.statusBar1[0].toStdString();
    EXPECT_NE(w.t.screen.main.statusBar1[0].toStdString(), "Dev MAC: 02:00:00:00:00:07");
    EXPECT_EQ(w.t.screen.main.statusBar1[1], QStringLiteral("IP: 127.0.0.2"));
}

}  // namespace
