// The setup window without widgets: address check, filling from the module's settings,
// the static-IP fields, and what closing it starts.

#include <gtest/gtest.h>

#include "tests/support/reply_frames.h"
#include "tests/support/test_program.h"
#include "ui/setup/settings_fields.h"

namespace rzl::test {
namespace {

TEST(SetupWindowLogicTest, IsValidIpText) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"192.168.1.10", true},   {"010.0.0.1", true},      {"0.0.0.0", true},
        {"255.255.255.255", true}, {"192.168.1", false},     {"192.168.1.", false},
        {".1.2.3", false},        {"1..2.3", false},        {"1.2.3.256", false},
        {"1.2.3.4.5", false},     {"1.2.3.x", false},       {" 192.168.1.10", false},
        {"192.168.1.10 ", false}, {"", false},              {"...", false},
        {"1.2.3.99999999999999999999", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidIpText(QString::fromLatin1(c.text)), c.valid) << '"' << c.text << '"';
}

TEST(SetupWindowLogicTest, OpenedBeforeAnyIdentification) {
    TestProgram t;
    SetupView& v = t.screen.setup;
    v.edit2 = QStringLiteral("typed key");
    v.edit4 = QStringLiteral("typed key");
    v.gauge.position = 40;

    t.program.form2.FormShow();
    t.program.form2.FormActivate();

    EXPECT_TRUE(v.edit1.isEmpty());  // the form's default SSIDs are replaced
    EXPECT_TRUE(v.edit3.isEmpty());
    EXPECT_TRUE(v.radioButton1);
    EXPECT_FALSE(v.radioButton2);
    EXPECT_TRUE(v.edit2.isEmpty());
    EXPECT_TRUE(v.radioButton3);
    EXPECT_FALSE(v.radioButton4 || v.radioButton5);
    EXPECT_TRUE(v.edit4.isEmpty());
    EXPECT_TRUE(v.radioButton7);
    EXPECT_FALSE(v.radioButton6);
    EXPECT_EQ(v.edit7, "502");
    EXPECT_EQ(v.edit11, "120");
    EXPECT_FALSE(v.checkBox1);
    EXPECT_FALSE(v.staticFieldsEnabled);
    EXPECT_TRUE(v.edit8.isEmpty());
    EXPECT_EQ(v.edit9, "255.255.255.0");
    EXPECT_TRUE(v.edit10.isEmpty());
    EXPECT_EQ(v.gauge.position, 0);
}

TEST(SetupWindowLogicTest, ShowsTheIdentifiedSettings) {
    TestProgram t;
    t.target(1);
    SetupView& v = t.screen.setup;
    IdentifyFields f;
    f.address = {127, 0, 0, 1};
    f.apSsid = "rZL-AP";
    f.apKeyType = 1;
    f.staSsid = "Office";
    f.staKeyType = 1;
    f.location = "Hall \xE9";
    f.wifiMode = 2;
    f.modbusPort = 1502;
    f.idleTimeout = 300;
    f.staticIp = 1;
    f.staIp = {10, 0, 0, 5};
    f.staNetmask = {255, 255, 0, 0};
    f.staGateway = {10, 0, 0, 1};
    t.ctx.session.pendingCommand = kCmdIdentify;
    dispatch(t.ctx, identifyReply(f));
    ASSERT_TRUE(t.ctx.session.settingsKnown);
    v.edit2 = QStringLiteral("typed AP key");
    v.edit4 = QStringLiteral("typed WEP key");

    t.program.form2.FormShow();
    t.program.form2.FormActivate();

    EXPECT_EQ(v.edit1, "rZL-AP");
    EXPECT_TRUE(v.radioButton2);
    EXPECT_FALSE(v.radioButton1);
    EXPECT_EQ(v.edit2, "typed AP key");  // secured: the key field is left as typed
    EXPECT_EQ(v.edit3, "Office");
    EXPECT_TRUE(v.radioButton4);
    EXPECT_FALSE(v.radioButton3 || v.radioButton5);
    EXPECT_EQ(v.edit4, "typed WEP key");
    EXPECT_EQ(v.edit5, QStringLiteral("Hall ") + QChar(0xE9));
    EXPECT_EQ(v.edit7, "1502");
    EXPECT_EQ(v.edit11, "300");
    EXPECT_TRUE(v.radioButton6);
    EXPECT_FALSE(v.radioButton7);
    EXPECT_TRUE(v.checkBox1);
    EXPECT_TRUE(v.staticFieldsEnabled);
    EXPECT_EQ(v.edit8, "10.0.0.5");
    EXPECT_EQ(v.edit9, "255.255.0.0");
    EXPECT_EQ(v.edit10, "10.0.0.1");

    // Unticking the box greys the fields but keeps what they hold.
    v.checkBox1 = false;
    t.program.form2.CheckBox1Click();
    EXPECT_FALSE(v.staticFieldsEnabled);
    EXPECT_EQ(v.edit8, "10.0.0.5");
    EXPECT_EQ(v.edit10, "10.0.0.1");

    // Any key type above WEP is WPA/WPA2.
    for (std::uint8_t keyType : {2, 255}) {
        t.ctx.info.staKeyType = keyType;
        t.program.form2.FormShow();
        t.program.form2.FormActivate();
        EXPECT_TRUE(v.radioButton5) << int(keyType);
        EXPECT_FALSE(v.radioButton3 || v.radioButton4) << int(keyType);
    }
}

TEST(SetupWindowLogicTest, ClosingResumesPollingAndIdentifiesOnlyOnceSettingsAreKnown) {
    for (bool known : {false, true}) {
        SCOPED_TRACE(known);
        TestProgram t;
        DeviceSession& s = t.ctx.session;
        s.settingsKnown = known;
        s.pollingEnabled = false;  // as the Setup image leaves it

        t.program.form2.FormClose();

        // Also before any identification: a module identified later must be polled.
        EXPECT_TRUE(s.pollingEnabled);
        EXPECT_EQ(s.queuedCommand, known ? kCmdIdentify : 0);
    }
}

// Coming back to the open window (from another program) keeps what the user typed; the next
// opening shows the module's settings again.
TEST(SetupWindowLogicTest, FieldsAreFilledOncePerOpening) {
    TestProgram t;
    SetupView& v = t.screen.setup;
    TForm2& form = t.program.form2;
    t.ctx.info.staSsid = "Office";
    t.ctx.info.staKeyType = 2;
    t.ctx.info.modbusPort = 1502;

    form.FormShow();
    form.FormActivate();
    ASSERT_EQ(v.edit3, "Office");
    v.edit3 = QStringLiteral("Office-2");
    v.edit4 = QStringLiteral("pasted key");
    v.edit7 = QStringLiteral("503");
    v.radioButton6 = true;
    v.radioButton7 = false;

    form.FormActivate();
    EXPECT_EQ(v.edit3, "Office-2");
    EXPECT_EQ(v.edit4, "pasted key");
    EXPECT_EQ(v.edit7, "503");
    EXPECT_TRUE(v.radioButton6 && !v.radioButton7);

    form.FormClose();
    form.FormShow();
    form.FormActivate();
    EXPECT_EQ(v.edit3, "Office");
    EXPECT_EQ(v.edit7, "1502");
    EXPECT_TRUE(v.radioButton7 && !v.radioButton6);
}

}  // namespace
}  // namespace rzl::test
