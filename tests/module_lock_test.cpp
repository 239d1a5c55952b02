// One writer per module on this PC, as the desktop program keeps it: a setup action that finds
// the module's lock held waits for it on the clock (the windows go on), says for whom on the
// status line, goes on once it is free, and after the whole wait shows its box with nothing sent.

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/module_lock.h"
#include "platform/file_lock.h"
#include "sim/simulator.h"
#include "tests/support/test_program.h"
#include "ui/operation_texts.h"
#include "ui/setup/maintenance.h"
#include "ui/setup/settings_writes.h"

namespace rzl::test {
namespace {

class ModuleLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        previousRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        ASSERT_TRUE(sim.start());
        t.target(sim.port());
        QString problem;
        held = std::make_unique<platform::FileLock>(
            ModuleLockPath(QStringLiteral("127.0.0.1"), sim.port(), &problem).toStdString());
        std::string error;
        ASSERT_EQ(held->tryTake(error), platform::FileLock::Attempt::Taken) << problem.toStdString() << error;
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", previousRuntime_); }

    const QString waiting = QStringLiteral("Waiting for PID %1 writing to 127.0.0.1").arg(platform::CurrentProcessId());
    QTemporaryDir runtime;
    sim::SimulatorThread sim;
    TestProgram t;
    std::unique_ptr<platform::FileLock> held;  // another program's hold, as the module's lock sees it

private:
    QByteArray previousRuntime_;
};

TEST_F(ModuleLockTest, AWaitOnTheClockSaysForWhomAndEndsWhenTheLockIsFree) {
    ModuleLock lock;
    EXPECT_EQ(lock.take(t.ctx, 1000), ModuleLock::Result::Busy);
    EXPECT_EQ(lock.holder(), platform::CurrentProcessId());
    EXPECT_EQ(t.clock.pauses, QList<int>(10, 100)) << "a bounded wait, in steps that let the windows run";
    EXPECT_EQ(t.screen.main.statusBar2[0], waiting);

    t.clock.pauses.clear();
    t.clock.onPause = [&](int) {
        if (t.clock.pauses.size() == 3) held->release();
    };
    EXPECT_EQ(lock.take(t.ctx, 1000), ModuleLock::Result::Taken);
    EXPECT_EQ(t.clock.pauses.size(), 3);

    ModuleLock second;
    int asked = 0;
    EXPECT_EQ(second.take(t.ctx, 1000, [&] { return ++asked > 2; }), ModuleLock::Result::Stopped);
    lock.release();
    EXPECT_EQ(second.take(t.ctx, 0), ModuleLock::Result::Taken);
}

// Each kind of setup action: the module's lock held by another program all the while is its
// error box, nothing sent; the window's own status texts stay as they are.
TEST_F(ModuleLockTest, TheSetupWindowsActionsWaitThenShowTheirBox) {
    const QString box = QStringLiteral("Another program (PID %1) on this PC is writing to 127.0.0.1,\n    . nothing was sent; "
                                       "try again when it has finished.")
                            .arg(platform::CurrentProcessId());
    t.screen.setup.edit5 = QStringLiteral("Roof");
    const WriteResult write = LocationWrite(t.program);
    EXPECT_EQ(write.outcome, WriteOutcome::Busy);
    EXPECT_EQ(write.message, box);
    EXPECT_EQ(RebootDevice(t.program), MaintenanceOutcome::Busy);
    EXPECT_EQ(UpdateFirmwareFrom(t.program, runtime.filePath("image.bin"), {}), FirmwareOutcome::Busy);
    EXPECT_EQ(t.clock.pauses.size(), 3 * kModuleLockWaitMs / 100);
    ASSERT_EQ(t.dialogs.boxes.size(), 5);  // a confirmation and the box, twice; the update's box
    EXPECT_EQ(t.dialogs.boxes[1].text, box);
    EXPECT_EQ(t.dialogs.boxes[1].caption, kErrorCaption);
    EXPECT_EQ(t.dialogs.boxes[3].text, box);
    EXPECT_EQ(t.dialogs.boxes[4].text, box);
    EXPECT_EQ(sim.connectionCount(), 0);

    held->release();
    t.dialogs.boxes.clear();
    EXPECT_EQ(LocationWrite(t.program).outcome, WriteOutcome::Done);
}

}  // namespace
}  // namespace rzl::test
