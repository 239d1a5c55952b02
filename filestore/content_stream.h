#pragma once
// The raw content of a file or firmware image, on a connection of its own after its header:
// the bytes in order, in pieces of at most 1024 bytes, no framing; closing the connection
// ends it. Used by the settings-file writes and the firmware update, under their TransferGuard.

#include <QString>
#include <QtGlobal>
#include <functional>

namespace rzl {

class Context;

inline constexpr int kContentPieceBytes = 1024;

// Called after every 16 KiB written and after the last piece, and while the last ones are
// acknowledged, with the number of bytes the module has acknowledged so far (only when it
// grew); the last call has them all.
using ContentProgress = std::function<void(qint64 written)>;

// Connects to the target (the exchange's connect timeout), writes `length` bytes of `data` in
// pieces, waits until the module has acknowledged them all, and closes. False, with the reason
// in `error`, when the connection cannot be opened, a write fails, or the connection fails
// before everything was acknowledged; the connection is closed in every case.
bool StreamContent(Context& ctx, const char* data, qint64 length, const ContentProgress& progress, QString* error);

}  // namespace rzl
