#include "platform/windows_network_answers.h"

#include <ws2tcpip.h>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/windows_text.h"

namespace rzl::platform {

namespace {

// IANA ifType numbers above 255 do not fit the table's byte: "other".
std::uint8_t interfaceType(IFTYPE type) { return type <= 255 ? static_cast<std::uint8_t>(type) : 1; }

// The first IPv4 unicast address, dotted, with its prefix length.
void firstIpv4(const IP_ADAPTER_UNICAST_ADDRESS* unicast, AdapterFacts& facts) {
    for (; unicast; unicast = unicast->Next) {
        const sockaddr* address = unicast->Address.lpSockaddr;
        if (!address || address->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        facts.address = text;
        facts.prefixLength = unicast->OnLinkPrefixLength;
        return;
    }
}

AdapterFacts adapterFacts(const IP_ADAPTER_ADDRESSES& adapter) {
    AdapterFacts facts;
    facts.name = adapter.AdapterName ? adapter.AdapterName : "";
    std::transform(facts.name.begin(), facts.name.end(), facts.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    facts.friendlyName = Utf8FromWide(adapter.FriendlyName);
    facts.description = Utf8FromWide(adapter.Description);
    firstIpv4(adapter.FirstUnicastAddress, facts);
    const ULONG length = std::min<ULONG>(adapter.PhysicalAddressLength, MAX_ADAPTER_ADDRESS_LENGTH);
    facts.physicalAddress.assign(adapter.PhysicalAddress, adapter.PhysicalAddress + length);
    facts.interfaceType = interfaceType(adapter.IfType);
    facts.operStatus = static_cast<std::uint8_t>(adapter.OperStatus);  // IF_OPER_STATUS is RFC 2863's numbering
    return facts;
}

WlanFacts wlanFacts(const WLAN_INTERFACE_INFO& entry, const WLAN_CONNECTION_ATTRIBUTES* connection) {
    WlanFacts facts;
    facts.id = GuidText(entry.InterfaceGuid);
    facts.description = Utf8FromWide(entry.strInterfaceDescription);
    facts.state = static_cast<std::uint8_t>(entry.isState);  // the table numbers states as Native Wi-Fi does
    if (connection && connection->isState == wlan_interface_state_connected) {
        facts.profileName = Utf8FromWide(connection->strProfileName);
        std::array<std::uint8_t, 6> bssid{};
        std::copy_n(connection->wlanAssociationAttributes.dot11Bssid, bssid.size(), bssid.begin());
        facts.bssid = bssid;
    }
    return facts;
}

}  // namespace

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

std::vector<AdapterFacts> AdaptersFromAnswer(const IP_ADAPTER_ADDRESSES* first) {
    std::vector<AdapterFacts> adapters;
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter; adapter = adapter->Next)
        adapters.push_back(adapterFacts(*adapter));
    return adapters;
}

std::vector<WlanFacts> WlanFromAnswers(const WLAN_INTERFACE_INFO_LIST& list,
                                       const std::vector<const WLAN_CONNECTION_ATTRIBUTES*>& connections) {
    std::vector<WlanFacts> interfaces;
    // The list is laid out with dwNumberOfItems entries, though the type declares one.
    const WLAN_INTERFACE_INFO* entries = list.InterfaceInfo;
    for (DWORD i = 0; i < list.dwNumberOfItems; ++i)
        interfaces.push_back(wlanFacts(entries[i], i < connections.size() ? connections[i] : nullptr));
    return interfaces;
}

std::string WlanFailure(const char* call, DWORD code) {
    if (code == ERROR_SERVICE_NOT_ACTIVE || code == RPC_S_SERVER_UNAVAILABLE)
        return "the WLAN service is not running (" + SystemMessage(code) + ")";
    return std::string(call) + ": " + SystemMessage(code);
}

std::string WlanLibraryMissing(DWORD code) { return "no Wi-Fi service (wlanapi.dll: " + SystemMessage(code) + ")"; }

}  // namespace rzl::platform
