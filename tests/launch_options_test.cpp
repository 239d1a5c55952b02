// The start-up options: what each argument list sets, which ones are refused, and the demo
// module end to end.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/desktop_arguments.h"
#include "core/version.h"
#include "link/device_link_check.h"
#include "link/link_supervisor.h"
#include "tests/support/fake_host_network.h"
#include "tests/support/test_program.h"

using namespace rzl;

namespace {

QStringList args(std::initializer_list<const char*> list) {
    QStringList out{QStringLiteral("rzl-ctrl")};
    for (const char* a : list) out << QString::fromUtf8(a);
    return out;
}

// The desktop program's parse: its result, launch options and text.
ParseResult Parse(const QStringList& arguments, LaunchOptions& options, QString* text) {
    DesktopArguments settings;
    const ParsedArguments parsed = ParseDesktopArguments(arguments, settings);
    options = settings.launch;
    *text = parsed.text;
    return parsed.result;
}

TEST(LaunchOptions, DeviceIsTakenAsIfTypedIntoTheAddressField) {
    struct Case {
        QStringList arguments;
        QString ip;
        std::uint16_t port;
        QString prefix;
    };
    const QList<Case> cases = {
        {args({}), "192.168.77.1", 13577, "192.168.77."},
        {args({"--device", "10.1.2.3"}), "10.1.2.3", 13577, "10.1.2."},
        {args({"--device=10.1.2.3:9000"}), "10.1.2.3", 9000, "10.1.2."},
        {args({"--device", "[127.0.0.2]:14000"}), "127.0.0.2", 14000, "127.0.0."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        LaunchOptions options;
        QString text;
        ASSERT_EQ(Parse(c.arguments, options, &text), ParseResult::Run) << text.toStdString();
        test::TestProgram t;
        LaunchResources resources;
        ASSERT_TRUE(ApplyLaunchOptions(options, t.ctx, resources, &text)) << text.toStdString();
        EXPECT_EQ(t.ctx.session.deviceIp, c.ip);
        EXPECT_EQ(t.ctx.host.typedIp, c.ip);
        EXPECT_EQ(t.ctx.session.tcpPort, c.port);
        EXPECT_EQ(t.ctx.host.subnetPrefix, c.prefix);
        EXPECT_EQ(t.ctx.host.subnetPrefix8, c.prefix.toLatin1());
        if (c.arguments.size() > 1) {
            EXPECT_EQ(t.screen.main.edit2, c.ip);
        }
        EXPECT_FALSE(resources.demo);
    }
}

TEST(LaunchOptions, BadArgumentsAreRefusedWithAReason) {
    for (const QStringList& arguments :
         {args({"--device"}), args({"--device", ""}), args({"--device", "1.2.3.4:"}), args({"--device", "1.2.3.4:0"}),
          args({"--device", "1.2.3.4:70000"}), args({"--device", "1.2.3.4:+80"}), args({"--device", "[::1"}),
          args({"--device", "[::1]x"}), args({"--device", "module.local:14000"}),
          args({"--device", "[::1]:14000"}), args({"--device", "fe80::1"}), args({"--device", "10.0.0.300"}),
          args({"--device", "1.2.3"}), args({"--device", "a", "--device", "b"}), args({"--demo", "--device", "a"}),
          args({"--device", "1.2.3.4", "--device", "1.2.3.5"}), args({"--device", "1.2.3.4", "--demo"}),
          args({"--bogus"}), args({"extra"}), args({"--screenshot-window", "elsewhere"}),
          args({"--screenshot-delay", "-5"}), args({"--screenshot-delay", "soon"}), args({"--screenshot"})}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        LaunchOptions options;
        QString text;
        EXPECT_EQ(Parse(arguments, options, &text), ParseResult::Error);
        EXPECT_FALSE(text.isEmpty());
    }
    LaunchOptions options;
    QString text;
    EXPECT_EQ(Parse(args({"--help"}), options, &text), ParseResult::Help);
    EXPECT_TRUE(text.contains(QStringLiteral("--device HOST[:PORT]")));
}

TEST(LaunchOptions, NoLinkCheckAnswersLinkedWithoutProbingOrTouchingTheMarker) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));

    LaunchOptions options;
    QString text;
    ASSERT_EQ(Parse(args({"--no-link-check", "--device", "127.0.0.1:1"}), options, &text),
              ParseResult::Run);
    test::TestProgram t;
    auto* network = new test::FakeHostNetwork;  // no adapters: a probe would fail
    t.ctx.hostNetwork.reset(network);
    LaunchResources resources;
    ASSERT_TRUE(ApplyLaunchOptions(options, t.ctx, resources, &text));
    FirstActivation(t.program);
    QDir::setCurrent(previous);

    EXPECT_TRUE(t.dialogs.boxes.isEmpty());
    EXPECT_EQ(t.ctx.session.queuedCommand, 33);
    EXPECT_EQ(network->adapterReads, 0);
    EXPECT_FALSE(t.screen.main.checkBox1);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(LaunchOptions, DemoRunsTheProgramAgainstABuiltInModuleOnLoopback) {
    LaunchOptions options;
    QString text;
    ASSERT_EQ(Parse(args({"--demo"}), options, &text), ParseResult::Run);
    test::TestProgram t;
    LaunchResources resources;
    ASSERT_TRUE(ApplyLaunchOptions(options, t.ctx, resources, &text)) << text.toStdString();
    ASSERT_TRUE(resources.demo);
    EXPECT_EQ(t.ctx.session.deviceIp, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(t.ctx.session.tcpPort, resources.demo->port());

    FirstActivation(t.program);
    LinkSupervisorTick(t.ctx);
    EXPECT_EQ(t.screen.main.label4.caption, QStringLiteral("rZL-K110 Tiny I/O Controller"));
}

}  // namespace
