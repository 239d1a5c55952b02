// rzlctl's settings writes as a user runs them: the same frames as the setup window's images,
// the module showing the new value after a reboot, and the exit codes of refusals and failures.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/file_frames.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

using sim::Arrival;
using sim::FaultMode;
using sim::SimulatorThread;

// rzlctl in an empty directory, without a terminal, against a module on loopback.
CliRun rzlctl(std::uint16_t port, QStringList args, const CliInput& input = {}) {
    QTemporaryDir dir;
    args.prepend(QStringLiteral("--device=127.0.0.1:%1").arg(port));
    args.prepend(QStringLiteral("--no-link-check"));
    return RunRzlctl(args, dir.path(), 60000, {}, input);
}

// Everything the module took in, once nothing more has come for a moment.
QStringList described(const SimulatorThread& sim) {
    for (qsizetype seen = -1; seen != sim.arrivals().size();) {
        seen = sim.arrivals().size();
        QThread::msleep(100);
    }
    QStringList lines;
    for (const Arrival& a : sim.arrivals()) lines.append(describe(a));
    return lines;
}

// What the setup window sends for the same values: the image clicked in-process.
QStringList framesOfTheWindow(const std::function<void(SetupView&)>& fill, void (TForm2::*click)()) {
    SimulatorThread sim;
    EXPECT_TRUE(sim.start());
    TestProgram t;
    t.target(sim.port());
    fill(t.screen.setup);
    (t.program.form2.*click)();
    return described(sim);
}

