#pragma once
// The firmware update: the image file travels like a file of the flash store (a 40-byte
// header, then the raw image on its own connection), and ends with the checksum query for the
// controller family or with the activation command for every other model.

#include <QString>
#include <QtGlobal>
#include <functional>

namespace rzl {

class Context;

inline constexpr qint64 kMaxImageBytes = 2 * 1024 * 1024;

inline const char* const kImageFilter = "bin|*.bin";
inline const char* const kImageDefaultExtension = "*.bin";

// Why the file at `path` cannot be sent as an image (missing, not a file, unreadable, empty,
// larger than the module takes), or empty when it can: checked before the module is contacted.
QString ImageFileProblem(const QString& path);

enum class FirmwareOutcome {
    Cancelled,        // No in the confirmation, or no file chosen
    NotLinked,        // the link check before the update failed and has said why
    Refused,          // too large, unreadable, or another exchange in flight: nothing sent
    HeaderFailed,     // the header could not be sent: nothing streamed
    StreamFailed,     // the image stream could not be opened or broke off: no closing step
    Queried,          // the checksum query went out; its reply (or its re-send) decides
    Activated,        // the activation command went out
    ClosingFailed,    // the query or the activation found no connection ("Connect Timeout")
};

// Called after every piece of the image with the bytes written so far and the image length.
using FirmwareProgress = std::function<void(qint64 written, qint64 length)>;

// Asks for the image in the main window's file dialog (OpenDialog2), then updates from it.
FirmwareOutcome UpdateFirmware(Context& ctx, const FirmwareProgress& progress = {});

// The update from the image file at `path`.
FirmwareOutcome UpdateFirmwareFrom(Context& ctx, const QString& path, const FirmwareProgress& progress = {});

}  // namespace rzl
