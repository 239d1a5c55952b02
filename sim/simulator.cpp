#include "sim/simulator.h"

#include <QMetaObject>
#include <QThread>

#include "sim/module_server.h"

namespace rzl::sim {

struct SimulatorThread::Impl {
    SimOptions options;
    std::shared_ptr<SharedRecord> shared = std::make_shared<SharedRecord>();
    QThread* thread = nullptr;
    ModuleServer* server = nullptr;
    std::uint16_t port = 0;
    QString error;
};

SimulatorThread::SimulatorThread(SimOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->shared->state = impl_->options.initialState.value_or(ModuleState{});
    impl_->shared->fault = impl_->options.fault;
}

SimulatorThread::~SimulatorThread() { stop(); }

bool SimulatorThread::start() {
    if (impl_->server)
        return true;
    impl_->thread = new QThread;
    impl_->thread->setObjectName(QStringLiteral("rzl-sim"));
    impl_->server = new ModuleServer(impl_->options, impl_->shared);
    impl_->server->moveToThread(impl_->thread);
    impl_->thread->start();
    bool listening = false;
    QMetaObject::invokeMethod(impl_->server, &ModuleServer::listen, Qt::BlockingQueuedConnection, &listening);
    impl_->port = impl_->server->port();
    impl_->error = impl_->server->errorString();
    if (!listening) {
        stop();
        return false;
    }
    return true;
}

void SimulatorThread::stop() {
    if (!impl_->server)
        return;
    QMetaObject::invokeMethod(impl_->server, &ModuleServer::shutdown, Qt::BlockingQueuedConnection);
    // Deleted on its own thread, with the sockets and timers it owns.
    QObject::connect(impl_->thread, &QThread::finished, impl_->server, &QObject::deleteLater);
    impl_->thread->quit();
    impl_->thread->wait();
    delete impl_->thread;
    impl_->thread = nullptr;
    impl_->server = nullptr;
    impl_->port = 0;
}

std::uint16_t SimulatorThread::port() const { return impl_->port; }

ModuleState SimulatorThread::state() const {
    QMutexLocker lock(&impl_->shared->mutex);
    return impl_->shared->state;
}

void SimulatorThread::setState(const ModuleState& state) {
    {
        QMutexLocker lock(&impl_->shared->mutex);
        impl_->shared->state = state;
    }
    if (impl_->server)
        QMetaObject::invokeMethod(impl_->server, &ModuleServer::scheduleSave, Qt::QueuedConnection);
}

void SimulatorThread::setFault(FaultMode mode) {
    QMutexLocker lock(&impl_->shared->mutex);
    impl_->shared->fault = mode;
}

QList<QByteArray> SimulatorThread::receivedFrames() const {
    QMutexLocker lock(&impl_->shared->mutex);
    return impl_->shared->received;
}

QList<Arrival> SimulatorThread::arrivals() const {
    QMutexLocker lock(&impl_->shared->mutex);
    return impl_->shared->arrivals;
}

void SimulatorThread::clearReceived() {
    QMutexLocker lock(&impl_->shared->mutex);
    impl_->shared->received.clear();
    impl_->shared->receivedBytes = 0;
    impl_->shared->arrivals.clear();
    impl_->shared->arrivalBytes = 0;
}

int SimulatorThread::connectionCount() const {
    QMutexLocker lock(&impl_->shared->mutex);
    return impl_->shared->connections;
}

QString SimulatorThread::errorString() const { return impl_->error; }

}  // namespace rzl::sim
