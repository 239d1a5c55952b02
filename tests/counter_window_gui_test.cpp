// The counter window's widgets: the counts it shows, and its Clear buttons against the
// simulated module (the row's index goes out; greyed rows send nothing).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QPushButton>

#include "sim/simulator.h"
#include "tests/support/gui_events.h"
#include "tests/support/window_fixture.h"
#include "ui/counter/widgets/counter_window.h"

using namespace rzl;

namespace {

using CounterWindowTest = test::WindowFixture<CounterWindow>;

TEST_F(CounterWindowTest, RowsShowTheCountsAndGreyWithoutAllEightInputs) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Digital Input Counter "));
    EXPECT_EQ(window.maximumSize(), QSize(362, 226));
    EXPECT_EQ(find("Label9")->pos(), QPoint(12, 125));
    EXPECT_EQ(find("Label16")->pos(), QPoint(128, 197));
    EXPECT_EQ(find("SpeedButton5")->geometry(), QRect(260, 125, 49, 18));
    EXPECT_EQ(find("Image2")->geometry(), QRect(330, 21, 24, 24));
    EXPECT_EQ(find("Image2")->toolTip(), QStringLiteral("Counter Refresh"));

    t.screen.counter.values[0] = QStringLiteral("1287");
    t.screen.counter.values[7] = QStringLiteral("4294967295");
    t.ctx.session.diMask = 0x0F;
    t.program.form3.FormActivate();
    test::Settle();
    EXPECT_EQ(find<QLabel>("Label2")->text(), QStringLiteral("1287"));
    EXPECT_EQ(find<QLabel>("Label16")->text(), QStringLiteral("4294967295"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(find("Label2"))->text(QAccessible::Name), QStringLiteral("1287"));
    for (const char* name : {"Label9", "Label16", "SpeedButton5", "SpeedButton8"}) EXPECT_FALSE(find(name)->isEnabled()) << name;
    for (const char* name : {"Label7", "Label8", "SpeedButton4"}) EXPECT_TRUE(find(name)->isEnabled()) << name;

    t.ctx.session.diMask = 0xFF;
    t.program.form3.FormActivate();
    test::Settle();
    EXPECT_TRUE(find("SpeedButton8")->isEnabled());
}

TEST_F(CounterWindowTest, ClearSendsItsRowIndexAndRereadsTheCounts) {
    sim::SimulatorThread module;
    if (!module.start()) GTEST_SKIP() << "the simulated module cannot listen";
    t.target(module.port());

    t.ctx.session.diMask = 0x0F;
    t.program.form3.FormActivate();
    test::Settle();
    test::Click(find("SpeedButton6"));  // DI5, greyed
    EXPECT_TRUE(module.receivedFrames().isEmpty());

    t.ctx.session.diMask = 0xFF;
    t.program.form3.FormActivate();
    test::Settle();
    for (const int row : {5, 0}) {
        SCOPED_TRACE(row);
        module.clearReceived();
        test::Click(find<QPushButton>(qPrintable(QStringLiteral("SpeedButton%1").arg(row + 1))));
        EXPECT_EQ(module.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A561") + char(row)});
        EXPECT_EQ(t.ctx.session.queuedCommand, 96);
    }
}

}  // namespace
