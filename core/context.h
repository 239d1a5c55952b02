#pragma once
// Everything the process shares: the session and device records, the host-network snapshot,
// the transfer buffer, the address values, and the seams to whoever shows the module and to the
// clock. One instance per process (and one per test); no globals.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "core/device_info.h"
#include "core/device_session.h"
#include "core/display.h"
#include "core/host_network.h"
#include "core/idle_actions.h"
#include "core/network_snapshot.h"
#include "core/traffic_record.h"
#include "core/transfer_buffer.h"

namespace rzl {

struct HostValues {
    QString subnetPrefix = QStringLiteral("192.168.77.");
    QByteArray subnetPrefix8 = "192.168.77.";  // 8-bit copy kept for the address change
    QString typedIp = QStringLiteral("192.168.77.1");
    QString workingDirectory;                   // filled at the main window's first activation
    // "ACR Disable": every link check answers linked without probing (the marker file's switch).
    bool linkCheckOff = false;
};

// Observes every frame on the wire (rzlctl --trace).
using FrameTap = std::function<void(bool outgoing, const QByteArray& bytes)>;

class Context {
public:
    Context(Display& display, Clock& clock);
    ~Context();

    DeviceSession session;
    DeviceInfo info;
    HostValues host;
    NetworkSnapshot probe;
    TransferBuffer transfer;
    TrafficRecord traffic;  // every frame and hidden-log line, for the protocol view and --trace

    Display& display;
    Clock& clock;

    // A line of the hidden log: shown by the display and kept with the traffic.
    void log(const QString& line);

    // Seams, empty here; WireDefaultSeams (link/) fills them with the working defaults, and
    // tests and the command-line options replace them.
    std::function<void(int count)> dispatchReply;  // default: DispatchReply
    std::function<bool()> linkCheck;               // default: CheckDeviceLink
    std::unique_ptr<HostNetwork> hostNetwork;      // default: this platform's
    FrameTap frameTap;
    int connectTimeoutMs = 3000;
    // A write, or the wait for the module to acknowledge what was written, that makes no
    // progress for this long is given up ("Write stalled"): the module stopped taking data.
    int writeStallMs = 10000;

    // Openings of windows and changes of target that wait for the running exchange to end.
    IdleActions idle{session.exchangeBusy};
};

}  // namespace rzl
