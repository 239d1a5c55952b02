#include "sim/simulator.h"

namespace rzl::sim {

struct SimulatorThread::Impl {
    SimOptions options;
};

SimulatorThread::SimulatorThread(SimOptions options) : impl_(std::make_unique<Impl>()) { impl_->options = options; }
SimulatorThread::~SimulatorThread() = default;
bool SimulatorThread::start() { return false; }
void SimulatorThread::stop() {}
std::uint16_t SimulatorThread::port() const { return 0; }
ModuleState SimulatorThread::state() const { return {}; }
void SimulatorThread::setState(const ModuleState&) {}
void SimulatorThread::setFault(FaultMode) {}
QList<QByteArray> SimulatorThread::receivedFrames() const { return {}; }
void SimulatorThread::clearReceived() {}
int SimulatorThread::connectionCount() const { return 0; }

}  // namespace rzl::sim
