// The firmware image stream reset by the module halfway. A reset is only noticed while the
// sender still has bytes to write; on an ordinary loopback the kernel takes a whole 2 MiB image
// into its buffers at once, so tests/scripts/firmware_stream_reset_netns_test.sh runs this in a
// network namespace of its own with small socket buffers (RZL_NETNS_E2E=1). Skipped elsewhere.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "filestore/firmware_update.h"
#include "sim/simulator.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "ui/setup/maintenance.h"

namespace rzl::test {
namespace {

TEST(FirmwareStreamReset, EndsTheUpdateWithTheReasonAndFreesTheExchanges) {
    if (qEnvironmentVariable("RZL_NETNS_E2E") != QLatin1String("1"))
        GTEST_SKIP() << "needs the namespace of firmware_stream_reset_netns_test.sh";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("mcuimg.bin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2097152, '\x5A'));
    }
    LoopbackPeer module(PeerMode::ResetAfter);
    module.resetAfterBytes = 1024 * 1024;
    ASSERT_TRUE(module.start());
    TestProgram t;
    t.target(module.port());
    t.ctx.session.controllerFamily = true;

    EXPECT_EQ(UpdateFirmwareFrom(t.program, path), FirmwareOutcome::StreamFailed);

    ASSERT_EQ(t.dialogs.boxes.size(), 1);
    const QString lead = QStringLiteral("F/W image stream fail,\n    . ");
    EXPECT_EQ(t.dialogs.boxes[0].caption, "Error found!");
    EXPECT_TRUE(t.dialogs.boxes[0].text.startsWith(lead)) << t.dialogs.boxes[0].text.toStdString();
    EXPECT_GT(t.dialogs.boxes[0].text.size(), lead.size()) << "with the reason";
    EXPECT_GE(t.screen.setup.gauge.position, 1024 * 1024);
    EXPECT_LT(t.screen.setup.gauge.position, 2097152);
    EXPECT_EQ(t.clock.pauses, QList<int>{2500}) << "no pause for a query that is not sent";
    EXPECT_EQ(module.connections(), 2) << "header and image, no query";

    // The exchanges are free again: closing the setup window gets the module identified.
    sim::SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    EXPECT_FALSE(t.ctx.session.exchangeBusy);
    t.target(sim.port());
    t.ctx.session.settingsKnown = true;
    t.program.form2.FormClose();
    t.program.form1.Timer3Timer();
    EXPECT_EQ(sim.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A5210000")});
}

}  // namespace
}  // namespace rzl::test
