#include "link/nl80211_answers.h"

#if defined(__linux__)

#include <linux/netlink.h>
#include <linux/nl80211.h>

#include <QMap>
#include <cstring>

namespace rzl {

namespace {

constexpr int kGenlHeaderSize = 4;       // cmd, version, reserved
constexpr std::uint8_t kSsidElement = 0;

using Attributes = QMap<std::uint16_t, QByteArray>;

// Netlink attributes: 16-bit length (header included), 16-bit type, payload padded to 4.
Attributes parseAttributes(const QByteArray& bytes, int offset) {
    Attributes out;
    const char* p = bytes.constData() + offset;
    int left = bytes.size() - offset;
    while (left >= NLA_HDRLEN) {
        std::uint16_t length = 0;
        std::uint16_t type = 0;
        std::memcpy(&length, p, 2);
        std::memcpy(&type, p + 2, 2);
        if (length < NLA_HDRLEN || length > left) break;
        out.insert(type & NLA_TYPE_MASK, QByteArray(p + NLA_HDRLEN, length - NLA_HDRLEN));
        const int step = NLA_ALIGN(length);
        if (step >= left) break;
        p += step;
        left -= step;
    }
    return out;
}

std::optional<std::uint32_t> u32(const Attributes& attributes, std::uint16_t type) {
    const auto it = attributes.find(type);
    if (it == attributes.end() || it->size() < 4) return std::nullopt;
    std::uint32_t value = 0;
    std::memcpy(&value, it->constData(), 4);
    return value;
}

std::optional<Attributes> genlAttributes(const QByteArray& message, std::uint8_t command) {
    if (message.size() < kGenlHeaderSize || static_cast<std::uint8_t>(message[0]) != command) return std::nullopt;
    return parseAttributes(message, kGenlHeaderSize);
}

// The SSID element of a BSS's information elements (id, length, data ...).
QByteArray ssidFromElements(const QByteArray& elements) {
    int at = 0;
    while (at + 2 <= elements.size()) {
        const auto id = static_cast<std::uint8_t>(elements[at]);
        const int length = static_cast<std::uint8_t>(elements[at + 1]);
        if (at + 2 + length > elements.size()) break;
        if (id == kSsidElement) return elements.mid(at + 2, length);
        at += 2 + length;
    }
    return {};
}

QByteArray hexText(const std::array<std::uint8_t, 6>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), 6).toHex(':').toUpper();
}

}  // namespace

std::optional<Nl80211Interface> ParseNl80211Interface(const QByteArray& message) {
    const auto attributes = genlAttributes(message, NL80211_CMD_NEW_INTERFACE);
    if (!attributes) return std::nullopt;
    const auto ifindex = u32(*attributes, NL80211_ATTR_IFINDEX);
    QByteArray name = attributes->value(NL80211_ATTR_IFNAME);
    if (const int nul = name.indexOf('\0'); nul >= 0) name.truncate(nul);
    if (!ifindex || name.isEmpty()) return std::nullopt;
    Nl80211Interface out;
    out.ifindex = *ifindex;
    out.name = name;
    out.wiphy = u32(*attributes, NL80211_ATTR_WIPHY).value_or(0);
    out.iftype = u32(*attributes, NL80211_ATTR_IFTYPE).value_or(NL80211_IFTYPE_UNSPECIFIED);
    return out;
}

std::optional<Nl80211Bss> ParseNl80211Bss(const QByteArray& message) {
    const auto attributes = genlAttributes(message, NL80211_CMD_NEW_SCAN_RESULTS);
    if (!attributes || !attributes->contains(NL80211_ATTR_BSS)) return std::nullopt;
    const auto ifindex = u32(*attributes, NL80211_ATTR_IFINDEX);
    const Attributes bss = parseAttributes(attributes->value(NL80211_ATTR_BSS), 0);
    const QByteArray bssid = bss.value(NL80211_BSS_BSSID);
    if (!ifindex || bssid.size() != 6) return std::nullopt;
    Nl80211Bss out;
    out.ifindex = *ifindex;
    std::memcpy(out.bssid.data(), bssid.constData(), 6);
    QByteArray elements = bss.value(NL80211_BSS_INFORMATION_ELEMENTS);
    if (elements.isEmpty()) elements = bss.value(NL80211_BSS_BEACON_IES);
    out.ssid = ssidFromElements(elements);
    if (const auto status = u32(bss, NL80211_BSS_STATUS)) out.status = static_cast<int>(*status);
    return out;
}

void FillWlanTable(NetworkSnapshot& probe, const QList<Nl80211Interface>& interfaces,
                   const QList<Nl80211Bss>& bsses) {
    constexpr std::uint8_t kConnected = 1;
    constexpr std::uint8_t kAdHocFormed = 2;
    constexpr std::uint8_t kDisconnected = 4;
    probe.wlanCount = 0;
    for (const Nl80211Interface& interface : interfaces) {
        if (probe.wlanCount >= NetworkSnapshot::kMaxWlan) break;
        WlanRow& row = probe.wlan[probe.wlanCount++];
        row = WlanRow{};
        row.guidText = interface.name;  // joins with the adapter of the same name
        row.description = "phy#" + QByteArray::number(interface.wiphy);
        row.state = kDisconnected;
        for (const Nl80211Bss& bss : bsses) {
            if (bss.ifindex != interface.ifindex) continue;
            if (bss.status == NL80211_BSS_STATUS_IBSS_JOINED) row.state = kAdHocFormed;
            if (bss.status != NL80211_BSS_STATUS_ASSOCIATED) continue;
            row.state = kConnected;
            row.profileName = bss.ssid;
            row.bssid = bss.bssid;
            row.bssidText = hexText(bss.bssid);
            break;
        }
    }
}

}  // namespace rzl

#endif  // __linux__
