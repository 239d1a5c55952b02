// The simulator's TCP side as a peer meets it: a few loopback connections, one after the other,
// each carrying arbitrary bytes (a request, a file header, the content stream that follows one,
// or anything else). A fresh module per input, listening on 127.0.0.1 only.
// Input: connections, each [mode][2-byte length][bytes]; mode bit 0: wait for the module to
// close before closing (else close at once), bit 1: send in two writes with the events between.

#include <QElapsedTimer>
#include <QTcpSocket>
#include <memory>

#include "sim/module_server.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/sim_invariants.h"

namespace {

using namespace rzl;

constexpr int kMaxConnections = 6;
constexpr int kWaitMs = 3000;  // longer than the module's quiet-connection deadline below

void Pump() { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

// Until the module has let go of every connection it accepted.
void WaitForServer(sim::ModuleServer& server, sim::SharedRecord& shared, int accepted) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kWaitMs) {
        Pump();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        int seen;
        {
            QMutexLocker lock(&shared.mutex);
            seen = shared.connections;
        }
        if (seen >= accepted && server.findChildren<QTcpSocket*>().isEmpty()) return;
    }
    fuzz::Require(false, "the module kept a connection past its deadline");
}

void Connect(quint16 port, std::uint8_t mode, const QByteArray& bytes) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QElapsedTimer timer;
    timer.start();
    while (socket.state() != QAbstractSocket::ConnectedState && socket.state() != QAbstractSocket::UnconnectedState
           && timer.elapsed() < kWaitMs)
        Pump();
    if (socket.state() != QAbstractSocket::ConnectedState) return;
    if (mode & 2) {
        socket.write(bytes.left(bytes.size() / 2));
        socket.flush();
        Pump();
        socket.write(bytes.mid(bytes.size() / 2));
    } else {
        socket.write(bytes);
    }
    socket.flush();
    if (mode & 1) {
        while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < kWaitMs) {
            Pump();
            socket.readAll();
        }
    }
    socket.abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EnsureApplication();
    fuzz::InputReader in(data, size);

    sim::SimOptions options;
    options.listenAddress = QHostAddress::LocalHost;
    options.idleTimeoutMs = 30;  // a frame left incomplete costs this much per connection
    auto shared = std::make_shared<sim::SharedRecord>();
    auto server = std::make_unique<sim::ModuleServer>(options, shared);
    fuzz::Require(server->listen(), "the module cannot listen on loopback");

    int opened = 0;
    while (!in.empty() && opened < kMaxConnections) {
        const std::uint8_t mode = in.byte();
        const QByteArray bytes = in.piece();
        Connect(server->port(), mode, bytes);
        WaitForServer(*server, *shared, ++opened);
    }
    server->shutdown();
    server.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QMutexLocker lock(&shared->mutex);
    fuzz::CheckModuleState(shared->state);
    return 0;
}
