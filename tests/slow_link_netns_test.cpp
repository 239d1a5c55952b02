// The program's core over a slowed loopback, where a handshake takes longer than one 10 ms wait
// slice and a 198-byte reply comes in pieces. Runs only inside the namespace that
// tests/scripts/slow_link_netns_test.sh makes (it sets RZL_SLOW_LINK_E2E=1 and starts the
// module on 127.0.0.1:13577); anywhere else it is skipped.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "protocol/request_builders.h"
#include "protocol/tcp_client.h"
#include "tests/support/test_program.h"

namespace rzl::test {
namespace {

constexpr std::uint16_t kModulePort = 13577;

struct SlowLink : ::testing::Test {
    void SetUp() override {
        if (qEnvironmentVariable("RZL_SLOW_LINK_E2E") != QLatin1String("1"))
            GTEST_SKIP() << "needs the slowed namespace of slow_link_netns_test.sh";
        t.target(kModulePort);
    }
    TestProgram t;
};

TEST_F(SlowLink, ConnectWaitsPastItsFirstSlice) {
    TcpClient client(t.clock, t.ctx.writeStallMs);
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(client.connectTo(QStringLiteral("127.0.0.1"), kModulePort, t.ctx.connectTimeoutMs))
        << client.error().toStdString();
    EXPECT_GT(elapsed.elapsed(), 10) << "the link is not slowed: this case proves nothing";
}

TEST_F(SlowLink, IdentifyAndPollReachTheModule) {
    SendIdentify(t.ctx);
    EXPECT_EQ(t.screen.main.statusBar2[0], QString());
    EXPECT_TRUE(t.screen.main.memo1.isEmpty()) << t.screen.main.memo1.join(" | ").toStdString();
    EXPECT_TRUE(t.ctx.session.deviceIdentified);
    EXPECT_EQ(t.screen.main.label4.caption, QStringLiteral("rZL-K110 Tiny I/O Controller"));
    EXPECT_EQ(t.screen.main.statusBar1[0], QStringLiteral("Dev MAC: 00:1A:2B:3C:4D:5E"));

    SendPoll(t.ctx);
    EXPECT_TRUE(t.screen.main.memo1.isEmpty()) << t.screen.main.memo1.join(" | ").toStdString();
    EXPECT_EQ(t.ctx.session.pendingCommand, 0) << "the poll was answered";
}

}  // namespace
}  // namespace rzl::test
