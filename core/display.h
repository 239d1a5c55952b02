#pragma once
// What the core tells whoever shows the module: typed events, never the windows' texts or
// records. The desktop program's windows (ui/screen_display) turn each event into the status
// line, the labels, the I/O panel and the progress bar; rzlctl prints the same texts on standard
// error through that same code. The core reads nothing back: what it decides, it decides from
// the module's replies and its own session.

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace rzl {

// The I/O panel layouts of the five I/O modules (the model catalogue picks one).
enum class PanelLayout { A, B, C, D, E };

// A message for the status line; each one replaces the one before.
struct Notice {
    enum class Kind {
        ConnectTimeout,    // no connection could be made; text: the socket's reason
        InvalidHeader,     // a reply opened with another signature
        LocatorDone,       // the module took the locate request
        FileDeleted,       // the module deleted a file
        SettingsReset,     // the module reset its settings to the defaults
        OutputSet,         // an output switch was taken; number: the inputs after it
        SendingFile,       // text: the file's name
        DeletingFile,      // text: the file's name
        TransferLength,    // number: the content's length
        ImageLength,       // number: the firmware image's length
        ImageTooLarge,     // the image is over the limit: nothing sent
        ImageSum,          // number: the image's byte sum
        RetryTransfer,     // number: how many re-sends so far
        RetryTimeout,      // the re-sends are given up
        TargetChanged,     // text: the new target address
        WaitingForWriter,  // another program on this PC writes to the module: text its address,
                           // number the program's process id (0 when not known)
        Refused,           // text: the target address; number: the reply's status
    };
    Kind kind;
    QString text = {};
    qint64 number = 0;
};

// What an identify reply told about the module.
struct Identity {
    QString modelName;                  // the catalogue's, "Unknow Device??" when not in it
    bool ofTarget = false;              // it came from the target address: the rest is shown
    QString mac;                        // "AA:BB:CC:DD:EE:FF"
    QString firmware;                   // "01.0A"
    QString location;
};

// The link check's verdict when the PC is not on the module's network.
enum class LinkFailure { NoCandidate, SeveralCandidates };

// Why a request's answer could not be taken.
enum class ReadFailure {
    NoAnswer,  // no connection, or no whole reply
    Refused,   // the module said no
    NotValid,  // a reply that is not a valid answer
};

// The progress of a file or firmware transfer.
struct TransferProgress {
    enum class Phase {
        Cleared,  // a transfer begins: an earlier one's bar is gone
        Started,  // the content follows: value = its length
        Moved,    // value = bytes the module has so far
    };
    Phase phase;
    qint64 value = 0;
};

class Display {
public:
    virtual ~Display() = default;
    virtual void notice(const Notice& notice) = 0;
    // A connection was made: a "Connect Timeout" still shown is out of date.
    virtual void connected() = 0;
    // A line of the hidden log.
    virtual void log(const QString& line) = 0;
    // The model's panel layout, as a model of the catalogue with one is applied.
    virtual void layout(PanelLayout layout) = 0;
    virtual void identified(const Identity& identity) = 0;
    // The outputs and inputs, masked by the model's masks.
    virtual void ioState(std::uint8_t doBits, std::uint8_t diBits) = 0;
    // The inputs and outputs shown are no longer live: nothing was read since `lastRead` (UTC).
    virtual void readingsStale(const QDateTime& lastRead) = 0;
    // A reply brought the state again after readingsStale.
    virtual void readingsLive() = 0;
    virtual void rssi(int dbm) = 0;
    // The counters as read at `readAt` (UTC).
    virtual void counters(const std::array<std::uint32_t, 8>& values, const QDateTime& readAt) = 0;
    // A counter read failed; `lastRead` is when they were read before (invalid: never).
    virtual void countersNotRead(ReadFailure why, const QDateTime& lastRead) = 0;
    // The module's sum of the firmware image, against the image's.
    virtual void checksumCompared(bool match) = 0;
    // The no-module look: no outputs or inputs usable, no name or location.
    virtual void noModule() = 0;
    virtual void linkFound(const QString& deviceIp) = 0;
    virtual void linkFailed(LinkFailure why) = 0;
    // The target address, as the address field shows it (set from the start-up options).
    virtual void target(const QString& deviceIp) = 0;
    // The target is another address: what was shown of the old module goes.
    virtual void targetChanged(const QString& deviceIp) = 0;
    virtual void transfer(const TransferProgress& progress) = 0;
    // Draw now: a long transfer repaints the windows every 64 KiB.
    virtual void refresh() = 0;
};

}  // namespace rzl
