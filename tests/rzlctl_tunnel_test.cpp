// A module reached through a port-forward (an SSH tunnel, a NAT router) reports its own address,
// not the one rzlctl connects to: by default that is another module (exit 5); with
// --accept-reported-address it is the module targeted, the address it reports still shown.

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "sim/simulator.h"
#include "tests/support/loopback_modules.h"
#include "tests/support/result_shape.h"
#include "tests/support/rzlctl_run.h"
#include "tests/support/tcp_forwarder.h"

namespace rzl::test {
namespace {

TEST(RzlctlTunnel, AModuleBehindAPortForwardIsTakenWithTheOption) {
    sim::SimOptions options;
    options.listenAddress = QHostAddress(Ipv4(127, 0, 0, 7));
    sim::SimulatorThread module(options);
    ASSERT_TRUE(module.start()) << module.errorString().toStdString();
    TcpForwarder tunnel(options.listenAddress, module.port());
    ASSERT_TRUE(tunnel.start());
    QTemporaryDir dir;
    const auto rzlctl = [&](const QStringList& args) {
        return RunRzlctl(QStringList{"--no-link-check", QStringLiteral("--device=127.0.0.1:%1").arg(tunnel.port()), "--json",
                                     "--yes"} + args,
                         dir.path());
    };
    const auto result = [](const CliRun& run) { return QJsonDocument::fromJson(run.out.toUtf8()).object(); };

    const CliRun foreign = rzlctl({"identify"});
    EXPECT_EQ(foreign.exitCode, 5);
    EXPECT_TRUE(result(foreign)["error"].toString().contains("--accept-reported-address")) << foreign.out.toStdString();

    struct Row {
        QStringList args;
        QString command;
    };
    const Row rows[] = {{{"identify"}, "identify"},
                        {{"status"}, "status"},
                        {{"set-do", "1", "on"}, "set-do"},
                        {{"set-location", "Behind NAT"}, "set-location"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command.toStdString());
        const CliRun run = rzlctl(QStringList{"--accept-reported-address"} + row.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(ShapeProblem(run.out.trimmed(), row.command, 0), QString()) << run.out.toStdString();
        const QJsonObject about = result(run)["module"].toObject();
        EXPECT_EQ(about["address"].toString(), "127.0.0.1");
        if (row.command != "set-location") {  // a write that does not identify knows only where it sent
            EXPECT_EQ(about["reportedAddress"].toString(), "127.0.0.7");
            EXPECT_TRUE(run.err.contains("reports the address 127.0.0.7")) << run.err.toStdString();
        }
    }
    EXPECT_EQ(module.state().doBits & 2, 2);
    const QDeadlineTimer deadline(5000);
    while (module.state().files.value("/local/locate.cfg") != "Behind NAT" && !deadline.hasExpired()) QThread::msleep(20);
    EXPECT_EQ(module.state().files.value("/local/locate.cfg"), "Behind NAT");
}

}  // namespace
}  // namespace rzl::test
