#pragma once
// How the answers of IP Helper (GetAdaptersAddresses) and Native Wi-Fi (WlanEnumInterfaces,
// WlanQueryInterface with the current-connection opcode) become the network facts. Kept apart
// from the calls so that recorded answers, built as the API lays them out, can be fed in.

#include <string>
#include <vector>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <wlanapi.h>

#include "platform/host_network.h"

namespace rzl::platform {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in capitals, as adapter names spell the same GUID.
std::string GuidText(const GUID& guid);
// GetAdaptersAddresses' list, from `first` on: each adapter's name is its GUID, in capitals so
// that it equals the Wi-Fi interface's identifier; its address the first IPv4 unicast one.
std::vector<AdapterFacts> AdaptersFromAnswer(const IP_ADAPTER_ADDRESSES* first);
// WlanEnumInterfaces' list; connections[i] is what WlanQueryInterface gave for interface i as
// its current connection, nullptr when it gave none (not connected, or the query failed).
std::vector<WlanFacts> WlanFromAnswers(const WLAN_INTERFACE_INFO_LIST& list,
                                       const std::vector<const WLAN_CONNECTION_ATTRIBUTES*>& connections);
// The reason reported when a Native Wi-Fi call (named by `call`) failed with `code`.
std::string WlanFailure(const char* call, DWORD code);
// The reason reported when Native Wi-Fi's library could not be loaded (`code` from LoadLibraryExW
// or GetProcAddress): no Wi-Fi service, as when the service is stopped.
std::string WlanLibraryMissing(DWORD code);

}  // namespace rzl::platform
