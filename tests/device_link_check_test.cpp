// The link check's three verdicts, and the first activation with and without the marker file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "link/device_link_check.h"
#include "tests/support/fake_host_network.h"
#include "tests/support/test_program.h"

using namespace rzl;
using test::FakeAdapter;
using test::FakeHostNetwork;

namespace {

// Runs a test in an empty temporary current directory and restores the previous one.
class InTemporaryDirectory {
public:
    InTemporaryDirectory() : previous_(QDir::currentPath()) { EXPECT_TRUE(QDir::setCurrent(dir_.path())); }
    ~InTemporaryDirectory() { QDir::setCurrent(previous_); }
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// A program whose exchanges could only ever go to loopback, with the given host network.
struct World {
    explicit World(QList<FakeAdapter> adapters) {
        t.ctx.session.deviceIp = QStringLiteral("127.0.0.1");
        t.ctx.session.tcpPort = 1;
        auto net = std::make_unique<FakeHostNetwork>(std::move(adapters));
        network = net.get();
        t.ctx.hostNetwork = std::move(net);
    }
    test::TestProgram t;
    FakeHostNetwork* network = nullptr;
};

const QList<FakeAdapter> kOnModuleNetwork{{"eth0", "10.0.0.2"}, {"wlan0", "192.168.77.20", 1}};
const QList<FakeAdapter> kElsewhere{{"wlan0", "10.4.4.4", 1}};
const QList<FakeAdapter> kTwoOnModuleNetwork{{"wlan0", "192.168.77.20", 1}, {"wlan1", "192.168.77.21", 1}};

TEST(CheckDeviceLink, ShowsItsVerdictInTheMainWindow) {
    struct Case {
        const char* what;
        QList<FakeAdapter> adapters;
        bool linked;
        QString label4;
        bool panelReset;
    };
    const QList<Case> cases = {
        {"one candidate", kOnModuleNetwork, true, QStringLiteral("rZL-K110"), false},
        {"none", kElsewhere, false, QStringLiteral("Device not found!!"), true},
        {"two", kTwoOnModuleNetwork, false, QStringLiteral("Same multiple IP found!!"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World w(c.adapters);
        MainView& main = w.t.screen.main;
        // A module was showing.
        main.label4 = {QStringLiteral("rZL-K110"), colours::kBlue};
        main.label5.caption = QStringLiteral("Lab bench");
        main.statusBar1[1] = QStringLiteral("IP: before");
        for (ButtonView& b : main.doButtons) b.enabled = true;
        w.t.ctx.session.deviceIdentified = true;

        EXPECT_EQ(CheckDeviceLink(w.t.ctx), c.linked);
        EXPECT_EQ(w.network->adapterReads, 1);
        EXPECT_EQ(main.label4.caption, c.label4);
        EXPECT_EQ(w.t.ctx.session.deviceIp, QStringLiteral("127.0.0.1"));  // never changed by a check
        EXPECT_EQ(main.doButtons[0].enabled, !c.panelReset);
        if (c.linked) {
            EXPECT_EQ(main.statusBar1[1], QStringLiteral("IP: 127.0.0.1"));
            EXPECT_EQ(main.label5.caption, QStringLiteral("Lab bench"));
            EXPECT_TRUE(w.t.ctx.session.deviceIdentified);
        } else {
            EXPECT_EQ(main.statusBar1[1], QStringLiteral("IP: before"));
            EXPECT_EQ(main.label4.font, Colour::rgb(255, 0, 0));
            EXPECT_TRUE(main.label5.caption.isEmpty());
            EXPECT_FALSE(w.t.ctx.session.deviceIdentified);
        }
    }
}

TEST(FirstActivation, MarkerFileSwitchesTheCheckOffAndIsLeftAsItIs) {
    InTemporaryDirectory cwd;
    {
        QFile marker(cwd.path(kMarkerFileName));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.write("left by someone");
    }
    World w(kElsewhere);  // a probe would answer "not linked"
    DeviceSession& s = w.t.ctx.session;
    s.retryPending = true;
    s.retryTicks = 12;

    FirstActivation(w.t.program);
    EXPECT_TRUE(w.t.screen.main.checkBox1);
    EXPECT_EQ(QFileInfo(cwd.path(kMarkerFileName)).size(), 15);  // only its presence counts
    EXPECT_EQ(w.network->adapterReads, 0);
    EXPECT_TRUE(w.t.dialogs.boxes.isEmpty());
    EXPECT_EQ(s.queuedCommand, 33);
    EXPECT_FALSE(s.retryPending);
    EXPECT_EQ(s.retryTicks, 0u);
    EXPECT_EQ(w.t.screen.main.statusBar1[1], QStringLiteral("IP: 127.0.0.1"));
    EXPECT_EQ(w.t.screen.main.edit2, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(QDir(w.t.ctx.host.workingDirectory), QDir(QDir::currentPath()));

    // Every later check answers linked without probing; later activations do nothing.
    EXPECT_TRUE(CheckDeviceLink(w.t.ctx));
    s.queuedCommand = 0;
    FirstActivation(w.t.program);
    EXPECT_EQ(s.queuedCommand, 0);
    EXPECT_EQ(w.network->adapterReads, 0);

    // Unticking the box takes the file away; ticking it again makes an empty one.
    w.t.screen.main.checkBox1 = false;
    MarkerCheckBoxClicked(w.t.program);
    EXPECT_FALSE(QFileInfo::exists(cwd.path(kMarkerFileName)));
    w.t.screen.main.checkBox1 = true;
    MarkerCheckBoxClicked(w.t.program);
    EXPECT_TRUE(QFileInfo::exists(cwd.path(kMarkerFileName)));
    EXPECT_EQ(QFileInfo(cwd.path(kMarkerFileName)).size(), 0);
}

// The marker name as a symbolic link: what it points at is never truncated or created.
TEST(FirstActivation, MarkerLinkIsNeverWrittenThrough) {
    struct Case {
        const char* what;
        bool targetExists;
    };
    for (const Case& c : {Case{"link to a file", true}, Case{"dangling link", false}}) {
        SCOPED_TRACE(c.what);
        InTemporaryDirectory cwd;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious.txt"));
        if (c.targetExists) {
            QFile file(target);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("precious");
        }
        ASSERT_TRUE(QFile::link(target, cwd.path(kMarkerFileName)));
        World w(kElsewhere);

        FirstActivation(w.t.program);
        EXPECT_EQ(w.t.screen.main.checkBox1, c.targetExists);  // presence through the link
        w.t.screen.main.checkBox1 = true;  // ticked, as the hidden box could be
        MarkerCheckBoxClicked(w.t.program);

        EXPECT_EQ(QFileInfo::exists(target), c.targetExists);
        if (c.targetExists) {
            EXPECT_EQ(QFileInfo(target).size(), 8);
        }
        EXPECT_TRUE(QFileInfo(cwd.path(kMarkerFileName)).isSymLink());
    }
}

TEST(FirstActivation, WithoutMarkerFileProbesAndQueuesOrTellsTheUser) {
    struct Case {
        const char* what;
        QList<FakeAdapter> adapters;
        bool linked;
    };
    for (const Case& c : {Case{"on the module's network", kOnModuleNetwork, true},
                          Case{"on another network", kElsewhere, false}}) {
        SCOPED_TRACE(c.what);
        InTemporaryDirectory cwd;
        World w(c.adapters);
        w.t.ctx.session.pendingCommand = 216;

        FirstActivation(w.t.program);
        EXPECT_FALSE(w.t.screen.main.checkBox1);
        EXPECT_FALSE(QFileInfo::exists(cwd.path(kMarkerFileName)));
        EXPECT_EQ(w.network->adapterReads, 1);
        if (c.linked) {
            EXPECT_TRUE(w.t.dialogs.boxes.isEmpty());
            EXPECT_EQ(w.t.ctx.session.queuedCommand, 33);
            EXPECT_EQ(w.t.screen.main.statusBar1[1], QStringLiteral("IP: 127.0.0.1"));
        } else {
            ASSERT_EQ(w.t.dialogs.boxes.size(), 1);
            const test::ShownBox& box = w.t.dialogs.boxes.first();
            EXPECT_EQ(box.text, QStringLiteral("Please check device whether in AP mode!"));
            EXPECT_EQ(box.caption, QStringLiteral("Device not found"));
            EXPECT_EQ(box.icon, BoxIcon::Exclamation);
            EXPECT_EQ(w.t.ctx.session.queuedCommand, 0);
            EXPECT_EQ(w.t.ctx.session.pendingCommand, 0);
            EXPECT_EQ(w.t.screen.main.label4.caption, QStringLiteral("Device not found!!"));
            EXPECT_TRUE(w.t.screen.main.statusBar1[1].isEmpty());
        }
    }
}

}  // namespace
