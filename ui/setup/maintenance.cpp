#include "ui/setup/maintenance.h"

#include <functional>

#include "protocol/module_commands.h"
#include "ui/operation_texts.h"
#include "ui/program.h"
#include "ui/setup/settings_fields.h"
#include "ui/setup/writer_lock.h"

namespace rzl {

namespace {

// Confirm, send (the core's command runs the link check), report. The information box says
// that the command went out, so it is shown only then; a failed link check has already said why.
MaintenanceOutcome run(Program& p, const QString& confirmation, Maintenance action,
                       const std::function<OperationResult()>& send) {
    if (!p.dialogs.confirm(confirmation, QStringLiteral("Confirm"))) return MaintenanceOutcome::Cancelled;
    const std::unique_ptr<ModuleLock> lock = TakeWriterLock(p);
    if (!lock) return MaintenanceOutcome::Busy;
    const OperationResult result = send();
    if (result.end == OperationResult::End::NotLinked) return MaintenanceOutcome::NotLinked;
    const Box box = MaintenanceBox(action, result);
    p.dialogs.message(box.text, box.caption, box.icon);
    return result.done() ? MaintenanceOutcome::Done : MaintenanceOutcome::Failed;
}

void showBox(Program& p, const Box& box) {
    if (box.shown()) p.dialogs.message(box.text, box.caption, box.icon);
}

}  // namespace

MaintenanceOutcome SwitchWifiMode(Program& p) {
    const bool ap = p.screen.setup.radioButton6;
    return run(p, WifiModeConfirmation(ap), Maintenance::WifiMode, [&] { return SetWifiMode(p.ctx, ap); });
}

MaintenanceOutcome ResetToDefault(Program& p) {
    return run(p, ResetConfirmation(), Maintenance::Reset, [&] { return ResetSettings(p.ctx); });
}

MaintenanceOutcome RebootDevice(Program& p) {
    return run(p, RebootConfirmation(), Maintenance::Reboot, [&] { return Reboot(p.ctx); });
}

FirmwareOutcome UpdateFirmwareFrom(Program& p, const QString& path, const FirmwareProgress& progress) {
    const std::unique_ptr<ModuleLock> lock = TakeWriterLock(p);
    if (!lock) return FirmwareOutcome::Busy;
    const FirmwareResult result = UpdateFirmwareImage(p.ctx, path, progress);
    showBox(p, FirmwareBox(result, path));
    using Stop = FirmwareResult::Stop;
    switch (result.stoppedAt) {
    case Stop::None: return result.controllerFamily ? FirmwareOutcome::Queried : FirmwareOutcome::Activated;
    case Stop::Unreadable:
    case Stop::TooLarge: return FirmwareOutcome::Refused;
    case Stop::Stopped: return FirmwareOutcome::Cancelled;
    case Stop::Header: return FirmwareOutcome::HeaderFailed;
    case Stop::Stream: return FirmwareOutcome::StreamFailed;
    case Stop::Closing: break;
    }
    return FirmwareOutcome::ClosingFailed;
}

FirmwareOutcome UpdateFirmware(Program& p, const FirmwareProgress& progress) {
    const std::optional<QString> path =
        p.dialogs.openFile(QString::fromLatin1(kImageFilter), QString::fromLatin1(kImageDefaultExtension));
    if (!path) return FirmwareOutcome::Cancelled;
    return UpdateFirmwareFrom(p, *path, progress);
}

FirmwareOutcome StartFirmwareUpdate(Program& p, const QString& path, const FirmwareProgress& progress) {
    if (!p.dialogs.confirm(FirmwareConfirmation(), QStringLiteral("Confirm"))) return FirmwareOutcome::Cancelled;
    if (!p.ctx.linkCheck()) return FirmwareOutcome::NotLinked;
    return path.isEmpty() ? UpdateFirmware(p, progress) : UpdateFirmwareFrom(p, path, progress);
}

}  // namespace rzl
