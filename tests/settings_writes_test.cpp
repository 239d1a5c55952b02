// The setup window's six apply operations against the simulated module: the files and frames
// each one sends, its checks of the fields, its boxes, and what happens when a step fails.

#include <QThread>
#include <functional>
#include <gtest/gtest.h>

#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/file_frames.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "tests/support/wait.h"
#include "ui/setup/settings_writes.h"

namespace rzl::test {
namespace {

using sim::Arrival;
using sim::FaultMode;
using sim::SimulatorThread;

const QByteArray kSig = QByteArray::fromHex("5A3577A5");
const QString kReboot = QStringLiteral(",\n    . Manual Reboot to take effect!");

struct World {
    SimulatorThread sim;
    TestProgram t;
    Context& ctx = t.ctx;
    SetupView& view = t.screen.setup;

    World() {
        EXPECT_TRUE(sim.start());
        t.target(sim.port());
    }
    QStringList arrivals(int count) {
        WaitFor([&] { return sim.arrivals().size() >= count; });
        QStringList lines;
        for (const Arrival& a : sim.arrivals()) lines.append(describe(a));
        return lines;
    }
    QList<ShownBox> boxes() const { return t.dialogs.boxes; }
};

struct WriteCase {
    const char* what;
    std::function<void(SetupView&)> fill;
    void (TForm2::*click)();
    QString confirmation;
    QStringList arrivals;
    QMap<QString, QByteArray> files;  // as the module stores them
    QStringList log;
    QList<int> pauses;
    QString information;
};

TEST(SettingsWrites, EachOperationSendsItsFilesInOrderByteForByte) {
    const QString ssid31(31, QLatin1Char('s'));
    const QByteArray ssid31Bytes = ssid31.toLatin1();
    const WriteCase cases[] = {
        {"AP open",
         [](SetupView& v) { v.edit1 = "my-ap"; v.edit2 = ""; v.radioButton1 = true; v.radioButton2 = false; },
         &TForm2::Image2Click,
         "Modify AP SSID, execute?\n    . SSID: my-ap\n    . Type: [0] OPEN\n    . KEY: ",
         QStringList{hexOf(deleteFrame("/local/ap_key.cfg"))} + fileWrite("/local/ap_ssid.cfg", "my-ap"),
         {{"/local/ap_ssid.cfg", "my-ap"}},
         {"5", "AP_SSID =my-ap"},
         {200, 1500},
         "AP SSID write complete" + kReboot},
        {"AP open with a key still typed: the key file is deleted all the same",
         [](SetupView& v) { v.edit1 = "my-ap"; v.edit2 = "secret99"; v.radioButton1 = true; v.radioButton2 = false; },
         &TForm2::Image2Click,
         "Modify AP SSID, execute?\n    . SSID: my-ap\n    . Type: [0] OPEN\n    . KEY: secret99",
         QStringList{hexOf(deleteFrame("/local/ap_key.cfg"))} + fileWrite("/local/ap_ssid.cfg", "my-ap"),
         {{"/local/ap_ssid.cfg", "my-ap"}},
         {"5", "AP_SSID =my-ap"},
         {200, 1500},
         "AP SSID write complete" + kReboot},
        {"AP WPA/WPA2, 31-byte SSID",
         [&](SetupView& v) { v.edit1 = ssid31; v.edit2 = "secret99"; v.radioButton1 = false; v.radioButton2 = true; },
         &TForm2::Image2Click,
         "Modify AP SSID, execute?\n    . SSID: " + ssid31 + "\n    . Type: [2] WPA/WPA2\n    . KEY: secret99",
         fileWrite("/local/ap_key.cfg", "secret99") + fileWrite("/local/ap_ssid.cfg", ssid31Bytes),
         {{"/local/ap_key.cfg", "secret99"}, {"/local/ap_ssid.cfg", ssid31Bytes}},
         {"31", "8", "AP_KEY =secret99", "AP_SSID =" + ssid31},
         {1500, 200, 1500},
         "AP SSID write complete" + kReboot},
        {"Station open",
         [](SetupView& v) {
             v.edit3 = "office"; v.edit4 = "";
             v.radioButton3 = true; v.radioButton4 = false; v.radioButton5 = false;
         },
         &TForm2::Image3Click,
         "Modify STA SSID, execute?\n    . SSID: office\n    . Type: [0] OPEN\n    . KEY: ",
         QStringList{hexOf(deleteFrame("/local/sta_key.cfg"))} + fileWrite("/local/sta_keyT.cfg", QByteArray(1, '\0')) +
             fileWrite("/local/sta_ssid.cfg", "office"),
         {{"/local/sta_keyT.cfg", QByteArray(1, '\0')}, {"/local/sta_ssid.cfg", "office"}},
         {"6", "STA_KTYPE =0", "STA_SSID =office"},
         {200, 1500, 200, 1500},
         "STA SSID write complete" + kReboot},
        {"Station WEP, 16-byte key",
         [](SetupView& v) {
             v.edit3 = "office"; v.edit4 = "0123456789abcdef";
             v.radioButton3 = false; v.radioButton4 = true; v.radioButton5 = false;
         },
         &TForm2::Image3Click,
         "Modify STA SSID, execute?\n    . SSID: office\n    . Type: [1] WEP\n    . KEY: 0123456789abcdef",
         fileWrite("/local/sta_key.cfg", "0123456789abcdef") + fileWrite("/local/sta_keyT.cfg", QByteArray(1, '\1')) +
             fileWrite("/local/sta_ssid.cfg", "office"),
         {{"/local/sta_key.cfg", "0123456789abcdef"}, {"/local/sta_keyT.cfg", QByteArray(1, '\1')}},
         {"6", "16", "STA_KEY =0123456789abcdef", "STA_KTYPE =1", "STA_SSID =office"},
         {1500, 200, 1500, 200, 1500},
         "STA SSID write complete" + kReboot},
        {"Station WPA/WPA2",
         [](SetupView& v) {
             v.edit3 = "office"; v.edit4 = "password";
             v.radioButton3 = false; v.radioButton4 = false; v.radioButton5 = true;
         },
         &TForm2::Image3Click,
         "Modify STA SSID, execute?\n    . SSID: office\n    . Type: [2] WPA/WPA2\n    . KEY: password",
         fileWrite("/local/sta_key.cfg", "password") + fileWrite("/local/sta_keyT.cfg", QByteArray(1, '\2')) +
             fileWrite("/local/sta_ssid.cfg", "office"),
         {{"/local/sta_keyT.cfg", QByteArray(1, '\2')}},
         {"6", "8", "STA_KEY =password", "STA_KTYPE =2", "STA_SSID =office"},
         {1500, 200, 1500, 200, 1500},
         "STA SSID write complete" + kReboot},
        {"static IP",
         [](SetupView& v) { v.checkBox1 = true; v.edit8 = "192.168.1.50"; v.edit9 = "255.255.255.0"; v.edit10 = "192.168.1.1"; },
         &TForm2::Image10Click,
         "Modify Station Static IP, Mask, Gateway, execute?\n    . IP: 192.168.1.50\n    . Mask: 255.255.255.0\n"
         "    . Gateway: 192.168.1.1",
         fileWrite("/local/sta_ip.cfg", QByteArray::fromHex("C0A80132 FFFFFF00 C0A80101")),
         {{"/local/sta_ip.cfg", QByteArray::fromHex("C0A80132 FFFFFF00 C0A80101")}},
         {},
         {1500},
         "Station Static IP write complete" + kReboot},
        {"static IP with leading zeros, read as decimal",
         [](SetupView& v) { v.checkBox1 = true; v.edit8 = "010.0.0.010"; v.edit9 = "255.255.255.000"; v.edit10 = "010.000.000.001"; },
         &TForm2::Image10Click,
         "Modify Station Static IP, Mask, Gateway, execute?\n    . IP: 10.0.0.10\n    . Mask: 255.255.255.0\n"
         "    . Gateway: 10.0.0.1",
         fileWrite("/local/sta_ip.cfg", QByteArray::fromHex("0A00000A FFFFFF00 0A000001")),
         {{"/local/sta_ip.cfg", QByteArray::fromHex("0A00000A FFFFFF00 0A000001")}},
         {},
         {1500},
         "Station Static IP write complete" + kReboot},
        {"static IP off: the file is deleted, the fields not looked at",
         [](SetupView& v) { v.checkBox1 = false; v.edit8 = "not an address"; },
         &TForm2::Image10Click,
         "Delete Station Static IP config, execute?\n",
         {hexOf(deleteFrame("/local/sta_ip.cfg"))},
         {},
         {},
         {},
         "Station Static IP delete complete" + kReboot},
        {"web key",
         [](SetupView& v) { v.edit6 = "abc"; },
         &TForm2::Image5Click,
         "Modify WEB Key, execute?\n    . WEB Key: abc.\n",
         {hexOf(kSig + QByteArray::fromHex("32 03 616263"))},
         {},
         {"3", "WEB Key =abc"},
         {},
         "WEB Key write complete,\n    .Take effect immediately."},
        {"location",
         [](SetupView& v) { v.edit5 = "Roof top"; },
         &TForm2::Image6Click,
         "Modify Location string, execute?\n    . Location: Roof top.\n",
         fileWrite("/local/locate.cfg", "Roof top"),
         {{"/local/locate.cfg", "Roof top"}},
         {"8", "Location =Roof top"},
         {1500},
         "Location string write complete" + kReboot},
        {"Modbus",
         [](SetupView& v) { v.edit7 = "502"; v.edit11 = "30"; },
         &TForm2::Image9Click,
         "Modify Modbus Port & Idle Timeout, execute?\n    . Port: 502, Idle Timeout: 30.",
         fileWrite("/local/mbport.cfg", QByteArray::fromHex("01F6001E000000000000")) + QStringList{hexOf(kSig + "\xDC")},
         {{"/local/mbport.cfg", QByteArray::fromHex("01F6001E000000000000")}},
         {"Modbus Port =502, Idle Timeout: 30"},
         {1500, 300},
         "Modify Modbus Port, Timeout write complete" + kReboot},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        sim::ModuleState state = w.sim.state();
        state.files.insert("/local/sta_ip.cfg", QByteArray(12, '\1'));  // something to delete
        w.sim.setState(state);
        c.fill(w.view);

        (w.t.program.form2.*c.click)();

        ASSERT_EQ(w.boxes().size(), 2);
        EXPECT_EQ(w.boxes()[0].text, c.confirmation);
        EXPECT_EQ(w.boxes()[0].caption, "Confirm");
        EXPECT_TRUE(w.boxes()[0].confirmation);
        EXPECT_EQ(w.boxes()[1].text, c.information);
        EXPECT_EQ(w.boxes()[1].caption, "Information");
        EXPECT_EQ(w.boxes()[1].icon, BoxIcon::Information);
        EXPECT_EQ(w.arrivals(c.arrivals.size()), c.arrivals);
        for (auto it = c.files.begin(); it != c.files.end(); ++it)
            EXPECT_TRUE(WaitFor([&] { return w.sim.state().files.value(it.key()) == it.value(); }))
                << it.key().toStdString() << ": " << hexOf(w.sim.state().files.value(it.key())).toStdString();
        EXPECT_EQ(w.t.screen.main.memo1, c.log);
        EXPECT_EQ(w.t.clock.pauses, c.pauses);
        EXPECT_FALSE(w.ctx.session.exchangeBusy);
        EXPECT_FALSE(w.t.program.form2.operationRunning());
    }
}

struct InputCase {
    const char* what;
    std::function<void(SetupView&)> fill;
    QString error;  // empty: accepted (the test answers No at the confirmation)
    QString caption = QStringLiteral("Error found!");
    BoxIcon icon = BoxIcon::Error;
};

void checkInputs(WriteResult (*operation)(Program&), const QList<InputCase>& cases) {
    World w;
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.what);
        w.t.dialogs.boxes.clear();
        w.t.dialogs.answers = {false};
        c.fill(w.view);
        const WriteResult result = operation(w.t.program);
        ASSERT_EQ(w.boxes().size(), 1);
        if (c.error.isEmpty()) {
            EXPECT_EQ(result.outcome, WriteOutcome::Cancelled);
            EXPECT_TRUE(w.boxes()[0].confirmation) << w.boxes()[0].text.toStdString();
        } else {
            EXPECT_EQ(result.outcome, WriteOutcome::InvalidInput);
            EXPECT_EQ(result.message, c.error);
            EXPECT_EQ(w.boxes()[0].text, c.error);
            EXPECT_EQ(w.boxes()[0].caption, c.caption);
            EXPECT_EQ(w.boxes()[0].icon, c.icon);
            EXPECT_FALSE(w.boxes()[0].confirmation);
        }
    }
    EXPECT_EQ(w.sim.connectionCount(), 0) << "nothing is sent for a refused or cancelled input";
}

