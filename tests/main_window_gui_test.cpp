// The main window's widgets: layout, rendering of the main view, clicks, accessibility, and
// one click on the real window that reaches the simulated module and comes back.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/gui_events.h"
#include "tests/support/window_fixture.h"
#include "ui/main/widgets/main_window.h"
#include "ui/widgets/colours.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/shape.h"
#include "ui/widgets/status_bar.h"

using namespace rzl;

namespace {

struct MainWindowTest : test::WindowFixture<MainWindow> {
    QString accessibleName(QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QString();
    }
};

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    struct Case {
        const char* name;
        QRect rect;  // in the parent
    };
    const Case cases[] = {
        {"GroupBox3", {0, 0, 313, 149}},      {"Label4", {9, 19, 264, 23}},        {"Image1", {285, 13, 24, 24}},
        {"Edit2", {76, 98, 104, 22}},         {"SpeedButton5", {186, 98, 63, 22}}, {"GroupBox1", {0, 149, 313, 139}},
        {"Image4", {286, 18, 24, 24}},        {"Shape6", {53, 44, 22, 10}},        {"Shape11", {240, 95, 22, 10}},
        {"GroupBox2", {0, 288, 313, 149}},    {"Shape14", {211, 85, 60, 7}},       {"SpeedButton7", {127, 37, 62, 28}},
        {"SpeedButton3", {210, 90, 62, 28}},  {"StatusBar2", {0, 438, 313, 19}},   {"StatusBar1", {0, 457, 313, 19}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = find(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.rect);
    }
    EXPECT_EQ(find("Label1")->pos(), QPoint(53, 22));
    EXPECT_EQ(find("Label11")->pos(), QPoint(240, 75));
    EXPECT_EQ(find("Label1")->parentWidget(), find("GroupBox1"));
    EXPECT_EQ(find("SpeedButton4")->parentWidget(), find("GroupBox2"));

    EXPECT_EQ(window.objectName(), QStringLiteral("TForm1"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("rZL-Ctrl V1.30(20200213)"));
    EXPECT_EQ(window.minimumSize(), QSize(313, 476));
    EXPECT_EQ(window.maximumSize(), QSize(313, 476));
    EXPECT_TRUE(find("CheckBox1")->isHidden());
    EXPECT_TRUE(find("Memo1")->isHidden());
    EXPECT_EQ(find<QCheckBox>("CheckBox1")->text(), QStringLiteral("ACR Disable"));
    EXPECT_EQ(find<QLabel>("Label6")->text(), QStringLiteral("Device  IP:"));
    EXPECT_EQ(find<QLabel>("Label4")->font().pixelSize(), 19);
    EXPECT_TRUE(find<QLabel>("Label4")->font().bold());
    EXPECT_EQ(find("Image3")->toolTip(), QStringLiteral("Find me"));
    EXPECT_EQ(find("SpeedButton8")->toolTip(), QStringLiteral("DO2"));
    EXPECT_EQ(find("Shape9")->toolTip(), QStringLiteral("DI3"));
}

TEST_F(MainWindowTest, ShowsWhatTheRecordSays) {
    // The no-module look first: every DO button off and disabled, the images but Refresh disabled.
    for (const char* name : {"SpeedButton4", "SpeedButton3"}) EXPECT_FALSE(find(name)->isEnabled()) << name;
    EXPECT_EQ(find<QPushButton>("SpeedButton4")->text(), QStringLiteral("DO0 Off"));
    EXPECT_FALSE(find("Image1")->isEnabled());
    EXPECT_TRUE(find("Image2")->isEnabled());

    MainView& view = t.screen.main;
    view.label4 = {QStringLiteral("rZL-K110 Tiny I/O Controller"), colours::kNavy, true, QStringLiteral("4DI + 3DO Module")};
    view.label14.font = colours::kDimmedTitle;
    view.groupBox2Hint = QStringLiteral("3 Relay Output");
    view.doButtons[1] = {QStringLiteral("DO1 On"), true};
    view.doBars[1] = {colours::kOutputOn, colours::kOutputOn};
    view.diShapes[3] = {colours::kInputActive, colours::kInputActive};
    view.diLabelEnabled[3] = true;
    view.image4Enabled = true;
    view.edit2 = QStringLiteral("10.0.0.7");
    t.screen.changed();
    t.screen.showStatus(QStringLiteral("Set DO Done! DI:08"));
    t.screen.log(QStringLiteral("Get DI Counter done!!"));
    test::Settle();

    auto* label4 = find<QLabel>("Label4");
    EXPECT_EQ(label4->text(), view.label4.caption);
    EXPECT_EQ(label4->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(label4->toolTip(), QStringLiteral("4DI + 3DO Module"));
    EXPECT_EQ(find<QLabel>("Label14")->palette().color(QPalette::Active, QPalette::WindowText), QColor(160, 160, 164));
    EXPECT_EQ(find("GroupBox2")->toolTip(), QStringLiteral("3 Relay Output"));
    EXPECT_EQ(find<QPushButton>("SpeedButton7")->text(), QStringLiteral("DO1 On"));
    EXPECT_TRUE(find("SpeedButton7")->isEnabled());
    EXPECT_EQ(find<Shape>("Shape2")->fill(), QColor(255, 0, 100));
    EXPECT_EQ(find<Shape>("Shape9")->outline(), QColor(39, 255, 37));
    EXPECT_TRUE(find("Label8")->isEnabled());
    EXPECT_FALSE(find("Label1")->isEnabled());
    // Off shapes take the desktop's menu and 3D-light colours.
    EXPECT_EQ(find<Shape>("Shape6")->fill(), ToQColor(Colour::menu()));
    EXPECT_EQ(find<Shape>("Shape6")->outline(), ToQColor(Colour::light3D()));
    EXPECT_TRUE(find("Image4")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("Edit2")->text(), QStringLiteral("10.0.0.7"));
    EXPECT_EQ(find<PanelStatusBar>("StatusBar2")->panelText(0), QStringLiteral("Set DO Done! DI:08"));
    EXPECT_TRUE(find<QPlainTextEdit>("Memo1")->toPlainText().contains(QStringLiteral("Get DI Counter done!!")));
}

TEST_F(MainWindowTest, DisabledImagesIgnoreClicksAndEnabledOnesForwardThem) {
    int setupOpened = 0;
    t.dialogs.onSetupShown = [&] { ++setupOpened; };
    test::Click(find("Image1"));
    EXPECT_EQ(setupOpened, 0);
    EXPECT_TRUE(t.ctx.session.pollingEnabled);

    t.screen.main.image1Enabled = true;
    window.render();
    test::Click(find("Image1"));
    EXPECT_EQ(setupOpened, 1);
    EXPECT_FALSE(t.ctx.session.pollingEnabled);

    // Refresh is always usable: it queues an identify.
    test::Click(find("Image2"));
    EXPECT_EQ(t.ctx.session.queuedCommand, 33);
}

TEST_F(MainWindowTest, TextsAndPicturesAreReadableThroughAccessibility) {
    t.screen.main.label4.caption = QStringLiteral("rZL-K140 Tiny I/O Controller");
    t.screen.showStatus(QStringLiteral("Connect Timeout"));
    window.render();
    auto* status2 = find<PanelStatusBar>("StatusBar2");
    const struct {
        QWidget* widget;
        QString name;
    } cases[] = {
        {find("Image1"), QStringLiteral("Setup")},
        {find("Image2"), QStringLiteral("Refresh")},
        {find("Image3"), QStringLiteral("Find me")},
        {find("Image4"), QStringLiteral("Digital Input Counter")},
        {find("Label4"), QStringLiteral("rZL-K140 Tiny I/O Controller")},
        {find("Label12"), QStringLiteral("RSSI:")},
        {find("SpeedButton8"), QStringLiteral("DO2 Off")},
        {find("SpeedButton5"), QStringLiteral("Static IP")},
        {status2->panel(0), QStringLiteral("Connect Timeout")},
    };
    for (const auto& c : cases) EXPECT_EQ(accessibleName(c.widget), c.name) << c.widget->objectName().toStdString();
}

// A screen reader announces the program's window by its role and title, and reaches the
// controls below it.
TEST_F(MainWindowTest, AssistiveTechnologiesMeetItAsTheProgramsWindow) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Window);
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("rZL-Ctrl V1.30(20200213)"));

