#include "link/host_network.h"
namespace rzl {
std::unique_ptr<HostNetwork> makeHostNetwork() { return nullptr; }
}  // namespace rzl
