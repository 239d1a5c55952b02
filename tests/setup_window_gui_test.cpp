// The setup window's widgets: layout, and the two directions between the widgets and the
// setup record (what the user types or ticks reaches the record; the record shows).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "tests/support/gui_events.h"
#include "tests/support/wait.h"
#include "tests/support/window_fixture.h"
#include "ui/setup/widgets/setup_window.h"
#include "ui/widgets/activation_watch.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/picture_button.h"

using namespace rzl;

namespace {

using SetupWindowTest = test::WindowFixture<SetupWindow>;

TEST_F(SetupWindowTest, GroupsAndButtonsSitWhereTheLayoutPutsThem) {
    const struct {
        const char* name;
        QRect rect;
    } cases[] = {
        {"GroupBox1", {2, -1, 348, 123}},  {"GroupBox2", {356, -2, 348, 258}}, {"GroupBox5", {351, 249, 348, 49}},
        {"GroupBox4", {2, 119, 348, 60}},  {"GroupBox6", {2, 172, 348, 66}},   {"GroupBox3", {2, 231, 348, 67}},
        {"Image7", {34, 316, 178, 29}},    {"Image1", {260, 316, 178, 29}},    {"Image8", {486, 316, 178, 29}},
        {"CGauge1", {0, 358, 701, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = find(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), c.rect);
    }
    // Apply buttons: 24 x 24 at the right end of their group.
    for (const char* name : {"Image2", "Image3", "Image4", "Image5", "Image6", "Image9", "Image10"}) {
        QWidget* image = find(name);
        EXPECT_EQ(image->size(), QSize(24, 24)) << name;
        QWidget* group = image->parentWidget();
        while (group && !qobject_cast<QGroupBox*>(group)) group = group->parentWidget();
        ASSERT_NE(group, nullptr) << name;
        const int gap = group->mapTo(&window, QPoint(group->width(), 0)).x() - image->mapTo(&window, QPoint(24, 0)).x();
        EXPECT_GT(gap, 0) << name;
        EXPECT_LE(gap, 40) << name;
    }
    EXPECT_EQ(window.windowTitle(), QStringLiteral("rZL.Setup"));
    EXPECT_EQ(window.minimumSize(), QSize(701, 367));
    EXPECT_EQ(window.maximumSize(), QSize(701, 367));
    EXPECT_EQ(find("Image8")->toolTip(), QStringLiteral("Reboot"));
    EXPECT_EQ(find("CheckBox1")->toolTip(), QStringLiteral("Static IP, only Station mode"));
    EXPECT_EQ(find("Edit9")->toolTip(), QStringLiteral("Station mode Subnet mask"));
    EXPECT_EQ(find<QLineEdit>("Edit1")->text(), QStringLiteral("DRQ-500-AP"));
    EXPECT_EQ(find<QLineEdit>("Edit9")->text(), QStringLiteral("255.255.255.0"));
    EXPECT_TRUE(find<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("RadioButton7")->isChecked());
    EXPECT_FALSE(find("Edit9")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>("Edit3")->font().bold());
}

TEST_F(SetupWindowTest, WhatTheUserTypesAndTicksReachesTheRecord) {
    SetupView& view = t.screen.setup;
    test::Type(find("Edit3"), QStringLiteral("-2"));
    EXPECT_EQ(view.edit3, QStringLiteral("Korvex-2"));
    test::Type(find("Edit5"), QStringLiteral("Hall B"));
    EXPECT_EQ(view.edit5, QStringLiteral("Hall B"));

    test::Click(find("RadioButton4"));
    EXPECT_TRUE(view.radioButton4);
    EXPECT_FALSE(view.radioButton5);
    test::Click(find("RadioButton6"));
    EXPECT_TRUE(view.radioButton6);
    EXPECT_FALSE(view.radioButton7);

    // The static-IP box goes through the window's handler, which enables the six fields.
    test::Click(find("CheckBox1"));
    test::Settle();
    EXPECT_TRUE(view.checkBox1);
    EXPECT_TRUE(find("Edit8")->isEnabled());
    EXPECT_TRUE(find("Label12")->isEnabled());
    test::Type(find("Edit8"), QStringLiteral("10.0.0.5"));
    test::Click(find("CheckBox1"));
    test::Settle();
    EXPECT_FALSE(view.checkBox1);
    EXPECT_FALSE(find("Edit8")->isEnabled());
    EXPECT_EQ(find<QLineEdit>("Edit8")->text(), QStringLiteral("10.0.0.5"));  // text kept

    // A later render for some other change keeps what was typed.
    t.screen.changed();
    test::Settle();
    EXPECT_EQ(find<QLineEdit>("Edit3")->text(), QStringLiteral("Korvex-2"));
    EXPECT_TRUE(find<QRadioButton>("RadioButton4")->isChecked());
}

TEST_F(SetupWindowTest, ShowsTheRecordFilledFromTheModule) {
    SetupView& view = t.screen.setup;
    view.edit1 = QStringLiteral("rZL-K110-AP");
    view.radioButton1 = false;
    view.radioButton2 = true;
    view.radioButton5 = false;
    view.radioButton3 = true;
    view.radioButton6 = true;
    view.radioButton7 = false;
    view.edit7 = QStringLiteral("502");
    view.gauge = {0, 4000, 1000, colours::kRed};
    t.screen.changed();
    test::Settle();

    EXPECT_EQ(find<QLineEdit>("Edit1")->text(), QStringLiteral("rZL-K110-AP"));
    EXPECT_TRUE(find<QRadioButton>("RadioButton2")->isChecked());
    EXPECT_FALSE(find<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("RadioButton3")->isChecked());
    EXPECT_TRUE(find<QRadioButton>("RadioButton6")->isChecked());
    EXPECT_EQ(find<QLineEdit>("Edit7")->text(), QStringLiteral("502"));
    // Rendering is not the user: the record is as the core left it.
    EXPECT_TRUE(view.radioButton2 && !view.radioButton1 && view.radioButton3 && !view.radioButton5);
    auto* gauge = find<Gauge>("CGauge1");
    EXPECT_EQ(gauge->maximum(), 4000);
    EXPECT_EQ(gauge->position(), 1000);
    EXPECT_EQ(gauge->barColour(), QColor(255, 0, 0));
}

// Opened, the window shows the module's settings; leaving for another program and coming
// back keeps what the user typed; opened again, it shows the settings again.
TEST_F(SetupWindowTest, ReturningToTheOpenWindowKeepsWhatWasTyped) {
    auto* edit3 = find<QLineEdit>("Edit3");
    t.ctx.info.staSsid = "Office";

    window.show();
    ASSERT_TRUE(test::WaitFor([&] { return edit3->text() == QStringLiteral("Office"); }, 2000, test::RunEvents)) << edit3->text().toStdString();
    test::Type(edit3, QStringLiteral("-2"));
    ASSERT_EQ(t.screen.setup.edit3, QStringLiteral("Office-2"));

    // Another program takes the focus, then the user comes back.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&window, &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    test::RunEventsFor(3 * ActivationWatch::kFallbackMs);  // any activation handler has run
    EXPECT_EQ(edit3->text(), QStringLiteral("Office-2"));
    EXPECT_EQ(t.screen.setup.edit3, QStringLiteral("Office-2"));

    window.reject();  // closed: polling resumes
    EXPECT_TRUE(t.ctx.session.pollingEnabled);
    window.show();
    EXPECT_TRUE(test::WaitFor([&] { return edit3->text() == QStringLiteral("Office"); }, 2000, test::RunEvents)) << edit3->text().toStdString();
    window.hide();
}

}  // namespace
