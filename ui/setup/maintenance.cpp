#include "ui/setup/maintenance.h"

#include <functional>

#include "core/context.h"
#include "protocol/request_builders.h"
#include "protocol/tcp_exchange.h"

namespace rzl {

namespace {

constexpr std::uint8_t kResetDefaultsValue = 1;

struct Action {
    QString confirmation;
    QString name;         // names the action in the error box
    QString information;  // shown once the command went out
};

QString reason(const ExchangeOutcome& outcome) {
    switch (outcome.result) {
    case ExchangeResult::NoConnection: return QString::fromLatin1(kConnectTimeoutText);
    case ExchangeResult::Busy: return QStringLiteral("another request to the device is still running");
    case ExchangeResult::ConnectionLost: return QStringLiteral("the connection broke before the reply");
    default: return QStringLiteral("the command could not be written");
    }
}

// Confirm, send (the builder runs the link check), report. The information box says that the
// command went out, so it is shown only then; a failed link check has already said why.
MaintenanceOutcome run(Context& ctx, const Action& action, const std::function<ExchangeOutcome()>& send) {
    if (!ctx.dialogs.confirm(action.confirmation, QStringLiteral("Confirm"))) return MaintenanceOutcome::Cancelled;
    const ExchangeOutcome sent = send();
    if (sent.result == ExchangeResult::NotLinked) return MaintenanceOutcome::NotLinked;
    if (!sent.delivered()) {
        ctx.dialogs.message(action.name + QStringLiteral(" fail,\n    . ") + reason(sent) + QStringLiteral("."),
                            QStringLiteral("Error found!"), BoxIcon::Error);
        return MaintenanceOutcome::Failed;
    }
    ctx.dialogs.message(action.information, QStringLiteral("Information"), BoxIcon::Information);
    return MaintenanceOutcome::Done;
}

}  // namespace

MaintenanceOutcome SwitchWifiMode(Context& ctx) {
    const QString mode = ctx.screen.setup.radioButton6 ? QStringLiteral("AP Mode") : QStringLiteral("Station Mode");
    const Action action{QStringLiteral("Modify Wi-Fi Mode, execute?\n    . Wi-Fi Mode: ") + mode +
                            QStringLiteral(".\n    . Device will Reboot immediately!"),
                        QStringLiteral("Wi-Fi Mode write"),
                        QStringLiteral("Wi-Fi Mode write complete,\n    . Reboot complete.")};
    return run(ctx, action, [&] { return SendWifiMode(ctx, ctx.screen.setup.radioButton6); });
}

MaintenanceOutcome ResetToDefault(Context& ctx) {
    const Action action{QStringLiteral("Reset to default setting, execute?\n    . Device will Reboot immediately!"),
                        QStringLiteral("Reset default"),
                        QStringLiteral("Reset default complete,\n    . Reboot complete.")};
    return run(ctx, action, [&] { return SendResetDefaults(ctx, kResetDefaultsValue); });
}

MaintenanceOutcome RebootDevice(Context& ctx) {
    const Action action{QStringLiteral("Reboot device, execute?"), QStringLiteral("Reboot device"),
                        QStringLiteral("Reboot complete.")};
    return run(ctx, action, [&] { return SendReboot(ctx); });
}

FirmwareOutcome StartFirmwareUpdate(Context& ctx, const QString& path, const FirmwareProgress& progress) {
    if (!ctx.dialogs.confirm(QStringLiteral("F/W Update, execute?"), QStringLiteral("Confirm")))
        return FirmwareOutcome::Cancelled;
    if (!ctx.linkCheck()) return FirmwareOutcome::NotLinked;
    return path.isEmpty() ? UpdateFirmware(ctx, progress) : UpdateFirmwareFrom(ctx, path, progress);
}

}  // namespace rzl
