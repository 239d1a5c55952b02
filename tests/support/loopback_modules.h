#pragma once
// Several simulated modules on 127.0.0.x addresses, all listening on the port the first one
// picked, for the network scan.

#include <QHostAddress>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

#include "sim/simulator.h"

namespace rzl::test {

constexpr std::uint32_t Ipv4(int a, int b, int c, int d) {
    return std::uint32_t(a) << 24 | std::uint32_t(b) << 16 | std::uint32_t(c) << 8 | std::uint32_t(d);
}

struct LoopbackModules {
    struct Module {
        int lastOctet;  // 127.0.0.lastOctet
        sim::FaultMode fault = sim::FaultMode::None;
        std::uint8_t model = 176;
        std::optional<std::array<std::uint8_t, 4>> reported;  // default: the listen address
        int slowMs = 1500;
        int splitPauseMs = 50;
    };

    // The port the first module picked may already be taken on another 127.0.0.x address (a
    // test running beside this one); then every module starts again on a fresh port.
    bool start(const QList<Module>& wanted) {
        QString error;
        for (int attempt = 0; attempt < 10; ++attempt) {
            modules.clear();
            port = 0;
            if (startAll(wanted, &error)) return true;
        }
        ADD_FAILURE() << error.toStdString();
        return false;
    }

    std::uint16_t port = 0;
    std::vector<std::unique_ptr<sim::SimulatorThread>> modules;

private:
    bool startAll(const QList<Module>& wanted, QString* error) {
        for (const Module& m : wanted) {
            sim::SimOptions options;
            options.listenAddress = QHostAddress(Ipv4(127, 0, 0, m.lastOctet));
            options.port = port;
            options.fault = m.fault;
            options.model = m.model;
            options.reportedAddress = m.reported;
            options.slowDelayMs = m.slowMs;
            options.splitPauseMs = m.splitPauseMs;
            auto module = std::make_unique<sim::SimulatorThread>(options);
            if (!module->start()) {
                *error = module->errorString();
                return false;
            }
            port = module->port();
            modules.push_back(std::move(module));
        }
        return true;
    }
};

}  // namespace rzl::test
