#include "protocol/tcp_exchange.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/context.h"
#include "protocol/reply_dispatcher.h"
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
    ctx.traffic.frame(outgoing, bytes);
    if (ctx.frameTap) ctx.frameTap(outgoing, bytes);
}

void release(Context& ctx, Guard guard) {
    if (guard != Guard::Own) return;
    ctx.session.exchangeBusy = false;
    ctx.idle.exchangeEnded();
}

// A socket failure after the connect: close, note it in the hidden log, release the guard.
ExchangeOutcome abandon(Context& ctx, TcpClient& client, const QString& what, Guard guard, ExchangeResult result) {
    const QString reason = client.error();
    client.disconnect();
    ctx.screen.log(what + reason);
    release(ctx, guard);
    return {result, reason};
}

// Steps shared by both exchanges: guard, connect, clear a stale "Connect Timeout", sign and
// write the frame. The frame is taken from txFrame before the connect: a click handled while
// the connect waits writes its own request there, and must not change the one that goes out.
// The frame written, or nothing when the exchange ended here (busy, no connection, write
// failed), with how it ended in `ended`.
std::optional<QByteArray> openAndWrite(Context& ctx, TcpClient& client, std::uint8_t length, Reply reply,
                                       Guard guard, ExchangeOutcome& ended) {
    DeviceSession& s = ctx.session;
    if (guard == Guard::Own) {
        if (s.exchangeBusy) {
            ended = {ExchangeResult::Busy, QStringLiteral("the module is busy with another request")};
            return std::nullopt;
        }
        s.exchangeBusy = true;
    }
    s.retryTicks = 0;
    s.retryInterval = kRetryIntervalTicks;
    if (reply == Reply::Skip) s.retryPending = false;
    QByteArray frame(reinterpret_cast<const char*>(s.txFrame.data()), length);
    const std::uint8_t command = s.txFrame[kCommandByte];

    if (!client.connectTo(s.deviceIp, s.tcpPort, ctx.connectTimeoutMs)) {
        ctx.screen.showStatus(QString::fromLatin1(kConnectTimeoutText));
        if (s.pendingCommand == command) s.pendingCommand = 0;  // a request made meanwhile stays
        ended = {ExchangeResult::NoConnection, client.error()};
        release(ctx, guard);
        return std::nullopt;
    }
    if (ctx.screen.main.statusBar2[0] == QLatin1String(kConnectTimeoutText)) ctx.screen.showStatus(QString());

    if (reply == Reply::Read) std::fill_n(s.rxFrame.begin(), kRxClearedBytes, std::uint8_t{0});
    std::copy(s.signature.begin(), s.signature.end(), s.txFrame.begin());
    std::copy_n(s.signature.begin(), std::min<qsizetype>(4, frame.size()), frame.begin());

    tap(ctx, true, frame);
    if (!client.write(frame.constData(), frame.size())) {
        ended = abandon(ctx, client, QStringLiteral("TX Error: "), guard, ExchangeResult::NotSent);
        return std::nullopt;
    }
    return frame;
}

enum class Arrival { Whole, Short, Failed };

// Reads until the reply is whole for `command`, within 100 checks of up to 10 ms each: a check
// that finds nothing waits its slice; pieces of one reply are joined. Short: the window ended,
// or the peer closed, before the reply was whole. Failed: the connection broke with nothing read.
Arrival readReply(Context& ctx, TcpClient& client, std::uint8_t command, QByteArray& reply) {
    for (int check = 0; check < kReplyChecks;) {
        if (!client.waitForData(kReplySliceMs)) {
            ++check;
            continue;
        }
        if (!client.read(reply, kRxFrameSize - reply.size()))
            return reply.isEmpty() ? Arrival::Failed : Arrival::Short;
        if (!reply.isEmpty() && ReplyIsComplete(ctx.session, command, reply)) return Arrival::Whole;
    }
    return Arrival::Short;
}

ExchangeOutcome runExchange(Context& ctx, std::uint8_t length, Guard guard) {
    TcpClient client(ctx.clock);
    ExchangeOutcome ended;
    const std::optional<QByteArray> frame = openAndWrite(ctx, client, length, Reply::Read, guard, ended);
    if (!frame) return ended;
    DeviceSession& s = ctx.session;
    const std::uint8_t command = static_cast<std::uint8_t>(frame->at(kCommandByte));

    QByteArray reply;
    const Arrival arrival = readReply(ctx, client, command, reply);
    if (arrival == Arrival::Failed)
        return abandon(ctx, client, QStringLiteral("RX Error: "), guard, ExchangeResult::ConnectionLost);
    client.disconnect();
    if (!reply.isEmpty()) tap(ctx, false, reply);
    if (arrival == Arrival::Short) {
        // Nothing, or only part of a reply: read as missing, and sent again.
        ctx.screen.log(QString::fromLatin1(kWaitRxTimeoutText));
        s.retryPending = true;
        release(ctx, guard);
        return {ExchangeResult::NoReply, {}};
    }

    std::memcpy(s.rxFrame.data(), reply.constData(), static_cast<std::size_t>(reply.size()));
    s.exchangeCommand = command;
    if (ctx.dispatchReply) ctx.dispatchReply(static_cast<int>(reply.size()));
    s.exchangeCommand = 0;
    release(ctx, guard);
    // The status of a signed reply; one with another signature is garbage, not an answer.
    const bool signed_ = reply.size() > kStatusByte &&
                         std::equal(s.signature.begin(), s.signature.end(), reinterpret_cast<const std::uint8_t*>(reply.constData()));
    return {ExchangeResult::Replied, {}, signed_ ? static_cast<std::uint8_t>(reply.at(kStatusByte)) : -1};
}

ExchangeOutcome runSendOnly(Context& ctx, std::uint8_t length, Guard guard) {
    TcpClient client(ctx.clock);
    ExchangeOutcome ended;
    if (!openAndWrite(ctx, client, length, Reply::Skip, guard, ended)) return ended;
    client.disconnect();
    release(ctx, guard);
    return {ExchangeResult::Sent, {}};
}

}  // namespace

ExchangeOutcome TcpExchange(Context& ctx, std::uint8_t length) { return runExchange(ctx, length, Guard::Own); }
ExchangeOutcome TcpSendOnly(Context& ctx, std::uint8_t length) { return runSendOnly(ctx, length, Guard::Own); }
ExchangeOutcome TcpExchangeUnderGuard(Context& ctx, std::uint8_t length) {
    return runExchange(ctx, length, Guard::Held);
}
ExchangeOutcome TcpSendOnlyUnderGuard(Context& ctx, std::uint8_t length) {
    return runSendOnly(ctx, length, Guard::Held);
}

TransferGuard::TransferGuard(Context& ctx) : ctx_(ctx) {
    if (ctx_.session.exchangeBusy) return;
    ctx_.session.exchangeBusy = true;
    acquired_ = true;
}

TransferGuard::~TransferGuard() {
    if (!acquired_) return;
    ctx_.session.exchangeBusy = false;
    ctx_.idle.exchangeEnded();
}

}  // namespace rzl
