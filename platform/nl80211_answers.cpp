#include "platform/nl80211_answers.h"

#include <linux/netlink.h>
#include <linux/nl80211.h>

#include <cstring>
#include <map>

namespace rzl::platform {

namespace {

constexpr std::size_t kGenlHeaderSize = 4;  // cmd, version, reserved
constexpr std::uint8_t kSsidElement = 0;

using Attributes = std::map<std::uint16_t, std::string_view>;

// Netlink attributes: 16-bit length (header included), 16-bit type, payload padded to 4.
Attributes parseAttributes(std::string_view bytes) {
    Attributes out;
    while (bytes.size() >= NLA_HDRLEN) {
        std::uint16_t length = 0;
        std::uint16_t type = 0;
        std::memcpy(&length, bytes.data(), 2);
        std::memcpy(&type, bytes.data() + 2, 2);
        if (length < NLA_HDRLEN || length > bytes.size()) break;
        out.insert_or_assign(type & NLA_TYPE_MASK, bytes.substr(NLA_HDRLEN, length - NLA_HDRLEN));
        const std::size_t step = NLA_ALIGN(length);
        if (step >= bytes.size()) break;
        bytes.remove_prefix(step);
    }
    return out;
}

std::string_view value(const Attributes& attributes, std::uint16_t type) {
    const auto it = attributes.find(type);
    return it == attributes.end() ? std::string_view() : it->second;
}

std::optional<std::uint32_t> u32(const Attributes& attributes, std::uint16_t type) {
    const std::string_view bytes = value(attributes, type);
    if (bytes.size() < 4) return std::nullopt;
    std::uint32_t number = 0;
    std::memcpy(&number, bytes.data(), 4);
    return number;
}

std::optional<Attributes> genlAttributes(std::string_view message, std::uint8_t command) {
    if (message.size() < kGenlHeaderSize || static_cast<std::uint8_t>(message[0]) != command) return std::nullopt;
    return parseAttributes(message.substr(kGenlHeaderSize));
}

// The SSID element of a BSS's information elements (id, length, data ...).
std::string ssidFromElements(std::string_view elements) {
    std::size_t at = 0;
    while (at + 2 <= elements.size()) {
        const auto id = static_cast<std::uint8_t>(elements[at]);
        const std::size_t length = static_cast<std::uint8_t>(elements[at + 1]);
        if (at + 2 + length > elements.size()) break;
        if (id == kSsidElement) return std::string(elements.substr(at + 2, length));
        at += 2 + length;
    }
    return {};
}

}  // namespace

std::optional<Nl80211Interface> ParseNl80211Interface(std::string_view message) {
    const auto attributes = genlAttributes(message, NL80211_CMD_NEW_INTERFACE);
    if (!attributes) return std::nullopt;
    const auto ifindex = u32(*attributes, NL80211_ATTR_IFINDEX);
    std::string_view name = value(*attributes, NL80211_ATTR_IFNAME);
    name = name.substr(0, name.find('\0'));
    if (!ifindex || name.empty()) return std::nullopt;
    Nl80211Interface out;
    out.ifindex = *ifindex;
    out.name = std::string(name);
    out.wiphy = u32(*attributes, NL80211_ATTR_WIPHY).value_or(0);
    out.iftype = u32(*attributes, NL80211_ATTR_IFTYPE).value_or(NL80211_IFTYPE_UNSPECIFIED);
    return out;
}

std::optional<Nl80211Bss> ParseNl80211Bss(std::string_view message) {
    const auto attributes = genlAttributes(message, NL80211_CMD_NEW_SCAN_RESULTS);
    if (!attributes || !attributes->count(NL80211_ATTR_BSS)) return std::nullopt;
    const auto ifindex = u32(*attributes, NL80211_ATTR_IFINDEX);
    const Attributes bss = parseAttributes(value(*attributes, NL80211_ATTR_BSS));
    const std::string_view bssid = value(bss, NL80211_BSS_BSSID);
    if (!ifindex || bssid.size() != 6) return std::nullopt;
    Nl80211Bss out;
    out.ifindex = *ifindex;
    std::memcpy(out.bssid.data(), bssid.data(), 6);
    std::string_view elements = value(bss, NL80211_BSS_INFORMATION_ELEMENTS);
    if (elements.empty()) elements = value(bss, NL80211_BSS_BEACON_IES);
    out.ssid = ssidFromElements(elements);
    if (const auto status = u32(bss, NL80211_BSS_STATUS)) out.status = static_cast<int>(*status);
    return out;
}

std::vector<WlanFacts> WlanFromNl80211(const std::vector<Nl80211Interface>& interfaces,
                                       const std::vector<Nl80211Bss>& bsses) {
    std::vector<WlanFacts> out;
    for (const Nl80211Interface& interface : interfaces) {
        WlanFacts& facts = out.emplace_back();
        facts.id = interface.name;  // joins with the adapter of the same name
        facts.description = "phy#" + std::to_string(interface.wiphy);
        facts.state = kWlanDisconnected;
        for (const Nl80211Bss& bss : bsses) {
            if (bss.ifindex != interface.ifindex) continue;
            if (bss.status == NL80211_BSS_STATUS_IBSS_JOINED) facts.state = kWlanAdHocFormed;
            if (bss.status != NL80211_BSS_STATUS_ASSOCIATED) continue;
            facts.state = kWlanConnected;
            facts.profileName = bss.ssid;
            facts.bssid = bss.bssid;
            break;
        }
    }
    return out;
}

}  // namespace rzl::platform
