#pragma once
// Wire constants of the module protocol: every frame, in both directions, opens with
// the four signature bytes; byte 4 is the command code, byte 5 of a reply its status.

#include <array>
#include <cstdint>

namespace rzl {

inline constexpr std::array<std::uint8_t, 4> kFrameSignature{0x5A, 0x35, 0x77, 0xA5};

inline constexpr int kTxFrameSize = 1024;
inline constexpr int kRxFrameSize = 4096;
inline constexpr int kRxClearedBytes = 250;  // every field the program reads lies below this
inline constexpr std::uint16_t kDefaultTcpPort = 13577;
inline constexpr std::uint8_t kStatusAccepted = 6;

inline constexpr int kCommandByte = 4;
inline constexpr int kStatusByte = 5;

// Command codes the program sends (byte 4 of a request).
enum Command : std::uint8_t {
    kCmdLocate = 29,
    kCmdIdentify = 33,
    kCmdChecksumQuery = 37,
    kCmdImageActivate = 38,
    kCmdReboot = 45,
    kCmdWifiMode = 48,
    kCmdWebKey = 50,
    kCmdFirmwareHeader = 90,
    kCmdDeleteFile = 93,
    kCmdResetDefaults = 94,
    kCmdFileHeader = 95,
    kCmdCounterRead = 96,
    kCmdCounterClear = 97,
    kCmdSetOutput = 208,
    kCmdPoll = 216,
    kCmdModbusNotice = 220,
};

// Offsets inside the short replies: state (to 208, 216, and with no command pending), poll's
// RSSI, the firmware checksum, the eight input counters.
namespace shortReply {
inline constexpr int kDoBits = 6;
inline constexpr int kDiBits = 7;
inline constexpr int kPollRssi = 8;       // 2 bytes, big-endian, 0 = not reported
inline constexpr int kChecksum = 6;       // 4 bytes, big-endian
inline constexpr int kFirstCounter = 6;   // 8 counters of 4 bytes, big-endian, DI0 first
inline constexpr int kCounters = 8;
}  // namespace shortReply

// Offsets inside the identify reply.
namespace identify {
inline constexpr int kModel = 6;
inline constexpr int kAddress = 7;      // 4 bytes, least significant octet first
inline constexpr int kMac = 11;         // 6 bytes
inline constexpr int kFwMajor = 24;
inline constexpr int kFwMinor = 25;
inline constexpr int kLocation = 40;    // 31-byte text
inline constexpr int kApSsid = 80;      // 31-byte text
inline constexpr int kApKeyType = 112;
inline constexpr int kApKey = 113;      // 14-byte text, unused by the program
inline constexpr int kStaSsid = 128;    // 31-byte text
inline constexpr int kStaKeyType = 160;
inline constexpr int kStaKey = 161;     // 14-byte text, unused by the program
inline constexpr int kWifiMode = 176;
inline constexpr int kDoBits = 177;
inline constexpr int kDiBits = 178;
inline constexpr int kModbusPort = 179;  // 2 bytes, big-endian
inline constexpr int kStaticIpOn = 181;
inline constexpr int kStaIp = 182;       // 4 bytes, dotted order
inline constexpr int kStaNetmask = 186;
inline constexpr int kStaGateway = 190;
inline constexpr int kRssi = 194;        // 2 bytes, big-endian, 0 = not reported
inline constexpr int kIdleTimeout = 196; // 2 bytes, big-endian
inline constexpr int kTextWidth = 31;
inline constexpr int kKeyWidth = 14;
inline constexpr int kReplyLength = 198;
}  // namespace identify

}  // namespace rzl
