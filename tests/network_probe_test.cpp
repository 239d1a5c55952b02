// The host network probe: the candidate rule on hand-filled tables, the nl80211 answers as
// the kernel sends them, this machine's real adapters, and a source that cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <linux/netlink.h>
#include <linux/nl80211.h>

#include "link/host_network.h"
#include "link/network_probe.h"
#include "link/network_tables.h"
#include "platform/nl80211_answers.h"
#include "platform/tests/windows_recorded_facts.h"
#include "tests/support/fake_host_network.h"
#include "tests/support/test_program.h"

using namespace rzl;

namespace {

using platform::Nl80211Bss;
using platform::Nl80211Interface;
using platform::ParseNl80211Bss;
using platform::ParseNl80211Interface;
using test::FakeHostNetwork;
using Adapter = test::FakeAdapter;

struct ProbeCase {
    const char* what;
    QString prefix;
    QList<Adapter> adapters;
    int candidates;
};

TEST(NetworkProbe, CountsConnectedWifiAdaptersWhoseAddressBeginsWithThePrefix) {
    const QString ap = QStringLiteral("192.168.77.");
    const QList<ProbeCase> cases = {
        {"Wi-Fi on the module's network, Ethernet elsewhere", ap,
         {{"eth0", "10.1.2.3"}, {"wlan0", "192.168.77.23", 1}}, 1},
        {"only Ethernet on the module's network", ap, {{"eth0", "192.168.77.5"}}, 0},
        {"Wi-Fi connected but self-assigned", ap, {{"wlan0", "169.254.10.3", 1}}, 0},
        {"two Wi-Fi adapters on the module's network", ap,
         {{"wlan0", "192.168.77.2", 1}, {"wlan1", "192.168.77.3", 1}}, 2},
        {"four Wi-Fi adapters count three", ap,
         {{"w0", "192.168.77.2", 1}, {"w1", "192.168.77.3", 1}, {"w2", "192.168.77.4", 1}, {"w3", "192.168.77.5", 1}},
         3},
        {"present but disconnected never counts", ap,
         {{"wlan0", "192.168.77.2", 4}, {"wlan1", "192.168.77.3", 0}}, 0},
        {"text comparison, not numbers", QStringLiteral("192.168.1."), {{"wlan0", "192.168.10.5", 1}}, 0},
        {"Wi-Fi adapter without an address", ap, {{"wlan0", "", 1}}, 0},
        {"address shorter than the prefix", ap, {{"wlan0", "192.168", 1}}, 0},
    };
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::TestProgram t;
        t.ctx.host.subnetPrefix = c.prefix;
        t.ctx.hostNetwork = std::make_unique<FakeHostNetwork>(c.adapters);
        EXPECT_EQ(RunNetworkProbe(t.ctx), c.candidates);
        EXPECT_EQ(t.ctx.probe.candidateCount, c.candidates);
    }
}

TEST(NetworkProbe, CandidateRowJoinsTheInterfaceWithItsAdapter) {
    test::TestProgram t;
    t.ctx.hostNetwork = std::make_unique<FakeHostNetwork>(
        QList<Adapter>{{"eth0", "192.168.77.9"}, {"wlan1", "192.168.77.40", 4}, {"wlan0", "192.168.77.23", 1}});
    ASSERT_EQ(RunNetworkProbe(t.ctx), 1);
    const NetworkSnapshot& p = t.ctx.probe;
    ASSERT_EQ(p.connectedCount, 1);
    EXPECT_EQ(p.connected[0].wlanRow, 1);     // wlan0 is the second Wi-Fi row
    EXPECT_EQ(p.connected[0].adapterRow, 2);  // and the third adapter
    EXPECT_EQ(p.candidates[0].guidText, "wlan0");
    EXPECT_EQ(p.candidates[0].address, "192.168.77.23");
    EXPECT_EQ(p.candidates[0].friendlyName, "wlan0 friendly");
    EXPECT_EQ(p.candidates[0].profileName, "net-wlan0");
    EXPECT_EQ(p.candidates[0].interfaceType, 71);
}

