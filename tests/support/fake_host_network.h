#pragma once
// A host network source for tests: fixed adapters, some of them Wi-Fi interfaces, and
// switches to make either read fail. Counts the reads, so a test can tell whether a probe ran.

#include <QList>

#include "link/host_network.h"

namespace rzl::test {

struct FakeAdapter {
    const char* name;
    const char* address;
    int wifiState = -1;  // -1: not a Wi-Fi interface; otherwise its state (1 = connected)
};

class FakeHostNetwork : public HostNetwork {
public:
    explicit FakeHostNetwork(QList<FakeAdapter> adapters = {}) : adapters(std::move(adapters)) {}

    bool readAdapters(NetworkSnapshot& probe, QString* error) override {
        ++adapterReads;
        if (failAdapters) {
            *error = QStringLiteral("adapter list busy");
            return false;
        }
        probe.adapterCount = 0;
        for (const FakeAdapter& a : adapters) {
            AdapterRow& row = probe.adapters[probe.adapterCount++];
            row = AdapterRow{};
            row.name = a.name;
            row.address = a.address;
            row.friendlyName = QByteArray(a.name) + " friendly";
            row.interfaceType = a.wifiState >= 0 ? 71 : 6;
        }
        return true;
    }

    bool readWlan(NetworkSnapshot& probe, QString* error) override {
        if (failWlan) {
            *error = QStringLiteral("no Wi-Fi service");
            return false;
        }
        probe.wlanCount = 0;
        for (const FakeAdapter& a : adapters) {
            if (a.wifiState < 0) continue;
            WlanRow& row = probe.wlan[probe.wlanCount++];
            row = WlanRow{};
            row.guidText = a.name;
            row.state = static_cast<std::uint8_t>(a.wifiState);
            row.profileName = QByteArray("net-") + a.name;
        }
        return true;
    }

    QList<FakeAdapter> adapters;
    bool failAdapters = false;
    bool failWlan = false;
    int adapterReads = 0;
};

}  // namespace rzl::test
