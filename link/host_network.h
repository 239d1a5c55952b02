#pragma once
// The platform's source of the probe's facts.

#include <memory>

#include "core/host_network.h"

namespace rzl {

// This platform's source: the system's adapters and Wi-Fi interfaces as platform/host_network
// reads them (Linux: getifaddrs, sysfs, nl80211; Windows: GetAdaptersAddresses and the Native
// Wi-Fi calls), written into the tables by link/network_tables.
std::unique_ptr<HostNetwork> makeHostNetwork();

}  // namespace rzl
