#include "protocol/identify_reply.h"

#include <QStringList>

#include "core/frame.h"

namespace rzl {

namespace {

QString hex2(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

std::uint16_t ReplyReader::u16(int offset) const {
    return static_cast<std::uint16_t>(byte(offset) << 8 | byte(offset + 1));
}

std::uint32_t ReplyReader::u32(int offset) const {
    return std::uint32_t{u16(offset)} << 16 | u16(offset + 2);
}

QByteArray ReplyReader::text(int offset, int width) const {
    QByteArray bytes;
    for (int i = 0; i < width; ++i) {
        const std::uint8_t b = byte(offset + i);
        if (b == 0) break;
        bytes.append(static_cast<char>(b));
    }
    return bytes;
}

Ipv4Bytes ReplyReader::ipv4(int offset) const {
    return {byte(offset), byte(offset + 1), byte(offset + 2), byte(offset + 3)};
}

// The module reports its own address least significant octet first.
QString ReplyReader::moduleAddressText() const {
    const int at = identify::kAddress;
    return dottedText({byte(at + 3), byte(at + 2), byte(at + 1), byte(at)});
}

QString ReplyReader::macText() const {
    QStringList parts;
    for (int i = 0; i < 6; ++i) parts.append(hex2(byte(identify::kMac + i)));
    return parts.join(u':');
}

QString ReplyReader::firmwareText() const {
    return QStringLiteral("V") + hex2(byte(identify::kFwMajor)) + u'.' + hex2(byte(identify::kFwMinor));
}

QString dottedText(const Ipv4Bytes& address) {
    return QStringLiteral("%1.%2.%3.%4").arg(address[0]).arg(address[1]).arg(address[2]).arg(address[3]);
}

}  // namespace rzl
