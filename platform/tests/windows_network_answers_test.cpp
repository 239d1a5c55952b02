// The Windows probe's reading of recorded answers: IP Helper's adapter list and Native Wi-Fi's
// interface list and current connections, built here as the API lays them out, must come to
// the facts in windows_recorded_facts.h (which the Linux tests run through the probe's rules).

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <deque>
#include <vector>

#include "platform/tests/windows_recorded_facts.h"
#include "platform/windows_network_answers.h"

#include <ws2tcpip.h>

namespace rzl::platform {
namespace {

GUID guidOf(const char* text) {
    GUID guid{};
    unsigned long data1 = 0;
    unsigned data2 = 0, data3 = 0, b[8] = {};
    std::sscanf(text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &data1, &data2, &data3, &b[0], &b[1], &b[2],
                &b[3], &b[4], &b[5], &b[6], &b[7]);
    guid.Data1 = data1;
    guid.Data2 = static_cast<unsigned short>(data2);
    guid.Data3 = static_cast<unsigned short>(data3);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(b[i]);
    return guid;
}

// A GetAdaptersAddresses answer: adapters linked by Next, each with its chain of unicast
// addresses pointing at their socket addresses.
class RecordedAdapterList {
public:
    IP_ADAPTER_ADDRESSES& add(const char* name, const wchar_t* friendlyName, const wchar_t* description, IFTYPE type,
                              IF_OPER_STATUS status, std::vector<BYTE> physical) {
        IP_ADAPTER_ADDRESSES& adapter = adapters_.emplace_back();
        adapter.Length = sizeof adapter;
        adapter.AdapterName = const_cast<char*>(name);
        adapter.FriendlyName = const_cast<wchar_t*>(friendlyName);
        adapter.Description = const_cast<wchar_t*>(description);
        adapter.IfType = type;
        adapter.OperStatus = status;
        adapter.PhysicalAddressLength = static_cast<ULONG>(physical.size());
        std::copy(physical.begin(), physical.end(), adapter.PhysicalAddress);
        if (adapters_.size() > 1) adapters_[adapters_.size() - 2].Next = &adapter;
        return adapter;
    }

    void ipv4(IP_ADAPTER_ADDRESSES& adapter, const char* dotted, UINT8 prefix) {
        sockaddr_in& at = v4_.emplace_back();
        at.sin_family = AF_INET;
        inet_pton(AF_INET, dotted, &at.sin_addr);
        append(adapter, reinterpret_cast<sockaddr*>(&at), sizeof at, prefix);
    }

    void ipv6(IP_ADAPTER_ADDRESSES& adapter, const char* text, UINT8 prefix) {
        sockaddr_in6& at = v6_.emplace_back();
        at.sin6_family = AF_INET6;
        inet_pton(AF_INET6, text, &at.sin6_addr);
        append(adapter, reinterpret_cast<sockaddr*>(&at), sizeof at, prefix);
    }

    const IP_ADAPTER_ADDRESSES* first() const { return adapters_.empty() ? nullptr : &adapters_.front(); }

private:
    void append(IP_ADAPTER_ADDRESSES& adapter, sockaddr* address, int size, UINT8 prefix) {
        IP_ADAPTER_UNICAST_ADDRESS& entry = unicast_.emplace_back();
        entry.Length = sizeof entry;
        entry.Address.lpSockaddr = address;
        entry.Address.iSockaddrLength = size;
        entry.OnLinkPrefixLength = prefix;
        IP_ADAPTER_UNICAST_ADDRESS** end = &adapter.FirstUnicastAddress;
        while (*end) end = &(*end)->Next;
        *end = &entry;
    }

    std::deque<IP_ADAPTER_ADDRESSES> adapters_;
    std::deque<IP_ADAPTER_UNICAST_ADDRESS> unicast_;
    std::deque<sockaddr_in> v4_;
    std::deque<sockaddr_in6> v6_;
};

// A WlanEnumInterfaces answer: the count, then that many entries in one block.
class RecordedInterfaceList {
public:
    void add(const char* guid, const wchar_t* description, WLAN_INTERFACE_STATE state) {
        WLAN_INTERFACE_INFO& entry = entries_.emplace_back();
        entry.InterfaceGuid = guidOf(guid);
        std::wcsncpy(entry.strInterfaceDescription, description, WLAN_MAX_NAME_LENGTH - 1);
        entry.isState = state;
    }

