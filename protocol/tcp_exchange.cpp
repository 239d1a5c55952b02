#include "protocol/tcp_exchange.h"

#include <algorithm>
#include <cstring>

#include "core/context.h"
#include "protocol/tcp_client.h"

namespace rzl {

namespace {

constexpr int kReplyChecks = 100;
constexpr int kReplySliceMs = 10;
constexpr std::uint32_t kRetryIntervalTicks = 40;

enum class Reply { Read, Skip };
// Whether the exchange takes the busy guard itself (Own) or runs under a transfer's (Held).
enum class Guard { Own, Held };

void tap(Context& ctx, bool outgoing, const QByteArray& bytes) {
    if (ctx.frameTap) ctx.frameTap(outgoing, bytes);
}

void release(Context& ctx, Guard guard) {
    if (guard == Guard::Own) ctx.session.exchangeBusy = false;
}

// A socket failure after the connect: close, note it in the hidden log, release the guard.
void abandon(Context& ctx, TcpClient& client, const QString& what, Guard guard) {
    const QString reason = client.error();
    client.disconnect();
    ctx.screen.log(what + reason);
    release(ctx, guard);
}

// Steps shared by both exchanges: guard, connect, clear a stale "Connect Timeout", sign and
// write the frame. False when the exchange ended here (busy, no connection, write failed).
bool openAndWrite(Context& ctx, TcpClient& client, std::uint8_t length, Reply reply, Guard guard) {
    DeviceSession& s = ctx.session;
    if (guard == Guard::Own) {
        if (s.exchangeBusy) return false;
        s.exchangeBusy = true;
    }
    s.retryTicks = 0;
    s.retryInterval = kRetryIntervalTicks;
    if (reply == Reply::Skip) s.retryPending = false;

    if (!client.connectTo(s.deviceIp, s.tcpPort, ctx.connectTimeoutMs)) {
        ctx.screen.showStatus(QString::fromLatin1(kConnectTimeoutText));
        release(ctx, guard);
        s.pendingCommand = 0;
        return false;
    }
    if (ctx.screen.main.statusBar2[0] == QLatin1String(kConnectTimeoutText)) ctx.screen.showStatus(QString());

    if (reply == Reply::Read) std::fill_n(s.rxFrame.begin(), kRxClearedBytes, std::uint8_t{0});
    std::copy(s.signature.begin(), s.signature.end(), s.txFrame.begin());

    const QByteArray frame(reinterpret_cast<const char*>(s.txFrame.data()), length);
    tap(ctx, true, frame);
    if (!client.write(frame.constData(), frame.size())) {
        abandon(ctx, client, QStringLiteral("TX Error: "), guard);
        return false;
    }
    return true;
}

void runExchange(Context& ctx, std::uint8_t length, Guard guard) {
    TcpClient client(ctx.clock);
    if (!openAndWrite(ctx, client, length, Reply::Read, guard)) return;
    DeviceSession& s = ctx.session;

    // Return as soon as anything is buffered: each wait ends early when data arrives.
    bool arrived = false;
    for (int check = 0; check < kReplyChecks; ++check) {
        if (!client.isInputBufferEmpty()) {
            arrived = true;
            break;
        }
        if (!client.waitForData(kReplySliceMs) && client.isInputBufferEmpty()) {
            abandon(ctx, client, QStringLiteral("RX Error: "), guard);
            return;
        }
    }
    if (!arrived) {
        ctx.screen.log(QString::fromLatin1(kWaitRxTimeoutText));
        client.disconnect();
        s.retryPending = true;
        release(ctx, guard);
        return;
    }

    // Only what is buffered now; bytes beyond rxFrame are dropped.
    const QByteArray reply = client.readAvailable().left(kRxFrameSize);
    client.disconnect();
    std::memcpy(s.rxFrame.data(), reply.constData(), static_cast<std::size_t>(reply.size()));
    tap(ctx, false, reply);

    if (!reply.isEmpty() && ctx.dispatchReply) ctx.dispatchReply(static_cast<int>(reply.size()));
    release(ctx, guard);
}

void runSendOnly(Context& ctx, std::uint8_t length, Guard guard) {
    TcpClient client(ctx.clock);
    if (!openAndWrite(ctx, client, length, Reply::Skip, guard)) return;
    client.disconnect();
    release(ctx, guard);
}

}  // namespace

void TcpExchange(Context& ctx, std::uint8_t length) { runExchange(ctx, length, Guard::Own); }
void TcpSendOnly(Context& ctx, std::uint8_t length) { runSendOnly(ctx, length, Guard::Own); }
void TcpExchangeUnderGuard(Context& ctx, std::uint8_t length) { runExchange(ctx, length, Guard::Held); }
void TcpSendOnlyUnderGuard(Context& ctx, std::uint8_t length) { runSendOnly(ctx, length, Guard::Held); }

TransferGuard::TransferGuard(Context& ctx) : ctx_(ctx) {
    if (ctx_.session.exchangeBusy) return;
    ctx_.session.exchangeBusy = true;
    acquired_ = true;
}

TransferGuard::~TransferGuard() {
    if (acquired_) ctx_.session.exchangeBusy = false;
}

}  // namespace rzl
