// The setup window's maintenance actions against the simulated module: confirmation, link
// check, the one frame each sends, and the box that reports it.

#include <gtest/gtest.h>

#include <functional>

#include "sim/simulator.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "tests/support/wait.h"
#include "ui/setup/maintenance.h"

namespace rzl::test {
namespace {

using sim::SimulatorThread;

const QString kConfirmWifiAp =
    QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: AP Mode.\n    . Device will Reboot immediately!");
const QString kConfirmWifiStation =
    QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: Station Mode.\n    . Device will Reboot immediately!");
const QString kConfirmReset = QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!");

struct ActionCase {
    const char* name;
    bool apSelected;
    std::function<MaintenanceOutcome(Program&)> run;
    QString confirmation;
    QString frame;        // hex, as the module receives it
    QString information;
    QString errorName;    // how the error box names the action
};

const QList<ActionCase>& actions() {
    static const QList<ActionCase> cases = {
        {"Wi-Fi mode AP", true, SwitchWifiMode, kConfirmWifiAp, "5A3577A53002",
         "Wi-Fi Mode write complete,\n    . Reboot complete.", "Wi-Fi Mode write"},
        {"Wi-Fi mode Station", false, SwitchWifiMode, kConfirmWifiStation, "5A3577A53000",
         "Wi-Fi Mode write complete,\n    . Reboot complete.", "Wi-Fi Mode write"},
        {"reset to default", false, ResetToDefault, kConfirmReset, "5A3577A55E01",
         "Reset default complete,\n    . Reboot complete.", "Reset default"},
        {"reboot", false, RebootDevice, "Reboot device, execute?", "5A3577A52D", "Reboot complete.",
         "Reboot device"},
    };
    return cases;
}

// The frames the module has taken, once `count` have arrived (send-only frames may still be
// on their way when the sender returns).
QStringList hexFrames(const SimulatorThread& sim, int count = 1) {
    WaitFor([&] { return sim.receivedFrames().size() >= count; }, 3000);
    QStringList frames;
    for (const QByteArray& f : sim.receivedFrames()) frames.append(QString::fromLatin1(f.toHex().toUpper()));
    return frames;
}

TEST(Maintenance, YesSendsTheOneFrameAndReportsIt) {
    for (const ActionCase& a : actions()) {
        SCOPED_TRACE(a.name);
        SimulatorThread sim;
        ASSERT_TRUE(sim.start());
        TestProgram t;
        t.target(sim.port());
        t.screen.setup.radioButton6 = a.apSelected;
        t.screen.setup.radioButton7 = !a.apSelected;

        EXPECT_EQ(a.run(t.program), MaintenanceOutcome::Done);

        EXPECT_EQ(hexFrames(sim), QStringList{a.frame});
        ASSERT_EQ(t.dialogs.boxes.size(), 2);
        EXPECT_EQ(t.dialogs.boxes[0].text, a.confirmation);
        EXPECT_EQ(t.dialogs.boxes[0].caption, "Confirm");
        EXPECT_TRUE(t.dialogs.boxes[0].confirmation);
        EXPECT_EQ(t.dialogs.boxes[1].text, a.information);
        EXPECT_EQ(t.dialogs.boxes[1].caption, "Information");
        EXPECT_EQ(t.dialogs.boxes[1].icon, BoxIcon::Information);
        EXPECT_FALSE(t.ctx.session.exchangeBusy);
    }
}

TEST(Maintenance, RepliesAreReadOnlyByTheExchange) {
    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    TestProgram t;
    t.target(sim.port());
    ResetToDefault(t.program);
    EXPECT_EQ(t.screen.main.statusBar2[0], "Flash Config been kill!");
    EXPECT_EQ(t.ctx.session.pendingCommand, 0);

    // The module answers the reboot too, but nothing reads it: 45 stays pending.
    RebootDevice(t.program);
    EXPECT_EQ(t.ctx.session.pendingCommand, 45);
    EXPECT_EQ(t.ctx.session.rxFrame[4], 0x5E) << "the reset's reply is the last one read";
}

// No, a failed link check and a failed connect: nothing reaches the module, and the
// information box appears only when the command went out.
TEST(Maintenance, NothingSentMeansNoInformationBox) {
    enum class Situation { No, NotLinked, NoConnection };
    const struct {
        const char* name;
        Situation situation;
        MaintenanceOutcome outcome;
    } situations[] = {
        {"No", Situation::No, MaintenanceOutcome::Cancelled},
        {"link check fails", Situation::NotLinked, MaintenanceOutcome::NotLinked},
        {"no connection", Situation::NoConnection, MaintenanceOutcome::Failed},
    };
    for (const auto& sit : situations) {
        for (const ActionCase& a : actions()) {
            SCOPED_TRACE(std::string(a.name) + ", " + sit.name);
            SimulatorThread sim;
            ASSERT_TRUE(sim.start());
            TestProgram t;
            t.target(sit.situation == Situation::NoConnection ? closedLoopbackPort() : sim.port());
            t.screen.setup.radioButton6 = a.apSelected;
            if (sit.situation == Situation::No) t.dialogs.answers.push_back(false);
            int linkChecks = 0;
            if (sit.situation == Situation::NotLinked) t.ctx.linkCheck = [&] { ++linkChecks; return false; };

            EXPECT_EQ(a.run(t.program), sit.outcome);

            EXPECT_TRUE(sim.receivedFrames().isEmpty());
            ASSERT_GE(t.dialogs.boxes.size(), 1);
            EXPECT_TRUE(t.dialogs.boxes[0].confirmation);
            for (const ShownBox& box : t.dialogs.boxes) EXPECT_NE(box.caption, "Information");
            if (sit.situation == Situation::NotLinked) {
                EXPECT_EQ(linkChecks, 1);
            }
            if (sit.situation == Situation::NoConnection) {
                ASSERT_EQ(t.dialogs.boxes.size(), 2);
                EXPECT_EQ(t.dialogs.boxes[1].caption, "Error found!");
                EXPECT_EQ(t.dialogs.boxes[1].icon, BoxIcon::Error);
                EXPECT_EQ(t.dialogs.boxes[1].text, a.errorName + QStringLiteral(" fail,\n    . Connect Timeout."));
                EXPECT_EQ(t.screen.main.statusBar2[0], "Connect Timeout");
            } else {
                EXPECT_EQ(t.dialogs.boxes.size(), 1);
            }
            EXPECT_FALSE(t.ctx.session.exchangeBusy);
        }
    }
}

// A module that reads the command and then closes or resets the connection without a reply
// (one that restarts at once does) got the command: the information box, as for no reply.
TEST(Maintenance, ACommandTakenWithoutAReplyIsSent) {
    for (const PeerMode mode : {PeerMode::ReadThenClose, PeerMode::ReadThenReset}) {
        LoopbackPeer module(mode);
        ASSERT_TRUE(module.start());
        TestProgram t;
        t.target(module.port());

        EXPECT_EQ(ResetToDefault(t.program), MaintenanceOutcome::Done);

        ASSERT_EQ(t.dialogs.boxes.size(), 2);
        EXPECT_EQ(t.dialogs.boxes[1].caption, "Information");
        EXPECT_EQ(module.received().value(0).size(), 6) << "the whole command arrived";
        EXPECT_FALSE(t.ctx.session.exchangeBusy);
    }
}

// The window's buttons start the actions; a second click while one runs, on a maintenance
// or a settings image, does nothing.
TEST(Maintenance, SetupButtonsRunOneOperationAtATime) {
    LoopbackPeer module(PeerMode::Delayed, QByteArray::fromHex("5A3577A53006"));  // replies after a wait
    ASSERT_TRUE(module.start());
    TestProgram t;
    t.target(module.port());
    t.screen.setup.radioButton6 = true;
    int nested = 0;
    t.clock.onPump = [&] {
        if (nested++ > 0) return;
        t.program.form2.Image8Click();  // clicked while the Wi-Fi mode exchange waits
        t.program.form2.Image7Click();
        t.program.form2.Image1Click();
        t.program.form2.Image6Click();  // a settings write waits its turn as well
    };

    t.program.form2.Image4Click();
    t.clock.onPump = nullptr;

    EXPECT_GT(nested, 0);
    ASSERT_EQ(t.dialogs.boxes.size(), 2);
    EXPECT_EQ(t.dialogs.boxes[0].text, kConfirmWifiAp);
    EXPECT_EQ(t.dialogs.boxes[1].caption, "Information");

    // Once it has finished, the next click runs.
    t.program.form2.Image8Click();
    t.program.form2.Image7Click();
    ASSERT_TRUE(module.waitForClosed(3));
    EXPECT_EQ(module.received(), (QList<QByteArray>{QByteArray::fromHex("5A3577A53002"), QByteArray::fromHex("5A3577A52D"),
                                                    QByteArray::fromHex("5A3577A55E01")}));
}

}  // namespace
}  // namespace rzl::test
