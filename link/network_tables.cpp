#include "link/network_tables.h"

#include <algorithm>

namespace rzl {

namespace {

QByteArray text(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

QByteArray hexText(const std::uint8_t* bytes, std::size_t length) {
    return QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length)).toHex(':').toUpper();
}

}  // namespace

void FillAdapterTable(NetworkSnapshot& probe, const std::vector<platform::AdapterFacts>& adapters) {
    probe.adapterCount = 0;
    for (const platform::AdapterFacts& facts : adapters) {
        if (probe.adapterCount >= NetworkSnapshot::kMaxAdapters) break;
        AdapterRow& row = probe.adapters[probe.adapterCount++];
        row = AdapterRow{};
        row.name = text(facts.name);  // joins with the Wi-Fi interface of the same identifier
        row.address = text(facts.address);
        row.prefixLength = facts.prefixLength;
        row.description = text(facts.description);
        row.friendlyName = text(facts.friendlyName);
        row.physicalAddressText = hexText(facts.physicalAddress.data(), facts.physicalAddress.size());
        std::copy_n(facts.physicalAddress.begin(), std::min<std::size_t>(facts.physicalAddress.size(), 6),
                    row.physicalAddress.begin());
        row.interfaceType = facts.interfaceType;
        row.operStatus = facts.operStatus;
    }
}

void FillWlanTable(NetworkSnapshot& probe, const std::vector<platform::WlanFacts>& interfaces) {
    probe.wlanCount = 0;
    for (const platform::WlanFacts& facts : interfaces) {
        if (probe.wlanCount >= NetworkSnapshot::kMaxWlan) break;
        WlanRow& row = probe.wlan[probe.wlanCount++];
        row = WlanRow{};
        row.guidText = text(facts.id);
        row.description = text(facts.description);
        row.state = facts.state;
        row.profileName = text(facts.profileName);
        if (facts.bssid) {
            row.bssid = *facts.bssid;
            row.bssidText = hexText(facts.bssid->data(), facts.bssid->size());
        }
    }
}

}  // namespace rzl
