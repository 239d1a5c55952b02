#pragma once
// The module's settings as reported by its last identify reply from the target address.

#include <QByteArray>
#include <array>
#include <cstdint>

namespace rzl {

using Ipv4Bytes = std::array<std::uint8_t, 4>;  // first octet of the dotted text first

struct DeviceInfo {
    QByteArray location;  // 8-bit texts, as the module sent them
    QByteArray apSsid;
    bool apSecured = false;
    QByteArray staSsid;
    std::uint8_t staKeyType = 0;  // 0 open, 1 WEP, other WPA/WPA2
    bool wifiModeAp = false;
    std::uint32_t modbusPort = 502;
    bool staticIpEnabled = false;
    Ipv4Bytes staIp{};
    Ipv4Bytes staNetmask{};
    Ipv4Bytes staGateway{};
    std::uint32_t modbusIdleTimeout = 120;
};

}  // namespace rzl
