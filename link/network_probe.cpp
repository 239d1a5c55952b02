#include "link/network_probe.h"
namespace rzl {
std::uint8_t RunNetworkProbe(Context&) { return 0; }
void ReadHostAdapters(Context&) {}
void ReadWlanInterfaces(Context&) {}
std::uint8_t CountDeviceCandidates(NetworkSnapshot&, const QString&) { return 0; }
}  // namespace rzl
