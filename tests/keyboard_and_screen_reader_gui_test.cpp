// The windows as a keyboard or screen-reader user meets them: every field is named by its
// label, every picture button is a button that Tab reaches and Space or Enter presses, Escape
// closes the child windows, and a setting can be written and an output switched with keys only.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/gui_events.h"
#include "tests/support/test_program.h"
#include "ui/counter/widgets/counter_window.h"
#include "ui/main/widgets/main_window.h"
#include "ui/setup/widgets/setup_window.h"
#include "ui/widgets/gui_host.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/status_bar.h"

namespace rzl::test {
namespace {

// A key as the platform delivers it: to the widget that has the focus.
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "nothing has the focus";
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Presses Tab until `name` has the focus; the number of presses, or -1 when it never does.
int TabTo(const char* name, int most = 40) {
    for (int presses = 0; presses <= most; ++presses) {
        if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == QLatin1String(name)) return presses;
        Key(Qt::Key_Tab);
    }
    return -1;
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    for (int i = 0; i < 100 && QApplication::activeWindow() != &window; ++i) Settle();
    ASSERT_EQ(QApplication::activeWindow(), &window);
}

struct Named {
    const char* object;
    QString name;
    QAccessible::Role role;
};

void ExpectNamed(QWidget& window, const QList<Named>& rows) {
    for (const Named& row : rows) {
        SCOPED_TRACE(row.object);
        QWidget* widget = window.findChild<QWidget*>(QLatin1String(row.object));
        ASSERT_NE(widget, nullptr);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), row.name);
        EXPECT_EQ(face->role(), row.role);
        EXPECT_TRUE(widget->focusPolicy() & Qt::TabFocus) << "Tab passes it by";
    }
}

constexpr auto kField = QAccessible::EditableText;
constexpr auto kButton = QAccessible::Button;

TEST(KeyboardAndScreenReader, EveryFieldAndPictureButtonIsNamedAndReachable) {
    TestProgram t;
    MainWindow main(t.program);
    ExpectNamed(main, {{"Edit2", "Device  IP:", kField},
                       {"Image1", "Setup", kButton},
                       {"Image3", "Find me", kButton},
                       {"Image2", "Refresh", kButton},
                       {"Image4", "Digital Input Counter", kButton},
                       {"SpeedButton5", "Static IP", kButton},
                       {"SpeedButton4", "DO0 Off", kButton},
                       {"SpeedButton3", "DO5 Off", kButton}});
    SetupWindow setup(t.program);
    ExpectNamed(setup, {{"Edit1", "SSID Name:", kField},       {"Edit2", "SSID Key:", kField},
                        {"Edit3", "SSID Name:", kField},       {"Edit4", "SSID Key:", kField},
                        {"Edit8", "IP:", kField},              {"Edit9", "Net mask:", kField},
                        {"Edit10", "Gate way:", kField},       {"Edit6", "Login Key:", kField},
                        {"Edit7", "Port:", kField},            {"Edit11", "Idle Timeout:", kField},
                        {"Edit5", "String:", kField},          {"Image2", "Write AP settings", kButton},
                        {"Image3", "Write Station settings", kButton}, {"Image10", "Write static IP settings", kButton},
                        {"Image4", "Switch Wi-Fi mode", kButton}, {"Image5", "Write web login key", kButton},
                        {"Image9", "Write Modbus settings", kButton}, {"Image6", "Write location", kButton},
                        {"Image7", "Reset to Default", kButton}, {"Image1", "Update F/W", kButton},
                        {"Image8", "Reboot", kButton}});
    CounterWindow counter(t.program);
    ExpectNamed(counter, {{"SpeedButton1", "Clear DI 0 Counter", kButton},
                          {"SpeedButton8", "Clear DI 7 Counter", kButton},
                          {"Image2", "Counter Refresh", kButton}});
}

// A status text longer than its panel is cut on the screen, never for the tool tip or a reader.
TEST(KeyboardAndScreenReader, AStatusPanelKeepsItsWholeText) {
    TestProgram t;
    MainWindow main(t.program);
    const QString text = QStringLiteral("F/W update Complete! Reboot to take effect");
    t.screen.setStatusPanel(2, 1, QStringLiteral("FW: V01.0A"));  // the panel keeps to its own width
    t.screen.showStatus(text);
    Settle();
    QLabel* panel = main.findChild<PanelStatusBar*>(QStringLiteral("StatusBar2"))->panel(0);
    EXPECT_LT(panel->width(), panel->fontMetrics().horizontalAdvance(text)) << "the text fits: nothing to show";
    EXPECT_EQ(panel->toolTip(), text);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Description), text);
}

// Tab walks the setup window group by group: the left column top to bottom, then the right one,
// then the wide pictures left to right.
TEST(KeyboardAndScreenReader, TabFollowsTheSetupWindowsGroups) {
    TestProgram t;
    SetupWindow setup(t.program);
    ShowActive(setup);
    setup.findChild<QWidget*>(QStringLiteral("Edit1"))->setFocus();
    QStringList visited;
    for (int i = 0; i < 40; ++i) {
        const QString name = QApplication::focusWidget()->objectName();
        if (visited.contains(name)) break;
        visited.append(name);
        Key(Qt::Key_Tab);
    }
    // Radio buttons of one group are one stop (the checked one, else the first); the static IP
    // fields are off until the box is ticked, their picture is not.
    const QStringList expected{"Edit1", "RadioButton1", "Edit2", "Image2", "Edit6", "Image5", "Edit7", "Edit11",
                               "Image9", "Edit5", "Image6", "Edit3", "RadioButton3", "Edit4", "Image3", "CheckBox1",
                               "Image10", "RadioButton6", "Image4", "Image7", "Image1", "Image8"};
    EXPECT_EQ(visited, expected) << visited.join(' ').toStdString();
}

