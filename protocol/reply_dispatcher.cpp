#include "protocol/reply_dispatcher.h"

#include <algorithm>

#include "core/context.h"
#include "protocol/identify_reply.h"
#include "protocol/model_catalogue.h"
#include "protocol/request_builders.h"
#include "protocol/text_codec.h"
#include "core/io_panel.h"

namespace rzl {

namespace {

bool signatureMatches(const DeviceSession& s, const ReplyReader& reply, int count = 4) {
    for (int i = 0; i < std::min(count, 4); ++i)
        if (reply.byte(i) != s.signature[i]) return false;
    return true;
}

// A handled reply ends the request it answers; a request made during the wait stays pending.
void finish(DeviceSession& s, std::uint8_t command) {
    if (s.pendingCommand == command) s.pendingCommand = 0;
}

// A refused locate is asked again by the next supervision cycle, and a refused identify by the
// cycles that identify a module not yet identified: never at once, which would send it again on
// the next 100 ms event and flood a module that keeps refusing.
void deferRefused(Context& ctx, std::uint8_t command) {
    if (command == kCmdLocate) ctx.session.refusedCommand = command;
}

void takeState(Context& ctx, const ReplyReader& reply) {
    ctx.session.doState = reply.byte(shortReply::kDoBits);
    ctx.session.diState = reply.byte(shortReply::kDiBits);
    UpdateIoPanel(ctx);
}

// A raw value of 0 means the module did not report one; the caption then stays.
void showRssi(Context& ctx, int raw) {
    if (raw == 0) return;
    ctx.display.rssi(raw - 65536);
}

void takeCounters(Context& ctx, const ReplyReader& reply) {
    for (int i = 0; i < shortReply::kCounters; ++i) ctx.session.diCounters[i] = reply.u32(shortReply::kFirstCounter + 4 * i);
    ctx.session.countersReadAt = ctx.traffic.now();
    ctx.display.counters(ctx.session.diCounters, ctx.session.countersReadAt);
}

void compareChecksum(Context& ctx, const ReplyReader& reply) {
    const bool equal = ChecksumMatches(ctx.transfer.imageByteSum, reply.u32(shortReply::kChecksum));
    ctx.display.checksumCompared(equal);
    // Still inside the exchange that carried this reply: the reboot is refused by the busy guard.
    if (equal) SendReboot(ctx);
}

void takeIdentify(Context& ctx, const ReplyReader& bytes) {
    DeviceSession& s = ctx.session;
    const IdentifyReply reply = IdentifyOf(bytes);

    finish(s, kCmdIdentify);
    Identity identity{ApplyModel(ctx, reply.model)};
    // A reply from another module names its model but changes nothing else.
    identity.ofTarget = reply.address == s.deviceIp;
    if (!identity.ofTarget) return ctx.display.identified(identity);

    identity.mac = reply.mac;
    identity.firmware = reply.firmware;
    identity.location = fromAnsi(reply.settings.location);
    ctx.display.identified(identity);
    ctx.info = reply.settings;
    s.doState = reply.doBits;
    s.diState = reply.diBits;
    showRssi(ctx, reply.rssiRaw);

    UpdateIoPanel(ctx);
    s.deviceIdentified = true;
    s.settingsKnown = true;
}

// A reply to `command`, the command the exchange wrote; `accepted` is status byte 6.
void dispatchAnswer(Context& ctx, const ReplyReader& reply, std::uint8_t command, bool accepted) {
    DeviceSession& s = ctx.session;
    switch (command) {
    case 0:
        if (reply.byte(kCommandByte) == kCmdPoll && accepted) takeState(ctx, reply);
        return;
    case kCmdLocate:
        if (!accepted) return deferRefused(ctx, command);
        finish(s, command);
        ctx.display.notice({Notice::Kind::LocatorDone});
        return;
    case kCmdIdentify:
        if (!accepted) return deferRefused(ctx, command);
        return takeIdentify(ctx, reply);
    case kCmdChecksumQuery: {
        const std::uint8_t before = s.pendingCommand;
        if (accepted && reply.byte(kCommandByte) == kCmdChecksumQuery) compareChecksum(ctx, reply);
        // The reboot a match asks for is refused by the busy guard: it leaves nothing pending,
        // and a request made during the wait stays the pending one.
        s.pendingCommand = before == command ? 0 : before;
        return;
    }
    case kCmdDeleteFile:
        if (!accepted) return;
        finish(s, command);
        ctx.display.notice({Notice::Kind::FileDeleted});
        return;
    case kCmdResetDefaults:
        if (!accepted) return;
        finish(s, command);
        ctx.display.notice({Notice::Kind::SettingsReset});
        return;
    case kCmdCounterRead:
        if (!accepted) return ctx.log(QStringLiteral("Get DI Counter fail!!"));
        finish(s, command);
        takeCounters(ctx, reply);
        ctx.log(QStringLiteral("Get DI Counter done!!"));
        return;
    case kCmdSetOutput:
        if (!accepted) return;
        takeState(ctx, reply);
        finish(s, command);
        ctx.display.notice({Notice::Kind::OutputSet, {}, s.diState});
        return;
    case kCmdPoll:
        if (!accepted) return;
        takeState(ctx, reply);
        showRssi(ctx, reply.u16(shortReply::kPollRssi));
        finish(s, command);
        return;
    default:
        // Replies to 48, 50, 97, 220 and the like are read and left alone.
        return;
    }
}

}  // namespace

void DispatchReply(Context& ctx, int count) {
    DeviceSession& s = ctx.session;
    s.retryPending = false;
    // Only the bytes that arrived are read; fields beyond them read as zero.
    const ReplyReader reply(s.rxFrame.data(), std::clamp(count, 0, kRxFrameSize));
    if (!signatureMatches(s, reply)) {
        ctx.display.notice({Notice::Kind::InvalidHeader});
        return;
    }
    dispatchAnswer(ctx, reply, s.exchangeCommand, reply.byte(kStatusByte) == kStatusAccepted);
}

bool ChecksumMatches(std::uint64_t imageSum, std::uint32_t moduleSum) {
    return (imageSum >> 32) == 0 && static_cast<std::uint32_t>(imageSum) == moduleSum;
}

}  // namespace rzl
