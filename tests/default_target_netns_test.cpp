// The program at its default target 192.168.77.1:13577, given no address at all. Runs only
// inside the private network namespace that tests/scripts/default_address_netns_test.sh
// makes (it sets RZL_NETNS_E2E=1, starts the module there and puts the marker file into the
// current directory); anywhere else it is skipped.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "link/device_link_check.h"
#include "link/host_network.h"
#include "link/link_supervisor.h"
#include "tests/support/test_program.h"

using namespace rzl;

namespace {

// The default address must be this namespace's own, and nothing but loopback besides it.
bool insideTheTestNamespace(QString* why) {
    if (qEnvironmentVariable("RZL_NETNS_E2E") != QLatin1String("1")) {
        *why = QStringLiteral("needs the private network namespace of default_address_netns_test.sh");
        return false;
    }
    NetworkSnapshot probe;
    QString error;
    if (!makeHostNetwork()->readAdapters(probe, &error)) {
        *why = error;
        return false;
    }
    bool own = false;
    for (int i = 0; i < probe.adapterCount; ++i) {
        const QByteArray& address = probe.adapters[i].address;
        if (address == "192.168.77.1") own = true;
        else if (!address.isEmpty() && !address.startsWith("127.")) {
            *why = QStringLiteral("unexpected address %1 here").arg(QString::fromLatin1(address));
            return false;
        }
    }
    if (!own) *why = QStringLiteral("192.168.77.1 is not an address of this namespace");
    return own;
}

struct DefaultTarget : ::testing::Test {
    void SetUp() override {
        QString why;
        if (!insideTheTestNamespace(&why)) GTEST_SKIP() << why.toStdString();
        ASSERT_EQ(t.ctx.session.deviceIp, QStringLiteral("192.168.77.1"));
        ASSERT_EQ(t.ctx.session.tcpPort, 13577);
    }
    test::TestProgram t;  // no target(): the program's own defaults
};

TEST_F(DefaultTarget, MarkerFileLetsTheFirstActivationIdentifyTheModule) {
    ASSERT_TRUE(QFileInfo::exists(QString::fromLatin1(kMarkerFileName)));
    FirstActivation(t.program);
    EXPECT_TRUE(t.screen.main.checkBox1);
    EXPECT_TRUE(t.dialogs.boxes.isEmpty());
    for (int i = 0; i < 3; ++i) LinkSupervisorTick(t.ctx);
    EXPECT_EQ(t.screen.main.label4.caption, QStringLiteral("rZL-K110 Tiny I/O Controller"));
    EXPECT_EQ(t.screen.main.statusBar1[1], QStringLiteral("IP: 192.168.77.1"));
    EXPECT_TRUE(t.ctx.session.deviceIdentified);
}

TEST_F(DefaultTarget, WithoutMarkerFileAWiredAdapterIsNoCandidate) {
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    FirstActivation(t.program);
    QDir::setCurrent(previous);
    EXPECT_FALSE(t.screen.main.checkBox1);
    ASSERT_EQ(t.dialogs.boxes.size(), 1);
    EXPECT_EQ(t.dialogs.boxes[0].text, QStringLiteral("Please check device whether in AP mode!"));
    EXPECT_EQ(t.ctx.session.queuedCommand, 0);
}

}  // namespace
