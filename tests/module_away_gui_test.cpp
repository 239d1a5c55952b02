// The main window when the module stops answering, answers late or refuses: what it shows must
// be what the module has, or plainly marked as the last thing read. Driven event by event
// (each event is what the 100 ms timers would do) against the simulated module on loopback.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "protocol/request_builders.h"
#include "tests/support/fault_target.h"
#include "tests/support/gui_events.h"
#include "tests/support/window_fixture.h"
#include "ui/counter/widgets/counter_window.h"
#include "ui/main/widgets/main_window.h"
#include "ui/main/widgets/protocol_window.h"
#include "ui/widgets/shape.h"
#include "ui/widgets/status_bar.h"

namespace rzl::test {
namespace {

using sim::FaultMode;

constexpr int kEventsPerCycle = 31;
const QDateTime kLastRead = QDateTime(QDate(2026, 3, 1), QTime(14, 3, 7), Qt::UTC);

struct ModuleAway : WindowFixture<MainWindow> {
    void SetUp() override {
        sim::SimOptions options;
        options.slowDelayMs = 1300;  // past the exchange's 1 s wait for a reply
        ASSERT_TRUE(target.module(0x02, options));  // DI1 active
        t.target(target.port(), target.host());
        t.ctx.traffic.now = [this] { return now; };
        t.screen.main.edit2 = target.host();
    }

    QString status() { return find<PanelStatusBar>("StatusBar2")->panelText(0); }
    QString note() { return find<QLabel>("StaleNote")->text(); }
    QString panelDescription(const char* group) {
        return QAccessible::queryAccessibleInterface(find(group))->text(QAccessible::Description);
    }
    // scripts/screenshots.sh takes the README's pictures from here.
    void picture(const char* file) {
        const QString dir = qEnvironmentVariable("RZL_AWAY_PICTURE_DIR");
        if (!dir.isEmpty()) {
            EXPECT_TRUE(window.grab().save(dir + QLatin1Char('/') + QLatin1String(file)));
        }
    }
    bool drawnStale() { return find<Shape>("Shape7")->stale() && find<Shape>("Shape1")->stale(); }

    // n events of both timers, as 100 ms of the running program each.
    void events(int n) {
        for (int i = 0; i < n; ++i) {
            t.program.form1.Timer1Timer();
            t.program.form1.Timer3Timer();
        }
        Settle();
    }
    void identified() {
        QueueIdentify(t.ctx);
        events(1);
        ASSERT_TRUE(t.ctx.session.deviceIdentified);
    }

    QDateTime now = kLastRead;
    FaultTarget target{FaultNetwork::Loopback};
};

TEST_F(ModuleAway, StoppedModuleMarksThePanelWithinTwoCyclesAndItsReturnTakesTheMarkAway) {
    identified();
    const QString since = QStringLiteral("No answer since ") + kLastRead.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    ASSERT_TRUE(target.nothingListening());
    now = kLastRead.addSecs(10);

    events(kEventsPerCycle);
    EXPECT_EQ(status(), QStringLiteral("Connect Timeout"));
    EXPECT_FALSE(drawnStale()) << "one failed cycle is not yet a module gone";
    // The short text keeps its words; the cause is at hand for the mouse, the screen reader and
    // the protocol view.
    QWidget* panel = find<PanelStatusBar>("StatusBar2")->panel(0);
    EXPECT_TRUE(panel->toolTip().contains(QStringLiteral("Connection refused"))) << panel->toolTip().toStdString();
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Description).contains(QStringLiteral("refused")));
    EXPECT_TRUE(window.showProtocol()->findChild<QPlainTextEdit*>(QStringLiteral("Lines"))->toPlainText().contains(
        QStringLiteral("Connect Timeout: Connection refused (127.0.0.1:%1)").arg(target.port())));

    events(kEventsPerCycle);
    EXPECT_EQ(status(), QStringLiteral("Connect Timeout"));
    EXPECT_EQ(note(), since);
    EXPECT_TRUE(drawnStale());
    EXPECT_EQ(find<Shape>("Shape7")->fill(), QColor(39, 255, 37)) << "DI1 keeps the colour last read, hatched";
    EXPECT_TRUE(panelDescription("GroupBox1").startsWith(since));
    EXPECT_TRUE(panelDescription("GroupBox2").startsWith(since));
    picture("main-stale.png");

