// Every rzlctl command's --json result against the one definition the README gives (written out
// in tests/support/result_shape.h): usage errors and every outcome included.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include "sim/simulator.h"
#include "tests/support/loopback_listeners.h"
#include "tests/support/result_shape.h"
#include "tests/support/rzlctl_run.h"

namespace rzl::test {
namespace {

using sim::FaultMode;
using sim::SimulatorThread;

struct Row {
    QStringList args;
    QString command;  // expected in the result; empty: null
    QString outcome;
    std::function<void(SimulatorThread&)> before = {};  // puts the module in the row's state
    CliInput input = {};
    bool device = true;  // --device and --no-link-check given
};

class RzlctlJson : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(dir.isValid());
        QFile image(dir.filePath("image.bin"));
        ASSERT_TRUE(image.open(QIODevice::WriteOnly));
        image.write(QByteArray(3000, '\x21'));
    }

    CliRun run(const Row& row) {
        QStringList args{"--json"};
        if (row.device) args << "--no-link-check" << QStringLiteral("--device=127.0.0.1:%1").arg(sim.port());
        return RunRzlctl(args + row.args, dir.path(), 30000, {}, row.input);
    }

    // A result line of `row`, checked against the definition.
    QJsonObject checked(const Row& row) {
        sim.setState(sim::ModuleState{});
        sim.setFault(FaultMode::None);
        if (row.before) row.before(sim);
        const CliRun result = run(row);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 1) << result.out.toStdString() << result.err.toStdString();
        if (lines.isEmpty()) return {};
        EXPECT_EQ(ShapeProblem(lines.last(), row.command, result.exitCode), QString()) << lines.last().toStdString();
        const QJsonObject json = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        EXPECT_EQ(json["outcome"].toString(), row.outcome) << lines.last().toStdString() << result.err.toStdString();
        return json;
    }

    QString file(const QString& name) const { return dir.filePath(name); }

    SimulatorThread sim;
    QTemporaryDir dir;
};

TEST_F(RzlctlJson, EveryCommandsResultFollowsTheOneDefinition) {
    const auto fault = [](FaultMode mode) { return [mode](SimulatorThread& s) { s.setFault(mode); }; };
    const auto foreign = [](SimulatorThread& s) {
        sim::ModuleState state;
        state.address = {127, 0, 0, 2};
        s.setState(state);
    };
    const auto securedAp = [](SimulatorThread& s) {
        sim::ModuleState state;
        state.apKeyType = 2;
        state.location = "Elsewhere";
        s.setState(state);
    };
    // A backup of a module with a secured AP, for the restore rows.
    Row backupSecured{{"backup", file("secured.json")}, "backup", "done", securedAp};
    ASSERT_EQ(checked(backupSecured)["outcome"], "done");
    Row backupPlain{{"backup", file("plain.json")}, "backup", "done"};
    ASSERT_EQ(checked(backupPlain)["outcome"], "done");

    const QString closed = QStringLiteral("--device=127.0.0.1:%1").arg(closedLoopbackPort());
    const Row rows[] = {
        {{"identify"}, "identify", "done"},
        {{"status"}, "status", "done"},
        {{"--yes", "set-do", "2", "on"}, "set-do", "done"},
        {{"locate"}, "locate", "done"},
        {{"counters"}, "counters", "done"},
        {{"--yes", "clear-counter", "3"}, "clear-counter", "done"},
        {{"--count", "1", "watch"}, "watch", "done"},
        {{"--yes", "set-ap", "my-ap", "-"}, "set-ap", "done", {}, {"secret99\n", {}}},
        {{"--yes", "set-station", "office", "--type", "wep"}, "set-station", "done", {}, {{}, {"RZL_STATION_KEY=12345678"}}},
        {{"--yes", "set-static-ip", "10.0.0.5", "255.255.255.0", "10.0.0.1"}, "set-static-ip", "done"},
        {{"--yes", "clear-static-ip"}, "clear-static-ip", "done"},
        {{"--yes", "set-web-key"}, "set-web-key", "done", {}, {{}, {"RZL_WEB_KEY=abc"}}},
        {{"--yes", "set-location", "Roof"}, "set-location", "done"},
        {{"--yes", "set-modbus", "1502", "30"}, "set-modbus", "done"},
        {{"--yes", "wifi-mode", "station"}, "wifi-mode", "done"},
        {{"--yes", "reset-defaults"}, "reset-defaults", "done"},
        {{"--yes", "reboot"}, "reboot", "done"},
        {{"--yes", "firmware", file("image.bin")}, "firmware", "done"},
        {{"backup", file("again.json")}, "backup", "done"},
        {{"--yes", "restore", file("plain.json")}, "restore", "done"},
        {{"scan", "127.0.0.1/32", QStringLiteral("--port=%1").arg(sim.port())}, "scan", "done", {}, {}, false},
        // Each outcome that is not "done".
        {{"frobnicate"}, "", "invalid"},
        {{}, "", "invalid"},
        {{"--bogus", "status"}, "status", "invalid"},
        {{"set-do", "6", "on"}, "set-do", "invalid"},
        {{"--yes", "set-modbus", "80", "30"}, "set-modbus", "invalid"},
        {{"--yes", "set-web-key"}, "set-web-key", "invalid"},  // no key anywhere, no terminal to ask
        {{"set-do", "2", "on"}, "set-do", "cancelled"},
        {{"--yes", "restore", file("secured.json")}, "restore", "skipped"},
        {{"--no-link-check", closed, "status"}, "status", "unreachable", {}, {}, false},
        {{"--no-link-check", closed, "--yes", "reboot"}, "reboot", "not-sent", {}, {}, false},
        {{"locate"}, "locate", "no-reply", fault(FaultMode::Garbage)},
        {{"counters"}, "counters", "refused", fault(FaultMode::Reject)},
        {{"--yes", "set-do", "2", "on"}, "set-do", "mismatch", fault(FaultMode::Stuck)},
        {{"identify", QStringLiteral("--device=127.0.0.1:%1").arg(sim.port())}, "identify", "not-linked", {}, {}, false},
        {{"identify"}, "identify", "foreign-module", foreign},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args.join(' ').toStdString());
        checked(row);
    }
}