QJsonObject identifySettings(std::uint16_t port, QJsonObject* whole = nullptr) {
    const CliRun run = rzlctl(port, {"--json", "identify"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    if (whole) *whole = json;
    return json["details"].toObject()["settings"].toObject();
}

TEST(RzlctlSettings, EachWriteSendsTheWindowsFramesAndShowsAfterAReboot) {
    struct Case {
        QStringList args;
        std::function<void(SetupView&)> fill;  // the same values typed into the setup window
        void (TForm2::*click)();
        std::function<void(const QJsonObject& identify)> check;  // after the reboot
        CliInput input;  // the keys, never in the arguments
    };
    // A group of the settings identify reports, under the backup file's names.
    const auto group = [](const QJsonObject& j, const char* name) {
        return j["details"].toObject()["settings"].toObject()[name].toObject();
    };
    const auto settings = [](const QJsonObject& j) { return j["details"].toObject()["settings"].toObject(); };
    const Case cases[] = {
        {{"set-ap", "my-ap", "-"},
         [](SetupView& v) { v.edit1 = "my-ap"; v.edit2 = "secret99"; v.radioButton1 = false; v.radioButton2 = true; },
         &TForm2::Image2Click,
         [&](const QJsonObject& j) {
             EXPECT_EQ(group(j, "ap")["ssid"].toString(), "my-ap");
             EXPECT_EQ(group(j, "ap")["keyType"].toString(), "wpa");
         },
         {"secret99\n", {}}},
        {{"set-ap", "open-ap"},
         [](SetupView& v) { v.edit1 = "open-ap"; v.edit2 = ""; v.radioButton1 = true; v.radioButton2 = false; },
         &TForm2::Image2Click,
         [&](const QJsonObject& j) {
             EXPECT_EQ(group(j, "ap")["ssid"].toString(), "open-ap");
             EXPECT_EQ(group(j, "ap")["keyType"].toString(), "open");
         }},
        {{"set-station", "office", "--type", "wep"},
         [](SetupView& v) {
             v.edit3 = "office"; v.edit4 = "12345678";
             v.radioButton3 = false; v.radioButton4 = true; v.radioButton5 = false;
         },
         &TForm2::Image3Click,
         [&](const QJsonObject& j) {
             EXPECT_EQ(group(j, "station")["ssid"].toString(), "office");
             EXPECT_EQ(group(j, "station")["keyType"].toString(), "wep");
         },
         {{}, {"RZL_STATION_KEY=12345678"}}},
        {{"set-station", "office", "--type", "open"},  // open: the key is not sent, its file deleted
         [](SetupView& v) {
             v.edit3 = "office"; v.edit4 = "left-over";
             v.radioButton3 = true; v.radioButton4 = false; v.radioButton5 = false;
         },
         &TForm2::Image3Click,
         [&](const QJsonObject& j) {
             EXPECT_EQ(group(j, "station")["ssid"].toString(), "office");
             EXPECT_EQ(group(j, "station")["keyType"].toString(), "open");
         },
         {{}, {"RZL_STATION_KEY=left-over"}}},
        {{"set-static-ip", "192.168.1.50", "255.255.255.0", "192.168.1.1"},
         [](SetupView& v) { v.checkBox1 = true; v.edit8 = "192.168.1.50"; v.edit9 = "255.255.255.0"; v.edit10 = "192.168.1.1"; },
         &TForm2::Image10Click,
         [&](const QJsonObject& j) {
             EXPECT_TRUE(group(j, "staticIp")["enabled"].toBool());
             EXPECT_EQ(group(j, "staticIp")["ip"].toString(), "192.168.1.50");
             EXPECT_EQ(group(j, "staticIp")["mask"].toString(), "255.255.255.0");
             EXPECT_EQ(group(j, "staticIp")["gateway"].toString(), "192.168.1.1");
         }},
        {{"clear-static-ip"},
         [](SetupView& v) { v.checkBox1 = false; },
         &TForm2::Image10Click,
         [&](const QJsonObject& j) { EXPECT_FALSE(group(j, "staticIp")["enabled"].toBool()); }},
        {{"set-location", "Roof top"},
         [](SetupView& v) { v.edit5 = "Roof top"; },
         &TForm2::Image6Click,
         [&](const QJsonObject& j) { EXPECT_EQ(settings(j)["location"].toString(), "Roof top"); }},
        {{"set-modbus", "1502", "30"},
         [](SetupView& v) { v.edit7 = "1502"; v.edit11 = "30"; },
         &TForm2::Image9Click,
         [&](const QJsonObject& j) {
             EXPECT_EQ(group(j, "modbus")["port"].toInt(), 1502);
             EXPECT_EQ(group(j, "modbus")["idleTimeout"].toInt(), 30);
         }},
        {{"set-web-key"},
         [](SetupView& v) { v.edit6 = "abc"; },
         &TForm2::Image5Click,
         nullptr,
         {{}, {"RZL_WEB_KEY=abc"}}},
    };
    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    TestProgram rebooter;
    rebooter.target(sim.port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        sim.clearReceived();
        const CliRun run = rzlctl(sim.port(), QStringList{"--yes"} + c.args, c.input);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("complete")) << run.out.toStdString();
        EXPECT_EQ(described(sim), framesOfTheWindow(c.fill, c.click));

        if (!c.check) continue;
        SendReboot(rebooter.ctx);
        described(sim);
        QJsonObject identify;
        identifySettings(sim.port(), &identify);
        c.check(identify);
    }
    EXPECT_EQ(sim.state().webKey, "abc") << "the web key is in effect at once";
}

TEST(RzlctlSettings, RefusalsAndFailuresHaveTheirExitCodes) {
    struct Case {
        QStringList args;
        FaultMode fault;
        int exitCode;
        QString outcome;  // in the JSON object
        QString message;
        int arrivals;
        QByteArray standardInput = {};
    };
    const Case cases[] = {
        {{"--yes", "set-modbus", "80", "30"}, FaultMode::None, 1, "invalid", "Port already used!", 0},
        {{"--yes", "set-modbus", "abc", "30"}, FaultMode::None, 1, "invalid", "'abc' is not a valid integer value", 0},
        {{"--yes", "set-modbus", "-1", "30"}, FaultMode::None, 1, "invalid", "Port number over range!", 0},
        {{"--yes", "set-web-key", "-"}, FaultMode::None, 1, "invalid", "    . WEB Key must be 5 chars.", 0, "abcdef\n"},
        {{"--yes", "set-static-ip", "192.168.1.50", "255.0.255.0", "192.168.1.1"}, FaultMode::None, 1, "invalid",
         "    . Mask 255.0.255.0 is not a subnet mask: its ones must come first", 0},
        {{"--yes", "set-static-ip", "192.168.1.50", "255.255.255.0", "10.0.0.1"}, FaultMode::None, 1, "invalid",
         "    . Gateway 10.0.0.1 is outside the subnet of 192.168.1.50 with mask 255.255.255.0.", 0},
        {{"set-location", "Roof"}, FaultMode::None, 1, "cancelled",
         "refused: standard input is not a terminal (use --yes)", 0},
        {{"--yes", "set-location", "Roof"}, FaultMode::Reject, 3, "refused",
         "Send FileName: /local/locate.cfg\n    . File header refused by the module (status 21)", 1},
    };
    SimulatorThread sim;
    ASSERT_TRUE(sim.start());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        sim.clearReceived();
        sim.setFault(c.fault);
        const CliRun run = rzlctl(sim.port(), QStringList{"--json"} + c.args, {c.standardInput, {}});
        EXPECT_EQ(run.exitCode, c.exitCode);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        EXPECT_EQ(json["outcome"].toString(), c.outcome) << run.out.toStdString();
        EXPECT_TRUE(json["details"].toObject()["message"].toString().startsWith(c.message)) << run.out.toStdString();
        EXPECT_EQ(json["exit"].toInt(), c.exitCode);
        if (c.outcome != "cancelled") {
            EXPECT_TRUE(run.err.contains(c.message)) << "the operation's own text: " << run.err.toStdString();
        }
        EXPECT_EQ(described(sim).size(), c.arrivals);
        sim.setFault(FaultMode::None);
    }
    // Arguments that do not fit a command are a usage error before anything is sent.
    const int connections = sim.connectionCount();
    for (const QStringList& args : {QStringList{"set-ap"}, QStringList{"set-modbus", "502"},
                                    QStringList{"set-station", "x", "--type", "wpa2"},
                                    QStringList{"set-location", "x", "--type", "wep"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(rzlctl(sim.port(), QStringList{"--yes"} + args).exitCode, 1);
    }
    EXPECT_EQ(sim.connectionCount(), connections);
}

}  // namespace
}  // namespace rzl::test
