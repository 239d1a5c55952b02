// The link supervisor driven event by event against the simulated module on loopback.
#include <gtest/gtest.h>

#include "link/device_link_check.h"
#include "link/link_supervisor.h"
#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/test_program.h"

using namespace rzl;

namespace {

const QByteArray kIdentify = QByteArray::fromHex("5A3577A5210000");
const QByteArray kPoll = QByteArray::fromHex("5A3577A5D8");

struct Supervised : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(module.start());
        t.target(module.port());
    }

    // Runs n events; the frames the module received meanwhile.
    QList<QByteArray> events(int n) {
        module.clearReceived();
        for (int i = 0; i < n; ++i) LinkSupervisorTick(t.ctx);
        return module.receivedFrames();
    }

    // The first activation's identify, answered.
    void identified() {
        FirstActivation(t.program);
        ASSERT_EQ(events(1), QList<QByteArray>{kIdentify});
        ASSERT_TRUE(t.ctx.session.deviceIdentified);
    }

    sim::SimulatorThread module;
    test::TestProgram t;
};

TEST_F(Supervised, FirstEventSendsTheQueuedIdentifyThenEvery31stPolls) {
    identified();
    EXPECT_EQ(t.screen.main.label4.caption, QStringLiteral("rZL-K110 Tiny I/O Controller"));
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        EXPECT_TRUE(events(30).isEmpty());
        EXPECT_EQ(events(1), QList<QByteArray>{kPoll});
        EXPECT_EQ(t.ctx.session.pendingCommand, 0);  // answered
    }
}

TEST_F(Supervised, CycleIdentifiesAgainWhileNotIdentified) {
    EXPECT_TRUE(events(30).isEmpty());
    EXPECT_EQ(events(1), QList<QByteArray>{kIdentify});
    EXPECT_TRUE(t.screen.main.memo1.contains(QStringLiteral("Re-Get Device..")));
    EXPECT_TRUE(t.ctx.session.deviceIdentified);
    EXPECT_TRUE(events(30).isEmpty());
    EXPECT_EQ(events(1), QList<QByteArray>{kPoll});
}

TEST_F(Supervised, OutputClickLeavesWithinTwoEventsAndDelaysTheNextPoll) {
    identified();
    const QByteArray kSwitchDo0On = QByteArray::fromHex("5A3577A5D00101");
    // Clicked right after a send, and clicked just before a cycle.
    for (const int idleEvents : {3, 30}) {
        SCOPED_TRACE(idleEvents);
        ASSERT_TRUE(events(idleEvents).isEmpty());
        t.ctx.session.doState = 0;
        t.program.form1.DoButtonClick(0);
        const int needed = idleEvents == 30 ? 2 : 1;
        EXPECT_TRUE(events(needed - 1).isEmpty());
        EXPECT_EQ(events(1), QList<QByteArray>{kSwitchDo0On});
        // The send starts the count again: the next poll is 31 events after it.
        EXPECT_TRUE(events(30).isEmpty());
        EXPECT_EQ(events(1), QList<QByteArray>{kPoll});
    }
}

TEST_F(Supervised, UnansweredRequestIsGivenUpOnOneCycleAndPolledAgainOnTheNext) {
    identified();
    module.setFault(sim::FaultMode::Silent);
    EXPECT_EQ(events(31), QList<QByteArray>{kPoll});
    EXPECT_EQ(t.ctx.session.pendingCommand, 216);
    EXPECT_TRUE(t.screen.main.memo1.contains(QStringLiteral("Wait RX Timeout!")));

    EXPECT_TRUE(events(31).isEmpty());
    EXPECT_EQ(t.ctx.session.pendingCommand, 0);

    module.setFault(sim::FaultMode::None);
    EXPECT_EQ(events(31), QList<QByteArray>{kPoll});
}

TEST_F(Supervised, NoPollWhileTheSetupWindowIsOpenButTheLinkIsStillChecked) {
    identified();
    int checks = 0;
    t.ctx.linkCheck = [&checks] {
        ++checks;
        return true;
    };
    ASSERT_TRUE(t.screen.main.image1Enabled);
    t.program.form1.Image1Click();  // opens the setup window; it stays open
    EXPECT_TRUE(events(62).isEmpty());
    EXPECT_EQ(checks, 2);

    t.ctx.session.pollingEnabled = true;  // closed again
    EXPECT_EQ(events(31), QList<QByteArray>{kPoll});
}

TEST_F(Supervised, QueuedCommandGoesOutWhileTheLinkIsDown) {
    t.ctx.linkCheck = [] { return false; };
    QueueSetOutput(t.ctx, 2, 1);
    EXPECT_EQ(events(1), QList<QByteArray>{QByteArray::fromHex("5A3577A5D00201")});
    // Cycles of a failed check send nothing.
    EXPECT_TRUE(events(62).isEmpty());
}

}  // namespace
