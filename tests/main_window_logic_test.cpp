// The main window without widgets: the I/O panel and what its clicks queue.

#include <gtest/gtest.h>

#include "protocol/model_catalogue.h"
#include "tests/support/test_program.h"
#include "core/io_panel.h"

namespace rzl::test {
namespace {

const ShapeColours kOff{Colour::menu(), Colour::light3D()};
const ShapeColours kOutputOn{colours::kOutputOn, colours::kOutputOn};
const ShapeColours kInputActive{colours::kInputActive, colours::kInputActive};

TEST(MainWindowLogicTest, PanelShowsOnlyWhatTheModelHas) {
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    const MainView& m = t.screen.main;

    s.doMask = 0x07;
    s.diMask = 0x00;
    s.doState = 0x3F;
    s.diState = 0xFF;
    UpdateIoPanel(t.ctx);

    EXPECT_EQ(s.doState, 0x07);  // masked values are what stays
    EXPECT_EQ(s.diState, 0x00);
    const char* captions[] = {"DO0 On", "DO1 On", "DO2 On", "DO3 Off", "DO4 Off", "DO5 Off"};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(m.doButtons[k].caption, captions[k]);
        EXPECT_EQ(m.doBars[k], k < 3 ? kOutputOn : kOff) << k;
    }
    for (int k = 0; k < 8; ++k) EXPECT_EQ(m.diShapes[k], kOff) << k;