    const WLAN_INTERFACE_INFO_LIST& list() {
        const std::size_t bytes = sizeof(WLAN_INTERFACE_INFO_LIST) + entries_.size() * sizeof(WLAN_INTERFACE_INFO);
        block_.assign(bytes / sizeof(std::max_align_t) + 1, std::max_align_t{});
        auto* list = reinterpret_cast<WLAN_INTERFACE_INFO_LIST*>(block_.data());
        list->dwNumberOfItems = static_cast<DWORD>(entries_.size());
        WLAN_INTERFACE_INFO* laidOut = list->InterfaceInfo;
        for (std::size_t i = 0; i < entries_.size(); ++i) laidOut[i] = entries_[i];
        return *list;
    }

private:
    std::vector<WLAN_INTERFACE_INFO> entries_;
    std::vector<std::max_align_t> block_;
};

WLAN_CONNECTION_ATTRIBUTES connection(WLAN_INTERFACE_STATE state, const wchar_t* profile, std::vector<UCHAR> bssid) {
    WLAN_CONNECTION_ATTRIBUTES attributes{};
    attributes.isState = state;
    attributes.wlanConnectionMode = wlan_connection_mode_profile;
    std::wcsncpy(attributes.strProfileName, profile, WLAN_MAX_NAME_LENGTH - 1);
    std::copy(bssid.begin(), bssid.end(), attributes.wlanAssociationAttributes.dot11Bssid);
    return attributes;
}

TEST(WindowsNetworkAnswers, RecordedAdapterListBecomesTheAdapterFacts) {
    RecordedAdapterList answer;
    IP_ADAPTER_ADDRESSES& loopback = answer.add("{0B1C2D3E-0000-0000-0000-000000000001}", L"Loopback Pseudo-Interface 1",
                                                L"Software Loopback Interface 1", IF_TYPE_SOFTWARE_LOOPBACK,
                                                IfOperStatusUp, {});
    answer.ipv6(loopback, "::1", 128);  // IPv6 first, as Windows lists them: not the address taken
    answer.ipv4(loopback, "127.0.0.1", 8);
    // Names spelt in small letters still join the interface's GUID. Texts outside ASCII arrive
    // as UTF-8, whatever the ANSI code page.
    IP_ADAPTER_ADDRESSES& ethernet =
        answer.add("{a1b2c3d4-e5f6-4711-8899-aabbccddeeff}", L"Ethernet B\u00FCro", L"Intel(R) Ethernet Connection I219-V",
                   IF_TYPE_ETHERNET_CSMACD, IfOperStatusDown, {0x00, 0x1B, 0x21, 0x3A, 0x4B, 0x5C});
    answer.ipv4(ethernet, "169.254.3.4", 16);
    answer.ipv4(ethernet, "10.9.8.7", 8);  // a second IPv4 address: the first one counts
    IP_ADAPTER_ADDRESSES& wifi = answer.add(test::kRecordedWifiGuid, L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz",
                                            IF_TYPE_IEEE80211, IfOperStatusUp, {0xA4, 0xC3, 0xF0, 0x11, 0x22, 0x33});
    answer.ipv6(wifi, "fe80::1c2d:3e4f:5a6b:7c8d", 64);
    answer.ipv4(wifi, "192.168.77.23", 24);
    IP_ADAPTER_ADDRESSES& tunnel = answer.add("{0C0C0C0C-1111-2222-3333-444444444444}",
                                              L"Teredo Tunneling Pseudo-Interface", L"Teredo Tunneling Pseudo-Interface",
                                              IF_TYPE_TUNNEL, IfOperStatusDormant, {0, 0, 0, 0, 0, 0, 0, 0xE0});
    answer.ipv6(tunnel, "2001:0:2851:782c::1", 64);

    const std::vector<AdapterFacts> facts = AdaptersFromAnswer(answer.first());
    const std::vector<AdapterFacts> expected = test::RecordedWindowsAdapters();
    ASSERT_EQ(facts.size(), expected.size());
    for (std::size_t i = 0; i < facts.size(); ++i) {
        SCOPED_TRACE(expected[i].friendlyName);
        EXPECT_EQ(facts[i].name, expected[i].name);
        EXPECT_EQ(facts[i].address, expected[i].address);
        EXPECT_EQ(facts[i].prefixLength, expected[i].prefixLength);
        EXPECT_EQ(facts[i].description, expected[i].description);
        EXPECT_EQ(facts[i].friendlyName, expected[i].friendlyName);
        EXPECT_EQ(facts[i].physicalAddress, expected[i].physicalAddress);
        EXPECT_EQ(facts[i].interfaceType, expected[i].interfaceType);
        EXPECT_EQ(facts[i].operStatus, expected[i].operStatus);
    }
    EXPECT_TRUE(AdaptersFromAnswer(nullptr).empty());
}

TEST(WindowsNetworkAnswers, InterfaceTypesBeyondAByteReadAsOther) {
    RecordedAdapterList answer;
    answer.add("{00000000-0000-0000-0000-000000000281}", L"Cellular", L"Mobile broadband", 281, IfOperStatusUp, {});
    ASSERT_EQ(AdaptersFromAnswer(answer.first()).size(), 1u);
    EXPECT_EQ(AdaptersFromAnswer(answer.first())[0].interfaceType, 1);
}

TEST(WindowsNetworkAnswers, RecordedInterfacesAndConnectionsBecomeTheWlanFacts) {
    RecordedInterfaceList interfaces;
    interfaces.add(test::kRecordedWifiGuid, L"Intel(R) Wi-Fi 6 AX201 160MHz", wlan_interface_state_connected);
    interfaces.add("{77777777-8888-9999-AAAA-BBBBBBBBBBBB}", L"USB-WLAN \u0141\u00F3d\u017A", wlan_interface_state_disconnected);
    interfaces.add("{00000042-0001-0002-0304-050607080900}", L"Second USB Wi-Fi adapter",
                   wlan_interface_state_authenticating);
    const WLAN_CONNECTION_ATTRIBUTES connected =
        connection(wlan_interface_state_connected, L"rZL-K110-AP", {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
    // Still authenticating: what the query gives is no connection yet.
    const WLAN_CONNECTION_ATTRIBUTES authenticating =
        connection(wlan_interface_state_authenticating, L"Neighbour", {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F});

    const std::vector<WlanFacts> facts = WlanFromAnswers(interfaces.list(), {&connected, nullptr, &authenticating});
    const std::vector<WlanFacts> expected = test::RecordedWindowsWlan();
    ASSERT_EQ(facts.size(), expected.size());
    for (std::size_t i = 0; i < facts.size(); ++i) {
        SCOPED_TRACE(expected[i].description);
        EXPECT_EQ(facts[i].id, expected[i].id);
        EXPECT_EQ(facts[i].description, expected[i].description);
        EXPECT_EQ(facts[i].state, expected[i].state);
        EXPECT_EQ(facts[i].profileName, expected[i].profileName);
        EXPECT_EQ(facts[i].bssid, expected[i].bssid);
    }
}

TEST(WindowsNetworkAnswers, GuidTextIsSpeltAsAdapterNamesSpellIt) {
    const GUID guid{0x0000ABCD, 0x0102, 0xF0E0, {0x9A, 0xBC, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05}};
    EXPECT_EQ(GuidText(guid), "{0000ABCD-0102-F0E0-9ABC-000102030405}");
}

TEST(WindowsNetworkAnswers, AMissingWlanServiceIsNamedInTheReason) {
    for (const DWORD code : {static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)}) {
        const std::string reason = WlanFailure("WlanOpenHandle", code);
        EXPECT_EQ(reason.rfind("the WLAN service is not running (", 0), 0u) << reason;
        EXPECT_GT(reason.size(), std::string("the WLAN service is not running ()").size()) << "with the system's text";
    }
    const std::string denied = WlanFailure("WlanEnumInterfaces", ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.rfind("WlanEnumInterfaces: ", 0), 0u) << denied;
}

}  // namespace
}  // namespace rzl::platform