const QString kWifiError = QStringLiteral(
    "    . SSID must less then 31 chars.\n    . Key must around chars  8~14.\n    . If Open type selected, Key can be ignore.");

TEST(SettingsWrites, WifiChecksCountBytes) {
    const auto station = [](const QString& ssid, const QString& key, int type) {
        return [=](SetupView& v) {
            v.edit3 = ssid;
            v.edit4 = key;
            v.radioButton3 = type == 0;
            v.radioButton4 = type == 1;
            v.radioButton5 = type == 2;
        };
    };
    const QString s31(31, 's'), s32(32, 's');
    checkInputs(&StationSsidWrite, {
        {"SSID of 31", station(s31, "", 0), ""},
        {"SSID of 32", station(s32, "", 0), kWifiError},
        {"empty SSID", station("", "", 0), kWifiError},
        {"open ignores a short key", station("x", "abc", 0), ""},
        {"WPA key of 7", station("x", "1234567", 2), kWifiError},
        {"WPA key of 8", station("x", "12345678", 2), ""},
        {"WPA key of 16", station("x", QString(16, 'k'), 2), ""},
        {"WPA key of 17", station("x", QString(17, 'k'), 2), kWifiError},
        {"WEP key of 7", station("x", "1234567", 1), kWifiError},
        {"WEP key of 17", station("x", QString(17, 'k'), 1), kWifiError},
        {"WPA without key", station("x", "", 2), kWifiError},
        {"8-bit characters count one byte each", station(QString(31, QChar(0xE9)), "", 0), ""},
        {"a character 8-bit text cannot hold", station(QStringLiteral("caf\u2603"), "", 0),
         "The character \"\u2603\" (U+2603) at position 4 cannot be written as 8-bit text."},
        {"open does not read the key", station("x", QStringLiteral("\u2603\n"), 0), ""},
        {"a tab in the SSID", station(QStringLiteral("AP\tTAB"), "", 0),
         "The control character U+0009 at position 3 cannot be written to the module."},
        {"a zero in the key", station("x", QStringLiteral("1234\u00005678"), 2),
         "The control character U+0000 at position 5 cannot be written to the module."},
    });
    const auto ap = [](const QString& ssid, const QString& key, bool open) {
        return [=](SetupView& v) {
            v.edit1 = ssid;
            v.edit2 = key;
            v.radioButton1 = open;
            v.radioButton2 = !open;
        };
    };
    checkInputs(&ApSsidWrite, {
        {"SSID of 31", ap(s31, "", true), ""},
        {"SSID of 32", ap(s32, "", true), kWifiError},
        {"key of 7", ap("x", "1234567", false), kWifiError},
        {"key of 8", ap("x", "12345678", false), ""},
        {"key of 16", ap("x", QString(16, 'k'), false), ""},
        {"key of 17", ap("x", QString(17, 'k'), false), kWifiError},
        {"open with an empty key", ap("x", "", true), ""},
    });
}