// identify, status, backup and the writes that identify first name the module alike; identify
// and backup name the settings as the backup file does.
TEST_F(RzlctlJson, TheSameFactsHaveTheSameNamesInEveryCommand) {
    const QJsonObject identify = checked({{"identify"}, "identify", "done"});
    const QJsonObject status = checked({{"status"}, "status", "done"});
    const QJsonObject setDo = checked({{"--yes", "set-do", "1", "on"}, "set-do", "done"});
    const QJsonObject backup = checked({{"backup", file("b.json")}, "backup", "done"});
    const QJsonObject module = identify["module"].toObject();
    EXPECT_EQ(module["modelCode"].toInt(), 176);
    EXPECT_EQ(module["mac"].toString(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(module["address"].toString(), "127.0.0.1");
    EXPECT_EQ(module["port"].toInt(), sim.port());
    for (const QJsonObject& other : {status, setDo, backup}) EXPECT_EQ(other["module"].toObject(), module);
    for (const char* io : {"do", "di", "doMask", "diMask"})
        EXPECT_TRUE(status["details"].toObject().contains(io) && identify["details"].toObject().contains(io)) << io;

    QFile saved(file("b.json"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QJsonObject inFile = QJsonDocument::fromJson(saved.readAll()).object();
    QJsonObject fileModule = inFile.take("module").toObject();
    inFile.remove("format");
    inFile.remove("version");
    EXPECT_EQ(identify["details"].toObject()["settings"].toObject(), inFile);
    EXPECT_EQ(backup["details"].toObject()["settings"].toObject(), inFile);
    for (auto it = fileModule.begin(); it != fileModule.end(); ++it) EXPECT_EQ(module[it.key()], it.value()) << it.key().toStdString();
}

// --device takes a host name: looked up, the address used said on standard error and in the result.
TEST_F(RzlctlJson, LocalhostIsLookedUpAndTheAddressShown) {
    const CliRun run = RunRzlctl({"--json", "--no-link-check", QStringLiteral("--device=localhost:%1").arg(sim.port()), "identify"},
                                 dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("rzlctl: localhost is 127.0.0.1")) << run.err.toStdString();
    const QJsonObject module = QJsonDocument::fromJson(run.out.toUtf8()).object()["module"].toObject();
    EXPECT_EQ(module["host"].toString(), "localhost");
    EXPECT_EQ(module["address"].toString(), "127.0.0.1");
    EXPECT_EQ(ShapeProblem(run.out.trimmed(), "identify", 0), QString());
}

}  // namespace
}  // namespace rzl::test
