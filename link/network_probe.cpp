#include "link/network_probe.h"

#include "core/context.h"
#include "link/host_network.h"

#include <algorithm>

namespace rzl {

namespace {

// The reason a source cannot be read is logged once for as long as it stays the same.
void noteFailure(Context& ctx, QString& lastError, const QString& source, const QString& reason) {
    const QString text = reason.isEmpty() ? QStringLiteral("unknown reason") : reason;
    if (text == lastError) return;
    lastError = text;
    ctx.screen.log(QStringLiteral("%1: %2").arg(source, text));
}

}  // namespace

void ReadHostAdapters(Context& ctx) {
    if (!ctx.hostNetwork) return;
    NetworkSnapshot& probe = ctx.probe;
    QString error;
    if (ctx.hostNetwork->readAdapters(probe, &error)) {
        probe.adapterError.clear();
        return;
    }
    // An unreadable list is an empty table: rows from an earlier probe could keep a link
    // "found" on a network the PC may have left since.
    probe.adapters.fill(AdapterRow{});
    probe.adapterCount = 0;
    noteFailure(ctx, probe.adapterError, QStringLiteral("Adapter list not read"), error);
}

void ReadWlanInterfaces(Context& ctx) {
    NetworkSnapshot& probe = ctx.probe;
    if (ctx.hostNetwork) {
        const auto rows = probe.wlan;
        const auto count = probe.wlanCount;
        QString error;
        if (ctx.hostNetwork->readWlan(probe, &error)) {
            probe.wlanError.clear();
        } else {
            probe.wlan = rows;
            probe.wlanCount = count;
            noteFailure(ctx, probe.wlanError, QStringLiteral("Wi-Fi interfaces not read"), error);
        }
    }
    RebuildConnectedList(probe);
}

void RebuildConnectedList(NetworkSnapshot& probe) {
    probe.connectedCount = 0;
    const int rows = std::min<int>(probe.wlanCount, NetworkSnapshot::kMaxWlan);
    for (int i = 0; i < rows && probe.connectedCount < NetworkSnapshot::kMaxConnected; ++i) {
        if (probe.wlan[i].state != 1) continue;
        probe.connected[probe.connectedCount++] = ConnectedEntry{static_cast<std::uint8_t>(i), 0};
    }
}

std::uint8_t CountDeviceCandidates(NetworkSnapshot& probe, const QString& subnetPrefix) {
    probe.candidateCount = 0;
    const QByteArray prefix = subnetPrefix.toUtf8();
    const int adapters = std::min<int>(probe.adapterCount, NetworkSnapshot::kMaxAdapters);
    const int connected = std::min<int>(probe.connectedCount, NetworkSnapshot::kMaxConnected);
    for (int c = 0; c < connected; ++c) {
        ConnectedEntry& entry = probe.connected[c];
        const WlanRow& wlan = probe.wlan[entry.wlanRow];
        for (int a = 0; a < adapters; ++a) {
            const AdapterRow& adapter = probe.adapters[a];
            if (adapter.name != wlan.guidText) continue;
            // Text comparison of the first n characters, not of address numbers.
            if (adapter.address.left(prefix.size()) != prefix) continue;
            entry.adapterRow = static_cast<std::uint8_t>(a);
            if (probe.candidateCount >= NetworkSnapshot::kMaxCandidates) continue;
            CandidateRow& row = probe.candidates[probe.candidateCount++];
            row.guidText = wlan.guidText;
            row.description = wlan.description;
            row.state = wlan.state;
            row.profileName = wlan.profileName;
            row.bssidText = wlan.bssidText;
            row.bssid = wlan.bssid;
            row.address = adapter.address;
            row.friendlyName = adapter.friendlyName;
            row.physicalAddressText = adapter.physicalAddressText;
            row.physicalAddress = adapter.physicalAddress;
            row.interfaceType = adapter.interfaceType;
        }
    }
    return probe.candidateCount;
}

std::uint8_t RunNetworkProbe(Context& ctx) {
    ReadHostAdapters(ctx);
    ReadWlanInterfaces(ctx);
    return CountDeviceCandidates(ctx.probe, ctx.host.subnetPrefix);
}

}  // namespace rzl
