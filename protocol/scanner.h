#pragma once
// The network scan: the identify request to one port of many addresses at once, on this
// thread, with a bound on the connections in flight and a deadline per address. Only whole
// identify replies count as a module. When the system has no socket for another connection
// (too many open files), the bound comes down to the connections in flight and the address is
// tried again when one of them ends: every address is tried unless not even one connection can
// be had.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QElapsedTimer>
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

// What one address did with the identify request, for the addresses that were not modules.
enum class HostOutcome {
    Module,       // a whole identify reply
    NoHost,       // no connection within the deadline: nothing there (not listed)
    ConnectionRefused,  // a host, but nothing on the port (counted, not listed)
    Rejected,     // accepted, and refused the request with a status
    Closed,       // accepted, then closed without a reply
    ClosedMidReply,  // accepted, then closed after part of a reply
    NoReplyInTime,  // accepted, nothing within the deadline: silent, or slower than the deadline
    TooSlow,      // accepted, part of a reply within the deadline
    Garbage,      // accepted, and answered something that is not an identify reply
    Untried,      // no socket could be had (too many open files), or the sweep was stopped first
};

struct HostResult {
    std::uint32_t address = 0;
    HostOutcome outcome = HostOutcome::NoHost;
    int replyBytes = 0;
};

// The sweep in numbers, as a closing summary shows it.
struct ScanSummary {
    int tried = 0;      // addresses that got a connection attempt and an outcome
    int untried = 0;    // addresses that could not be tried, or were not when the sweep was stopped
    QList<std::uint32_t> untriedAddresses;  // those, sorted
    int parallel = 0;   // connections at once at the end: the bound, or lower where the system set one
    int found = 0;      // modules
    int connectionsRefused = 0;
    qint64 elapsedMs = 0;
    QList<HostResult> oddHosts;  // hosts that accepted, but did not answer as a module
};

// "accepted, no reply within 500 ms" and the like.
QString HostOutcomeText(HostOutcome outcome, int timeoutMs);

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
    // The same without waiting: onFinished is called when every address is done.
    void start(const QList<std::uint32_t>& addresses);
    // Ends the sweep now: what is in flight is dropped, the rest not tried. onFinished follows.
    void stop();
    bool running() const { return running_; }

    const QList<ScanAnswer>& answers() const { return answers_; }  // sorted once finished
    const ScanSummary& summary() const { return summary_; }

    // Addresses that could not be tried at all for want of sockets (too many open files).
    int untried() const { return static_cast<int>(untried_.size()); }
    QString untriedReason() const { return untriedReason_; }

    // Called after each address is done.
    std::function<void(int done, int total, int found)> onProgress;
    // Called for each module as it answers.
    std::function<void(const ScanAnswer&)> onAnswer;
    std::function<void()> onFinished;
    // Called when the system refused a socket and the connections at once came down to `parallel`,
    // with the system's reason.
    std::function<void(int parallel, const QString& reason)> onLimit;
    // Observes each frame with the address it went to or came from.
    std::function<void(std::uint32_t address, bool outgoing, const QByteArray& bytes)> tap;

private:
    struct Probe {
        std::uint32_t address = 0;
        QByteArray reply;
        bool connected = false;
        bool refused = false;
        bool timedOut = false;
    };
    HostOutcome classify(const Probe& probe, bool isModule) const;
    void complete();

    void fill();
    void launch(std::uint32_t address);
    void take(QTcpSocket* socket);
    void refusedSocket(QTcpSocket* socket);
    void finish(QTcpSocket* socket);
    bool allDone() const;

    // The next address to try: one that found no socket first, then the rest in order.
    bool nextAddress(std::uint32_t* address);

    ScanOptions options_;
    QByteArray request_;
    QList<std::uint32_t> addresses_;
    qsizetype next_ = 0;
    QList<std::uint32_t> again_;  // found no socket while others were in flight: tried again
    int limit_ = 0;               // connections at once: options_.parallel, or lower
    int done_ = 0;
    QHash<QTcpSocket*, Probe> inFlight_;
    QList<ScanAnswer> answers_;
    bool filling_ = false;
    QEventLoop* loop_ = nullptr;
    bool running_ = false;
    QElapsedTimer clock_;
    ScanSummary summary_;
    QList<std::uint32_t> untried_;
    QString untriedReason_;
};

}  // namespace rzl
