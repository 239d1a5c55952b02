#include "protocol/request_builders.h"

#include "core/context.h"
#include "core/frame.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

namespace {

// The exchange takes an 8-bit length: 6 header bytes leave room for a key of 249 bytes.
constexpr int kMaxWebKeyBytes = 255 - 6;

// Byte 4 and pendingCommand always change together, so the reply is read as this command's.
void setCommand(DeviceSession& s, std::uint8_t code) {
    s.pendingCommand = code;
    s.txFrame[kCommandByte] = code;
}

void queue(DeviceSession& s, std::uint8_t code) {
    setCommand(s, code);
    s.queuedCommand = code;
}

// Sent at once as the answer-awaiting (Exchange) or send-only request it is, with
// pendingCommand naming it.
ExchangeOutcome send(Context& ctx, const Request& request) {
    ctx.session.pendingCommand = request.command;
    return Exchange(ctx, request);
}
ExchangeOutcome sendOnly(Context& ctx, const Request& request) {
    ctx.session.pendingCommand = request.command;
    return SendOnly(ctx, request);
}

std::uint32_t imageSum(const Context& ctx) { return static_cast<std::uint32_t>(ctx.transfer.imageByteSum); }

}  // namespace

void QueueLocate(Context& ctx) { queue(ctx.session, kCmdLocate); }

void QueueIdentify(Context& ctx) {
    DeviceSession& s = ctx.session;
    queue(s, kCmdIdentify);
    s.txFrame[5] = s.txFrame[6] = 0;
    s.queuedParam1 = s.queuedParam2 = 0;
}

ExchangeOutcome SendIdentify(Context& ctx) { return send(ctx, Request::Identify()); }

QByteArray IdentifyRequestFrame(const Signature& signature) { return Request::Identify().encode(signature); }

ExchangeOutcome SendChecksumQuery(Context& ctx) { return send(ctx, Request::ChecksumQuery(imageSum(ctx))); }

ExchangeOutcome SendImageActivate(Context& ctx) { return sendOnly(ctx, Request::ImageActivate(imageSum(ctx))); }

ExchangeOutcome SendReboot(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    return sendOnly(ctx, Request::Reboot());
}

ExchangeOutcome SendWifiMode(Context& ctx, bool ap) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    ctx.session.retryCount = 0;
    return send(ctx, Request::WifiMode(ap));
}

ExchangeOutcome SendWebKey(Context& ctx, const QByteArray& key) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    if (key.size() > kMaxWebKeyBytes) {
        const QString reason = QStringLiteral("WEB Key too long to send: %1 bytes").arg(key.size());
        ctx.log(reason);
        return {ExchangeResult::NotSent, reason};
    }
    return send(ctx, Request::WebKey(key));
}

ExchangeOutcome SendResetDefaults(Context& ctx, std::uint8_t a) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    return send(ctx, Request::ResetDefaults(a));
}

void QueueCounterRead(Context& ctx) { queue(ctx.session, kCmdCounterRead); }

ExchangeOutcome SendCounterClear(Context& ctx, std::uint8_t input) { return send(ctx, Request::CounterClear(input)); }

void QueueSetOutput(Context& ctx, std::uint8_t output, std::uint8_t state) {
    DeviceSession& s = ctx.session;
    queue(s, kCmdSetOutput);
    s.txFrame[5] = output;
    s.txFrame[6] = state;
    s.queuedParam1 = output;
    s.queuedParam2 = state;
    ctx.log(QStringLiteral("Loop:%1,Val:%2").arg(output).arg(state));
}

ExchangeOutcome SendPoll(Context& ctx) { return send(ctx, Request::Poll()); }

ExchangeOutcome SendModbusNotice(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    return send(ctx, Request::ModbusNotice());
}

std::optional<ExchangeOutcome> ReissuePending(Context& ctx) {
    switch (ctx.session.pendingCommand) {
    case kCmdLocate: QueueLocate(ctx); break;
    case kCmdIdentify: QueueIdentify(ctx); break;
    case kCmdChecksumQuery: return SendChecksumQuery(ctx);
    default: break;
    }
    return std::nullopt;
}

std::optional<ExchangeOutcome> SendQueued(Context& ctx) {
    DeviceSession& s = ctx.session;
    if (s.queuedCommand == 0) return std::nullopt;
    // A tick handled during another exchange's wait leaves the request queued for a later one.
    if (s.exchangeBusy) return std::nullopt;
    const Request request = Request::Queued(s.queuedCommand, s.queuedParam1, s.queuedParam2);
    // Emptied before sending: a request queued by a click during the exchange's wait
    // then stays for the next tick instead of being wiped when this exchange returns.
    s.queuedCommand = 0;
    return send(ctx, request);
}

}  // namespace rzl
