#include "protocol/identify_reply.h"

#include "core/frame.h"

namespace rzl {

namespace {

// These texts are built on every identify reply; plain appends cost less than arg().
void appendHex2(QString& to, std::uint8_t value) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    to.append(QChar(kDigits[value >> 4])).append(QChar(kDigits[value & 0xF]));
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
    QString text;
    text.reserve(17);
    for (int i = 0; i < 6; ++i) {
        if (i > 0) text.append(u':');
        appendHex2(text, byte(identify::kMac + i));
    }
    return text;
}

QString ReplyReader::firmwareText() const {
    QString text(QStringLiteral("V"));
    appendHex2(text, byte(identify::kFwMajor));
    text.append(u'.');
    appendHex2(text, byte(identify::kFwMinor));
    return text;
}

QString dottedText(const Ipv4Bytes& address) {
    QString text;
    text.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text.append(u'.');
        text.append(QString::number(address[i]));
    }
    return text;
}

std::optional<int> IdentifyReply::rssiDbm() const {
    if (rssiRaw == 0) return std::nullopt;
    return rssiRaw - 65536;
}

IdentifyReply IdentifyOf(const ReplyReader& r) {
    IdentifyReply reply;
    reply.model = r.byte(identify::kModel);
    reply.address = r.moduleAddressText();
    reply.mac = r.macText();
    reply.firmware = r.firmwareText().mid(1);
    DeviceInfo& info = reply.settings;
    info.location = r.text(identify::kLocation, identify::kTextWidth);
    info.apSsid = r.text(identify::kApSsid, identify::kTextWidth);
    info.apSecured = r.byte(identify::kApKeyType) != 0;
    info.staSsid = r.text(identify::kStaSsid, identify::kTextWidth);
    info.staKeyType = r.byte(identify::kStaKeyType);
    info.wifiModeAp = r.byte(identify::kWifiMode) != 0;
    info.modbusPort = r.u16(identify::kModbusPort);
    info.staticIpEnabled = r.byte(identify::kStaticIpOn) != 0;
    info.staIp = r.ipv4(identify::kStaIp);
    info.staNetmask = r.ipv4(identify::kStaNetmask);
    info.staGateway = r.ipv4(identify::kStaGateway);
    info.modbusIdleTimeout = r.u16(identify::kIdleTimeout);
    reply.doBits = r.byte(identify::kDoBits);
    reply.diBits = r.byte(identify::kDiBits);
    reply.rssiRaw = r.u16(identify::kRssi);
    return reply;
}

IdentifyReply IdentifyOf(const QByteArray& reply) {
    return IdentifyOf(ReplyReader(reinterpret_cast<const std::uint8_t*>(reply.constData()), static_cast<int>(reply.size())));
}

}  // namespace rzl
