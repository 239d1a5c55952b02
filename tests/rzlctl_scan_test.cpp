// rzlctl scan as a user runs it, against simulated modules on 127.0.0.x. The scan of this
// PC's own networks runs only inside a private network namespace (scan_netns_test.sh).

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

#include "tests/support/loopback_modules.h"
#include "tests/support/loopback_peer.h"
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
    EXPECT_EQ(json["rangeSize"].toInt(), 6);
    EXPECT_EQ(json["tried"].toInt(), 6);
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

// The closing summary names each host that took the connection but did not answer as a module,
// with what it did; the JSON says the same per host.
TEST(RzlctlScanSummary, NamesEveryHostThatAnsweredWrongly) {
    rzl::test::LoopbackModules sims;
    ASSERT_TRUE(sims.start({{2},
                            {3, FaultMode::Silent},
                            {4, FaultMode::Garbage},
                            {5, FaultMode::Reject},
                            {6, FaultMode::Split, 176, std::nullopt, 1500, 1500},
                            {7, FaultMode::Close}}));
    const QString port = QString::number(sims.port);
    const CliRun text = rzl::test::RunRzlctl({"scan", "127.0.0.0/28", "--port", port, "--timeout-ms", "400"});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList expected{
        "scan: 14 addresses tried in ",
        " s, 1 module found, 8 refused the connection, 5 other hosts:",
        "  127.0.0.3        accepted, no reply within 400 ms (silent, or slower: raise --timeout-ms)",
        "  127.0.0.4        answered something that is not a module's reply",
        "  127.0.0.5        accepted, and refused the request",
        "  127.0.0.6        accepted, reply not complete within 400 ms (too slow: raise --timeout-ms)",
        "  127.0.0.7        accepted, then closed without a reply",
    };
    for (const QString& part : expected) EXPECT_TRUE(text.err.contains(part)) << part.toStdString() << "\n" << text.err.toStdString();

    const CliRun json = rzl::test::RunRzlctl({"--json", "scan", "127.0.0.0/28", "--port", port, "--timeout-ms", "400"});
    const QJsonObject result = QJsonDocument::fromJson(json.out.toUtf8()).object()["details"].toObject();
    QStringList outcomes;
    for (const QJsonValue host : result["otherHosts"].toArray())
        outcomes.append(host["address"].toString() + " " + host["outcome"].toString());
    EXPECT_EQ(outcomes, (QStringList{"127.0.0.3 silent", "127.0.0.4 garbage", "127.0.0.5 refused", "127.0.0.6 too-slow",
                                     "127.0.0.7 closed"}));
    EXPECT_EQ(result["tried"].toInt(), 14);
    EXPECT_EQ(result["connectionsRefused"].toInt(), 8);
}

// A host that starts an identify reply and closes long before the deadline broke off; it is not
// slow, and a longer --timeout-ms would not help. Cut after the header, and one byte short.
TEST(RzlctlScanSummary, AReplyCutOffByACloseIsNotTooSlow) {
    QByteArray whole = QByteArray::fromHex("5A3577A52106B0");  // signature, identify, accepted, model
    whole.append(198 - whole.size(), '\0');
    for (const int cut : {6, 197}) {
        SCOPED_TRACE(cut);
        rzl::test::LoopbackPeer peer(rzl::test::PeerMode::AnswerAndClose, whole.left(cut));
        ASSERT_TRUE(peer.start());
        const CliRun run = rzl::test::RunRzlctl(
            {"--json", "scan", "127.0.0.1", "--port", QString::number(peer.port()), "--timeout-ms", "5000"});
        EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("127.0.0.1        accepted, then closed in the middle of a reply")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("--timeout-ms")) << run.err.toStdString();
        const QJsonArray hosts = QJsonDocument::fromJson(run.out.toUtf8()).object()["details"].toObject()["otherHosts"].toArray();
        EXPECT_EQ(QJsonDocument(hosts).toJson(QJsonDocument::Compact).toStdString(),
                  QStringLiteral(R"([{"address":"127.0.0.1","outcome":"closed-mid-reply","replyBytes":%1}])").arg(cut).toStdString());
    }
}

// With too few descriptors some addresses cannot be tried: the sweep says how many were, and
// ends non-zero although modules were found.
TEST_F(RzlctlScanTest, AddressesThatCouldNotBeTriedMakeTheExitNonZero) {
    if (qEnvironmentVariableIsSet("RZL_SANITIZERS"))
        GTEST_SKIP() << "the sanitizers' checks need file descriptors this test takes away";
    QProcess process;
    process.start(QStringLiteral("bash"), QStringList{"-c", QStringLiteral("ulimit -n 24 && exec \"$0\" --json scan 127.0.0.0/26 --port %1 "
                                                "--timeout-ms 300 --parallel 64").arg(port()),
                           QStringLiteral(RZL_BINARY_DIR "/rzlctl")});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QJsonObject result = QJsonDocument::fromJson(process.readAllStandardOutput()).object()["details"].toObject();
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 3) << err.toStdString();
    EXPECT_EQ(result["rangeSize"].toInt(), 62);
    EXPECT_GT(result["untried"].toInt(), 0) << err.toStdString();
    EXPECT_EQ(result["tried"].toInt() + result["untried"].toInt(), 62);
    EXPECT_TRUE(err.contains("could not be tried")) << err.toStdString();
}

// Ctrl+C ends a long sweep with what was found so far and the summary, exit 130.
TEST_F(RzlctlScanTest, CtrlCPrintsWhatWasFoundSoFar) {
    rzl::test::RunningRzlctl scan(
        {"--trace", "--json", "scan", "127.0.0.0/27", "--port", port(), "--timeout-ms", "2000", "--parallel", "2"});
    // 127.0.0.2 answers at once; the silent 127.0.0.3 holds one of the two slots for 2 s.
    ASSERT_TRUE(scan.untilError("127.0.0.2 << ", 1, 10000)) << scan.err().toStdString();
    scan.signal(SIGINT);
    EXPECT_EQ(scan.finished(), 130) << scan.err().toStdString();
    const QJsonObject result = QJsonDocument::fromJson(scan.out().toUtf8()).object();
    const QString err = scan.err();
    EXPECT_EQ(result["outcome"].toString(), "interrupted");
    const QJsonObject details = result["details"].toObject();
    EXPECT_GE(details["modules"].toArray().size(), 1) << "what was found before the stop";
    EXPECT_LT(details["tried"].toInt(), 30);
    EXPECT_TRUE(err.contains("scan: ")) << err.toStdString();
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
