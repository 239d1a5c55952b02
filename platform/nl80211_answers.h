#pragma once
// What the kernel's nl80211 family answers about Wi-Fi interfaces, and how those answers
// become the Wi-Fi interface list. Kept apart from the socket code so that recorded answers
// can be fed in on machines without wireless support.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host_network.h"

namespace rzl::platform {

// One interface from an interface dump (NL80211_CMD_NEW_INTERFACE).
struct Nl80211Interface {
    std::uint32_t ifindex = 0;
    std::string name;           // the network interface name, e.g. "wlan0"
    std::uint32_t wiphy = 0;
    std::uint32_t iftype = 0;   // NL80211_IFTYPE_*
};

// One BSS from an interface's scan dump (NL80211_CMD_NEW_SCAN_RESULTS).
struct Nl80211Bss {
    std::uint32_t ifindex = 0;
    std::array<std::uint8_t, 6> bssid{};
    std::string ssid;
    int status = -1;            // NL80211_BSS_STATUS_*, -1 when the kernel gave none
};

// Each takes one generic-netlink message as it came from the kernel: the 4-byte generic
// header followed by the attributes. Empty when the message is not of that kind or lacks
// the attributes that identify it.
std::optional<Nl80211Interface> ParseNl80211Interface(std::string_view message);
std::optional<Nl80211Bss> ParseNl80211Bss(std::string_view message);

// One entry per interface in the order given; an interface with an associated BSS is
// connected with that BSS's SSID as profile name and its BSSID, one that has joined an ad hoc
// network has formed one, any other is disconnected. The interface name is the identifier,
// so that it joins with the adapter of the same name.
std::vector<WlanFacts> WlanFromNl80211(const std::vector<Nl80211Interface>& interfaces,
                                       const std::vector<Nl80211Bss>& bsses);

}  // namespace rzl::platform
