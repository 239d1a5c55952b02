#pragma once
// The far end of a fault-table row: one address and port that a test fills in turn with a
// healthy simulated module, a misbehaving one or a network fault, so that one program run can
// meet a fault and then the module again at the same place.
//
// Where it lives: loopback (a port that was free), a slowed loopback, or the module's default
// address 192.168.77.1:13577 inside the private namespace of tests/scripts/fault_table_netns_test.sh.
// There 192.168.77.1 is reachable while it is an address of the namespace's loopback; without it
// the packets go to a neighbour that does not exist and are lost, so a connect waits its whole
// deadline. RZL_FAULT_NETWORK (set by that script) says which of the three this process runs in.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sim/simulator.h"
#include "tests/support/loopback_listeners.h"
#include "tests/support/loopback_address.h"
#include "tests/support/loopback_peer.h"

namespace rzl::test {

enum class FaultNetwork { Loopback, SlowLink, UnreachableDefault };

inline FaultNetwork CurrentFaultNetwork() {
    const QString name = qEnvironmentVariable("RZL_FAULT_NETWORK");
    if (name == QLatin1String("slow-link")) return FaultNetwork::SlowLink;
    if (name == QLatin1String("unreachable-default")) return FaultNetwork::UnreachableDefault;
    return FaultNetwork::Loopback;
}

// A listener on 127.0.0.1:port that takes every connection and never reads from it.
class UnreadListener {
public:
    ~UnreadListener() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : held_) ::close(fd);
        if (fd_ >= 0) ::close(fd_);
    }

    bool start(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int reuse = 1;
        sockaddr_in at = LoopbackAddress(port);
        if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd_, 16) != 0)
            return false;
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd entry{fd_, POLLIN, 0};
                if (::poll(&entry, 1, 20) != 1) continue;
                const int fd = ::accept(fd_, nullptr, nullptr);
                if (fd >= 0) held_.push_back(fd);
            }
        });
        return true;
    }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<int> held_;  // touched by thread_ until it is joined
};

class FaultTarget {
public:
    explicit FaultTarget(FaultNetwork network = CurrentFaultNetwork()) : network_(network) {
        port_ = network == FaultNetwork::UnreachableDefault ? 13577 : closedLoopbackPort();
    }
    ~FaultTarget() { clear(); }

    FaultNetwork network() const { return network_; }
    QString host() const {
        return network_ == FaultNetwork::UnreachableDefault ? QStringLiteral("192.168.77.1") : QStringLiteral("127.0.0.1");
    }
    std::uint16_t port() const { return port_; }
    QString device() const { return QStringLiteral("%1:%2").arg(host()).arg(port_); }

    // A simulated module at the target, with the inputs `diBits` and the fault and delays of
    // `options`; whatever was there before is gone.
    bool module(std::uint8_t diBits = 0, rzl::sim::SimOptions options = {}) {
        clear();
        options.port = port_;
        if (network_ == FaultNetwork::UnreachableDefault) {
            if (!reachable(true)) return false;
            options.listenAddress = QHostAddress::AnyIPv4;
            options.reportedAddress = std::array<std::uint8_t, 4>{192, 168, 77, 1};
        }
        rzl::sim::ModuleState state;
        state.diBits = diBits;
        options.initialState = state;
        sim_ = std::make_unique<rzl::sim::SimulatorThread>(options);
        return sim_->start();
    }
    bool module(std::uint8_t diBits, rzl::sim::FaultMode fault, int slowDelayMs = 1500) {
        rzl::sim::SimOptions options;
        options.fault = fault;
        options.slowDelayMs = slowDelayMs;
        return module(diBits, options);
    }

    bool nothingListening() {
        clear();
        return true;
    }
    bool acceptsNeverReads() {
        clear();
        unread_ = std::make_unique<UnreadListener>();
        return unread_->start(port_);
    }
    bool neverAccepts() {
        clear();
        backlog_ = std::make_unique<FullBacklogListener>();
        return backlog_->start(port_);
    }
    // The module's address stops answering: every packet to it is lost (the module stays).
    bool unreachable() { return network_ == FaultNetwork::UnreachableDefault && reachable(false); }

    rzl::sim::SimulatorThread* sim() { return sim_.get(); }

private:
    void clear() {
        sim_.reset();
        unread_.reset();
        backlog_.reset();
    }

    static bool reachable(bool on) {
        QProcess ip;
        ip.start(QStringLiteral("ip"), {QStringLiteral("addr"), on ? QStringLiteral("replace") : QStringLiteral("del"),
                                        QStringLiteral("192.168.77.1/32"), QStringLiteral("dev"), QStringLiteral("lo")});
        return ip.waitForFinished(5000) && (ip.exitCode() == 0 || !on);
    }

    FaultNetwork network_;
    std::uint16_t port_ = 0;
    std::unique_ptr<rzl::sim::SimulatorThread> sim_;
    std::unique_ptr<UnreadListener> unread_;
    std::unique_ptr<FullBacklogListener> backlog_;
};

// Once the content of `file` has arrived, `then` happens to the module, before the next step.
inline std::function<void(FaultTarget&)> AfterContentOf(QByteArray file, std::function<void(FaultTarget&)> then) {
    return [file, then, done = std::make_shared<bool>(false)](FaultTarget& target) {
        if (*done || !target.sim()) return;
        for (const sim::Arrival& arrival : target.sim()->arrivals()) {
            if (arrival.kind == sim::Arrival::Content && arrival.fileName == file) {
                *done = true;
                then(target);
                return;
            }
        }
    };
}

}  // namespace rzl::test
