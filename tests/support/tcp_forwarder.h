#pragma once
// A port-forward as an SSH tunnel or a NAT router makes one: a listener on 127.0.0.1 whose every
// connection is carried, both ways, to a fixed address and port (another loopback address), on
// a thread of its own. A side that closes is closed on the other side once its bytes are through.

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdint>

#include "tests/support/loopback_server_thread.h"

namespace rzl::test {

class TcpForwarder {
public:
    TcpForwarder(QHostAddress to, std::uint16_t port) : to_(std::move(to)), toPort_(port) {}
    TcpForwarder(const TcpForwarder&) = delete;
    TcpForwarder& operator=(const TcpForwarder&) = delete;

    bool start() {
        return server_.start([this](QTcpSocket* near) { carry(near); });
    }
    void stop() { server_.stop(); }
    std::uint16_t port() const { return server_.port(); }

private:
    void carry(QTcpSocket* near) {
        auto* far = new QTcpSocket(server_.server());
        // Each side goes when it is closed; the other may still be writing what it was handed.
        const auto pass = [](QTcpSocket* from, QTcpSocket* to) {
            QObject::connect(from, &QTcpSocket::readyRead, to, [from, to] {
                if (to->state() == QAbstractSocket::ConnectedState) to->write(from->readAll());
            });
            QObject::connect(from, &QTcpSocket::disconnected, from, [from, to = QPointer<QTcpSocket>(to)] {
                if (to && to->state() == QAbstractSocket::ConnectedState) to->write(from->readAll());
                if (to) to->disconnectFromHost();
                from->deleteLater();
            });
        };
        pass(near, far);
        pass(far, near);
        // What the near side sent before the far one was connected goes through at once then.
        QObject::connect(far, &QTcpSocket::connected, far, [near = QPointer<QTcpSocket>(near), far] {
            if (near) far->write(near->readAll());
        });
        QObject::connect(far, &QTcpSocket::errorOccurred, far, [near = QPointer<QTcpSocket>(near), far] {
            if (far->state() != QAbstractSocket::UnconnectedState) return;  // a close: disconnected says it
            if (near) near->disconnectFromHost();
            far->deleteLater();
        });
        far->connectToHost(to_, toPort_);
    }

    QHostAddress to_;
    std::uint16_t toPort_;
    LoopbackServerThread server_;
};

}  // namespace rzl::test
