#include "filestore/content_stream.h"

#include <algorithm>

#include "core/context.h"
#include "protocol/tcp_client.h"

namespace rzl {

namespace {

// How often the writes ask how much the module has acknowledged: the question costs more than
// a 1 KiB write, and the progress shown needs nothing finer.
constexpr qint64 kProgressEvery = 16 * kContentPieceBytes;

}  // namespace

bool StreamContent(Context& ctx, const char* data, qint64 length, const ContentProgress& reportProgress,
                   QString* error) {
    qint64 reported = 0;
    const auto progress = [&](qint64 acknowledged) {
        if (acknowledged <= reported || !reportProgress) return;  // only news
        reported = acknowledged;
        reportProgress(acknowledged);
    };
    TcpClient client(ctx.clock, ctx.writeStallMs);
    if (!client.connectTo(ctx.session.deviceIp, ctx.session.tcpPort, ctx.connectTimeoutMs)) {
        if (error) *error = client.error();
        return false;
    }
    for (qint64 offset = 0; offset < length; offset += kContentPieceBytes) {
        const qint64 piece = std::min<qint64>(kContentPieceBytes, length - offset);
        if (!client.write(data + offset, piece)) {
            if (error) *error = client.error();
            client.disconnect();
            return false;
        }
        // Progress counts what the module has acknowledged, not what entered this PC's buffers.
        const qint64 written = offset + piece;
        if (written % kProgressEvery == 0 || written == length)
            progress(written - std::min(client.unacknowledged(), written));
    }
    // Done only once the module has every byte: what follows (a pause, the checksum query, the
    // activation) must not overtake the content still on its way. The end of the stream, sent
    // first, has the module's TCP acknowledge the last bytes at once instead of after its
    // delayed-acknowledgement timer (40 ms and more).
    if (!client.finishSending() || !client.waitUntilAcknowledged(length, progress)) {
        if (error) *error = client.error();
        return false;
    }
    client.disconnect();
    return true;
}

}  // namespace rzl
