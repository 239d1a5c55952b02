#pragma once
// How the system's network facts become the probe's adapter and WLAN tables.

#include <vector>

#include "core/network_snapshot.h"
#include "platform/host_network.h"

namespace rzl {

// Rewrites the adapter table and its count: one row per adapter in the order given, at most 20.
void FillAdapterTable(NetworkSnapshot& probe, const std::vector<platform::AdapterFacts>& adapters);
// Rewrites the WLAN table and its count (not the connected list): one row per interface in the
// order given, at most 20.
void FillWlanTable(NetworkSnapshot& probe, const std::vector<platform::WlanFacts>& interfaces);

}  // namespace rzl
