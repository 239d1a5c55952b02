#pragma once
// Snapshot of the PC's IPv4 adapters and Wi-Fi interfaces, and the count of interfaces that
// sit on the module's subnet. Texts are 8-bit; only rows below each count are meaningful.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace rzl {

struct AdapterRow {
    QByteArray name;             // joins with WlanRow::guidText
    QByteArray address;          // first IPv4 unicast address, dotted; empty when none
    std::uint8_t prefixLength = 0;   // network prefix of that address (24 for 255.255.255.0)
    QByteArray description;
    QByteArray friendlyName;
    QByteArray physicalAddressText;  // "AA:BB:..", empty when the length is 0
    std::array<std::uint8_t, 6> physicalAddress{};
    std::uint8_t interfaceType = 0;
    std::uint8_t operStatus = 0;
};

struct WlanRow {
    QByteArray guidText;         // the interface identifier
    QByteArray description;
    std::uint8_t state = 0;      // 1 = connected
    QByteArray profileName;
    QByteArray bssidText;
    std::array<std::uint8_t, 6> bssid{};
};

struct ConnectedEntry {
    std::uint8_t wlanRow = 0;
    std::uint8_t adapterRow = 0;  // the adapter it matched, when it matched one
};

struct CandidateRow {
    QByteArray guidText;
    QByteArray description;
    std::uint8_t state = 0;
    QByteArray profileName;
    QByteArray bssidText;
    std::array<std::uint8_t, 6> bssid{};
    QByteArray address;
    QByteArray friendlyName;
    QByteArray physicalAddressText;
    std::array<std::uint8_t, 6> physicalAddress{};
    std::uint8_t interfaceType = 0;
};

struct NetworkSnapshot {
    static constexpr int kMaxAdapters = 20;
    static constexpr int kMaxWlan = 20;
    static constexpr int kMaxConnected = 10;
    static constexpr int kMaxCandidates = 3;

    std::array<AdapterRow, kMaxAdapters> adapters;
    std::uint8_t adapterCount = 0;
    std::array<WlanRow, kMaxWlan> wlan;
    std::uint8_t wlanCount = 0;
    std::array<ConnectedEntry, kMaxConnected> connected;
    std::uint8_t connectedCount = 0;
    std::array<CandidateRow, kMaxCandidates> candidates;
    std::uint8_t candidateCount = 0;

    // The last failure of each source that went to the log, so that a lasting failure
    // is logged once and not on every supervision cycle.
    QString adapterError;
    QString wlanError;
};

}  // namespace rzl
