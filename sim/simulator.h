#pragma once
// rzl-sim: a module that answers the protocol on a TCP port. It runs as its own program
// or, for tests and the demo, in-process on a thread of its own.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace rzl::sim {

// Silent: reads, never answers, changes nothing. Garbage: a reply with a wrong signature.
// Reject: every request refused (status 21), nothing changes. Split: the reply in two pieces.
// Close: every connection closed at once. Slow: the reply after slowDelayMs. Stuck: output
// switches are accepted but the outputs stay as they are. Restart: halfway through a content
// stream the module restarts: every connection drops and nothing answers for restartMs.
enum class FaultMode { None, Silent, Garbage, Reject, Split, Close, Slow, Stuck, Restart };

// What the module holds; the identify reply is built from it.
struct ModuleState {
    std::uint8_t model = 176;
    std::array<std::uint8_t, 4> address{127, 0, 0, 1};  // reported address, dotted order
    std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::uint8_t fwMajor = 1;
    std::uint8_t fwMinor = 0x0A;
    QByteArray location = "Lab bench";
    QByteArray apSsid = "rZL-K110-AP";
    QByteArray apKey;
    std::uint8_t apKeyType = 0;
    QByteArray staSsid = "Workshop";
    QByteArray staKey;
    std::uint8_t staKeyType = 2;
    bool wifiModeAp = true;
    std::uint8_t doBits = 0;
    std::uint8_t diBits = 0;
    std::uint16_t modbusPort = 502;
    bool staticIp = false;
    std::array<std::uint8_t, 4> staIp{};
    std::array<std::uint8_t, 4> staNetmask{255, 255, 255, 0};
    std::array<std::uint8_t, 4> staGateway{};
    std::uint16_t rssi = 0xFFC4;  // -60 dBm
    std::uint16_t idleTimeout = 120;
    std::array<std::uint32_t, 8> counters{};
    QMap<QString, QByteArray> files;  // the flash file store, by name
    QByteArray webKey;                // the web login key (command 50), in effect at once
};

struct SimOptions {
    QHostAddress listenAddress = QHostAddress::LocalHost;
    std::uint16_t port = 0;          // 0 picks a free port
    std::optional<std::array<std::uint8_t, 4>> reportedAddress;  // default: the listen address
    FaultMode fault = FaultMode::None;
    int slowDelayMs = 1500;
    int splitPauseMs = 50;
    QString stateFile;               // empty: nothing kept across restarts
    QString inputsPattern;           // e.g. "DI0:500" (toggles DI0 every 500 ms)
    bool verbose = false;
    std::optional<ModuleState> initialState;
    std::optional<std::uint8_t> model;  // overrides the model of the initial or stored state
    int idleTimeoutMs = 2000;           // a connection that stays quiet this long is closed
    int uploadWaitMs = 10000;           // how long an announced file waits for its content connection
    // A content stream gets this long plus the time its announced length needs at the minimum
    // rate; a stream that is slower is cut off and its content refused.
    int contentGraceMs = 10000;
    int contentMinBytesPerSecond = 8192;
    int restartMs = 1000;               // how long a restart (fault mode Restart) keeps the port closed
    // How long a module restarted by a reboot or a Wi-Fi mode change is away (connections
    // dropped, port closed); 0: it answers again at once.
    int bootMs = 0;
};

// One thing the module took in, in the order each was complete: a request frame, or the
// content of an announced file on a connection of its own.
struct Arrival {
    enum Kind { Frame, Content };
    Kind kind = Frame;
    QByteArray frame;        // Frame: its bytes
    QByteArray fileName;     // Content: the file its header announced
    qint64 length = 0;       // Content: the bytes received
    std::uint32_t sum = 0;   // Content: low 32 bits of their byte sum
};

// Reads "DI0:500,DI2:1500" (input DIi toggles every N ms) into periods per input, 0 = still.
// False with a reason for anything else.
bool ParseInputsPattern(const QString& pattern, std::array<int, 8>& periodsMs, QString* error);

// An in-process simulator on its own thread. Thread-safe accessors for tests.
// The module reports options.reportedAddress, else the listen address when it is a specific
// IPv4 address, else the address of its state. A state file, when it exists, replaces the
// initial state.
class SimulatorThread {
public:
    explicit SimulatorThread(SimOptions options = {});
    ~SimulatorThread();

    bool start();                 // false when it cannot listen
    void stop();
    std::uint16_t port() const;

    ModuleState state() const;
    void setState(const ModuleState& state);
    void setFault(FaultMode mode);
    QList<QByteArray> receivedFrames() const;  // every frame, in arrival order
    QList<Arrival> arrivals() const;           // frames and file contents, in arrival order
    void clearReceived();                      // both of the above
    int connectionCount() const;
    QString errorString() const;  // why start() failed

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rzl::sim
