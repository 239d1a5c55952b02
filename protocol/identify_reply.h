#pragma once
// Readers for the fixed fields of a reply, and the one decoder of the identify reply: the
// windows, the network scan and rzlctl all read a module's identity through IdentifyOf.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "core/device_info.h"

namespace rzl {

class ReplyReader {
public:
    ReplyReader(const std::uint8_t* frame, int size) : frame_(frame), size_(size) {}

    std::uint8_t byte(int offset) const { return offset >= 0 && offset < size_ ? frame_[offset] : 0; }
    std::uint16_t u16(int offset) const;  // most significant byte first
    std::uint32_t u32(int offset) const;  // most significant byte first
    // Text ending at the first zero byte or at the field width.
    QByteArray text(int offset, int width) const;
    Ipv4Bytes ipv4(int offset) const;     // dotted order
    QString moduleAddressText() const;    // identify bytes 10, 9, 8, 7
    QString macText() const;              // identify bytes 11..16, "AA:BB:CC:DD:EE:FF"
    QString firmwareText() const;         // "V" + two hex digits "." two hex digits

private:
    const std::uint8_t* frame_;
    int size_;
};

QString dottedText(const Ipv4Bytes& address);  // 192.168.1.10

// What an identify reply says about the module. A field beyond the bytes there reads as zero.
struct IdentifyReply {
    std::uint8_t model = 0;
    QString address;   // the address it reports for itself, dotted
    QString mac;       // "AA:BB:CC:DD:EE:FF"
    QString firmware;  // "01.0A"
    DeviceInfo settings;  // location, SSIDs, key types, Wi-Fi mode, static IP, Modbus
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
    std::uint16_t rssiRaw = 0;  // 0: not reported

    std::optional<int> rssiDbm() const;  // raw - 65536, nothing when not reported
};

IdentifyReply IdentifyOf(const ReplyReader& reply);
IdentifyReply IdentifyOf(const QByteArray& reply);

}  // namespace rzl