TEST(NetworkProbe, UnreadableSourcesAreLoggedOnceAndNeverKeepALinkFound) {
    test::TestProgram t;
    auto* source = new FakeHostNetwork({{"wlan0", "192.168.77.23", 1}});
    t.ctx.hostNetwork.reset(source);
    const QStringList& log = t.screen.main.memo1;
    auto logged = [&log](const char* reason) { return log.filter(QLatin1String(reason)).size(); };
    ASSERT_EQ(RunNetworkProbe(t.ctx), 1);

    // Adapters unreadable: an empty table, so the earlier rows cannot answer "linked".
    source->failAdapters = true;
    EXPECT_EQ(RunNetworkProbe(t.ctx), 0);
    EXPECT_EQ(RunNetworkProbe(t.ctx), 0);
    EXPECT_EQ(t.ctx.probe.adapterCount, 0);
    EXPECT_TRUE(t.ctx.probe.adapters[0].address.isEmpty());
    EXPECT_EQ(t.ctx.probe.wlanCount, 1);
    EXPECT_EQ(logged("adapter list busy"), 1) << log.join('\n').toStdString();

    // Wi-Fi unreadable: the WLAN table stays as the last probe left it.
    source->failAdapters = false;
    source->failWlan = true;
    EXPECT_EQ(RunNetworkProbe(t.ctx), 1);
    EXPECT_EQ(RunNetworkProbe(t.ctx), 1);
    EXPECT_EQ(t.ctx.probe.wlanCount, 1);
    EXPECT_EQ(logged("no Wi-Fi service"), 1) << log.join('\n').toStdString();

    // Recovered, then failing again: logged again.
    source->failAdapters = true;
    RunNetworkProbe(t.ctx);
    EXPECT_EQ(logged("adapter list busy"), 2);
}

TEST(NetworkProbe, ConnectedListIsRebuiltEvenWhenWifiCannotBeRead) {
    test::TestProgram t;
    auto* source = new FakeHostNetwork({{"wlan0", "192.168.77.23", 1}});
    source->failWlan = true;
    t.ctx.hostNetwork.reset(source);
    // Hand-filled WLAN table, stale connected list.
    t.ctx.probe.wlanCount = 2;
    t.ctx.probe.wlan[0].guidText = "wlan7";
    t.ctx.probe.wlan[0].state = 4;
    t.ctx.probe.wlan[1].guidText = "wlan0";
    t.ctx.probe.wlan[1].state = 1;
    t.ctx.probe.connectedCount = 5;
    EXPECT_EQ(RunNetworkProbe(t.ctx), 1);
    EXPECT_EQ(t.ctx.probe.connectedCount, 1);
    EXPECT_EQ(t.ctx.probe.connected[0].wlanRow, 1);
}

// --- nl80211 answers, built byte by byte as the kernel sends them ---

QByteArray attribute(std::uint16_t type, const QByteArray& payload) {
    QByteArray out(NLA_HDRLEN, '\0');
    const std::uint16_t length = NLA_HDRLEN + payload.size();
    std::memcpy(out.data(), &length, 2);
    std::memcpy(out.data() + 2, &type, 2);
    out += payload;
    out.append(NLA_ALIGN(length) - length, '\0');
    return out;
}

QByteArray u32(std::uint16_t type, std::uint32_t value) {
    return attribute(type, QByteArray(reinterpret_cast<const char*>(&value), 4));
}

std::string_view view(const QByteArray& bytes) { return {bytes.constData(), static_cast<std::size_t>(bytes.size())}; }

QByteArray genl(std::uint8_t command, const QByteArray& attributes) {
    return QByteArray(1, char(command)) + QByteArray("\x01\x00\x00", 3) + attributes;
}

QByteArray interfaceAnswer(std::uint32_t ifindex, const QByteArray& name, std::uint32_t wiphy) {
    return genl(NL80211_CMD_NEW_INTERFACE, u32(NL80211_ATTR_IFINDEX, ifindex) +
                                               attribute(NL80211_ATTR_IFNAME, name + '\0') +
                                               u32(NL80211_ATTR_WIPHY, wiphy) +
                                               u32(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION));
}

QByteArray bssAnswer(std::uint32_t ifindex, const QByteArray& bssid, const QByteArray& ssid, int status) {
    // Information elements: a rates element before the SSID, as beacons often have it.
    const QByteArray elements = QByteArray("\x01\x02\x82\x84", 4) + char(0) + char(ssid.size()) + ssid;
    QByteArray bss = attribute(NL80211_BSS_BSSID, bssid) + attribute(NL80211_BSS_INFORMATION_ELEMENTS, elements);
    if (status >= 0) bss += u32(NL80211_BSS_STATUS, static_cast<std::uint32_t>(status));
    return genl(NL80211_CMD_NEW_SCAN_RESULTS,
                u32(NL80211_ATTR_GENERATION, 9) + u32(NL80211_ATTR_IFINDEX, ifindex) +
                    attribute(NL80211_ATTR_BSS | NLA_F_NESTED, bss));
}

