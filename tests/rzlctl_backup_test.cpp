// rzlctl backup and restore against simulated modules on loopback: the file a backup writes,
// files a restore refuses before sending anything, what a restore writes and skips, and a
// clone from one module to another.

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include <vector>

#include "sim/simulator.h"
#include "tests/support/file_frames.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/wait.h"
#include "ui/setup/settings_backup.h"

namespace rzl::test {
namespace {

using sim::Arrival;
using sim::ModuleState;
using sim::SimOptions;
using sim::SimulatorThread;

// A module unlike the simulator's defaults in every group.
ModuleState ModuleA() {
    ModuleState s;
    s.mac = {0x00, 0x1A, 0x2B, 0x00, 0x00, 0xAA};
    s.location = "Pump house";
    s.apSsid = "pump-ap";
    s.apKey = "apsecret1";
    s.apKeyType = 2;
    s.staSsid = "plant-net";
    s.staKey = "wepkey123";
    s.staKeyType = 1;
    s.wifiModeAp = false;
    s.staticIp = true;
    s.staIp = {192, 168, 1, 50};
    s.staNetmask = {255, 255, 255, 0};
    s.staGateway = {192, 168, 1, 1};
    s.modbusPort = 1502;
    s.idleTimeout = 30;
    return s;
}

constexpr int kIdentify = 33, kReboot = 45, kWifiMode = 48, kDeleteFile = 93, kFileHeader = 95;

struct Fixture {
    SimulatorThread sim;
    QTemporaryDir dir;

    explicit Fixture(const ModuleState& state = {}) : sim(SimOptions{.initialState = state}) {
        EXPECT_TRUE(sim.start());
    }
    QString file(const QString& name = QStringLiteral("settings.json")) const { return dir.filePath(name); }
    CliRun run(const QStringList& args, const std::function<void()>& whileRunning = {}, const CliInput& input = {}) const {
        return RunRzlctl(QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port())} + args,
                         dir.path(), 30000, whileRunning, input);
    }
    CliRun run(const QStringList& args, const CliInput& input) const { return run(args, {}, input); }
    // A file holding `key` on its first line, as a user keeps one.
    QString keyFile(const QString& name, const QByteArray& key) const {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(key + "\n");
        return f.fileName();
    }
    // The files the module was sent, in order. A content stream is not answered: rzlctl may have
    // ended before the module has taken in the last one.
    QStringList filesSent() const {
        const auto count = [&](bool contents) {
            return std::ranges::count_if(sim.arrivals(), [&](const Arrival& a) {
                return contents ? a.kind == Arrival::Content : a.kind == Arrival::Frame && a.frame.at(4) == kFileHeader;
            });
        };
        EXPECT_TRUE(WaitFor([&] { return count(true) == count(false); }));
        QStringList names;
        for (const Arrival& a : sim.arrivals())
            if (a.kind == Arrival::Content) names.append(QString::fromLatin1(a.fileName));
        return names;
    }
    QList<int> commandsSent() const {
        QList<int> codes;
        for (const Arrival& a : sim.arrivals())
            if (a.kind == Arrival::Frame) codes.append(static_cast<std::uint8_t>(a.frame.at(4)));
        return codes;
    }
};

