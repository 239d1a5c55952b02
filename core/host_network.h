#pragma once
// Where the network probe gets its facts: the platform's adapter list and Wi-Fi interfaces.

#include <QString>

#include "core/network_snapshot.h"

namespace rzl {

class HostNetwork {
public:
    virtual ~HostNetwork() = default;
    // Fill the adapter table and its count. False (with a reason) when the list cannot be
    // read; the probe then empties the table.
    virtual bool readAdapters(NetworkSnapshot& probe, QString* error) = 0;
    // Fill the WLAN table and its count (not the connected list). False when the Wi-Fi
    // service cannot be asked; the table then keeps what it held.
    virtual bool readWlan(NetworkSnapshot& probe, QString* error) = 0;
};

}  // namespace rzl