TEST(Nl80211Answers, RecordedAnswersBecomeTheWlanTable) {
    const QByteArray bssid("\x02\x1a\x2b\x3c\x4d\x5e", 6);
    std::vector<Nl80211Interface> interfaces;
    for (const QByteArray& answer : {interfaceAnswer(3, "wlan0", 0), interfaceAnswer(5, "wlp2s0", 1)}) {
        const auto parsed = ParseNl80211Interface(view(answer));
        ASSERT_TRUE(parsed);
        interfaces.push_back(*parsed);
    }
    std::vector<Nl80211Bss> bsses;
    for (const QByteArray& answer :
         {bssAnswer(3, QByteArray("\x0a\x0b\x0c\x0d\x0e\x0f", 6), "Neighbour", -1),  // only seen in a scan
          bssAnswer(3, bssid, "rZL-K110-AP", NL80211_BSS_STATUS_ASSOCIATED),
          bssAnswer(5, bssid, "rZL-K110-AP", NL80211_BSS_STATUS_AUTHENTICATED)}) {
        const auto parsed = ParseNl80211Bss(view(answer));
        ASSERT_TRUE(parsed);
        bsses.push_back(*parsed);
    }
    // Messages of another kind are not taken for either.
    EXPECT_FALSE(ParseNl80211Interface(view(bssAnswer(3, bssid, "x", 1))));
    EXPECT_FALSE(ParseNl80211Bss(view(interfaceAnswer(3, "wlan0", 0))));
    EXPECT_FALSE(ParseNl80211Interface(view(QByteArray("\x07\x01", 2))));

    NetworkSnapshot probe;
    probe.wlanCount = 7;  // stale rows from an earlier probe
    FillWlanTable(probe, platform::WlanFromNl80211(interfaces, bsses));
    ASSERT_EQ(probe.wlanCount, 2);
    EXPECT_EQ(probe.wlan[0].guidText, "wlan0");
    EXPECT_EQ(probe.wlan[0].description, "phy#0");
    EXPECT_EQ(probe.wlan[0].state, 1);
    EXPECT_EQ(probe.wlan[0].profileName, "rZL-K110-AP");
    EXPECT_EQ(probe.wlan[0].bssidText, "02:1A:2B:3C:4D:5E");
    EXPECT_EQ(probe.wlan[0].bssid[5], 0x5e);
    EXPECT_EQ(probe.wlan[1].guidText, "wlp2s0");
    EXPECT_EQ(probe.wlan[1].state, 4);  // authenticated is not yet associated
    EXPECT_TRUE(probe.wlan[1].profileName.isEmpty());

    // Joined with the adapter of the same name, the associated one is the candidate.
    probe.adapterCount = 2;
    probe.adapters[0].name = "wlp2s0";
    probe.adapters[0].address = "192.168.77.8";
    probe.adapters[1].name = "wlan0";
    probe.adapters[1].address = "192.168.77.7";
    RebuildConnectedList(probe);
    EXPECT_EQ(CountDeviceCandidates(probe, QStringLiteral("192.168.77.")), 1);
    EXPECT_EQ(probe.candidates[0].bssidText, "02:1A:2B:3C:4D:5E");
}

TEST(Nl80211Answers, TruncatedAnswersAreRefusedNotOverread) {
    const QByteArray whole = interfaceAnswer(3, "wlan0", 0);
    for (int size = 0; size < whole.size(); ++size) ParseNl80211Interface(view(whole.left(size)));
    const QByteArray bss = bssAnswer(3, QByteArray(6, '\x01'), "ssid", 1);
    for (int size = 0; size < bss.size(); ++size) ParseNl80211Bss(view(bss.left(size)));
    EXPECT_FALSE(ParseNl80211Bss(view(bss.left(bss.size() - 8))));
}