void Write(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

SavedSettings Read(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QString error;
    const auto settings = ReadSettingsFile(f.readAll(), &error);
    EXPECT_TRUE(settings) << error.toStdString();
    return settings.value_or(SavedSettings{});
}

TEST(RzlctlBackup, BackupWritesTheModulesSettingsWithoutKeys) {
    Fixture a(ModuleA());
    const CliRun run = a.run({"backup", a.file()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Saved the settings of")) << run.out.toStdString();
    EXPECT_EQ(a.commandsSent(), QList<int>{kIdentify}) << "a backup only asks";

    const SavedSettings s = Read(a.file());
    EXPECT_EQ(s.mac, "00:1A:2B:00:00:AA");
    EXPECT_EQ(s.modelCode, 176);
    EXPECT_EQ(s.firmware, "01.0A");
    EXPECT_EQ(s.location, "Pump house");
    EXPECT_EQ(s.apSsid, "pump-ap");
    EXPECT_TRUE(s.apSecured);
    EXPECT_EQ(s.staSsid, "plant-net");
    EXPECT_EQ(s.staKeyType, 1);
    EXPECT_FALSE(s.wifiModeAp);
    EXPECT_TRUE(s.staticIp);
    EXPECT_EQ(s.staIp + " " + s.staNetmask + " " + s.staGateway, "192.168.1.50 255.255.255.0 192.168.1.1");
    EXPECT_EQ(s.modbusPort, 1502);
    EXPECT_EQ(s.modbusIdleTimeout, 30);
    QFile f(a.file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_FALSE(text.contains("apsecret1") || text.contains("wepkey123")) << "the keys stay out of the file";
}

TEST(RzlctlBackup, AFileThatCannotBeUsedIsRefusedWithNothingSent) {
    Fixture b;
    ASSERT_EQ(b.run({"backup", b.file("good.json")}).exitCode, 0);
    QFile good(b.file("good.json"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray text = good.readAll();
    QJsonObject other = QJsonDocument::fromJson(text).object();
    other["version"] = 2;
    Write(b.file("v2.json"), QJsonDocument(other).toJson());
    Write(b.file("broken.json"), text.left(text.size() / 2));
    Write(b.file("big.json"), QByteArray(70000, ' ') + text);
    struct Case {
        QStringList args;
        QString error;
    };
    const Case cases[] = {
        {{"restore", b.file("v2.json")}, "a settings file of format version 2"},
        {{"restore", b.file("broken.json")}, "not a settings file"},
        {{"restore", b.file("big.json")}, "not a settings file: larger than"},
        {{"restore", b.file("missing.json")}, "missing.json: "},
        {{"restore", b.file("good.json"), "--ap-key-file", b.keyFile("ap.key", "secret99")},
         "--ap-key was given, but the file's access point is open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        b.sim.clearReceived();
        const CliRun run = b.run(QStringList{"--yes"} + c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.error)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("nothing was")) << run.err.toStdString();
        for (int code : b.commandsSent()) EXPECT_EQ(code, kIdentify) << "only asked, never written";
        EXPECT_TRUE(b.filesSent().isEmpty());
    }
    // A restore option with another command is refused, not dropped: the key meant for set-ap
    // would leave the access point open.
    for (const QStringList& args : {QStringList{"set-ap", "my-ap", "--ap-key-file", b.file("ap.key")},
                                    QStringList{"backup", b.file("x.json"), "--station-key", "-"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        b.sim.clearReceived();
        const CliRun run = b.run(QStringList{"--yes"} + args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("go with restore only")) << run.err.toStdString();
        QThread::msleep(100);
        EXPECT_TRUE(b.sim.arrivals().isEmpty());
    }
    // The file is read before the module is asked anything.
    b.sim.clearReceived();
    b.run({"--yes", "restore", b.file("v2.json")});
    QThread::msleep(100);
    EXPECT_TRUE(b.sim.arrivals().isEmpty());
}

TEST(RzlctlBackup, RestoreWritesWhatDiffersAndSkipsASecuredGroupWithoutItsKey) {
    struct Case {
        const char* what;
        std::function<void(ModuleState&)> file;  // the module the file was taken from
        QStringList options;
        int exitCode;
        QStringList out;        // lines the diff shows
        QStringList files;      // written, in order
        QList<int> commands;    // after the identify
        QByteArray standardInput = {};
    };
    const Case cases[] = {
        {"the same settings", [](ModuleState&) {}, {}, 0, {"Nothing to do"}, {}, {}},
        {"a location",
         [](ModuleState& s) { s.location = "Roof"; },
         {}, 0, {"Location:    \"Lab bench\"  ->  \"Roof\""}, {"/local/locate.cfg"}, {}},
        {"a secured AP without its key is skipped, the rest written",
         [](ModuleState& s) {
             s.apKeyType = 2;
             s.modbusPort = 1502;
         },
         {}, 1, {"AP:", "skipped: secured in the file and no --ap-key given", "Modbus:"}, {"/local/mbport.cfg"}, {220}},
        {"a secured AP with its key",
         [](ModuleState& s) { s.apKeyType = 2; },
         {"--ap-key", "-"}, 0, {"AP:          \"rZL-K110-AP\" (open)  ->  \"rZL-K110-AP\" (WPA/WPA2)"},
         {"/local/ap_key.cfg", "/local/ap_ssid.cfg"}, {}, "apsecret1\n"},
        {"a WPA station without its key, though nothing else of it differs, is left",
         [](ModuleState& s) { s.location = "Roof"; }, {}, 0, {"Location:"}, {"/local/locate.cfg"}, {}},
        {"an open station with another SSID",
         [](ModuleState& s) {
             s.staSsid = "guest";
             s.staKeyType = 0;
         },
         {}, 0, {"Station:"}, {"/local/sta_keyT.cfg", "/local/sta_ssid.cfg"}, {}},
        {"a static address",
         [](ModuleState& s) {
             s.staticIp = true;
             s.staIp = {10, 0, 0, 5};
         },
         {}, 0, {"Static IP:   off  ->  10.0.0.5 mask 255.255.255.0 gateway 0.0.0.0"}, {"/local/sta_ip.cfg"}, {}},
        {"Wi-Fi mode is left without --reboot",
         [](ModuleState& s) { s.wifiModeAp = false; }, {}, 0, {"not switched"}, {}, {}},
        {"Wi-Fi mode with --reboot is the restart",
         [](ModuleState& s) { s.wifiModeAp = false; }, {"--reboot"}, 0, {"Verified"}, {}, {kWifiMode, kIdentify}},
        {"--reboot restarts after the writes and checks",
         [](ModuleState& s) { s.location = "Roof"; }, {"--reboot"}, 0, {"Verified"}, {"/local/locate.cfg"},
         {kReboot, kIdentify}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModuleState source;
        c.file(source);
        Fixture from(source);
        ASSERT_EQ(from.run({"backup", from.file()}).exitCode, 0);
        Fixture to;
        const CliRun run = to.run(QStringList{"--yes", "restore", from.file()} + c.options, {c.standardInput, {}});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        for (const QString& line : c.out) EXPECT_TRUE(run.out.contains(line)) << run.out.toStdString();
        EXPECT_EQ(to.filesSent(), c.files);
        // The file steps' own frames (headers, deletes) are left out: the files are compared above.
        QList<int> commands = to.commandsSent().mid(1);
        commands.removeAll(kFileHeader);
        commands.removeAll(kDeleteFile);
        // As vectors: Qt's own comparison of two empty lists hands memcmp a null pointer.
        EXPECT_EQ(std::vector<int>(commands.begin(), commands.end()),
                  std::vector<int>(c.commands.begin(), c.commands.end()))
            << run.err.toStdString();
    }
}

TEST(RzlctlBackup, AfterTheRestartTheModuleMustReportTheFilesSettings) {
    struct Case {
        const char* what;
        std::function<void(SimulatorThread&)> afterReboot;
        int exitCode;
        QString error;
    };
    const Case cases[] = {
        {"it comes back with another location",
         [](SimulatorThread& sim) {
             ModuleState s = sim.state();
             s.location = "Elsewhere";
             sim.setState(s);
         },
         3, "Location: the module reports \"Elsewhere\", the file has \"Roof\""},
        {"it does not come back", [](SimulatorThread& sim) { sim.stop(); }, 2,
         "the module did not answer at 127.0.0.1 within 2 s of the restart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModuleState source;
        source.location = "Roof";
        Fixture from(source);
        ASSERT_EQ(from.run({"backup", from.file()}).exitCode, 0);
        Fixture to;
        // rzlctl waits a moment after the restart before it asks: time to change the module.
        bool changed = false;
        const CliRun run = to.run({"--yes", "restore", from.file(), "--reboot", "--reboot-wait", "2"}, [&] {
            if (changed || !to.commandsSent().contains(kReboot)) return;
            changed = true;
            c.afterReboot(to.sim);
        });
        ASSERT_TRUE(changed);
        const QString& err = run.err;
        EXPECT_EQ(run.exitCode, c.exitCode) << err.toStdString();
        EXPECT_TRUE(err.contains(c.error)) << err.toStdString();
    }
}

TEST(RzlctlBackup, AModuleClonedFromAnotherReportsItsSettings) {
    Fixture a(ModuleA());
    ASSERT_EQ(a.run({"backup", a.file()}).exitCode, 0);
    Fixture b;

    // Without a terminal and without --yes the diff is shown and nothing is written.
    const CliInput keys{{}, {"RZL_AP_KEY=apsecret1"}};
    const QString stationKey = b.keyFile("station.key", "wepkey123");
    CliRun run = b.run({"restore", a.file(), "--station-key-file", stationKey, "--reboot"}, keys);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("refused: standard input is not a terminal")) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("MAC: 00:1A:2B:3C:4D:5E on the module, 00:1A:2B:00:00:AA in the file")) << run.out.toStdString();
    EXPECT_TRUE(b.filesSent().isEmpty());

    run = b.run({"--yes", "restore", a.file(), "--station-key-file", stationKey, "--reboot"}, keys);
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Verified")) << run.out.toStdString();

    // What B now reports, read as any user reads it.
    ASSERT_EQ(b.run({"backup", b.file("b.json")}).exitCode, 0);
    const SavedSettings fromA = Read(a.file()), nowB = Read(b.file("b.json"));
    for (SettingsGroup group : SettingsGroups())
        EXPECT_FALSE(GroupDiffers(group, fromA, nowB)) << GroupName(group).toStdString() << ": "
                                                       << GroupText(group, nowB).toStdString();
    EXPECT_NE(nowB.mac, fromA.mac) << "B is still B";
    EXPECT_EQ(b.sim.state().apKey, "apsecret1");
    EXPECT_EQ(b.sim.state().staKey, "wepkey123");

    // Restored once, the same file has nothing more to do.
    run = b.run({"--yes", "restore", a.file()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("Nothing to do")) << run.out.toStdString();
}

}  // namespace
}  // namespace rzl::test
