#pragma once
// The host network probe: fills the snapshot from the platform and counts the interfaces
// that sit on the module's subnet.

#include <QString>
#include <cstdint>

#include "core/network_snapshot.h"

namespace rzl {

class Context;

// Adapters, then Wi-Fi interfaces, then the candidate count (0 to 3).
std::uint8_t RunNetworkProbe(Context& ctx);
// Fill the tables from ctx.hostNetwork; the reason a source cannot be read goes to the
// hidden log. An unreadable adapter list leaves the adapter table empty; unreadable Wi-Fi
// interfaces leave the WLAN table as it was.
void ReadHostAdapters(Context& ctx);
void ReadWlanInterfaces(Context& ctx);  // also rebuilds the connected list, in every case
// The connected list from the WLAN table as it stands: rows in state 1, in order, at most 10.
void RebuildConnectedList(NetworkSnapshot& probe);
// Reads only the tables and the prefix, so it can run on hand-filled tables.
std::uint8_t CountDeviceCandidates(NetworkSnapshot& probe, const QString& subnetPrefix);

}  // namespace rzl
