// rzlctl scan as a user runs it, against simulated modules on 127.0.0.x. The scan of this
// PC's own networks runs only inside a private network namespace (scan_netns_test.sh).

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "tests/support/loopback_modules.h"
#include "tests/support/rzlctl_run.h"

namespace {

using rzl::sim::FaultMode;

using rzl::test::CliRun;

class RzlctlScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims.start({{2}, {3, FaultMode::Silent}, {6, FaultMode::None, 177}}));
        auto state = sims.modules[2]->state();
        state.location = "Hall B, north wall";
        state.wifiModeAp = false;
        state.rssi = 0;
        sims.modules[2]->setState(state);
    }

    CliRun rzlctl(const QStringList& args) { return rzl::test::RunRzlctl(args); }

    QString port() const { return QString::number(sims.port); }

    rzl::test::LoopbackModules sims;
};

TEST_F(RzlctlScanTest, OneLinePerModuleSortedByAddress) {
    const CliRun run = rzlctl({"scan", "127.0.0.0/29", "--port", port(), "--timeout-ms", "400"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << run.out.toStdString();
    EXPECT_EQ(lines[0].simplified(),
              QStringLiteral("127.0.0.2 rZL-K110 Tiny I/O Controller 00:1A:2B:3C:4D:5E V01.0A \"Lab bench\" -60 dBm AP"));
    EXPECT_EQ(lines[1].simplified(), QStringLiteral("127.0.0.6 rZL-K130 Tiny I/O Controller 00:1A:2B:3C:4D:5E V01.0A "
                                                    "\"Hall B, north wall\" no RSSI Station"));
    // Not a terminal: no progress line.
    EXPECT_FALSE(run.err.contains("scanning")) << run.err.toStdString();
}

TEST_F(RzlctlScanTest, JsonParsesBack) {
    const CliRun run = rzlctl({"--json", "scan", "127.0.0.0/29", "--port", port(), "--parallel", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(result["command"].toString(), "scan");
    EXPECT_EQ(result["outcome"].toString(), "done");
    const QJsonObject json = result["details"].toObject();
    EXPECT_EQ(json["scanned"].toInt(), 6);
    EXPECT_EQ(json["port"].toInt(), sims.port);
    EXPECT_EQ(json["ranges"].toArray(), QJsonArray({"127.0.0.0/29"}));
    const QJsonArray modules = json["modules"].toArray();
    ASSERT_EQ(modules.size(), 2);
    const QJsonObject first = modules[0].toObject();
    EXPECT_EQ(first["address"].toString(), "127.0.0.2");
    EXPECT_EQ(first["model"].toString(), "rZL-K110 Tiny I/O Controller");
    EXPECT_EQ(first["modelCode"].toInt(), 176);
    EXPECT_EQ(first["mac"].toString(), "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(first["firmware"].toString(), "01.0A");
    EXPECT_EQ(first["rssi"].toInt(), -60);
    EXPECT_EQ(first["wifiMode"].toString(), "AP");
    const QJsonObject second = modules[1].toObject();
    EXPECT_EQ(second["location"].toString(), "Hall B, north wall");
    EXPECT_FALSE(second.contains("rssi"));
    EXPECT_EQ(second["wifiMode"].toString(), "Station");
}

TEST_F(RzlctlScanTest, NoModuleIsExitThreeAndTraceShowsTheFrames) {
    const CliRun none = rzlctl({"--json", "scan", "127.0.0.8/30", "--port", port()});
    EXPECT_EQ(none.exitCode, 3);
    const QJsonObject result = QJsonDocument::fromJson(none.out.toUtf8()).object();
    EXPECT_EQ(result["outcome"].toString(), "no-reply") << none.out.toStdString();
    EXPECT_EQ(result["details"].toObject()["modules"].toArray().size(), 0) << none.out.toStdString();
    EXPECT_TRUE(none.err.contains("no module answered")) << none.err.toStdString();

    const CliRun traced = rzlctl({"--trace", "scan", "127.0.0.2", "--port", port()});
    EXPECT_EQ(traced.exitCode, 0);
    EXPECT_TRUE(traced.err.contains("127.0.0.2 >> 5A 35 77 A5 21 00 00")) << traced.err.toStdString();
    EXPECT_TRUE(traced.err.contains("127.0.0.2 << 5A 35 77 A5 21 06 B0")) << traced.err.toStdString();
}

TEST_F(RzlctlScanTest, RefusedArgumentsSendNothing) {
    struct Case {
        QStringList args;
        const char* message;
    };
    // Loopback ranges only: were a refusal missing, the scan would still stay on this machine.
    const QList<Case> cases = {
        {{"scan", "127.0.0.0/15"}, "at most a /16"},
        {{"scan", "127.0.0.0/8"}, "at most a /16"},
        {{"scan", "127.0.0.1/x"}, "not an IPv4 range"},
        {{"scan", "127.0.0.0/29", "127.0.1.0/29"}, "at most one range"},
        {{"scan", "127.0.0.0/29", "--parallel", "0"}, "--parallel"},
        {{"scan", "127.0.0.0/29", "--parallel", "5000"}, "--parallel"},
        {{"scan", "127.0.0.0/29", "--port", "0"}, "--port"},
        {{"scan", "127.0.0.0/29", "--port", "70000"}, "--port"},
        {{"scan", "127.0.0.0/29", "--timeout-ms", "soon"}, "--timeout-ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = rzlctl(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
    }
    for (const auto& module : sims.modules) EXPECT_EQ(module->connectionCount(), 0);
}

}  // namespace
