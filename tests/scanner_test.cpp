// The network scan on loopback: the ranges it walks, what counts as a module, several
// simulated modules on 127.0.0.x sharing one port, and the bound on connections in flight.

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "protocol/scan_range.h"
#include "protocol/scanner.h"
#include "tests/support/loopback_modules.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/reply_frames.h"

using namespace rzl;
using rzl::sim::FaultMode;
using rzl::test::LoopbackPeer;
using rzl::test::PeerMode;

namespace {

constexpr auto ip = test::Ipv4;

QList<QString> addressesOf(const QList<ScanAnswer>& answers) {
    QList<QString> out;
    for (const ScanAnswer& a : answers) out.append(AddressText(a.address));
    return out;
}

TEST(ScanRangeTest, ParsesRangesUpToASlash16AndRefusesTheRest) {
    struct Case {
        const char* text;
        std::optional<ScanRange> range;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"10.0.0.0/24", ScanRange{ip(10, 0, 0, 0), 24}, ""},
        {"10.0.0.77/24", ScanRange{ip(10, 0, 0, 0), 24}, ""},  // host bits ignored
        {"192.168.7.9", ScanRange{ip(192, 168, 7, 9), 32}, ""},
        {"172.16.200.1/16", ScanRange{ip(172, 16, 0, 0), 16}, ""},
        {"127.0.0.0/15", std::nullopt, "at most a /16"},
        {"0.0.0.0/0", std::nullopt, "at most a /16"},
        {"10.0.0.0/33", std::nullopt, "not an IPv4 range"},
        {"10.0.0.0/", std::nullopt, "not an IPv4 range"},
        {"10.0.0.0/+8", std::nullopt, "not an IPv4 range"},
        {"10.0.0/24", std::nullopt, "not an IPv4 range"},
        {"256.0.0.0/24", std::nullopt, "not an IPv4 range"},
        {" 10.0.0.0/24", std::nullopt, "not an IPv4 range"},
        {"10.0.0.0/24/8", std::nullopt, "not an IPv4 range"},
        {"modules.local/24", std::nullopt, "not an IPv4 range"},
        {"", std::nullopt, "not an IPv4 range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString reason;
        const auto range = ParseScanRange(QString::fromLatin1(c.text), &reason);
        EXPECT_EQ(range, c.range);
        if (!c.range) {
            EXPECT_TRUE(reason.contains(QLatin1String(c.reasonPart))) << reason.toStdString();
        }
    }
}

TEST(ScanRangeTest, HostAddressesLeaveOutNetworkAndBroadcast) {
    struct Case {
        ScanRange range;
        qsizetype count;
        std::uint32_t first, last;
    };
    const Case cases[] = {
        {{ip(10, 0, 0, 0), 24}, 254, ip(10, 0, 0, 1), ip(10, 0, 0, 254)},
        {{ip(10, 0, 0, 4), 30}, 2, ip(10, 0, 0, 5), ip(10, 0, 0, 6)},
        {{ip(10, 0, 0, 4), 31}, 2, ip(10, 0, 0, 4), ip(10, 0, 0, 5)},
        {{ip(10, 0, 0, 9), 32}, 1, ip(10, 0, 0, 9), ip(10, 0, 0, 9)},
        {{ip(10, 1, 0, 0), 16}, 65534, ip(10, 1, 0, 1), ip(10, 1, 255, 254)},
        {{ip(255, 255, 0, 0), 16}, 65534, ip(255, 255, 0, 1), ip(255, 255, 255, 254)},  // no wrap at the top
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(RangeText(c.range).toStdString());
        const QList<std::uint32_t> hosts = HostAddresses(c.range);
        ASSERT_EQ(hosts.size(), c.count);
        EXPECT_EQ(hosts.first(), c.first);
        EXPECT_EQ(hosts.last(), c.last);
    }
}

TEST(ScanRangeTest, AdapterNetworksWithoutLoopbackAtMostASlash22) {
    struct Row {
        const char* name;
        const char* address;
        int prefix;
        int type;
    };
    const Row rows[] = {
        {"lo", "127.0.0.1", 8, 24},
        {"eth0", "192.168.1.20", 24, 6},
        {"wlan0", "10.20.5.9", 20, 71},      // narrowed to the /22 around its address
        {"tun0", "", 0, 131},               // no IPv4 address
        {"eth1", "192.168.1.30", 24, 6},    // the same network as eth0
        {"lo2", "127.1.0.1", 16, 6},        // loopback by its address
        {"ppp0", "100.64.3.3", 32, 23},
    };
    NetworkSnapshot probe;
    for (const Row& r : rows) {
        AdapterRow& row = probe.adapters[probe.adapterCount++];
        row.name = r.name;
        row.address = r.address;
        row.prefixLength = static_cast<std::uint8_t>(r.prefix);
        row.interfaceType = static_cast<std::uint8_t>(r.type);
    }
    QStringList seen;
    for (const AdapterRange& a : AdapterScanRanges(probe))
        seen.append(QStringLiteral("%1 %2 /%3").arg(QString::fromLatin1(a.adapter), RangeText(a.range)).arg(a.adapterPrefix));
    EXPECT_EQ(seen, (QStringList{"eth0 192.168.1.0/24 /24", "wlan0 10.20.4.0/22 /20", "ppp0 100.64.3.3/32 /32"}));
}

TEST(ScanReplyTest, OnlyWholeAcceptedIdentifyRepliesAreModules) {
    test::IdentifyFields fields;
    fields.model = 178;
    fields.address = {10, 1, 2, 3};
    fields.location = "Pump house";
    fields.rssi = 0xFFB5;  // -75 dBm
    fields.wifiMode = 0;
    const QByteArray whole = test::identifyReply(fields);

    const auto decoded = DecodeScanReply(ip(127, 0, 0, 1), whole);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->modelName, QStringLiteral("rZL-K140 Tiny I/O Controller"));
    EXPECT_EQ(decoded->model, 178);
    EXPECT_EQ(decoded->reportedAddress, QStringLiteral("10.1.2.3"));
    EXPECT_EQ(decoded->mac, QStringLiteral("00:1A:2B:3C:4D:5E"));
    EXPECT_EQ(decoded->firmware, QStringLiteral("01.0A"));
    EXPECT_EQ(decoded->location, QStringLiteral("Pump house"));
    EXPECT_EQ(decoded->rssiDbm, -75);
    EXPECT_FALSE(decoded->wifiModeAp);
    fields.rssi = 0;
    EXPECT_EQ(DecodeScanReply(0, test::identifyReply(fields))->rssiDbm, std::nullopt);

