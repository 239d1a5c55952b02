#pragma once
// The built-in demo module: the simulator running in-process on a loopback port, so the
// program can be tried without hardware.

#include <QString>
#include <cstdint>
#include <memory>

namespace rzl::sim {
class SimulatorThread;
}

namespace rzl {

class DemoModule {
public:
    DemoModule();
    ~DemoModule();
    DemoModule(const DemoModule&) = delete;
    DemoModule& operator=(const DemoModule&) = delete;

    // Listens on 127.0.0.1 at a free port. False, with the reason, when it cannot.
    bool start(QString* problem);
    std::uint16_t port() const;
    sim::SimulatorThread& simulator();

private:
    std::unique_ptr<sim::SimulatorThread> simulator_;
};

}  // namespace rzl