TEST(SettingsWrites, StaticIpChecksEachAddressInOrder) {
    const QString error = QStringLiteral("    . IP, Mask, Gateway input error.\n");
    const auto fields = [](const QString& ip, const QString& mask, const QString& gateway) {
        return [=](SetupView& v) {
            v.checkBox1 = true;
            v.edit8 = ip;
            v.edit9 = mask;
            v.edit10 = gateway;
        };
    };
    const QString good = QStringLiteral("192.168.1.5");
    QList<InputCase> cases{{"all good", fields(good, "255.255.255.0", good), ""},
                           {"leading zeros", fields("010.0.0.1", "255.255.255.0", "010.0.0.1"), ""}};
    for (const char* bad : {"192.168.1", "192.168.1.256", "192.168.1.5.", "192.168.1.a", "", " 192.168.1.5"}) {
        cases.append({bad, fields(bad, "255.255.255.0", good), error});
        cases.append({bad, fields(good, bad, good), error});
        cases.append({bad, fields(good, "255.255.255.0", bad), error});
    }
    checkInputs(&StaticIpWrite, cases);
}

TEST(SettingsWrites, WebKeyAndLocationLengths) {
    const auto key = [](const QString& text) { return [=](SetupView& v) { v.edit6 = text; }; };
    const QString keyError = QStringLiteral("    . WEB Key must be 5 chars.");
    checkInputs(&WebKeyWrite, {
        {"empty", key(""), keyError},
        {"1 byte", key("a"), ""},
        {"5 bytes", key("abcde"), ""},
        {"6 bytes", key("abcdef"), keyError},
        {"DEL", key(QStringLiteral("ab\u007F")), "The control character U+007F at position 3 cannot be written to the module."},
    });
    const auto location = [](const QString& text) { return [=](SetupView& v) { v.edit5 = text; }; };
    const QString locationError = QStringLiteral("    . Location string must less then 31 chars.");
    checkInputs(&LocationWrite, {
        {"empty", location(""), locationError},
        {"31 bytes", location(QString(31, 'L')), ""},
        {"32 bytes", location(QString(32, 'L')), locationError},
        {"two lines", location(QStringLiteral("two\nlines")),
         "The control character U+000A at position 4 cannot be written to the module."},
    });
}

