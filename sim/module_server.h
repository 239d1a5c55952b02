#pragma once
// The module's TCP side: one request frame per connection, raw file content on the connection
// after a file header, the fault modes, the input pattern and the state file. Lives on one
// thread with an event loop; the shared record is the only thing other threads touch.

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

#include "sim/frame_handler.h"
#include "sim/simulator.h"

class QTcpServer;
class QTcpSocket;

namespace rzl::sim {

// What the server thread and its observers share; every access holds the mutex.
struct SharedRecord {
    mutable QMutex mutex;
    ModuleState state;
    FaultMode fault = FaultMode::None;
    QList<QByteArray> received;
    qsizetype receivedBytes = 0;  // the bytes the received frames hold
    QList<Arrival> arrivals;
    qsizetype arrivalBytes = 0;   // the bytes the arrivals' frames hold
    // The received frames and arrivals are kept for the in-process simulator's readers (tests,
    // the demo); the stand-alone rzl-sim has none and keeps nothing.
    bool keepsArrivals = true;
    int connections = 0;
};

// Writes one line to stderr, prefixed with the program's name.
void LogLine(const QString& line);

class ModuleServer : public QObject {
    Q_OBJECT
public:
    ModuleServer(SimOptions options, std::shared_ptr<SharedRecord> shared);
    ~ModuleServer() override;

    // Loads the state file, starts the input pattern and listens. False with errorString().
    Q_INVOKABLE bool listen();
    // Closes every connection and the listener, and writes the state file if it is behind.
    Q_INVOKABLE void shutdown();
    // Writes the state file soon (several changes in a row make one write).
    Q_INVOKABLE void scheduleSave();

    std::uint16_t port() const { return port_; }
    QString errorString() const { return error_; }

private:
    enum class Kind { Undecided, Frame, Content };
    struct Connection {
        Kind kind = Kind::Frame;
        QByteArray buffer;
        bool answered = false;   // its frame has been handled
        bool finished = false;
        UploadHeader upload;     // for content connections
        qint64 contentBytes = 0;
        std::uint64_t contentSum = 0;
        std::uint64_t receivedSum = 0;  // of every content byte, kept or dropped
        QTimer* deadline = nullptr;
        QTimer* streamDeadline = nullptr;  // the whole content stream's time
        QTimer* settle = nullptr;  // waits for the rest of a file header that may be short
    };

    void onNewConnection();
    void keepFrame(const QByteArray& frame);
    void keepArrival(const Arrival& arrival);
    void flushShortFrames();
    void settleContentStreams();
    void onReadyRead(QTcpSocket* socket);
    void onDisconnected(QTcpSocket* socket);
    void decideKind(QTcpSocket* socket, Connection& c, bool closing);
    void takeFrameBytes(QTcpSocket* socket, Connection& c, bool closing);
    void takeContentBytes(Connection& c, const QByteArray& bytes);
    void handleFrame(QTcpSocket* socket, Connection& c, const QByteArray& frame);
    void sendReply(QTcpSocket* socket, Connection& c, QByteArray reply, FaultMode fault);
    void finishContent(Connection& c);
    void finish(QTcpSocket* socket, const QString& why = {});
    void startStream(QTcpSocket* socket, Connection& c);
    int openStreams() const;
    void restartModule(int awayMs, const QString& why);
    void toggleInput(int input);
    bool loadStateFile();
    void saveNow();

    SimOptions options_;
    std::shared_ptr<SharedRecord> shared_;
    QTcpServer* server_ = nullptr;
    QHash<QTcpSocket*, Connection> connections_;
    std::optional<UploadHeader> pendingUpload_;
    QElapsedTimer pendingSince_;
    QTimer* saveTimer_ = nullptr;
    bool restarting_ = false;
    bool stopping_ = false;
    std::array<int, 8> inputPeriods_{};
    QList<QTimer*> inputTimers_;
    std::uint16_t port_ = 0;
    QString error_;
};

}  // namespace rzl::sim