// The facts the Windows probe reads from its recorded answers (checked under Wine by
// platform/tests/windows_network_answers_test.cpp) through the tables and the candidate rule:
// the Wi-Fi adapter and its interface join by GUID, and it is on the module's network.
TEST(WindowsNetworkFacts, RecordedAnswersFindTheWifiAdapterOnTheModulesNetwork) {
    NetworkSnapshot probe;
    FillAdapterTable(probe, platform::test::RecordedWindowsAdapters());
    FillWlanTable(probe, platform::test::RecordedWindowsWlan());
    ASSERT_EQ(probe.adapterCount, 4);
    EXPECT_EQ(probe.adapters[0].address, "127.0.0.1");
    EXPECT_EQ(probe.adapters[0].physicalAddressText, "");
    EXPECT_EQ(probe.adapters[2].physicalAddressText, "A4:C3:F0:11:22:33");
    EXPECT_EQ(probe.adapters[2].physicalAddress[5], 0x33);
    EXPECT_EQ(probe.adapters[3].physicalAddressText, "00:00:00:00:00:00:00:E0") << "all eight bytes in the text";
    ASSERT_EQ(probe.wlanCount, 3);
    EXPECT_EQ(probe.wlan[0].bssidText, "02:1A:2B:3C:4D:5E");
    EXPECT_TRUE(probe.wlan[1].bssidText.isEmpty());

    RebuildConnectedList(probe);
    ASSERT_EQ(CountDeviceCandidates(probe, QStringLiteral("192.168.77.")), 1);
    EXPECT_EQ(probe.connected[0].adapterRow, 2);
    const CandidateRow& wifi = probe.candidates[0];
    EXPECT_EQ(wifi.guidText, platform::test::kRecordedWifiGuid);
    EXPECT_EQ(wifi.address, "192.168.77.23");
    EXPECT_EQ(wifi.friendlyName, "Wi-Fi");
    EXPECT_EQ(wifi.profileName, "rZL-K110-AP");
    EXPECT_EQ(wifi.physicalAddressText, "A4:C3:F0:11:22:33");
    EXPECT_EQ(wifi.interfaceType, 71);
    // The Ethernet adapter's self-assigned address is no candidate on any Wi-Fi prefix.
    EXPECT_EQ(CountDeviceCandidates(probe, QStringLiteral("169.254.")), 0);
}

TEST(NetworkTables, LongerListsFillTwentyRowsAndEmptyOnesNone) {
    NetworkSnapshot probe;
    std::vector<platform::AdapterFacts> adapters(25);
    std::vector<platform::WlanFacts> interfaces(25);
    for (int i = 0; i < 25; ++i) {
        adapters[i].name = "eth" + std::to_string(i);
        interfaces[i].id = adapters[i].name;
    }
    FillAdapterTable(probe, adapters);
    FillWlanTable(probe, interfaces);
    EXPECT_EQ(probe.adapterCount, NetworkSnapshot::kMaxAdapters);
    EXPECT_EQ(probe.adapters[19].name, "eth19");
    EXPECT_EQ(probe.wlanCount, NetworkSnapshot::kMaxWlan);
    EXPECT_EQ(probe.wlan[19].guidText, "eth19");
    FillAdapterTable(probe, {});
    FillWlanTable(probe, {});
    EXPECT_EQ(probe.adapterCount, 0);
    EXPECT_EQ(probe.wlanCount, 0);
}

TEST(LinuxHostNetwork, ReadsThisMachinesAdaptersAndAnEmptyWlanTableWithoutWifi) {
    auto source = makeHostNetwork();
    ASSERT_TRUE(source);
    NetworkSnapshot probe;
    QString error;
    ASSERT_TRUE(source->readAdapters(probe, &error)) << error.toStdString();
    const AdapterRow* lo = nullptr;
    for (int i = 0; i < probe.adapterCount; ++i)
        if (probe.adapters[i].name == "lo") lo = &probe.adapters[i];
    ASSERT_NE(lo, nullptr);
    EXPECT_EQ(lo->address, "127.0.0.1");
    EXPECT_EQ(lo->friendlyName, "lo");
    EXPECT_EQ(lo->interfaceType, 24);  // software loopback
    EXPECT_EQ(lo->operStatus, 1);

    // Whether or not this kernel knows Wi-Fi, the read succeeds and no row is a loopback.
    ASSERT_TRUE(source->readWlan(probe, &error)) << error.toStdString();
    for (int i = 0; i < probe.wlanCount; ++i) EXPECT_NE(probe.wlan[i].guidText, "lo");
}

}  // namespace