    // A click now is told at once, and nothing waits to switch the output when it is back.
    Click(find("SpeedButton4"));
    Settle();
    EXPECT_EQ(status(), QStringLiteral("DO0 not switched: no answer since ") +
                            kLastRead.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    EXPECT_EQ(t.ctx.session.queuedCommand, 0);

    ASSERT_TRUE(target.module(0x04));
    events(kEventsPerCycle);
    EXPECT_TRUE(note().isEmpty());
    EXPECT_FALSE(drawnStale());
    EXPECT_FALSE(panelDescription("GroupBox1").contains(QStringLiteral("No answer")));
    EXPECT_EQ(find<Shape>("Shape8")->fill(), QColor(39, 255, 37)) << "DI2 as the module has it now";
    EXPECT_EQ(target.sim()->state().doBits, 0) << "the click while away never reached the module";
}

TEST_F(ModuleAway, SilentModuleIsMarkedToo) {
    identified();
    target.sim()->setFault(FaultMode::Silent);
    events(2 * kEventsPerCycle);  // a poll left unanswered, then the cycle that gives it up
    EXPECT_TRUE(drawnStale());
    EXPECT_FALSE(note().isEmpty());
}

// The module took the switch, but its reply came after the wait: the screen must not keep the
// old state as if it were the module's. The panel is in doubt at once, and the next cycle asks.
TEST_F(ModuleAway, SwitchAnsweredTooLateIsCorrectedByTheNextCycle) {
    identified();
    auto* do0 = find<QPushButton>("SpeedButton4");
    ASSERT_EQ(do0->text(), QStringLiteral("DO0 Off"));
    target.sim()->setFault(FaultMode::Slow);
    Click(do0);
    events(1);
    EXPECT_EQ(target.sim()->state().doBits, 0x01) << "the module switched";
    EXPECT_TRUE(drawnStale()) << "the panel no longer claims to know";

    target.sim()->setFault(FaultMode::None);
    events(kEventsPerCycle);
    EXPECT_EQ(do0->text(), QStringLiteral("DO0 On"));
    EXPECT_FALSE(drawnStale());
}

// Opened while the module is away, the counter window shows no count it did not read; once it
// has read some, a failed read keeps them with their time.
TEST_F(ModuleAway, CounterWindowShowsOnlyCountsItReadWithTheirTime) {
    identified();
    CounterWindow counters{t.program};
    auto value = [&](int n) { return counters.findChild<QLabel*>(QStringLiteral("Label%1").arg(2 * n + 2))->text(); };
    auto note = [&] { return counters.findChild<QLabel*>(QStringLiteral("CounterNote"))->text(); };
    auto refresh = [&] {
        Click(counters.findChild<QWidget*>(QStringLiteral("Image2")));
        events(1);
    };
    const QString readAt = QStringLiteral("Read at ") + kLastRead.toLocalTime().toString(QStringLiteral("HH:mm:ss"));

    ASSERT_TRUE(target.nothingListening());
    Click(find("Image4"));
    events(1);
    ASSERT_EQ(t.dialogs.counterShown, 1);
    for (int n = 0; n < 8; ++n) EXPECT_EQ(value(n), QStringLiteral("\u2014")) << n;
    EXPECT_EQ(note(), QStringLiteral("Not read: no answer"));

    ASSERT_TRUE(target.module());
    sim::ModuleState held = target.sim()->state();
    held.counters.fill(70);
    target.sim()->setState(held);
    refresh();
    EXPECT_EQ(value(0), QStringLiteral("70"));
    EXPECT_EQ(value(7), QStringLiteral("70"));
    EXPECT_EQ(note(), readAt);

    ASSERT_TRUE(target.nothingListening());
    now = kLastRead.addSecs(30);
    refresh();
    EXPECT_EQ(value(0), QStringLiteral("70"));
    EXPECT_EQ(note(), readAt + QStringLiteral("; not read since: no answer"));

    // Another target: the counts shown were the old module's.
    t.screen.main.edit2 = QStringLiteral("127.0.0.1");
    t.program.form1.SpeedButton5Click();
    Settle();
    EXPECT_EQ(value(0), QStringLiteral("\u2014"));
    EXPECT_TRUE(note().isEmpty());
}

// A module that refuses every request gets one request per supervision cycle, never one per
// 100 ms event, and the user reads why nothing happens.
TEST_F(ModuleAway, RefusingModuleIsAskedOncePerCycleAndTheUserIsTold) {
    target.sim()->setFault(FaultMode::Reject);
    const int before = target.sim()->connectionCount();
    QueueIdentify(t.ctx);
    events(150);  // 15 s
    const int cycles = 150 / kEventsPerCycle;
    EXPECT_LE(target.sim()->connectionCount() - before, 1 + cycles);
    EXPECT_GE(target.sim()->connectionCount() - before, cycles) << "still asked at the cycle's pace";

    const QString told = QStringLiteral("The module at 127.0.0.1 refuses requests (status 21)");
    EXPECT_EQ(status(), told);
    // Not cut at the empty firmware panel beside it.
    QLabel* line = find<PanelStatusBar>("StatusBar2")->panel(0);
    EXPECT_GE(line->width(), line->fontMetrics().horizontalAdvance(told));
    picture("main-refused.png");
    ProtocolWindow* protocol = window.showProtocol();
    EXPECT_TRUE(protocol->findChild<QPlainTextEdit*>(QStringLiteral("Lines"))->toPlainText().contains(told));
}

// Find me refused: asked again at the next cycle, not on every event.
TEST_F(ModuleAway, RefusedLocateIsAskedAgainAtTheCyclesPace) {
    identified();
    target.sim()->setFault(FaultMode::Reject);
    target.sim()->clearReceived();
    Click(find("Image3"));
    events(kEventsPerCycle + 5);
    const QByteArray locate = QByteArray::fromHex("5A3577A51D0000");
    EXPECT_EQ(target.sim()->receivedFrames().count(locate), 2);
}

}  // namespace
}  // namespace rzl::test
