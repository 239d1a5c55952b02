#pragma once
// The setup window's actions on the module as a whole: Wi-Fi mode switch (Image4), reset to
// default (Image7), reboot (Image8), each one command after a confirmation (the core's command
// runs the link check), and the firmware update (Image1).

#include <QString>

#include "filestore/firmware_update.h"

namespace rzl {

struct Program;

enum class MaintenanceOutcome {
    Done,        // the command went out; the information box was shown
    Cancelled,   // No in the confirmation: nothing sent
    NotLinked,   // the link check failed and has said why: nothing sent, no box
    Failed,      // nothing went out (no connection, busy, write failed), or the module refused
                 // it or answered with a reply that is not valid: error box
    Busy,        // another program on this PC was writing to the module: its box, nothing sent
};

MaintenanceOutcome SwitchWifiMode(Program& program);   // 48 with 2 (AP) or 0 (Station), by RadioButton6
MaintenanceOutcome ResetToDefault(Program& program);   // 94 with 1
MaintenanceOutcome RebootDevice(Program& program);     // 45, send-only

enum class FirmwareOutcome {
    Cancelled,        // No in the confirmation, or no file chosen
    NotLinked,        // the link check before the update failed and has said why
    Refused,          // too large, unreadable, or another exchange in flight: nothing sent
    HeaderFailed,     // the header could not be sent: nothing streamed
    StreamFailed,     // the image stream could not be opened or broke off: no closing step
    Queried,          // the checksum query went out; its reply (or its re-send) decides
    Activated,        // the activation command went out
    ClosingFailed,    // the query or the activation found no connection ("Connect Timeout")
    Busy,             // another program on this PC was writing to the module: its box, nothing sent
};

// The update from the image file at `path`, its error box shown when it stopped.
FirmwareOutcome UpdateFirmwareFrom(Program& program, const QString& path, const FirmwareProgress& progress = {});
// The same from the file chosen in the main window's file dialog (OpenDialog2).
FirmwareOutcome UpdateFirmware(Program& program, const FirmwareProgress& progress = {});

// Confirmation, link check, then the update from `path`, or from the file chosen in the file
// dialog when `path` is empty.
FirmwareOutcome StartFirmwareUpdate(Program& program, const QString& path = {}, const FirmwareProgress& progress = {});

}  // namespace rzl
