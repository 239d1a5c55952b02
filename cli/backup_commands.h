#pragma once
// rzlctl backup and restore: the module's settings to a file and back, onto the same module or
// another one. A restore writes through the setup window's own operations; --reboot and
// --reboot-wait (the controller's options, shared with the firmware update) restart and check.

#include <QString>
#include <optional>

#include "cli/key_sources.h"
#include "core/usage.h"

namespace rzl::cli {

struct RestoreOptions {
    // --ap-key, --ap-key-file and RZL_AP_KEY; --station-key, --station-key-file and RZL_STATION_KEY.
    KeySource apKey{QStringLiteral("the AP key"), {}, {}, QStringLiteral("--ap-key-file"), QStringLiteral("RZL_AP_KEY")};
    KeySource stationKey{QStringLiteral("the station key"), {}, {}, QStringLiteral("--station-key-file"),
                         QStringLiteral("RZL_STATION_KEY")};
    bool given = false;  // any of the options (they go with restore only)
};

QList<OptionRow<RestoreOptions>> RestoreOptionRows();

}  // namespace rzl::cli