TEST(SettingsWrites, ModbusChecksPortThenTimeout) {
    const auto modbus = [](const QString& port, const QString& timeout) {
        return [=](SetupView& v) {
            v.edit7 = port;
            v.edit11 = timeout;
        };
    };
    const QString portInput = QStringLiteral("Modbus port input Error");
    const QString portRange = QStringLiteral("Modbus port range Error");
    const QString timeoutInput = QStringLiteral("Modbus Idle Timeout input Error");
    const QString timeoutRange = QStringLiteral("Timeout range must in 1 ~ 65000 Sec! Recommend 30 Sec.");
    checkInputs(&ModbusWrite, {
        {"port 502", modbus("502", "30"), ""},
        {"port 0", modbus("0", "30"), "Port number over range!", portRange, BoxIcon::None},
        {"port 80", modbus("80", "30"), "Port already used!", portInput, BoxIcon::None},
        {"port 13577", modbus("13577", "30"), "Port already used!", portInput, BoxIcon::None},
        {"port 65535", modbus("65535", "30"), ""},
        {"port 65536", modbus("65536", "30"), "Port number over range!", portRange, BoxIcon::None},
        {"port abc", modbus("abc", "30"), "'abc' is not a valid integer value", portInput, BoxIcon::None},
        {"port beyond 32 bits", modbus("4294967798", "30"), "'4294967798' is not a valid integer value", portInput,
         BoxIcon::None},
        {"a bad port hides a bad timeout", modbus("80", "abc"), "Port already used!", portInput, BoxIcon::None},
        {"timeout 0", modbus("502", "0"), timeoutRange, timeoutInput, BoxIcon::None},
        {"timeout 1", modbus("502", "1"), ""},
        {"timeout 65000", modbus("502", "65000"), ""},
        {"timeout 65001", modbus("502", "65001"), timeoutRange, timeoutInput, BoxIcon::None},
        {"timeout abc", modbus("502", "abc"), "'abc' is not a valid integer value", timeoutInput, BoxIcon::None},
    });
}

