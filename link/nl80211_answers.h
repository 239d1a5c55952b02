#pragma once
// What the kernel's nl80211 family answers about Wi-Fi interfaces, and how those answers
// become the WLAN table. Kept apart from the socket code so that recorded answers can be
// fed in on machines without wireless support.

#include <QByteArray>
#include <QList>
#include <array>
#include <cstdint>
#include <optional>

#include "link/network_probe.h"

namespace rzl {

// One interface from an interface dump (NL80211_CMD_NEW_INTERFACE).
struct Nl80211Interface {
    std::uint32_t ifindex = 0;
    QByteArray name;            // the network interface name, e.g. "wlan0"
    std::uint32_t wiphy = 0;
    std::uint32_t iftype = 0;   // NL80211_IFTYPE_*
};

// One BSS from an interface's scan dump (NL80211_CMD_NEW_SCAN_RESULTS).
struct Nl80211Bss {
    std::uint32_t ifindex = 0;
    std::array<std::uint8_t, 6> bssid{};
    QByteArray ssid;
    int status = -1;            // NL80211_BSS_STATUS_*, -1 when the kernel gave none
};

// Each takes one generic-netlink message as it came from the kernel: the 4-byte generic
// header followed by the attributes. Empty when the message is not of that kind or lacks
// the attributes that identify it.
std::optional<Nl80211Interface> ParseNl80211Interface(const QByteArray& message);
std::optional<Nl80211Bss> ParseNl80211Bss(const QByteArray& message);

// Rewrites the WLAN table (not the connected list): one row per interface in the order
// given, at most 20; an interface with an associated BSS is connected (state 1) with that
// BSS's SSID as profile name and its BSSID, any other is disconnected (state 4).
void FillWlanTable(NetworkSnapshot& probe, const QList<Nl80211Interface>& interfaces,
                   const QList<Nl80211Bss>& bsses);

}  // namespace rzl
