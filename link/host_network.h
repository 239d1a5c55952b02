#pragma once
// The platform's source of the probe's facts.

#include <QString>
#include <memory>

#include "core/host_network.h"

namespace rzl {

// This platform's source. Linux: host_network_linux.cpp (getifaddrs, sysfs, nl80211).
// Windows: a host_network_windows.cpp would fill the same tables from GetAdaptersAddresses
// (IPv4, prefixes included, the adapter GUID as name) and the Native Wi-Fi calls
// (WlanEnumInterfaces, WlanQueryInterface with the current-connection opcode, the GUID as
// identifier); it is not written yet.
std::unique_ptr<HostNetwork> makeHostNetwork();

}  // namespace rzl
