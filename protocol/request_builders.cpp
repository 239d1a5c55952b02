#include "protocol/request_builders.h"

#include "core/context.h"
#include "core/frame.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

namespace {

constexpr std::uint8_t kQueuedFrameLength = 7;
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

void putU32(DeviceSession& s, int offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) s.txFrame[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void setImageSumFrame(Context& ctx, std::uint8_t code) {
    setCommand(ctx.session, code);
    putU32(ctx.session, 5, static_cast<std::uint32_t>(ctx.transfer.imageByteSum));
}

}  // namespace

void QueueLocate(Context& ctx) { queue(ctx.session, kCmdLocate); }

void QueueIdentify(Context& ctx) {
    DeviceSession& s = ctx.session;
    queue(s, kCmdIdentify);
    s.txFrame[5] = s.txFrame[6] = 0;
    s.queuedParam1 = s.queuedParam2 = 0;
}

ExchangeOutcome SendIdentify(Context& ctx) {
    DeviceSession& s = ctx.session;
    setCommand(s, kCmdIdentify);
    s.txFrame[5] = s.txFrame[6] = 0;
    return TcpExchange(ctx, 7);
}

QByteArray IdentifyRequestFrame(const std::array<std::uint8_t, 4>& signature) {
    QByteArray frame(reinterpret_cast<const char*>(signature.data()), static_cast<qsizetype>(signature.size()));
    frame.append(static_cast<char>(kCmdIdentify));
    frame.append(2, '\0');
    return frame;
}

ExchangeOutcome SendChecksumQuery(Context& ctx) {
    setImageSumFrame(ctx, kCmdChecksumQuery);
    return TcpExchange(ctx, 9);
}

ExchangeOutcome SendImageActivate(Context& ctx) {
    setImageSumFrame(ctx, kCmdImageActivate);
    return TcpSendOnly(ctx, 9);
}

ExchangeOutcome SendReboot(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    setCommand(ctx.session, kCmdReboot);
    return TcpSendOnly(ctx, 5);
}

ExchangeOutcome SendWifiMode(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    DeviceSession& s = ctx.session;
    s.retryCount = 0;
    s.txFrame[5] = ctx.screen.setup.radioButton6 ? 2 : 0;
    setCommand(s, kCmdWifiMode);
    return TcpExchange(ctx, 6);
}

ExchangeOutcome SendWebKey(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    const QByteArray& key = ctx.webKey;
    if (key.size() > kMaxWebKeyBytes) {
        const QString reason = QStringLiteral("WEB Key too long to send: %1 bytes").arg(key.size());
        ctx.screen.log(reason);
        return {ExchangeResult::NotSent, reason};
    }
    DeviceSession& s = ctx.session;
    setCommand(s, kCmdWebKey);
    s.txFrame[5] = static_cast<std::uint8_t>(key.size());
    std::copy(key.begin(), key.end(), s.txFrame.begin() + 6);
    return TcpExchange(ctx, static_cast<std::uint8_t>(key.size() + 6));
}

ExchangeOutcome SendResetDefaults(Context& ctx, std::uint8_t a) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    DeviceSession& s = ctx.session;
    setCommand(s, kCmdResetDefaults);
    s.txFrame[5] = a;
    return TcpExchange(ctx, 6);
}

void QueueCounterRead(Context& ctx) { queue(ctx.session, kCmdCounterRead); }

void SendCounterClear(Context& ctx, std::uint8_t input) {
    DeviceSession& s = ctx.session;
    setCommand(s, kCmdCounterClear);
    s.txFrame[5] = input;
    TcpExchange(ctx, 6);
}

void QueueSetOutput(Context& ctx, std::uint8_t output, std::uint8_t state) {
    DeviceSession& s = ctx.session;
    queue(s, kCmdSetOutput);
    s.txFrame[5] = output;
    s.txFrame[6] = state;
    s.queuedParam1 = output;
    s.queuedParam2 = state;
    ctx.screen.log(QStringLiteral("Loop:%1,Val:%2").arg(output).arg(state));
}

ExchangeOutcome SendPoll(Context& ctx) {
    setCommand(ctx.session, kCmdPoll);
    return TcpExchange(ctx, 5);
}

ExchangeOutcome SendModbusNotice(Context& ctx) {
    if (!ctx.linkCheck()) return {ExchangeResult::NotLinked, {}};
    setCommand(ctx.session, kCmdModbusNotice);
    return TcpExchange(ctx, 5);
}

void ReissuePending(Context& ctx) {
    switch (ctx.session.pendingCommand) {
    case kCmdLocate: QueueLocate(ctx); break;
    case kCmdIdentify: QueueIdentify(ctx); break;
    case kCmdChecksumQuery: SendChecksumQuery(ctx); break;
    default: break;
    }
}

void SendQueued(Context& ctx) {
    DeviceSession& s = ctx.session;
    if (s.queuedCommand == 0) return;
    // A tick handled during another exchange's wait leaves the request queued for a later one.
    if (s.exchangeBusy) return;
    setCommand(s, s.queuedCommand);
    s.txFrame[5] = s.queuedParam1;
    s.txFrame[6] = s.queuedParam2;
    // Emptied before sending: a request queued by a click during the exchange's wait
    // then stays for the next tick instead of being wiped when this exchange returns.
    s.queuedCommand = 0;
    TcpExchange(ctx, kQueuedFrameLength);
}

}  // namespace rzl