    s.diMask = 0xFF;
    s.diState = 0x81;
    UpdateIoPanel(t.ctx);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(m.diShapes[k], (k == 0 || k == 7) ? kInputActive : kOff) << k;
}

TEST(MainWindowLogicTest, ResetGivesTheNoModuleLook) {
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    MainView& m = t.screen.main;
    ApplyModel(t.ctx, 178);
    s.doState = 0x3F;
    UpdateIoPanel(t.ctx);
    m.label4.caption = QStringLiteral("rZL-K140 Tiny I/O Controller");
    m.label5.caption = QStringLiteral("Locate: bench");
    m.label12.caption = QStringLiteral("RSSI: -60dBm");

    ResetIoPanel(t.ctx);

    EXPECT_EQ(s.doState, 0);
    EXPECT_EQ(s.diState, 0);
    for (int k = 0; k < 6; ++k) {
        EXPECT_FALSE(m.doButtons[k].enabled) << k;
        EXPECT_EQ(m.doButtons[k].caption, QStringLiteral("DO%1 Off").arg(k));
        EXPECT_EQ(m.doBars[k], kOff) << k;
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_FALSE(m.diLabelEnabled[k]) << k;
        EXPECT_EQ(m.diShapes[k], kOff) << k;
    }
    EXPECT_FALSE(m.image1Enabled);
    EXPECT_FALSE(m.image3Enabled);
    EXPECT_FALSE(m.image4Enabled);
    EXPECT_TRUE(m.label4.caption.isEmpty());
    EXPECT_TRUE(m.label5.caption.isEmpty());
    EXPECT_EQ(m.label12.caption, "RSSI:");
    EXPECT_EQ(m.label12.font, colours::kRssiAfterReset);
}

TEST(MainWindowLogicTest, CreationStartsPollingAndBothTimers) {
    // A bare program: TestProgram stops the timers for the other tests.
    RecordingDialogs dialogs;
    ManualClock clock;
    Program program(dialogs, clock);
    EXPECT_TRUE(program.ctx.session.pollingEnabled);
    EXPECT_TRUE(program.form1.timer3.isActive());
    EXPECT_EQ(program.form1.timer3.interval(), 100);
    EXPECT_TRUE(program.form1.timer1.isActive());
    EXPECT_FALSE(program.screen.main.doButtons[0].enabled);
}

TEST(MainWindowLogicTest, DoClickQueuesTheOppositeState) {
    struct Case {
        int output;
        std::uint8_t doState;
        std::uint8_t param1, param2;
    };
    const Case cases[] = {
        {0, 0x00, 1, 1}, {0, 0x01, 1, 0}, {1, 0x01, 2, 1}, {2, 0x00, 3, 1},
        {3, 0x08, 4, 0}, {4, 0x2F, 5, 1}, {5, 0x20, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        TestProgram t;
        ApplyModel(t.ctx, 178);  // six outputs usable
        t.ctx.session.doState = c.doState;

        t.program.form1.DoButtonClick(c.output);

        EXPECT_EQ(t.ctx.session.queuedCommand, kCmdSetOutput);
        EXPECT_EQ(t.ctx.session.pendingCommand, kCmdSetOutput);
        EXPECT_EQ(t.ctx.session.queuedParam1, c.param1);
        EXPECT_EQ(t.ctx.session.queuedParam2, c.param2);
        EXPECT_EQ(t.screen.main.memo1.last(), QStringLiteral("Loop:%1,Val:%2").arg(c.param1).arg(c.param2));
        EXPECT_EQ(t.screen.main.doButtons[c.output].caption, QStringLiteral("DO%1 Off").arg(c.output))
            << "the button waits for the reply";
    }
}

TEST(MainWindowLogicTest, SecondClickBeforeATickReplacesTheFirst) {
    TestProgram t;
    ApplyModel(t.ctx, 176);
    t.program.form1.DoButtonClick(0);
    t.program.form1.DoButtonClick(2);
    EXPECT_EQ(t.ctx.session.queuedCommand, kCmdSetOutput);
    EXPECT_EQ(t.ctx.session.queuedParam1, 3);
    EXPECT_EQ(t.ctx.session.queuedParam2, 1);
}

TEST(MainWindowLogicTest, DisabledControlsIgnoreClicksRefreshNever) {
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    TForm1& form = t.program.form1;

    for (int k = 0; k < 6; ++k) form.DoButtonClick(k);
    form.Image1Click();
    form.Image3Click();
    form.Image4Click();
    EXPECT_EQ(s.queuedCommand, 0);
    EXPECT_EQ(s.pendingCommand, 0);
    EXPECT_TRUE(s.pollingEnabled);
    EXPECT_EQ(t.dialogs.setupShown + t.dialogs.counterShown, 0);

    s.retryCount = 3;
    form.Image2Click();
    EXPECT_EQ(s.retryCount, 0);
    EXPECT_EQ(s.queuedCommand, kCmdIdentify);

    // With the 8-output module, DO buttons work but the counter image stays off.
    ApplyModel(t.ctx, 178);
    s.queuedCommand = 0;
    form.Image4Click();
    EXPECT_EQ(s.queuedCommand, 0);
    EXPECT_EQ(t.dialogs.counterShown, 0);
}

TEST(MainWindowLogicTest, ImagesOfALinkedModule) {
    TestProgram t;
    DeviceSession& s = t.ctx.session;
    TForm1& form = t.program.form1;
    ApplyModel(t.ctx, 176);

    bool pollingWhileSetupOpen = true;
    t.dialogs.onSetupShown = [&] { pollingWhileSetupOpen = s.pollingEnabled; };
    form.Image1Click();
    EXPECT_EQ(t.dialogs.setupShown, 1);
    EXPECT_FALSE(pollingWhileSetupOpen);

    form.Image3Click();
    EXPECT_EQ(s.queuedCommand, kCmdLocate);

    s.pollingEnabled = true;
    bool pollingWhileCounterOpen = true;
    t.dialogs.onCounterShown = [&] { pollingWhileCounterOpen = s.pollingEnabled; };
    form.Image4Click();
    EXPECT_EQ(t.dialogs.counterShown, 1);
    EXPECT_FALSE(pollingWhileCounterOpen);
    EXPECT_EQ(s.queuedCommand, kCmdCounterRead);
}

}  // namespace
}  // namespace rzl::test
