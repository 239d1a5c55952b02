#pragma once
// A QTcpServer on 127.0.0.1, port 0, on a thread of its own, so that the blocking client under
// test can talk to it: each accepted connection is handed to `serve` on that thread. The
// stand-ins for modules and the port-forward of the tests are built on it.

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <cstdint>
#include <functional>

namespace rzl::test {

class LoopbackServerThread {
public:
    LoopbackServerThread() = default;
    ~LoopbackServerThread() { stop(); }
    LoopbackServerThread(const LoopbackServerThread&) = delete;
    LoopbackServerThread& operator=(const LoopbackServerThread&) = delete;

    bool start(std::function<void(QTcpSocket*)> serve) {
        anchor_ = new QObject;
        anchor_->moveToThread(&thread_);
        thread_.start();
        bool ok = false;
        QMetaObject::invokeMethod(anchor_, [this, &ok, serve = std::move(serve)] { ok = listen(serve); },
                                  Qt::BlockingQueuedConnection);
        return ok;
    }

    // Closes the server (and the connections it parents) and ends the thread.
    void stop() {
        if (!anchor_) return;
        QMetaObject::invokeMethod(anchor_, [this] { delete server_; server_ = nullptr; },
                                  Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
        delete anchor_;
        anchor_ = nullptr;
    }

    std::uint16_t port() const { return port_; }
    QTcpServer* server() const { return server_; }  // lives on the thread: a parent for its sockets

private:
    bool listen(const std::function<void(QTcpSocket*)>& serve) {
        server_ = new QTcpServer;
        if (!server_->listen(QHostAddress::LocalHost, 0)) return false;
        port_ = server_->serverPort();
        QObject::connect(server_, &QTcpServer::newConnection, server_, [this, serve] {
            while (QTcpSocket* socket = server_->nextPendingConnection()) serve(socket);
        });
        return true;
    }

    QThread thread_;
    QObject* anchor_ = nullptr;
    QTcpServer* server_ = nullptr;  // lives on thread_
    std::uint16_t port_ = 0;
};

}  // namespace rzl::test
