#include "app/demo.h"

#include "sim/simulator.h"

namespace rzl {

DemoModule::DemoModule() {
    sim::SimOptions options;
    options.listenAddress = QHostAddress::LocalHost;
    options.port = 0;
    simulator_ = std::make_unique<sim::SimulatorThread>(options);
}

DemoModule::~DemoModule() {
    if (simulator_) simulator_->stop();
}

bool DemoModule::start(QString* problem) {
    if (simulator_->start()) return true;
    if (problem) *problem = QStringLiteral("the demo module could not listen on 127.0.0.1");
    return false;
}

std::uint16_t DemoModule::port() const { return simulator_->port(); }

sim::SimulatorThread& DemoModule::simulator() { return *simulator_; }

}  // namespace rzl
