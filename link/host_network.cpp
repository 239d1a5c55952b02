#include "link/host_network.h"

#include "link/network_tables.h"
#include "platform/host_network.h"

namespace rzl {

namespace {

class SystemHostNetwork : public HostNetwork {
public:
    bool readAdapters(NetworkSnapshot& probe, QString* error) override {
        std::vector<platform::AdapterFacts> adapters;
        std::string reason;
        if (!platform::ReadAdapters(adapters, reason)) return failed(reason, error);
        FillAdapterTable(probe, adapters);
        return true;
    }

    bool readWlan(NetworkSnapshot& probe, QString* error) override {
        std::vector<platform::WlanFacts> interfaces;
        std::string reason;
        if (!platform::ReadWlanInterfaces(interfaces, reason)) return failed(reason, error);
        FillWlanTable(probe, interfaces);
        return true;
    }

private:
    static bool failed(const std::string& reason, QString* error) {
        if (error) *error = QString::fromStdString(reason);
        return false;
    }
};

}  // namespace

std::unique_ptr<HostNetwork> makeHostNetwork() { return std::make_unique<SystemHostNetwork>(); }

}  // namespace rzl