// The location written with keys only: Tab to the field, type, Tab to its button, Space, and
// Enter on the confirmation's Yes and on the information box.
TEST(KeyboardAndScreenReader, ALocationIsWrittenWithKeysOnly) {
    sim::SimulatorThread module{sim::SimOptions{}};
    ASSERT_TRUE(module.start());
    GuiDialogs dialogs;
    ManualClock clock;
    Program program{dialogs, clock};
    program.form1.timer1.stop();
    program.form1.timer3.stop();
    program.ctx.session.deviceIp = QStringLiteral("127.0.0.1");
    program.ctx.session.tcpPort = module.port();
    program.ctx.linkCheck = [] { return true; };
    program.ctx.session.deviceIdentified = true;
    MainWindow main(program);
    SetupWindow setup(program);
    dialogs.attach(&main, &setup, nullptr);
    ShowActive(setup);
    setup.findChild<QWidget*>(QStringLiteral("Edit1"))->setFocus();

    ASSERT_GE(TabTo("Edit5"), 0);
    for (const QChar c : QStringLiteral("Roof")) Key(0, Qt::NoModifier, QString(c));
    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("Image6"));

    // Every box that opens is answered with Enter, as a user would: Yes is the default.
    QStringList boxes;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || !box->isAncestorOf(QApplication::focusWidget())) return;
        boxes.append(box->windowTitle());
        Key(Qt::Key_Return);
    });
    answer.start(30);
    Key(Qt::Key_Space);
    answer.stop();

    EXPECT_EQ(boxes, (QStringList{"Confirm", "Information"}));
    EXPECT_EQ(module.state().files.value("/local/locate.cfg"), QByteArray("Roof"));
}

TEST(KeyboardAndScreenReader, AnOutputIsSwitchedWithTabAndSpace) {
    sim::SimulatorThread module{sim::SimOptions{}};
    ASSERT_TRUE(module.start());
    TestProgram t;
    t.target(module.port());
    MainWindow main(t.program);
    QueueIdentify(t.ctx);
    t.program.form1.Timer3Timer();
    Settle();
    ASSERT_TRUE(t.ctx.session.deviceIdentified);
    ShowActive(main);
    main.findChild<QWidget*>(QStringLiteral("Edit2"))->setFocus();

    ASSERT_GE(TabTo("SpeedButton7"), 0);
    Key(Qt::Key_Space);
    t.program.form1.Timer3Timer();  // the click goes out with the next tick
    Settle();
    EXPECT_EQ(module.state().doBits, 0x02);
    EXPECT_EQ(main.findChild<QPushButton*>(QStringLiteral("SpeedButton7"))->text(), QStringLiteral("DO1 On"));
}

// Escape closes the setup and counter windows the way their close button does: polling resumes.
TEST(KeyboardAndScreenReader, EscapeClosesTheChildWindows) {
    TestProgram t;
    SetupWindow setup(t.program);
    CounterWindow counter(t.program);
    for (QDialog* window : std::initializer_list<QDialog*>{&setup, &counter}) {
        SCOPED_TRACE(window->objectName().toStdString());
        t.ctx.session.pollingEnabled = false;  // as while a child window is open
        ShowActive(*window);
        window->findChild<PictureButton*>()->setFocus();
        Key(Qt::Key_Escape);
        Settle();
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(t.ctx.session.pollingEnabled);
    }
}

// Enter and Return in the counter window clear nothing, wherever the focus is: no Clear button is
// the window's default, and a focused one takes Space only.
TEST(KeyboardAndScreenReader, EnterInTheCounterWindowClearsNoCounter) {
    sim::SimulatorThread module{sim::SimOptions{}};
    ASSERT_TRUE(module.start());
    TestProgram t;
    t.target(module.port());
    t.ctx.session.diMask = 0xFF;  // every row usable
    CounterWindow counter(t.program);
    ShowActive(counter);
    for (const char* focus : {"", "SpeedButton1", "SpeedButton6", "Image2"}) {
        SCOPED_TRACE(*focus ? focus : "the focus the window opens with");
        if (*focus) counter.findChild<QWidget*>(QLatin1String(focus))->setFocus();
        module.clearReceived();
        Key(Qt::Key_Return);
        Key(Qt::Key_Enter, Qt::KeypadModifier);
        Settle();
        for (const QByteArray& frame : module.receivedFrames()) EXPECT_NE(frame.at(4), char(97)) << frame.toHex(' ').toStdString();
    }
}

// A picture button with the focus: Enter and Return press it as Space does, and a dotted frame
// shows where the keyboard is; without the focus the picture is as drawn.
TEST(KeyboardAndScreenReader, APictureButtonTakesKeysAndShowsItsFocus) {
    QWidget window;
    auto* button = new PictureButton(QStringLiteral(":/pictures/apply.svg"), &window);
    button->setGeometry(10, 10, 24, 24);
    auto* other = new QLineEdit(&window);
    other->setGeometry(40, 10, 60, 22);
    int clicks = 0;
    QObject::connect(button, &PictureButton::clicked, [&] { ++clicks; });
    ShowActive(window);
    other->setFocus();
    Settle();
    const QImage plain = button->grab().toImage();
    button->setFocus();
    Settle();
    EXPECT_NE(button->grab().toImage(), plain) << "no focus frame";
    for (const int key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        const int before = clicks;
        Key(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_EQ(clicks, before + 1) << key;
    }
    other->setFocus();
    Settle();
    EXPECT_EQ(button->grab().toImage(), plain);
}

}  // namespace
}  // namespace rzl::test