// A step that does not reach the module, or that the module refuses, ends the operation with one
// error box; nothing after it is sent, no information box follows, the box says which steps had
// already changed the module, and the next request works.
TEST(SettingsWrites, AFailedStepEndsTheOperationWithOneErrorBox) {
    struct Case {
        const char* what;
        std::function<void(World&)> arrange;
        WriteResult (*operation)(Program&);
        WriteOutcome outcome;
        int arrivals;          // what the module took in before the failure
        QString errorStart;    // the error box names the file or command
        QString status;        // the status line afterwards
        QStringList changed;   // the steps already done, listed in the box
    };
    const auto station = [](World& w) {
        w.view.edit3 = "office";
        w.view.edit4 = "password";
        w.view.radioButton5 = true;
    };
    const QStringList stationKeyWritten{"write /local/sta_key.cfg"};
    const Case cases[] = {
        {"module refuses the header",
         [](World& w) { w.view.edit5 = "Roof"; w.sim.setFault(FaultMode::Reject); },
         &LocationWrite, WriteOutcome::Refused, 1,
         "Send FileName: /local/locate.cfg\n    . File header refused by the module (status 21)",
         "Send FileName: /local/locate.cfg", {}},
        {"module refuses the second file",
         [&](World& w) {
             station(w);
             w.t.clock.onPause = [&w](int ms) { if (ms == 200) w.sim.setFault(FaultMode::Reject); };
         },
         &StationSsidWrite, WriteOutcome::Refused, 3,
         "Send FileName: /local/sta_keyT.cfg\n    . File header refused by the module (status 21)",
         "Send FileName: /local/sta_keyT.cfg", stationKeyWritten},
        {"module gone before the second file",
         [&](World& w) {
             station(w);
             w.t.clock.onPause = [&w](int ms) { if (ms == 200) w.ctx.session.tcpPort = closedLoopbackPort(); };
         },
         &StationSsidWrite, WriteOutcome::Failed, 2, "Send FileName: /local/sta_keyT.cfg\n    . File header not sent: ",
         "Connect Timeout", stationKeyWritten},
        {"delete with nobody listening",
         [](World& w) { w.view.checkBox1 = false; w.ctx.session.tcpPort = closedLoopbackPort(); },
         &StaticIpWrite, WriteOutcome::Failed, 0, "Del File: /local/sta_ip.cfg\n    . Delete not sent: ",
         "Connect Timeout", {}},
        {"web key with nobody listening",
         [](World& w) { w.view.edit6 = "abc"; w.ctx.session.tcpPort = closedLoopbackPort(); },
         &WebKeyWrite, WriteOutcome::Failed, 0, "Send WEB Key (command 50)\n    . Not sent: ", "Connect Timeout", {}},
        {"another exchange holds the module",
         [](World& w) { w.view.edit5 = "Roof"; w.ctx.session.exchangeBusy = true; },
         &LocationWrite, WriteOutcome::Failed, 0, "Send FileName: /local/locate.cfg\n    . Module busy with another request",
         "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        c.arrange(w);
        w.t.screen.setup.gauge.position = 4;  // an earlier write's full bar

        const WriteResult result = c.operation(w.t.program);

        EXPECT_EQ(result.outcome, c.outcome);
        ASSERT_EQ(w.boxes().size(), 2) << "the confirmation and one error box";
        EXPECT_EQ(w.boxes()[1].caption, "Error found!");
        EXPECT_EQ(w.boxes()[1].icon, BoxIcon::Error);
        EXPECT_TRUE(w.boxes()[1].text.startsWith(c.errorStart)) << w.boxes()[1].text.toStdString();
        EXPECT_EQ(result.message, w.boxes()[1].text);
        EXPECT_EQ(result.changed, c.changed);
        if (!c.changed.isEmpty()) {
            EXPECT_TRUE(w.boxes()[1].text.contains("\n    . Done before it: " + c.changed.join(", ") + "\n    . Not done: "))
                << w.boxes()[1].text.toStdString();
            EXPECT_EQ(result.notSent, (QStringList{"write /local/sta_keyT.cfg", "write /local/sta_ssid.cfg"}));
        }
        EXPECT_EQ(w.t.screen.main.statusBar2[0], c.status);
        QThread::msleep(50);  // anything sent after the failure would have arrived by now
        EXPECT_EQ(w.sim.arrivals().size(), c.arrivals);
        if (c.outcome == WriteOutcome::Refused && c.changed.isEmpty()) {
            EXPECT_EQ(w.t.screen.setup.gauge.position, 0) << "no earlier bar beside the error";
        }

        if (w.ctx.session.exchangeBusy) w.ctx.session.exchangeBusy = false;  // the test's own hold
        w.sim.setFault(FaultMode::None);
        w.ctx.session.tcpPort = w.sim.port();
        EXPECT_EQ(SendPoll(w.ctx).result, ExchangeResult::Replied) << "the next poll works";
    }
}

// A command written whole and then met by a closed connection (a module that restarts at once
// does this) left this PC: the operation goes on as for a missing reply, not as "not sent".
TEST(SettingsWrites, ACommandTakenWithoutAReplyIsSent) {
    World w;
    w.view.edit6 = "abc";
    w.sim.setFault(FaultMode::Close);
    const WriteResult result = WebKeyWrite(w.t.program);
    EXPECT_EQ(result.outcome, WriteOutcome::Done) << result.message.toStdString();
    ASSERT_EQ(w.boxes().size(), 2);
    EXPECT_EQ(w.boxes()[1].caption, "Information");
}

// The port file is stored whether or not the notice that follows it arrives: the information
// box stands, with a line saying that the notice was missed.
TEST(SettingsWrites, AMissedModbusNoticeKeepsTheInformationBox) {
    const auto missNotice = [](World& w) {
        w.t.clock.onPause = [&w](int ms) {
            if (ms == 300) w.ctx.session.tcpPort = closedLoopbackPort();
        };
    };
    const auto failNoticeLinkCheck = [](World& w) {
        int checks = 0;
        w.ctx.linkCheck = [checks]() mutable { return checks++ < 1; };
    };
    for (const auto& arrange : {std::function<void(World&)>(missNotice), std::function<void(World&)>(failNoticeLinkCheck)}) {
        World w;
        w.view.edit7 = "503";
        w.view.edit11 = "30";
        arrange(w);
        const WriteResult result = ModbusWrite(w.t.program);
        EXPECT_EQ(result.outcome, WriteOutcome::Done);
        ASSERT_EQ(w.boxes().size(), 2);
        EXPECT_EQ(w.boxes()[1].caption, "Information");
        EXPECT_TRUE(w.boxes()[1].text.startsWith("Modify Modbus Port, Timeout write complete,\n    . Manual Reboot to take effect!"));
        EXPECT_TRUE(w.boxes()[1].text.contains("The Modbus notice (command 220) did not reach the module"))
            << w.boxes()[1].text.toStdString();
        EXPECT_FALSE(result.warning.isEmpty());
        EXPECT_TRUE(WaitFor([&w] { return w.sim.state().files.value("/local/mbport.cfg").left(2) == QByteArray("\x01\xF7", 2); }))
            << "the port file was stored";
    }
}

// A failed link check ends an operation without a box of its own, also the one a request
// runs itself just before its command.
TEST(SettingsWrites, FailedLinkCheckEndsSilently) {
    struct Case {
        const char* what;
        std::function<void(SetupView&)> fill;
        WriteResult (*operation)(Program&);
        int passingChecks;  // link checks that pass before the one that fails
        int arrivals;
    };
    const Case cases[] = {
        {"location", [](SetupView& v) { v.edit5 = "Roof"; }, &LocationWrite, 0, 0},
        {"web key, its own check", [](SetupView& v) { v.edit6 = "abc"; }, &WebKeyWrite, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        int checks = 0;
        w.ctx.linkCheck = [&] { return checks++ < c.passingChecks; };
        c.fill(w.view);
        EXPECT_EQ(c.operation(w.t.program).outcome, WriteOutcome::NotLinked);
        ASSERT_EQ(w.boxes().size(), 1);
        EXPECT_TRUE(w.boxes()[0].confirmation);
        QThread::msleep(50);
        EXPECT_EQ(w.sim.arrivals().size(), c.arrivals);
    }
}

TEST(SettingsWrites, NoAtTheConfirmationSendsNothing) {
    World w;
    w.view.edit5 = "Roof";
    w.t.dialogs.answers = {false};
    EXPECT_EQ(LocationWrite(w.t.program).outcome, WriteOutcome::Cancelled);
    EXPECT_EQ(w.boxes().size(), 1);
    EXPECT_EQ(w.sim.connectionCount(), 0);
}

// The window keeps serving clicks while an operation waits; a second one, a write or a
// maintenance action, does nothing.
TEST(SettingsWrites, ASecondClickDuringAnOperationDoesNothing) {
    World w;
    TForm2& form = w.t.program.form2;
    w.view.edit5 = "Roof";
    w.view.edit6 = "abc";
    w.view.edit1 = "ap";
    bool runningInside = false;
    w.t.clock.onPause = [&](int) {
        runningInside = form.operationRunning();
        form.Image5Click();
        form.Image2Click();
        form.Image6Click();
        form.Image8Click();  // a maintenance action shares the one-at-a-time rule
    };

    form.Image6Click();

    EXPECT_TRUE(runningInside);
    EXPECT_FALSE(form.operationRunning());
    EXPECT_EQ(w.arrivals(2), fileWrite("/local/locate.cfg", "Roof"));
    ASSERT_EQ(w.boxes().size(), 2);
    EXPECT_EQ(w.boxes()[1].text, "Location string write complete" + kReboot);
}

}  // namespace
}  // namespace rzl::test
