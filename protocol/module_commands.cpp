#include "protocol/module_commands.h"

#include <functional>

#include "core/context.h"
#include "protocol/request_builders.h"

namespace rzl {

namespace {

constexpr std::uint8_t kResetDefaultsValue = 1;

OperationResult oneFrame(Step::Kind kind, std::uint8_t command, const StopRequested& stop,
                         const std::function<ExchangeOutcome()>& send) {
    Step planned;
    planned.kind = kind;
    planned.command = command;
    OperationRun run({planned.title()}, stop);
    if (!run.next()) return run.end(OperationResult::End::Stopped);
    const ExchangeOutcome sent = send();
    if (sent.result == ExchangeResult::NotLinked) return run.end(OperationResult::End::NotLinked);
    const Step step = kind == Step::Kind::SendOnly ? SendOnlyStep(command, sent) : CommandStep(command, sent);
    if (!run.record(step)) return run.end(OperationResult::End::Failed);
    return run.end();
}

ExchangeOutcome sendQueuedNow(Context& ctx) {
    if (const std::optional<ExchangeOutcome> sent = SendQueued(ctx)) return *sent;
    return {ExchangeResult::Busy, QStringLiteral("the module is busy with another request")};
}

}  // namespace

OperationResult SetWifiMode(Context& ctx, bool ap, const StopRequested& stop) {
    return oneFrame(Step::Kind::Command, kCmdWifiMode, stop, [&] { return SendWifiMode(ctx, ap); });
}

OperationResult ResetSettings(Context& ctx, const StopRequested& stop) {
    return oneFrame(Step::Kind::Command, kCmdResetDefaults, stop,
                    [&] { return SendResetDefaults(ctx, kResetDefaultsValue); });
}

OperationResult Reboot(Context& ctx, const StopRequested& stop) {
    return oneFrame(Step::Kind::SendOnly, kCmdReboot, stop, [&] { return SendReboot(ctx); });
}

ExchangeOutcome SwitchOutput(Context& ctx, int output, bool on) {
    QueueSetOutput(ctx, static_cast<std::uint8_t>(output + 1), on ? 1 : 0);
    return sendQueuedNow(ctx);
}

ExchangeOutcome Locate(Context& ctx) {
    QueueLocate(ctx);
    return sendQueuedNow(ctx);
}

ExchangeOutcome ReadCounters(Context& ctx) {
    QueueCounterRead(ctx);
    return sendQueuedNow(ctx);
}

}  // namespace rzl
