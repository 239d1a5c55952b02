#pragma once
// The firmware update: the image file travels like a file of the flash store (a 40-byte
// header, then the raw image on its own connection), and ends with the checksum query for the
// controller family or with the activation command for every other model.

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <functional>

#include "protocol/operation.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

class Context;

inline constexpr qint64 kMaxImageBytes = 2 * 1024 * 1024;

inline const char* const kImageFilter = "bin|*.bin";
inline const char* const kImageDefaultExtension = "*.bin";

// Why the file at `path` cannot be sent as an image (missing, not a file, unreadable, empty,
// larger than the module takes), or empty when it can: checked before the module is contacted.
QString ImageFileProblem(const QString& path);

// Called after every piece of the image with the bytes written so far and the image length.
using FirmwareProgress = std::function<void(qint64 written, qint64 length)>;

struct FirmwareResult {
    enum class Stop {
        None,        // the image went out and the closing step was sent
        Unreadable,  // the file could not be opened or read, or is empty: nothing sent
        TooLarge,    // more than kMaxImageBytes: nothing sent
        Stopped,     // a stop was asked for between two steps
        Header,      // the header could not be sent (busy, no connection): nothing streamed
        Stream,      // the image stream could not be opened or broke off: no closing step
        Closing,     // the checksum query or the activation found no connection
    };
    Stop stoppedAt = Stop::None;
    QString reason;             // the file's problem, or the socket's words
    bool controllerFamily = false;
    qint64 length = 0;
    std::uint64_t sum = 0;      // the image's byte sum
    ExchangeOutcome header;     // send-only
    // The checksum query (with the module's reply and its verdict; its comparison is the
    // dispatcher's) or the activation (send-only).
    ExchangeOutcome closing;
};

// Reads the image at `path` into the transfer buffer and sends it: header, pause, stream, pause,
// closing step. The variant follows the identified model's family. `stop` is asked before the
// header and before the closing step.
FirmwareResult UpdateFirmwareImage(Context& ctx, const QString& path, const FirmwareProgress& progress = {},
                                   const StopRequested& stop = {});

}  // namespace rzl
