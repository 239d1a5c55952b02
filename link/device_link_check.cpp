#include "link/device_link_check.h"
namespace rzl {
// Until the network probe is wired in, every check answers linked.
bool CheckDeviceLink(Context&) { return true; }
void FirstActivation(Context&) {}
void MarkerCheckBoxClicked(Context&) {}
}  // namespace rzl
