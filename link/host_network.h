#pragma once
// Where the network probe gets its facts: the platform's adapter list and Wi-Fi interfaces.

#include <QString>
#include <memory>

#include "link/network_probe.h"

namespace rzl {

class HostNetwork {
public:
    virtual ~HostNetwork() = default;
    // Fill the adapter table and its count. False (with a reason) when the list cannot be
    // read; the table then keeps what it held.
    virtual bool readAdapters(NetworkSnapshot& probe, QString* error) = 0;
    // Fill the WLAN table and its count (not the connected list). False when the Wi-Fi
    // service cannot be asked; the table then keeps what it held.
    virtual bool readWlan(NetworkSnapshot& probe, QString* error) = 0;
};

// This platform's source. Linux: host_network_linux.cpp (getifaddrs, sysfs, nl80211).
// Windows: a host_network_windows.cpp would fill the same tables from GetAdaptersAddresses
// (IPv4, prefixes included, the adapter GUID as name) and the Native Wi-Fi calls
// (WlanEnumInterfaces, WlanQueryInterface with the current-connection opcode, the GUID as
// identifier); it is not written yet.
std::unique_ptr<HostNetwork> makeHostNetwork();

}  // namespace rzl
