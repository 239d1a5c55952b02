#pragma once
// What this PC's network adapters and Wi-Fi interfaces are, as the system tells it. One file
// per system: host_network_linux.cpp (getifaddrs, sysfs, nl80211), host_network_windows.cpp
// (IP Helper and Native Wi-Fi). Texts are in UTF-8.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rzl::platform {

struct AdapterFacts {
    std::string name;          // the system's name for it; a Wi-Fi interface's WlanFacts::id is the same
    std::string address;       // first IPv4 unicast address, dotted; empty when none
    std::uint8_t prefixLength = 0;  // network prefix of that address (24 for 255.255.255.0)
    std::string description;
    std::string friendlyName;
    std::vector<std::uint8_t> physicalAddress;  // empty when it has none
    std::uint8_t interfaceType = 0;  // as IANA's ifType numbers it (6 Ethernet, 24 loopback, 71 Wi-Fi)
    std::uint8_t operStatus = 0;     // as RFC 2863 numbers it (1 up, 2 down, ... 7 lower layer down)
};

// Wi-Fi interface states, in the numbering the WLAN table uses.
enum WlanState : std::uint8_t { kWlanConnected = 1, kWlanAdHocFormed = 2, kWlanDisconnected = 4 };

struct WlanFacts {
    std::string id;            // equal to the name of its adapter
    std::string description;
    std::uint8_t state = 0;    // a WlanState, or another state the system reports
    std::string profileName;   // the network it is connected to
    std::optional<std::array<std::uint8_t, 6>> bssid;  // the access point, when connected
};

// In the order the system lists them. False, with the reason in `error`, when the list cannot
// be read.
bool ReadAdapters(std::vector<AdapterFacts>& adapters, std::string& error);
// False, with the reason in `error`, when the Wi-Fi service cannot be asked (on Windows: the
// WLAN service is not running). A system without Wi-Fi support has no interfaces: true.
bool ReadWlanInterfaces(std::vector<WlanFacts>& interfaces, std::string& error);

}  // namespace rzl::platform
