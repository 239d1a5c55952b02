#pragma once
// A tiny module stand-in for exchange tests: a QTcpServer on 127.0.0.1, port 0, running on a
// thread of its own so the blocking client under test can talk to it. It answers each
// connection's first data in the chosen way and records what every connection sent.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWaitCondition>
#include <functional>
#include <memory>

#include "tests/support/loopback_listeners.h"  // closedLoopbackPort(), for the tests that meet no peer

namespace rzl::test {

enum class PeerMode {
    Answer,       // the reply at once
    Silent,       // accepts, reads, never answers
    TwoPieces,    // the first 6 bytes of the reply, the rest a moment later
    Oversized,    // 10000 bytes: the reply followed by a counting pattern
    CloseAtOnce,  // closes the connection as soon as it is accepted
    Delayed,      // the reply after delayMs
    AnswerAndClose,  // the reply, then it closes the connection
    ResetContent, // answers a frame (it opens with the signature); resets any other connection
                  // at its first bytes, as a module that fails in the middle of a file's content
    ReadThenClose,  // reads the frame, then closes the connection in order without a reply
    ReadThenReset,  // reads the frame, then resets the connection
    ResetAfter,   // reads resetAfterBytes of a connection, stops reading so the sender stalls
                  // with bytes still to write, and resets it resetDelayMs later
};

class LoopbackPeer {
public:
    explicit LoopbackPeer(PeerMode mode, QByteArray reply = {}) : mode_(mode), reply_(std::move(reply)) {}
    ~LoopbackPeer() { stop(); }

    int delayMs = 100;
    int secondPieceDelayMs = 300;
    int resetAfterBytes = 64 * 1024;
    int resetDelayMs = 300;

    bool start() {
        anchor_ = new QObject;
        anchor_->moveToThread(&thread_);
        thread_.start();
        bool ok = false;
        QMetaObject::invokeMethod(anchor_, [this, &ok] { ok = listen(); }, Qt::BlockingQueuedConnection);
        return ok;
    }

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

    int connections() const {
        QMutexLocker lock(&mutex_);
        return static_cast<int>(received_.size());
    }
    QList<QByteArray> received() const {
        QMutexLocker lock(&mutex_);
        return received_;
    }
    // Waits, with a bound, until `count` connections have been closed by the client.
    bool waitForClosed(int count, int timeoutMs = 5000) {
        QMutexLocker lock(&mutex_);
        QDeadlineTimer deadline(timeoutMs);
        while (closed_ < count)
            if (!changed_.wait(&mutex_, deadline)) return closed_ >= count;
        return true;
    }

    static QByteArray oversizedReply(const QByteArray& head) {
        QByteArray bytes = head;
        while (bytes.size() < 10000) bytes.append(static_cast<char>(bytes.size() & 0xFF));
        return bytes;
    }

private:
    bool listen() {
        server_ = new QTcpServer;
        if (!server_->listen(QHostAddress::LocalHost, 0)) return false;
        port_ = server_->serverPort();
        QObject::connect(server_, &QTcpServer::newConnection, server_, [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection()) serve(socket);
        });
        return true;
    }

    void serve(QTcpSocket* socket) {
        int index;
        {
            QMutexLocker lock(&mutex_);
            index = static_cast<int>(received_.size());
            received_.append(QByteArray());
        }
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            socket->deleteLater();
            QMutexLocker lock(&mutex_);
            ++closed_;
            changed_.wakeAll();
        });
        if (mode_ == PeerMode::CloseAtOnce) {
            socket->close();
            return;
        }
        auto answered = std::make_shared<bool>(false);
        // A small read buffer: once the peer stops reading, the sender's data backs up.
        if (mode_ == PeerMode::ResetAfter) socket->setReadBufferSize(4096);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, index, answered] {
            if (mode_ == PeerMode::ResetAfter) {
                QMutexLocker lock(&mutex_);
                if (received_[index].size() >= resetAfterBytes) return;  // stalled on purpose
                received_[index] += socket->readAll();
                if (received_[index].size() >= resetAfterBytes)
                    QTimer::singleShot(resetDelayMs, socket, [socket] { socket->abort(); });  // RST
                return;
            }
            const QByteArray data = socket->readAll();
            {
                QMutexLocker lock(&mutex_);
                received_[index] += data;
            }
            if (*answered) return;
            *answered = true;
            answer(socket, data);
        });
    }

    void answer(QTcpSocket* socket, const QByteArray& first) {
        switch (mode_) {
        case PeerMode::Answer: socket->write(reply_); break;
        case PeerMode::AnswerAndClose:
            socket->write(reply_);
            socket->disconnectFromHost();
            break;
        case PeerMode::ReadThenClose: socket->disconnectFromHost(); break;
        case PeerMode::ReadThenReset: socket->abort(); break;
        case PeerMode::Silent:
        case PeerMode::ResetAfter:
        case PeerMode::CloseAtOnce: break;
        case PeerMode::TwoPieces:
            socket->write(reply_.left(6));
            socket->flush();
            QTimer::singleShot(secondPieceDelayMs, socket, [socket, rest = reply_.mid(6)] {
                if (socket->state() == QAbstractSocket::ConnectedState) socket->write(rest);
            });
            break;
        case PeerMode::Oversized: socket->write(oversizedReply(reply_)); break;
        case PeerMode::ResetContent:
            if (first.startsWith(QByteArray("\x5A\x35\x77\xA5", 4))) socket->write(reply_);
            else socket->abort();
            break;
        case PeerMode::Delayed:
            QTimer::singleShot(delayMs, socket, [socket, reply = reply_] {
                if (socket->state() == QAbstractSocket::ConnectedState) socket->write(reply);
            });
            break;
        }
    }

    PeerMode mode_;
    QByteArray reply_;
    QThread thread_;
    QObject* anchor_ = nullptr;
    QTcpServer* server_ = nullptr;  // lives on thread_
    std::uint16_t port_ = 0;
    mutable QMutex mutex_;
    QWaitCondition changed_;
    QList<QByteArray> received_;
    int closed_ = 0;
};

}  // namespace rzl::test
