#include "filestore/content_stream.h"

#include <algorithm>

#include "core/context.h"
#include "protocol/tcp_client.h"

namespace rzl {

bool StreamContent(Context& ctx, const char* data, qint64 length, const ContentProgress& progress, QString* error) {
    TcpClient client(ctx.clock);
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
        if (progress) progress(offset + piece);
    }
    client.disconnect();
    return true;
}

}  // namespace rzl
