#pragma once
// The network scan: the identify request to one port of many addresses at once, on this
// thread, with a bound on the connections in flight and a deadline per address. Only whole
// identify replies count as a module.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/frame.h"

class QEventLoop;
class QTcpSocket;

namespace rzl {

struct ScanOptions {
    std::uint16_t port = kDefaultTcpPort;
    int parallel = 64;     // connections in flight at most
    int timeoutMs = 500;   // per address, from the connect to the whole reply
};

// A module as its identify reply describes it.
struct ScanAnswer {
    std::uint32_t address = 0;   // where it answered, host byte order
    QString reportedAddress;     // the address it reports for itself
    std::uint8_t model = 0;
    QString modelName;           // from the model catalogue
    QString mac;                 // "AA:BB:CC:DD:EE:FF"
    QString firmware;            // "01.0A"
    QString location;
    std::optional<int> rssiDbm;  // absent when the module reports none
    bool wifiModeAp = false;
};

// Decodes a reply to the identify request: nullopt unless it is a whole identify reply
// (signature, command 33, accepted, all 198 bytes).
std::optional<ScanAnswer> DecodeScanReply(std::uint32_t address, const QByteArray& reply);

class NetworkScanner : public QObject {
public:
    explicit NetworkScanner(const ScanOptions& options, QObject* parent = nullptr);
    ~NetworkScanner() override;

    // Tries every address and returns when each has answered, failed or run out of time;
    // the modules found, sorted by address. Runs the event loop meanwhile.
    QList<ScanAnswer> run(const QList<std::uint32_t>& addresses);

    // Addresses that could not be tried at all for want of sockets (too many open files).
    int untried() const { return untried_; }
    QString untriedReason() const { return untriedReason_; }

    // Called after each address is done.
    std::function<void(int done, int total, int found)> onProgress;
    // Observes each frame with the address it went to or came from.
    std::function<void(std::uint32_t address, bool outgoing, const QByteArray& bytes)> tap;

private:
    struct Probe {
        std::uint32_t address = 0;
        QByteArray reply;
    };

    void fill();
    void launch(std::uint32_t address);
    void take(QTcpSocket* socket);
    void finish(QTcpSocket* socket);
    bool allDone() const;

    ScanOptions options_;
    QByteArray request_;
    QList<std::uint32_t> addresses_;
    qsizetype next_ = 0;
    int done_ = 0;
    QHash<QTcpSocket*, Probe> inFlight_;
    QList<ScanAnswer> answers_;
    bool filling_ = false;
    QEventLoop* loop_ = nullptr;
    int untried_ = 0;
    QString untriedReason_;
};

}  // namespace rzl
