#pragma once
// The setup window's actions on the module as a whole: Wi-Fi mode switch (Image4), reset to
// default (Image7), reboot (Image8), each one command after a confirmation and the link check,
// and the start of the firmware update (Image1).

#include <QString>

#include "filestore/firmware_update.h"

namespace rzl {

class Context;

enum class MaintenanceOutcome {
    Done,        // the command went out; the information box was shown
    Cancelled,   // No in the confirmation: nothing sent
    NotLinked,   // the link check failed and has said why: nothing sent, no box
    Failed,      // nothing went out (no connection, busy, write failed): error box
};

MaintenanceOutcome SwitchWifiMode(Context& ctx);   // 48 with 2 (AP) or 0 (Station), by RadioButton6
MaintenanceOutcome ResetToDefault(Context& ctx);   // 94 with 1
MaintenanceOutcome RebootDevice(Context& ctx);     // 45, send-only

// Confirmation, link check, then the update from `path`, or from the file chosen in the file
// dialog when `path` is empty.
FirmwareOutcome StartFirmwareUpdate(Context& ctx, const QString& path = {}, const FirmwareProgress& progress = {});

}  // namespace rzl