    struct Case {
        const char* what;
        QByteArray reply;
    };
    QByteArray foreign = whole, rejected = whole, otherCommand = whole;
    foreign[0] = char(0xA5);
    rejected[kStatusByte] = 5;
    otherCommand[kCommandByte] = char(kCmdPoll);
    const Case refused[] = {
        {"one byte short", whole.left(identify::kReplyLength - 1)},
        {"empty", QByteArray()},
        {"another signature", foreign},
        {"not accepted", rejected},
        {"a reply to another command", otherCommand},
    };
    for (const Case& c : refused) EXPECT_FALSE(DecodeScanReply(0, c.reply)) << c.what;
}

TEST(ScannerTest, EachKindOfPeerAtOneAddress) {
    const QByteArray whole = test::identifyReply({});
    struct Case {
        const char* what;
        PeerMode mode;
        QByteArray reply;
        int delayMs;
        bool found;
    };
    const Case cases[] = {
        {"whole reply", PeerMode::Answer, whole, 0, true},
        {"reply in two pieces", PeerMode::TwoPieces, whole, 300, true},
        {"reply with more behind it", PeerMode::Oversized, whole, 0, true},
        {"reply within the deadline", PeerMode::Delayed, whole, 200, true},
        {"reply after the deadline", PeerMode::Delayed, whole, 1500, false},
        {"a part of a reply, then nothing", PeerMode::Answer, whole.left(100), 0, false},
        {"silent", PeerMode::Silent, whole, 0, false},
        {"closes at once", PeerMode::CloseAtOnce, whole, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackPeer peer(c.mode, c.reply);
        peer.delayMs = c.delayMs;
        peer.secondPieceDelayMs = c.delayMs;
        ASSERT_TRUE(peer.start());
        NetworkScanner scanner({peer.port(), 4, 800});
        QElapsedTimer clock;
        clock.start();
        const QList<ScanAnswer> answers = scanner.run({ip(127, 0, 0, 1)});
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(answers.size(), c.found ? 1 : 0);
        if (c.mode != PeerMode::CloseAtOnce) {
            ASSERT_EQ(peer.received().size(), 1);
            EXPECT_EQ(peer.received().first().toHex(' ').toUpper(), QByteArray("5A 35 77 A5 21 00 00"));
        }
    }

    // Nothing listening: refused at once.
    NetworkScanner scanner({test::closedLoopbackPort(), 4, 800});
    EXPECT_TRUE(scanner.run({ip(127, 0, 0, 1)}).isEmpty());
}

TEST(ScannerTest, FindsTheModulesAmongSilentClosingAndMisbehavingPeersSortedByAddress) {
    test::LoopbackModules sims;
    ASSERT_TRUE(sims.start({
        {9, FaultMode::None, 176, std::nullopt},
        {2, FaultMode::Slow, 179, std::nullopt, 300},  // answers last, is listed first
        {3, FaultMode::Silent},
        {4, FaultMode::Close},
        {5, FaultMode::None, 178, std::array<std::uint8_t, 4>{10, 1, 2, 3}},
        {6, FaultMode::Garbage},
        {7, FaultMode::Reject},
        {8, FaultMode::Split},
    }));
    NetworkScanner scanner({sims.port, 64, 1000});
    int lastDone = 0, total = 0;
    scanner.onProgress = [&](int done, int all, int) {
        EXPECT_EQ(done, lastDone + 1);
        lastDone = done;
        total = all;
    };
    QList<std::uint32_t> sentTo;
    scanner.tap = [&](std::uint32_t address, bool outgoing, const QByteArray&) {
        if (outgoing) sentTo.append(address);
    };
    const QList<ScanAnswer> answers = scanner.run(HostAddresses({ip(127, 0, 0, 0), 28}));

    EXPECT_EQ(addressesOf(answers), (QList<QString>{"127.0.0.2", "127.0.0.5", "127.0.0.8", "127.0.0.9"}));
    ASSERT_EQ(answers.size(), 4);
    EXPECT_EQ(answers[0].modelName, QStringLiteral("rZL-K120A Tiny I/O Controller"));
    EXPECT_EQ(answers[1].reportedAddress, QStringLiteral("10.1.2.3"));
    EXPECT_EQ(answers[3].reportedAddress, QStringLiteral("127.0.0.9"));
    EXPECT_EQ(total, 14);
    EXPECT_EQ(lastDone, 14);
    // Every module was asked once, with the identify request only (the closing one reads nothing).
    for (const auto& module : sims.modules) {
        const QList<QByteArray> frames = module->receivedFrames();
        EXPECT_LE(frames.size(), 1);
        for (const QByteArray& frame : frames) EXPECT_EQ(frame.toHex(' ').toUpper(), QByteArray("5A 35 77 A5 21 00 00"));
    }
    EXPECT_EQ(sentTo.size(), sims.modules.size());  // connections refused elsewhere send nothing
}

TEST(ScannerTest, KeepsAtMostTheGivenNumberOfConnectionsInFlight) {
    test::LoopbackModules sims;
    QList<test::LoopbackModules::Module> silent;
    for (int octet = 17; octet <= 22; ++octet) silent.append({octet, FaultMode::Silent});
    ASSERT_TRUE(sims.start(silent));
    const QList<std::uint32_t> addresses = HostAddresses({ip(127, 0, 0, 16), 29});  // .17 to .22
    ASSERT_EQ(addresses.size(), 6);

    // Two at a time: three rounds of waiting out the deadline.
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(NetworkScanner({sims.port, 2, 300}).run(addresses).isEmpty());
    EXPECT_GE(clock.elapsed(), 3 * 300 - 50);

    // All at once: one round, far from the time of one address after the other.
    clock.restart();
    EXPECT_TRUE(NetworkScanner({sims.port, 64, 300}).run(addresses).isEmpty());
    EXPECT_LT(clock.elapsed(), 6 * 300);
}

// Without a single descriptor left no address can be tried: each is listed as not tried, none
// is lost from the count.
TEST(ScannerTest, AddressesThatFindNoSocketAtAllAreListed) {
    if (qEnvironmentVariableIsSet("RZL_SANITIZERS"))
        GTEST_SKIP() << "the sanitizers' checks need file descriptors this test takes away";
    const QList<std::uint32_t> addresses = HostAddresses({ip(127, 0, 0, 16), 29});
    NetworkScanner scanner({test::closedLoopbackPort(), 64, 300});
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit none = before;
    none.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    const QList<ScanAnswer> answers = scanner.run(addresses);
    setrlimit(RLIMIT_NOFILE, &before);
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_EQ(scanner.summary().tried, 0);
    EXPECT_EQ(scanner.summary().untried, 6);
    EXPECT_EQ(scanner.summary().untriedAddresses, addresses);
    EXPECT_EQ(AddressRuns(scanner.summary().untriedAddresses), QStringList{"127.0.0.17-127.0.0.22"});
    EXPECT_FALSE(scanner.untriedReason().isEmpty());
}

// Stopped, what was in flight and what was never started are the untried; with the tried
// they are the whole range.
TEST(ScannerTest, AStopCountsWhatWasNotTried) {
    test::LoopbackModules sims;
    ASSERT_TRUE(sims.start({{2}, {3, FaultMode::Silent}}));
    const QList<std::uint32_t> addresses = HostAddresses({ip(127, 0, 0, 0), 24});
    NetworkScanner scanner({sims.port, 2, 5000});
    scanner.onAnswer = [&](const ScanAnswer&) { scanner.stop(); };
    scanner.run(addresses);
    const ScanSummary& summary = scanner.summary();
    EXPECT_EQ(summary.found, 1);
    EXPECT_EQ(summary.tried + summary.untried, 254);
    EXPECT_GE(summary.untried, 251);
    EXPECT_EQ(AddressRuns(summary.untriedAddresses).last(), QStringLiteral("127.0.0.3-127.0.0.254"));
}

}  // namespace
