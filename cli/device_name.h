#pragma once
// rzlctl --device NAME: the name looked up once, before anything is sent, with the platform's
// resolver (the hosts file, DNS, mDNS where the system has it). The exchanges, the link check
// and the identify reply's address check all work on the IPv4 address found.

#include <QString>

#include "app/options.h"

namespace rzl::cli {

// Sets options.deviceHost to the name's first IPv4 address. False, with the problem, when the
// name has none. Does nothing without a name.
bool LookUpDeviceName(LaunchOptions& options, QString* problem);

}  // namespace rzl::cli
