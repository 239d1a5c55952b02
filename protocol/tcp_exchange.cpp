#include "protocol/tcp_exchange.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <cstring>
#include <optional>

#include "core/context.h"
#include "protocol/reply_dispatcher.h"
#include "protocol/tcp_client.h"

namespace rzl {

namespace {

// The reply window: 100 waits of 10 ms, measured on the clock from the write.
constexpr int kReplyWindowMs = 1000;
constexpr int kReplySliceMs = 10;
constexpr std::uint32_t kRetryIntervalTicks = 40;

enum class Wait { ForReply, None };
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
    ctx.log(what + reason);
    release(ctx, guard);
    return {result, reason};
}

// Steps shared by both exchanges: guard, connect, clear a stale "Connect Timeout", sign and
// write the frame. The request is a value taken before the connect: a click handled while the
// connect waits writes its own request into txFrame, and must not change the one that goes out.
// The frame written, or nothing when the exchange ended here (busy, no connection, write
// failed), with how it ended in `ended`.
std::optional<QByteArray> openAndWrite(Context& ctx, TcpClient& client, const Request& request, Wait wait,
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
    if (wait == Wait::None) s.retryPending = false;

    if (!client.connectTo(s.deviceIp, s.tcpPort, ctx.connectTimeoutMs)) {
        // The status line keeps its short text; the cause (refused, timed out, unreachable) goes
        // with it and into the protocol view.
        ctx.display.notice({Notice::Kind::ConnectTimeout, client.error()});
        ctx.traffic.log(QStringLiteral("Connect Timeout: %1 (%2:%3)").arg(client.error(), s.deviceIp).arg(s.tcpPort));
        if (s.pendingCommand == request.command) s.pendingCommand = 0;  // a request made meanwhile stays
        ended = {ExchangeResult::NoConnection, client.error()};
        release(ctx, guard);
        return std::nullopt;
    }
    ctx.display.connected();

    if (wait == Wait::ForReply) std::fill_n(s.rxFrame.begin(), kRxClearedBytes, std::uint8_t{0});
    std::copy(s.signature.begin(), s.signature.end(), s.txFrame.begin());
    const QByteArray frame = request.encode(s.signature);

    tap(ctx, true, frame);
    if (!client.write(frame.constData(), frame.size())) {
        ended = abandon(ctx, client, QStringLiteral("TX Error: "), guard, ExchangeResult::NotSent);
        return std::nullopt;
    }
    return frame;
}

enum class Arrival { Whole, Short, Cut, Failed };

// Reads until the reply is whole for `command` or the reply window has passed, waiting in slices
// of up to 10 ms; pieces of one reply are joined. The window is wall time, not a count of slices:
// a slice lasts longer than 10 ms whenever the program's events or a busy machine hold the thread,
// and a hundred such slices would keep a silent module's connection open well past its second
// (long enough for a module to close it as idle, which would then read as a broken connection).
// Short: the window ended before the reply was whole. Cut: the peer closed after part of one.
// Failed: the connection broke with nothing read.
Arrival readReply(Context& ctx, TcpClient& client, std::uint8_t command, QByteArray& reply) {
    const QDeadlineTimer window(kReplyWindowMs, Qt::PreciseTimer);
    for (;;) {
        const int slice = static_cast<int>(std::min<qint64>(kReplySliceMs, window.remainingTime()));
        if (!client.waitForData(slice)) {
            if (window.hasExpired()) return Arrival::Short;
            continue;
        }
        if (!client.read(reply, kRxFrameSize - reply.size()))
            return reply.isEmpty() ? Arrival::Failed : Arrival::Cut;
        if (!reply.isEmpty() && ReplyIsComplete(command, reply, ctx.session.signature)) return Arrival::Whole;
    }
}

ExchangeOutcome runExchange(Context& ctx, const Request& request, Guard guard) {
    TcpClient client(ctx.clock, ctx.writeStallMs);
    ExchangeOutcome ended;
    if (!openAndWrite(ctx, client, request, Wait::ForReply, guard, ended)) return ended;
    DeviceSession& s = ctx.session;

    QByteArray reply;
    const Arrival arrival = readReply(ctx, client, request.command, reply);
    if (arrival == Arrival::Failed)
        return abandon(ctx, client, QStringLiteral("RX Error: "), guard, ExchangeResult::ConnectionLost);
    client.disconnect();
    if (!reply.isEmpty()) tap(ctx, false, reply);
    if (arrival != Arrival::Whole) {
        // Nothing, or only part of a reply: read as missing, and sent again. Part of one that
        // the module ended by closing is no valid reply; part of one still coming is none yet.
        ctx.log(QString::fromLatin1(kWaitRxTimeoutText));
        s.retryPending = true;
        release(ctx, guard);
        ExchangeOutcome missing{ExchangeResult::NoReply, {}, reply};
        if (arrival == Arrival::Cut) missing.verdict = Verdict::Garbled(Verdict::Garble::Length);
        return missing;
    }

    std::memcpy(s.rxFrame.data(), reply.constData(), static_cast<std::size_t>(reply.size()));
    s.exchangeCommand = request.command;
    if (ctx.dispatchReply) ctx.dispatchReply(static_cast<int>(reply.size()));
    s.exchangeCommand = 0;
    release(ctx, guard);
    return {ExchangeResult::Replied, {}, reply, Validate(request, reply, s.signature)};
}

ExchangeOutcome runSendOnly(Context& ctx, const Request& request, Guard guard) {
    TcpClient client(ctx.clock, ctx.writeStallMs);
    ExchangeOutcome ended;
    const std::optional<QByteArray> frame = openAndWrite(ctx, client, request, Wait::None, guard, ended);
    if (!frame) return ended;
    // Sent once the module's TCP stack has acknowledged every byte: a module that resets the
    // connection first may not have the frame.
    if (!client.waitUntilAcknowledged(frame->size(), {}))
        return abandon(ctx, client, QStringLiteral("TX Error: "), guard, ExchangeResult::NotSent);
    client.disconnect();
    release(ctx, guard);
    return {ExchangeResult::Sent, {}};
}

// A request as a builder writes it: byte 4 and the parameters into txFrame, which keeps
// whatever lies beyond them.
void place(DeviceSession& s, const Request& request) {
    s.txFrame[kCommandByte] = request.command;
    const qsizetype room = kTxFrameSize - kCommandByte - 1;
    std::copy_n(request.parameters.begin(), std::min(request.parameters.size(), room), s.txFrame.begin() + kCommandByte + 1);
}

Request fromTxFrame(const DeviceSession& s, std::uint8_t length) { return Request::FromFrame(s.txFrame.data(), length); }

}  // namespace

ExchangeOutcome Exchange(Context& ctx, const Request& request) {
    place(ctx.session, request);
    return runExchange(ctx, request, Guard::Own);
}
ExchangeOutcome SendOnly(Context& ctx, const Request& request) {
    place(ctx.session, request);
    return runSendOnly(ctx, request, Guard::Own);
}
ExchangeOutcome TcpExchange(Context& ctx, std::uint8_t length) {
    return runExchange(ctx, fromTxFrame(ctx.session, length), Guard::Own);
}
ExchangeOutcome TcpSendOnly(Context& ctx, std::uint8_t length) {
    return runSendOnly(ctx, fromTxFrame(ctx.session, length), Guard::Own);
}
ExchangeOutcome TcpExchangeUnderGuard(Context& ctx, std::uint8_t length) {
    return runExchange(ctx, fromTxFrame(ctx.session, length), Guard::Held);
}
ExchangeOutcome ExchangeUnderGuard(Context& ctx, const Request& request) {
    place(ctx.session, request);
    return runExchange(ctx, request, Guard::Held);
}
ExchangeOutcome SendOnlyUnderGuard(Context& ctx, const Request& request) {
    place(ctx.session, request);
    return runSendOnly(ctx, request, Guard::Held);
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