    QAccessibleInterface* up = QAccessible::queryAccessibleInterface(find("Image1"));
    while (up && up->object() != &window) up = up->parent();
    EXPECT_NE(up, nullptr) << "Setup image not below the window";
    EXPECT_GT(face->childCount(), 0);
}

TEST_F(MainWindowTest, OutputClickOnTheWindowReachesTheModuleAndTheAnswerShows) {
    sim::SimulatorThread module;
    if (!module.start()) GTEST_SKIP() << "the simulated module cannot listen";
    t.target(module.port());

    QueueIdentify(t.ctx);
    t.program.form1.Timer3Timer();
    test::Settle();
    ASSERT_TRUE(t.ctx.session.deviceIdentified);
    auto* do1 = find<QPushButton>("SpeedButton7");
    ASSERT_TRUE(do1->isEnabled());  // model 176 has DO0..DO2
    EXPECT_EQ(do1->text(), QStringLiteral("DO1 Off"));

    module.clearReceived();
    test::Click(do1);
    EXPECT_TRUE(module.receivedFrames().isEmpty());  // queued for the next tick
    t.program.form1.Timer3Timer();
    EXPECT_EQ(module.receivedFrames(), QList<QByteArray>{QByteArray::fromHex("5A3577A5D00201")});
    test::Settle();
    EXPECT_EQ(do1->text(), QStringLiteral("DO1 On"));
    EXPECT_EQ(find<Shape>("Shape2")->fill(), QColor(255, 0, 100));
    EXPECT_EQ(module.state().doBits, 0x02);
}

}  // namespace
