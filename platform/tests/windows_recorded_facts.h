#pragma once
// What the recorded Windows answers of windows_network_answers_test.cpp (a loopback, an
// Ethernet adapter that is down, the Wi-Fi adapter on the module's network, a tunnel; the
// Wi-Fi interface connected to the module's access point, a second one disconnected, a third
// authenticating) come to. That test checks the Windows probe reads the answers as this; the
// Linux tests feed this into the tables and the probe's rules.

#include <vector>

#include "platform/host_network.h"

namespace rzl::platform::test {

inline constexpr const char* kRecordedWifiGuid = "{5E1A2B3C-4D5E-11EE-9ABC-0123456789AB}";

inline std::vector<AdapterFacts> RecordedWindowsAdapters() {
    return {
        {"{0B1C2D3E-0000-0000-0000-000000000001}", "127.0.0.1", 8, "Software Loopback Interface 1",
         "Loopback Pseudo-Interface 1", {}, 24, 1},
        {"{A1B2C3D4-E5F6-4711-8899-AABBCCDDEEFF}", "169.254.3.4", 16, "Intel(R) Ethernet Connection I219-V",
         "Ethernet B\xC3\xBCro", {0x00, 0x1B, 0x21, 0x3A, 0x4B, 0x5C}, 6, 2},
        {kRecordedWifiGuid, "192.168.77.23", 24, "Intel(R) Wi-Fi 6 AX201 160MHz", "Wi-Fi",
         {0xA4, 0xC3, 0xF0, 0x11, 0x22, 0x33}, 71, 1},
        {"{0C0C0C0C-1111-2222-3333-444444444444}", "", 0, "Teredo Tunneling Pseudo-Interface",
         "Teredo Tunneling Pseudo-Interface", {0, 0, 0, 0, 0, 0, 0, 0xE0}, 131, 5},
    };
}

inline std::vector<WlanFacts> RecordedWindowsWlan() {
    return {
        {kRecordedWifiGuid, "Intel(R) Wi-Fi 6 AX201 160MHz", kWlanConnected, "rZL-K110-AP",
         std::array<std::uint8_t, 6>{0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        {"{77777777-8888-9999-AAAA-BBBBBBBBBBBB}", "USB-WLAN \xC5\x81\xC3\xB3" "d\xC5\xBA", kWlanDisconnected, "", std::nullopt},
        {"{00000042-0001-0002-0304-050607080900}", "Second USB Wi-Fi adapter", 7, "", std::nullopt},
    };
}

}  // namespace rzl::platform::test
